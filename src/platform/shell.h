#pragma once
#include <string>

// The shell services the model asks for.
class Shell {
 public:
  virtual ~Shell() = default;
  // Opens a file, folder or address with its default program (ShellExecuteA, default verb,
  // working folder "C:\", shown normally). Failures are not reported.
  virtual void open(const std::string& target, const std::string& parameters) = 0;
};
