// haulix_fetch.exe: fetches one address through the transfer engine on the real ports
// (WinInet, the Win32 file functions, the tick counter) the way the program's idle pass
// drives it, and prints how long it took. Used by bench/fetch-bench.sh.
//
//   haulix_fetch.exe ADDRESS OUTPUT [--connections N] [--folder DIR] [--pass-ms MS]
//
// The job keeps N connections, as Get does with "Connections per file" N: the first alone
// until the size is known, then N while the file has gaps worth splitting. The job pass runs
// whenever a worker finishes and at least every MS milliseconds (300, the program's idle
// timer); a job that stops running without a result is started again, as the scheduler does.
// The finished file is moved to OUTPUT. Exit code 0 on success.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "transfer/file_ops.h"
#include "transfer/transfer_engine.h"
#include "platform/file_types.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_ids.h"
#include "platform/win32/win32_text_rules.h"
#include "platform/win32/wininet_internet.h"
#include "url/address.h"
#include "url/byte_text.h"

namespace {

// The driver shows no file types.
class NoFileTypes final : public FileTypes {
 public:
  FileType lookup(std::string_view) override { return {}; }
};

// The job is started again at most this often before the driver gives up.
constexpr int kMostRestarts = 1000;

double secondsSince(const LARGE_INTEGER& began) {
  LARGE_INTEGER now;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - began.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string absolutePath(const std::string& path) {
  char full[MAX_PATH + 1] = {};
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return n == 0 || n > MAX_PATH ? path : std::string(full, n);
}

int usage() {
  std::fprintf(stderr,
               "usage: haulix_fetch.exe ADDRESS OUTPUT [--connections N] [--folder DIR] "
               "[--pass-ms MS]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  const std::string addressText = argv[1];
  const std::string output = absolutePath(argv[2]);
  int connections = 1;
  std::string folder = folderOf(output);
  DWORD passMs = 300;
  for (int i = 3; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--connections") {
      connections = std::atoi(argv[i + 1]);
    } else if (option == "--folder") {
      folder = absolutePath(argv[i + 1]);
    } else if (option == "--pass-ms") {
      passMs = static_cast<DWORD>(std::atoi(argv[i + 1]));
    } else {
      return usage();
    }
  }
  if (connections < 1 || passMs == 0) return usage();

  Win32TextRules rules;
  ByteText text(rules);
  NoFileTypes types;
  AddressParser parser(text, types);
  const UrlParts address = parser.parseTypedAddress(addressText);
  if (!isUsable(address)) {
    std::fprintf(stderr, "haulix_fetch: not an address: %s\n", addressText.c_str());
    return 2;
  }

  WinInetInternet internet;
  if (!internet.isOpen()) {
    std::fprintf(stderr, "haulix_fetch: the Internet library cannot be opened\n");
    return 1;
  }
  Win32Files files;
  Win32Ids ids;
  Win32Clock clock;
  FileOps fileOps(files, ids, text);
  HANDLE woken = CreateEventA(nullptr, FALSE, FALSE, nullptr);

  LARGE_INTEGER began;
  QueryPerformanceCounter(&began);
  double longestPass = 0;
  int restarts = 0;
  TransferJob* job = nullptr;
  std::string finished;
  int64_t finalSize = -1;
  std::string error;
  {
    TransferEngine engine(internet, fileOps, ids, clock, [woken] { SetEvent(woken); });
    job = engine.createJob(address, folder, "");
    job->keepTrying = true;
    job->connections = connections;
    job->wanted = 1;
    for (;;) {
      LARGE_INTEGER passBegan;
      QueryPerformanceCounter(&passBegan);
      engine.runJobPass();
      const double took = secondsSince(passBegan);
      if (took > longestPass) longestPass = took;
      if (job->result != kJobNoResult) break;
      if (!isRunning(*job)) {
        if (++restarts > kMostRestarts) break;
        job->wanted += 1;
        continue;
      }
      WaitForSingleObject(woken, passMs);
    }
    if (job->result == kJobSucceeded) {
      finished = job->finishedPath;
      finalSize = job->finalSize;
    } else {
      error = job->result == kJobFailed ? job->errorText : "gave up after restarts";
    }
    engine.destroyJob(job, false);
  }
  const double wall = secondsSince(began);
  CloseHandle(woken);

  if (finished.empty()) {
    std::fprintf(stderr, "haulix_fetch: failed: %s\n", error.c_str());
    return 1;
  }
  SetFileAttributesA(finished.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!MoveFileExA(finished.c_str(), output.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    std::fprintf(stderr, "haulix_fetch: cannot move %s to %s (error %lu)\n", finished.c_str(),
                 output.c_str(), static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  std::printf("bytes=%lld seconds=%.3f connections=%d restarts=%d longest_pass=%.3f\n",
              static_cast<long long>(finalSize), wall, connections, restarts, longestPass);
  return 0;
}
