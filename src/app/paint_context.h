#pragma once
#include <windows.h>

// A 32-bit bitmap of the given size whose rows run top down, for drawing in memory; `like`
// is a context of the display (nullptr: the screen). Null when none could be had.
HBITMAP createDrawingBitmap(HDC like, int width, int height);

// A device context that remembers how it was had and what it held before the first change
// of its font, background mode, text colour and background colour; when it goes, it puts
// those back and ends the context the matching way.
class PaintContext {
 public:
  // BeginPaint of the window; EndPaint at the end.
  static PaintContext forPaint(HWND window) { return PaintContext(window, true); }
  // GetDC of the window; ReleaseDC at the end.
  static PaintContext forWindow(HWND window) { return PaintContext(window, false); }
  // A context of the whole display (for measuring); DeleteDC at the end.
  static PaintContext forDisplay();
  // A context owned by someone else (a list's custom draw): only the four are restored.
  static PaintContext borrowed(HDC dc);

  PaintContext(PaintContext&& other) noexcept { *this = static_cast<PaintContext&&>(other); }
  PaintContext& operator=(PaintContext&& other) noexcept;
  PaintContext(const PaintContext&) = delete;
  ~PaintContext() { release(); }

  HDC dc() const { return dc_; }
  const RECT& paintRect() const { return paint_.rcPaint; }
  void setFont(HFONT font);
  void setBackgroundMode(int mode);
  void setTextColour(COLORREF colour);
  void setBackgroundColour(COLORREF colour);

 private:
  enum class Source { kNone, kDisplay, kWindow, kPaint };
  PaintContext() = default;
  PaintContext(HWND window, bool paint);
  void release();

  Source source_ = Source::kNone;
  HWND window_ = nullptr;
  HDC dc_ = nullptr;
  PAINTSTRUCT paint_ = {};
  bool fontSaved_ = false, modeSaved_ = false, textSaved_ = false, backSaved_ = false;
  HGDIOBJ oldFont_ = nullptr;
  int oldMode_ = 0;
  COLORREF oldText_ = 0, oldBack_ = 0;
};
