#include "site/page_label.h"

#include "platform/own_images.h"

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
    std::string name = address.baseName + text.lowerText(address.extension);
    label = page.title.empty() ? name : page.title + " - " + name;
  } else if (!page.title.empty()) {
    label = page.title;
  } else {
    label = "Index at " + text.stripRepeated(address.host + address.folder, "/", true);
  }
  if (label.size() > kLongestLabel) label = label.substr(0, kLongestLabel) + "...";
  if (page.state == PageState::CannotFindServer) label += " (Cannot find server)";
  return label;
}
