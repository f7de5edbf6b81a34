#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "transfer/file_ops.h"
#include "platform/known_folders.h"
#include "platform/registry.h"
#include "platform/script_runner.h"
#include "platform/shell.h"
#include "url/byte_text.h"

// Where setup puts the program and what removal takes away, from the known folders.
struct InstallPaths {
  std::string programFile;                     // Application Data\Haulix\haulix.exe
  std::string programFolder;                   // Application Data\Haulix
  std::array<std::string, 3> oldProgramFiles;  // under Program Files\Haulix
  std::string oldProgramFolder;                // Program Files\Haulix
  std::string programsShortcut;
  std::string startMenuShortcut;
  std::string desktopShortcut;
  std::string quickLaunchShortcut;
  std::string queueDatabase;     // Application Data\Haulix\haulix.db
  std::string oldQueueFiles[2];  // the Windows folder's hxdat.bin and hxdata.bin
};
InstallPaths installPaths(const KnownFolders& folders);

inline const std::string kRemovalScript = "C:\\haulix.bat";
inline const std::string kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Haulix";

// "Welcome to Haulix" on a first setup; "Welcome to Haulix Version 3.00" when an older
// release was set up before (a setup level other than 0).
std::string welcomeCaption(int32_t setupLevel);
// The uninstall command: the program file, quoted, and "/addremove". The quotes keep a
// path with spaces (Application Data under Documents and Settings) from being read as a
// shorter program name followed by arguments.
std::string uninstallCommand(const std::string& programFile);
// The removal script: deletes the running program once it can (after the process has
// ended), then the program folder and the script itself.
std::string removalScriptText(const std::string& runningProgram, const std::string& programFolder);

// The four dialogs of setup and removal.
class SetupScreens {
 public:
  virtual ~SetupScreens() = default;
  virtual void showWelcome(const std::string& caption) = 0;
  // True for "Delete it", false for "Save it in My Documents".
  virtual bool askDeleteOldCopies() = 0;
  // True for Remove.
  virtual bool confirmRemoval() = 0;
  virtual void showRemoved() = 0;
};

// Setup and removal. Every step goes on when one fails; nothing is reported.
class Installer {
 public:
  Installer(FileOps& fileOps, Registry& registry, Shell& shell, ScriptRunner& scripts,
            const ByteText& text, const KnownFolders& folders, SetupScreens& screens)
      : fileOps_(fileOps),
        registry_(registry),
        shell_(shell),
        scripts_(scripts),
        text_(text),
        folders_(folders),
        screens_(screens),
        paths_(installPaths(folders)) {}

  // The first start of this release: the welcome, old copies deleted or saved, the running
  // program copied to the program file, the shortcuts, the uninstall entry.
  void runSetup(int32_t setupLevel);
  // "/addremove": after the user confirms, the registry keys, the files and shortcuts,
  // the farewell, then the script that deletes the running program once it has exited.
  // True when the script was started.
  bool runRemoval();

  // A file at that path that is not the running program (case ignored).
  bool isOldCopy(const std::string& path);
  const InstallPaths& paths() const { return paths_; }

 private:
  void placeOldCopies(bool deleteThem);
  void makeShortcuts();
  bool startRemovalScript();

  FileOps& fileOps_;
  Registry& registry_;
  Shell& shell_;
  ScriptRunner& scripts_;
  const ByteText& text_;
  const KnownFolders& folders_;
  SetupScreens& screens_;
  InstallPaths paths_;
};
