#include "dialogs/item_properties_dialog.h"

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_support.h"
#include "download/item_properties.h"

namespace {

struct ItemDialogState {
  ItemCommands& commands;
  const DownloadItem& item;
};

INT_PTR CALLBACK itemPropertiesDialog(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto* state = dialogState<ItemDialogState>(dialog, message, l);
  if (!state) return FALSE;
  if (message == WM_INITDIALOG) {
    ItemProperties shown = itemProperties(state->commands, state->item);
    setItemText(dialog, CTL_NAME, shown.name);
    setItemText(dialog, CTL_TYPE, shown.type);
    setItemText(dialog, CTL_ADDRESS, shown.address);
    setItemText(dialog, CTL_STATUS, shown.status);
    setItemText(dialog, CTL_SIZE, shown.size);
    setItemText(dialog, CTL_SAVED_TO, shown.savedTo);
    enableItem(dialog, CTL_OPEN_SAVED, shown.canOpenSavedFile);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(w)) {
    case CTL_OPEN:
      state->commands.openItem(state->item, OpenTarget::kAddress);
      return TRUE;
    case CTL_OPEN_SAVED:
      state->commands.openItem(state->item, OpenTarget::kSavedFile);
      return TRUE;
    case IDOK:
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void showItemProperties(Modal& modal, ItemCommands& commands, const DownloadItem& item) {
  ItemDialogState state{commands, item};
  modal.showDialog(itemPropertiesDialog, "PROPERTIES_QUIB", reinterpret_cast<LPARAM>(&state));
}
