#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "platform/modal_messages.h"

// The only way the program opens modal user interface: message boxes, dialogs and popup
// menus. Each first runs the preparation (the drawn controls let go of the mouse and are
// refreshed, so none stays hot or pressed under the modal element) and counts the depth;
// while the depth is not 0 the drawn controls take the cursor to be nowhere. Every dialog,
// message box and property sheet opened meanwhile on this thread opens centred on its owner
// (see centreOnOwner).
class Modal final : public ModalMessages {
 public:
  Modal() = default;
  Modal(const Modal&) = delete;
  Modal& operator=(const Modal&) = delete;

  void setMainWindow(HWND window) { mainWindow_ = window; }
  HWND mainWindow() const { return mainWindow_; }
  // Run before every modal element, after the depth has been raised.
  void setPreparation(std::function<void()> prepare) { prepare_ = std::move(prepare); }
  int depth() const { return depth_; }

  // A message box owned by the main window (or by `owner`, a modal window open over it);
  // true for OK or Yes.
  bool showMessage(const std::string& caption, const std::string& text, UINT type,
                   HWND owner = nullptr);
  // ModalMessages: the same, answering the button pressed (IDOK, IDYES, ...).
  int show(const std::string& title, const std::string& text, uint32_t style) override;
  // A dialog from the program's resources, owned by the main window; without a procedure
  // the dialog closes on OK or Cancel. Gives the dialog's result. A dialog opened from
  // another modal window passes that window as `owner`, so that one stays disabled.
  INT_PTR showDialog(DLGPROC procedure, const char* resourceName, LPARAM parameter,
                     HWND owner = nullptr);
  // A popup menu at the left edge and bottom of a client rectangle (or at the cursor when
  // there is none); the chosen command, 0 for none. The loaded menu is destroyed.
  UINT trackMenu(const RECT* clientRect, HMENU loaded, HMENU popup, bool fromTray);
  // Any other modal element (a property sheet): `show` runs after the preparation, with
  // the depth raised, and its result is returned.
  template <class Show>
  auto showModal(Show show) {
    prepare();
    auto result = show();
    finish();
    return result;
  }

 private:
  void prepare();
  void finish();

  HWND mainWindow_ = nullptr;
  int depth_ = 0;
  std::function<void()> prepare_;
  HHOOK centring_ = nullptr;  // while the depth is not 0
};

// Places a top-level window centred on its owner's window (on the work area of the monitor
// when it has no visible owner), moved as little as needed to lie wholly on that monitor's
// work area. Child windows are left alone.
void centreOnOwner(HWND window);
