#pragma once
#include <string>
#include <utility>
#include <vector>

#include "platform/shell.h"

// Records what the program asked the shell to open.
class FakeShell final : public Shell {
 public:
  void open(const std::string& target, const std::string& parameters) override {
    opened.emplace_back(target, parameters);
  }
  std::vector<std::pair<std::string, std::string>> opened;
};
