#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "download/download_queue.h"
#include "download/item_commands.h"
#include "transfer/transfer_engine.h"
#include "platform/row_list.h"
#include "store/settings.h"

// The crawl's part of a scheduler step: a Site Window's pages are fetched through the same
// transfer engine, counted apart from the downloads.
class SiteSteps {
 public:
  virtual ~SiteSteps() = default;
  // Takes the outcome of every page fetch that has a result, and refreshes the pages' tree
  // items.
  virtual void collectFinishedFetches() = 0;
  // Unless fetching is stopped: starts page fetches up to `filesAtOnce` running at once.
  virtual void startPageFetches(int filesAtOnce) = 0;
  // With Expand on and no visible page left to read: opens the next level of the tree.
  virtual void expandWhenIdle() = 0;
};

// One step of the idle pass: the job pass, finished jobs collected into their items, the
// rows of transferring items refreshed, and new transfers started up to the number of files
// at once. It never waits: worker threads wake the idle pass when they finish.
class TransferScheduler {
 public:
  TransferScheduler(DownloadQueue& queue, ItemCommands& commands, RowList<DownloadItem>& rows,
                    const SettingsStore& settings, SiteSteps* site = nullptr)
      : queue_(queue), commands_(commands), rows_(rows), settings_(settings), site_(site) {}

  void setSiteSteps(SiteSteps* site) { site_ = site; }

  void runScheduler();
  // The Queued item that is not transferring to start next, walking the rows from the top:
  // a later row replaces the choice when it has started fewer connections, or else when
  // its priority is higher (Get First 1, normal 0, Get Last -1). nullptr when none.
  DownloadItem* nextItemToStart();

 private:
  // What a look for an item to start depended on.
  struct StartLook {
    uint64_t changes;
    size_t queued;
    size_t active;
    std::unordered_map<std::string, int> connectionsByHost;
    bool operator==(const StartLook&) const = default;
  };

  void collectFinishedJobs();
  void startItems();

  DownloadQueue& queue_;
  ItemCommands& commands_;
  RowList<DownloadItem>& rows_;
  const SettingsStore& settings_;
  SiteSteps* site_;
  std::optional<StartLook> nothingToStart_;
};
