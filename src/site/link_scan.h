#pragma once
#include <string>

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

// One scan of one page's bytes: the ten passes, in their order, each from the start of the
// document. The first pass that adds an address to the page decides its kind. Each value
// is resolved against the page's address once per scan, however often it occurs.
class LinkScan {
 public:
  LinkScan(const SpanReader& reader, const ScanPatterns& patterns, const AddressParser& parser,
           PageRegistry& registry, SitePage& page, const TextSpan& document)
      : reader_(reader),
        patterns_(patterns),
        parser_(parser),
        registry_(registry),
        page_(page),
        document_(document) {}

  void run();

  // The value's address added to the page with the hint's kind (None: by its extension),
  // unless the text is empty or does not resolve to a usable address.
  void addLink(const TextSpan& value, LinkKind hint);
  // The link's address and the image's, with the kinds of the anchor table, link first;
  // neither when either text is empty or does not resolve.
  void addAnchorImage(const TextSpan& link, const TextSpan& image);

  // A value resolved against the page. `page` is its page in the registry once the
  // address has been added somewhere (nullptr before); until then `parts` holds the
  // value's address.
  struct Resolved {
    SitePage* page = nullptr;
    LinkKind byExtension = LinkKind::None;
    TextSpan value;
    UrlParts parts;
  };
  // False when the value is empty or does not give a usable address.
  bool resolve(const TextSpan& value, Resolved& resolved);
  // Adds the resolved address to the page's links (nothing when it is there already).
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
  PageRegistry& registry_;
  SitePage& page_;
  const TextSpan document_;
  ValueMemo memo_;
};
