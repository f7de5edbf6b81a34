#include "store/installation.h"

#include <vector>

#include "platform/product.h"
#include "store/settings.h"

namespace {

std::string quoted(const std::string& path) {
  return "\"" + path + "\"";
}

}  // namespace

InstallPaths installPaths(const KnownFolders& folders) {
  InstallPaths paths;
  paths.programFolder = folders.applicationData + "\\Haulix";
  paths.programFile = paths.programFolder + "\\haulix.exe";
  paths.oldProgramFolder = folders.programFiles + "\\Haulix";
  paths.oldProgramFiles = {paths.oldProgramFolder + "\\Haulix.exe",
                           paths.oldProgramFolder + "\\Haulix (Previous Release).exe",
                           paths.oldProgramFolder + "\\Haulix (Previous Version).exe"};
  paths.programsShortcut = folders.programs + "\\Haulix.lnk";
  paths.startMenuShortcut = folders.startMenu + "\\Haulix.lnk";
  paths.desktopShortcut = folders.desktop + "\\Haulix.lnk";
  paths.quickLaunchShortcut = folders.quickLaunch + "\\Haulix.lnk";
  paths.queueDatabase = paths.programFolder + "\\haulix.db";
  paths.oldQueueFiles[0] = folders.windows + "\\hxdat.bin";
  paths.oldQueueFiles[1] = folders.windows + "\\hxdata.bin";
  return paths;
}

std::string welcomeCaption(int32_t setupLevel) {
  std::string caption = "Welcome to " + std::string(product::kName);
  if (setupLevel == 0) return caption;
  return caption + " Version " + std::string(product::kVersionText);
}

std::string uninstallCommand(const std::string& programFile) {
  return quoted(programFile) + " /addremove";
}

std::string removalScriptText(const std::string& runningProgram, const std::string& programFolder) {
  return ":Repeat\r\n"
         "del " +
         quoted(runningProgram) +
         "\r\n"
         "if exist " +
         quoted(runningProgram) +
         " goto Repeat\r\n"
         "rmdir " +
         quoted(programFolder) +
         "\r\n"
         "del " +
         quoted(kRemovalScript);
}

bool Installer::isOldCopy(const std::string& path) {
  return fileOps_.pathStatus(path) >= 0 && !text_.equalsText(path, folders_.executable, true);
}

void Installer::runSetup(int32_t setupLevel) {
  screens_.showWelcome(welcomeCaption(setupLevel));

  std::vector<std::string> oldCopies;
  if (isOldCopy(paths_.programFile)) oldCopies.push_back(paths_.programFile);
  for (const std::string& old : paths_.oldProgramFiles) {
    if (isOldCopy(old)) oldCopies.push_back(old);
  }
  if (!oldCopies.empty()) {
    if (screens_.askDeleteOldCopies()) {
      for (const std::string& old : oldCopies) fileOps_.removePath(old);
    } else {
      for (const std::string& old : oldCopies) {
        fileOps_.placeFile(old, folders_.myDocuments, "Haulix (Previous Version)", ".exe", false,
                           Collision::kNumber, true);
      }
      if (!folders_.myDocuments.empty()) shell_.open(folders_.myDocuments, "");
    }
    fileOps_.removePath(paths_.oldProgramFolder);
  }

  if (!text_.equalsText(folders_.executable, paths_.programFile, true)) {
    fileOps_.placeFile(folders_.executable, paths_.programFolder, "haulix", ".exe", true,
                       Collision::kReplace, true);
  }
  makeShortcuts();

  registry_.writeText(RegistryRoot::kLocalMachine, kUninstallKey, "DisplayName", product::kName);
  registry_.writeText(RegistryRoot::kLocalMachine, kUninstallKey, "UninstallString",
                      uninstallCommand(paths_.programFile));
}

void Installer::makeShortcuts() {
  fileOps_.createShortcut(paths_.programsShortcut, paths_.programFile,
                          "Downloads files from Web sites and the Internet.");
  for (const std::string* shortcut :
       {&paths_.startMenuShortcut, &paths_.desktopShortcut, &paths_.quickLaunchShortcut}) {
    if (fileOps_.pathStatus(*shortcut) < 0) continue;
    fileOps_.createShortcut(*shortcut, paths_.programFile,
                            "Batch downloads files from Web sites and the Internet.");
  }
}

bool Installer::runRemoval() {
  if (!screens_.confirmRemoval()) return false;

  registry_.remove(RegistryRoot::kLocalMachine, settings_key::kOldMachineWide, "");
  registry_.remove(RegistryRoot::kLocalMachine, settings_key::kUser, "");
  registry_.remove(RegistryRoot::kCurrentUser, settings_key::kUser, "");
  registry_.remove(RegistryRoot::kLocalMachine, kUninstallKey, "");

  for (const std::string& old : paths_.oldProgramFiles) fileOps_.removePath(old);
  // The running program usually is the program file: that delete fails, and the script
  // below finishes it.
  fileOps_.removePath(paths_.programFile);
  for (const std::string& old : paths_.oldQueueFiles) fileOps_.removePath(old);
  fileOps_.removePath(paths_.queueDatabase);
  fileOps_.removePath(paths_.oldProgramFolder);
  fileOps_.removePath(paths_.programFolder);
  for (const std::string* shortcut : {&paths_.startMenuShortcut, &paths_.programsShortcut,
                                      &paths_.desktopShortcut, &paths_.quickLaunchShortcut}) {
    fileOps_.removePath(*shortcut);
  }

  screens_.showRemoved();
  return startRemovalScript();
}

bool Installer::startRemovalScript() {
  fileOps_.removePath(kRemovalScript);
  std::unique_ptr<WritableFile> script = fileOps_.createForWriting(false, kRemovalScript);
  if (!script) return false;
  bool written =
      FileOps::writeText(*script, removalScriptText(folders_.executable, paths_.programFolder));
  script.reset();
  if (!written || !scripts_.startDetached(kRemovalScript)) {
    fileOps_.removePath(kRemovalScript);
    return false;
  }
  return true;
}
