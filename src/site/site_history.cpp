#include "site/site_history.h"

SiteHistory::~SiteHistory() {
  if (!current_) return;
  SiteHistoryEntry* oldest = current_;
  while (oldest->older) oldest = oldest->older;
  deleteNewerThan(oldest);
  delete oldest;
}

void SiteHistory::deleteNewerThan(SiteHistoryEntry* entry) {
  SiteHistoryEntry* newer = entry->newer;
  entry->newer = nullptr;
  while (newer) {
    SiteHistoryEntry* next = newer->newer;
    delete newer;
    newer = next;
  }
}

void SiteHistory::visitAddress(const UrlParts& address) {
  auto* entry = new SiteHistoryEntry;
  entry->address = address;
  if (current_) {
    deleteNewerThan(current_);
    current_->newer = entry;
    entry->older = current_;
  }
  current_ = entry;
}

bool SiteHistory::goOlder() {
  if (!hasOlder()) return false;
  current_ = current_->older;
  return true;
}

bool SiteHistory::goNewer() {
  if (!hasNewer()) return false;
  current_ = current_->newer;
  return true;
}
