// Drives haulix.exe for bench/batch-bench.sh as a user would: a fresh queue and save
// folder, the program started, the addresses of a list file handed over at once, and the
// clock stopped when every row shows Done. Prints "START_SECONDS BATCH_SECONDS": from
// starting the program to the end, and from the hand-over to the end.
// Usage: haulix_batch_driver.exe HAULIX_EXE LIST_FILE SAVE_FOLDER FILES_AT_ONCE
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "e2e/haulix_process.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Rows become Done and stay so: each is read until it is, the first not yet Done at each
// look, so that reading the list costs the program little of its time.
class DoneRows {
 public:
  DoneRows(const RemoteList& rows, int count) : rows_(rows), count_(count) {}
  bool allDone() {
    while (next_ < count_ && rows_.cell(next_, 0) == "Done") ++next_;
    return next_ == count_;
  }
  int done() const { return next_; }

 private:
  const RemoteList& rows_;
  int count_;
  int next_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s HAULIX_EXE LIST_FILE SAVE_FOLDER FILES_AT_ONCE\n", argv[0]);
    return 2;
  }
  std::string list;
  if (!readWholeFile(argv[2], list)) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 2;
  }
  int addresses = 0;
  for (char c : list) addresses += c == '\n';
  // The C library's copy of the environment, which the process helpers read.
  _putenv_s("HAULIX_EXE", argv[1]);
  DeleteFileA(haulixDatabasePath().c_str());
  CreateDirectoryA(argv[3], nullptr);
  setHaulixNumber("setup", 300);
  setHaulixNumber("pause", 0);
  setHaulixNumber("get", static_cast<DWORD>(std::atoi(argv[4])));
  setHaulixText("folder", argv[3]);

  const auto started = Clock::now();
  HaulixProcess program;
  if (!program.start()) {
    std::fprintf(stderr, "cannot start %s\n", argv[1]);
    return 1;
  }
  HWND window = waitForDownloadWindow(60000);
  if (!window) {
    std::fprintf(stderr, "no Download Window within 60 s\n");
    return 1;
  }
  RemoteList rows(FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr));
  const auto handed = Clock::now();
  handOver(window, list);
  DoneRows done(rows, addresses);
  bool finished = false;
  while (!(finished = done.allDone()) && secondsSince(handed) < 600) Sleep(5);
  const double batch = secondsSince(handed), whole = secondsSince(started);
  PostMessageA(window, WM_SYSCOMMAND, 41001, 0);  // Exit
  program.waitForExit(60000);
  if (!finished) {
    std::fprintf(stderr, "only %d of %d rows Done\n", done.done(), addresses);
    return 1;
  }
  std::printf("%.3f %.3f\n", whole, batch);
  return 0;
}
