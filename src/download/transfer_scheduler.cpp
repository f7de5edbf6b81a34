#include "download/transfer_scheduler.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace {
int startedCount(const DownloadItem& item) { return item.job ? item.job->started : 0; }
}  // namespace

void TransferScheduler::runScheduler() {
  queue_.engine().runJobPass();
  collectFinishedJobs();
  if (site_) site_->collectFinishedFetches();
  startItems();
  const Settings& settings = settings_.settings();
  if (site_) {
    site_->startPageFetches(settings.filesAtOnce);
    site_->expandWhenIdle();
  }
}

void TransferScheduler::collectFinishedJobs() {
  // A copy: completing an item can take its job away.
  const std::vector<DownloadItem*> withJobs(queue_.itemsWithJobs().begin(),
                                            queue_.itemsWithJobs().end());
  for (DownloadItem* item : withJobs) {
    ItemCommands::noteReply(*item);
    if (item->job->result != kJobNoResult) {
      commands_.completeItem(*item);
      if (item->job->keptPieces) {
        // Failed for want of a connection: the item keeps what was fetched for a later Get
        // (and the queue database keeps it across a restart).
        queue_.engine().reopenJob(*item->job);
      } else {
        queue_.engine().destroyJob(item->job, false);
        queue_.setJob(*item, nullptr);
      }
    }
    // Every item with a job is refreshed at every step, so its texts move.
    commands_.refreshRow(*item);
  }
}

void TransferScheduler::startItems() {
  const Settings& settings = settings_.settings();
  if (settings.paused != 0) return;
  // Only items with a job can be active.
  size_t active = 0;
  for (const DownloadItem* item : queue_.itemsWithJobs())
    if (ItemCommands::isActive(*item)) ++active;
  if (static_cast<int>(active) >= settings.filesAtOnce) return;
  // Every Queued item transfers already: nothing to look for.
  if (queue_.queuedCount() <= active) return;
  // The last look found nothing to start (every candidate's server full), and nothing that
  // could make a candidate has happened since: no item Queued, none stopped, no connection
  // ended.
  StartLook look{queue_.changeCount(), queue_.queuedCount(), active,
                 queue_.engine().connectionsByHost()};
  if (nothingToStart_ && *nothingToStart_ == look) return;
  nothingToStart_.reset();
  for (int n = settings.filesAtOnce - static_cast<int>(active); n >= 1; --n) {
    DownloadItem* next = nextItemToStart();
    if (!next) {
      nothingToStart_ = std::move(look);
      return;
    }
    commands_.startItem(*next);
    // Not started (no connection to the Internet): the next look would choose it again.
    if (!ItemCommands::isActive(*next)) return;
  }
}

DownloadItem* TransferScheduler::nextItemToStart() {
  // An item whose server has all the connections it takes waits, Queued, for one to end.
  const std::unordered_map<std::string, int> busy = queue_.engine().connectionsByHost();
  auto hostFull = [&busy](const DownloadItem& item) {
    const auto found = busy.find(item.address.host);
    return found != busy.end() && found->second >= kMostConnectionsPerHost;
  };
  DownloadItem* choice = nullptr;
  for (int row = 0, rows = rows_.rowCount(); row < rows; ++row) {
    DownloadItem* item = rows_.rowRecord(row);
    if (!item || item->state != DownloadState::Queued || ItemCommands::isActive(*item)) continue;
    // A later candidate wins on fewer connections started, or else on a higher priority;
    // the two are not ranked against each other. Its server is looked up only then: most
    // rows of a long list lose.
    if ((!choice || startedCount(*item) < startedCount(*choice) ||
         item->priority > choice->priority) &&
        !hostFull(*item)) {
      choice = item;
    }
  }
  return choice;
}
