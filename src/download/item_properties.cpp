#include "download/item_properties.h"

ItemProperties itemProperties(ItemCommands& commands, const DownloadItem& item) {
  ItemColumns columns = commands.itemColumns(item);
  ItemProperties shown;
  shown.name = shownName(item);
  shown.type = item.address.typeName;
  // Where the bytes came from: an https address that redirected to http says so here.
  shown.address = item.finalAddress.empty() ? item.address.fullAddress : item.finalAddress;
  shown.status = columns.status.empty() ? "Pending" : columns.status;
  shown.size = columns.size.empty() ? "(Unknown)" : columns.size;
  shown.savedTo = item.savedPath.empty() ? "(Not Saved)" : item.savedPath;
  shown.canOpenSavedFile = commands.hasSavedFile(item);
  return shown;
}
