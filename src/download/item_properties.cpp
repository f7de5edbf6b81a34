#include "download/item_properties.h"

ItemProperties itemProperties(ItemCommands& commands, const DownloadItem& item) {
  ItemColumns columns = commands.itemColumns(item);
  ItemProperties shown;
  shown.name = item.address.displayName;
  shown.type = item.address.typeName;
  shown.address = item.address.fullAddress;
  shown.status = columns.status.empty() ? "Pending" : columns.status;
  shown.size = columns.size.empty() ? "(Unknown)" : columns.size;
  shown.savedTo = item.savedPath.empty() ? "(Not Saved)" : item.savedPath;
  shown.canOpenSavedFile = commands.hasSavedFile(item);
  return shown;
}
