// Setup and removal of the real haulix.exe in a Wine prefix of its own (made fresh by
// scripts/setup-e2e-tests.sh), its dialogs answered from this process as a user would:
// the first start from a download folder installs the program file, the shortcuts and the
// uninstall entry; the uninstall command closes the running program, removes everything and
// leaves a script that deletes the program file once the process has ended.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "haulix_process.h"

namespace {

const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Haulix";

HWND waitForDialog(const char* title, DWORD milliseconds, HWND other = nullptr) {
  HWND found = nullptr;
  waitUntil(
      [&] {
        found = nullptr;
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", title); w;
             w = FindWindowExA(nullptr, w, "#32770", title)) {
          if (w != other && IsWindowVisible(w)) found = w;
        }
        return found != nullptr;
      },
      milliseconds);
  return found;
}

bool exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int64_t fileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
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

std::string folder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, path);
  return path;
}

bool keyExists(HKEY root, const char* key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

std::string registryText(HKEY root, const char* key, const char* name) {
  char text[1024] = {};
  DWORD size = sizeof text;
  if (RegGetValueA(root, key, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
    return "(none)";
  return text;
}

// Starts a command line (not a bare program path), as the uninstall entry is run.
HANDLE startCommand(std::string command) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

TEST(SetupAndRemoval, AFirstStartInstallsAndTheUninstallCommandTakesItAllAway) {
  const std::string appData = folder(CSIDL_APPDATA);
  const std::string programFile = appData + "\\Haulix\\haulix.exe";
  const std::string programsShortcut = folder(CSIDL_PROGRAMS) + "\\Haulix.lnk";
  const std::string desktopShortcut = folder(CSIDL_DESKTOPDIRECTORY) + "\\Haulix.lnk";
  const std::string startMenuShortcut = folder(CSIDL_STARTMENU) + "\\Haulix.lnk";
  const std::string oldFolder = folder(CSIDL_PROGRAM_FILES) + "\\Haulix";
  const std::string oldProgram = oldFolder + "\\Haulix.exe";
  // A desktop shortcut of an older release is made again; none on the Start menu is made.
  ASSERT_TRUE(writeFile(desktopShortcut, ""));
  ASSERT_TRUE(CreateDirectoryA(oldFolder.c_str(), nullptr));
  ASSERT_TRUE(writeFile(oldProgram, "an older release"));

  // The first start: welcome, the update question (Delete it), then the Download Window.
  HaulixProcess first;
  ASSERT_TRUE(first.start());
  HWND welcome = waitForDialog("Welcome to Haulix", 20000);
  ASSERT_NE(welcome, nullptr);
  PostMessageA(welcome, WM_COMMAND, IDOK, 0);
  HWND update = waitForDialog("Haulix Update", 20000);
  ASSERT_NE(update, nullptr);
  EXPECT_EQ(IsDlgButtonChecked(update, 1043), BST_CHECKED) << "Delete it is chosen first";
  PostMessageA(update, WM_COMMAND, IDOK, 0);
  ASSERT_NE(waitForDownloadWindow(20000), nullptr);
  // Setup goes on after the question; the uninstall entry is its last step.
  ASSERT_TRUE(waitUntil(
      [&] {
        return registryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString") != "(none)";
      },
      20000));

  EXPECT_EQ(fileSize(programFile), fileSize(haulixPath())) << "the program file is a copy";
  EXPECT_FALSE(exists(oldProgram));
  EXPECT_FALSE(exists(oldFolder)) << "the emptied old program folder goes";
  EXPECT_GT(fileSize(programsShortcut), 0);
  EXPECT_GT(fileSize(desktopShortcut), 0) << "the existing desktop shortcut is made again";
  EXPECT_FALSE(exists(startMenuShortcut));
  EXPECT_EQ(registryText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Haulix");
  const std::string uninstall = registryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString");
  EXPECT_EQ(uninstall, "\"" + programFile + "\" /addremove");

  // The uninstall command while the program runs: the running copy is closed first.
  HANDLE removal = startCommand(uninstall);
  ASSERT_NE(removal, nullptr);
  HWND remove = waitForDialog("Add or Remove Haulix", 20000);
  ASSERT_NE(remove, nullptr);
  EXPECT_EQ(first.waitForExit(10000), 0) << "the running Download Window was closed";
  PostMessageA(remove, WM_COMMAND, IDOK, 0);
  HWND removed = waitForDialog("Add or Remove Haulix", 20000, remove);
  ASSERT_NE(removed, nullptr);
  char support[256] = {};
  GetDlgItemTextA(removed, 1201, support, sizeof support);
  EXPECT_NE(std::string(support).find('@'), std::string::npos);
  PostMessageA(removed, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(WaitForSingleObject(removal, 20000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(removal, &code);
  CloseHandle(removal);
  EXPECT_EQ(code, 0u);

  // The script deletes the program file after the process, then the folder and itself.
  EXPECT_TRUE(waitUntil([&] { return !exists(programFile) && !exists("C:\\haulix.bat"); }, 30000));
  EXPECT_TRUE(waitUntil([&] { return !exists(appData + "\\Haulix"); }, 10000));
  EXPECT_FALSE(exists(programsShortcut));
  EXPECT_FALSE(exists(desktopShortcut));
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Haulix"));
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

}  // namespace
