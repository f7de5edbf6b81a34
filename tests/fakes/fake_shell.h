#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/shell.h"

// Records what the program asked the shell to open, and answers folder questions with
// what the test sets.
class FakeShell final : public Shell {
 public:
  void open(const std::string& target, const std::string& parameters) override {
    opened.emplace_back(target, parameters);
  }
  std::string chooseFolder(const std::string& title) override {
    folderTitles.push_back(title);
    return chosenFolder;
  }
  std::string specialFolderPath(int which, int csidl) override {
    if (which == 0) return ownPath;
    if (which == 1) return windowsFolder;
    auto found = csidlFolders.find(csidl);
    return found == csidlFolders.end() ? std::string() : found->second;
  }

  std::vector<std::pair<std::string, std::string>> opened;
  std::string chosenFolder;               // what chooseFolder answers (empty: cancelled)
  std::vector<std::string> folderTitles;  // the titles chooseFolder was shown with
  std::string ownPath = "C:\\Program Files\\Haulix\\haulix.exe";
  std::string windowsFolder = "C:\\windows";
  std::map<int, std::string> csidlFolders;  // CSIDL -> folder; a missing one is unknown
};
