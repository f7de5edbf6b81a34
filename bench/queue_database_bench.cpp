// Save and load time and peak memory of the queue database for 100,000 items, 1,000 of
// them with a stopped transfer whose piece file is on disk, on this machine's own disk
// (a temporary folder) through a POSIX version of the Files port. The network is a fake
// that nothing reaches: saving ends transfers and loading only re-adopts their pieces.
// The background save is measured as the program runs it: the snapshot on the calling
// (user-interface) thread, then the write on a thread of its own; the first snapshot makes
// every item's line, later ones reuse the lines of the items that did not change. The peer
// is the floor of any atomic save: the same bytes written at once, synced and renamed.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
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
#include "download/queue_saver.h"
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
        model.queue.setState(*item, DownloadState::Done);
        item->size = 1000000 + i;
        item->savedPath = "C:\\Docs\\My Downloaded Files\\file" + std::to_string(i) + ".zip";
        break;
      case 6:
        model.queue.setState(*item, DownloadState::Failed);
        item->message = "Not Found";
        break;
      case 7:
        model.queue.setState(*item, DownloadState::Inactive);
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
      model.queue.setJob(
          *item, model.engine.createJob(item->address, folder, "100000\t0\t" + path + "\t"));
    }
  }
}

struct BackgroundSave {
  double uiMs = 0;     // the saver's idle pass: the snapshot and the thread's start
  double totalMs = 0;  // from the idle pass until the file is in place
  long peakKb = 0;
  long riseKb = 0;
};

// One background save as the program's idle pass starts it, `changed` items changed first.
BackgroundSave backgroundSave(Model& model, QueueSaver& saver, std::mutex& mutex,
                              std::condition_variable& ended, int& saves, int changed) {
  for (DownloadItem* item = model.queue.first(); item && changed > 0; item = item->next) {
    if (item->state != DownloadState::Queued || item->job) continue;
    item->priority = item->priority == 1 ? 0 : 1;
    model.queue.noteChange();
    --changed;
  }
  saver.onIdlePass();  // the change is seen
  model.clock.advance(SaveSchedule::kChangeDelayMs);
  BackgroundSave save;
  const long rss = statusKb("VmRSS:");
  resetPeak();
  const int before = saves;
  auto start = std::chrono::steady_clock::now();
  saver.onIdlePass();
  save.uiMs = millisecondsSince(start);
  {
    std::unique_lock<std::mutex> lock(mutex);
    ended.wait(lock, [&] { return saves > before; });
  }
  save.totalMs = millisecondsSince(start);
  save.peakKb = statusKb("VmHWM:");
  save.riseKb = save.peakKb - rss;
  saver.onIdlePass();  // takes the result
  return save;
}

// The same bytes written with one call, synced and moved into place.
double plainAtomicWrite(const std::string& from, const std::string& folder) {
  std::ifstream in(from, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string temporary = folder + "/plain.new", target = folder + "/plain.db";
  auto start = std::chrono::steady_clock::now();
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    std::printf("the plain write failed!\n");
  ::fsync(fd);
  ::close(fd);
  ::rename(temporary.c_str(), target.c_str());
  return millisecondsSince(start);
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

  double saveMs = 0, loadMs = 0, plainMs = 0;
  long saveRss = 0, savePeak = 0, loadRss = 0, loadPeak = 0;
  size_t loaded = 0, jobs = 0;
  std::uintmax_t bytes = 0;
  BackgroundSave firstSave, laterSave;
  {
    Model before(root, ids);
    fill(before);
    std::mutex mutex;
    std::condition_variable ended;
    int saves = 0;
    {
      QueueSaver saver(before.queue, before.database, before.clock, [&] {
        std::lock_guard<std::mutex> hold(mutex);
        ++saves;
        ended.notify_all();
      });
      saver.markSaved();
      firstSave = backgroundSave(before, saver, mutex, ended, saves, 1);
      laterSave = backgroundSave(before, saver, mutex, ended, saves, kItems / 100);
    }
    plainMs = plainAtomicWrite(root + "/AppData/Haulix/haulix.db", root);
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
  std::printf("%-34s %8s %9s %8s %22s\n", "", "UI ms", "total ms", "/ peer",
              "peak memory MB (+rise)");
  auto row = [plainMs](const char* name, double uiMs, double totalMs, long peak, long rise) {
    std::printf("%-34s %8.1f %9.1f %8.2f %14.1f (+%.1f)\n", name, uiMs, totalMs, totalMs / plainMs,
                peak / 1024.0, rise / 1024.0);
  };
  row("background save, first snapshot", firstSave.uiMs, firstSave.totalMs, firstSave.peakKb,
      firstSave.riseKb);
  row("background save, 1% changed", laterSave.uiMs, laterSave.totalMs, laterSave.peakKb,
      laterSave.riseKb);
  row("save at exit (ends the transfers)", saveMs, saveMs, savePeak, savePeak - saveRss);
  row("load", loadMs, loadMs, loadPeak, loadPeak - loadRss);
  std::printf("%-34s %8s %9.1f %8.2f   (the same bytes: one write, fsync, rename)\n", "peer", "",
              plainMs, 1.0);
  std::printf("Goal: a background save takes at most 20 ms of the UI thread (%s: %.1f ms)\n",
              laterSave.uiMs <= 20 ? "met" : "NOT met", laterSave.uiMs);
  if (!peaks) std::printf("(peaks are of the whole run: /proc/self/clear_refs not writable)\n");
  if (loaded != static_cast<size_t>(kItems) || jobs != static_cast<size_t>(kTransfers))
    std::printf("loaded %zu items and %zu transfers!\n", loaded, jobs);
  return 0;
}
