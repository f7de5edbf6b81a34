#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/drawn_control.h"

// The decisions of the drawn controls that need no window: labels per role, hit-testing,
// the state each control is painted in, the cursor over it, and the status line's text.

// Labels, icons and the kinds that never change (links, splitter, size grip) of a role.
// The buttons' kinds are left to refreshKinds.
void setRoleLabels(ProcessRole role, DrawnControls& controls);

// The states the buttons' kinds follow.
struct ButtonStates {
  // Download Window.
  bool paused = false;
  bool rowsSelected = false;
  // Site Window.
  bool canGoBack = false;
  bool canGoForward = false;
  bool canStop = false;  // fetching is not stopped and a visible page is unread
  bool canRefresh = false;
  bool expandAll = false;
};
void refreshKinds(ProcessRole role, const ButtonStates& states, DrawnControls& controls);

// The first control in list order whose rectangle holds the point; -1 for none.
int hitTest(const DrawnControls& controls, int x, int y);

// The state a control is painted in, with the hovered and captured controls (-1: none).
ControlState controlState(const DrawnControls& controls, int index, int hovered, int captured,
                          bool leftButtonDown);

enum class CursorShape {
  kLeaveAlone,
  kArrow,
  kHand,
  kSizeNorthSouth,
  kSizeWestEast,
  kSizeDiagonal
};
CursorShape cursorForKind(ControlKind kind);
// The cursor the window shows: the captured control's, else the hovered one's while the
// button is up, else the arrow over the bare surface, else whatever the cursor is.
CursorShape chooseCursor(const DrawnControls& controls, int hovered, int captured,
                         bool leftButtonDown, bool overBareSurface);

// "1 file", "1,000 files  1,000 to get  2 selected".
std::string statusLineText(int64_t rows, int64_t queued, int64_t selected);

// How a size-grip drag moves the window: the offsets are cut so that the grabbed point stays
// at or right of x = grabX and at or below y = minimumY + grabY.
struct GripDrag {
  int dx = 0;
  int dy = 0;
};
GripDrag limitGripDrag(int dx, int dy, int grabbedX, int grabbedY, int grabX, int grabY,
                       int minimumY);
