#pragma once
#include <windows.h>

#include <string>

#include "app/modal.h"
#include "download/download_item.h"
#include "platform/row_list.h"
#include "site/site_page.h"

// The Copy dialogs: the user ticks columns and picks tabs or commas; OK puts one line per
// selected row of the list on the clipboard (copyLines). Only "&Address" is ticked and
// "Ta&bs" chosen when they open.

// "DIALOG_COPYQUIB" over the Download list's six columns.
void showCopyItemsDialog(Modal& modal, const RowList<DownloadItem>& rows);
// "DIALOG_COPYGET" over the Site List's five columns.
void showCopyLinksDialog(Modal& modal, const RowList<SitePage>& rows);

// The text as CF_TEXT on the clipboard, the clipboard opened for `owner`. False when the
// clipboard could not be had; the text is then not placed.
bool putClipboardText(HWND owner, const std::string& text);
