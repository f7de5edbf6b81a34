#pragma once
#include "platform/script_runner.h"

// CreateProcessA of the script, suspended in the idle priority class with a hidden window;
// its thread is set to idle priority, this thread to time-critical and this process to
// the high class before the script's thread is resumed, so the program can exit before
// the script first tries to delete it.
class Win32ScriptRunner final : public ScriptRunner {
 public:
  bool startDetached(const std::string& scriptPath) override;
};
