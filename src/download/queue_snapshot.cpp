#include "download/queue_snapshot.h"

#include "store/queue_records.h"
#include "url/byte_text.h"

namespace {

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

// Only a Done item's saved path is written.
std::string_view writtenSavedPath(const DownloadItem& item) {
  return item.state == DownloadState::Done ? std::string_view(item.savedPath) : std::string_view();
}

// Field 13: "" when the first reply told nothing, else the server's file name, a tab, and
// the address the redirects led to (either may be empty).
std::string replyFactsText(const DownloadItem& item) {
  if (item.serverName.empty() && item.finalAddress.empty()) return {};
  return item.serverName + '\t' + item.finalAddress;
}

// Compared without making the text: a snapshot compares every item.
bool sameReplyFacts(std::string_view stored, const DownloadItem& item) {
  if (item.serverName.empty() && item.finalAddress.empty()) return stored.empty();
  return stored.size() == item.serverName.size() + 1 + item.finalAddress.size() &&
         stored.substr(0, item.serverName.size()) == item.serverName &&
         stored[item.serverName.size()] == '\t' &&
         stored.substr(item.serverName.size() + 1) == item.finalAddress;
}

bool matches(const StoredLine& line, const DownloadItem& item) {
  const std::string_view head = line.head;
  return line.state == item.state && line.priority == item.priority && line.size == item.size &&
         head.substr(line.savedPathAt, line.savedPathLength) == writtenSavedPath(item) &&
         sameReplyFacts(head.substr(line.replyFactsAt, line.replyFactsLength), item) &&
         head.substr(line.messageAt, line.messageLength) == item.message;
}

std::shared_ptr<const StoredLine> makeStoredLine(const DownloadItem& item) {
  auto line = std::make_shared<StoredLine>();
  line->state = item.state;
  line->priority = item.priority;
  line->size = item.size;
  const UrlParts& a = item.address;
  const bool done = item.state == DownloadState::Done;
  std::string& out = line->head;
  out.reserve(a.fullAddress.size() + item.savedPath.size() + item.message.size() + 32);
  for (const std::string* part : {&a.scheme, &a.user, &a.password, &a.host, &a.port, &a.folder,
                                  &a.baseName, &a.extension, &a.extra})
    appendDatabaseField(out, *part);
  appendDatabaseField(out, oldStateLetter(item.state));
  appendDatabaseField(out, done ? formatNumber(item.size) : std::string("-1"));
  line->savedPathAt = out.size();
  appendDatabaseField(out, writtenSavedPath(item));
  line->savedPathLength = out.size() - 1 - line->savedPathAt;
  line->replyFactsAt = out.size();
  appendDatabaseField(out, replyFactsText(item));
  line->replyFactsLength = out.size() - 1 - line->replyFactsAt;
  appendDatabaseField(out, stateLetter(item.state));
  appendDatabaseField(
      out, item.state == DownloadState::Queued ? formatNumber(item.priority) : std::string());
  line->messageAt = out.size();
  appendDatabaseField(out, item.message);
  line->messageLength = out.size() - 1 - line->messageAt;
  return line;
}

}  // namespace

const std::shared_ptr<const StoredLine>& storedLineOf(DownloadItem& item) {
  if (!item.stored || !matches(*item.stored, item)) item.stored = makeStoredLine(item);
  return item.stored;
}

void appendSnapshotLine(std::string& out, const SnapshotLine& line) {
  out += line.line->head;
  appendDatabaseField(out, line.resumeText);
  out.push_back('\n');
}
