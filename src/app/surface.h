#pragma once
#include <windows.h>

#include <string>

#include "app/control_logic.h"
#include "app/drawn_control.h"
#include "app/layout.h"
#include "app/painter.h"

class App;

// The hand-drawn part of the main window: the fifteen controls with their layout, their
// mouse handling and the refresh that follows the cursor, the title and the status line.
class Surface {
 public:
  explicit Surface(App& app) : app_(app) {}

  // Labels, icons and fixed kinds of the role; then a refresh.
  void setRoleLabels();
  // Fonts, colours and brushes made anew; the title and every label measured; the base
  // font given to the edit box.
  void makeFontsAndColours();
  // Places controls and child windows, the splitter moved by `delta`.
  void layout(int delta);
  void paint(PaintContext& context);
  // The idle pass's step: kinds, hover, cursor, states, drags and the status line.
  void refresh();

  // The mouse. buttonUp gives the control to click, or -1.
  void buttonDown(int x, int y);
  int buttonUp(int x, int y);
  void captureChanged(HWND gaining);
  // Before a modal element: no control stays captured.
  void releaseCapture();

  DrawnControls& controls() { return controls_; }
  const DrawnControls& controls() const { return controls_; }
  const LayoutBoxes& boxes() const { return boxes_; }
  const SplitterPosition& splitter() const { return splitter_; }
  const std::string& statusText() const { return statusText_; }
  int captured() const { return captured_; }
  const std::string& title() const { return title_; }

 private:
  SurfaceView view() const;
  void measure();
  POINT cursorInClient() const;
  void setCursor(CursorShape shape);
  void continueDrag(POINT cursor);
  void updateStatusLine();
  void addTooltip();

  App& app_;
  DrawnControls controls_;
  SplitterPosition splitter_;
  LayoutBoxes boxes_;
  std::string title_;
  Size titleSize_;
  BannerPlacement banner_;
  int captured_ = -1;
  POINT grabOffset_ = {};
  std::string statusText_;
  bool statusShown_ = false;
};
