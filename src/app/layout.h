#pragma once
#include "app/drawn_control.h"

// Where the drawn controls and the child windows go: pure geometry from the client size
// and the measured texts, for both roles.

// The banner's height with the usual fonts at 96 dots per inch.
inline constexpr int kBandHeight = 23;

// The banner: its height and where the title's text cell starts (y, often above 0: the
// cell's leading holds no ink), so that the title's ink sits in the middle of the band with
// room above and below, and the band holds the links' text too.
struct BannerPlacement {
  int bandHeight = kBandHeight;
  int titleY = 0;
};
// `dpi` the screen's dots per inch; `textHeight` T; the title font's ascent, and how far its
// ink reaches above and below the baseline (the latter negative below it) for the title.
BannerPlacement placeBanner(int dpi, int textHeight, int ascent, int inkAbove, int inkBelow);

// The splitter's remembered position (the Download Window's y, the Site Window's x); it
// lives as long as the window and is not stored.
struct SplitterPosition {
  bool placed = false;
  int value = 0;
};

struct LayoutInput {
  ProcessRole role = ProcessRole::kDownload;
  int width = 0;   // client width W
  int height = 0;  // client height H
  bool maximised = false;
  int titleWidth = 0;            // the title's width in the title font
  int bandHeight = kBandHeight;  // the banner's height; everything else stands below it
};

// The rectangles of everything that is not a drawn control.
struct LayoutBoxes {
  Rect edit;      // the Addresses box / the Address box
  Rect checkBox;  // Download Window only
  Rect tree;      // Site Window only
  Rect list;
  Rect status;
  int gripMinimumY = 0;  // the size grip may not rise above this y
};

// Lays out the controls (their labelSize must be measured) with the splitter moved by
// `delta` pixels. False, with nothing changed, when the client area is empty.
bool layoutWindow(const LayoutInput& input, int delta, DrawnControls& controls,
                  SplitterPosition& splitter, LayoutBoxes& boxes);

// T: the height of the "Open   " label, which every row height derives from.
int textHeight(const DrawnControls& controls);
// The width of each button: at least 56, else the widest button label plus 10.
int buttonWidth(const DrawnControls& controls);
