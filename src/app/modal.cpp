#include "app/modal.h"

namespace {

INT_PTR CALLBACK closeOnOkOrCancel(HWND dialog, UINT message, WPARAM w, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(w));
    return TRUE;
  }
  return FALSE;
}

}  // namespace

void Modal::prepare() {
  ++depth_;
  if (prepare_) prepare_();
}

bool Modal::showMessage(const std::string& caption, const std::string& text, UINT type,
                        HWND owner) {
  prepare();
  int answer = MessageBoxA(owner ? owner : mainWindow_, text.c_str(), caption.c_str(), type);
  --depth_;
  return answer == IDOK || answer == IDYES;
}

int Modal::show(const std::string& title, const std::string& text, uint32_t style) {
  prepare();
  int answer = MessageBoxA(mainWindow_, text.c_str(), title.c_str(), style);
  --depth_;
  return answer;
}

INT_PTR Modal::showDialog(DLGPROC procedure, const char* resourceName, LPARAM parameter,
                          HWND owner) {
  prepare();
  INT_PTR result =
      DialogBoxParamA(GetModuleHandleA(nullptr), resourceName, owner ? owner : mainWindow_,
                      procedure ? procedure : closeOnOkOrCancel, parameter);
  --depth_;
  return result;
}

UINT Modal::trackMenu(const RECT* clientRect, HMENU loaded, HMENU popup, bool fromTray) {
  POINT at;
  if (clientRect) {
    at = {clientRect->left, clientRect->bottom};
    ClientToScreen(mainWindow_, &at);
  } else {
    GetCursorPos(&at);
  }
  if (fromTray) SetForegroundWindow(mainWindow_);
  prepare();
  UINT command = static_cast<UINT>(TrackPopupMenu(
      popup, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, mainWindow_, nullptr));
  --depth_;
  // The tray menu must see one more message, or it does not close when clicked away.
  if (fromTray) PostMessageA(mainWindow_, WM_NULL, 0, 0);
  if (loaded) DestroyMenu(loaded);
  return command;
}
