#pragma once
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include "app/theme.h"
#include "download/download_item.h"

// The Size cell of a download row being transferred: a bar that shows, column by column,
// how much of that part of the file has arrived, with the size text over it. False (the
// list paints the cell itself) for other cells and for rows without a size text and piece
// map. `item` is the row's item.
bool paintSizeCell(const NMLVCUSTOMDRAW& draw, const DownloadItem* item, HWND list,
                   const Theme& theme);

// Whether the item's row has a Size bar: it is transferring, with a size text and a piece
// map. Only such rows ask for their cells to be drawn one by one.
bool showsSizeBar(const DownloadItem* item);

// The sub-item rectangle of a cell; all 0 on failure.
RECT cellRect(HWND list, int row, int column);
