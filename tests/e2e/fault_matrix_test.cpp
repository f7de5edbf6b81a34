// haulix.exe against a server that fails: it stops for a few seconds in the middle of a
// large transfer, it closes every connection before the body, and it replaces a file
// between two sessions. What was fetched is kept, the server is not hammered, and a file
// reported Done is the server's file, byte for byte.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/haulix_process.h"
#include "windows/local_server.h"

namespace {

const std::string kSaveFolder = "C:\\haulix-e2e\\faults";
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

void setFolder(const std::string& folder) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Haulix", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "folder", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                 static_cast<DWORD>(folder.size() + 1));
  RegCloseKey(key);
}

std::string databasePath() {
  char folder[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, folder);
  return std::string(folder) + "\\Haulix\\haulix.db";
}

// The piece files in the save folder.
int pieceFileCount() {
  int count = 0;
  WIN32_FIND_DATAA found = {};
  HANDLE search = FindFirstFileA((kSaveFolder + "\\haulix *.db").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do ++count;
  while (FindNextFileA(search, &found));
  FindClose(search);
  return count;
}

// Bytes of a file the test writes for the server to serve: differs per version.
std::string versionBytes(char version, size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 0x9E3779B9u * static_cast<unsigned char>(version);
  for (size_t i = 0; i < size; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

class FaultMatrix : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(haulixPath().empty()) << "HAULIX_EXE names the program";
    ASSERT_EQ(FindWindowA("HaulixDownload", nullptr), nullptr) << "no Download Window yet";
    CreateDirectoryA("C:\\haulix-e2e", nullptr);
    removeTree(kSaveFolder);
    CreateDirectoryA(kSaveFolder.c_str(), nullptr);
    CreateDirectoryA(kShots.c_str(), nullptr);
    setRegistry("setup", 300);
    setRegistry("get", 3);
    setRegistry("pause", 0);
    setFolder(kSaveFolder);
    DeleteFileA(databasePath().c_str());
  }

  HWND startProgram(HaulixProcess& process) {
    EXPECT_TRUE(process.start());
    HWND window = waitForDownloadWindow(20000);
    EXPECT_NE(window, nullptr);
    return window;
  }
  static HWND listOf(HWND window) { return FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr); }
  static void exitProgram(HWND window, HaulixProcess& process) {
    PostMessageA(window, WM_SYSCOMMAND, kExitCommand, 0);
    EXPECT_EQ(process.waitForExit(30000), 0);
  }
  // The server's GET requests for a path, oldest first.
  static std::vector<LocalServer::Request> getsOf(const LocalServer& server,
                                                  const std::string& path) {
    std::vector<LocalServer::Request> found;
    for (const LocalServer::Request& request : server.requests())
      if (request.method == "GET" && request.path == path) found.push_back(request);
    return found;
  }
  static uint64_t rangeStartOf(const LocalServer::Request& request) {
    const std::string range = request.header("Range");
    return range.rfind("bytes=", 0) == 0 ? std::stoull(range.substr(6)) : 0;
  }
};

TEST_F(FaultMatrix, AnOutageKeepsWhatWasFetchedAndAServerThatClosesEarlyIsNotHammered) {
  LocalServer server(LocalServer::Kind::Http);
  ASSERT_TRUE(server.running()) << server.error();
  HaulixProcess program;
  HWND window = startProgram(program);
  ASSERT_NE(window, nullptr);
  RemoteList rows(listOf(window));
  ASSERT_TRUE(rows.ok());

  // (a) 300 MB; at 30% the server stops for 4 seconds and comes back on the same port.
  const uint64_t size = 300ull << 20;
  const uint64_t outageAt = size * 3 / 10;
  const std::string big = "/gen/" + std::to_string(size) +
                          "/outage.bin?seed=31&down=" + std::to_string(outageAt) + ":4&times=1";
  handOver(window, server.address(big));
  bool sawRetrying = false;
  ASSERT_TRUE(waitUntil(
      [&] {
        const std::string status = rows.cell(0, 0);
        if (!sawRetrying && status.rfind("Retrying in ", 0) == 0) {
          sawRetrying = true;
          ScreenPicture().take(kShots + "\\download-window-retrying.ppm");
        }
        return status == "Done";
      },
      180000));
  EXPECT_TRUE(sawRetrying) << "the Status column told of the wait";
  EXPECT_TRUE(fileHasGeneratedBytes(kSaveFolder + "\\outage.bin", 31, size));
  // Nothing fetched before the outage was asked for again.
  const std::vector<LocalServer::Request> gets = getsOf(server, big);
  ASSERT_GE(gets.size(), 2u);
  EXPECT_EQ(rangeStartOf(gets[0]), 0u);
  EXPECT_GE(rangeStartOf(gets[1]), outageAt * 9 / 10);
  uint64_t sent = 0;
  for (const LocalServer::Request& request : gets) sent += request.sent;
  EXPECT_LT(sent, size + size / 20) << "bytes sent in all";
  EXPECT_EQ(pieceFileCount(), 0);

  // (b) A server that closes every connection before the body, watched for a minute.
  const std::string empty = "/gen/5000000/closing.bin?seed=32&drop=0";
  handOver(window, server.address(empty));
  ASSERT_TRUE(waitUntil([&] { return rows.rows() == 2; }, 10000));
  const DWORD began = GetTickCount();
  int mostPieces = 0;
  while (GetTickCount() - began < 60000) {
    mostPieces = std::max(mostPieces, pieceFileCount());
    Sleep(50);
  }
  const size_t asked = getsOf(server, empty).size();
  EXPECT_GE(asked, 3u);
  EXPECT_LE(asked, 15u) << "requests in the first minute";
  EXPECT_LE(mostPieces, 2) << "piece files at once";
  const int row = rows.cell(0, 4).find("closing.bin") != std::string::npos ? 0 : 1;
  EXPECT_TRUE(waitUntil([&] { return rows.cell(row, 0).rfind("Retrying in ", 0) == 0; }, 10000))
      << rows.cell(row, 0);
  exitProgram(window, program);
}

TEST_F(FaultMatrix, AFileChangedBetweenTwoSessionsEndsAsTheNewFileNeverAMix) {
  TempFolder site;
  const size_t size = 20u << 20;
  ASSERT_TRUE(site.write("changing.bin", versionBytes('1', size)));
  LocalServer server(LocalServer::Kind::Http, {"--root", site.unixPath()});
  ASSERT_TRUE(server.running()) << server.error();
  // The first request stops sending after 6 MB; the session ends there.
  const std::string path = "/changing.bin?stall=6000000&times=1";
  {
    HaulixProcess program;
    HWND window = startProgram(program);
    ASSERT_NE(window, nullptr);
    RemoteList rows(listOf(window));
    handOver(window, server.address(path));
    // "24% 5,096 KB/20,480 KB": most of what the first request sends is on disk.
    ASSERT_TRUE(waitUntil([&] { return std::atoi(rows.cell(0, 2).c_str()) >= 20; }, 60000))
        << rows.cell(0, 2);
    exitProgram(window, program);
  }
  ASSERT_GT(pieceFileCount(), 0);
  // The first session may have asked more than once (a connection broken under load is
  // retried); the second session's requests come after these.
  const size_t firstSession = getsOf(server, path).size();

  // The server's file is replaced by another of another size.
  const std::string newer = versionBytes('2', size + 12345);
  ASSERT_TRUE(site.write("changing.bin", newer));

  HaulixProcess again;
  HWND window = startProgram(again);
  ASSERT_NE(window, nullptr);
  RemoteList rows(listOf(window));
  ASSERT_TRUE(waitUntil([&] { return rows.rows() == 1 && rows.cell(0, 0) == "Done"; }, 60000));
  std::string saved;
  ASSERT_TRUE(readWholeFile(kSaveFolder + "\\changing.bin", saved));
  EXPECT_TRUE(saved == newer) << "the new file, " << saved.size() << " bytes";
  // The second session asked for the rest of the old version and got the whole new one.
  const std::vector<LocalServer::Request> gets = getsOf(server, path);
  ASSERT_GE(gets.size(), firstSession + 2);
  const LocalServer::Request& resumed = gets[firstSession];
  EXPECT_FALSE(resumed.header("If-Range").empty());
  EXPECT_GE(rangeStartOf(resumed), size / 5);
  EXPECT_EQ(resumed.status, 200);
  EXPECT_EQ(pieceFileCount(), 0);
  exitProgram(window, again);
}

}  // namespace
