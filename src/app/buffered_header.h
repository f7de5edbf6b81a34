#pragma once
#include <windows.h>

// Has a list's header paint into a bitmap in memory, kept until the header changes, and
// copied to the window in one piece. Drawing a themed header costs milliseconds of work
// under Wine (some six a paint on a busy machine), and every masked copy of its pieces
// straight onto a window three round trips to the Wine server: a paint of the list, or of
// the whole window, no longer draws an unchanged header again. blankImage is the image
// index that shows nothing (the columns without the sort arrow have it).
void paintHeaderThroughBitmap(HWND header, int blankImage);
