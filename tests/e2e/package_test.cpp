// The package as a Windows user gets it: haulix.exe unpacked from the zip into the Downloads
// folder of a fresh Wine prefix (by scripts/package-tests.sh), started from there. Its first
// start sets it up: the welcome shows, drawn and centred on the Download Window, with the
// licence notice that LICENCE.txt beside it holds; the program is installed; the About box
// names the version the zip is named after; and Exit ends it.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/menu_ids.h"  // ABOUT_VERSION
#include "dialogs/dialog_ids.h"
#include "e2e/haulix_process.h"

namespace {

const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Haulix";
constexpr UINT kExitCommand = 41001;  // the system menu's Exit

std::string registryText(HKEY root, const char* key, const char* name) {
  char text[1024] = {};
  DWORD size = sizeof text;
  if (RegGetValueA(root, key, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
    return "(none)";
  return text;
}

int64_t fileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

HWND visibleDialog(const char* title) {
  for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", title); w;
       w = FindWindowExA(nullptr, w, "#32770", title))
    if (IsWindowVisible(w)) return w;
  return nullptr;
}

TEST(ThePackage, StartedWhereItWasUnpackedSetsItselfUpAndRuns) {
  const std::string unpacked = haulixPath();
  ASSERT_FALSE(unpacked.empty()) << "HAULIX_EXE names the unpacked program";
  const char* version = std::getenv("HAULIX_PACKAGE_VERSION");
  ASSERT_NE(version, nullptr) << "HAULIX_PACKAGE_VERSION names the zip's version";
  std::string licence;
  ASSERT_TRUE(readWholeFile(unpacked.substr(0, unpacked.find_last_of("\\/") + 1) + "LICENCE.txt",
                            licence));
  HaulixProcess program;
  ASSERT_TRUE(program.start());

  HWND welcome = nullptr;
  ASSERT_TRUE(
      waitUntil([&] { return (welcome = visibleDialog("Welcome to Haulix")) != nullptr; }, 60000));
  CreateDirectoryA("C:\\haulix-e2e", nullptr);
  CreateDirectoryA("C:\\haulix-e2e\\shots", nullptr);
  ScreenPicture picture;
  EXPECT_TRUE(pictureShowing(
      "C:\\haulix-e2e\\shots\\package-welcome.ppm", GetTickCount(),
      [welcome](const ScreenPicture& p) { return looksDrawn(p, welcome); }, picture))
      << "the welcome is drawn on the screen";
  EXPECT_TRUE(centredOnOwner(welcome));
  char notice[1024] = {};
  GetDlgItemTextA(welcome, CTL_LICENCE_NOTICE, notice, sizeof notice);
  EXPECT_GT(strlen(notice), 0u);
  EXPECT_NE(licence.find(notice), std::string::npos)
      << "LICENCE.txt holds the welcome's notice: " << notice;
  PostMessageA(welcome, WM_COMMAND, IDOK, 0);

  HWND window = waitForDownloadWindow(60000);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(waitUntil(
      [] { return registryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString") != "(none)"; },
      60000))
      << "setup finished";
  char appData[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
  EXPECT_EQ(fileSize(std::string(appData) + "\\Haulix\\haulix.exe"), fileSize(unpacked))
      << "the unpacked program is the one installed";
  char programs[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs);
  EXPECT_GT(fileSize(std::string(programs) + "\\Haulix.lnk"), 0) << "the Start menu's shortcut";

  EXPECT_TRUE(picture.take("C:\\haulix-e2e\\shots\\package-download-window.ppm"));

  // About Haulix from the banner's Open menu, as a user opens it.
  ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(window) != FALSE; }, 60000));
  HWND about = chooseFromOpenMenu(window, 'a', "About Haulix", 120000);
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(pictureShowing(
      "C:\\haulix-e2e\\shots\\package-about.ppm", GetTickCount(),
      [about](const ScreenPicture& p) { return looksDrawn(p, about); }, picture))
      << "the About box is drawn on the screen";
  char shown[256] = {};
  GetDlgItemTextA(about, ABOUT_VERSION, shown, sizeof shown);
  EXPECT_EQ(std::string(shown), std::string("Haulix Version ") + version);
  PostMessageA(about, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(about); }, 60000));

  PostMessageA(window, WM_SYSCOMMAND, kExitCommand, 0);
  EXPECT_EQ(program.waitForExit(60000), 0);
}

}  // namespace
