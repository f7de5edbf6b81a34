#include "site/anchor_images.h"

AnchorImages::AnchorImages(LinkScan& scan)
    : scan_(scan),
      reader_(scan.reader()),
      patterns_(scan.patterns()),
      document_(scan.document()),
      closes_(reader_, document_, patterns_.anchorClose),
      images_(reader_, document_, patterns_.imageOpen),
      tagEnds_(reader_, document_, patterns_.tagClose) {}

void AnchorImages::run() {
  TextSpan document = document_;
  TextSpan tag, href;
  while (reader_.spanBetween(document, patterns_.anchorOpen, patterns_.tagClose, tag)) {
    if (!reader_.attributeValue(tag, patterns_.href, href)) continue;
    // The content starts after the tag's ">" (a tag without one reaches the end, and then
    // no "</a>" follows). Contents start further on with every anchor, so nothing below
    // this one is searched again.
    const int64_t contentStart = document.start;
    closes_.setFloor(contentStart);
    images_.setFloor(contentStart);
    tagEnds_.setFloor(contentStart);
    const int64_t close = closes_.next(contentStart, document_.end);
    if (close < 0) continue;
    readContent(href, contentStart, closes_[close].at);
  }
}

bool AnchorImages::addImage(int64_t tagStart, int64_t tagEnd, LinkScan::Resolved& link,
                            bool& linkAdded, const AnchorKinds& kinds) {
  TextSpan tag{document_.bytes, document_.length, tagStart, tagEnd};
  TextSpan src;
  LinkScan::Resolved image;
  if (!reader_.attributeValue(tag, patterns_.src, src) || !scan_.resolve(src, image)) return false;
  if (!linkAdded) {
    scan_.addResolved(link, kinds.link);
    linkAdded = true;
  }
  scan_.addResolved(image, kinds.image);
  return true;
}

void AnchorImages::readContent(const TextSpan& href, int64_t contentStart, int64_t contentEnd) {
  // An anchor whose own address is empty or unusable adds nothing, whatever it holds; and
  // one without images needs no address.
  if (href.empty() || images_.next(contentStart, contentEnd) < 0) return;
  LinkScan::Resolved link;
  if (!scan_.resolve(href, link)) return;
  const AnchorKinds kinds = anchorKinds(link.byExtension);
  bool linkAdded = false;

  // The chain: each image tag ends at the first ">" within the content (or at the content's
  // end, which ends the chain), and the next image is searched after that ">".
  chain_.clear();
  bool usableAfter = false;
  int64_t from = contentStart;
  for (;;) {
    const int64_t image = images_.next(from, contentEnd);
    if (image < 0) break;
    OccurrenceIndex::Occurrence& occurrence = images_[image];
    if (occurrence.marks & kRead) {
      usableAfter = (occurrence.marks & kUsableAfter) != 0;
      break;
    }
    occurrence.marks |= kRead;
    chain_.push_back(image);
    const int64_t tagStart = occurrence.at + patterns_.imageOpen.size();
    const int64_t end = tagEnds_.next(tagStart, contentEnd);
    const int64_t tagEnd = end < 0 ? contentEnd : tagEnds_[end].at;
    if (addImage(tagStart, tagEnd, link, linkAdded, kinds)) images_[image].marks |= kUsable;
    if (end < 0) break;
    from = tagEnd + 1;
  }
  // The rest of the chain was read for an earlier anchor: its images are in the page's
  // links, so only the link itself may still be missing.
  if (usableAfter && !linkAdded) scan_.addResolved(link, kinds.link);
  for (auto place = chain_.rbegin(); place != chain_.rend(); ++place) {
    OccurrenceIndex::Occurrence& occurrence = images_[*place];
    usableAfter = usableAfter || (occurrence.marks & kUsable);
    if (usableAfter) occurrence.marks |= kUsableAfter;
  }
}
