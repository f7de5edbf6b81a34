#include "site/link_kind.h"

#include <array>

namespace {

struct ExtensionList {
  LinkKind kind;
  std::initializer_list<std::string_view> extensions;
};

// The first list that holds the extension decides.
const std::array<ExtensionList, 4> kLists = {{
    {LinkKind::Page,
     {".asp", ".aspx", ".cgi", ".css", ".htm", ".html", ".jhtml", ".jsp", ".php", ".shtml",
      ".xihtml"}},
    {LinkKind::Image,
     {".bmp", ".dcx", ".dib", ".gif", ".iff", ".ilbm", ".jfif", ".jif", ".jpe", ".jpeg", ".jpg",
      ".lbm", ".pcd", ".pcx", ".pic", ".png", ".psd",  ".rle",  ".tga", ".tif", ".tiff", ".wmf"}},
    {LinkKind::Audio,
     {".aif", ".aifc", ".aiff", ".au", ".m1v", ".m3u", ".mid", ".mp2", ".mp3", ".mpa", ".ra",
      ".rmi", ".snd", ".wav"}},
    {LinkKind::Video,
     {".avi", ".mov", ".mpe", ".mpeg", ".mpg", ".qt", ".qtm", ".ram", ".rm", ".rmm"}},
}};

// The lists are ASCII; bytes outside it never match any of them.
bool sameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

LinkKind classifyByExtension(const UrlParts& address) {
  if (address.baseName.empty() || address.extension.empty()) return LinkKind::Page;
  for (const ExtensionList& list : kLists)
    for (std::string_view extension : list.extensions)
      if (sameIgnoringAsciiCase(address.extension, extension)) return list.kind;
  return LinkKind::OtherFile;
}

std::string_view kindText(LinkKind kind) {
  switch (kind) {
    case LinkKind::Image:
      return "Image";
    case LinkKind::ImageBackground:
      return "Image - Background";
    case LinkKind::ImageInline:
      return "Image - Inline";
    case LinkKind::ImageThumbnail:
      return "Image - Thumbnail";
    case LinkKind::ImageFullSize:
      return "Image - Full Size";
    case LinkKind::ImageButton:
      return "Image - Button";
    case LinkKind::ImageVideoStill:
      return "Image - Video Still";
    case LinkKind::ImageMap:
      return "Image - Image Map";
    case LinkKind::Audio:
      return "Audio";
    case LinkKind::AudioBackground:
      return "Audio - Background";
    case LinkKind::Video:
      return "Video";
    case LinkKind::VideoInline:
      return "Video - Inline";
    default:
      return {};
  }
}

AnchorKinds anchorKinds(LinkKind linkClass) {
  switch (linkClass) {
    case LinkKind::Image:
      return {LinkKind::ImageFullSize, LinkKind::ImageThumbnail};
    case LinkKind::Audio:
      return {LinkKind::Audio, LinkKind::ImageButton};
    case LinkKind::Video:
      return {LinkKind::Video, LinkKind::ImageVideoStill};
    case LinkKind::OtherFile:
      return {LinkKind::OtherFile, LinkKind::ImageButton};
    default:
      return {LinkKind::Page, LinkKind::ImageButton};
  }
}
