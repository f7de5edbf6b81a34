#pragma once
#include <cstdint>
#include <string_view>

#include "url/url_parts.h"

// What a link on a page is, and the part it plays there. The numbers are sorted on; a
// stored link is never None.
enum class LinkKind : int32_t {
  None = 0,  // only as a hint while scanning: classify by extension
  Page = 1,
  Image = 2,
  ImageBackground = 3,
  ImageInline = 4,
  ImageThumbnail = 5,
  ImageFullSize = 6,
  ImageButton = 7,
  ImageVideoStill = 8,
  ImageMap = 9,
  Audio = 10,
  AudioBackground = 11,
  Video = 12,
  VideoInline = 13,
  OtherFile = 14
};

// Page, Image, Audio, Video or OtherFile, from the address's extension (ASCII case
// ignored). An address without a base name (a folder) or without an extension is a Page.
LinkKind classifyByExtension(const UrlParts& address);

// The Kind column text; empty for Page, OtherFile and None.
std::string_view kindText(LinkKind kind);

// The kinds of a link around an image and of that image.
struct AnchorKinds {
  LinkKind link;
  LinkKind image;
};
// From the class of the link's address (Page, Image, Audio, Video or OtherFile).
AnchorKinds anchorKinds(LinkKind linkClass);
