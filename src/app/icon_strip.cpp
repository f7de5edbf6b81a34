#include "app/icon_strip.h"

#include <algorithm>

#include "app/paint_context.h"

IconStrip::~IconStrip() {
  if (dc_) {
    SelectObject(dc_, oldBitmap_);
    DeleteDC(dc_);
  }
  if (bitmap_) DeleteObject(bitmap_);
}

bool IconStrip::makeStrip() {
  if (dc_) return true;
  dc_ = CreateCompatibleDC(nullptr);
  if (!dc_) return false;
  bitmap_ = createDrawingBitmap(dc_, kSlots * kSlotSize, kSlotSize);
  if (!bitmap_) {
    DeleteDC(dc_);
    dc_ = nullptr;
    return false;
  }
  oldBitmap_ = SelectObject(dc_, bitmap_);
  return true;
}

void IconStrip::draw(HIMAGELIST list, int index, HDC target, const RECT& box,
                     COLORREF background, UINT style) {
  const int width = box.right - box.left, height = box.bottom - box.top;
  if (!list || index < 0 || width <= 0 || height <= 0) return;
  if (background == CLR_NONE || width > kSlotSize || height > kSlotSize || !makeStrip()) {
    ImageList_DrawEx(list, index, target, box.left, box.top, width, height, background,
                     CLR_DEFAULT, style);
    return;
  }
  const Key key{list, index, width, height, background, GetSysColor(COLOR_HIGHLIGHT), style};
  auto found = std::find(keys_.begin(), keys_.end(), key);
  int slot = static_cast<int>(found - keys_.begin());
  if (found == keys_.end()) {
    // A full strip starts again: the images a list shows at once are few.
    if (keys_.size() == kSlots) keys_.clear();
    slot = static_cast<int>(keys_.size());
    if (!ImageList_DrawEx(list, index, dc_, slot * kSlotSize, 0, width, height, background,
                          CLR_DEFAULT, style)) {
      ImageList_DrawEx(list, index, target, box.left, box.top, width, height, background,
                       CLR_DEFAULT, style);
      return;
    }
    keys_.push_back(key);
  }
  BitBlt(target, box.left, box.top, width, height, dc_, slot * kSlotSize, 0, SRCCOPY);
}
