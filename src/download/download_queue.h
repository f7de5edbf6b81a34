#pragma once
#include <cstddef>
#include <cstdint>
#include <set>
#include <string_view>

#include "download/download_item.h"
#include "url/address.h"
#include "url/byte_text.h"

class TransferEngine;

// All download items in ascending order of their full address (the locale order, ties
// broken by bytes), with no two equal. Insertion searches from where the last search
// stopped, so addresses arriving in or near order cost a step or two each; a search that
// would walk far is finished through an ordered index instead, which stops where the walk
// would have stopped, so 100,000 addresses in random order still insert in moments.
class DownloadQueue {
 public:
  // Orders items by address, and finds an item by an address text.
  struct ByAddress {
    using is_transparent = void;
    const ByteText* text;
    bool operator()(const DownloadItem* a, const DownloadItem* b) const {
      return text->compareAddresses(a->address.fullAddress, b->address.fullAddress) < 0;
    }
    bool operator()(const DownloadItem* a, std::string_view b) const {
      return text->compareAddresses(a->address.fullAddress, b) < 0;
    }
    bool operator()(std::string_view a, const DownloadItem* b) const {
      return text->compareAddresses(a, b->address.fullAddress) < 0;
    }
  };
  using ItemSet = std::set<DownloadItem*, ByAddress>;

  DownloadQueue(const ByteText& text, const AddressParser& parser, TransferEngine& engine)
      : text_(text), parser_(parser), engine_(engine) {}
  ~DownloadQueue();
  DownloadQueue(const DownloadQueue&) = delete;
  DownloadQueue& operator=(const DownloadQueue&) = delete;

  // The new item, Queued, holding the address; nullptr when an item with an equal full
  // address exists.
  DownloadItem* insertItem(UrlParts address);
  // Unlinks and frees the item, destroying its job without a resume text.
  void removeItem(DownloadItem* item);
  // One address per line (lines end with CR LF, LF or CR); unusable lines and duplicates
  // are dropped.
  // Gives the number of items added.
  size_t addAddresses(std::string_view text);

  // Counts every change a save must keep: items added and removed here, and state,
  // priority, outcome and pausing by the item commands (noteChange).
  uint64_t changeCount() const { return changes_; }
  void noteChange() { ++changes_; }

  // An item's state and job are set here, so that the scheduler and the status line find
  // the Queued items and those with a job without walking the whole queue.
  void setState(DownloadItem& item, DownloadState state);
  // Gives the item the job (nullptr: none); the caller destroys a job it replaces.
  void setJob(DownloadItem& item, TransferJob* job);
  size_t queuedCount() const { return queued_; }
  // The items that have a job, in address order.
  const ItemSet& itemsWithJobs() const { return withJobs_; }

  DownloadItem* first() const { return first_; }
  DownloadItem* last() const { return last_; }
  DownloadItem* cursor() const { return cursor_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  TransferEngine& engine() const { return engine_; }

 private:
  const ByteText& text_;
  const AddressParser& parser_;
  TransferEngine& engine_;

  // Where the cursor search stops: the item it stopped on, or nullptr for a duplicate.
  DownloadItem* searchFromCursor(std::string_view key, int& sign);
  DownloadItem* searchIndex(std::string_view key, bool movingDown, int& sign);

  DownloadItem* first_ = nullptr;
  DownloadItem* last_ = nullptr;
  DownloadItem* cursor_ = nullptr;
  size_t size_ = 0;
  uint64_t changes_ = 0;
  size_t queued_ = 0;
  ItemSet index_{ByAddress{&text_}};
  // The cursor's place in the index, moved along with the cursor.
  ItemSet::iterator cursorPlace_;
  ItemSet withJobs_{ByAddress{&text_}};
};
