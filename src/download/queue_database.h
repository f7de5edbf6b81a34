#pragma once
#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "download/download_queue.h"
#include "download/queue_snapshot.h"
#include "transfer/file_ops.h"
#include "platform/known_folders.h"
#include "store/queue_records.h"
#include "store/settings.h"
#include "url/address.h"

// Where a loaded queue came from.
enum class QueueSource {
  kNothing,        // no file to read: the queue starts empty
  kDatabase,       // "haulix.db" under Application Data
  kOldTextList,    // "hxdata.bin" in the Windows folder
  kOldRecordFile,  // "hxdat.bin" in the Windows folder
};

// What loading did. The items restored are in the queue without rows (rowShown false): the
// Download Window adds their rows and then sorts its list in the default order.
struct QueueLoad {
  QueueSource source = QueueSource::kNothing;
  size_t restored = 0;  // items added to the queue
  // True when every piece a later run may resume is named below: the database was read,
  // or there is none. False when one is there but could not be read.
  bool piecesKnown = false;
  std::vector<std::string> namedPieces;  // the piece paths the resume texts name
};

enum class QueueSaveResult {
  kWritten,  // "haulix.db" holds the queue
  kDeleted,  // the queue was empty and "haulix.db" is gone
  kFailed,   // "haulix.db" is as it was before (the transfers are ended all the same)
};

// The download queue between runs: "haulix.db" in the folder "Haulix" under Application
// Data, read once at start-up and written once at exit by the Download Window's process;
// on the first run of this release, when there is no database, the queue files of older
// releases in the Windows folder are imported instead (and left in place).
class QueueDatabase {
 public:
  QueueDatabase(DownloadQueue& queue, FileOps& fileOps, const AddressParser& parser,
                const SettingsStore& settings, const KnownFolders& folders)
      : queue_(queue), fileOps_(fileOps), parser_(parser), settings_(settings), folders_(folders) {}

  // Application Data + "\Haulix\haulix.db".
  std::string databasePath() const;
  // The file a save is written to before it takes the database's place, beside it.
  std::string temporaryPath() const;

  // Fills the queue from "haulix.db" when it is a file of more than 0 bytes, and from
  // nothing else; otherwise, when the setup level read at start-up is below 300, from
  // "hxdata.bin" or, when that is not a file of more than 0 bytes, "hxdat.bin". Each file
  // is read whole from a read-only mapping.
  QueueLoad loadQueueDatabase();

  // Deletes the piece files ("haulix <32 hex digits>.db") that no resume text of the
  // database named, in the save folder and in the folders of the named pieces; nothing
  // unless the load knows every piece (piecesKnown). The number deleted.
  size_t deleteOrphanedPieces(const QueueLoad& load);

  // The save at exit: writes the queue, one line per item in queue order, ending every
  // item's transfer and keeping its pieces in the resume text of its line (as
  // writeSnapshot does); when that fails, the pieces that only the lost lines named are
  // deleted, those the previous database names are kept.
  QueueSaveResult saveQueueDatabase();

  // The queue as a save writes it now, while the transfers go on: each job's resume text
  // is taken under the engine's lock. User-interface thread; cheap, since the items' lines
  // are kept between saves.
  QueueSnapshot takeSnapshot();
  // Writes the lines to a temporary file that is flushed and then moved over "haulix.db"
  // in one step, so a failure or a crash at any point leaves the previous database as it
  // was; an empty snapshot deletes "haulix.db". Any one thread at a time. `cancelled` is
  // asked between write steps: a save given up leaves the previous database.
  QueueSaveResult writeSnapshot(const QueueSnapshot& snapshot,
                                const std::atomic<bool>* cancelled = nullptr);

  // Makes one item from stored fields: the address from fields 1 to 9, then state,
  // message, priority, size and saved path, and a transfer job that resumes from field 17
  // when it is not empty. Nothing (nullptr) for a duplicate address, or for an address
  // no parsed address could have (a scheme other than http, https, ftp and gopher, or no
  // host), which only damage makes.
  DownloadItem* restoreItem(const StoredFields& fields);

 private:
  // Maps the file and runs the reader over its bytes; false when it could not be read.
  template <class Reader>
  bool readWhole(const std::string& path, Reader read);
  std::string oldQueuePath(const char* name) const;
  // After a failed save: deletes the pieces the new lines would have named that the
  // database on disk does not name, so no piece is left that no database can resume.
  void deletePiecesOnlyNamedBy(const std::vector<std::string>& pieces);

  DownloadQueue& queue_;
  FileOps& fileOps_;
  const AddressParser& parser_;
  const SettingsStore& settings_;
  const KnownFolders& folders_;
};
