#pragma once
#include <string>

// The shell services the model asks for.
class Shell {
 public:
  virtual ~Shell() = default;
  // Opens a file, folder or address with its default program (ShellExecuteA, default verb,
  // working folder "C:\", shown normally). Failures are not reported.
  virtual void open(const std::string& target, const std::string& parameters) = 0;
  // Lets the user choose a file-system folder (SHBrowseForFolderA with BIF_RETURNONLYFSDIRS),
  // with the title above the folders; the chosen path, or empty when none was chosen.
  virtual std::string chooseFolder(const std::string& title) = 0;
  // which 0: the program's own file path; 1: the Windows folder; any other value: the
  // folder of the CSIDL `csidl` (SHGetSpecialFolderLocation). Empty when unknown.
  virtual std::string specialFolderPath(int which, int csidl) = 0;
};
