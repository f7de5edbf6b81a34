#include "app/site_role.h"

#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <algorithm>

#include "app/app.h"
#include "app/clipboard.h"
#include "app/menu_ids.h"
#include "site/site_list.h"

namespace {

bool controlHeld() {
  return GetKeyState(VK_CONTROL) < 0;
}

}  // namespace

SiteRole::SiteRole(App& app)
    : app_(app),
      tree_(app.windows().tree),
      rows_(app.siteRows()),
      frame_(app.windows().main, app.windows().edit, app.windows().tree),
      explorer_(app.text(), app.parser(), app.fileOps(), app.engine(),
                SiteViews{tree_, rows_, frame_, app.modal(), app.platform().shell, waiting_},
                app.outgoingAddresses()),
      crawl_(explorer_, app.settings(), app.connectionCheck()) {
  header_.attach(app.windows().list);
}

// The explorer ends the pages' jobs without a word to the views, which may be gone.
SiteRole::~SiteRole() = default;

void SiteRole::createColumns(int clientWidth) {
  header_.createColumns(siteColumns(clientWidth, GetSystemMetrics(SM_CXVSCROLL)));
}

// The idle pass's first step, where its count of control work begins.
void SiteRole::addNewRows() {
  explorer_.beginPass();
  if (explorer_.addWaitingRows()) sortBy(-2);
}

void SiteRole::sortBy(int column) {
  const ByteText& text = app_.text();
  sortListBy(header_, rows_, column, [&](const SitePage& a, const SitePage& b, int c) {
    return compareSiteRows(a, b, c, text);
  });
}

ButtonStates SiteRole::buttonStates() {
  ButtonStates states;
  states.rowsSelected = rows_.selectedCount() > 0;
  states.canGoBack = explorer_.canGoBack();
  states.canGoForward = explorer_.canGoForward();
  states.canStop = crawl_.canStop();
  states.canRefresh = explorer_.canRefresh();
  states.expandAll = crawl_.expandPressed();
  return states;
}

void SiteRole::onControlClicked(int control) {
  switch (control) {
    case control::kBack:
      explorer_.goBack();
      break;
    case control::kForward:
      explorer_.goForward();
      break;
    case control::kStop:
      crawl_.stop();
      break;
    case control::kRefresh:
      explorer_.refresh();
      break;
    case control::kExpand:
      crawl_.toggleExpand();
      break;
    case control::kGet:
      explorer_.sendSelectedToQueue();
      break;
    case control::kAddressLink:
      pasteAndGo();
      break;
    case control::kGoLink:
      openAddressBox();
      break;
    default:
      break;
  }
}

std::string SiteRole::addressBoxText() const {
  HWND edit = app_.windows().edit;
  std::string text(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
  text.resize(static_cast<size_t>(
      std::max(0, GetWindowTextA(edit, text.data(), static_cast<int>(text.size())))));
  return text;
}

void SiteRole::openAddressBox() {
  explorer_.openTypedAddress(addressBoxText());
}

void SiteRole::pasteAndGo() {
  const std::string text = readClipboardText(app_.windows().main);
  SetWindowTextA(app_.windows().edit, text.c_str());
  explorer_.openTypedAddress(text);
}

LRESULT SiteRole::onTreeNotify(const NMHDR& header, bool& handled) {
  // Asked for each item the control draws: the tree fills in the notification it was given.
  handled = tree_.answerDisplayInfo(const_cast<NMHDR&>(header));
  if (handled) return 0;
  if (header.code == TVN_KEYDOWN) {
    const auto& key = reinterpret_cast<const NMTVKEYDOWN&>(header);
    if (controlHeld() && key.wVKey == 'A') {
      SetFocus(app_.windows().list);
      rows_.selectAll();
    }
    return 0;
  }
  if (header.code == NM_RCLICK) {
    showTreeMenu();
    // Answered: the control sends no WM_CONTEXTMENU after the menu.
    handled = true;
    return 1;
  }
  const TreeNotification read = readTreeNotification(header);
  switch (read.kind) {
    case TreeNotification::Kind::kSelectionChanged:
      explorer_.onTreeSelectionChanged(read.item);
      break;
    case TreeNotification::Kind::kExpanded:
      explorer_.onTreeItemExpanded(read.item);
      break;
    case TreeNotification::Kind::kCollapsed:
      explorer_.onTreeItemCollapsed(read.item);
      break;
    case TreeNotification::Kind::kNone:
      break;
  }
  return 0;
}

LRESULT SiteRole::onListNotify(const NMHDR& header, bool& handled) {
  LRESULT answer = 0;
  // Typing in the list goes to the next row whose name begins with what was typed.
  handled = rows_.answerNotification(header, answer);
  if (handled) return answer;
  switch (header.code) {
    case LVN_KEYDOWN:
      return onListKeyDown(reinterpret_cast<const NMLVKEYDOWN&>(header));
    case NM_RCLICK:
      showListMenu();
      return 0;
    case NM_DBLCLK:
      if (SitePage* page = rowUnderCursor()) explorer_.openRow(*page);
      return 0;
    default:
      return 0;
  }
}

LRESULT SiteRole::onListKeyDown(const NMLVKEYDOWN& key) {
  if (key.wVKey == VK_RETURN) {
    if (SitePage* page = rows_.selectionMarkRecord()) explorer_.openRow(*page);
  }
  if (!controlHeld()) return 0;
  if (key.wVKey == 'A') rows_.selectAll();
  if (key.wVKey == 'C' && app_.dialogs().showCopyText)
    app_.dialogs().showCopyText(app_, "DIALOG_COPYGET");
  return 0;
}

SitePage* SiteRole::rowUnderCursor() const {
  HWND list = app_.windows().list;
  LVHITTESTINFO hit = {};
  GetCursorPos(&hit.pt);
  ScreenToClient(list, &hit.pt);
  const int row =
      static_cast<int>(SendMessageA(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  return row < 0 ? nullptr : rows_.rowRecord(row);
}

void SiteRole::showTreeMenu() {
  SitePage* page = tree_.recordUnderCursor();
  if (!page) return;
  const UINT command = app_.showContextMenu(menu_id::kSiteTreeMenu, nullptr, false,
                                            [&](HMENU menu) { prepareTreeMenu(menu, *page); });
  // Pages are freed only by commands, so the page outlived the open menu.
  menuPage_ = page;
  app_.runCommand(command);
  menuPage_ = nullptr;
}

void SiteRole::prepareTreeMenu(HMENU menu, const SitePage& page) const {
  setMenuItem(menu, menu_id::kTreeOpen, nullptr, MFS_DEFAULT);
  if (!explorer_.canElevate(page)) setMenuItem(menu, menu_id::kTreeElevate, nullptr, MFS_GRAYED);
}

void SiteRole::showListMenu() {
  SitePage* page = rowUnderCursor();
  if (!page) return;
  const UINT command = app_.showContextMenu(menu_id::kSiteListMenu, nullptr, false, [](HMENU menu) {
    setMenuItem(menu, menu_id::kListOpen, nullptr, MFS_DEFAULT);
  });
  menuPage_ = page;
  app_.runCommand(command);
  menuPage_ = nullptr;
}

SitePage* SiteRole::treeCommandPage() const {
  if (menuPage_) return menuPage_;
  if (SitePage* page = tree_.recordUnderCursor()) return page;
  return tree_.selectedRecord();
}

SitePage* SiteRole::listCommandPage() const {
  return menuPage_ ? menuPage_ : rowUnderCursor();
}

bool SiteRole::onMenuCommand(UINT command) {
  switch (command) {
    case menu_id::kTreeOpen:
      if (SitePage* page = treeCommandPage()) explorer_.openPage(*page);
      return true;
    case menu_id::kTreeElevate:
      if (SitePage* page = treeCommandPage()) explorer_.elevate(*page);
      return true;
    case menu_id::kTreeProperties:
      if (SitePage* page = treeCommandPage(); page && app_.dialogs().showPageProperties)
        app_.dialogs().showPageProperties(app_, *page);
      return true;
    case menu_id::kListOpen:
      if (SitePage* page = listCommandPage()) explorer_.openRow(*page);
      return true;
    case menu_id::kListOpenPage:
      if (SitePage* page = listCommandPage()) explorer_.openContainingPage(*page);
      return true;
    case menu_id::kListGet:
      explorer_.sendSelectedToQueue();
      return true;
    case menu_id::kListCopyText:
      if (app_.dialogs().showCopyText) app_.dialogs().showCopyText(app_, "DIALOG_COPYGET");
      return true;
    case menu_id::kListProperties:
      if (SitePage* page = listCommandPage(); page && app_.dialogs().showLinkProperties)
        app_.dialogs().showLinkProperties(app_, *page);
      return true;
    default:
      return false;
  }
}
