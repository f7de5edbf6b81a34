#pragma once
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <vector>

// Images of an image list as a list view draws them on an opaque background, each drawn
// once into a strip in memory and copied from there afterwards. Under Wine every
// ImageList_DrawEx makes and frees two device contexts and two bitmaps, a tenth of a
// millisecond and more; a copy from the strip costs a microsecond. A drawing on an opaque
// background covers its whole box whatever lay under it, so the copy shows the same pixels.
class IconStrip {
 public:
  IconStrip() = default;
  IconStrip(const IconStrip&) = delete;
  IconStrip& operator=(const IconStrip&) = delete;
  ~IconStrip();

  // ImageList_DrawEx(list, index, target, box's corner, box's size, background,
  // CLR_DEFAULT, style), from the strip when it was drawn before with the same list,
  // image, size, background, style and highlight colour (ILD_SELECTED blends with it).
  // A transparent background (CLR_NONE) is drawn straight onto the target.
  void draw(HIMAGELIST list, int index, HDC target, const RECT& box, COLORREF background,
            UINT style);

 private:
  struct Key {
    HIMAGELIST list;
    int index, width, height;
    COLORREF background, highlight;
    UINT style;
    bool operator==(const Key&) const = default;
  };
  static constexpr int kSlots = 64;
  static constexpr int kSlotSize = 32;  // the largest image kept; larger ones go straight

  bool makeStrip();

  std::vector<Key> keys_;  // slot i lies at x = i * kSlotSize
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
};
