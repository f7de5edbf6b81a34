#pragma once
#include <string>

// Starts the removal script, which has to outlive the program it deletes.
class ScriptRunner {
 public:
  virtual ~ScriptRunner() = default;
  // Starts the script file as a process of its own: no arguments, no inherited handles, a
  // hidden window, idle priority, and the calling program raised above it so that it can
  // exit before the script first runs. False when it could not be started.
  virtual bool startDetached(const std::string& scriptPath) = 0;
};
