#include "site/site_list.h"

#include <algorithm>

#include "platform/own_images.h"
#include "site/page_label.h"

void SiteList::clearMarks() {
  rows_.deleteAllRows();
  pagesLookedAt_ += marked_.size();
  for (SitePage* page : marked_) {
    page->listedOnPage = nullptr;
    page->listedVia = nullptr;
    page->listed = 0;
  }
  marked_.clear();
  waiting_.clear();
  ++generation_;
  walkedOrder_ = 0;
}

void SiteList::markListed(SitePage& target, SitePage& onPage, SiteLink* link) {
  if (target.listedOnPage) return;
  target.listedOnPage = &onPage;
  target.listedVia = link;
  target.listed = 1;
  marked_.push_back(&target);
  waiting_.push_back(&target);
}

// Links are only ever added at the front, and marks only go with a clearing; so the links
// this page had when it was last marked in this generation are marked still, and only the
// newer ones need a look. The pages of one document share its links: whichever of them
// comes first marks them, and the others find nothing left.
void SiteList::markLinksOf(SitePage& page) {
  SitePage& document = documentOf(page);
  if (document.markedGeneration != generation_) {
    document.markedGeneration = generation_;
    document.markedLinks = 0;
  }
  size_t fresh = document.linkCount - document.markedLinks;
  pagesLookedAt_ += 1 + fresh;
  for (SiteLink* link = document.links; link && fresh > 0; link = link->next, --fresh)
    markListed(*link->target, page, link);
  document.markedLinks = document.linkCount;
}

void SiteList::refillList(bool clear) {
  if (clear) clearMarks();
  SitePage* selected = tree_.control().selectedRecord();
  if (!selected) return;
  markListed(*selected, *selected, nullptr);
  if (selected != tree_.rootPage()) {
    markLinksOf(*selected);
    return;
  }
  walkedUpTo_ = 0;
  markAddedPlaces();
}

void SiteList::markAddedPlaces() {
  const SiteTree::Order& order = tree_.crawlOrder();
  if (walkedOrder_ != tree_.orderVersion()) walkedUpTo_ = 0;
  for (size_t at = walkedUpTo_; at < order.size(); ++at) markLinksOf(*order[at].page);
  walkedOrder_ = tree_.orderVersion();
  walkedUpTo_ = order.size();
}

void SiteList::orderGrew() {
  SitePage* root = tree_.rootPage();
  if (!root || walkedOrder_ != tree_.orderVersion() || tree_.control().selectedRecord() != root)
    refillList(false);
  else
    markAddedPlaces();
}

void SiteList::pageRead(SitePage& page) {
  SitePage* root = tree_.rootPage();
  if (!root || walkedOrder_ != tree_.orderVersion() || tree_.control().selectedRecord() != root) {
    refillList(false);
    return;
  }
  // The order is the one walked, grown at its end since: every page walked has its links
  // marked but this one, if it is among them.
  markAddedPlaces();
  if (tree_.inTakenOrder(page)) markLinksOf(page);
}

bool SiteList::addWaitingRows() {
  std::vector<SitePage*> waiting;
  waiting.swap(waiting_);
  std::erase_if(waiting, [](const SitePage* page) { return page->listed != 1; });
  pagesLookedAt_ += waiting.size();
  if (waiting.empty()) return false;
  // The registry's order. Pages waiting for a row are exactly those marked 1: when they
  // are a large share of the registry's pages (a refill of the whole site), its list is
  // walked for them, which asks the locale's comparison nothing; fewer are sorted.
  if (waiting.size() * kWalkOverSort >= registry_.size()) {
    waiting.clear();
    pagesLookedAt_ += registry_.size();
    for (SitePage* page = registry_.first(); page; page = page->nextPage)
      if (page->listed == 1) waiting.push_back(page);
  } else {
    std::sort(waiting.begin(), waiting.end(), [this](const SitePage* a, const SitePage* b) {
      return text_.compareAddresses(a->address.fullAddress, b->address.fullAddress) < 0;
    });
  }
  const int before = rows_.rowCount();
  const int count = static_cast<int>(waiting.size());
  rows_.beginBatch(count);
  for (SitePage* page : waiting) {
    page->listed = 2;
    rows_.appendRow(rowCells(*page), 5, page);
  }
  rows_.endBatch(count);
  return before <= 1;
}

RowCells SiteList::rowCells(const SitePage& page) const {
  const UrlParts& address = page.address;
  const SiteLink* via = page.listedVia;
  const bool asPage = !via || via->kind == LinkKind::Page;
  RowCells cells;
  cells.image0 = asPage ? imageIndex(OwnImage::kListPage) : address.iconIndex;
  cells.texts = {
      address.displayName,
      asPage ? std::string("Page") : address.typeName,
      via ? std::string(kindText(via->kind)) : std::string(),
      via && page.listedOnPage ? pageLabel(*page.listedOnPage, text_) : std::string(),
      address.fullAddress,
  };
  return cells;
}

// The list is asked for its selected rows, not each row whether it is selected: a site's
// list holds tens of thousands.
void SiteList::sendSelectedToQueue(std::string& outgoing) const {
  for (int row = rows_.nextSelected(-1); row >= 0; row = rows_.nextSelected(row))
    if (const SitePage* page = rows_.rowRecord(row)) outgoing += page->address.fullAddress + "\r\n";
}

namespace {

int sign(int value) {
  return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

int kindNumber(const SitePage& page) {
  return page.listedVia ? static_cast<int>(page.listedVia->kind) : 0;
}

std::string onPageLabel(const SitePage& page, const ByteText& text) {
  return page.listedOnPage ? pageLabel(*page.listedOnPage, text) : std::string();
}

}  // namespace

int compareSiteRows(const SitePage& a, const SitePage& b, int column, const ByteText& text) {
  const TextRules& rules = text.rules();
  if (column == 1 || column == 2 || column == 3 || column == -2) {
    // The selected page's own row comes first.
    const bool aOwn = !a.listedVia, bOwn = !b.listedVia;
    if (aOwn || bOwn) return aOwn == bOwn ? 0 : (aOwn ? -1 : 1);
  }
  switch (column) {
    case 0:
      return sign(rules.compare(a.address.baseName + a.address.extension,
                                b.address.baseName + b.address.extension));
    case 1:
      if (kindNumber(a) == 1 || kindNumber(b) == 1) return sign(kindNumber(a) - kindNumber(b));
      return sign(rules.compare(a.address.typeName, b.address.typeName));
    case 2:
      return sign(kindNumber(a) - kindNumber(b));
    case 3:
      return sign(rules.compare(onPageLabel(a, text), onPageLabel(b, text)));
    case 4:
      return text.compareAddresses(a.address.fullAddress, b.address.fullAddress);
    case -2:
      if (int byKind = sign(kindNumber(a) - kindNumber(b))) return byKind;
      return text.compareAddresses(a.address.fullAddress, b.address.fullAddress);
    default:
      return 0;
  }
}
