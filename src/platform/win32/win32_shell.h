#pragma once
#include <windows.h>

#include <string>

#include "platform/shell.h"

// The shell's services through shell32. Needs COM initialised on the calling thread for
// chooseFolder, as the user-interface thread has it.
class Win32Shell final : public Shell {
 public:
  // The window that owns the folder chooser (none: the desktop).
  explicit Win32Shell(HWND owner = nullptr) : owner_(owner) {}
  void setOwner(HWND owner) { owner_ = owner; }

  void open(const std::string& target, const std::string& parameters) override;
  std::string chooseFolder(const std::string& title) override;
  std::string specialFolderPath(int which, int csidl) override;

 private:
  HWND owner_;
};
