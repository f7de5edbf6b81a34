// The menu commands, the context menus, the tray icon and the clicks on the drawn controls
// that both roles share.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <shellapi.h>

#include <iterator>

#include "app/app.h"
#include "app/menu_ids.h"
#include "platform/product.h"

namespace {

// The commands both roles handle themselves; the others go to the role's content.
struct CommandEntry {
  UINT command;
  void (App::*handler)();
};

const CommandEntry kSharedCommands[] = {
    {menu_id::kRestore, &App::restoreFromTray},
    {menu_id::kTrayExit, &App::exitFromTray},
    {menu_id::kDownloadWindow, &App::startDownloadWindow},
    {menu_id::kNewSiteWindow, &App::startSiteWindow},
    {menu_id::kOptions, &App::openOptions},
    {menu_id::kAbout, &App::showAboutBox},
};

}  // namespace

void App::runCommand(UINT command) {
  if (command == 0) return;
  for (const CommandEntry& entry : kSharedCommands) {
    if (entry.command == command) {
      (this->*entry.handler)();
      return;
    }
  }
  if (content_) content_->onMenuCommand(command);
}

void App::exitFromTray() {
  hideTrayIcon();
  PostQuitMessage(0);
}

void App::startDownloadWindow() {
  startOwnProgram("");
}
void App::startSiteWindow() {
  startOwnProgram("/site");
}

void App::openOptions() {
  if (dialogs_.openOptions) dialogs_.openOptions(*this);
}

UINT App::showContextMenu(int submenu, const RECT* clientRect, bool fromTray,
                          const std::function<void(HMENU)>& prepareMenu) {
  HMENU loaded = LoadMenuA(instance_, "MENU_CONTEXT");
  if (!loaded) return 0;
  HMENU popup = GetSubMenu(loaded, submenu);
  if (!popup) {
    DestroyMenu(loaded);
    return 0;
  }
  if (prepareMenu) prepareMenu(popup);
  return modal_.trackMenu(clientRect, loaded, popup, fromTray);
}

void setMenuItem(HMENU menu, UINT command, HBITMAP bitmap, UINT state) {
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  if (bitmap) {
    info.fMask |= MIIM_BITMAP;
    info.hbmpItem = bitmap;
  }
  if (state) {
    info.fMask |= MIIM_STATE;
    info.fState = state;
  }
  SetMenuItemInfoA(menu, command, FALSE, &info);
}

void App::showOpenMenu() {
  RECT anchor = {};
  const Rect& r = surface_.controls()[control::kOpen].rect;
  anchor = {r.x, r.y, r.right(), r.bottom()};
  runCommand(showContextMenu(menu_id::kOpenMenu, &anchor, false,
                             [this](HMENU menu) { prepareOpenMenu(menu); }));
}

void App::prepareOpenMenu(HMENU menu) {
  if (role_ == ProcessRole::kDownload) DeleteMenu(menu, menu_id::kDownloadWindow, MF_BYCOMMAND);
}

void App::showTrayMenu() {
  UINT command = showContextMenu(menu_id::kTaskbarMenu, nullptr, true, [](HMENU menu) {
    setMenuItem(menu, menu_id::kRestore, HBMMENU_POPUP_RESTORE, MFS_DEFAULT);
  });
  runCommand(command);
}

void App::showTrayIcon() {
  if (trayShown_) return;
  NOTIFYICONDATAA data = {};
  data.cbSize = sizeof data;
  data.hWnd = windows_.main;
  data.uID = 0;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayMessage;
  data.hIcon = images_.trayIcon();
  lstrcpynA(data.szTip, std::string(product::kName).c_str(), sizeof data.szTip);
  Shell_NotifyIconA(NIM_ADD, &data);
  trayShown_ = true;
}

void App::hideTrayIcon() {
  if (!trayShown_) return;
  NOTIFYICONDATAA data = {};
  data.cbSize = sizeof data;
  data.hWnd = windows_.main;
  data.uID = 0;
  Shell_NotifyIconA(NIM_DELETE, &data);
  trayShown_ = false;
}

void App::restoreFromTray() {
  hideTrayIcon();
  ShowWindow(windows_.main, SW_SHOW);
  if (IsIconic(windows_.main)) ShowWindow(windows_.main, SW_RESTORE);
}

void App::onControlClicked(int control) {
  switch (control) {
    case control::kOpen:
      showOpenMenu();
      break;
    case control::kHelp:
      openHelp();
      break;
    default:
      if (content_) content_->onControlClicked(control);
      break;
  }
}
