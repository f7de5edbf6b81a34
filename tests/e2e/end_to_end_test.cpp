// haulix.exe as a user runs it, in a Wine prefix of its own: addresses handed over from
// another process, files fetched from the local test server, the window sent to the tray
// and brought back by a second start, Exit, and a restart that resumes a broken transfer.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/haulix_process.h"
#include "windows/local_server.h"

namespace {

const std::string kSaveFolder = "C:\\haulix-e2e\\saved";
const std::string kShots = "C:\\haulix-e2e\\shots";
constexpr UINT kExitCommand = 41001;

void setRegistry(const char* name, DWORD value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Haulix", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

void setRegistryText(const char* name, const std::string& text) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Haulix", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

std::string databasePath() {
  char folder[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, folder);
  return std::string(folder) + "\\Haulix\\haulix.db";
}

class EndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(haulixPath().empty()) << "HAULIX_EXE names the program";
    ASSERT_EQ(FindWindowA("HaulixDownload", nullptr), nullptr) << "no Download Window yet";
    CreateDirectoryA("C:\\haulix-e2e", nullptr);
    CreateDirectoryA(kSaveFolder.c_str(), nullptr);
    CreateDirectoryA(kShots.c_str(), nullptr);
    setRegistry("setup", 300);
    setRegistry("get", 3);
    setRegistry("pause", 0);
    setRegistryText("folder", kSaveFolder);
    DeleteFileA(databasePath().c_str());
    ASSERT_TRUE(server_.running()) << server_.error();
  }

  // The program's Download Window, once its first start has made it.
  HWND startProgram(HaulixProcess& process) {
    EXPECT_TRUE(process.start());
    HWND window = waitForDownloadWindow(20000);
    EXPECT_NE(window, nullptr);
    return window;
  }

  static HWND listOf(HWND window) { return FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr); }

  // Exit from the system menu; the process ends with 0.
  static void exitProgram(HWND window, HaulixProcess& process) {
    PostMessageA(window, WM_SYSCOMMAND, kExitCommand, 0);
    EXPECT_EQ(process.waitForExit(30000), 0);
  }

  static bool allRowsDone(const RemoteList& rows, int count) {
    if (rows.rows() != count) return false;
    for (int row = 0; row < count; ++row)
      if (rows.cell(row, 0) != "Done") return false;
    return true;
  }

  LocalServer server_{LocalServer::Kind::Http};
};

TEST_F(EndToEnd, TenHandedOverAddressesEndDoneTheTrayStartAndExitSaveTheQueue) {
  HaulixProcess program;
  HWND window = startProgram(program);
  ASSERT_NE(window, nullptr);
  RemoteList rows(listOf(window));
  ASSERT_TRUE(rows.ok());

  // Ten files of different sizes, sent slowly enough to be seen transferring.
  std::string addresses;
  std::vector<uint64_t> sizes;
  for (int i = 0; i < 10; ++i) {
    sizes.push_back(600000 + 150000 * i);
    addresses += server_.address("/gen/" + std::to_string(sizes[i]) + "/file" + std::to_string(i) +
                                 ".bin?seed=" + std::to_string(i + 1) + "&rate=1500000") +
                 "\r\n";
  }
  EXPECT_EQ(handOver(window, addresses), TRUE);
  ASSERT_TRUE(waitUntil([&] { return rows.rows() == 10; }, 10000));

  // While some transfer runs, its Size cell carries a percentage and its bar.
  bool sawProgress = waitUntil(
      [&] {
        for (int row = 0; row < 10; ++row)
          if (rows.cell(row, 2).find('%') != std::string::npos) return true;
        return false;
      },
      20000);
  EXPECT_TRUE(sawProgress);
  Sleep(300);  // long enough for the bars to be painted once more
  EXPECT_TRUE(saveWindowPicture(window, kShots + "\\download-window-transferring.bmp"));

  ASSERT_TRUE(waitUntil([&] { return allRowsDone(rows, 10); }, 60000));
  for (int i = 0; i < 10; ++i) {
    std::string path = kSaveFolder + "\\file" + std::to_string(i) + ".bin";
    EXPECT_TRUE(fileHasGeneratedBytes(path, i + 1, sizes[i])) << path;
  }
  EXPECT_TRUE(saveWindowPicture(window, kShots + "\\download-window-done.bmp"));

  // The close box sends the window to the tray; a second start brings it back and ends.
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(waitUntil([&] { return !IsWindowVisible(window); }, 10000));
  HaulixProcess second;
  ASSERT_TRUE(second.start());
  EXPECT_EQ(second.waitForExit(20000), 0);
  EXPECT_TRUE(waitUntil([&] { return IsWindowVisible(window) != FALSE; }, 10000));
  EXPECT_EQ(FindWindowExA(nullptr, window, "HaulixDownload", nullptr), nullptr)
      << "only one Download Window";

  exitProgram(window, program);
  std::string database;
  ASSERT_TRUE(readWholeFile(databasePath(), database));
  for (int i = 0; i < 10; ++i)
    EXPECT_NE(database.find("file" + std::to_string(i)), std::string::npos);
}

TEST_F(EndToEnd, ABrokenTransferResumesFromItsPiecesAfterARestart) {
  const uint64_t size = 200ull << 20;
  const std::string path =
      "/gen/" + std::to_string(size) + "/big.bin?seed=77&stall=60000000&times=1";
  {
    HaulixProcess program;
    HWND window = startProgram(program);
    ASSERT_NE(window, nullptr);
    RemoteList rows(listOf(window));
    handOver(window, server_.address(path));
    // The first connection stalls after 60,000,000 bytes; exit once most of them are in.
    ASSERT_TRUE(waitUntil(
        [&] {
          std::string sizeText = rows.cell(0, 2);  // "28% 58,594 KB/204,800 KB"
          size_t percent = sizeText.find("% ");
          if (percent == std::string::npos) return false;
          std::string got = sizeText.substr(percent + 2, sizeText.find(" KB/") - percent - 2);
          std::string digits;
          for (char c : got)
            if (c >= '0' && c <= '9') digits += c;
          return !digits.empty() && std::stoll(digits) >= 50000;
        },
        60000));
    EXPECT_TRUE(saveWindowPicture(window, kShots + "\\download-window-stalled.bmp"));
    exitProgram(window, program);
  }
  WIN32_FIND_DATAA found = {};
  HANDLE pieces = FindFirstFileA((kSaveFolder + "\\haulix *.db").c_str(), &found);
  EXPECT_NE(pieces, INVALID_HANDLE_VALUE) << "the pieces stay for the next start";
  if (pieces != INVALID_HANDLE_VALUE) FindClose(pieces);

  HaulixProcess again;
  HWND window = startProgram(again);
  ASSERT_NE(window, nullptr);
  RemoteList rows(listOf(window));
  ASSERT_TRUE(waitUntil([&] { return allRowsDone(rows, 1); }, 60000));
  EXPECT_TRUE(fileHasGeneratedBytes(kSaveFolder + "\\big.bin", 77, size));

  bool resumed = false;
  for (const LocalServer::Request& request : server_.requests()) {
    if (request.path != path || request.method != "GET") continue;
    std::string range = request.header("Range");
    if (range.rfind("bytes=", 0) == 0 && range != "bytes=0-" && range.size() > 7) resumed = true;
  }
  EXPECT_TRUE(resumed) << "the restart asked for the rest with a Range header";
  exitProgram(window, again);
}

}  // namespace
