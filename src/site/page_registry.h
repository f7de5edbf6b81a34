#pragma once
#include <cstddef>
#include <cstdint>
#include <set>
#include <string_view>

#include "site/gradual_map.h"
#include "site/site_page.h"
#include "url/byte_text.h"

// Every page of a Site Window, one per full address, in ascending address order (the
// locale order, ties broken by bytes), with a cursor on the page found last. A look-up
// walks from the cursor, so the links of a page, which often sit near each other, cost a
// step or two each; a walk that would go far is finished through an ordered index, which
// stops where the walk would have stopped, so a page of a million scattered links still
// fills the registry in moments. An address known already is found by its bytes alone (two
// addresses are one page only when their bytes are equal), without asking the locale's
// comparison, which costs microseconds a call on the system's side.
class PageRegistry {
 public:
  explicit PageRegistry(const ByteText& text) : text_(text) {}
  // Frees every page; their jobs must have been ended.
  ~PageRegistry();
  PageRegistry(const PageRegistry&) = delete;
  PageRegistry& operator=(const PageRegistry&) = delete;

  // The page with the address's full address; a new one (Unread, outside the tree) when
  // there is none. `address` must be usable.
  SitePage* findOrAddPage(const UrlParts& address) { return findOrAddPage(UrlParts(address)); }
  SitePage* findOrAddPage(UrlParts&& address);
  // Puts a link to `target` at the front of the page's links, unless the page already links
  // to that address. True when it was added. Constant time while links go to one page after
  // another (as a scan adds them); a switch to another page costs that page's links once.
  bool addLink(SitePage& page, SitePage& target, LinkKind kind);
  // As above, with the target found or made by its address.
  bool addLink(SitePage& page, const UrlParts& address, LinkKind kind);
  // Frees every page with its links; their jobs must have been ended.
  void clear();

  SitePage* first() const { return first_; }
  // The comparison the registry's order follows.
  const ByteText& text() const { return text_; }
  SitePage* cursor() const { return cursor_; }
  size_t size() const { return size_; }
  // The entries its look-up by address moved as it grew, for those who watch what adding
  // a page costs.
  uint64_t entriesMoved() const { return byAddress_.entriesMoved(); }

 private:
  struct ByAddress {
    using is_transparent = void;
    const ByteText* text;
    bool operator()(const SitePage* a, const SitePage* b) const {
      return text->compareAddresses(a->address.fullAddress, b->address.fullAddress) < 0;
    }
    bool operator()(const SitePage* a, std::string_view b) const {
      return text->compareAddresses(a->address.fullAddress, b) < 0;
    }
    bool operator()(std::string_view a, const SitePage* b) const {
      return text->compareAddresses(a, b->address.fullAddress) < 0;
    }
  };
  using Index = std::set<SitePage*, ByAddress>;

  // Where the cursor search stops, with the sign of the key's comparison with that page;
  // sign 0 means the page holds the key.
  SitePage* searchFromCursor(std::string_view key, int& sign);
  SitePage* searchIndex(std::string_view key, bool movingDown, int& sign);

  const ByteText& text_;
  SitePage* first_ = nullptr;
  SitePage* cursor_ = nullptr;
  size_t size_ = 0;
  Index index_{ByAddress{&text_}};
  Index::iterator cursorPlace_;  // the cursor's place in the index
  // Every page by its full address (a view into the page's own), with its place; it grows
  // a few entries at a time, so that no one page added moves tens of thousands.
  GradualMap<std::string_view, Index::iterator> byAddress_;
  // The page whose link targets carry linkMark == mark_.
  const SitePage* markedPage_ = nullptr;
  uint64_t mark_ = 0;
};
