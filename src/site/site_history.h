#pragma once
#include "site/site_page.h"

// The addresses a Site Window has shown at its root, for Back and Forward. No length limit.
class SiteHistory {
 public:
  SiteHistory() = default;
  ~SiteHistory();
  SiteHistory(const SiteHistory&) = delete;
  SiteHistory& operator=(const SiteHistory&) = delete;

  // A new entry after the current one, which becomes current; every entry that was newer
  // than the current one goes.
  void visitAddress(const UrlParts& address);
  // Moves to the older or newer entry; false (and nothing changes) when there is none.
  bool goOlder();
  bool goNewer();

  const SiteHistoryEntry* current() const { return current_; }
  bool hasOlder() const { return current_ && current_->older; }
  bool hasNewer() const { return current_ && current_->newer; }

 private:
  void deleteNewerThan(SiteHistoryEntry* entry);

  SiteHistoryEntry* current_ = nullptr;
};
