#include "app/control_logic.h"

#include <algorithm>

#include "download/progress_text.h"
#include "url/byte_text.h"

namespace {

using namespace control;

void setButton(DrawnControl& c, const char* label, const char* icon, const char* grayIcon) {
  c.label = label;
  c.icon = icon;
  c.grayIcon = grayIcon ? grayIcon : icon;
}

ControlKind enabledIf(bool on) {
  return on ? ControlKind::kButton : ControlKind::kDisabledButton;
}
ControlKind latchedIf(bool on) {
  return on ? ControlKind::kLatchedButton : ControlKind::kButton;
}

}  // namespace

void setRoleLabels(ProcessRole role, DrawnControls& c) {
  for (DrawnControl& control : c) control = DrawnControl{};
  c[kOpen].label = "Open   ";
  c[kHelp].label = "Help...";
  c[kOpen].kind = c[kHelp].kind = ControlKind::kLink;
  c[kAddressLink].kind = c[kGoLink].kind = ControlKind::kLink;
  c[kSizeGrip].kind = ControlKind::kSizeGrip;
  if (role == ProcessRole::kDownload) {
    setButton(c[kPause], "Pause", "BUTTON_PAUSE", nullptr);
    setButton(c[kRemove], "Remove", "BUTTON_REMOVE", "GRAY_REMOVE");
    c[kAddressLink].label = "Addresses";
    c[kAddressLink].secondLabel = "Click to Paste and Get";
    c[kGoLink].label = "Get";
    c[kGoLink].icon = "LINK_GET";
    c[kClipboardCaption].label =
        "Get addresses copied in other programs (Right-click links in Internet Explorer and "
        "press the T key)";
    c[kClipboardCaption].kind = ControlKind::kLink;
    c[kSplitter].kind = ControlKind::kSplitterDown;
  } else {
    setButton(c[kBack], "Back", "BUTTON_BACK", "GRAY_BACK");
    setButton(c[kForward], "Forward", "BUTTON_FORWARD", "GRAY_FORWARD");
    setButton(c[kStop], "Stop", "BUTTON_STOP", "GRAY_STOP");
    setButton(c[kRefresh], "Refresh", "BUTTON_REFRESH", "GRAY_REFRESH");
    setButton(c[kExpand], "Expand", "BUTTON_EXPAND", nullptr);
    setButton(c[kGet], "Get", "BUTTON_GET", "GRAY_GET");
    c[kBack].nudge = c[kExpand].nudge = 0;
    c[kAddressLink].label = "Address";
    c[kAddressLink].secondLabel = "Click to Paste and Go";
    c[kGoLink].label = "Go";
    c[kGoLink].icon = "LINK_GO";
    c[kSplitter].kind = ControlKind::kSplitterAcross;
  }
}

void refreshKinds(ProcessRole role, const ButtonStates& s, DrawnControls& c) {
  if (role == ProcessRole::kDownload) {
    c[kPause].kind = latchedIf(s.paused);
    c[kRemove].kind = enabledIf(s.rowsSelected);
  } else {
    c[kBack].kind = enabledIf(s.canGoBack);
    c[kForward].kind = enabledIf(s.canGoForward);
    c[kStop].kind = enabledIf(s.canStop);
    c[kRefresh].kind = enabledIf(s.canRefresh);
    c[kExpand].kind = latchedIf(s.expandAll);
    c[kGet].kind = enabledIf(s.rowsSelected);
  }
}

int hitTest(const DrawnControls& controls, int x, int y) {
  for (int i = 0; i < kCount; ++i)
    if (controls[i].kind != ControlKind::kNone && controls[i].rect.contains(x, y)) return i;
  return -1;
}

ControlState controlState(const DrawnControls& controls, int index, int hovered, int captured,
                          bool leftButtonDown) {
  const bool hot = index == hovered;
  const bool held = index == captured;
  switch (controls[index].kind) {
    case ControlKind::kDisabledButton:
      return ControlState::kDisabled;
    case ControlKind::kButton:
      if (hot && held) return ControlState::kPressed;
      if (hot && !leftButtonDown) return ControlState::kHot;
      return ControlState::kNormal;
    case ControlKind::kLatchedButton:
      return ControlState::kPressed;
    case ControlKind::kLink:
      if (hot && (held || !leftButtonDown)) return ControlState::kHot;
      return ControlState::kNormal;
    default:
      return ControlState::kNone;
  }
}

CursorShape cursorForKind(ControlKind kind) {
  switch (kind) {
    case ControlKind::kButton:
    case ControlKind::kLatchedButton:
    case ControlKind::kLink:
      return CursorShape::kHand;
    case ControlKind::kSplitterDown:
      return CursorShape::kSizeNorthSouth;
    case ControlKind::kSplitterAcross:
      return CursorShape::kSizeWestEast;
    case ControlKind::kSizeGrip:
      return CursorShape::kSizeDiagonal;
    default:
      return CursorShape::kArrow;
  }
}

CursorShape chooseCursor(const DrawnControls& controls, int hovered, int captured,
                         bool leftButtonDown, bool overBareSurface) {
  if (captured >= 0) return cursorForKind(controls[captured].kind);
  if (hovered >= 0 && !leftButtonDown) return cursorForKind(controls[hovered].kind);
  if (overBareSurface) return CursorShape::kArrow;
  return CursorShape::kLeaveAlone;
}

std::string statusLineText(int64_t rows, int64_t queued, int64_t selected) {
  std::string text = countText(rows, "file");
  if (queued > 0) text += "  " + groupThousands(formatNumber(queued)) + " to get";
  if (selected > 0) text += "  " + groupThousands(formatNumber(selected)) + " selected";
  return text;
}

GripDrag limitGripDrag(int dx, int dy, int grabbedX, int grabbedY, int grabX, int grabY,
                       int minimumY) {
  GripDrag drag{dx, dy};
  // The grabbed point after the move is (grabbedX + dx, grabbedY + dy).
  if (grabbedX + drag.dx < grabX) drag.dx = grabX - grabbedX;
  if (grabbedY + drag.dy < minimumY + grabY) drag.dy = minimumY + grabY - grabbedY;
  return drag;
}
