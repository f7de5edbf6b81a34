#pragma once
#include <windows.h>

#include "app/modal.h"
#include "download/item_commands.h"

// The Delete dialog ("DIALOG_DELETE") for the selected rows: Reset or Remove, and whether
// their saved files (and the folders this empties) go too. OK runs clearSelected. The
// dialog's result: IDOK or IDCANCEL.
INT_PTR showDeleteDialog(Modal& modal, ItemCommands& commands);

// The dialog procedure, for a dialog opened with the ItemCommands as its parameter.
INT_PTR CALLBACK deleteDialogProcedure(HWND dialog, UINT message, WPARAM w, LPARAM l);
