#include "download/queue_database.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <unordered_set>

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

std::string_view oldStateLetter(DownloadState state) {
  switch (state) {
    case DownloadState::Failed:
      return "N";
    case DownloadState::Done:
      return "D";
    default:
      return "P";
  }
}

std::string_view stateLetter(DownloadState state) {
  switch (state) {
    case DownloadState::Failed:
      return "C";
    case DownloadState::Done:
      return "D";
    case DownloadState::Inactive:
      return "I";
    default:
      return "P";
  }
}

void appendItemLine(std::string& out, const DownloadItem& item, std::string_view resumeText) {
  namespace f = stored_field;
  const UrlParts& a = item.address;
  const bool done = item.state == DownloadState::Done;
  const std::string size = done ? formatNumber(item.size) : std::string("-1");
  const std::string priority =
      item.state == DownloadState::Queued ? formatNumber(item.priority) : std::string();
  StoredFields fields;
  fields[f::kScheme] = a.scheme;
  fields[f::kUser] = a.user;
  fields[f::kPassword] = a.password;
  fields[f::kHost] = a.host;
  fields[f::kPort] = a.port;
  fields[f::kFolder] = a.folder;
  fields[f::kBaseName] = a.baseName;
  fields[f::kExtension] = a.extension;
  fields[f::kExtra] = a.extra;
  fields[f::kOldState] = oldStateLetter(item.state);
  fields[f::kSize] = size;
  if (done) fields[f::kSavedPath] = item.savedPath;
  fields[f::kState] = stateLetter(item.state);
  fields[f::kPriority] = priority;
  fields[f::kMessage] = item.message;
  fields[f::kResumeText] = resumeText;
  appendDatabaseLine(out, fields);
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
  if (fileOps_.pathStatus(database) > 0) {
    if (readWhole(database, [&](std::string_view bytes) { readDatabaseText(bytes, restore); }))
      load.source = QueueSource::kDatabase;
  } else if (settings_.settings().setupLevel < product::kVersionLevel) {
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
  load.restored = queue_.size() - before;
  return load;
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

  DownloadItem* item = queue_.insertItem(address);
  if (!item) return nullptr;

  const std::string_view state = fields[f::kState];
  const std::string_view oldState = fields[f::kOldState];
  if (state == "I") {
    item->state = DownloadState::Inactive;
  } else if (state == "D") {
    item->state = DownloadState::Done;
  } else if (state == "C") {
    item->state = DownloadState::Failed;
  } else if (oldState == "D") {
    item->state = DownloadState::Done;
  } else if (oldState == "N") {
    item->state = DownloadState::Failed;
  }

  item->message = fields[f::kMessage];
  if (item->state == DownloadState::Failed && item->message.empty()) item->message = "Not Found";
  if (item->state == DownloadState::Queued) item->priority = signOf(fields[f::kPriority]);
  if (item->state == DownloadState::Done) {
    item->size = sizeOf(fields[f::kSize]);
    item->savedPath = fields[f::kSavedPath];
  }

  if (!fields[f::kResumeText].empty()) {
    UrlParts jobAddress = item->address;
    applySiteCredential(settings_.settings(), jobAddress);
    item->job = queue_.engine().createJob(jobAddress, settings_.settings().saveFolder,
                                          std::string(fields[f::kResumeText]));
  }
  return item;
}

QueueSaveResult QueueDatabase::saveQueueDatabase() {
  const std::string database = databasePath();
  const std::string temporary = temporaryPath();
  if (queue_.empty()) {
    fileOps_.removePath(temporary);
    return fileOps_.removePath(database) ? QueueSaveResult::kDeleted : QueueSaveResult::kFailed;
  }

  fileOps_.makeFolders(database, true);
  std::unique_ptr<WritableFile> file = fileOps_.createForWriting(false, temporary);
  bool ok = file != nullptr;
  std::string lines;
  std::vector<std::string> keptPieces;
  for (DownloadItem* item = queue_.first(); item; item = item->next) {
    // Every transfer ends here, written or not: its pieces stay on disk for the resume text.
    std::string resumeText;
    if (item->job) {
      resumeText = queue_.engine().destroyJob(item->job, true);
      item->job = nullptr;
      for (StoredPiece& piece : parseResumeText(resumeText).pieces)
        keptPieces.push_back(std::move(piece.path));
    }
    if (!ok) continue;
    appendItemLine(lines, *item, resumeText);
    if (lines.size() >= kWriteStep) {
      ok = FileOps::writeText(*file, lines);
      lines.clear();
    }
  }
  if (ok && !lines.empty()) ok = FileOps::writeText(*file, lines);
  if (ok) ok = file->flush();
  file.reset();
  if (ok) ok = fileOps_.replaceFile(temporary, database);
  if (ok) return QueueSaveResult::kWritten;

  fileOps_.removePath(temporary);
  deletePiecesOnlyNamedBy(keptPieces);
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
