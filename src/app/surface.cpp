#include "app/surface.h"

#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <algorithm>

#include "app/app.h"

namespace {

using namespace control;

RECT clientRect(HWND window) {
  RECT r = {};
  GetClientRect(window, &r);
  return r;
}

void moveChild(HWND child, const Rect& r) {
  if (child) MoveWindow(child, r.x, r.y, r.width, r.height, FALSE);
}

// How far the ink of a text reaches above and below the baseline (below: negative) in the
// font selected, from the glyphs' own boxes: the cell's ascent also holds room for accents
// and the like, which the title has none of.
struct TitleInk {
  int ascent = 0;
  int above = 0;
  int below = 0;
};
TitleInk titleInk(HDC dc, const std::string& text) {
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  TitleInk ink{static_cast<int>(metrics.tmAscent), 0, 0};
  bool any = false;
  const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  for (unsigned char c : text) {
    GLYPHMETRICS glyph = {};
    if (c == ' ' ||
        GetGlyphOutlineA(dc, c, GGO_METRICS, &glyph, 0, nullptr, &identity) == GDI_ERROR) {
      continue;
    }
    const int top = glyph.gmptGlyphOrigin.y;
    const int bottom = top - static_cast<int>(glyph.gmBlackBoxY);
    ink.above = any ? std::max(ink.above, top) : top;
    ink.below = any ? std::min(ink.below, bottom) : bottom;
    any = true;
  }
  // Without glyph boxes (a bitmap font, say), the whole cell counts as ink.
  if (!any) ink = {ink.ascent, ink.ascent, -static_cast<int>(metrics.tmDescent)};
  return ink;
}

}  // namespace

SurfaceView Surface::view() const {
  RECT client = clientRect(app_.windows().main);
  return SurfaceView{app_.theme(), app_.images(), controls_,  app_.role(),
                     title_,       titleSize_,    banner_,    boxes_,
                     client.right, client.bottom, statusText_};
}

void Surface::setRoleLabels() {
  ::setRoleLabels(app_.role(), controls_);
  title_ = app_.role() == ProcessRole::kDownload ? "haulix 3 download" : "haulix 3 site";
  refresh();
}

void Surface::makeFontsAndColours() {
  app_.theme().makeFontsAndColours();
  measure();
  if (HWND edit = app_.windows().edit)
    SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(app_.theme().base), TRUE);
}

void Surface::measure() {
  PaintContext context = PaintContext::forDisplay();
  HDC dc = context.dc();
  if (!dc) return;
  auto extent = [dc](const std::string& text) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return Size{static_cast<int>(size.cx), static_cast<int>(size.cy)};
  };
  context.setFont(app_.theme().title);
  titleSize_ = extent(title_);
  const TitleInk ink = titleInk(dc, title_);
  context.setFont(app_.theme().base);
  for (DrawnControl& c : controls_) c.labelSize = c.label.empty() ? Size{} : extent(c.label);
  // T comes from "Open   ", which every role has.
  banner_ = placeBanner(app_.theme().dpi, textHeight(controls_), ink.ascent, ink.above, ink.below);
}

void Surface::layout(int delta) {
  HWND main = app_.windows().main;
  RECT client = clientRect(main);
  const bool firstLayout = controls_[kAddressLink].rect.empty();
  const SplitterPosition before = splitter_;
  LayoutInput input{app_.role(),      client.right,      client.bottom, IsZoomed(main) != FALSE,
                    titleSize_.width, banner_.bandHeight};
  if (!layoutWindow(input, delta, controls_, splitter_, boxes_)) return;
  MainWindows& w = app_.windows();
  moveChild(w.edit, boxes_.edit);
  moveChild(w.check, boxes_.checkBox);
  moveChild(w.tree, boxes_.tree);
  moveChild(w.list, boxes_.list);
  if (firstLayout && !controls_[kAddressLink].rect.empty()) addTooltip();
  if (before.placed && before.value != splitter_.value) {
    InvalidateRect(main, nullptr, FALSE);
    UpdateWindow(main);
  }
}

void Surface::addTooltip() {
  const DrawnControl& link = controls_[kAddressLink];
  TOOLINFOA tool = {};
  tool.cbSize = sizeof tool;
  // Not TTF_SUBCLASS: a subclassed window looks its subclass up (a round trip to the Wine
  // server) on every message, the list's many paint notifications among them; the window
  // procedure hands the tooltip its mouse messages instead.
  tool.uFlags = 0;
  tool.hwnd = app_.windows().main;
  tool.uId = 0;
  tool.rect = {link.rect.x, link.rect.y, link.rect.right(), link.rect.bottom()};
  tool.lpszText = const_cast<char*>(link.secondLabel.c_str());
  SendMessageA(app_.windows().tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void Surface::paint(PaintContext& context) {
  paintSurface(context, view());
}

POINT Surface::cursorInClient() const {
  POINT at = {-1, -1};
  if (app_.modal().depth() == 0) GetCursorPos(&at);
  ScreenToClient(app_.windows().main, &at);
  return at;
}

void Surface::setCursor(CursorShape shape) {
  const Theme& theme = app_.theme();
  HCURSOR cursor = nullptr;
  switch (shape) {
    case CursorShape::kLeaveAlone:
      return;
    case CursorShape::kArrow:
      cursor = theme.arrow;
      break;
    case CursorShape::kHand:
      cursor = theme.hand;
      break;
    case CursorShape::kSizeNorthSouth:
      cursor = theme.sizeNorthSouth;
      break;
    case CursorShape::kSizeWestEast:
      cursor = theme.sizeWestEast;
      break;
    case CursorShape::kSizeDiagonal:
      cursor = theme.sizeDiagonal;
      break;
  }
  if (cursor && GetCursor() != cursor) SetCursor(cursor);
}

void Surface::refresh() {
  HWND main = app_.windows().main;
  if (!main) return;
  RoleContent* content = app_.content();
  refreshKinds(app_.role(), content ? content->buttonStates() : ButtonStates{}, controls_);

  const POINT cursor = cursorInClient();
  const RECT client = clientRect(main);
  const bool inClient = PtInRect(&client, cursor) != FALSE;
  const int hovered = inClient ? hitTest(controls_, cursor.x, cursor.y) : -1;
  const bool buttonDown = (GetKeyState(VK_LBUTTON) & 0x8000) != 0;
  bool overChild = false;
  for (const Rect* r : {&boxes_.edit, &boxes_.checkBox, &boxes_.tree, &boxes_.list})
    if (r->contains(cursor.x, cursor.y)) overChild = true;
  setCursor(chooseCursor(controls_, hovered, captured_, buttonDown, inClient && !overChild));

  SurfaceView surface = view();
  for (int i = 0; i < kCount; ++i) {
    ControlState state = controlState(controls_, i, hovered, captured_, buttonDown);
    if (state == controls_[i].state) continue;
    controls_[i].state = state;
    PaintContext context = PaintContext::forWindow(main);
    context.setFont(app_.theme().base);
    context.setBackgroundColour(app_.theme().window);
    paintControl(context, surface, i);
  }
  if (captured_ >= 0) continueDrag(cursor);
  updateStatusLine();
}

void Surface::continueDrag(POINT cursor) {
  const DrawnControl& c = controls_[captured_];
  const int grabbedX = c.rect.x + grabOffset_.x, grabbedY = c.rect.y + grabOffset_.y;
  int dx = cursor.x - grabbedX, dy = cursor.y - grabbedY;
  if (c.kind == ControlKind::kSplitterAcross && dx != 0) layout(dx);
  if (c.kind == ControlKind::kSplitterDown && dy != 0) layout(dy);
  if (c.kind == ControlKind::kSizeGrip && (dx != 0 || dy != 0)) {
    GripDrag drag = limitGripDrag(dx, dy, grabbedX, grabbedY, grabOffset_.x, grabOffset_.y,
                                  boxes_.gripMinimumY);
    if (drag.dx == 0 && drag.dy == 0) return;
    HWND main = app_.windows().main;
    RECT window = {};
    GetWindowRect(main, &window);
    MoveWindow(main, window.left, window.top, window.right - window.left + drag.dx,
               window.bottom - window.top + drag.dy, TRUE);
  }
}

void Surface::updateStatusLine() {
  HWND list = app_.windows().list;
  const auto queued = static_cast<int64_t>(app_.queue().queuedCount());
  const int64_t rows = std::max<LRESULT>(0, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  const int64_t selected = std::max<LRESULT>(0, SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));
  std::string text = statusLineText(rows, queued, selected);
  if (text == statusText_) return;
  statusText_ = std::move(text);
  if (boxes_.status.empty()) return;
  PaintContext context = PaintContext::forWindow(app_.windows().main);
  context.setFont(app_.theme().base);
  paintStatusLine(context, view());
}

void Surface::buttonDown(int x, int y) {
  captured_ = hitTest(controls_, x, y);
  if (captured_ >= 0)
    grabOffset_ = {x - controls_[captured_].rect.x, y - controls_[captured_].rect.y};
}

int Surface::buttonUp(int x, int y) {
  int clicked = captured_ >= 0 && hitTest(controls_, x, y) == captured_ ? captured_ : -1;
  captured_ = -1;
  // A disabled button is hit but does nothing.
  if (clicked >= 0 && controls_[clicked].kind == ControlKind::kDisabledButton) clicked = -1;
  return clicked;
}

void Surface::captureChanged(HWND gaining) {
  if (gaining != app_.windows().main) captured_ = -1;
}

void Surface::releaseCapture() {
  captured_ = -1;
  if (GetCapture() == app_.windows().main) ReleaseCapture();
}
