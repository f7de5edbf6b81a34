#include "download/queue_database.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "transfer/resume_text.h"
#include "transfer/transfer_engine.h"
#include "platform/product.h"
#include "store/site_credentials.h"
#include "url/byte_text.h"

namespace {

// Lines are gathered and written in steps of about this many bytes.
constexpr size_t kWriteStep = 256 * 1024;

// The only schemes a parsed address has.
bool isKnownScheme(std::string_view scheme) {
  return scheme == "http://" || scheme == "https://" || scheme == "ftp://" || scheme == "gopher://";
}

std::string inFolder(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (path.empty() || path.back() != '\\') path += '\\';
  path += name;
  return path;
}

// Reduced to its sign: an optional sign and the digits after it; no digits give 0.
int32_t signOf(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  bool nonZero = false;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    nonZero = nonZero || c != '0';
  }
  if (!nonZero) return 0;
  return negative ? -1 : 1;
}

// A size in bytes, or -1 (unknown) for anything that is not a number of 0 or more.
int64_t sizeOf(std::string_view text) {
  int64_t size = -1;
  if (!parseDecimal(text, size) || size < 0) return -1;
  return size;
}

// The last name of a path, upper-cased as far as it is ASCII: piece names are ASCII.
std::string pieceKey(std::string_view path) {
  const size_t slash = path.rfind('\\');
  std::string key(slash == std::string_view::npos ? path : path.substr(slash + 1));
  for (char& c : key)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return key;
}

std::string withoutTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

// Field 13: the server's file name, a tab, and the address the redirects led to.
void readReplyFacts(std::string_view text, DownloadItem& item) {
  const size_t tab = text.find('\t');
  item.serverName = text.substr(0, tab);
  if (tab != std::string_view::npos) item.finalAddress = text.substr(tab + 1);
}

}  // namespace

std::string QueueDatabase::databasePath() const {
  return inFolder(inFolder(folders_.applicationData, "Haulix"), "haulix.db");
}

std::string QueueDatabase::temporaryPath() const {
  return databasePath() + ".new";
}

std::string QueueDatabase::oldQueuePath(const char* name) const {
  return inFolder(folders_.windows, name);
}

template <class Reader>
bool QueueDatabase::readWhole(const std::string& path, Reader read) {
  std::unique_ptr<MappedFile> mapped = fileOps_.mapFile(path);
  if (!mapped) return false;
  read(std::string_view(reinterpret_cast<const char*>(mapped->data()),
                        static_cast<size_t>(mapped->size())));
  return true;
}

QueueLoad QueueDatabase::loadQueueDatabase() {
  QueueLoad load;
  const size_t before = queue_.size();
  auto restore = [this](const StoredFields& fields) { restoreItem(fields); };

  const std::string database = databasePath();
  const int64_t status = fileOps_.pathStatus(database);
  if (status > 0) {
    auto restoreNamingPieces = [&](const StoredFields& fields) {
      for (StoredPiece& piece : parseResumeText(fields[stored_field::kResumeText]).pieces)
        load.namedPieces.push_back(std::move(piece.path));
      restoreItem(fields);
    };
    if (readWhole(database,
                  [&](std::string_view bytes) { readDatabaseText(bytes, restoreNamingPieces); })) {
      load.source = QueueSource::kDatabase;
      load.piecesKnown = true;
    }
  } else {
    // A database of 0 bytes names nothing either.
    load.piecesKnown = status == 0 || status == path_status::kMissing;
    if (settings_.settings().setupLevel < product::kVersionLevel) {
      const std::string textList = oldQueuePath("hxdata.bin");
      const std::string records = oldQueuePath("hxdat.bin");
      if (fileOps_.pathStatus(textList) > 0) {
        if (readWhole(textList, [&](std::string_view bytes) { readOldTextList(bytes, restore); }))
          load.source = QueueSource::kOldTextList;
      } else if (fileOps_.pathStatus(records) > 0) {
        if (readWhole(records,
                      [&](std::string_view bytes) { readOldRecords(bytes, parser_, restore); }))
          load.source = QueueSource::kOldRecordFile;
      }
    }
  }
  load.restored = queue_.size() - before;
  return load;
}

size_t QueueDatabase::deleteOrphanedPieces(const QueueLoad& load) {
  if (!load.piecesKnown) return 0;
  // Names alone tell pieces apart (each holds a fresh GUID), whatever case or form the
  // folder's path was written in.
  std::unordered_set<std::string> named;
  std::vector<std::string> folders = {withoutTrailingSlashes(settings_.settings().saveFolder)};
  for (const std::string& piece : load.namedPieces) {
    named.insert(pieceKey(piece));
    const size_t slash = piece.rfind('\\');
    if (slash != std::string::npos)
      folders.push_back(withoutTrailingSlashes(piece.substr(0, slash)));
  }
  std::sort(folders.begin(), folders.end());
  folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
  size_t deleted = 0;
  for (const std::string& folder : folders) {
    if (folder.empty() || fileOps_.pathStatus(folder) != path_status::kFolder) continue;
    for (const std::string& path : fileOps_.files().listFolder(folder, "haulix *.db")) {
      if (!isPieceFileName(path) || named.count(pieceKey(path)) != 0) continue;
      if (fileOps_.removePath(path)) ++deleted;
    }
  }
  return deleted;
}

DownloadItem* QueueDatabase::restoreItem(const StoredFields& fields) {
  namespace f = stored_field;
  if (!isKnownScheme(fields[f::kScheme]) || fields[f::kHost].empty()) return nullptr;
  UrlParts address;
  address.scheme = fields[f::kScheme];
  address.user = fields[f::kUser];
  address.password = fields[f::kPassword];
  address.host = fields[f::kHost];
  address.port = fields[f::kPort];
  address.folder = fields[f::kFolder];
  address.baseName = fields[f::kBaseName];
  address.extension = fields[f::kExtension];
  address.extra = fields[f::kExtra];
  parser_.deriveNames(address);

  DownloadItem* item = queue_.insertItem(std::move(address));
  if (!item) return nullptr;

  const std::string_view state = fields[f::kState];
  const std::string_view oldState = fields[f::kOldState];
  if (state == "I") {
    queue_.setState(*item, DownloadState::Inactive);
  } else if (state == "D") {
    queue_.setState(*item, DownloadState::Done);
  } else if (state == "C") {
    queue_.setState(*item, DownloadState::Failed);
  } else if (oldState == "D") {
    queue_.setState(*item, DownloadState::Done);
  } else if (oldState == "N") {
    queue_.setState(*item, DownloadState::Failed);
  }

  item->message = fields[f::kMessage];
  readReplyFacts(fields[f::kReplyFacts], *item);
  if (item->state == DownloadState::Failed && item->message.empty()) item->message = "Not Found";
  if (item->state == DownloadState::Queued) item->priority = signOf(fields[f::kPriority]);
  if (item->state == DownloadState::Done) {
    item->size = sizeOf(fields[f::kSize]);
    item->savedPath = fields[f::kSavedPath];
  }

  if (!fields[f::kResumeText].empty()) {
    UrlParts jobAddress = item->address;
    applySiteCredential(settings_.settings(), jobAddress);
    queue_.setJob(*item, queue_.engine().createJob(jobAddress, settings_.settings().saveFolder,
                                                   std::string(fields[f::kResumeText])));
  }
  // Made here rather than at the first save, so that saving a large queue just loaded
  // does not cost the user-interface thread a moment.
  storedLineOf(*item);
  return item;
}

QueueSnapshot QueueDatabase::takeSnapshot() {
  QueueSnapshot snapshot;
  snapshot.reserve(queue_.size());
  for (DownloadItem* item = queue_.first(); item; item = item->next) {
    snapshot.push_back({storedLineOf(*item), std::string()});
    if (item->job) snapshot.back().resumeText = queue_.engine().resumeText(*item->job);
  }
  return snapshot;
}

QueueSaveResult QueueDatabase::saveQueueDatabase() {
  QueueSnapshot snapshot;
  snapshot.reserve(queue_.size());
  std::vector<std::string> keptPieces;
  for (DownloadItem* item = queue_.first(); item; item = item->next) {
    snapshot.push_back({storedLineOf(*item), std::string()});
    if (!item->job) continue;
    // Every transfer ends here, written or not: its pieces stay on disk for the resume text.
    std::string& resumeText = snapshot.back().resumeText;
    resumeText = queue_.engine().destroyJob(item->job, true);
    queue_.setJob(*item, nullptr);
    for (StoredPiece& piece : parseResumeText(resumeText).pieces)
      keptPieces.push_back(std::move(piece.path));
  }
  const QueueSaveResult result = writeSnapshot(snapshot);
  if (result == QueueSaveResult::kFailed) deletePiecesOnlyNamedBy(keptPieces);
  return result;
}

QueueSaveResult QueueDatabase::writeSnapshot(const QueueSnapshot& snapshot,
                                             const std::atomic<bool>* cancelled) {
  const std::string database = databasePath();
  const std::string temporary = temporaryPath();
  if (snapshot.empty()) {
    fileOps_.removePath(temporary);
    return fileOps_.removePath(database) ? QueueSaveResult::kDeleted : QueueSaveResult::kFailed;
  }

  fileOps_.makeFolders(database, true);
  std::unique_ptr<WritableFile> file = fileOps_.createForWriting(false, temporary);
  bool ok = file != nullptr;
  std::string lines;
  for (size_t i = 0; ok && i < snapshot.size(); ++i) {
    appendSnapshotLine(lines, snapshot[i]);
    if (lines.size() >= kWriteStep) {
      ok = FileOps::writeText(*file, lines) && !(cancelled && cancelled->load());
      lines.clear();
    }
  }
  if (ok && !lines.empty()) ok = FileOps::writeText(*file, lines);
  if (ok) ok = file->flush();
  file.reset();
  if (ok) ok = fileOps_.replaceFile(temporary, database);
  if (ok) return QueueSaveResult::kWritten;
  fileOps_.removePath(temporary);
  return QueueSaveResult::kFailed;
}

void QueueDatabase::deletePiecesOnlyNamedBy(const std::vector<std::string>& pieces) {
  if (pieces.empty()) return;
  std::unordered_set<std::string> named;
  readWhole(databasePath(), [&](std::string_view bytes) {
    readDatabaseText(bytes, [&](const StoredFields& fields) {
      for (StoredPiece& piece : parseResumeText(fields[stored_field::kResumeText]).pieces)
        named.insert(std::move(piece.path));
    });
  });
  for (const std::string& piece : pieces)
    if (!named.count(piece)) fileOps_.removePath(piece);
}
