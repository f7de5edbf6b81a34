#include "app/layout.h"

#include <algorithm>

namespace {

using namespace control;

struct Metrics {
  int w, h, t, bw, bh;
  int top;  // the button row's y: 4 pixels below the banner (27 with the usual band)
};

void placeBannerLinks(const LayoutInput& input, const Metrics& m, DrawnControls& c) {
  int height = std::min(m.t + 3, input.bandHeight);
  c[kOpen].rect = {input.titleWidth + 16, 0, c[kOpen].labelSize.width + 8, height};
  c[kHelp].rect = {c[kOpen].rect.right(), 0, c[kHelp].labelSize.width + 8, height};
}

void layoutDownload(const Metrics& m, int delta, DrawnControls& c, SplitterPosition& splitter,
                    LayoutBoxes& boxes) {
  const int t = m.t, bw = m.bw;
  // Every y below is as with the usual band, moved down by what the banner has grown.
  const int shift = m.top - 27;
  c[kPause].rect = {4, m.top, bw, m.bh};
  c[kRemove].rect = {bw + 4, m.top, bw, m.bh};
  const int linkHeight = std::max(16, t + 3);
  const int addressesWidth = c[kAddressLink].labelSize.width;
  const int getWidth = c[kGoLink].labelSize.width + 20;
  // The top row never shrinks below its content.
  const int e = std::max(m.w, getWidth + 2 * bw + addressesWidth + t + 33);
  c[kAddressLink].rect = {2 * bw + 17, m.top, addressesWidth, linkHeight};
  c[kGoLink].rect = {e - getWidth - 8, m.top, getWidth, linkHeight};

  int s = (splitter.placed ? splitter.value : t + 57 + shift) + delta;
  s = std::min(s, m.h - 2 * t - 14);
  s = std::max(s, 53 + shift);
  splitter = {true, s};

  const int splitX = c[kAddressLink].rect.x + addressesWidth + 4;
  const int splitWidth = e - c[kAddressLink].rect.x - getWidth - addressesWidth - 16;
  c[kSplitter].rect = {splitX, s, splitWidth, 5};
  boxes.edit = {splitX + 1, m.top + 1, splitWidth - 2, s - m.top - 1};
  boxes.checkBox = {splitX, s + 5, t, t};
  const int captionX = splitX + t;
  c[kClipboardCaption].rect = {
      captionX, s + 5,
      std::min(c[kClipboardCaption].labelSize.width + 4, splitX + splitWidth - captionX), t};
  const int listY = s + t + 10;
  boxes.list = {2, listY, std::max(0, m.w - 4), std::max(0, m.h - listY - t - 4)};
  boxes.gripMinimumY = m.bh + 33 + shift;
}

void layoutSite(const Metrics& m, int delta, DrawnControls& c, SplitterPosition& splitter,
                LayoutBoxes& boxes) {
  const int t = m.t, bw = m.bw, bh = m.bh;
  // Every y below is as with the usual band, moved down by what the banner has grown.
  const int shift = m.top - 27;
  for (int i = 0; i < 4; ++i) c[kBack + i].rect = {4 + i * bw, m.top, bw, bh};
  c[kExpand].rect = {4 + 4 * bw + 9, m.top, bw, bh};
  c[kGet].rect = {4 + 5 * bw + 18, m.top, bw, bh};

  const int addressWidth = c[kAddressLink].labelSize.width;
  const int goWidth = c[kGoLink].labelSize.width + 20;
  const int e = std::max(m.w, goWidth + addressWidth + 26);
  c[kAddressLink].rect = {8, bh + 38 + shift, addressWidth, t + 3};
  c[kGoLink].rect = {e - goWidth - 8, bh + 38 + shift, goWidth, t + 3};
  const int goX = c[kGoLink].rect.x;
  boxes.edit = {addressWidth + 14, bh + 39 + shift, goX - addressWidth - 19, t};
  if (boxes.edit.width < 0) boxes.edit = {goX - 5, bh + 39 + shift, 0, t};

  int x = (splitter.placed ? splitter.value : (m.w - 10) / 4 + 2) + delta;
  if (x + 6 > m.w - 2) x = m.w - 8;
  x = std::max(2, x);
  splitter = {true, x};

  const int y = bh + t + 47 + shift;
  const int splitHeight = std::max(2, m.h - y - t - 3);
  c[kSplitter].rect = {x, y, 6, splitHeight};
  boxes.tree = {2, y + 1, x - 2, splitHeight - 2};
  boxes.list = {x + 6, y + 1, std::max(0, m.w - x - 8), std::max(0, splitHeight - 2)};
  boxes.gripMinimumY = bh + t + 49 + shift;
}

}  // namespace

BannerPlacement placeBanner(int dpi, int textHeight, int ascent, int inkAbove, int inkBelow) {
  const int ink = inkAbove - inkBelow;
  BannerPlacement banner;
  // At least as tall as the usual band grown with the dots per inch, the title's ink with a
  // pixel above and below, and the links' text.
  banner.bandHeight =
      std::max({(kBandHeight * dpi + 48) / 96, ink + 2, textHeight + 3, kBandHeight});
  const int inkTop = (banner.bandHeight - ink) / 2;
  banner.titleY = inkTop - (ascent - inkAbove);
  return banner;
}

int textHeight(const DrawnControls& controls) {
  return controls[kOpen].labelSize.height;
}

int buttonWidth(const DrawnControls& controls) {
  int widest = 0;
  for (int i = kFirstButton; i <= kLastButton; ++i)
    widest = std::max(widest, controls[i].labelSize.width);
  return std::max(56, widest + 10);
}

bool layoutWindow(const LayoutInput& input, int delta, DrawnControls& controls,
                  SplitterPosition& splitter, LayoutBoxes& boxes) {
  if (input.width <= 0 || input.height <= 0) return false;
  Metrics m;
  m.w = input.width;
  m.h = input.height;
  m.t = textHeight(controls);
  m.bw = buttonWidth(controls);
  m.bh = m.t + 31;
  m.top = input.bandHeight + 4;
  boxes = {};
  placeBannerLinks(input, m, controls);
  if (input.role == ProcessRole::kDownload)
    layoutDownload(m, delta, controls, splitter, boxes);
  else
    layoutSite(m, delta, controls, splitter, boxes);

  const int t = m.t;
  boxes.status = {0, boxes.list.bottom() + 1, m.w - t - 3, t + 3};
  controls[kSizeGrip].rect = {m.w - t - 3, boxes.status.y, t + 3, t + 3};
  if (input.maximised) {
    boxes.status.width = m.w;
    controls[kSizeGrip].rect.x = m.w;
    controls[kSizeGrip].rect.width = 0;
  }
  // Controls that the role does not show stay empty, so they are never painted or hit.
  for (DrawnControl& c : controls)
    if (c.kind == ControlKind::kNone) c.rect = {};
  return true;
}
