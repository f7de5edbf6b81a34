// haulix.exe as a user runs it, in a Wine prefix of its own: addresses handed over from
// another process, files fetched from the local test server, the window sent to the tray
// and brought back by a second start, Exit, and a restart that resumes a broken transfer.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "e2e/haulix_process.h"
#include "windows/local_server.h"

namespace {

const std::string kSaveFolder = "C:\\haulix-e2e\\saved";
const std::string kShots = "C:\\haulix-e2e\\shots";
constexpr UINT kExitCommand = 41001;
// The colour of the covered part of a progress bar in a row that is not selected.
constexpr COLORREF kBarColour = RGB(255, 204, 0);

// The bytes of a file of the test site: a pattern that differs per name and place.
std::string siteFileBytes(const std::string& name, size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 2166136261u;
  for (char c : name) state = (state ^ static_cast<unsigned char>(c)) * 16777619u;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

// The text size of programs started from now on, in dots per inch (96: 100%, 144: 150%).
void setTextScale(int dpi) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  if (dpi == 96) {
    RegDeleteValueA(key, "LogPixels");
  } else {
    const DWORD value = static_cast<DWORD>(dpi);
    RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
  }
  RegCloseKey(key);
}

// The banner of a main window as the screen shows it: the band's height, and the rows of it
// where the title's letters have ink (anything but the banner colour left of the white
// "Open" link).
struct BannerInk {
  int band = 0;
  int firstInkRow = -1;
  int lastInkRow = -1;
};
BannerInk bannerInk(const ScreenPicture& picture, HWND window) {
  constexpr COLORREF kBanner = RGB(0, 102, 204);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  RECT client = {};
  GetClientRect(window, &client);
  BannerInk ink;
  while (ink.band < client.bottom &&
         picture.at(origin.x + client.right - 3, origin.y + ink.band) == kBanner)
    ++ink.band;
  int openX = origin.x + client.right;
  for (int y = 0; y < ink.band; ++y)
    for (int x = origin.x + 8; x < openX; ++x)
      if (picture.at(x, origin.y + y) == RGB(255, 255, 255)) openX = x;
  for (int y = 0; y < ink.band; ++y) {
    for (int x = origin.x; x < openX - 2; ++x) {
      if (picture.at(x, origin.y + y) == kBanner) continue;
      if (ink.firstInkRow < 0) ink.firstInkRow = y;
      ink.lastInkRow = y;
      break;
    }
  }
  return ink;
}

class EndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(haulixPath().empty()) << "HAULIX_EXE names the program";
    ASSERT_EQ(FindWindowA("HaulixDownload", nullptr), nullptr) << "no Download Window yet";
    CreateDirectoryA("C:\\haulix-e2e", nullptr);
    CreateDirectoryA(kSaveFolder.c_str(), nullptr);
    CreateDirectoryA(kShots.c_str(), nullptr);
    ASSERT_TRUE(setHaulixNumber("setup", 300));
    ASSERT_TRUE(setHaulixNumber("get", 3));
    ASSERT_TRUE(setHaulixNumber("pause", 0));
    ASSERT_TRUE(setHaulixNumber("conn", 1));
    ASSERT_TRUE(setHaulixText("folder", kSaveFolder));
    DeleteFileA(haulixDatabasePath().c_str());
    ASSERT_TRUE(server_.running()) << server_.error();
  }

  // The program's Download Window, once its first start has made it.
  HWND startProgram(HaulixProcess& process) {
    EXPECT_TRUE(process.start());
    HWND window = waitForDownloadWindow(60000);
    EXPECT_NE(window, nullptr);
    return window;
  }

  static HWND listOf(HWND window) { return FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr); }

  // Exit from the system menu; the process ends with 0.
  static void exitProgram(HWND window, HaulixProcess& process) {
    PostMessageA(window, WM_SYSCOMMAND, kExitCommand, 0);
    EXPECT_EQ(process.waitForExit(60000), 0);
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

  // Ten files of different sizes, sent slowly enough to be seen transferring; the first
  // takes some 20 s, so that a picture taken on a busy machine still finds its bar.
  std::string addresses;
  std::vector<uint64_t> sizes;
  for (int i = 0; i < 10; ++i) {
    sizes.push_back(600000 + 150000 * i);
    addresses += server_.address("/gen/" + std::to_string(sizes[i]) + "/file" + std::to_string(i) +
                                 ".bin?seed=" + std::to_string(i + 1) +
                                 (i == 0 ? "&rate=30000" : "&rate=1500000")) +
                 "\r\n";
  }
  EXPECT_EQ(handOver(window, addresses), TRUE);
  ASSERT_TRUE(waitUntil([&] { return rows.rows() == 10; }, 30000));

  // While some transfer runs, its Size cell carries a percentage and its bar.
  bool sawProgress = waitUntil(
      [&] {
        for (int row = 0; row < 10; ++row)
          if (rows.cell(row, 2).find('%') != std::string::npos) return true;
        return false;
      },
      60000);
  EXPECT_TRUE(sawProgress);
  ScreenPicture picture;
  EXPECT_TRUE(pictureShowing(
      kShots + "\\download-window-transferring.ppm", GetTickCount(),
      [&](const ScreenPicture& p) { return showsColour(p, listOf(window), kBarColour); }, picture,
      0))
      << "a progress bar on the screen";

  ASSERT_TRUE(waitUntil([&] { return allRowsDone(rows, 10); }, 120000));
  for (int i = 0; i < 10; ++i) {
    std::string path = kSaveFolder + "\\file" + std::to_string(i) + ".bin";
    EXPECT_TRUE(fileHasGeneratedBytes(path, i + 1, sizes[i])) << path;
  }
  EXPECT_TRUE(picture.take(kShots + "\\download-window-done.ppm"));

  // The close box sends the window to the tray; a second start brings it back and ends.
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(waitUntil([&] { return !IsWindowVisible(window); }, 30000));
  HaulixProcess second;
  ASSERT_TRUE(second.start());
  EXPECT_EQ(second.waitForExit(60000), 0);
  EXPECT_TRUE(waitUntil([&] { return IsWindowVisible(window) != FALSE; }, 30000));
  EXPECT_EQ(FindWindowExA(nullptr, window, "HaulixDownload", nullptr), nullptr)
      << "only one Download Window";

  exitProgram(window, program);
  std::string database;
  ASSERT_TRUE(readWholeFile(haulixDatabasePath(), database));
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
        120000));
    ScreenPicture picture;
    EXPECT_TRUE(picture.take(kShots + "\\download-window-stalled.ppm"));
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
  ASSERT_TRUE(waitUntil([&] { return allRowsDone(rows, 1); }, 120000));
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

// Exit ends the program within seconds whatever its transfer waits for, and saves the queue.
TEST_F(EndToEnd, ExitEndsTheProgramWhileATransferWaitsOnASilentOrKilledServer) {
  const std::string silentFtp =
      "ftp://127.0.0.1:" + std::to_string(server_.port()) + "/silent-ftp.bin";
  struct Case {
    const char* what;
    std::string address;
    bool killed;  // the server dies while the file comes
  };
  const std::vector<Case> cases = {
      {"an HTTP server that takes the request and never answers",
       server_.address("/gen/1000/silent-http.bin?delay=3600"), false},
      // The HTTP server takes the connection and waits for a request; the program waits for
      // an FTP greeting.
      {"an FTP server that takes the connection and never answers", silentFtp, false},
      {"a server killed in the middle of the file", "/gen/500000000/killed.bin?rate=2000000", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(haulixDatabasePath().c_str());
    std::unique_ptr<LocalServer> doomed;
    std::string address = c.address;
    if (c.killed) {
      doomed = std::make_unique<LocalServer>(LocalServer::Kind::Http);
      ASSERT_TRUE(doomed->running()) << doomed->error();
      address = doomed->address(c.address);
    }
    HaulixProcess program;
    HWND window = startProgram(program);
    ASSERT_NE(window, nullptr);
    RemoteList rows(listOf(window));
    ASSERT_TRUE(rows.ok());
    handOver(window, address);
    if (c.killed) {
      ASSERT_TRUE(waitUntil([&] { return rows.cell(0, 2).find('%') != std::string::npos; }, 60000))
          << rows.cell(0, 0);
      doomed->fetch("/_kill");
      ASSERT_TRUE(waitUntil([&] { return doomed->fetch("/_log").empty(); }, 30000));
    } else {
      // The transfer has waited on the server for 5 s at least.
      ASSERT_TRUE(
          waitUntil([&] { return rows.cell(0, 0).rfind("No response for", 0) == 0; }, 60000))
          << rows.cell(0, 0);
    }
    PostMessageA(window, WM_SYSCOMMAND, kExitCommand, 0);
    EXPECT_EQ(program.waitForExit(20000), 0) << "Exit ends the process within seconds";
    std::string database;
    EXPECT_TRUE(readWholeFile(haulixDatabasePath(), database));
    const std::string name = address.substr(address.rfind('/') + 1);
    EXPECT_NE(database.find(name.substr(0, name.find('.'))), std::string::npos)
        << "the queue is saved";
  }
}

// The banner's large title shows whole, nothing cut at its top or foot, at the usual text
// size and at 125% and 150%, where the title and the banner grow with the text.
TEST_F(EndToEnd, TheBannerShowsItsWholeTitleAtEveryTextSize) {
  for (const int dpi : {96, 120, 144}) {
    SCOPED_TRACE("dots per inch: " + std::to_string(dpi));
    setTextScale(dpi);
    HaulixProcess program;
    HWND window = startProgram(program);
    ASSERT_NE(window, nullptr);
    BannerInk ink;
    ScreenPicture picture;
    EXPECT_TRUE(pictureShowing(
        kShots + "\\banner-" + std::to_string(dpi) + "-dpi.ppm", GetTickCount(),
        [&](const ScreenPicture& p) {
          ink = bannerInk(p, window);
          return ink.lastInkRow >= 0;
        },
        picture));
    EXPECT_GE(ink.band, 23 * dpi / 96) << "the banner grows with the text";
    EXPECT_GT(ink.firstInkRow, 0) << "the title is cut at its top";
    EXPECT_LT(ink.lastInkRow, ink.band - 1) << "the title is cut at its foot";
    EXPECT_GE(ink.lastInkRow - ink.firstInkRow + 1, 18 * dpi / 96) << "the title's letters";
    exitProgram(window, program);
  }
  setTextScale(96);
}

TEST_F(EndToEnd, ASiteWindowCrawlsALocalSiteWithExpandAndGetHandsItsFilesToTheDownloadWindow) {
  TempFolder site;
  const std::vector<std::pair<std::string, size_t>> files = {
      {"one.bin", 300000}, {"two.bin", 123457}, {"three.bin", 50000}, {"four.bin", 7}};
  for (const auto& [name, size] : files) ASSERT_TRUE(site.write(name, siteFileBytes(name, size)));
  ASSERT_TRUE(site.write("pic.gif", siteFileBytes("pic.gif", 1000)));
  ASSERT_TRUE(site.write("index.htm",
                         "<html><head><title>Home</title></head><body>"
                         "<a href=a.htm>A</a> <a href=b.htm>B</a> <a href=one.bin>one</a>"
                         "<img src=pic.gif></body></html>"));
  ASSERT_TRUE(site.write("a.htm", "<title>Page A</title><a href=c.htm>C</a><a href=two.bin>2</a>"));
  ASSERT_TRUE(site.write("b.htm", "<title>Page B</title><a href=three.bin>3</a>"));
  ASSERT_TRUE(
      site.write("c.htm", "<title>Page C</title><a href=four.bin>4</a><a href=one.bin>1</a>"));
  LocalServer server(LocalServer::Kind::Http, {"--root", site.unixPath()});
  ASSERT_TRUE(server.running()) << server.error();

  HaulixProcess program;
  ASSERT_TRUE(program.start("/site"));
  HWND window = nullptr;
  ASSERT_TRUE(
      waitUntil([&] { return (window = FindWindowA("HaulixSite", nullptr)) != nullptr; }, 60000));
  EXPECT_EQ(FindWindowA("HaulixDownload", nullptr), nullptr) << "a Site Window alone";
  // The window exists before its children: it is ready once shown (its buttons are laid out
  // and enabled before it shows).
  ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(window) != FALSE; }, 60000));
  HWND edit = FindWindowExA(window, nullptr, "EDIT", nullptr);
  ASSERT_NE(edit, nullptr);
  RemoteList rows(listOf(window));
  ASSERT_TRUE(rows.ok());

  // Expand on, then the address typed and Enter: the whole site, three levels deep.
  clickAt(window, siteButtonCentre(8));
  const std::string root = server.address("/index.htm");
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(root.c_str()));
  PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
  // The root's list holds every address of the site once: 4 pages, 4 files and the image.
  ASSERT_TRUE(waitUntil([&] { return rows.rows() == 9; }, 60000)) << rows.rows() << " rows";
  int paged = 0;
  for (const LocalServer::Request& request : server.requests())
    if (request.method == "GET" && request.path.find(".htm") != std::string::npos) ++paged;
  EXPECT_EQ(paged, 4) << "each page read once";

  // The four files chosen, then Get: the Site Window starts the Download Window, which
  // fetches them into the save folder.
  for (int row = 0; row < rows.rows(); ++row) {
    if (rows.cell(row, 4).find(".bin") != std::string::npos) {
      EXPECT_TRUE(rows.select(row));
    }
  }
  ScreenPicture picture;
  EXPECT_TRUE(picture.take(kShots + "\\site-window.ppm"));
  // Get becomes a button at the idle pass after the selection, which cannot be seen from
  // here; a click that comes before it is ignored, as a user's would be. So Get is clicked
  // until the Download Window shows.
  HWND download = nullptr;
  ASSERT_TRUE(waitUntil(
      [&] {
        clickAt(window, siteButtonCentre(9));
        return (download = waitForDownloadWindow(3000)) != nullptr;
      },
      60000));
  RemoteList queued(listOf(download));
  ASSERT_TRUE(waitUntil([&] { return allRowsDone(queued, 4); }, 120000));
  for (const auto& [name, size] : files) {
    std::string bytes;
    ASSERT_TRUE(readWholeFile(kSaveFolder + "\\" + name, bytes)) << name;
    EXPECT_TRUE(bytes == siteFileBytes(name, size)) << name;
  }

  // Closing the Site Window ends its process; Exit ends the Download Window's.
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.waitForExit(60000), 0);
  DWORD downloadId = 0;
  GetWindowThreadProcessId(download, &downloadId);
  HANDLE downloadProcess = OpenProcess(SYNCHRONIZE, FALSE, downloadId);
  ASSERT_NE(downloadProcess, nullptr);
  PostMessageA(download, WM_SYSCOMMAND, kExitCommand, 0);
  EXPECT_EQ(WaitForSingleObject(downloadProcess, 60000), WAIT_OBJECT_0);
  CloseHandle(downloadProcess);
}

// "&amp;" in a link is "&" to the server, and a title's "&amp;" is shown as "&" in the tree
// and the window title, as a browser reads them.
TEST_F(EndToEnd, ASiteWindowReadsCharacterReferencesInLinksAndTitles) {
  TempFolder site;
  ASSERT_TRUE(site.write("index.htm",
                         "<html><head><title>Tools &amp; Tips</title></head><body>"
                         "<a href=\"run.htm?code=1&amp;edition=2015\">run</a></body></html>"));
  ASSERT_TRUE(site.write("run.htm", "<title>Run &#38; see</title>"));
  LocalServer server(LocalServer::Kind::Http, {"--root", site.unixPath()});
  ASSERT_TRUE(server.running()) << server.error();

  HaulixProcess program;
  ASSERT_TRUE(program.start("/site"));
  HWND window = nullptr;
  ASSERT_TRUE(
      waitUntil([&] { return (window = FindWindowA("HaulixSite", nullptr)) != nullptr; }, 60000));
  ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(window) != FALSE; }, 60000));
  HWND edit = FindWindowExA(window, nullptr, "EDIT", nullptr);
  ASSERT_NE(edit, nullptr);
  clickAt(window, siteButtonCentre(8));
  const std::string root = server.address("/index.htm");
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(root.c_str()));
  PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);

  auto asked = [&] {
    for (const LocalServer::Request& request : server.requests())
      if (request.path.rfind("/run.htm", 0) == 0) return request.path;
    return std::string();
  };
  ASSERT_TRUE(waitUntil([&] { return !asked().empty(); }, 60000));
  EXPECT_EQ(asked(), "/run.htm?code=1&edition=2015");
  auto title = [&] {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return std::string(text);
  };
  // The root's label, which the window title repeats.
  ASSERT_TRUE(waitUntil(
      [&] { return title() != "Haulix" && title().find("index") != std::string::npos; }, 60000));
  EXPECT_EQ(title(), "Tools & Tips - index.htm - Haulix");
  ScreenPicture picture;
  EXPECT_TRUE(picture.take(kShots + "\\site-window-references.ppm"));

  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.waitForExit(60000), 0);
}

// "Connections per file" 4: the file comes over four connections at once, three of them
// asking for ranges, and ends as the server's file.
TEST_F(EndToEnd, AFileFetchedWithFourConnectionsPerFileAsksForRangesAndEndsIdentical) {
  ASSERT_TRUE(setHaulixNumber("conn", 4));
  const uint64_t size = 32ull << 20;
  // Slow enough per connection that the first is far from the end when the others start.
  const std::string path = "/gen/" + std::to_string(size) + "/connections.bin?seed=41&rate=4000000";
  HaulixProcess program;
  HWND window = startProgram(program);
  ASSERT_NE(window, nullptr);
  RemoteList rows(listOf(window));
  handOver(window, server_.address(path));
  ASSERT_TRUE(waitUntil([&] { return allRowsDone(rows, 1); }, 120000));
  EXPECT_TRUE(fileHasGeneratedBytes(kSaveFolder + "\\connections.bin", 41, size));

  int gets = 0;
  std::vector<std::string> ranges;
  for (const LocalServer::Request& request : server_.requests()) {
    if (request.path != path || request.method != "GET") continue;
    ++gets;
    const std::string range = request.header("Range");
    if (range.rfind("bytes=", 0) == 0 && range != "bytes=0-") ranges.push_back(range);
  }
  EXPECT_GE(gets, 4);
  std::sort(ranges.begin(), ranges.end());
  EXPECT_GE(std::unique(ranges.begin(), ranges.end()) - ranges.begin(), 3)
      << "three connections beside the first, each from its own offset";
  exitProgram(window, program);
}

}  // namespace
