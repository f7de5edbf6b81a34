#pragma once
#include <windows.h>

#include "app/paint_math.h"

// The fonts, colours, brushes and cursors of the main window and the About box. Remade at
// start-up and whenever the system's colours or settings change.
class Theme {
 public:
  Theme() = default;
  ~Theme() { release(); }
  Theme(const Theme&) = delete;
  Theme& operator=(const Theme&) = delete;

  // Deletes the fonts and brushes made before, then makes them again from the system's
  // current menu font and colours.
  void makeFontsAndColours();
  void loadCursors();

  HFONT base = nullptr;  // the system's menu font; null when it cannot be had
  HFONT baseUnderlined = nullptr;
  HFONT title = nullptr;  // "Arial", 28 pixels at 96 dots per inch, more with larger text
  HFONT large = nullptr;  // "Arial", 50 pixels
  int dpi = 96;           // the screen's dots per inch (96 is 100%, 144 is 150%)

  COLORREF window = 0, windowText = 0, buttonFace = 0, buttonShadow = 0;
  COLORREF highlight = 0, highlightText = 0;
  static constexpr COLORREF kWhite = rgb(255, 255, 255);
  static constexpr COLORREF kBanner = rgb(0, 102, 204);
  static constexpr COLORREF kTitle = rgb(51, 153, 255);
  COLORREF separator = 0;  // halfway between button face and button shadow

  HBRUSH windowBrush = nullptr;  // the system's, not deleted
  HBRUSH bannerBrush = nullptr;
  HBRUSH titleBrush = nullptr;
  HBRUSH separatorBrush = nullptr;

  HCURSOR arrow = nullptr, hand = nullptr, sizeWestEast = nullptr, sizeNorthSouth = nullptr,
          sizeDiagonal = nullptr;

 private:
  void release();
};
