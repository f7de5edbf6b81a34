#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "download/download_item.h"

// The queue as a save writes it, taken on the user-interface thread and written on another.
// Taking it must cost little with 100,000 items, so each item keeps the first sixteen fields
// of its line as last written (the address never changes; the rest is compared), and a
// snapshot shares those texts instead of copying them.

// Fields 1 to 16 of an item's line, each followed by its CR, and what they were made from.
struct StoredLine {
  std::string head;
  DownloadState state = DownloadState::Queued;
  int32_t priority = 0;
  int64_t size = -1;
  // Where fields 12 (saved path), 13 (reply facts) and 16 (message) stand in the head.
  size_t savedPathAt = 0, savedPathLength = 0;
  size_t replyFactsAt = 0, replyFactsLength = 0;
  size_t messageAt = 0, messageLength = 0;
};

// One line of a save: the head and field 17, the resume text of the item's job.
struct SnapshotLine {
  std::shared_ptr<const StoredLine> line;
  std::string resumeText;
};
using QueueSnapshot = std::vector<SnapshotLine>;

// The item's stored line, made again only when the item no longer matches it.
const std::shared_ptr<const StoredLine>& storedLineOf(DownloadItem& item);
// Appends the whole line: head, resume text (CR and LF as spaces), CR, LF.
void appendSnapshotLine(std::string& out, const SnapshotLine& line);
