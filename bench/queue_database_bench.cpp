// Save and load time and peak memory of the queue database for 100,000 items, 1,000 of
// them with a stopped transfer whose piece file is on disk, on this machine's own disk
// (a temporary folder) through a POSIX version of the Files port. The network is a fake
// that nothing reaches: saving ends transfers and loading only re-adopts their pieces.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "download/download_queue.h"
#include "transfer/file_ops.h"
#include "transfer/transfer_engine.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_file_types.h"
#include "fakes/fake_ids.h"
#include "fakes/fake_internet.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_text_rules.h"
#include "posix_files.h"
#include "download/queue_database.h"
#include "store/settings.h"
#include "url/address.h"

namespace {

constexpr int kItems = 100000;
constexpr int kTransfers = 1000;

struct Model {
  Model(const std::string& root, FakeIds& sharedIds) : files(root), ids(sharedIds) {
    folders.windows = "C:\\Windows";
    folders.myDocuments = "C:\\Docs";
    folders.applicationData = "C:\\AppData";
    settings.loadSettings(text);
  }

  PosixFiles files;
  FakeIds& ids;
  FakeTextRules rules;
  ByteText text{rules};
  FakeFileTypes types;
  AddressParser parser{text, types};
  FileOps fileOps{files, ids, text};
  FakeClock clock;
  FakeInternet internet;
  TransferEngine engine{internet, fileOps, ids, clock, [] {}};
  DownloadQueue queue{text, parser, engine};
  FakeRegistry registry;
  KnownFolders folders;
  SettingsStore settings{registry, folders};
  QueueDatabase database{queue, fileOps, parser, settings, folders};
};

// Kilobytes from a line of /proc/self/status ("VmHWM:", "VmRSS:").
long statusKb(const char* name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(name, 0) == 0) return std::atol(line.c_str() + std::string(name).size());
  return -1;
}

// Lets VmHWM start again from the resident size now (Linux 4.0 and later).
bool resetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

void fill(Model& model) {
  const std::string folder = model.settings.settings().saveFolder;
  model.fileOps.makeFolders(folder, false);
  const std::string piece(4096, 'p');
  for (int i = 0; i < kItems; ++i) {
    const std::string address = "http://host" + std::to_string(i % 97) + ".example/files/" +
                                std::to_string(i) + "/file" + std::to_string(i) + ".zip";
    DownloadItem* item = model.queue.insertItem(model.parser.parseAddress(address));
    switch (i % 10) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 4:
      case 5:
        item->state = DownloadState::Done;
        item->size = 1000000 + i;
        item->savedPath = "C:\\Docs\\My Downloaded Files\\file" + std::to_string(i) + ".zip";
        break;
      case 6:
        item->state = DownloadState::Failed;
        item->message = "Not Found";
        break;
      case 7:
        item->state = DownloadState::Inactive;
        break;
      default:
        item->priority = i % 3 - 1;
        break;
    }
    if (i < kTransfers * 10 && i % 10 == 8) {
      const std::string path = folder + "\\haulix " + model.ids.newToken() + ".db";
      auto file = model.fileOps.createForWriting(true, path);
      if (file) FileOps::writeText(*file, piece);
      file.reset();
      item->job = model.engine.createJob(item->address, folder, "100000\t0\t" + path + "\t");
    }
  }
}

}  // namespace

int main() {
  char pattern[] = "/tmp/haulix-queue-bench-XXXXXX";
  const char* made = ::mkdtemp(pattern);
  if (!made) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string root = made;
  FakeIds ids;
  const bool peaks = resetPeak();

  double saveMs = 0, loadMs = 0;
  long saveRss = 0, savePeak = 0, loadRss = 0, loadPeak = 0;
  size_t loaded = 0, jobs = 0;
  std::uintmax_t bytes = 0;
  {
    Model before(root, ids);
    fill(before);
    saveRss = statusKb("VmRSS:");
    resetPeak();
    auto start = std::chrono::steady_clock::now();
    const QueueSaveResult result = before.database.saveQueueDatabase();
    saveMs = millisecondsSince(start);
    savePeak = statusKb("VmHWM:");
    if (result != QueueSaveResult::kWritten) std::printf("the save failed!\n");
    bytes = std::filesystem::file_size(root + "/AppData/Haulix/haulix.db");
  }
  {
    Model after(root, ids);
    loadRss = statusKb("VmRSS:");
    resetPeak();
    auto start = std::chrono::steady_clock::now();
    const QueueLoad load = after.database.loadQueueDatabase();
    loadMs = millisecondsSince(start);
    loadPeak = statusKb("VmHWM:");
    loaded = load.restored;
    jobs = after.engine.jobs().size();
  }
  std::filesystem::remove_all(root);

  std::printf("queue database of %d items (%d with a stopped transfer), %.1f MB on disk\n", kItems,
              kTransfers, static_cast<double>(bytes) / 1e6);
  std::printf("%-6s %10s %22s\n", "", "time ms", "peak memory MB (+rise)");
  std::printf("%-6s %10.1f %14.1f (+%.1f)\n", "save", saveMs, savePeak / 1024.0,
              (savePeak - saveRss) / 1024.0);
  std::printf("%-6s %10.1f %14.1f (+%.1f)\n", "load", loadMs, loadPeak / 1024.0,
              (loadPeak - loadRss) / 1024.0);
  if (!peaks) std::printf("(peaks are of the whole run: /proc/self/clear_refs not writable)\n");
  if (loaded != static_cast<size_t>(kItems) || jobs != static_cast<size_t>(kTransfers))
    std::printf("loaded %zu items and %zu transfers!\n", loaded, jobs);
  return 0;
}
