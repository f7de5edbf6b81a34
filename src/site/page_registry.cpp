#include "site/page_registry.h"

#include <iterator>

namespace {
// Steps the cursor walk takes before it asks the index.
constexpr int kLongestWalk = 8;
}  // namespace

PageRegistry::~PageRegistry() {
  clear();
}

void PageRegistry::clear() {
  byAddress_.clear();
  index_.clear();
  while (first_) {
    SitePage* next = first_->nextPage;
    delete first_;
    first_ = next;
  }
  cursor_ = nullptr;
  size_ = 0;
  markedPage_ = nullptr;
}

SitePage* PageRegistry::searchFromCursor(std::string_view key, int& sign) {
  const int first = text_.compareAddresses(key, cursor_->address.fullAddress);
  sign = first;
  if (first == 0) return cursor_;
  // Walk towards the key, each page passed becoming the cursor, until the comparison
  // changes sign or the list ends.
  for (int steps = 0;; ++steps) {
    SitePage* step = first < 0 ? cursor_->prevPage : cursor_->nextPage;
    if (!step) return cursor_;
    if (steps == kLongestWalk) return searchIndex(key, first < 0, sign);
    cursor_ = step;
    cursorPlace_ = first < 0 ? std::prev(cursorPlace_) : std::next(cursorPlace_);
    sign = text_.compareAddresses(key, step->address.fullAddress);
    if (sign == 0 || (sign < 0) != (first < 0)) return cursor_;
  }
}

// Stops where the walk would: walking up, on the first page above the key (or the last
// page); walking down, on the last page below it (or the first page).
SitePage* PageRegistry::searchIndex(std::string_view key, bool movingDown, int& sign) {
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
  return cursor_;
}

SitePage* PageRegistry::findOrAddPage(UrlParts&& address) {
  const std::string& key = address.fullAddress;  // used before the address moves
  SitePage* before = nullptr;                    // the new page goes between before and after
  SitePage* after = nullptr;
  if (const Index::iterator* known = byAddress_.find(key)) {
    // Where the walk would have stopped.
    cursorPlace_ = *known;
    cursor_ = *cursorPlace_;
    return cursor_;
  }
  if (cursor_) {
    int sign = 0;
    SitePage* stop = searchFromCursor(key, sign);
    if (sign == 0) return stop;
    before = sign < 0 ? stop->prevPage : stop;
    after = sign < 0 ? stop : stop->nextPage;
  }

  auto* page = new SitePage;
  page->address = std::move(address);
  page->prevPage = before;
  page->nextPage = after;
  if (before)
    before->nextPage = page;
  else
    first_ = page;
  if (after) after->prevPage = page;
  // The new page's place in the index is right next to the cursor's.
  auto hint = index_.end();
  if (cursor_) hint = after == cursor_ ? cursorPlace_ : std::next(cursorPlace_);
  auto place = index_.insert(hint, page);
  byAddress_.insert(page->address.fullAddress, place);
  if (!cursor_) {
    cursor_ = page;
    cursorPlace_ = place;
  }
  ++size_;
  return page;
}

bool PageRegistry::addLink(SitePage& page, SitePage& target, LinkKind kind) {
  if (markedPage_ != &page) {
    markedPage_ = &page;
    ++mark_;
    for (SiteLink* link = page.links; link; link = link->next) link->target->linkMark = mark_;
  }
  if (target.linkMark == mark_) return false;
  target.linkMark = mark_;
  page.links = new SiteLink{page.links, &target, kind};
  ++page.linkCount;
  return true;
}

bool PageRegistry::addLink(SitePage& page, const UrlParts& address, LinkKind kind) {
  return addLink(page, *findOrAddPage(address), kind);
}
