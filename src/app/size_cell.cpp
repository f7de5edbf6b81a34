#include "app/size_cell.h"

#include <string>
#include <vector>

#include "app/paint_context.h"
#include "app/paint_math.h"
#include "download/job_text.h"
#include "transfer/transfer_job.h"

namespace {

constexpr int kSizeColumn = 2;

struct CellColours {
  COLORREF bar, background, text, topLine;
};

CellColours cellColours(bool selected, bool focused, const Theme& theme) {
  if (selected && focused)
    return {blend(theme.highlightText, theme.highlight, 1, 2), theme.highlight, theme.highlightText,
            theme.highlight};
  if (selected)
    return {blend(theme.windowText, theme.buttonFace, 1, 4), theme.buttonFace, theme.windowText,
            theme.buttonFace};
  return {rgb(255, 204, 0), blend(theme.buttonFace, theme.window, 1, 2), theme.windowText,
          theme.window};
}

void fillRect(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  RECT area = {left, top, right, bottom};
  SetDCBrushColor(dc, colour);
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

}  // namespace

RECT cellRect(HWND list, int row, int column) {
  RECT rect = {};
  rect.top = column;
  rect.left = LVIR_BOUNDS;
  if (!SendMessageA(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&rect))) return {};
  return rect;
}

bool showsSizeBar(const DownloadItem* item) {
  return item && item->job && !item->job->pieceMap.empty() && !jobSizeText(*item->job).empty();
}

bool paintSizeCell(const NMLVCUSTOMDRAW& draw, const DownloadItem* item, HWND list,
                   const Theme& theme) {
  if (draw.iSubItem != kSizeColumn || !showsSizeBar(item)) return false;
  const TransferJob& job = *item->job;
  const std::string sizeText = jobSizeText(job);

  const int row = static_cast<int>(draw.nmcd.dwItemSpec);
  const bool selected =
      (SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
  const CellColours colours = cellColours(selected, GetFocus() == list, theme);
  const RECT cell = cellRect(list, row, kSizeColumn);
  const int width = cell.right - cell.left;
  if (width <= 0 || cell.bottom - cell.top <= 1) return true;
  HDC dc = draw.nmcd.hdc;
  fillRect(dc, cell.left, cell.top, cell.right, cell.top + 1, colours.topLine);

  // Runs of one colour are filled as one rectangle.
  const std::vector<int> shares = pieceShares(job.pieceMap, width);
  int runStart = 0;
  COLORREF runColour = blend(colours.bar, colours.background, shares[0], 255 - shares[0]);
  for (int i = 1; i <= width; ++i) {
    COLORREF colour =
        i < width ? blend(colours.bar, colours.background, shares[i], 255 - shares[i]) : ~runColour;
    if (colour == runColour) continue;
    fillRect(dc, cell.left + runStart, cell.top + 1, cell.left + i, cell.bottom, runColour);
    runStart = i;
    runColour = colour;
  }

  PaintContext context = PaintContext::borrowed(dc);
  context.setBackgroundMode(TRANSPARENT);
  context.setTextColour(colours.text);
  RECT textArea = {cell.left + 6, cell.top, cell.right - 6, cell.bottom};
  SIZE measured = {};
  GetTextExtentPoint32A(dc, sizeText.c_str(), static_cast<int>(sizeText.size()), &measured);
  const UINT across = measured.cx <= textArea.right - textArea.left ? DT_RIGHT : DT_LEFT;
  DrawTextA(dc, sizeText.c_str(), static_cast<int>(sizeText.size()), &textArea,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | across);
  return true;
}
