#include "app/download_order.h"

#include "download/item_commands.h"
#include "transfer/transfer_job.h"

namespace {

int compareTexts(const ByteText& text, const std::string& a, const std::string& b) {
  return text.rules().compare(a, b);
}

template <class T>
int compareValues(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

// Queued items: active transfers first, then those that have bytes to resume, then the
// rest.
int queuedRank(const DownloadItem& item) {
  if (ItemCommands::isActive(item)) return 0;
  if (item.job && item.job->bytesGot != 0) return 1;
  return 2;
}

int compareStatus(const DownloadItem& a, const DownloadItem& b, const ByteText& text) {
  if (a.state == DownloadState::Failed && b.state == DownloadState::Failed)
    return compareTexts(text, a.message, b.message);
  if (a.state == DownloadState::Queued && b.state == DownloadState::Queued) {
    int rank = compareValues(queuedRank(a), queuedRank(b));
    if (rank != 0) return rank;
    return compareValues(b.priority, a.priority);  // higher priority first
  }
  return compareValues(static_cast<int>(a.state), static_cast<int>(b.state));
}

}  // namespace

int compareDownloadStatus(const DownloadItem& a, const DownloadItem& b, const ByteText& text) {
  return compareStatus(a, b, text);
}

int compareDownloadRows(const DownloadItem& a, const DownloadItem& b, int column,
                        const ByteText& text) {
  switch (column) {
    case 0:
      return compareStatus(a, b, text);
    case 1:
      return compareTexts(text, a.address.baseName + a.address.extension,
                          b.address.baseName + b.address.extension);
    case 2:
      return compareValues(ItemCommands::displaySize(a), ItemCommands::displaySize(b));
    case 3:
      return compareTexts(text, a.address.typeName, b.address.typeName);
    case 4:
      return compareTexts(text, a.address.fullAddress, b.address.fullAddress);
    case 5:
      return compareTexts(text, a.savedPath, b.savedPath);
    case -2: {
      int status = compareStatus(a, b, text);
      return status != 0 ? status
                         : compareTexts(text, a.address.fullAddress, b.address.fullAddress);
    }
    default:
      return 0;
  }
}
