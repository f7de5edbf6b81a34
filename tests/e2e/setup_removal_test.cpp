// Setup and removal of the real haulix.exe in a Wine prefix of its own (made fresh by
// scripts/setup-e2e-tests.sh), its dialogs answered from this process as a user would:
// the first start from a download folder installs the program file, the shortcuts and the
// uninstall entry; the uninstall command closes the running program, removes everything and
// leaves a script that deletes the program file once the process has ended. A new user's
// first start is followed through Options and a paste to finished downloads.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>
#include <prsht.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dialogs/dialog_ids.h"
#include "haulix_process.h"
#include "windows/local_server.h"

namespace {

const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Haulix";
constexpr UINT kExitCommand = 41001;  // the system menu's Exit
const std::string kShots = "C:\\haulix-e2e\\shots";

// The dialog as a user sees it seconds after it appeared: a picture of the screen, checked to
// show the dialog drawn (and centred on its owner, when it has one).
void lookAt(HWND dialog, DWORD appeared, const std::string& name) {
  CreateDirectoryA("C:\\haulix-e2e", nullptr);
  CreateDirectoryA(kShots.c_str(), nullptr);
  ScreenPicture picture;
  EXPECT_TRUE(pictureShowing(
      kShots + "\\" + name + ".ppm", appeared,
      [dialog](const ScreenPicture& p) { return looksDrawn(p, dialog); }, picture))
      << name << " is not drawn on the screen";
  if (GetWindow(dialog, GW_OWNER)) {
    EXPECT_TRUE(centredOnOwner(dialog)) << name;
  }
}

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
  HWND welcome = waitForDialog("Welcome to Haulix", 60000);
  ASSERT_NE(welcome, nullptr);
  lookAt(welcome, GetTickCount(), "setup-welcome");
  PostMessageA(welcome, WM_COMMAND, IDOK, 0);
  HWND update = waitForDialog("Haulix Update", 60000);
  ASSERT_NE(update, nullptr);
  lookAt(update, GetTickCount(), "setup-update");
  EXPECT_EQ(IsDlgButtonChecked(update, 1043), BST_CHECKED) << "Delete it is chosen first";
  PostMessageA(update, WM_COMMAND, IDOK, 0);
  ASSERT_NE(waitForDownloadWindow(60000), nullptr);
  // Setup goes on after the question; the uninstall entry is its last step.
  ASSERT_TRUE(waitUntil(
      [&] {
        return registryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString") != "(none)";
      },
      60000));

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
  HWND remove = waitForDialog("Add or Remove Haulix", 60000);
  ASSERT_NE(remove, nullptr);
  EXPECT_EQ(first.waitForExit(60000), 0) << "the running Download Window was closed";
  lookAt(remove, GetTickCount(), "removal-question");
  PostMessageA(remove, WM_COMMAND, IDOK, 0);
  HWND removed = waitForDialog("Add or Remove Haulix", 60000, remove);
  ASSERT_NE(removed, nullptr);
  lookAt(removed, GetTickCount(), "removal-done");
  char support[256] = {};
  GetDlgItemTextA(removed, 1201, support, sizeof support);
  EXPECT_NE(std::string(support).find('@'), std::string::npos);
  PostMessageA(removed, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(WaitForSingleObject(removal, 60000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(removal, &code);
  CloseHandle(removal);
  EXPECT_EQ(code, 0u);

  // The script deletes the program file after the process, then the folder and itself.
  EXPECT_TRUE(waitUntil([&] { return !exists(programFile) && !exists("C:\\haulix.bat"); }, 60000));
  EXPECT_TRUE(waitUntil([&] { return !exists(appData + "\\Haulix"); }, 60000));
  EXPECT_FALSE(exists(programsShortcut));
  EXPECT_FALSE(exists(desktopShortcut));
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Haulix"));
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

DWORD registryNumber(HKEY root, const char* key, const char* name) {
  DWORD value = 0xFFFFFFFF;
  DWORD size = sizeof value;
  RegGetValueA(root, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
  return value;
}

// Puts the text on the clipboard as a browser's Copy does; the owner window stays until
// the object goes, so the program can read it.
class ClipboardText {
 public:
  explicit ClipboardText(const std::string& text) {
    owner_ =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!owner_ || !OpenClipboard(owner_)) return;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (memory) {
      memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
      GlobalUnlock(memory);
      placed_ = SetClipboardData(CF_TEXT, memory) != nullptr;
      if (!placed_) GlobalFree(memory);
    }
    CloseClipboard();
  }
  ~ClipboardText() {
    if (owner_) DestroyWindow(owner_);
  }
  ClipboardText(const ClipboardText&) = delete;
  ClipboardText& operator=(const ClipboardText&) = delete;
  bool placed() const { return placed_; }

 private:
  HWND owner_ = nullptr;
  bool placed_ = false;
};

// The middle of the Download Window's "Addresses" link, as its window lays it out: right of
// the Pause and Remove buttons (as wide as the wider label in the menu font plus 10, 56 at
// least), 17 pixels on, at y = 27.
POINT addressesLinkCentre() {
  auto width = [](const char* text) { return static_cast<int>(menuTextSize(text).cx); };
  const int bw = std::max(56, std::max(width("Pause"), width("Remove")) + 10);
  const int addresses = width("Addresses");
  return {2 * bw + 17 + addresses / 2, 27 + 7};
}

// How many rows of the list show a running transfer (a percentage in the Size cell). The
// cells are read one at a time while the program goes on, so a file that ends and the next
// one that starts can both be seen running in one reading: only two readings in a row that
// agree on which rows run are taken.
int rowsTransferring(const RemoteList& rows) {
  auto running = [&rows] {
    std::vector<bool> shown;
    for (int row = 0; row < rows.rows(); ++row)
      shown.push_back(rows.cell(row, 2).find('%') != std::string::npos);
    return shown;
  };
  std::vector<bool> last = running();
  for (std::vector<bool> now = running(); now != last; now = running()) last = now;
  return static_cast<int>(std::count(last.begin(), last.end(), true));
}

TEST(NewUser, SetsUpOnItsFirstStartTakesThreeFilesAtOnceAndGetsEveryPastedFile) {
  const char* const userKey = "Software\\Haulix";
  ASSERT_FALSE(keyExists(HKEY_CURRENT_USER, userKey)) << "a new user: no settings yet";
  LocalServer server(LocalServer::Kind::Http);
  ASSERT_TRUE(server.running()) << server.error();

  // The program as a user has just downloaded it.
  const std::string downloads = folder(CSIDL_PROFILE) + "\\Downloads";
  CreateDirectoryA(downloads.c_str(), nullptr);
  const std::string downloaded = downloads + "\\haulix.exe";
  ASSERT_TRUE(CopyFileA(haulixPath().c_str(), downloaded.c_str(), FALSE));
  const std::string built = haulixPath();
  _putenv(("HAULIX_EXE=" + downloaded).c_str());
  HaulixProcess program;
  const bool started = program.start();
  _putenv(("HAULIX_EXE=" + built).c_str());
  ASSERT_TRUE(started);

  // Setup: the welcome answered with OK; no older release, so no further question.
  HWND welcome = waitForDialog("Welcome to Haulix", 60000);
  ASSERT_NE(welcome, nullptr);
  lookAt(welcome, GetTickCount(), "new-user-welcome");
  PostMessageA(welcome, WM_COMMAND, IDOK, 0);
  HWND window = waitForDownloadWindow(60000);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(waitUntil(
      [&] {
        return registryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString") != "(none)";
      },
      60000))
      << "setup finished";
  EXPECT_EQ(fileSize(folder(CSIDL_APPDATA) + "\\Haulix\\haulix.exe"), fileSize(downloaded))
      << "setup installed the downloaded program";
  EXPECT_EQ(registryNumber(HKEY_CURRENT_USER, userKey, "get"), 0xFFFFFFFFu)
      << "nothing says how many files at once before Options";

  // Options from the Open menu (its key letter O): 3 files at once, then OK. The window is
  // laid out before it shows.
  ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(window) != FALSE; }, 60000));
  ScreenPicture menuPicture;
  HWND sheet = chooseFromOpenMenu(window, 'o', "Options", 120000, [&] {
    EXPECT_TRUE(menuPicture.take(kShots + "\\new-user-open-menu.ppm"));
  });
  ASSERT_NE(sheet, nullptr);
  lookAt(sheet, GetTickCount(), "new-user-options");
  HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  ASSERT_NE(page, nullptr);
  // The save folder as the page shows it: a new user's default.
  char shown[MAX_PATH] = {};
  GetDlgItemTextA(page, CTL_FOLDER, shown, sizeof shown);
  const std::string saveFolder = shown;
  EXPECT_EQ(saveFolder, folder(CSIDL_PERSONAL) + "\\My Downloaded Files");
  SendDlgItemMessageA(page, CTL_COUNT, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("3"));
  char label[64] = {};
  GetDlgItemTextA(page, CTL_COUNT_LABEL, label, sizeof label);
  EXPECT_STREQ(label, "files at once");
  PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
  EXPECT_TRUE(
      waitUntil([&] { return registryNumber(HKEY_CURRENT_USER, userKey, "get") == 3; }, 60000))
      << "OK stores the count";
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(sheet); }, 60000)) << "OK closes the sheet";

  // Six addresses copied, then a click on "Addresses" pastes them; sent slowly enough that
  // three run side by side for a while.
  std::string addresses;
  std::vector<uint64_t> sizes;
  for (int i = 0; i < 6; ++i) {
    sizes.push_back(700000 + 100000 * i);
    addresses += server.address("/gen/" + std::to_string(sizes[i]) + "/new" + std::to_string(i) +
                                ".bin?seed=" + std::to_string(i + 11) + "&rate=350000") +
                 "\r\n";
  }
  ClipboardText copied(addresses);
  ASSERT_TRUE(copied.placed());
  RemoteList rows(FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr));
  ASSERT_TRUE(rows.ok());
  const POINT link = addressesLinkCentre();
  PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(link.x, link.y));
  PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(link.x, link.y));
  ASSERT_TRUE(waitUntil([&] { return rows.rows() == 6; }, 60000)) << rows.rows() << " rows";

  // Never more than three at once, and three while the queue is long enough.
  int most = 0;
  bool allDone = waitUntil(
      [&] {
        most = std::max(most, rowsTransferring(rows));
        for (int row = 0; row < 6; ++row)
          if (rows.cell(row, 0) != "Done") return false;
        return true;
      },
      180000);
  ASSERT_TRUE(allDone);
  EXPECT_EQ(most, 3);
  for (int i = 0; i < 6; ++i) {
    const std::string path = saveFolder + "\\new" + std::to_string(i) + ".bin";
    EXPECT_TRUE(fileHasGeneratedBytes(path, i + 11, sizes[i])) << path;
  }
  ScreenPicture picture;
  EXPECT_TRUE(picture.take(kShots + "\\new-user-download-window.ppm"));

  // Exit from the system menu; the setting stays for the next start.
  PostMessageA(window, WM_SYSCOMMAND, kExitCommand, 0);
  EXPECT_EQ(program.waitForExit(60000), 0);
  EXPECT_EQ(registryNumber(HKEY_CURRENT_USER, userKey, "get"), 3u);
}

}  // namespace
