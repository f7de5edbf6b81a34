#pragma once
#include <cstdint>
#include <vector>

#include "site/link_scan.h"
#include "site/occurrence_index.h"

// The images inside links: for every "<a " tag with an href value, the "<img " tags with a
// src value between its ">" and the first "</a>" after it. Each such pair is added as the
// link (kind from the anchor table) and then the image.
//
// Anchors need not be closed, so the contents of many anchors can end at one far "</a>"
// and hold the same images; read naively, a page of a million unclosed anchors costs a
// million times its length. The contents of all anchors that end at the same "</a>" are
// suffixes of one stretch of the page, and the images of a content are a chain in which
// each image determines the next, so chains from later anchors run into chains already
// read. Once an anchor's chain reaches an image read before, every image after it has
// been added already; what is left to know is whether one of them is usable (its src
// resolves), which decides whether the anchor's own link is added. Each image is therefore
// read once, and each anchor costs its own tag and the part of its chain that is new.
class AnchorImages {
 public:
  explicit AnchorImages(LinkScan& scan);
  void run();

 private:
  // Marks of an image in the images index.
  static constexpr uint8_t kRead = 1;
  static constexpr uint8_t kUsable = 2;       // its src gives a usable address
  static constexpr uint8_t kUsableAfter = 4;  // it or an image after it in its chain is usable

  void readContent(const TextSpan& href, int64_t contentStart, int64_t contentEnd);
  // The image tag's src, added with the image's kind after the link (once); true when it
  // is usable.
  bool addImage(int64_t tagStart, int64_t tagEnd, LinkScan::Resolved& link, bool& linkAdded,
                const AnchorKinds& kinds);

  LinkScan& scan_;
  const SpanReader& reader_;
  const ScanPatterns& patterns_;
  const TextSpan document_;
  OccurrenceIndex closes_;
  OccurrenceIndex images_;
  OccurrenceIndex tagEnds_;
  std::vector<int64_t> chain_;  // images read for the current anchor
};
