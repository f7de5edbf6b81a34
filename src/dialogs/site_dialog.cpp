#include "dialogs/site_dialog.h"

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_support.h"
#include "platform/product.h"
#include "store/site_credentials.h"
#include "store/site_entry_edit.h"

namespace {

struct SiteDialogState {
  SettingsStore& settings;
  const ByteText& text;
  std::string openedFor;  // the site being edited; empty when adding
};

void updateOk(HWND dialog, const SiteDialogState& state) {
  enableItem(dialog, IDOK,
             canSaveSiteEntry(state.text, itemText(dialog, CTL_SITE),
                              itemText(dialog, CTL_USER_NAME), itemText(dialog, CTL_REFERRER),
                              isChecked(dialog, CTL_ACCEPT_CERTIFICATES)));
}

void fill(HWND dialog, const SiteDialogState& state) {
  setItemText(dialog, CTL_SITE_HINT,
              "Type the site's full name, such as " + std::string(product::kExampleHost) +
                  ", or just its end, such as " + std::string(product::kExampleDomain) + ".");
  if (state.openedFor.empty()) {
    SetWindowTextA(dialog, "Add Password or Referrer");
  } else {
    SetWindowTextA(dialog, "Edit Password or Referrer");
    for (const SiteCredential& entry : parseSiteTable(state.settings.settings().siteTable)) {
      if (entry.site != state.openedFor) continue;
      setItemText(dialog, CTL_SITE, entry.site);
      setItemText(dialog, CTL_USER_NAME, entry.userName);
      setItemText(dialog, CTL_PASSWORD, entry.password);
      setItemText(dialog, CTL_REFERRER, entry.referrer);
      setChecked(dialog, CTL_ACCEPT_CERTIFICATES,
                 siteAcceptsCertificateErrors(state.settings.settings(), entry.site));
      break;
    }
  }
  updateOk(dialog, state);
}

INT_PTR CALLBACK siteDialog(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto* state = dialogState<SiteDialogState>(dialog, message, l);
  if (!state) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      fill(dialog, *state);
      return TRUE;
    case WM_COMMAND: {
      int id = LOWORD(w), code = HIWORD(w);
      if (code == EN_CHANGE && (id == CTL_SITE || id == CTL_USER_NAME || id == CTL_REFERRER)) {
        updateOk(dialog, *state);
        return TRUE;
      }
      if (code == BN_CLICKED && id == CTL_ACCEPT_CERTIFICATES) {
        updateOk(dialog, *state);
        return TRUE;
      }
      if (code == EN_SETFOCUS && id == CTL_REFERRER) {
        std::string referrer = suggestedReferrer(state->text, itemText(dialog, CTL_SITE),
                                                 itemText(dialog, CTL_REFERRER));
        if (!referrer.empty()) setItemText(dialog, CTL_REFERRER, referrer);
        return TRUE;
      }
      if (id == IDOK) {
        // Enter reaches here even while OK is disabled; an entry that cannot be saved stays.
        if (saveSiteEntry(state->settings, state->text, state->openedFor,
                          itemText(dialog, CTL_SITE), itemText(dialog, CTL_USER_NAME),
                          itemText(dialog, CTL_PASSWORD), itemText(dialog, CTL_REFERRER),
                          isChecked(dialog, CTL_ACCEPT_CERTIFICATES))) {
          EndDialog(dialog, IDOK);
        }
        return TRUE;
      }
      if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    }
  }
  return FALSE;
}

}  // namespace

bool showSiteDialog(Modal& modal, HWND owner, SettingsStore& settings, const ByteText& text,
                    const std::string& site) {
  SiteDialogState state{settings, text, site};
  return modal.showDialog(siteDialog, "DIALOG_PASS", reinterpret_cast<LPARAM>(&state), owner) ==
         IDOK;
}
