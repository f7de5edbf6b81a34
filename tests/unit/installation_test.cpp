#include "store/installation.h"

#include <gtest/gtest.h>

#include <deque>

#include "fakes/fake_files.h"
#include "fakes/fake_ids.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_script_runner.h"
#include "fakes/fake_shell.h"
#include "fakes/fake_text_rules.h"
#include "store/settings.h"

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;

// Answers the dialogs as the test says and records what was shown.
class ScriptedScreens final : public SetupScreens {
 public:
  void showWelcome(const std::string& caption) override { shown.push_back("welcome:" + caption); }
  bool askDeleteOldCopies() override {
    shown.push_back("update");
    return deleteOldCopies;
  }
  bool confirmRemoval() override {
    shown.push_back("remove");
    return remove;
  }
  void showRemoved() override { shown.push_back("removed"); }

  bool deleteOldCopies = true;
  bool remove = true;
  std::vector<std::string> shown;
};

class InstallationTest : public ::testing::Test {
 protected:
  InstallationTest() {
    folders.executable = "C:\\Downloads\\haulix.exe";
    folders.windows = "C:\\Windows";
    folders.desktop = "C:\\Users\\ann\\Desktop";
    folders.myDocuments = "C:\\Users\\ann\\Documents";
    folders.startMenu = "C:\\Users\\ann\\Start Menu";
    folders.programs = "C:\\Users\\ann\\Start Menu\\Programs";
    folders.programFiles = "C:\\Program Files";
    folders.applicationData = "C:\\Users\\ann\\Application Data";
    folders.quickLaunch = folders.applicationData + "\\Microsoft\\Internet Explorer\\Quick Launch";
    files.putFile(folders.executable, "new program");
    files.putFolder(folders.myDocuments);
  }

  Installer installer() {
    return Installer(fileOps, registry, shell, scripts, text, folders, screens);
  }
  const InstallPaths paths() { return installPaths(folders); }

  FakeFiles files;
  FakeIds ids;
  FakeTextRules rules;
  ByteText text{rules};
  FileOps fileOps{files, ids, text};
  FakeRegistry registry;
  FakeShell shell;
  FakeScriptRunner scripts;
  KnownFolders folders;
  ScriptedScreens screens;
};

TEST_F(InstallationTest, AFirstStartFromADownloadFolderCopiesTheProgramAndMakesTheEntries) {
  installer().runSetup(0);

  EXPECT_EQ(screens.shown, std::vector<std::string>{"welcome:Welcome to Haulix"});
  EXPECT_EQ(files.contents(paths().programFile), "new program");
  EXPECT_EQ(files.attributesOf(paths().programFile), file_attribute::kArchive);
  EXPECT_TRUE(files.isFile(folders.executable));
  std::vector<FakeFiles::SavedLink> links = files.savedLinks();
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0].shortcutPath, folders.programs + "\\Haulix.lnk");
  EXPECT_EQ(links[0].target, paths().programFile);
  EXPECT_EQ(links[0].description, "Downloads files from Web sites and the Internet.");
  EXPECT_EQ(registry.text(kMachine, kUninstallKey, "DisplayName"), "Haulix");
  EXPECT_EQ(registry.text(kMachine, kUninstallKey, "UninstallString"),
            "\"C:\\Users\\ann\\Application Data\\Haulix\\haulix.exe\" /addremove");
  EXPECT_TRUE(shell.opened.empty());
}

TEST_F(InstallationTest, OnlyShortcutsThatExistedAreMadeAgain) {
  files.putFile(paths().desktopShortcut, "old link");
  files.putFile(paths().quickLaunchShortcut, "old link");
  installer().runSetup(0);
  std::vector<FakeFiles::SavedLink> links = files.savedLinks();
  ASSERT_EQ(links.size(), 3u);
  EXPECT_EQ(links[1].shortcutPath, paths().desktopShortcut);
  EXPECT_EQ(links[1].description, "Batch downloads files from Web sites and the Internet.");
  EXPECT_EQ(links[2].shortcutPath, paths().quickLaunchShortcut);
  EXPECT_FALSE(files.isFile(paths().startMenuShortcut));
}

TEST_F(InstallationTest, AnOlderReleaseGetsTheVersionInTheWelcome) {
  installer().runSetup(200);
  EXPECT_EQ(screens.shown[0], "welcome:Welcome to Haulix Version 3.00");
}

TEST_F(InstallationTest, StartedAsTheProgramFileItselfItAsksNothingAndCopiesNothing) {
  files.putFile(paths().programFile, "installed program");
  folders.executable = "C:\\USERS\\ANN\\application data\\Haulix\\HAULIX.EXE";
  installer().runSetup(0);
  EXPECT_EQ(screens.shown.size(), 1u);
  EXPECT_EQ(files.contents(paths().programFile), "installed program");
  EXPECT_EQ(files.savedLinks().size(), 1u);
}

TEST_F(InstallationTest, DeletingAnOldCopyAlsoTakesItsEmptiedFolder) {
  files.putFile(paths().oldProgramFiles[0], "old program");
  installer().runSetup(0);
  EXPECT_EQ(screens.shown.back(), "update");
  EXPECT_FALSE(files.isFile(paths().oldProgramFiles[0]));
  EXPECT_FALSE(files.isFolder(paths().oldProgramFolder));
  EXPECT_EQ(files.contents(paths().programFile), "new program");
}

TEST_F(InstallationTest, AnOldProgramFileIsReplacedByTheRunningOne) {
  files.putFile(paths().programFile, "previous release");
  installer().runSetup(200);
  EXPECT_EQ(screens.shown.back(), "update");
  EXPECT_EQ(files.contents(paths().programFile), "new program");
}

TEST_F(InstallationTest, AnOldFolderHoldingOtherFilesStays) {
  files.putFile(paths().oldProgramFiles[1], "old program");
  files.putFile(paths().oldProgramFolder + "\\readme.txt", "notes");
  installer().runSetup(0);
  EXPECT_FALSE(files.isFile(paths().oldProgramFiles[1]));
  EXPECT_TRUE(files.isFile(paths().oldProgramFolder + "\\readme.txt"));
}

TEST_F(InstallationTest, SavingOldCopiesTwiceKeepsBothUnderNumberedNames) {
  screens.deleteOldCopies = false;
  files.putFile(paths().oldProgramFiles[0], "first old");
  installer().runSetup(0);
  // The next release, started from the download folder again: the program file that the
  // first update installed is now the old copy.
  files.putFile(folders.executable, "newer program");
  installer().runSetup(0);

  const std::string saved = folders.myDocuments + "\\Haulix (Previous Version)";
  EXPECT_EQ(files.contents(saved + ".exe"), "first old");
  EXPECT_EQ(files.contents(saved + " (2).exe"), "new program");
  EXPECT_EQ(files.contents(paths().programFile), "newer program");
  EXPECT_FALSE(files.isFolder(paths().oldProgramFolder));
  ASSERT_EQ(shell.opened.size(), 2u);
  EXPECT_EQ(shell.opened[0].first, folders.myDocuments);
}

TEST_F(InstallationTest, AFailedCopyStillMakesTheShortcutsAndTheEntry) {
  files.failOperation(FakeFiles::Op::kCopy, os_error::kDiskFull);
  installer().runSetup(0);
  EXPECT_FALSE(files.isFile(paths().programFile));
  EXPECT_EQ(files.savedLinks().size(), 1u);
  EXPECT_TRUE(registry.text(kMachine, kUninstallKey, "UninstallString").has_value());
}

TEST_F(InstallationTest, RemovalCancelledChangesNothing) {
  installer().runSetup(0);
  registry.putNumber(kUser, settings_key::kUser, "setup", 300);
  std::vector<std::string> before = files.allPaths();
  screens.remove = false;
  EXPECT_FALSE(installer().runRemoval());
  EXPECT_EQ(files.allPaths(), before);
  EXPECT_EQ(registry.number(kUser, settings_key::kUser, "setup"), 300);
  EXPECT_TRUE(scripts.started.empty());
}

TEST_F(InstallationTest, RemovalTakesTheKeysFilesAndShortcutsThenStartsTheScript) {
  folders.executable = paths().programFile;
  files.putFile(paths().programFile, "installed");
  installer().runSetup(0);
  registry.putNumber(kUser, settings_key::kUser, "setup", 300);
  registry.putNumber(kMachine, settings_key::kOldMachineWide, "setup", 100);
  files.putFile(paths().queueDatabase, "queue");
  files.putFile(paths().oldQueueFiles[0], "old queue");
  files.putFile(paths().desktopShortcut, "link");
  files.putFile(folders.myDocuments + "\\Haulix (Previous Version).exe", "kept");
  // The running program cannot be deleted while it runs.
  files.failOperation(FakeFiles::Op::kDeleteFile, os_error::kAccessDenied, paths().programFile);

  EXPECT_TRUE(installer().runRemoval());

  EXPECT_EQ(screens.shown.back(), "removed");
  EXPECT_FALSE(registry.hasKey(kUser, settings_key::kUser));
  EXPECT_FALSE(registry.hasKey(kMachine, settings_key::kUser));
  EXPECT_FALSE(registry.hasKey(kMachine, kUninstallKey));
  EXPECT_FALSE(files.isFile(paths().queueDatabase));
  EXPECT_FALSE(files.isFile(paths().oldQueueFiles[0]));
  EXPECT_FALSE(files.isFile(paths().programsShortcut));
  EXPECT_FALSE(files.isFile(paths().desktopShortcut));
  EXPECT_TRUE(files.isFile(paths().programFile));
  EXPECT_TRUE(files.isFile(folders.myDocuments + "\\Haulix (Previous Version).exe"));
  ASSERT_EQ(scripts.started, std::vector<std::string>{"C:\\haulix.bat"});
  EXPECT_EQ(files.contents("C:\\haulix.bat"),
            removalScriptText(paths().programFile, paths().programFolder));
}

TEST_F(InstallationTest, TheRemovalScriptWaitsForTheProgramThenCleansUp) {
  EXPECT_EQ(removalScriptText("C:\\A B\\haulix.exe", "C:\\A B"),
            ":Repeat\r\n"
            "del \"C:\\A B\\haulix.exe\"\r\n"
            "if exist \"C:\\A B\\haulix.exe\" goto Repeat\r\n"
            "rmdir \"C:\\A B\"\r\n"
            "del \"C:\\haulix.bat\"");
}

TEST_F(InstallationTest, AScriptThatCannotBeWrittenOrStartedIsDeleted) {
  files.setFreeSpace(10);
  EXPECT_FALSE(installer().runRemoval());
  EXPECT_FALSE(files.isFile(kRemovalScript));
  EXPECT_TRUE(scripts.started.empty());

  files.setFreeSpace(-1);
  scripts.startSucceeds = false;
  EXPECT_FALSE(installer().runRemoval());
  EXPECT_FALSE(files.isFile(kRemovalScript));
  EXPECT_EQ(scripts.started.size(), 1u);
}

TEST_F(InstallationTest, AnOldScriptIsReplaced) {
  files.putFile(kRemovalScript, "something else entirely, and longer than the new script");
  EXPECT_TRUE(installer().runRemoval());
  EXPECT_EQ(files.contents(kRemovalScript),
            removalScriptText(folders.executable, paths().programFolder));
}

}  // namespace
