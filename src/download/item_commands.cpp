#include "download/item_commands.h"

#include <mutex>
#include <utility>
#include <vector>

#include "download/job_text.h"
#include "download/progress_text.h"
#include "download/saved_name.h"
#include "transfer/transfer_engine.h"
#include "transfer/worker_request.h"
#include "platform/own_images.h"
#include "store/site_credentials.h"

namespace {

// The text before the last "\" of a path; empty when it has none.
std::string parentOf(const std::string& path) {
  size_t cut = path.rfind('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string priorityText(int32_t priority) {
  if (priority == 1) return "First";
  if (priority == -1) return "Last";
  return {};
}

}  // namespace

bool ItemCommands::canGet(const DownloadItem& item) {
  if (item.state == DownloadState::Queued) return true;
  if (item.state != DownloadState::Failed) return false;
  // An item that failed for want of a connection kept its job and pieces: Get goes on
  // from them. One whose certificate was refused keeps its place even with nothing
  // fetched, and across a restart (where it has no job left): Get tries again once the
  // site is accepted.
  return item.job || isCertificateFaultText(item.message);
}

void ItemCommands::startItem(DownloadItem& item) {
  if (!canGet(item)) return;
  if (!connection_.connectionAvailable()) return;
  if (item.state != DownloadState::Queued) {
    // Queued again: kept by the next save, and a candidate for the scheduler.
    queue_.setState(item, DownloadState::Queued);
    queue_.noteChange();
  }
  if (!item.job || !isRunning(*item.job)) {
    // Its server has all the connections it takes: the item waits its turn, Queued.
    const auto busy = queue_.engine().connectionsByHost();
    const auto found = busy.find(item.address.host);
    if (found != busy.end() && found->second >= kMostConnectionsPerHost) {
      refreshRow(item);
      return;
    }
  }
  if (!item.job) {
    UrlParts address = item.address;
    applySiteCredential(settings_.settings(), address);
    queue_.setJob(item, queue_.engine().createJob(address, settings_.settings().saveFolder, ""));
  } else {
    // A job kept since it failed goes on under the site's entry as it is now: a site
    // accepted after its certificate was refused is accepted from this Get on.
    const bool accepted = acceptsCertificateErrors(settings_.settings(), item.address.host);
    std::lock_guard hold(queue_.engine().lock());
    item.job->address.acceptCertificateErrors = accepted;
  }
  // A download rides out a broken connection or a server that is away for a while.
  item.job->keepTrying = true;
  if (item.job->result == kJobNoResult) {
    // A job that starts gets the file's connections (the first alone until the size is
    // known); each Get while it runs adds one to them.
    const int32_t connections = connectionsPerFile(settings_.settings());
    item.job->connections = isRunning(*item.job) ? item.job->connections + 1 : connections;
    ++item.job->wanted;
    // The worker starts now: left to the next pass it would wait for the idle timer, since
    // nothing else wakes the loop before then, and a finished file's place would stay empty.
    TransferEngine& engine = queue_.engine();
    std::lock_guard hold(engine.lock());
    engine.jobPass(*item.job);
  }
  refreshRow(item);
}

void ItemCommands::resetItem(DownloadItem& item) {
  item.priority = 0;
  item.size = -1;
  queue_.setState(item, DownloadState::Queued);
  item.savedPath.clear();
  item.serverName.clear();
  item.finalAddress.clear();
  if (item.job) {
    queue_.engine().destroyJob(item.job, false);
    queue_.setJob(item, nullptr);
  }
  queue_.noteChange();
  refreshRow(item);
}

void ItemCommands::markSelected(MarkMode mode) {
  for (int row = rows_.nextSelected(-1); row >= 0; row = rows_.nextSelected(row)) {
    DownloadItem* item = rows_.rowRecord(row);
    if (!item || item->state != DownloadState::Queued) continue;
    switch (mode) {
      case MarkMode::kFirst: item->priority = 1; break;
      case MarkMode::kLast: item->priority = -1; break;
      case MarkMode::kInactive:
        resetItem(*item);
        queue_.setState(*item, DownloadState::Inactive);
        break;
    }
    queue_.noteChange();
    refreshRow(*item);
  }
}

int ItemCommands::clearSelected(ClearAction action, SavedFileDeletion deletion) {
  const int rows = rows_.rowCount();
  const bool everyRow = rows > 0 && rows_.selectedCount() == rows;
  // From the last selected row to the first: deleting a row leaves the rows before it
  // where they are.
  std::vector<int> selected;
  for (int row = rows_.nextSelected(-1); row >= 0; row = rows_.nextSelected(row))
    selected.push_back(row);
  int count = 0;
  for (auto place = selected.rbegin(); place != selected.rend(); ++place) {
    const int row = *place;
    DownloadItem* item = rows_.rowRecord(row);
    if (!item) continue;
    if (action == ClearAction::kCount) {
      if (hasSavedFile(*item)) ++count;
      continue;
    }
    if (deletion != SavedFileDeletion::kNone)
      deleteSavedFile(*item, deletion == SavedFileDeletion::kFilesAndFolders);
    if (action == ClearAction::kReset) {
      resetItem(*item);
    } else {
      queue_.removeItem(item);
      if (!everyRow) rows_.deleteRow(row);
    }
  }
  if (action == ClearAction::kRemove && everyRow) rows_.deleteAllRows();
  return count;
}

void ItemCommands::deleteSavedFile(DownloadItem& item, bool removeEmptiedFolders) {
  if (!hasSavedFile(item)) return;
  if (!fileOps_.removePath(item.savedPath) || !removeEmptiedFolders) return;
  std::string folder = parentOf(item.savedPath);
  while (!folder.empty() && fileOps_.pathStatus(folder) == path_status::kFolder &&
         !text_.equalsText(folder, folders_.myDocuments, true) &&
         fileOps_.files().listFolder(folder, "*").empty()) {
    if (!fileOps_.removePath(folder)) return;
    folder = parentOf(folder);
  }
}

void ItemCommands::openItem(const DownloadItem& item, OpenTarget target) {
  bool saved = hasSavedFile(item);
  switch (target) {
    case OpenTarget::kOpen:
      shell_.open(saved ? item.savedPath : item.address.fullAddress, "");
      break;
    case OpenTarget::kAddress: shell_.open(item.address.fullAddress, ""); break;
    case OpenTarget::kSavedFile:
      if (saved) shell_.open(item.savedPath, "");
      break;
    case OpenTarget::kContainingFolder:
      if (saved) shell_.open(parentOf(item.savedPath), "");
      break;
  }
}

bool ItemCommands::hasSavedFile(const DownloadItem& item) {
  return item.state == DownloadState::Done && !item.savedPath.empty() &&
         fileOps_.pathStatus(item.savedPath) >= 0;
}

void ItemCommands::pauseItem(DownloadItem& item) {
  if (!item.job) return;
  queue_.engine().pauseJob(*item.job);
  queue_.noteChange();
  refreshRow(item);
}

bool ItemCommands::isActive(const DownloadItem& item) {
  return item.state == DownloadState::Queued && item.job && isRunning(*item.job);
}

void ItemCommands::noteReply(DownloadItem& item) {
  if (!item.job) return;
  if (item.serverName.empty() && namesAFile(item.job->serverName)) {
    item.serverName = item.job->serverName;
  }
  if (!item.job->finalAddress.empty()) item.finalAddress = item.job->finalAddress;
}

void ItemCommands::completeItem(DownloadItem& item) {
  queue_.noteChange();
  const TransferJob& job = *item.job;
  if (job.result != kJobSucceeded) {
    queue_.setState(item, DownloadState::Failed);
    item.message = job.errorText;
    return;
  }
  if (job.finishedPath.empty()) {
    queue_.setState(item, DownloadState::Done);
    return;
  }
  SavedTarget target = targetName(item.address, job.finishedPath,
                                  settings_.settings().subfolderScheme, item.serverName);
  // The server's own name is taken as it is; an address's name follows the content.
  if (!target.serverNamed && job.contentType == "text/html") target.extension = ".htm";
  std::string placed = fileOps_.placeFile(job.finishedPath, target.folder, target.name,
                                          target.extension, false, Collision::kKeepIdentical,
                                          true);
  if (placed.empty()) {
    queue_.setState(item, DownloadState::Failed);
    item.message = "Cannot Save";
    return;
  }
  item.size = job.finalSize;
  item.savedPath = placed;
  queue_.setState(item, DownloadState::Done);
}

ItemColumns ItemCommands::itemColumns(const DownloadItem& item) const {
  ItemColumns columns;
  if (item.job && item.state == DownloadState::Queued) {
    columns.status = jobStatusText(*item.job, clock_);
    columns.size = jobSizeText(*item.job);
    if (!columns.status.empty()) {
      columns.statusImage = imageIndex(OwnImage::kListGet);
    } else {
      columns.statusImage = imageIndex(OwnImage::kClear);
      columns.status = priorityText(item.priority);
    }
    return columns;
  }
  switch (item.state) {
    case DownloadState::Done:
      columns.statusImage = imageIndex(OwnImage::kListDone);
      columns.status = "Done";
      break;
    case DownloadState::Failed:
      columns.statusImage = imageIndex(OwnImage::kListNot);
      columns.status = item.message;
      break;
    case DownloadState::Queued:
      columns.statusImage = imageIndex(OwnImage::kClear);
      columns.status = priorityText(item.priority);
      break;
    case DownloadState::Inactive:
      columns.statusImage = imageIndex(OwnImage::kClear);
      columns.status = "Inactive";
      break;
  }
  // A failed item that kept its pieces shows how much of the file they hold.
  if (item.job) {
    columns.size = jobSizeText(*item.job);
  } else if (item.size != -1) {
    columns.size = sizeText(item.size);
  }
  return columns;
}

RowCells ItemCommands::rowCells(const DownloadItem& item) const {
  ItemColumns columns = itemColumns(item);
  RowCells cells;
  cells.texts.reserve(6);
  cells.texts.push_back(std::move(columns.status));
  cells.texts.push_back(shownName(item));
  cells.texts.push_back(std::move(columns.size));
  cells.texts.push_back(item.address.typeName);
  cells.texts.push_back(item.address.fullAddress);
  cells.texts.push_back(item.savedPath);
  cells.image0 = columns.statusImage;
  cells.image1 = item.address.iconIndex;
  return cells;
}

void ItemCommands::refreshRow(const DownloadItem& item) { rows_.rewriteRow(&item, rowCells(item)); }

int64_t ItemCommands::displaySize(const DownloadItem& item) {
  if (item.job) return item.job->totalSize != -1 ? item.job->totalSize : item.job->bytesGot;
  return item.size;
}
