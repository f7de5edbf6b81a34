// The main window: its class, its child controls and its window procedure.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>
#include <windowsx.h>

#include <cstring>

#include "app/app.h"
#include "app/buffered_header.h"
#include "app/startup.h"
#include "platform/own_images.h"
#include "platform/product.h"

namespace {

constexpr int kEditId = 1, kCheckId = 2, kTreeId = 3, kListId = 4;

LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(l);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* app = reinterpret_cast<App*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!app) return DefWindowProcA(window, message, w, l);
  return app->handleMessage(window, message, w, l);
}

// The Site Window's Address box: the focus selects its text at the next idle pass, and
// Enter opens the address without the edit control's beep.
LRESULT CALLBACK addressBoxProcedure(HWND edit, UINT message, WPARAM w, LPARAM l) {
  auto* app = reinterpret_cast<App*>(GetWindowLongPtrA(edit, GWLP_USERDATA));
  auto original = reinterpret_cast<WNDPROC>(GetPropA(edit, "HaulixEditProc"));
  if (app) {
    if (message == WM_SETFOCUS) app->requests().selectAllInAddressBox = true;
    if ((message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR) && w == VK_RETURN) {
      if (message == WM_KEYDOWN && app->content()) app->content()->onAddressEnter();
      return 0;
    }
  }
  return CallWindowProcA(original, edit, message, w, l);
}

// The mouse messages a tooltip is given to show and hide its tip.
bool isToolMouseMessage(UINT message) {
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return true;
    default:
      return false;
  }
}

HWND child(HWND parent, const char* className, DWORD style, int id, HINSTANCE instance) {
  return CreateWindowExA(0, className, "", WS_CHILD | style, 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

}  // namespace

bool App::createMainWindow() {
  const bool download = role_ == ProcessRole::kDownload;
  const char* className = download ? window_class::kDownload : window_class::kSite;
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = mainWindowProcedure;
  windowClass.hInstance = instance_;
  windowClass.hIcon = images_.programIcon();
  windowClass.hIconSm = download ? images_.programSmallIcon() : images_.siteSmallIcon();
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = className;
  RegisterClassExA(&windowClass);  // already there when a test makes a second window
  windows_.main = CreateWindowExA(0, className, std::string(product::kName).c_str(),
                                  WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, nullptr, nullptr, instance_, this);
  if (!windows_.main) return false;
  createChildren();
  if (download) {
    HMENU system = GetSystemMenu(windows_.main, FALSE);
    AppendMenuA(system, MF_STRING, kExitSystemCommand, "&Exit");
  }
  SetTimer(windows_.main, kIdleTimer, kIdleMilliseconds, nullptr);
  return true;
}

void App::createChildren() {
  const bool download = role_ == ProcessRole::kDownload;
  HWND main = windows_.main;
  windows_.edit =
      child(main, "EDIT",
            download ? WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL : ES_AUTOHSCROLL,
            kEditId, instance_);
  if (download) {
    SendMessageA(windows_.edit, EM_LIMITTEXT, 0, 0);
  } else if (windows_.edit) {
    SetWindowLongPtrA(windows_.edit, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetPropA(windows_.edit, "HaulixEditProc",
             reinterpret_cast<HANDLE>(SetWindowLongPtrA(
                 windows_.edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(addressBoxProcedure))));
  }
  windows_.check = child(main, "BUTTON", BS_AUTOCHECKBOX | BS_NOTIFY, kCheckId, instance_);
  if (settings_.settings().watchClipboard)
    SendMessageA(windows_.check, BM_SETCHECK, BST_CHECKED, 0);
  windows_.tree = child(
      main, WC_TREEVIEWA,
      TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_DISABLEDRAGDROP | TVS_SHOWSELALWAYS,
      kTreeId, instance_);
  SendMessageA(windows_.tree, TVM_SETIMAGELIST, TVSIL_NORMAL,
               reinterpret_cast<LPARAM>(images_.imageList()));
  windows_.list =
      child(main, WC_LISTVIEWA,
            // Either list asks for its rows: it may hold 100,000, and a control that keeps
            // them redraws itself for each batch added.
            LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | LVS_AUTOARRANGE | LVS_ALIGNLEFT |
                LVS_OWNERDATA,
            kListId, instance_);
  SendMessageA(windows_.list, LVM_SETIMAGELIST, LVSIL_SMALL,
               reinterpret_cast<LPARAM>(images_.imageList()));
  const DWORD extended =
      download ? LVS_EX_LABELTIP | LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES : LVS_EX_LABELTIP;
  SendMessageA(windows_.list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
  // The themed header is most of what a paint of the list costs under Wine.
  paintHeaderThroughBitmap(ListView_GetHeader(windows_.list), imageIndex(OwnImage::kClear));
  windows_.tooltip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0,
                                     0, main, nullptr, instance_, nullptr);
  SetWindowPos(windows_.tooltip, HWND_TOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT App::handleMessage(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (windows_.tooltip && isToolMouseMessage(message)) relayToTooltip(window, message, w, l);
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      return onSize();
    case WM_SETFOCUS:
      onSetFocus();
      break;
    case WM_PAINT:
      onPaint();
      return 0;
    case WM_SYSCOLORCHANGE:
      onSystemChange(message, w, l, false);
      return 0;
    case WM_SETTINGCHANGE:
      onSystemChange(message, w, l, true);
      return 0;
    case WM_COPYDATA:
      if (role_ != ProcessRole::kDownload) break;
      return onCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(l));
    case WM_NOTIFY: {
      bool handled = false;
      LRESULT answer = onNotify(*reinterpret_cast<const NMHDR*>(l), handled);
      if (handled) return answer;
      break;
    }
    case WM_HELP:
      openHelp();
      break;
    case WM_COMMAND:
      onCommandMessage(w);
      break;
    case WM_SYSCOMMAND:
      if (onSystemCommand(w)) return 0;
      break;
    case WM_TIMER:
      onTimer(w);
      break;
    case WM_LBUTTONDOWN:
      onButtonDown(l);
      return 0;
    case WM_LBUTTONUP:
      onButtonUp(l);
      return 0;
    case WM_CAPTURECHANGED:
      surface_.captureChanged(reinterpret_cast<HWND>(l));
      break;
    case WM_DRAWCLIPBOARD: {
      std::string address =
          clipboard_.onDrawClipboard(w, l, settings_.settings().watchClipboard != 0, text_);
      if (!address.empty()) queue_->addAddresses(address);
      return 0;
    }
    case WM_ENDSESSION:
      // Windows ends the session without a quit message: the queue is saved now, or what
      // was added since the start would be lost.
      if (w) shutDown();
      return 0;
    case WM_CHANGECBCHAIN:
      clipboard_.onChangeChain(w, l);
      return 0;
    case kTrayMessage:
      onTrayMessage(l);
      break;
  }
  return DefWindowProcA(window, message, w, l);
}

void App::relayToTooltip(HWND window, UINT message, WPARAM w, LPARAM l) {
  MSG relayed = {window, message, w, l, static_cast<DWORD>(GetMessageTime()),
                 {GET_X_LPARAM(l), GET_Y_LPARAM(l)}};
  ClientToScreen(window, &relayed.pt);
  SendMessageA(windows_.tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

LRESULT App::onSize() {
  surface_.layout(0);
  InvalidateRect(windows_.main, nullptr, FALSE);
  UpdateWindow(windows_.main);
  return 0;
}

void App::onSetFocus() {
  SetFocus(windows_.lastFocus ? windows_.lastFocus : windows_.edit);
}

void App::onPaint() {
  PaintContext context = PaintContext::forPaint(windows_.main);
  context.setFont(theme_.base);
  context.setBackgroundColour(theme_.window);
  surface_.paint(context);
}

void App::onSystemChange(UINT message, WPARAM w, LPARAM l, bool repaint) {
  surface_.makeFontsAndColours();
  surface_.layout(0);
  if (repaint) {
    InvalidateRect(windows_.main, nullptr, TRUE);
    UpdateWindow(windows_.main);
  }
  for (HWND child : {windows_.edit, windows_.check, windows_.tree, windows_.list})
    SendMessageA(child, message, w, l);
}

LRESULT App::onCopyData(const COPYDATASTRUCT& data) {
  // The text ends at its zero, and never past the bytes that came.
  std::string text;
  if (data.lpData && data.cbData > 0) {
    const char* bytes = static_cast<const char*>(data.lpData);
    text.assign(bytes, strnlen(bytes, data.cbData));
  }
  if (text == "show")
    restoreFromTray();
  else
    queue_->addAddresses(text);
  return TRUE;
}

LRESULT App::onNotify(const NMHDR& header, bool& handled) {
  handled = false;
  if (header.hwndFrom == windows_.tree) {
    if (header.code == NM_SETFOCUS) windows_.lastFocus = windows_.tree;
    return content_ ? content_->onTreeNotify(header, handled) : 0;
  }
  if (header.hwndFrom != windows_.list) return 0;
  if (header.code == NM_SETFOCUS) windows_.lastFocus = windows_.list;
  if (header.code == LVN_COLUMNCLICK) {
    if (content_) content_->sortBy(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
    handled = true;
    return 0;
  }
  return content_ ? content_->onListNotify(header, handled) : 0;
}

void App::onCommandMessage(WPARAM w) {
  const int id = LOWORD(w), code = HIWORD(w);
  if (id == kEditId) {
    if (code == EN_SETFOCUS) windows_.lastFocus = windows_.edit;
    if (code == EN_ERRSPACE && role_ == ProcessRole::kDownload)
      modal_.showMessage(std::string(product::kName),
                         "The Addresses box cannot hold any more text. Click 'Addresses' to "
                         "paste all the text from the clipboard to the list directly.",
                         MB_ICONEXCLAMATION);
  } else if (id == kCheckId) {
    if (code == BN_CLICKED) switchClipboardWatching();
    if (code == BN_SETFOCUS) windows_.lastFocus = windows_.check;
  }
}

bool App::onSystemCommand(WPARAM w) {
  if (w == kExitSystemCommand) {
    PostQuitMessage(0);
    return true;
  }
  if ((w & 0xFFF0) == SC_CLOSE && role_ == ProcessRole::kDownload) {
    ShowWindow(windows_.main, SW_HIDE);
    showTrayIcon();
    return true;
  }
  return false;
}

void App::onTimer(WPARAM id) {
  if (id != kIdleTimer) return;
  // Killed while the pass runs, so a long pass never piles up timer messages.
  KillTimer(windows_.main, kIdleTimer);
  idlePass();
  if (!shutDown_) SetTimer(windows_.main, kIdleTimer, kIdleMilliseconds, nullptr);
}

void App::onButtonDown(LPARAM l) {
  surface_.buttonDown(GET_X_LPARAM(l), GET_Y_LPARAM(l));
  if (GetCapture() != windows_.main) SetCapture(windows_.main);
}

void App::onButtonUp(LPARAM l) {
  int clicked = surface_.buttonUp(GET_X_LPARAM(l), GET_Y_LPARAM(l));
  if (GetCapture() == windows_.main) ReleaseCapture();
  if (clicked >= 0) onControlClicked(clicked);
}

void App::onTrayMessage(LPARAM l) {
  if (l == WM_LBUTTONUP) restoreFromTray();
  if (l == WM_RBUTTONUP) showTrayMenu();
}
