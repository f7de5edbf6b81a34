#include "app/theme.h"

namespace {

HFONT namedFont(const char* face, int pixels) {
  LOGFONTA font = {};
  font.lfHeight = -pixels;
  font.lfWeight = FW_NORMAL;
  font.lfQuality = ANTIALIASED_QUALITY;
  font.lfPitchAndFamily = VARIABLE_PITCH;
  lstrcpynA(font.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectA(&font);
}

template <class Handle>
void deleteObject(Handle& handle) {
  if (handle) DeleteObject(handle);
  handle = nullptr;
}

}  // namespace

void Theme::release() {
  deleteObject(base);
  deleteObject(baseUnderlined);
  deleteObject(title);
  deleteObject(large);
  deleteObject(bannerBrush);
  deleteObject(titleBrush);
  deleteObject(separatorBrush);
  windowBrush = nullptr;
}

void Theme::makeFontsAndColours() {
  release();
  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    base = CreateFontIndirectA(&metrics.lfMenuFont);
    metrics.lfMenuFont.lfUnderline = TRUE;
    baseUnderlined = CreateFontIndirectA(&metrics.lfMenuFont);
  }
  HDC screen = GetDC(nullptr);
  dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  if (dpi <= 0) dpi = 96;
  // The title grows with the text the user asked for, as the menu font does.
  title = namedFont("Arial", MulDiv(28, dpi, 96));
  large = namedFont("Arial", 50);

  window = GetSysColor(COLOR_WINDOW);
  windowText = GetSysColor(COLOR_WINDOWTEXT);
  buttonFace = GetSysColor(COLOR_BTNFACE);
  buttonShadow = GetSysColor(COLOR_BTNSHADOW);
  highlight = GetSysColor(COLOR_HIGHLIGHT);
  highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
  separator = blend(buttonFace, buttonShadow, 1, 1);

  windowBrush = GetSysColorBrush(COLOR_WINDOW);
  bannerBrush = CreateSolidBrush(kBanner);
  titleBrush = CreateSolidBrush(kTitle);
  separatorBrush = CreateSolidBrush(separator);
}

void Theme::loadCursors() {
  arrow = LoadCursorA(nullptr, IDC_ARROW);
  hand = LoadCursorA(nullptr, IDC_HAND);
  if (!hand) hand = arrow;
  sizeWestEast = LoadCursorA(nullptr, IDC_SIZEWE);
  sizeNorthSouth = LoadCursorA(nullptr, IDC_SIZENS);
  sizeDiagonal = LoadCursorA(nullptr, IDC_SIZENWSE);
}
