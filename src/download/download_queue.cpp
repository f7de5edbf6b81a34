#include "download/download_queue.h"

#include <iterator>
#include <utility>

#include "transfer/transfer_engine.h"

DownloadQueue::~DownloadQueue() {
  while (first_) removeItem(first_);
}

namespace {
// Steps the cursor search takes before it asks the index.
constexpr int kLongestWalk = 8;
}  // namespace

DownloadItem* DownloadQueue::searchFromCursor(std::string_view key, int& sign) {
  const int first = text_.compareAddresses(key, cursor_->address.fullAddress);
  sign = first;
  if (first == 0) return nullptr;
  // Walk from the cursor towards the new address, each visited item becoming the cursor,
  // until the comparison changes sign or the list ends.
  for (int steps = 0;; ++steps) {
    DownloadItem* step = first < 0 ? cursor_->previous : cursor_->next;
    if (!step) return cursor_;
    if (steps == kLongestWalk) return searchIndex(key, first < 0, sign);
    cursor_ = step;
    cursorPlace_ = first < 0 ? std::prev(cursorPlace_) : std::next(cursorPlace_);
    sign = text_.compareAddresses(key, step->address.fullAddress);
    if (sign == 0) return nullptr;
    if ((sign < 0) != (first < 0)) return cursor_;
  }
}

// Finds where the walk would stop: walking up, on the first item above the key (or the
// last item); walking down, on the last item below it (or the first item).
DownloadItem* DownloadQueue::searchIndex(std::string_view key, bool movingDown, int& sign) {
  auto above = index_.lower_bound(key);
  if (above != index_.end() && text_.compareAddresses(key, (*above)->address.fullAddress) == 0) {
    cursorPlace_ = above;
    sign = 0;
  } else if (movingDown) {
    cursorPlace_ = above == index_.begin() ? above : std::prev(above);
    sign = above == index_.begin() ? -1 : 1;
  } else {
    cursorPlace_ = above == index_.end() ? std::prev(above) : above;
    sign = above == index_.end() ? 1 : -1;
  }
  cursor_ = *cursorPlace_;
  return sign == 0 ? nullptr : cursor_;
}

DownloadItem* DownloadQueue::insertItem(UrlParts address) {
  const std::string& key = address.fullAddress;
  DownloadItem* before = nullptr;  // the new item goes between before and after
  DownloadItem* after = nullptr;
  if (cursor_) {
    int sign = 0;
    DownloadItem* stop = searchFromCursor(key, sign);
    if (!stop) return nullptr;
    if (sign < 0) {
      after = stop;
      before = stop->previous;
    } else {
      before = stop;
      after = stop->next;
    }
  }

  auto* item = new DownloadItem;
  item->address = std::move(address);
  item->previous = before;
  item->next = after;
  if (before) before->next = item;
  else first_ = item;
  if (after) after->previous = item;
  else last_ = item;
  // The index position right after the new item is next to the cursor's.
  auto hint = index_.end();
  if (cursor_) hint = after == cursor_ ? cursorPlace_ : std::next(cursorPlace_);
  auto place = index_.insert(hint, item);
  if (!cursor_) {
    cursor_ = item;
    cursorPlace_ = place;
  }
  ++size_;
  ++queued_;
  ++changes_;
  return item;
}

void DownloadQueue::removeItem(DownloadItem* item) {
  auto place = cursor_ == item ? cursorPlace_ : index_.find(item);
  if (cursor_ == item) {
    cursor_ = item->previous ? item->previous : item->next;
    if (cursor_) cursorPlace_ = item->previous ? std::prev(place) : std::next(place);
  }
  index_.erase(place);
  if (item->previous) item->previous->next = item->next;
  else first_ = item->next;
  if (item->next) item->next->previous = item->previous;
  else last_ = item->previous;
  --size_;
  if (item->state == DownloadState::Queued) --queued_;
  ++changes_;
  if (item->job) {
    withJobs_.erase(item);
    engine_.destroyJob(item->job, false);
  }
  delete item;
}

void DownloadQueue::setState(DownloadItem& item, DownloadState state) {
  if (item.state == DownloadState::Queued) --queued_;
  if (state == DownloadState::Queued) ++queued_;
  item.state = state;
}

void DownloadQueue::setJob(DownloadItem& item, TransferJob* job) {
  if (item.job && !job) withJobs_.erase(&item);
  // Jobs mostly come in address order (a loaded queue): the end is then the place.
  if (!item.job && job) withJobs_.insert(withJobs_.end(), &item);
  item.job = job;
}

size_t DownloadQueue::addAddresses(std::string_view text) {
  size_t added = 0;
  while (!text.empty()) {
    // Lines end with CR LF, a lone LF or a lone CR: text copied from other programs, mail
    // or Unix tools comes with any of them.
    const size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    if (end == std::string_view::npos) {
      text = {};
    } else {
      const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
      text.remove_prefix(end + (crlf ? 2 : 1));
    }
    UrlParts address = parser_.parseTypedAddress(line);
    if (isUsable(address) && insertItem(std::move(address))) ++added;
  }
  return added;
}
