#include "app/paint_context.h"

PaintContext PaintContext::forDisplay() {
  PaintContext context;
  context.source_ = Source::kDisplay;
  context.dc_ = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  return context;
}

PaintContext PaintContext::borrowed(HDC dc) {
  PaintContext context;
  context.dc_ = dc;
  return context;
}

PaintContext::PaintContext(HWND window, bool paint) : window_(window) {
  if (paint) {
    source_ = Source::kPaint;
    dc_ = BeginPaint(window, &paint_);
  } else {
    source_ = Source::kWindow;
    dc_ = GetDC(window);
  }
}

PaintContext& PaintContext::operator=(PaintContext&& other) noexcept {
  if (this == &other) return *this;
  release();
  source_ = other.source_;
  window_ = other.window_;
  dc_ = other.dc_;
  paint_ = other.paint_;
  fontSaved_ = other.fontSaved_;
  modeSaved_ = other.modeSaved_;
  textSaved_ = other.textSaved_;
  backSaved_ = other.backSaved_;
  oldFont_ = other.oldFont_;
  oldMode_ = other.oldMode_;
  oldText_ = other.oldText_;
  oldBack_ = other.oldBack_;
  other.source_ = Source::kNone;
  other.dc_ = nullptr;
  other.fontSaved_ = other.modeSaved_ = other.textSaved_ = other.backSaved_ = false;
  return *this;
}

void PaintContext::setFont(HFONT font) {
  if (!dc_ || !font) return;
  HGDIOBJ old = SelectObject(dc_, font);
  if (!fontSaved_) {
    fontSaved_ = true;
    oldFont_ = old;
  }
}

void PaintContext::setBackgroundMode(int mode) {
  if (!dc_) return;
  int old = SetBkMode(dc_, mode);
  if (!modeSaved_) {
    modeSaved_ = true;
    oldMode_ = old;
  }
}

void PaintContext::setTextColour(COLORREF colour) {
  if (!dc_) return;
  COLORREF old = SetTextColor(dc_, colour);
  if (!textSaved_) {
    textSaved_ = true;
    oldText_ = old;
  }
}

void PaintContext::setBackgroundColour(COLORREF colour) {
  if (!dc_) return;
  COLORREF old = SetBkColor(dc_, colour);
  if (!backSaved_) {
    backSaved_ = true;
    oldBack_ = old;
  }
}

void PaintContext::release() {
  if (dc_) {
    if (fontSaved_) SelectObject(dc_, oldFont_);
    if (modeSaved_) SetBkMode(dc_, oldMode_);
    if (textSaved_) SetTextColor(dc_, oldText_);
    if (backSaved_) SetBkColor(dc_, oldBack_);
    switch (source_) {
      case Source::kDisplay:
        DeleteDC(dc_);
        break;
      case Source::kWindow:
        ReleaseDC(window_, dc_);
        break;
      case Source::kPaint:
        EndPaint(window_, &paint_);
        break;
      case Source::kNone:
        break;
    }
  }
  dc_ = nullptr;
  source_ = Source::kNone;
  fontSaved_ = modeSaved_ = textSaved_ = backSaved_ = false;
}

HBITMAP createDrawingBitmap(HDC like, int width, int height) {
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  return CreateDIBSection(like, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
}
