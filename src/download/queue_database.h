#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "download/download_queue.h"
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

  // Writes the queue, one line per item in queue order, ending every item's transfer and
  // keeping its pieces in the resume text of its line. The lines go to a temporary file
  // that is flushed and then moved over "haulix.db" in one step, so a failure at any point
  // leaves the previous database as it was and no partial file; the pieces that only the
  // lost lines named are then deleted, those the previous database names are kept. An
  // empty queue deletes "haulix.db".
  QueueSaveResult saveQueueDatabase();

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
