#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "site/page_registry.h"
#include "site/text_span.h"
#include "site/value_memo.h"
#include "url/address.h"

// The patterns of the link scan, made once.
struct ScanPatterns {
  explicit ScanPatterns(const SpanReader& reader);

  SpanPattern titleOpen, titleClose;
  SpanPattern anchorOpen, anchorClose, tagClose;
  SpanPattern imageOpen, bgsoundOpen, embedOpen, metaOpen;
  SpanPattern href, src, usemap, background, dynsrc;
  SpanPattern httpEquiv, refresh, content, url;
};

// What one scan of a page found, in the order its links are to be added: each entry a new
// address or an earlier entry's again, with the kind of that link. Adding them may be
// spread over several passes of the window, a part at a time, so that a page of thousands
// of links does not hold the window up; the page ends with the links one go would give.
class FoundLinks {
 public:
  size_t size() const { return entries_.size(); }
  bool done() const { return next_ == entries_.size(); }
  // Adds up to `most` more entries to the page's links (entries to addresses it links to
  // already add nothing); gives how many it took. `parser` gives the types of new pages
  // while typesLeft.
  size_t addTo(PageRegistry& registry, SitePage& page, size_t most, const AddressParser& parser);

  // The page's title, when the scan found one.
  std::optional<std::string> title;
  // The addresses' types are still to be asked of the file types (a scan made where they
  // could not be): each address new to the registry gets its type as it is added.
  bool typesLeft = false;

 private:
  friend class LinkScan;
  struct Entry {
    UrlParts address;   // a new address; empty when `sameAs` names the entry that had it
    int32_t sameAs = -1;
    LinkKind kind = LinkKind::Page;
  };
  int32_t add(UrlParts&& address, LinkKind kind);
  void addAgain(int32_t entry, LinkKind kind) { entries_.push_back({{}, entry, kind}); }

  std::vector<Entry> entries_;
  std::vector<SitePage*> pages_;  // each entry's page, once added
  size_t next_ = 0;
};

// One scan of one page's bytes: the ten passes, in their order, each from the start of the
// document. The first pass that adds an address to the page decides its kind. Each value
// is resolved against the page's address once per scan, however often it occurs. What it
// finds goes to `found`; the registry is not touched until the entries are added.
class LinkScan {
 public:
  LinkScan(const SpanReader& reader, const ScanPatterns& patterns, const AddressParser& parser,
           const UrlParts& pageAddress, const TextSpan& document, FoundLinks& found)
      : reader_(reader),
        patterns_(patterns),
        parser_(parser),
        pageAddress_(pageAddress),
        document_(document),
        found_(found) {}

  void run();

  // The value's address found on the page with the hint's kind (None: by its extension),
  // unless the text is empty or does not resolve to a usable address.
  void addLink(const TextSpan& value, LinkKind hint);
  // The link's address and the image's, with the kinds of the anchor table, link first;
  // neither when either text is empty or does not resolve.
  void addAnchorImage(const TextSpan& link, const TextSpan& image);

  // A value resolved against the page. `found` is its entry in the found links once the
  // address has been found somewhere (-1 before); until then `parts` holds the value's
  // address.
  struct Resolved {
    int32_t found = -1;
    LinkKind byExtension = LinkKind::None;
    TextSpan value;
    UrlParts parts;
  };
  // False when the value is empty or does not give a usable address.
  bool resolve(const TextSpan& value, Resolved& resolved);
  // Adds the resolved address to the found links.
  void addResolved(Resolved& resolved, LinkKind kind);

  const SpanReader& reader() const { return reader_; }
  const ScanPatterns& patterns() const { return patterns_; }
  const TextSpan& document() const { return document_; }

 private:
  // Values read from the page's bytes, not from a text decoded out of them: only those are
  // known to the memo by their place.
  bool inDocument(const TextSpan& value) const { return value.bytes == document_.bytes; }
  void readTitle();
  void addImages();
  void addRefreshTargets();
  // Every value of the attribute anywhere in the document.
  void addEveryValue(const SpanPattern& name, LinkKind hint);

  const SpanReader& reader_;
  const ScanPatterns& patterns_;
  const AddressParser& parser_;
  const UrlParts& pageAddress_;
  const TextSpan document_;
  FoundLinks& found_;
  ValueMemo memo_;
};
