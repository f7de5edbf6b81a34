#pragma once
#include "app/modal.h"
#include "download/download_item.h"
#include "download/item_commands.h"

// Properties of a download item ("PROPERTIES_QUIB"): its texts as they are when the dialog
// opens; "&Open" opens its address and "O&pen" (enabled only when the saved file exists)
// the saved file, as the item is when the button is pressed.
void showItemProperties(Modal& modal, ItemCommands& commands, const DownloadItem& item);
