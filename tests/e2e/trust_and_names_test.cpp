// haulix.exe against HTTPS servers with certificates made for this run (a test authority
// trusted in the prefix while the test runs), and the names it saves files under: escaped
// characters of other scripts, the server's Content-Disposition, and folders too deep for a
// path.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "e2e/haulix_process.h"
#include "windows/local_server.h"
#include "windows/trusted_authority.h"

namespace {

const std::string kSaveFolder = "C:\\haulix-e2e\\trust";
const std::string kShots = "C:\\haulix-e2e\\shots";
constexpr UINT kExitCommand = 41001;
constexpr int kPasswordsPage = 1;
// The Passwords page's list and Add button, the site dialog's Site box and check box.
constexpr int kSiteListControl = 1040, kAddControl = 1041, kSiteControl = 1045,
              kAcceptControl = 1203;
constexpr int kStatus = 0, kName = 1, kAddress = 4, kSavedTo = 5;

// The Done, Failed and waiting rows are told apart by their Status text.
bool isFinal(const std::string& status) {
  return status == "Done" || status.rfind("Certificate", 0) == 0 || status == "Cannot Save" ||
         status == "Cannot Connect" || status == "Not Found";
}

// The fields of the database line that holds the address.
std::vector<std::string> databaseFields(const std::string& database, const std::string& address) {
  size_t start = 0;
  while (start < database.size()) {
    size_t end = database.find('\n', start);
    if (end == std::string::npos) end = database.size();
    std::vector<std::string> fields;
    size_t at = start;
    while (at < end) {
      size_t cr = database.find('\r', at);
      if (cr == std::string::npos || cr > end) cr = end;
      fields.push_back(database.substr(at, cr - at));
      at = cr + 1;
    }
    std::string joined;
    for (size_t i = 0; i < fields.size() && i < 9; ++i) joined += fields[i];
    if (joined == address) return fields;
    start = end + 1;
  }
  return {};
}

class TrustAndNames : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(haulixPath().empty()) << "HAULIX_EXE names the program";
    ASSERT_EQ(FindWindowA("HaulixDownload", nullptr), nullptr) << "no Download Window yet";
    CreateDirectoryA("C:\\haulix-e2e", nullptr);
    removeTree(kSaveFolder);
    CreateDirectoryA(kSaveFolder.c_str(), nullptr);
    CreateDirectoryA(kShots.c_str(), nullptr);
    setHaulixNumber("setup", 300);
    setHaulixNumber("get", 4);
    setHaulixNumber("pause", 0);
    setHaulixNumber("sub", 0);
    setHaulixText("folder", kSaveFolder);
    setHaulixText("site", "");
    setHaulixText("cert", "");
    DeleteFileA(haulixDatabasePath().c_str());
  }

  HWND startProgram(HaulixProcess& process) {
    EXPECT_TRUE(process.start());
    HWND window = waitForDownloadWindow(20000);
    EXPECT_NE(window, nullptr);
    return window;
  }

  // Options > Passwords > Add: the site typed, "Accept certificate errors for this site"
  // ticked (photographed), then OK in the dialog and in the sheet.
  static void acceptCertificatesOf(HWND window, const char* site) {
    // From the banner's Open menu (its key letter O).
    HWND sheet = chooseFromOpenMenu(window, 'o', "Options", 120000);
    ASSERT_NE(sheet, nullptr);
    SendMessageA(sheet, PSM_SETCURSEL, kPasswordsPage, 0);
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    ASSERT_NE(GetDlgItem(page, kSiteListControl), nullptr) << "the Passwords page";
    PostMessageA(GetDlgItem(page, kAddControl), BM_CLICK, 0, 0);
    HWND dialog = visibleDialog("Add Password or Referrer");
    ASSERT_NE(dialog, nullptr);
    SendDlgItemMessageA(dialog, kSiteControl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(site));
    PostMessageA(GetDlgItem(dialog, kAcceptControl), BM_CLICK, 0, 0);
    ASSERT_TRUE(waitUntil(
        [&] { return SendDlgItemMessageA(dialog, kAcceptControl, BM_GETCHECK, 0, 0) == 1; },
        10000));
    ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(GetDlgItem(dialog, IDOK)) != 0; }, 10000));
    EXPECT_TRUE(ScreenPicture().take(kShots + "\\site-dialog-accept-certificates.ppm"));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }, 10000));
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(sheet); }, 10000));
  }

  static HWND visibleDialog(const char* title) {
    HWND found = nullptr;
    waitUntil(
        [&] {
          found = FindWindowA("#32770", title);
          return found && IsWindowVisible(found);
        },
        20000);
    return found;
  }

  static HWND listOf(HWND window) { return FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr); }

  static void exitProgram(HWND window, HaulixProcess& process) {
    PostMessageA(window, WM_SYSCOMMAND, kExitCommand, 0);
    EXPECT_EQ(process.waitForExit(30000), 0);
  }

  // Waits until every row has a final status, then gives the status of each address.
  static std::map<std::string, std::string> finalStatuses(const RemoteList& rows, int count) {
    std::map<std::string, std::string> statuses;
    waitUntil(
        [&] {
          if (rows.rows() != count) return false;
          statuses.clear();
          for (int row = 0; row < count; ++row) {
            const std::string status = rows.cell(row, kStatus);
            if (!isFinal(status)) return false;
            statuses[rows.cell(row, kAddress)] = status;
          }
          return true;
        },
        90000);
    return statuses;
  }
};

TEST_F(TrustAndNames, CertificatesAreCheckedAndOneSiteCanBeAccepted) {
  const std::string certificates = testCertificatesFolder();
  ASSERT_FALSE(certificates.empty()) << "HAULIX_TEST_CERTIFICATES (scripts/e2e-tests.sh)";
  TrustedAuthority authority(windowsPathOf(certificates + "/authority.pem"));
  ASSERT_TRUE(authority.trusted()) << authority.error();
  auto serverWith = [&](const char* name) {
    return std::vector<std::string>{"--tls", certificates + "/" + name + ".pem"};
  };
  LocalServer good(LocalServer::Kind::Https, serverWith("good"));
  LocalServer other(LocalServer::Kind::Https, serverWith("other"));
  LocalServer expired(LocalServer::Kind::Https, serverWith("expired"));
  LocalServer self(LocalServer::Kind::Https, serverWith("self"));
  LocalServer plain(LocalServer::Kind::Http);
  for (const LocalServer* server : {&good, &other, &expired, &self, &plain})
    ASSERT_TRUE(server->running()) << server->error();

  const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC caf\xC3\xA9.bin";
  const std::string toPlain = plain.address("/gen/3000/plain.bin?seed=33");
  struct Expected {
    std::string address;
    std::string status;
    std::string saved;  // the file's name in the save folder, when Done
    uint32_t seed;
    uint64_t size;
  };
  const std::vector<Expected> expected = {
      {good.address("/gen/300000/good.bin?seed=31"), "Done", "good.bin", 31, 300000},
      {other.address("/gen/1000/other.bin"), "Certificate Name Wrong", "", 0, 0},
      {expired.address("/gen/1000/expired.bin"), "Certificate Expired", "", 0, 0},
      {self.address("/gen/2000/self-signed.bin?seed=32"), "Certificate Not Trusted", "", 0, 0},
      {good.address("/gen/10/to-plain.bin?redirect=" + toPlain), "Done", "to-plain.bin", 33, 3000},
      {plain.address("/gen/10/to-secure.bin?redirect=" +
                     good.address("/gen/4000/secure.bin?seed=34")),
       "Done", "to-secure.bin", 34, 4000},
      {good.address("/gen/5000/%E6%97%A5%E6%9C%AC%20caf%C3%A9.bin?seed=35"), "Done", japanese, 35,
       5000},
  };

  HaulixProcess program;
  HWND window = startProgram(program);
  ASSERT_NE(window, nullptr);
  RemoteList rows(listOf(window));
  ASSERT_TRUE(rows.ok());
  std::string addresses;
  for (const Expected& e : expected) addresses += e.address + "\r\n";
  handOver(window, addresses);

  const int count = static_cast<int>(expected.size());
  std::map<std::string, std::string> statuses = finalStatuses(rows, count);
  for (const Expected& e : expected) {
    EXPECT_EQ(statuses[e.address], e.status) << e.address;
    if (!e.saved.empty()) {
      EXPECT_TRUE(fileHasGeneratedBytes(kSaveFolder + "\\" + e.saved, e.seed, e.size)) << e.saved;
    }
  }
  // The name of other scripts, as the list shows it.
  const int japaneseRow = rows.findRow(kAddress, expected[6].address);
  EXPECT_EQ(rows.cell(japaneseRow, kName), japanese);
  EXPECT_EQ(rows.cell(japaneseRow, kSavedTo), kSaveFolder + "\\" + japanese);
  // Seconds after the last row came, as a user would look: the list drawn with its rows.
  ScreenPicture listPicture;
  EXPECT_TRUE(pictureShowing(
      kShots + "\\download-window-certificates.ppm", GetTickCount(),
      [&](const ScreenPicture& p) { return showsColour(p, listOf(window), RGB(0, 0, 0)); },
      listPicture));

  // The https address that led to http: its Properties show where the bytes came from.
  const int plainRow = rows.findRow(kAddress, expected[4].address);
  ASSERT_TRUE(rows.chooseFromRowMenu(plainRow, 'r'));
  HWND properties = nullptr;
  ASSERT_TRUE(waitUntil(
      [&] {
        properties = FindWindowA(nullptr, "Properties");
        return properties && IsWindowVisible(properties);
      },
      10000));
  char shownAddress[1024] = {};
  GetDlgItemTextA(properties, 1031, shownAddress, sizeof shownAddress);
  EXPECT_EQ(std::string(shownAddress), toPlain);
  ScreenPicture propertiesPicture;
  EXPECT_TRUE(pictureShowing(
      kShots + "\\properties-redirected-to-http.ppm", GetTickCount(),
      [&](const ScreenPicture& p) { return looksDrawn(p, properties); }, propertiesPicture));
  PostMessageA(properties, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(properties); }, 10000));

  // The user accepts the certificate errors of 127.0.0.1 in the Passwords page's site dialog,
  // then chooses Get on the self-signed item: it ends Done.
  ASSERT_NO_FATAL_FAILURE(acceptCertificatesOf(window, "127.0.0.1"));
  const int selfRow = rows.findRow(kAddress, expected[3].address);
  ASSERT_TRUE(rows.chooseFromRowMenu(selfRow, 'g'));
  ASSERT_TRUE(waitUntil([&] { return rows.cell(selfRow, kStatus) == "Done"; }, 60000))
      << rows.cell(selfRow, kStatus);
  EXPECT_TRUE(fileHasGeneratedBytes(kSaveFolder + "\\self-signed.bin", 32, 2000));

  exitProgram(window, program);
  std::string database;
  ASSERT_TRUE(readWholeFile(haulixDatabasePath(), database));
  // The address the redirect led to is kept for the next start, beside the item.
  const std::vector<std::string> fields = databaseFields(database, expected[4].address);
  ASSERT_GE(fields.size(), 13u);
  EXPECT_EQ(fields[12], "\t" + toPlain);
}

TEST_F(TrustAndNames, ServersNameTheirFilesAndDeepFoldersNeverSaveElsewhere) {
  setHaulixNumber("sub", 4);  // site \ folder \ folder \ file
  LocalServer server(LocalServer::Kind::Http);
  ASSERT_TRUE(server.running()) << server.error();
  const std::string disposition = "&disposition=attachment;%20filename=";
  // "報告.pdf" given both ways: the extended name wins.
  const std::string report = "\xE5\xA0\xB1\xE5\x91\x8A.pdf";
  const std::string both =
      disposition + "%22report.pdf%22;%20filename*=UTF-8''%E5%A0%B1%E5%91%8A.pdf";
  std::string deep = "/gen/1000";
  for (int i = 0; i < 30; ++i) deep += "/deep-folder-" + std::to_string(i);
  struct Expected {
    std::string path;
    std::string status;
    std::string name;   // the Name column
    std::string saved;  // under the save folder
    uint32_t seed;
    uint64_t size;
  };
  const std::string in = "127.0.0.1\\gen\\";
  const std::vector<Expected> expected = {
      {"/gen/5000/download.php?seed=41" + both, "Done", report, in + "5000\\" + report, 41, 5000},
      {"/gen/6000/get.php?seed=42" + disposition + "%22..%2F..%2Fevil.txt%22", "Done", "evil.txt",
       in + "6000\\evil.txt", 42, 6000},
      // Two files given one name: whichever is placed second takes a number.
      {"/gen/7000/a.php?seed=43" + disposition + "same.bin", "Done", "same.bin", "", 43, 7000},
      {"/gen/7000/b.php?seed=44" + disposition + "same.bin", "Done", "same.bin", "", 44, 7000},
      {"/gen/8000/fallback.bin?seed=45" + disposition + "%22...%22", "Done", "fallback.bin",
       in + "8000\\fallback.bin", 45, 8000},
      {deep + "/deep.bin", "Cannot Save", "deep.bin", "", 0, 0},
  };
  // Interrupted after its first part and resumed at the next start: the name the first
  // reply gave stays, though the reply that resumes it gives none.
  const std::string resumed = "/gen/3000000/resume.php?seed=46&rate=2000000&stall=1000000&times=1" +
                              disposition + "%22kept.bin%22";

  {
    HaulixProcess program;
    HWND window = startProgram(program);
    ASSERT_NE(window, nullptr);
    RemoteList rows(listOf(window));
    std::string addresses;
    for (const Expected& e : expected) addresses += server.address(e.path) + "\r\n";
    handOver(window, addresses);
    std::map<std::string, std::string> statuses =
        finalStatuses(rows, static_cast<int>(expected.size()));
    for (const Expected& e : expected) {
      const std::string address = server.address(e.path);
      EXPECT_EQ(statuses[address], e.status) << e.path;
      EXPECT_EQ(rows.cell(rows.findRow(kAddress, address), kName), e.name) << e.path;
      const std::string savedTo = rows.cell(rows.findRow(kAddress, address), kSavedTo);
      if (!e.saved.empty()) {
        EXPECT_EQ(savedTo, kSaveFolder + "\\" + e.saved);
      }
      if (e.size > 0) {
        EXPECT_TRUE(fileHasGeneratedBytes(savedTo, e.seed, e.size)) << savedTo;
      }
    }
    std::vector<std::string> same;
    for (int row = 0; row < rows.rows(); ++row)
      if (rows.cell(row, kName) == "same.bin") same.push_back(rows.cell(row, kSavedTo));
    std::sort(same.begin(), same.end());
    EXPECT_EQ(same, (std::vector<std::string>{kSaveFolder + "\\" + in + "7000\\same (2).bin",
                                              kSaveFolder + "\\" + in + "7000\\same.bin"}));
    // Nothing of the deep address was saved anywhere else.
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA((kSaveFolder + "\\deep*").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << found.cFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);

    handOver(window, server.address(resumed));
    ASSERT_TRUE(waitUntil(
        [&] {
          const int row = rows.findRow(kAddress, server.address(resumed));
          return row >= 0 && rows.cell(row, kName) == "kept.bin" &&
                 rows.cell(row, 2).find('%') != std::string::npos;
        },
        30000));
    exitProgram(window, program);
  }

  HaulixProcess again;
  HWND window = startProgram(again);
  ASSERT_NE(window, nullptr);
  RemoteList rows(listOf(window));
  ASSERT_TRUE(waitUntil(
      [&] {
        const int row = rows.findRow(kAddress, server.address(resumed));
        return row >= 0 && rows.cell(row, kStatus) == "Done";
      },
      60000));
  EXPECT_TRUE(fileHasGeneratedBytes(kSaveFolder + "\\" + in + "3000000\\kept.bin", 46, 3000000));
  bool ranged = false;
  for (const LocalServer::Request& request : server.requests()) {
    if (request.path == resumed && request.header("Range").rfind("bytes=", 0) == 0) ranged = true;
  }
  EXPECT_TRUE(ranged) << "the second start asked for the rest with a Range header";
  exitProgram(window, again);
}

}  // namespace
