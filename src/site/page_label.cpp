#include "site/page_label.h"

#include "platform/own_images.h"
#include "url/escapes.h"

namespace {
constexpr size_t kLongestLabel = 100;
}  // namespace

int pageImage(const SitePage& page) {
  if (isFetching(page)) return imageIndex(OwnImage::kTreeArrow);
  switch (page.state) {
    case PageState::Read:
      return imageIndex(OwnImage::kTreeWorld);
    case PageState::CannotFindServer:
      return imageIndex(OwnImage::kTreeRed);
    default:
      return imageIndex(OwnImage::kTreeHole);
  }
}

std::string pageLabel(const SitePage& page, const ByteText& text) {
  const UrlParts& address = page.address;
  std::string label;
  if (!address.baseName.empty()) {
    // Read as the lists read names: escapes of whole characters decoded.
    std::string name = decodeEscapes(address.baseName + text.lowerText(address.extension));
    label = page.title.empty() ? name : page.title + " - " + name;
  } else if (!page.title.empty()) {
    label = page.title;
  } else {
    label = "Index at " + decodeEscapes(text.stripRepeated(address.host + address.folder, "/", true));
  }
  if (label.size() > kLongestLabel) {
    // Never half a character.
    size_t cut = kLongestLabel;
    while (cut > 0 && (static_cast<unsigned char>(label[cut]) & 0xC0) == 0x80) --cut;
    label = label.substr(0, cut) + "...";
  }
  if (page.state == PageState::CannotFindServer) {
    label += " (" + (page.failureText.empty() ? std::string("Cannot find server") : page.failureText) +
             ")";
  }
  return label;
}
