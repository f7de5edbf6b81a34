#include "dialogs/link_properties_dialog.h"

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_support.h"
#include "site/page_properties.h"

namespace {

struct LinkDialogState {
  Shell& shell;
  const ByteText& text;
  const SitePage& page;
};

INT_PTR CALLBACK linkPropertiesDialog(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto* state = dialogState<LinkDialogState>(dialog, message, l);
  if (!state) return FALSE;
  if (message == WM_INITDIALOG) {
    LinkProperties shown = linkProperties(state->page, state->text);
    setItemText(dialog, CTL_NAME, shown.name);
    setItemText(dialog, CTL_TYPE, shown.type);
    setItemText(dialog, CTL_KIND, shown.kind);
    setItemText(dialog, CTL_ADDRESS, shown.address);
    setItemText(dialog, CTL_ON_PAGE, shown.onPage);
    setItemText(dialog, CTL_AT, shown.at);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(w)) {
    case CTL_OPEN:
      state->shell.open(state->page.address.fullAddress, "");
      return TRUE;
    case CTL_OPEN_SAVED:
      if (state->page.listedOnPage) {
        state->shell.open(state->page.listedOnPage->address.fullAddress, "");
      }
      return TRUE;
    case IDOK:
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void showLinkProperties(Modal& modal, Shell& shell, const ByteText& text, const SitePage& page) {
  LinkDialogState state{shell, text, page};
  modal.showDialog(linkPropertiesDialog, "PROPERTIES_GET", reinterpret_cast<LPARAM>(&state));
}
