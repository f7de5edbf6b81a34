#include "app/modal.h"

#include <algorithm>
#include <utility>

namespace {

INT_PTR CALLBACK closeOnOkOrCancel(HWND dialog, UINT message, WPARAM w, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(w));
    return TRUE;
  }
  return FALSE;
}

// Centres each dialog of the thread once its procedure has set it up (and, for a property
// sheet, sized it), before it is shown.
LRESULT CALLBACK centreNewDialogs(int code, WPARAM w, LPARAM l) {
  if (code == HC_ACTION) {
    const auto& call = *reinterpret_cast<const CWPRETSTRUCT*>(l);
    if (call.message == WM_INITDIALOG) centreOnOwner(call.hwnd);
  }
  return CallNextHookEx(nullptr, code, w, l);
}

}  // namespace

void centreOnOwner(HWND window) {
  if (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) return;
  RECT placed = {};
  if (!GetWindowRect(window, &placed)) return;
  HWND owner = GetWindow(window, GW_OWNER);
  const bool onOwner = owner && IsWindowVisible(owner) && !IsIconic(owner);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromWindow(onOwner ? owner : window, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT work = monitor.rcWork;
  RECT around = work;
  if (onOwner) GetWindowRect(owner, &around);
  const int width = placed.right - placed.left, height = placed.bottom - placed.top;
  int x = around.left + (around.right - around.left - width) / 2;
  int y = around.top + (around.bottom - around.top - height) / 2;
  // Wholly on the work area; its top left corner first when it is larger than that.
  x = std::max<int>(std::min<int>(x, work.right - width), work.left);
  y = std::max<int>(std::min<int>(y, work.bottom - height), work.top);
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Modal::prepare() {
  if (++depth_ == 1) {
    centring_ =
        SetWindowsHookExA(WH_CALLWNDPROCRET, centreNewDialogs, nullptr, GetCurrentThreadId());
  }
  if (prepare_) prepare_();
}

void Modal::finish() {
  if (--depth_ == 0 && centring_) UnhookWindowsHookEx(std::exchange(centring_, nullptr));
}

bool Modal::showMessage(const std::string& caption, const std::string& text, UINT type,
                        HWND owner) {
  prepare();
  int answer = MessageBoxA(owner ? owner : mainWindow_, text.c_str(), caption.c_str(), type);
  finish();
  return answer == IDOK || answer == IDYES;
}

int Modal::show(const std::string& title, const std::string& text, uint32_t style) {
  prepare();
  int answer = MessageBoxA(mainWindow_, text.c_str(), title.c_str(), style);
  finish();
  return answer;
}

INT_PTR Modal::showDialog(DLGPROC procedure, const char* resourceName, LPARAM parameter,
                          HWND owner) {
  prepare();
  INT_PTR result =
      DialogBoxParamA(GetModuleHandleA(nullptr), resourceName, owner ? owner : mainWindow_,
                      procedure ? procedure : closeOnOkOrCancel, parameter);
  finish();
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
  finish();
  // The tray menu must see one more message, or it does not close when clicked away.
  if (fromTray) PostMessageA(mainWindow_, WM_NULL, 0, 0);
  if (loaded) DestroyMenu(loaded);
  return command;
}
