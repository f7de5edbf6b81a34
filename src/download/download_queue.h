#pragma once
#include <cstddef>
#include <string_view>

#include "download/download_item.h"
#include "url/address.h"
#include "url/byte_text.h"

class TransferEngine;

// All download items in ascending order of their full address (the locale order, ties
// broken by bytes), with no two equal. Insertion searches from where the last search
// stopped, so addresses arriving in or near order cost a step or two each.
class DownloadQueue {
 public:
  DownloadQueue(const ByteText& text, const AddressParser& parser, TransferEngine& engine)
      : text_(text), parser_(parser), engine_(engine) {}
  ~DownloadQueue();
  DownloadQueue(const DownloadQueue&) = delete;
  DownloadQueue& operator=(const DownloadQueue&) = delete;

  // The new item, Queued; nullptr when an item with an equal full address exists.
  DownloadItem* insertItem(const UrlParts& address);
  // Unlinks and frees the item, destroying its job without a resume text.
  void removeItem(DownloadItem* item);
  // One address per line (lines end with CR LF); unusable lines and duplicates are dropped.
  // Gives the number of items added.
  size_t addAddresses(std::string_view text);

  DownloadItem* first() const { return first_; }
  DownloadItem* cursor() const { return cursor_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  TransferEngine& engine() const { return engine_; }

 private:
  const ByteText& text_;
  const AddressParser& parser_;
  TransferEngine& engine_;
  DownloadItem* first_ = nullptr;
  DownloadItem* cursor_ = nullptr;
  size_t size_ = 0;
};
