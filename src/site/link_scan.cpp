#include "site/link_scan.h"

#include <algorithm>

#include "site/anchor_images.h"
#include "site/character_references.h"

ScanPatterns::ScanPatterns(const SpanReader& reader)
    : titleOpen(reader.pattern("<title>")),
      titleClose(reader.pattern("</title>")),
      anchorOpen(reader.pattern("<a ")),
      anchorClose(reader.pattern("</a>")),
      tagClose(reader.pattern(">")),
      imageOpen(reader.pattern("<img ")),
      bgsoundOpen(reader.pattern("<bgsound ")),
      embedOpen(reader.pattern("<embed ")),
      metaOpen(reader.pattern("<meta ")),
      href(reader.pattern("href")),
      src(reader.pattern("src")),
      usemap(reader.pattern("usemap")),
      background(reader.pattern("background")),
      dynsrc(reader.pattern("dynsrc")),
      httpEquiv(reader.pattern("http-equiv")),
      refresh(reader.pattern("refresh")),
      content(reader.pattern("content")),
      url(reader.pattern("url")) {}

int32_t FoundLinks::add(UrlParts&& address, LinkKind kind) {
  entries_.push_back({std::move(address), -1, kind});
  return static_cast<int32_t>(entries_.size() - 1);
}

size_t FoundLinks::addTo(PageRegistry& registry, SitePage& page, size_t most,
                         const AddressParser& parser) {
  const size_t end = std::min(entries_.size(), next_ + most);
  const size_t from = next_;
  pages_.resize(end);
  for (; next_ < end; ++next_) {
    Entry& entry = entries_[next_];
    const size_t known = registry.size();
    SitePage* target =
        entry.sameAs < 0 ? registry.findOrAddPage(std::move(entry.address)) : pages_[entry.sameAs];
    if (typesLeft && registry.size() != known) parser.deriveType(target->address);
    pages_[next_] = target;
    registry.addLink(page, *target, entry.kind);
  }
  if (done()) {  // what the scan held is not needed any more
    entries_ = {};
    pages_ = {};
    next_ = 0;
  }
  return end - from;
}

bool LinkScan::resolve(const TextSpan& value, Resolved& resolved) {
  resolved.found = -1;
  if (value.empty()) return false;
  resolved.value = value;
  ValueMemo::Known known;
  if (inDocument(value) && memo_.find(value, known)) {
    resolved.found = known.link;
    resolved.byExtension = known.byExtension;
    return known.link >= 0;
  }
  resolved.parts =
      parser_.resolveLink(SpanReader::valueText(value, inDocument(value)), pageAddress_);
  if (!isUsable(resolved.parts)) {
    if (inDocument(value)) memo_.remember(value, {-1, LinkKind::None});
    return false;
  }
  resolved.byExtension = classifyByExtension(resolved.parts);
  return true;
}

void LinkScan::addResolved(Resolved& resolved, LinkKind kind) {
  if (resolved.found < 0) {
    resolved.found = found_.add(std::move(resolved.parts), kind);
    if (inDocument(resolved.value))
      memo_.remember(resolved.value, {resolved.found, resolved.byExtension});
    return;
  }
  found_.addAgain(resolved.found, kind);
}

void LinkScan::addLink(const TextSpan& value, LinkKind hint) {
  Resolved resolved;
  if (!resolve(value, resolved)) return;
  addResolved(resolved, hint == LinkKind::None ? resolved.byExtension : hint);
}

void LinkScan::addAnchorImage(const TextSpan& link, const TextSpan& image) {
  Resolved linkAddress, imageAddress;
  if (link.empty() || image.empty()) return;
  if (!resolve(link, linkAddress) || !resolve(image, imageAddress)) return;
  const AnchorKinds kinds = anchorKinds(linkAddress.byExtension);
  addResolved(linkAddress, kinds.link);
  addResolved(imageAddress, kinds.image);
}

void LinkScan::readTitle() {
  TextSpan document = document_;
  TextSpan inner;
  if (reader_.spanBetween(document, patterns_.titleOpen, patterns_.titleClose, inner))
    found_.title = trimTokens(SpanReader::titleText(inner), {" "});
}

void LinkScan::addImages() {
  TextSpan document = document_;
  TextSpan tag, value, unused;
  while (reader_.spanBetween(document, patterns_.imageOpen, patterns_.tagClose, tag)) {
    TextSpan forSrc = tag, forMap = tag;  // each attribute is looked for from the tag's start
    if (!reader_.attributeValue(forSrc, patterns_.src, value)) continue;
    const bool mapped = reader_.attributeValue(forMap, patterns_.usemap, unused);
    addLink(value, mapped ? LinkKind::ImageMap : LinkKind::ImageInline);
  }
}

// <meta http-equiv="refresh" content="5; URL=next.htm">: the url inside the content. The
// content's references are read before the url is looked for, as a browser reads the
// attribute first: the ";" of "&amp;" in the url does not end it.
void LinkScan::addRefreshTargets() {
  TextSpan document = document_;
  TextSpan tag, equiv, found, content, target;
  while (reader_.spanBetween(document, patterns_.metaOpen, patterns_.tagClose, tag)) {
    TextSpan forEquiv = tag, forContent = tag;
    if (!reader_.attributeValue(forEquiv, patterns_.httpEquiv, equiv)) continue;
    if (!reader_.findInSpan(equiv, patterns_.refresh, found)) continue;
    if (!reader_.attributeValue(forContent, patterns_.content, content)) continue;
    std::string decoded;
    if (mayHoldReference(SpanReader::bytesOf(content))) {
      decoded = decodeCharacterReferences(SpanReader::bytesOf(content), true);
      const auto* bytes = reinterpret_cast<const unsigned char*>(decoded.data());
      content = TextSpan::document(bytes, static_cast<int64_t>(decoded.size()));
    }
    if (!reader_.attributeValue(content, patterns_.url, target)) continue;
    addLink(target, LinkKind::Page);
  }
}

// A value that stops at once (href=> or href={...}) gives nothing, and the search goes on
// after it: one odd attribute must not hide every later address of the page.
void LinkScan::addEveryValue(const SpanPattern& name, LinkKind hint) {
  TextSpan document = document_;
  TextSpan value;
  while (!document.empty())
    if (reader_.attributeValue(document, name, value)) addLink(value, hint);
}

void LinkScan::run() {
  if (document_.empty()) return;
  readTitle();
  // The images inside anchors come in the order of their chains, not of the page.
  memo_.beginPass(false);
  AnchorImages(*this).run();
  memo_.beginPass(true);
  addImages();

  TextSpan document = document_;
  TextSpan value;
  // Only the first background sound counts.
  memo_.beginPass(true);
  if (reader_.tagAttribute(document, patterns_.bgsoundOpen, patterns_.src, patterns_.tagClose,
                           value))
    addLink(value, LinkKind::AudioBackground);
  // Embedded media up to the first embed tag without a source.
  memo_.beginPass(true);
  document = document_;
  while (
      reader_.tagAttribute(document, patterns_.embedOpen, patterns_.src, patterns_.tagClose, value))
    addLink(value, LinkKind::VideoInline);

  memo_.beginPass(true);
  addRefreshTargets();
  memo_.beginPass(true);
  addEveryValue(patterns_.href, LinkKind::None);
  memo_.beginPass(true);
  addEveryValue(patterns_.src, LinkKind::None);
  memo_.beginPass(true);
  addEveryValue(patterns_.background, LinkKind::ImageBackground);
  memo_.beginPass(true);
  addEveryValue(patterns_.dynsrc, LinkKind::VideoInline);
}
