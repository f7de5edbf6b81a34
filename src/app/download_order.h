#pragma once
#include "download/download_item.h"
#include "url/byte_text.h"

// The download list's row order for a sort column (0 Status, 1 Name, 2 Size, 3 Type,
// 4 Address, 5 Saved To; -2 the default order: status, then address): negative when a comes
// first. The window multiplies it by the sort direction. Texts compare with the locale's
// case-sensitive comparison.
int compareDownloadRows(const DownloadItem& a, const DownloadItem& b, int column,
                        const ByteText& text);

// The status part of the default order alone: for rows that are already in address order,
// a stable sort by it gives the default order.
int compareDownloadStatus(const DownloadItem& a, const DownloadItem& b, const ByteText& text);
