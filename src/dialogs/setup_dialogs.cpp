#include "dialogs/setup_dialogs.h"

#include <string>

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_support.h"
#include "platform/product.h"
#include "store/installation.h"

namespace {

// The four dialogs close on OK or Cancel; Escape counts as Cancel.
INT_PTR endOnOkOrCancel(HWND dialog, WPARAM w, INT_PTR result) {
  if (LOWORD(w) != IDOK && LOWORD(w) != IDCANCEL) return FALSE;
  EndDialog(dialog, result);
  return TRUE;
}

INT_PTR CALLBACK welcomeDialog(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    SetWindowTextA(dialog, reinterpret_cast<const std::string*>(l)->c_str());
    setItemText(dialog, CTL_LICENCE_NOTICE, product::kLicenceNotice);
    return TRUE;
  }
  if (message == WM_COMMAND) return endOnOkOrCancel(dialog, w, LOWORD(w));
  return FALSE;
}

INT_PTR CALLBACK updateDialog(HWND dialog, UINT message, WPARAM w, LPARAM) {
  if (message == WM_INITDIALOG) {
    setChecked(dialog, CTL_DELETE_OLD, true);
    return TRUE;
  }
  if (message == WM_COMMAND) {
    return endOnOkOrCancel(dialog, w, isChecked(dialog, CTL_DELETE_OLD) ? 1 : 0);
  }
  return FALSE;
}

INT_PTR CALLBACK removeDialog(HWND dialog, UINT message, WPARAM w, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND) return endOnOkOrCancel(dialog, w, LOWORD(w) == IDOK ? 1 : 0);
  return FALSE;
}

INT_PTR CALLBACK removedDialog(HWND dialog, UINT message, WPARAM w, LPARAM) {
  if (message == WM_INITDIALOG) {
    setItemText(dialog, CTL_SUPPORT_ADDRESS, product::kSupportAddress);
    return TRUE;
  }
  if (message == WM_COMMAND) return endOnOkOrCancel(dialog, w, LOWORD(w));
  return FALSE;
}

class DialogSetupScreens final : public SetupScreens {
 public:
  explicit DialogSetupScreens(Modal& modal) : modal_(modal) {}

  void showWelcome(const std::string& caption) override {
    modal_.showDialog(welcomeDialog, "DIALOG_SETUP", reinterpret_cast<LPARAM>(&caption));
  }
  bool askDeleteOldCopies() override {
    return modal_.showDialog(updateDialog, "DIALOG_SETUPUPDATE", 0) == 1;
  }
  bool confirmRemoval() override {
    return modal_.showDialog(removeDialog, "DIALOG_SETUPREMOVE", 0) == 1;
  }
  void showRemoved() override { modal_.showDialog(removedDialog, "DIALOG_SETUPREMOVED", 0); }

 private:
  Modal& modal_;
};

}  // namespace

void runSetup(const SetupContext& context, int32_t setupLevel) {
  DialogSetupScreens screens(context.modal);
  Installer installer(context.fileOps, context.registry, context.shell, context.scripts,
                      context.text, context.folders, screens);
  installer.runSetup(setupLevel);
}

void runRemoval(const SetupContext& context) {
  DialogSetupScreens screens(context.modal);
  Installer installer(context.fileOps, context.registry, context.shell, context.scripts,
                      context.text, context.folders, screens);
  installer.runRemoval();
}
