// The shell helpers against the real shell32.
#include "platform/win32/win32_shell.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>

namespace {

bool isFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool endsWithIgnoringCase(const std::string& text, const std::string& end) {
  return text.size() >= end.size() &&
         lstrcmpiA(text.substr(text.size() - end.size()).c_str(), end.c_str()) == 0;
}

TEST(Win32Shell, GivesTheProgramsOwnPath) {
  Win32Shell shell;
  std::string own = shell.specialFolderPath(0, 0);
  EXPECT_TRUE(endsWithIgnoringCase(own, ".exe")) << own;
  EXPECT_NE(GetFileAttributesA(own.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Win32Shell, GivesTheWindowsFolderAndCsidlFolders) {
  Win32Shell shell;
  std::string windows = shell.specialFolderPath(1, 0);
  EXPECT_TRUE(isFolder(windows)) << windows;
  char expected[MAX_PATH] = {};
  GetWindowsDirectoryA(expected, MAX_PATH);
  EXPECT_EQ(windows, expected);

  std::string documents = shell.specialFolderPath(2, CSIDL_PERSONAL);
  EXPECT_TRUE(isFolder(documents)) << documents;
  std::string appData = shell.specialFolderPath(5, CSIDL_APPDATA);
  EXPECT_TRUE(isFolder(appData)) << appData;
  EXPECT_NE(appData, documents);
}

// Callers append "\name" to these folders; the shell's item lists name some of them with a
// closing backslash under Wine, which gave "Documents\\My Downloaded Files".
TEST(Win32Shell, NamesCsidlFoldersWithoutAClosingBackslashAsTheFolderPathsDo) {
  Win32Shell shell;
  for (int csidl : {CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU, CSIDL_PROGRAMS,
                    CSIDL_PROGRAM_FILES, CSIDL_APPDATA}) {
    char expected[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, expected), S_OK);
    EXPECT_EQ(shell.specialFolderPath(2, csidl), expected) << "CSIDL " << csidl;
  }
}

TEST(Win32Shell, GivesNothingForAnUnknownCsidl) {
  Win32Shell shell;
  EXPECT_EQ(shell.specialFolderPath(2, 0x7E), "");  // no such CSIDL
}

// The text of the folder chooser's selected tree item.
std::string selectedName(HWND dialog) {
  HWND tree = FindWindowExA(dialog, nullptr, "SysTreeView32", nullptr);
  auto selected = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (!tree || !selected) return {};
  char name[MAX_PATH] = {};
  TVITEMA item = {};
  item.mask = TVIF_TEXT;
  item.hItem = selected;
  item.pszText = name;
  item.cchTextMax = sizeof name;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return name;
}

// Presses a button of the folder chooser once it shows, from another thread.
class FolderChooserTest : public ::testing::Test {
 protected:
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override { CoUninitialize(); }

  std::atomic<bool> shown_ = false;  // whether the chooser showed and was answered

  // Selects `select` first when it is not empty.
  std::string chooseAndPress(int button, const std::string& select = {}) {
    std::atomic<bool> done = false;
    DWORD chooserThread = GetCurrentThreadId();
    std::thread presser([&] {
      // Bounded: the dialog shows within a second under Wine; a chooser that never shows
      // leaves the test to fail by its answer rather than hang.
      for (int tries = 0; tries < 600 && !done; ++tries) {
        HWND dialog = nullptr;
        EnumThreadWindows(
            chooserThread,
            [](HWND window, LPARAM found) {
              char name[32] = {};
              GetClassNameA(window, name, sizeof name);
              if (lstrcmpA(name, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
              *reinterpret_cast<HWND*>(found) = window;
              return FALSE;
            },
            reinterpret_cast<LPARAM>(&dialog));
        // The dialog shows before its tree is filled; select again until the selection
        // takes.
        if (dialog && !select.empty() && tries < 500) {
          SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(select.c_str()));
          if (selectedName(dialog) != select.substr(select.rfind('\\') + 1)) dialog = nullptr;
        }
        if (dialog) {
          shown_ = true;
          PostMessageA(dialog, WM_COMMAND, button, 0);
          return;
        }
        Sleep(50);
      }
    });
    std::string chosen = Win32Shell().chooseFolder("Choose the save folder");
    done = true;
    presser.join();
    return chosen;
  }
};

TEST_F(FolderChooserTest, GivesNothingWhenCancelled) {
  EXPECT_EQ(chooseAndPress(IDCANCEL), "");
  EXPECT_TRUE(shown_);
}

TEST_F(FolderChooserTest, GivesTheChosenFolderWhenConfirmed) {
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  std::string chosen = chooseAndPress(IDOK, windows);
  EXPECT_TRUE(shown_);
  EXPECT_TRUE(endsWithIgnoringCase(chosen, "\\windows")) << chosen;
}

TEST(Win32Shell, OpensAFileWithItsProgramInTheRootFolder) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = temp;
  const std::string script = folder + "haulix_open_test.bat";
  const std::string marker = folder + "haulix_open_test.txt";
  DeleteFileA(marker.c_str());
  {
    std::ofstream out(script, std::ios::binary);
    out << "@echo off\r\ncd > \"" << marker << ".part\"\r\necho %1>> \"" << marker
        << ".part\"\r\nmove /y \"" << marker << ".part\" \"" << marker << "\" > nul\r\n";
  }
  Win32Shell().open(script, "argument");
  // The script runs in a process of its own; wait for its file, at most 30 s.
  for (int tries = 0; tries < 300 && GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES;
       ++tries)
    Sleep(100);
  std::ifstream in(marker);
  std::string workingFolder, argument;
  std::getline(in, workingFolder);
  std::getline(in, argument);
  in.close();
  EXPECT_EQ(workingFolder, "C:\\");
  EXPECT_EQ(argument, "argument");
  DeleteFileA(marker.c_str());
  DeleteFileA(script.c_str());
}

}  // namespace
