// Setup and removal through their entry points, on the real file system, shell links and
// (moved) registry of the test's Wine prefix, with their dialogs answered as a user would.
#include "dialogs/setup_dialogs.h"

#include <windows.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "dialog_driver.h"
#include "dialogs/dialog_ids.h"
#include "fakes/fake_shell.h"
#include "platform/product.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_ids.h"
#include "platform/win32/win32_script_runner.h"
#include "platform/win32/win32_text_rules.h"
#include "store/installation.h"
#include "test_registry.h"
#include "windows/local_server.h"

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;

bool exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool writeFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

std::string readFile(const std::string& path) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(missing)";
  char buffer[4096];
  DWORD got = 0;
  std::string bytes;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

// A user's folders in a throwaway folder of the test's own.
class SetupDialogsTest : public ::testing::Test {
 protected:
  SetupDialogsTest() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    root = std::string(temp) + "haulix setup " + std::to_string(GetCurrentProcessId());
    removeTree(root);
    folders.windows = root + "\\Windows";
    folders.desktop = root + "\\Desktop";
    folders.myDocuments = root + "\\My Documents";
    folders.startMenu = root + "\\Start Menu";
    folders.programs = folders.startMenu + "\\Programs";
    folders.programFiles = root + "\\Program Files";
    folders.applicationData = root + "\\Application Data";
    folders.quickLaunch = folders.applicationData + "\\Microsoft\\Internet Explorer\\Quick Launch";
    folders.executable = root + "\\Downloads\\haulix.exe";
    for (const std::string* folder : {&folders.windows, &folders.desktop, &folders.myDocuments,
                                      &folders.programs, &folders.programFiles}) {
      fileOps.makeFolders(*folder, false);
    }
    fileOps.makeFolders(folders.executable, true);
    writeFile(folders.executable, "the new program");
    paths = installPaths(folders);
  }
  ~SetupDialogsTest() override { removeTree(root); }

  SetupContext context() { return {modal, fileOps, registry, shell, scripts, text, folders}; }

  std::string root;
  KnownFolders folders;
  InstallPaths paths;
  Win32Files files;
  Win32Ids ids;
  Win32TextRules rules;
  ByteText text{rules};
  FileOps fileOps{files, ids, text};
  TestRegistry registry;
  FakeShell shell;
  Win32ScriptRunner scripts;
  Modal modal;
};

TEST_F(SetupDialogsTest, AFirstStartFromADownloadFolderInstallsTheProgram) {
  DialogDriver driver([&](DialogDriver& d) {
    HWND welcome = d.waitFor("Welcome to Haulix");
    EXPECT_EQ(d.text(welcome, CTL_LICENCE_NOTICE), product::kLicenceNotice);
    saveScreenshot(welcome, "setup_welcome");
    d.click(welcome, IDOK);
  });
  runSetup(context(), 0);
  driver.finish();

  EXPECT_EQ(readFile(paths.programFile), "the new program");
  EXPECT_EQ(GetFileAttributesA(paths.programFile.c_str()), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_TRUE(exists(folders.executable));
  EXPECT_TRUE(exists(paths.programsShortcut));
  EXPECT_FALSE(exists(paths.startMenuShortcut));
  EXPECT_FALSE(exists(paths.desktopShortcut));
  EXPECT_FALSE(exists(paths.quickLaunchShortcut));
  std::string value;
  ASSERT_TRUE(registry.readText(kMachine, kUninstallKey, "UninstallString", value));
  EXPECT_EQ(value, "\"" + paths.programFile + "\" /addremove");
  ASSERT_TRUE(registry.readText(kMachine, kUninstallKey, "DisplayName", value));
  EXPECT_EQ(value, "Haulix");
}

TEST_F(SetupDialogsTest, AnOldCopyBringsTheUpdateQuestionAndDeleteItTakesItAndItsFolder) {
  fileOps.makeFolders(paths.oldProgramFolder, false);
  writeFile(paths.oldProgramFiles[0], "the old program");
  writeFile(paths.desktopShortcut, "an old link");
  DialogDriver driver([&](DialogDriver& d) {
    d.click(d.waitFor("Welcome to Haulix Version 3.00"), IDOK);
    HWND update = d.waitFor("Haulix Update");
    EXPECT_TRUE(d.checked(update, CTL_DELETE_OLD));
    EXPECT_FALSE(d.checked(update, CTL_SAVE_OLD));
    saveScreenshot(update, "setup_update");
    d.click(update, IDOK);
  });
  runSetup(context(), 200);
  driver.finish();
  EXPECT_FALSE(exists(paths.oldProgramFiles[0]));
  EXPECT_FALSE(exists(paths.oldProgramFolder));
  EXPECT_EQ(readFile(paths.programFile), "the new program");
  EXPECT_NE(readFile(paths.desktopShortcut), "an old link");
  EXPECT_TRUE(shell.opened.empty());
}

TEST_F(SetupDialogsTest, SaveItInMyDocumentsKeepsTheOldCopyThere) {
  fileOps.makeFolders(paths.oldProgramFolder, false);
  writeFile(paths.oldProgramFiles[0], "the old program");
  DialogDriver driver([&](DialogDriver& d) {
    d.click(d.waitFor("Welcome to Haulix"), IDOK);
    HWND update = d.waitFor("Haulix Update");
    d.click(update, CTL_SAVE_OLD);
    EXPECT_FALSE(d.checked(update, CTL_DELETE_OLD));
    d.click(update, IDOK);
  });
  runSetup(context(), 0);
  driver.finish();
  EXPECT_FALSE(exists(paths.oldProgramFiles[0]));
  EXPECT_EQ(readFile(folders.myDocuments + "\\Haulix (Previous Version).exe"), "the old program");
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0].first, folders.myDocuments);
}

TEST_F(SetupDialogsTest, RemovalCancelledChangesNothing) {
  registry.writeNumber(kUser, "Software\\Haulix", "setup", 300);
  fileOps.makeFolders(paths.programFile, true);
  writeFile(paths.programFile, "installed");
  DialogDriver driver([&](DialogDriver& d) {
    HWND remove = d.waitFor("Add or Remove Haulix");
    saveScreenshot(remove, "setup_remove");
    d.click(remove, IDCANCEL);
  });
  runRemoval(context());
  driver.finish();
  EXPECT_TRUE(exists(paths.programFile));
  int32_t level = 0;
  EXPECT_TRUE(registry.readNumber(kUser, "Software\\Haulix", "setup", level));
  EXPECT_FALSE(exists(kRemovalScript));
}

TEST_F(SetupDialogsTest, RemovalTakesEverythingAndTheScriptDeletesTheProgramAfterwards) {
  // The program being removed: the installed program file (not this test, which runs on).
  fileOps.makeFolders(paths.programFile, true);
  writeFile(paths.programFile, "installed");
  folders.executable = paths.programFile;
  writeFile(paths.queueDatabase, "queue");
  writeFile(paths.programsShortcut, "link");
  registry.writeNumber(kUser, "Software\\Haulix", "setup", 300);
  registry.writeText(kMachine, kUninstallKey, "DisplayName", "Haulix");
  // Held open, the program file cannot be deleted, as while the program runs.
  HANDLE running = CreateFileA(paths.programFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(running, INVALID_HANDLE_VALUE);

  DialogDriver driver([&](DialogDriver& d) {
    HWND remove = d.waitFor("Add or Remove Haulix");
    d.click(remove, IDOK);
    EXPECT_TRUE(d.waitGone(remove));
    HWND removed = d.waitFor("Add or Remove Haulix");
    EXPECT_EQ(d.text(removed, CTL_SUPPORT_ADDRESS), product::kSupportAddress);
    saveScreenshot(removed, "setup_removed");
    d.click(removed, IDOK);
  });
  runRemoval(context());
  driver.finish();
  // What the removal raised for the script's sake goes back for the tests after this one.
  SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);

  EXPECT_FALSE(registry.hasKey(kUser, "Software\\Haulix"));
  EXPECT_FALSE(registry.hasKey(kMachine, kUninstallKey));
  EXPECT_FALSE(exists(paths.queueDatabase));
  EXPECT_FALSE(exists(paths.programsShortcut));
  EXPECT_TRUE(exists(paths.programFile));
  EXPECT_TRUE(exists(kRemovalScript));

  // The program ends: the script deletes it, its folder and itself.
  CloseHandle(running);
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (exists(kRemovalScript) && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(exists(kRemovalScript));
  EXPECT_FALSE(exists(paths.programFile));
  EXPECT_FALSE(exists(paths.programFolder));
}

}  // namespace
