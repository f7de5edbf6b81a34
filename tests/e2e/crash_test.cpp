// haulix.exe killed (TerminateProcess: no code of it runs after) while it transfers and
// while it writes a large queue, then started again: what it shows, what haulix.db held at
// the kill, and where the transfer goes on. Also the hand-over of lines ended by LF alone.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "e2e/haulix_process.h"
#include "windows/local_server.h"

namespace {

const std::string kSaveFolder = "C:\\haulix-e2e\\kills";

// What the program promises about a kill: items and outcomes older than this are on disk,
constexpr DWORD kChangesKeptAfterMs = 5000;
// and no piece holds bytes older than this that the database does not name.
constexpr DWORD kBytesKeptAfterMs = 30000;

// Where a save is written before it takes the database's place.
std::string temporaryDatabasePath() {
  return haulixDatabasePath() + ".new";
}

struct StoredLine {
  std::string address;
  std::string state;  // field 14
  std::string resumeText;
};

std::vector<StoredLine> storedLines(const std::string& bytes) {
  std::vector<StoredLine> lines;
  size_t at = 0;
  while (at < bytes.size()) {
    size_t end = bytes.find('\n', at);
    if (end == std::string::npos) end = bytes.size();
    std::vector<std::string> fields;
    size_t field = at;
    while (field < end) {
      size_t cr = bytes.find('\r', field);
      if (cr == std::string::npos || cr > end) cr = end;
      fields.push_back(bytes.substr(field, cr - field));
      field = cr + 1;
    }
    at = end + 1;
    if (fields.empty() || fields[0].empty()) break;
    fields.resize(17);
    StoredLine line;
    for (int i = 0; i < 9; ++i) line.address += fields[i];
    line.state = fields[13];
    line.resumeText = fields[16];
    lines.push_back(line);
  }
  return lines;
}

int64_t fileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (int64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// The bytes the pieces a resume text names hold on disk: all of them covered, and the run
// from offset 0.
struct Coverage {
  int64_t covered = 0;
  int64_t fromStart = 0;
};

Coverage coverageOf(const std::string& resumeText) {
  std::vector<std::string> fields;
  size_t at = 0;
  while (at < resumeText.size()) {
    size_t tab = resumeText.find('\t', at);
    if (tab == std::string::npos) tab = resumeText.size();
    fields.push_back(resumeText.substr(at, tab - at));
    at = tab + 1;
  }
  std::vector<std::pair<int64_t, int64_t>> spans;
  for (size_t i = 1; i + 1 < fields.size(); i += 2) {
    if (fields[i] == "span") {
      // "start,base,length,path": the piece's bytes lie in the file from base on.
      std::vector<std::string> parts;
      size_t from = 0;
      for (int n = 0; n < 3; ++n) {
        const size_t comma = fields[i + 1].find(',', from);
        if (comma == std::string::npos) break;
        parts.push_back(fields[i + 1].substr(from, comma - from));
        from = comma + 1;
      }
      if (parts.size() != 3) continue;
      const int64_t start = std::stoll(parts[0]), base = std::stoll(parts[1]);
      const int64_t held =
          std::min(std::stoll(parts[2]), fileSize(fields[i + 1].substr(from)) - base);
      if (held > 0) spans.push_back({start, start + held});
      continue;
    }
    if (fields[i].empty() || fields[i][0] < '0' || fields[i][0] > '9') continue;
    const int64_t size = fileSize(fields[i + 1]);
    if (size > 0) spans.push_back({std::stoll(fields[i]), std::stoll(fields[i]) + size});
  }
  std::sort(spans.begin(), spans.end());
  Coverage coverage;
  int64_t end = 0;
  for (const auto& [start, stop] : spans) {
    if (start <= coverage.fromStart) coverage.fromStart = std::max(coverage.fromStart, stop);
    const int64_t from = std::max(start, end);
    if (stop > from) coverage.covered += stop - from;
    end = std::max(end, stop);
  }
  return coverage;
}

// "28% 58,594 KB/204,800 KB" gives 58,594 KB in bytes; -1 for any other text.
int64_t bytesShown(const std::string& sizeText) {
  const size_t percent = sizeText.find("% ");
  const size_t slash = sizeText.find(" KB/");
  if (percent == std::string::npos || slash == std::string::npos || slash < percent) return -1;
  std::string digits;
  for (char c : sizeText.substr(percent + 2, slash - percent - 2))
    if (c >= '0' && c <= '9') digits += c;
  return digits.empty() ? -1 : std::stoll(digits) * 1024;
}

int rowOf(const RemoteList& rows, const std::string& address) {
  for (int row = 0, count = rows.rows(); row < count; ++row)
    if (rows.cell(row, 4) == address) return row;
  return -1;
}

class KillTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(haulixPath().empty()) << "HAULIX_EXE names the program";
    ASSERT_EQ(FindWindowA("HaulixDownload", nullptr), nullptr) << "no Download Window yet";
    CreateDirectoryA("C:\\haulix-e2e", nullptr);
    removeTree(kSaveFolder);
    CreateDirectoryA(kSaveFolder.c_str(), nullptr);
    ASSERT_TRUE(setHaulixNumber("setup", 300));
    ASSERT_TRUE(setHaulixNumber("get", 3));
    ASSERT_TRUE(setHaulixNumber("pause", 0));
    ASSERT_TRUE(setHaulixText("folder", kSaveFolder));
    DeleteFileA(haulixDatabasePath().c_str());
    DeleteFileA(temporaryDatabasePath().c_str());
    ASSERT_TRUE(server_.running()) << server_.error();
  }

  // A new process and its Download Window's list, once the window is there.
  HWND start(HaulixProcess& program) {
    EXPECT_TRUE(program.start());
    HWND window = waitForDownloadWindow(30000);
    EXPECT_NE(window, nullptr);
    return window ? FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr) : nullptr;
  }

  LocalServer server_{LocalServer::Kind::Http};
};

// The big transfer runs through most of the kills (200 MiB at 3.5 MB/s), some files finish
// and new addresses arrive between them.
TEST_F(KillTest, KilledAtTwentyRandomMomentsTheNextStartHasLostNothingItPromisedToKeep) {
  constexpr uint32_t kSeed = 20261211;
  constexpr int kKills = 20;
  constexpr uint64_t kBigSize = 200ull << 20;
  std::mt19937 random(kSeed);
  const std::string bigPath = "/gen/" + std::to_string(kBigSize) + "/big.bin?seed=11&rate=3500000";
  const std::string big = server_.address(bigPath);

  std::map<std::string, DWORD> added;               // address -> when it was handed over
  std::map<std::string, DWORD> doneSince;           // address -> when its row first showed Done
  std::vector<std::pair<DWORD, int64_t>> progress;  // when, bytes of the big file shown
  auto handOverNow = [&](HWND list, const std::string& addresses) {
    handOver(GetParent(list), addresses);
    const DWORD now = GetTickCount();
    size_t at = 0;
    while (at < addresses.size()) {
      size_t end = addresses.find('\n', at);
      if (end == std::string::npos) end = addresses.size();
      added.emplace(addresses.substr(at, end - at), now);
      at = end + 1;
    }
  };
  auto watch = [&](const RemoteList& rows) {
    for (int row = 0, count = rows.rows(); row < count; ++row) {
      const std::string address = rows.cell(row, 4);
      if (rows.cell(row, 0) == "Done") doneSince.emplace(address, GetTickCount());
      if (address == big) {
        const int64_t shown = bytesShown(rows.cell(row, 2));
        if (shown >= 0) progress.push_back({GetTickCount(), shown});
      }
    }
  };

  auto program = std::make_unique<HaulixProcess>();
  HWND list = start(*program);
  ASSERT_NE(list, nullptr);
  handOverNow(list, big + "\n" + server_.address("/gen/100000/small.bin?seed=12") + "\n" +
                        server_.address("/missing.bin"));

  int lostStarts = 0, resumedWithRange = 0;
  std::printf("kill moments (seed %u), ms after the previous start:", kSeed);
  for (int kill = 0; kill < kKills; ++kill) {
    const DWORD wait = std::uniform_int_distribution<DWORD>(1500, 4500)(random);
    const DWORD handAt = std::uniform_int_distribution<DWORD>(0, 2)(random) == 0
                             ? std::uniform_int_distribution<DWORD>(0, wait)(random)
                             : ~DWORD{0};
    std::printf(" %lu", static_cast<unsigned long>(wait));
    std::fflush(stdout);
    {
      RemoteList rows(list);
      const DWORD began = GetTickCount();
      bool handed = false;
      while (GetTickCount() - began < wait) {
        watch(rows);
        if (!handed && GetTickCount() - began >= handAt) {
          handOverNow(list, server_.address("/gen/3000/extra" + std::to_string(kill) +
                                            ".bin?seed=" + std::to_string(100 + kill)));
          handed = true;
        }
        Sleep(100);
      }
    }
    ASSERT_TRUE(program->kill());
    const DWORD killedAt = GetTickCount();

    // What the disk holds now is what the next start can show.
    std::string bytes;
    readWholeFile(haulixDatabasePath(), bytes);
    const std::vector<StoredLine> lines = storedLines(bytes);
    std::map<std::string, StoredLine> stored;
    for (const StoredLine& line : lines) stored[line.address] = line;
    std::vector<std::string> losses;
    for (const auto& [address, at] : added)
      if (killedAt - at >= kChangesKeptAfterMs && !stored.count(address))
        losses.push_back("lost the row " + address);
    for (const auto& [address, at] : doneSince)
      if (killedAt - at >= kChangesKeptAfterMs && stored.count(address) &&
          stored[address].state != "D")
        losses.push_back("lost Done of " + address);
    Coverage coverage;
    if (stored.count(big)) coverage = coverageOf(stored[big].resumeText);
    int64_t shownBefore = 0;  // the big file's bytes shown 30 seconds before the kill
    for (const auto& [at, shown] : progress)
      if (killedAt - at >= kBytesKeptAfterMs) shownBefore = std::max(shownBefore, shown);
    // Just finished, the file may have left its pieces before the save that says Done.
    const bool bigDone = doneSince.count(big) || (stored.count(big) && stored[big].state == "D");
    if (!bigDone && coverage.covered + 1024 < shownBefore)
      losses.push_back("the pieces hold " + std::to_string(coverage.covered) + " bytes, " +
                       std::to_string(shownBefore) + " were shown 30 s before");

    // The next start shows every row kept, Done where it was, and asks for the rest of the
    // big file where its pieces end.
    const size_t requestsBefore = server_.requests().size();
    program = std::make_unique<HaulixProcess>();
    list = start(*program);
    ASSERT_NE(list, nullptr);
    RemoteList rows(list);
    EXPECT_TRUE(waitUntil([&] { return rows.rows() >= static_cast<int>(lines.size()); }, 30000));
    for (const StoredLine& line : lines) {
      const int row = rowOf(rows, line.address);
      if (row < 0)
        losses.push_back("no row for " + line.address);
      else if (line.state == "D" && rows.cell(row, 0) != "Done")
        losses.push_back("not shown Done: " + line.address);
    }
    if (!bigDone && coverage.fromStart > 0) {
      std::string range;
      waitUntil(
          [&] {
            const std::vector<LocalServer::Request> requests = server_.requests();
            for (size_t i = requestsBefore; i < requests.size(); ++i)
              if (requests[i].path == bigPath && requests[i].method == "GET") {
                range = requests[i].header("Range");
                return true;
              }
            return false;
          },
          30000);
      const std::string expected = "bytes=" + std::to_string(coverage.fromStart) + "-";
      if (range == expected) ++resumedWithRange;
      if (coverage.fromStart < static_cast<int64_t>(kBigSize) && range != expected)
        losses.push_back("asked for \"" + range + "\" instead of \"" + expected + "\"");
    }
    // What the kill could take is gone from now on: newer rows, a Done just reached, the
    // last bytes.
    for (auto it = added.begin(); it != added.end();)
      it = stored.count(it->first) ? std::next(it) : added.erase(it);
    for (auto it = doneSince.begin(); it != doneSince.end();)
      it = stored.count(it->first) && stored[it->first].state == "D" ? std::next(it)
                                                                     : doneSince.erase(it);
    if (!bigDone)
      for (auto& [at, shown] : progress) shown = std::min(shown, coverage.covered);
    if (!losses.empty()) {
      ++lostStarts;
      for (const std::string& loss : losses) ADD_FAILURE() << "kill " << kill << ": " << loss;
    }
  }
  std::printf(
      "\n%d kills at random moments: %d starts lost something (goal 0); %d went on "
      "with the transfer where its pieces ended\n",
      kKills, lostStarts, resumedWithRange);
  EXPECT_EQ(lostStarts, 0);
  EXPECT_GT(resumedWithRange, kKills / 2);

  // The transfer ends identical to the file on the server, whatever it went through.
  RemoteList rows(list);
  ASSERT_TRUE(waitUntil(
      [&] {
        const int row = rowOf(rows, big);
        return row >= 0 && rows.cell(row, 0) == "Done";
      },
      180000));
  EXPECT_TRUE(fileHasGeneratedBytes(kSaveFolder + "\\big.bin", 11, kBigSize));
  WIN32_FIND_DATAA found = {};
  HANDLE pieces = FindFirstFileA((kSaveFolder + "\\haulix *.db").c_str(), &found);
  EXPECT_EQ(pieces, INVALID_HANDLE_VALUE) << "a piece is left: " << found.cFileName;
  if (pieces != INVALID_HANDLE_VALUE) FindClose(pieces);
  PostMessageA(GetParent(list), WM_SYSCOMMAND, 41001, 0);  // Exit
  EXPECT_EQ(program->waitForExit(30000), 0);
}

// Killed while the database of 30,000 rows is being written: the file it replaces stays
// whole, and the next start shows every row of it.
TEST_F(KillTest, KilledWhileALargeQueueIsBeingWrittenTheNextStartShowsEveryRow) {
  constexpr int kRows = 30000;
  constexpr int kKills = 4;
  ASSERT_TRUE(setHaulixNumber("pause", 1));  // nothing fetched: the rows stay as they are
  auto program = std::make_unique<HaulixProcess>();
  HWND list = start(*program);
  ASSERT_NE(list, nullptr);
  std::string addresses;
  for (int i = 0; i < kRows; ++i)
    addresses += server_.address("/gen/10/row" + std::to_string(i) + ".bin") + "\r\n";
  handOver(GetParent(list), addresses);
  auto storedCount = [] {
    std::string bytes;
    return readWholeFile(haulixDatabasePath(), bytes) ? storedLines(bytes).size() : size_t{0};
  };
  ASSERT_TRUE(waitUntil([&] { return storedCount() == kRows; }, 60000));

  int caught = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    // One more address makes a save of the whole queue; the kill comes while it writes
    // (watched for closely: the write takes a fraction of a second).
    handOver(GetParent(list), server_.address("/gen/10/more" + std::to_string(kill) + ".bin"));
    bool writing = false;
    for (const DWORD began = GetTickCount(); !writing && GetTickCount() - began < 20000;) {
      writing = GetFileAttributesA(temporaryDatabasePath().c_str()) != INVALID_FILE_ATTRIBUTES;
      if (!writing) Sleep(1);
    }
    ASSERT_TRUE(program->kill());
    if (writing) ++caught;
    EXPECT_GE(storedCount(), static_cast<size_t>(kRows)) << "kill " << kill;

    program = std::make_unique<HaulixProcess>();
    list = start(*program);
    ASSERT_NE(list, nullptr);
    RemoteList rows(list);
    EXPECT_TRUE(waitUntil([&] { return rows.rows() >= kRows; }, 60000))
        << "kill " << kill << ": " << rows.rows() << " rows";
  }
  EXPECT_GE(caught, 1) << "no kill came while the database was written";
  std::printf("%d of %d kills came while %d rows were being written\n", caught, kKills, kRows);
  PostMessageA(GetParent(list), WM_SYSCOMMAND, 41001, 0);
  EXPECT_EQ(program->waitForExit(60000), 0);
}

TEST_F(KillTest, LinesEndedByLineFeedsAloneAreHandedOverAsOneAddressEach) {
  ASSERT_TRUE(setHaulixNumber("pause", 1));
  HaulixProcess program;
  HWND list = start(program);
  ASSERT_NE(list, nullptr);
  const std::string a = server_.address("/gen/10/a.bin"), b = server_.address("/gen/10/b.bin");
  handOver(GetParent(list), a + "\n" + b + "\n");
  RemoteList rows(list);
  ASSERT_TRUE(waitUntil([&] { return rows.rows() == 2; }, 20000)) << rows.rows() << " rows";
  EXPECT_GE(rowOf(rows, a), 0);
  EXPECT_GE(rowOf(rows, b), 0);
  PostMessageA(GetParent(list), WM_SYSCOMMAND, 41001, 0);
  EXPECT_EQ(program.waitForExit(30000), 0);
}

}  // namespace
