#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "url/url_parts.h"

struct TransferJob;
struct StoredLine;

// What became of an item's last fetch. The numbers are stored and sorted on.
enum class DownloadState : int32_t { Failed = 0, Done = 1, Queued = 2, Inactive = 3 };

// One address of the download list. Made only by DownloadQueue::insertItem, freed only by
// DownloadQueue::removeItem (or with the queue).
struct DownloadItem {
  DownloadItem* previous = nullptr;  // the next smaller address
  DownloadItem* next = nullptr;      // the next larger address
  // Both set through DownloadQueue::setJob and setState, which keep count of them.
  TransferJob* job = nullptr;        // owned: the fetch in progress or ready to resume
  UrlParts address;                  // its fullAddress is the item's identity
  DownloadState state = DownloadState::Queued;
  int32_t priority = 0;              // 1 Get First, -1 Get Last, 0 normal; while Queued
  int64_t size = -1;                 // bytes of the saved file; -1 unknown
  std::string savedPath;             // empty until Done with a file
  std::string message;               // the Status text of a Failed item
  // Learnt from the first reply and kept across restarts (a resumed transfer keeps them):
  std::string serverName;    // the file name the server gave (Content-Disposition), or empty
  std::string finalAddress;  // where the server's redirects led, or empty
  bool rowShown = false;             // the Download Window has made its row
  // Its line of the queue database as last written, shared with a save in progress; made
  // again when the item no longer matches it (see queue_snapshot.h).
  std::shared_ptr<const StoredLine> stored;
};

// The name the Name column shows: the server's, once a reply gave one, else the address's.
inline const std::string& shownName(const DownloadItem& item) {
  return item.serverName.empty() ? item.address.displayName : item.serverName;
}
