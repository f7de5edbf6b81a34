#include "platform/win32/win32_script_runner.h"

#include <windows.h>

bool Win32ScriptRunner::startDetached(const std::string& scriptPath) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(scriptPath.c_str(), nullptr, nullptr, nullptr, FALSE,
                      CREATE_SUSPENDED | IDLE_PRIORITY_CLASS, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  SetThreadPriority(process.hThread, THREAD_PRIORITY_IDLE);
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
  ResumeThread(process.hThread);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}
