#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "app/drawn_control.h"
#include "app/images.h"
#include "app/layout.h"
#include "app/paint_context.h"
#include "app/theme.h"

// What the painting of the main window's surface reads.
struct SurfaceView {
  const Theme& theme;
  const ImageStore& images;
  const DrawnControls& controls;
  ProcessRole role;
  const std::string& title;
  Size titleSize;
  BannerPlacement banner;
  const LayoutBoxes& boxes;
  int width;   // client width
  int height;  // client height
  const std::string& statusText;
};

// The one text routine: fills the rectangle (with the background colour, or the window
// colour when none is given), then draws the text on one line with an ellipsis where it
// does not fit, centred as asked, in the font and colours given; the font goes back to the
// base font.
struct TextPlacement {
  bool centreAcross = false;
  bool centreDown = false;
  bool insetLeft = false;
  bool insetRight = false;
  int nudge = 0;
};
void drawText(PaintContext& context, const Theme& theme, const std::string& text, Rect rect,
              const TextPlacement& placement, HFONT font, COLORREF textColour,
              std::optional<COLORREF> background = std::nullopt);

// Paints one drawn control as its state says; nothing for kind 0 or an empty rectangle.
void paintControl(PaintContext& context, const SurfaceView& view, int index);
// Everything of the client area that is not a child window: the controls, the banner with
// the title, the gaps, the separator lines and the status line.
void paintSurface(PaintContext& context, const SurfaceView& view);
void paintStatusLine(PaintContext& context, const SurfaceView& view);
