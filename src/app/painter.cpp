#include "app/painter.h"

#include <algorithm>

namespace {

using namespace control;

RECT toRect(const Rect& r) {
  return {r.x, r.y, r.right(), r.bottom()};
}

void fill(HDC dc, const Rect& r, COLORREF colour) {
  if (r.empty()) return;
  RECT area = toRect(r);
  SetDCBrushColor(dc, colour);
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void drawIcon(HDC dc, HICON icon, int x, int y, int size) {
  if (icon) DrawIconEx(dc, x, y, icon, size, size, 0, nullptr, DI_NORMAL);
}

// A 1-pixel border: raised (light above and left) or sunken.
void border(HDC dc, const Rect& r, COLORREF topLeft, COLORREF bottomRight) {
  fill(dc, {r.x, r.y, r.width, 1}, topLeft);
  fill(dc, {r.x, r.y, 1, r.height}, topLeft);
  fill(dc, {r.x, r.bottom() - 1, r.width, 1}, bottomRight);
  fill(dc, {r.right() - 1, r.y, 1, r.height}, bottomRight);
}

HFONT linkFont(const Theme& theme, const DrawnControl& c) {
  return c.state == ControlState::kHot ? theme.baseUnderlined : theme.base;
}

void paintButton(PaintContext& context, const SurfaceView& view, const DrawnControl& c) {
  const Theme& theme = view.theme;
  HDC dc = context.dc();
  const Rect& r = c.rect;
  const int p = c.state == ControlState::kPressed ? 1 : 0;
  const int t = textHeight(view.controls);
  fill(dc, r, theme.window);
  const bool disabled = c.state == ControlState::kDisabled;
  drawIcon(dc, view.images.icon(disabled ? c.grayIcon : c.icon), r.x + (r.width - 24) / 2 + p,
           r.y + 3 + p, 24);
  TextPlacement centred{true, true, false, false, c.nudge};
  drawText(context, theme, c.label, {r.x + 5 + p, r.y + 28 + p, r.width - 10, t}, centred,
           theme.base, disabled ? theme.buttonShadow : theme.windowText);
  if (c.state == ControlState::kHot) border(dc, r, theme.buttonFace, theme.buttonShadow);
  if (c.state == ControlState::kPressed) border(dc, r, theme.buttonShadow, theme.buttonFace);
}

void paintBannerLink(PaintContext& context, const SurfaceView& view, int index) {
  const DrawnControl& c = view.controls[index];
  const Rect& r = c.rect;
  drawText(context, view.theme, c.label, r, {false, true, true, true, 0}, linkFont(view.theme, c),
           Theme::kWhite, Theme::kBanner);
  if (index != kOpen) return;
  // A small triangle pointing down, right of the text: rows of 5, 3 and 1 pixels.
  for (int row = 0; row < 3; ++row)
    fill(context.dc(), {r.x + r.width - 11 + row, r.y + r.height / 2 + 1 + row, 5 - 2 * row, 1},
         Theme::kWhite);
}

void paintTextLink(PaintContext& context, const SurfaceView& view, int index) {
  const DrawnControl& c = view.controls[index];
  const Theme& theme = view.theme;
  if (index == kGoLink) {
    const Rect& r = c.rect;
    fill(context.dc(), r, theme.window);
    drawIcon(context.dc(), view.images.icon(c.icon), r.x, r.y, 16);
    drawText(context, theme, c.label, {r.x + 16, r.y, r.width - 16, r.height},
             {false, true, true, false, 0}, linkFont(theme, c), theme.windowText);
    return;
  }
  drawText(context, theme, c.label, c.rect, {false, true, index == kClipboardCaption, false, 0},
           linkFont(theme, c), theme.windowText);
}

void paintSplitter(HDC dc, const Theme& theme, const DrawnControl& c) {
  const Rect& r = c.rect;
  fill(dc, r, theme.window);
  if (c.kind == ControlKind::kSplitterDown) {
    fill(dc, {r.x, r.y, r.width, 1}, theme.separator);
  } else {
    fill(dc, {r.x, r.y, 1, r.height}, theme.separator);
    fill(dc, {r.right() - 1, r.y, 1, r.height}, theme.separator);
  }
}

void paintSizeGrip(HDC dc, const Theme& theme, const Rect& r) {
  fill(dc, r, theme.window);
  const int right = r.right(), bottom = r.bottom();
  const int squares[6][2] = {{4, 12}, {8, 8}, {4, 8}, {12, 4}, {8, 4}, {4, 4}};
  for (const auto& s : squares) fill(dc, {right - s[0], bottom - s[1], 2, 2}, theme.buttonShadow);
}

void line(HDC dc, const Theme& theme, int x, int y, int width, int height) {
  fill(dc, {x, y, width, height}, theme.separator);
}

void frame(HDC dc, const Theme& theme, const Rect& r) {
  border(dc, r, theme.separator, theme.separator);
}

void separatorLines(HDC dc, const SurfaceView& view) {
  const DrawnControls& c = view.controls;
  const Theme& theme = view.theme;
  const LayoutBoxes& b = view.boxes;
  const int rowHeight = c[kOpen].labelSize.height + 31;
  const int top = view.banner.bandHeight + 4;  // the button row
  if (view.role == ProcessRole::kDownload) {
    line(dc, theme, c[kRemove].rect.right() + 4, top, 1, rowHeight);
    const Rect& s = c[kSplitter].rect;
    line(dc, theme, s.x, top, 1, s.y - top);
    line(dc, theme, s.x, top, s.width, 1);
    line(dc, theme, s.right() - 1, top, 1, s.y - top);
    frame(dc, theme, {b.list.x - 1, b.list.y - 1, b.list.width + 2, b.list.height + 2});
    return;
  }
  line(dc, theme, c[kRefresh].rect.right() + 4, top, 1, rowHeight);
  line(dc, theme, c[kExpand].rect.right() + 4, top, 1, rowHeight);
  line(dc, theme, 4, top + rowHeight + 4, view.width - 8, 1);
  frame(dc, theme, {b.edit.x - 2, b.edit.y - 2, b.edit.width + 4, b.edit.height + 4});
  const Rect& s = c[kSplitter].rect;
  line(dc, theme, 1, s.y, 1, s.height);
  line(dc, theme, 1, s.y, s.x - 1, 1);
  line(dc, theme, 1, s.bottom() - 1, s.x - 1, 1);
  line(dc, theme, s.right(), s.y, view.width - 1 - s.right(), 1);
  line(dc, theme, s.right(), s.bottom() - 1, view.width - 1 - s.right(), 1);
  line(dc, theme, b.list.right(), s.y, 1, s.height);
}

void excludeRect(HDC dc, const Rect& r) {
  if (!r.empty()) ExcludeClipRect(dc, r.x, r.y, r.right(), r.bottom());
}

}  // namespace

void drawText(PaintContext& context, const Theme& theme, const std::string& text, Rect rect,
              const TextPlacement& placement, HFONT font, COLORREF textColour,
              std::optional<COLORREF> background) {
  HDC dc = context.dc();
  if (!dc) return;
  context.setFont(font ? font : theme.base);
  SIZE measured = {};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &measured);
  if (rect.width <= 0) rect.width = measured.cx;
  if (rect.height <= 0) rect.height = measured.cy;
  const COLORREF back = background.value_or(theme.window);
  fill(dc, rect, back);

  Rect box = rect;
  if (placement.insetLeft) box.x += 4;
  box.width =
      std::max(0, rect.width - (placement.insetLeft ? 4 : 0) - (placement.insetRight ? 4 : 0));
  const int textWidth = std::min<int>(measured.cx, box.width);
  const int textHeight = std::min<int>(measured.cy, box.height);
  if (placement.centreAcross) box.x += (box.width - textWidth) / 2;
  if (placement.centreDown) box.y += (box.height - textHeight) / 2;
  if (measured.cx + placement.nudge <= box.width) box.x += placement.nudge;
  RECT area = {box.x, box.y, box.x + textWidth, box.y + textHeight};
  if (!placement.centreAcross) area.right = rect.right() - (placement.insetRight ? 4 : 0);
  context.setTextColour(textColour);
  context.setBackgroundColour(back);
  context.setBackgroundMode(OPAQUE);
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area,
            DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  context.setFont(theme.base);
}

void paintControl(PaintContext& context, const SurfaceView& view, int index) {
  const DrawnControl& c = view.controls[index];
  if (c.kind == ControlKind::kNone || c.rect.empty()) return;
  switch (c.kind) {
    case ControlKind::kDisabledButton:
    case ControlKind::kButton:
    case ControlKind::kLatchedButton:
      paintButton(context, view, c);
      break;
    case ControlKind::kLink:
      if (index == kOpen || index == kHelp)
        paintBannerLink(context, view, index);
      else
        paintTextLink(context, view, index);
      break;
    case ControlKind::kSplitterDown:
    case ControlKind::kSplitterAcross:
      paintSplitter(context.dc(), view.theme, c);
      break;
    case ControlKind::kSizeGrip:
      paintSizeGrip(context.dc(), view.theme, c.rect);
      break;
    case ControlKind::kNone:
      break;
  }
}

void paintStatusLine(PaintContext& context, const SurfaceView& view) {
  if (view.boxes.status.empty()) return;
  drawText(context, view.theme, view.statusText, view.boxes.status, {false, true, true, true, 0},
           view.theme.base, view.theme.windowText);
}

void paintSurface(PaintContext& context, const SurfaceView& view) {
  HDC dc = context.dc();
  if (!dc) return;
  for (int i = 0; i < kCount; ++i) paintControl(context, view, i);

  // The banner: the title, its cell cut at the band's foot (its ink lies inside the band),
  // and the rest of the band in the banner colour.
  const int band = view.banner.bandHeight;
  const Rect titleRect{8, view.banner.titleY, view.titleSize.width, band - view.banner.titleY};
  drawText(context, view.theme, view.title, titleRect, {}, view.theme.title, Theme::kTitle,
           Theme::kBanner);
  SaveDC(dc);
  excludeRect(dc, titleRect);
  excludeRect(dc, view.controls[kOpen].rect);
  excludeRect(dc, view.controls[kHelp].rect);
  fill(dc, {0, 0, view.width, band}, Theme::kBanner);
  RestoreDC(dc, -1);

  // Every gap in the window colour: all but the band, the controls, the child windows and
  // the status line, which paint themselves.
  SaveDC(dc);
  excludeRect(dc, {0, 0, view.width, band});
  for (const DrawnControl& c : view.controls)
    if (c.kind != ControlKind::kNone) excludeRect(dc, c.rect);
  excludeRect(dc, view.boxes.edit);
  excludeRect(dc, view.boxes.checkBox);
  excludeRect(dc, view.boxes.tree);
  excludeRect(dc, view.boxes.list);
  excludeRect(dc, view.boxes.status);
  fill(dc, {0, 0, view.width, view.height}, view.theme.window);
  separatorLines(dc, view);
  RestoreDC(dc, -1);

  paintStatusLine(context, view);
}
