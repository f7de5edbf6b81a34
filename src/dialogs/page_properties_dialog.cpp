#include "dialogs/page_properties_dialog.h"

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_support.h"
#include "site/page_properties.h"

namespace {

struct PageDialogState {
  Shell& shell;
  const SitePage& page;
};

INT_PTR CALLBACK pagePropertiesDialog(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto* state = dialogState<PageDialogState>(dialog, message, l);
  if (!state) return FALSE;
  if (message == WM_INITDIALOG) {
    PageProperties shown = pageProperties(state->page);
    setItemText(dialog, CTL_NAME, shown.name);
    setItemText(dialog, CTL_TYPE, shown.type);
    setItemText(dialog, CTL_TITLE, shown.title);
    setItemText(dialog, CTL_ADDRESS, shown.address);
    setItemText(dialog, CTL_STATUS, shown.status);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(w)) {
    case CTL_OPEN:
      state->shell.open(state->page.address.fullAddress, "");
      return TRUE;
    case IDOK:
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void showPageProperties(Modal& modal, Shell& shell, const SitePage& page) {
  PageDialogState state{shell, page};
  modal.showDialog(pagePropertiesDialog, "PROPERTIES_TREE", reinterpret_cast<LPARAM>(&state));
}
