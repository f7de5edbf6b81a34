#include "app/buffered_header.h"

// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <memory>

#include "app/paint_context.h"

namespace {

// A 32-bit bitmap in a device context of its own.
struct MemoryBitmap {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ before = nullptr;
  SIZE size = {};

  MemoryBitmap() = default;
  MemoryBitmap(const MemoryBitmap&) = delete;
  MemoryBitmap& operator=(const MemoryBitmap&) = delete;
  ~MemoryBitmap() { drop(); }
  void drop() {
    if (dc) {
      SelectObject(dc, before);
      DeleteDC(dc);
    }
    if (bitmap) DeleteObject(bitmap);
    dc = nullptr;
    bitmap = nullptr;
    size = {};
  }
  // False when no bitmap of that size could be had; like is a context of the display.
  bool make(HDC like, SIZE wanted) {
    drop();
    bitmap = createDrawingBitmap(like, wanted.cx, wanted.cy);
    dc = bitmap ? CreateCompatibleDC(like) : nullptr;
    if (!dc) {
      drop();
      return false;
    }
    before = SelectObject(dc, bitmap);
    size = wanted;
    return true;
  }
};

// The header's own procedure and its last picture. Kept in the header's GWLP_USERDATA: a
// property would be looked up with a round trip to the Wine server on every message.
struct BufferedHeader {
  WNDPROC original = nullptr;
  int blankImage = -1;
  MemoryBitmap picture;
  bool drawn = false;
};

BufferedHeader& stateOf(HWND header) {
  return *reinterpret_cast<BufferedHeader*>(GetWindowLongPtrW(header, GWLP_USERDATA));
}

LRESULT callOriginal(HWND header, UINT message, WPARAM w, LPARAM l) {
  return CallWindowProcW(stateOf(header).original, header, message, w, l);
}

// Messages that only ask, and leave the picture as it is; any other may change it (an
// item, the size, the font, the hot item under the mouse, the theme).
bool leavesPicture(UINT message) {
  switch (message) {
    case WM_PAINT:  // into a context someone gives
    case WM_PRINT:
    case WM_PRINTCLIENT:
    case WM_ERASEBKGND:
    case WM_NCPAINT:
    case WM_NCHITTEST:
    case WM_SETCURSOR:
    case WM_GETFONT:
    case WM_GETDLGCODE:
    case HDM_GETITEMCOUNT:
    case HDM_GETITEMA:
    case HDM_GETITEMW:
    case HDM_GETITEMRECT:
    case HDM_GETIMAGELIST:
    case HDM_GETORDERARRAY:
    case HDM_GETBITMAPMARGIN:
    case HDM_GETUNICODEFORMAT:
    case HDM_HITTEST:
    case HDM_ORDERTOINDEX:
    case HDM_LAYOUT:
      return true;
    default:
      return false;
  }
}

// The picture starts as the window would: erased by the header, then painted whole. Sets
// redrawn when it had to be drawn again.
bool drawPicture(HWND header, HDC window, bool& redrawn) {
  BufferedHeader& state = stateOf(header);
  RECT client = {};
  GetClientRect(header, &client);
  const SIZE size = {client.right, client.bottom};
  redrawn = false;
  if (size.cx <= 0 || size.cy <= 0) return false;
  MemoryBitmap& picture = state.picture;
  const bool sameSize = size.cx == picture.size.cx && size.cy == picture.size.cy;
  if (state.drawn && sameSize) return true;
  state.drawn = false;
  if (!sameSize && !picture.make(window, size)) return false;
  const auto dc = reinterpret_cast<WPARAM>(picture.dc);
  callOriginal(header, WM_ERASEBKGND, dc, 0);
  callOriginal(header, WM_PAINT, dc, 0);
  state.drawn = redrawn = true;
  return true;
}

// True when column c shows an image other than the blank one.
bool showsImage(HWND header, int c) {
  LVCOLUMNW column = {};
  column.mask = LVCF_FMT | LVCF_IMAGE;
  if (!SendMessageW(GetParent(header), LVM_GETCOLUMNW, c, reinterpret_cast<LPARAM>(&column)))
    return false;
  return column.iImage >= 0 && column.iImage != stateOf(header).blankImage;
}

// Wine's header draws a column's image through a device context of its own, onto the
// window and clipped to the column alone, not into the one it is given: the picture lacks
// it, the copy of the part painted covers it, and a drawing of the whole picture puts it
// on the window again, over itself. So each column whose image shows, in the part painted
// or anywhere after a drawing of the picture, gets the picture's copy over the whole column,
// then is painted once more, clipped to itself, into a bitmap thrown away after: under Wine
// its image lands once on the copied background, as it would have on the window; where the
// header draws all into the context it is given, it lands in that bitmap.
void paintImagesAgain(HWND header, const RECT& part, bool everywhere) {
  const MemoryBitmap& picture = stateOf(header).picture;
  const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  HDC window = nullptr;
  MemoryBitmap scratch;
  for (int c = 0; c < count; ++c) {
    RECT item = {}, clip = {};
    if (!showsImage(header, c) ||
        !SendMessageW(header, HDM_GETITEMRECT, c, reinterpret_cast<LPARAM>(&item)) ||
        !IntersectRect(&clip, &item, everywhere ? &item : &part))
      continue;
    if (!window && !(window = GetDC(header))) return;
    if (!scratch.dc && !scratch.make(window, picture.size)) break;
    BitBlt(window, item.left, item.top, item.right - item.left, item.bottom - item.top, picture.dc,
           item.left, item.top, SRCCOPY);
    const int saved = SaveDC(scratch.dc);
    IntersectClipRect(scratch.dc, item.left, item.top, item.right, item.bottom);
    callOriginal(header, WM_PAINT, reinterpret_cast<WPARAM>(scratch.dc), 0);
    RestoreDC(scratch.dc, saved);
  }
  if (window) ReleaseDC(header, window);
}

void onPaint(HWND header) {
  PAINTSTRUCT paint = {};
  HDC window = BeginPaint(header, &paint);
  bool redrawn = false;
  if (window && drawPicture(header, window, redrawn)) {
    const RECT& part = paint.rcPaint;
    BitBlt(window, part.left, part.top, part.right - part.left, part.bottom - part.top,
           stateOf(header).picture.dc, part.left, part.top, SRCCOPY);
    paintImagesAgain(header, part, redrawn);
  } else if (window) {
    callOriginal(header, WM_PAINT, reinterpret_cast<WPARAM>(window), 0);
  }
  EndPaint(header, &paint);
}

LRESULT CALLBACK bufferedHeaderProcedure(HWND header, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCDESTROY) {
    std::unique_ptr<BufferedHeader> state(&stateOf(header));
    SetWindowLongPtrW(header, GWLP_USERDATA, 0);
    return CallWindowProcW(state->original, header, message, w, l);
  }
  // A paint into a context someone gives (as WM_PRINTCLIENT's) goes to the header as it is.
  if (message == WM_PAINT && w == 0) {
    onPaint(header);
    return 0;
  }
  if (!leavesPicture(message)) stateOf(header).drawn = false;
  return callOriginal(header, message, w, l);
}

}  // namespace

void paintHeaderThroughBitmap(HWND header, int blankImage) {
  if (!header || GetWindowLongPtrW(header, GWLP_USERDATA) != 0) return;
  auto state = std::make_unique<BufferedHeader>();
  state->original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(header, GWLP_WNDPROC));
  state->blankImage = blankImage;
  SetWindowLongPtrW(header, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state.release()));
  SetWindowLongPtrW(header, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(bufferedHeaderProcedure));
}
