#pragma once
#include <string>
#include <vector>

#include "platform/script_runner.h"

// Records the scripts it is asked to start; starting fails when the test says so.
class FakeScriptRunner final : public ScriptRunner {
 public:
  bool startDetached(const std::string& scriptPath) override {
    started.push_back(scriptPath);
    return startSucceeds;
  }

  bool startSucceeds = true;
  std::vector<std::string> started;
};
