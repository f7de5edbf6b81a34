#pragma once
#include <string>

#include "download/download_item.h"
#include "download/item_commands.h"

// What the Properties dialog of a download item shows, taken once when it opens.
struct ItemProperties {
  std::string name;
  std::string type;
  std::string address;
  std::string status;   // "Pending" when the row's Status text is empty
  std::string size;     // "(Unknown)" when the row's Size text is empty
  std::string savedTo;  // "(Not Saved)" when there is no saved path
  bool canOpenSavedFile = false;
};

ItemProperties itemProperties(ItemCommands& commands, const DownloadItem& item);
