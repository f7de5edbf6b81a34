#include "app/startup.h"

#include <shlobj.h>

namespace {

std::string orDefault(std::string path, const std::string& fallback) {
  return path.empty() ? fallback : path;
}

}  // namespace

KnownFolders resolveKnownFolders(Shell& shell) {
  KnownFolders folders;
  folders.executable = shell.specialFolderPath(0, 0);
  folders.windows = shell.specialFolderPath(1, 0);
  folders.desktop = shell.specialFolderPath(2, CSIDL_DESKTOPDIRECTORY);
  folders.myDocuments = shell.specialFolderPath(2, CSIDL_PERSONAL);
  folders.startMenu = shell.specialFolderPath(2, CSIDL_STARTMENU);
  folders.programs = shell.specialFolderPath(2, CSIDL_PROGRAMS);
  folders.programFiles =
      orDefault(shell.specialFolderPath(2, CSIDL_PROGRAM_FILES), "C:\\Program Files");
  folders.applicationData =
      orDefault(shell.specialFolderPath(2, CSIDL_APPDATA), folders.windows + "\\Application Data");
  folders.quickLaunch = folders.applicationData + "\\Microsoft\\Internet Explorer\\Quick Launch";
  return folders;
}

bool containsOption(std::string_view arguments, std::string_view option, const ByteText& text) {
  return text.containsText(arguments, option, true);
}

StartRequest readCommandLine(int setupLevel, std::string_view arguments, const ByteText& text) {
  if (setupLevel < 300) return StartRequest::kFirstRunDownload;
  if (containsOption(arguments, "/addremove", text)) return StartRequest::kRemoval;
  if (containsOption(arguments, "/site", text)) return StartRequest::kSiteWindow;
  return StartRequest::kDownload;
}

LRESULT sendHandOver(HWND to, HWND from, const std::string& text) {
  COPYDATASTRUCT data = {};
  data.dwData = 0;
  data.cbData = static_cast<DWORD>(text.size() + 1);
  data.lpData = const_cast<char*>(text.c_str());
  return SendMessageA(to, WM_COPYDATA, reinterpret_cast<WPARAM>(from),
                      reinterpret_cast<LPARAM>(&data));
}

void bringForward(HWND running, HWND from) {
  const bool minimised = IsIconic(running);
  if (!IsWindowVisible(running) && !minimised)
    sendHandOver(running, from, "show");
  else if (minimised)
    ShowWindow(running, SW_RESTORE);
  else
    SetForegroundWindow(running);
}

void closeAllRunningWindows() {
  if (HWND old = FindWindowA(window_class::kMain, nullptr)) SendMessageA(old, WM_CLOSE, 0, 0);
  if (HWND download = FindWindowA(window_class::kDownload, nullptr))
    SendMessageA(download, WM_CLOSE, 0, 0);
  for (int attempt = 0; attempt < 10; ++attempt) {
    HWND site = FindWindowA(window_class::kSite, nullptr);
    if (!site) break;
    SendMessageA(site, WM_CLOSE, 0, 0);
  }
}
