#include "download/download_queue.h"

#include "download/transfer_engine.h"

DownloadQueue::~DownloadQueue() {
  while (first_) removeItem(first_);
}

DownloadItem* DownloadQueue::insertItem(const UrlParts& address) {
  const std::string& key = address.fullAddress;
  DownloadItem* before = nullptr;  // the new item goes between before and after
  DownloadItem* after = nullptr;
  if (cursor_) {
    int first = text_.compareAddresses(key, cursor_->address.fullAddress);
    if (first == 0) return nullptr;
    // Walk from the cursor towards the new address, each visited item becoming the cursor,
    // until the comparison changes sign or the list ends.
    int sign = first;
    for (;;) {
      DownloadItem* step = first < 0 ? cursor_->previous : cursor_->next;
      if (!step) break;
      cursor_ = step;
      sign = text_.compareAddresses(key, step->address.fullAddress);
      if (sign == 0) return nullptr;
      if ((sign < 0) != (first < 0)) break;
    }
    if (sign < 0) {
      after = cursor_;
      before = cursor_->previous;
    } else {
      before = cursor_;
      after = cursor_->next;
    }
  }

  auto* item = new DownloadItem;
  item->address = address;
  item->previous = before;
  item->next = after;
  if (before) before->next = item;
  else first_ = item;
  if (after) after->previous = item;
  if (!cursor_) cursor_ = item;
  ++size_;
  return item;
}

void DownloadQueue::removeItem(DownloadItem* item) {
  if (cursor_ == item) cursor_ = item->previous ? item->previous : item->next;
  if (item->previous) item->previous->next = item->next;
  else first_ = item->next;
  if (item->next) item->next->previous = item->previous;
  --size_;
  if (item->job) engine_.destroyJob(item->job, false);
  delete item;
}

size_t DownloadQueue::addAddresses(std::string_view text) {
  size_t added = 0;
  while (!text.empty()) {
    size_t end = text.find("\r\n");
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 2);
    UrlParts address = parser_.parseTypedAddress(line);
    if (isUsable(address) && insertItem(address)) ++added;
  }
  return added;
}
