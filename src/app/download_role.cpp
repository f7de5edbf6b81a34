#include "app/download_role.h"

#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/clipboard.h"
#include "app/download_order.h"
#include "app/menu_ids.h"
#include "app/size_cell.h"
#include "dialogs/delete_dialog.h"

namespace {

bool controlHeld() {
  return GetKeyState(VK_CONTROL) < 0;
}

}  // namespace

const DownloadRole::Command DownloadRole::kCommands[] = {
    {menu_id::kGet, &DownloadRole::getSelected},
    {menu_id::kPause, &DownloadRole::pauseSelected},
    {menu_id::kOpen, &DownloadRole::openAddress},
    {menu_id::kOpenSaved, &DownloadRole::openSavedFile},
    {menu_id::kOpenFolder, &DownloadRole::openContainingFolder},
    {menu_id::kCopyText, &DownloadRole::copyText},
    {menu_id::kGetFirst, &DownloadRole::getFirst},
    {menu_id::kGetLast, &DownloadRole::getLast},
    {menu_id::kSetInactive, &DownloadRole::setInactive},
    {menu_id::kReset, &DownloadRole::resetSelected},
    {menu_id::kRemove, &DownloadRole::removeSelected},
    {menu_id::kDelete, &DownloadRole::deleteSelected},
    {menu_id::kProperties, &DownloadRole::showProperties},
};

DownloadRole::DownloadRole(App& app) : app_(app) {
  header_.attach(app.windows().list);
}

void DownloadRole::createColumns(int clientWidth) {
  header_.createColumns(downloadColumns(clientWidth, GetSystemMetrics(SM_CXVSCROLL)));
}

void DownloadRole::addNewRows() {
  DownloadQueue& queue = app_.queue();
  RowList<DownloadItem>& rows = app_.downloadRows();
  // Each item has a row, and each row an item, once the new items have theirs: the new
  // items are as many as the queue has items more than the list has rows.
  const int shown = rows.rowCount();
  if (queue.size() <= static_cast<size_t>(shown)) return;
  const size_t count = queue.size() - static_cast<size_t>(shown);
  std::vector<DownloadItem*> fresh;
  fresh.reserve(count);
  for (DownloadItem* item = queue.first(); item && fresh.size() < count; item = item->next)
    if (!item->rowShown) fresh.push_back(item);
  const int n = static_cast<int>(fresh.size());
  if (n == 0) return;
  // Into an empty list the rows go in the default order, sorted here rather than in the
  // list: a stable sort of the queue's order by status alone, as sortListBy would make it.
  const bool first = shown == 0;
  if (first && header_.prepareSort(-2)) {
    const int direction = header_.direction();
    const ByteText& text = app_.text();
    std::stable_sort(fresh.begin(), fresh.end(), [&](const DownloadItem* a, const DownloadItem* b) {
      return direction * compareDownloadStatus(*a, *b, text) < 0;
    });
  }
  rows.beginBatch(n);
  for (DownloadItem* item : fresh) {
    item->rowShown = true;
    rows.appendRow(app_.commands().rowCells(*item), 6, item);
  }
  rows.endBatch(n);
  if (!first) rows.showLastRow();
}

void DownloadRole::sortBy(int column) {
  const ByteText& text = app_.text();
  sortListBy(header_, app_.downloadRows(), column,
             [&](const DownloadItem& a, const DownloadItem& b, int c) {
               return compareDownloadRows(a, b, c, text);
             });
}

ButtonStates DownloadRole::buttonStates() {
  ButtonStates states;
  states.paused = app_.currentSettings().paused != 0;
  states.rowsSelected = app_.downloadRows().selectedCount() > 0;
  return states;
}

void DownloadRole::onControlClicked(int control) {
  switch (control) {
    case control::kPause:
      switchPause();
      break;
    case control::kRemove:
      removeSelected();
      break;
    case control::kAddressLink:
      pasteFromClipboard();
      break;
    case control::kGoLink:
      getTypedAddresses();
      break;
    case control::kClipboardCaption:
      SendMessageA(app_.windows().check, BM_SETCHECK,
                   app_.currentSettings().watchClipboard ? BST_UNCHECKED : BST_CHECKED, 0);
      app_.switchClipboardWatching();
      break;
    default:
      break;
  }
}

void DownloadRole::switchPause() {
  SettingsStore& settings = app_.settings();
  if (settings.settings().paused) {
    // Without a connection the connect dialog is asked for and the queue stays paused.
    if (app_.connectionCheck().connectionAvailable())
      settings.setNumberSetting("pause", &Settings::paused, 0);
    return;
  }
  settings.setNumberSetting("pause", &Settings::paused, 1);
  for (DownloadItem* item = app_.queue().first(); item; item = item->next)
    app_.commands().pauseItem(*item);
}

void DownloadRole::pasteFromClipboard() {
  app_.queue().addAddresses(readClipboardText(app_.windows().main));
}

void DownloadRole::getTypedAddresses() {
  HWND edit = app_.windows().edit;
  std::string text(GetWindowTextLengthA(edit) + 1, '\0');
  text.resize(GetWindowTextA(edit, text.data(), static_cast<int>(text.size())));
  SetWindowTextA(edit, "");
  app_.queue().addAddresses(text);
}

LRESULT DownloadRole::onListNotify(const NMHDR& header, bool& handled) {
  LRESULT answer = 0;
  // Typing in the list goes to the next row whose status begins with what was typed.
  handled = app_.downloadRows().answerNotification(header, answer);
  if (handled) return answer;
  switch (header.code) {
    case LVN_KEYDOWN:
      return onKeyDown(reinterpret_cast<const NMLVKEYDOWN&>(header));
    case NM_CUSTOMDRAW:
      return onCustomDraw(
          const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(header)), handled);
    case NM_RCLICK:
      showDownloadMenu();
      return 0;
    case NM_DBLCLK:
      if (DownloadItem* item = itemUnderCursor())
        app_.commands().openItem(*item, OpenTarget::kOpen);
      return 0;
    default:
      return 0;
  }
}

LRESULT DownloadRole::onKeyDown(const NMLVKEYDOWN& key) {
  RowList<DownloadItem>& rows = app_.downloadRows();
  if (key.wVKey == VK_RETURN) {
    if (DownloadItem* item = rows.selectionMarkRecord())
      app_.commands().openItem(*item, OpenTarget::kOpen);
  } else if (key.wVKey == VK_DELETE) {
    removeSelected();
  }
  if (!controlHeld()) return 0;
  if (key.wVKey == 'A') rows.selectAll();
  if (key.wVKey == 'C') copyText();
  if (key.wVKey == 'V') pasteFromClipboard();
  return 0;
}

LRESULT DownloadRole::onCustomDraw(NMLVCUSTOMDRAW& draw, bool& handled) {
  handled = true;
  OwnerDataRows<DownloadItem>& rows = app_.downloadRows();
  const DWORD stage = draw.nmcd.dwDrawStage;
  // The rows' icons are copied from a strip after each row is drawn (see IconStrip): the
  // list itself draws none while it paints.
  if (stage == CDDS_PREPAINT) {
    rows.setImagesDrawnByParent(true);
    return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
  }
  if (stage == CDDS_POSTPAINT) {
    rows.setImagesDrawnByParent(false);
    return CDRF_DODEFAULT;
  }
  const int row = static_cast<int>(draw.nmcd.dwItemSpec);
  const DownloadItem* item = rows.rowRecord(row);
  // Each message to this window costs under Wine: only a row with a Size bar has its cells
  // drawn one by one, each with a message of its own.
  if (stage == CDDS_ITEMPREPAINT)
    return (showsSizeBar(item) ? CDRF_NOTIFYSUBITEMDRAW : CDRF_DODEFAULT) | CDRF_NOTIFYPOSTPAINT;
  if (stage == CDDS_ITEMPOSTPAINT) {
    drawRowIcons(draw.nmcd.hdc, row);
    return CDRF_DODEFAULT;
  }
  if (stage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM) &&
      paintSizeCell(draw, item, app_.windows().list, app_.theme()))
    return CDRF_SKIPDEFAULT;
  return CDRF_DODEFAULT;
}

// As the list draws them: on the list's background, blended with the highlight colour
// when the row is selected and the list has the focus.
void DownloadRole::drawRowIcons(HDC dc, int row) {
  HWND list = app_.windows().list;
  const HIMAGELIST images = app_.images().imageList();
  OwnerDataRows<DownloadItem>& rows = app_.downloadRows();
  const bool selected =
      (SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
  const UINT style = selected && GetFocus() == list ? ILD_SELECTED : ILD_NORMAL;
  const auto background = static_cast<COLORREF>(SendMessageA(list, LVM_GETBKCOLOR, 0, 0));
  for (int column = 0; column < 2; ++column) {
    const int image = rows.cellImage(row, column);
    if (image < 0) continue;
    RECT box = {};
    box.top = column;
    box.left = LVIR_ICON;
    if (!SendMessageA(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&box))) continue;
    icons_.draw(images, image, dc, box, background, style);
  }
}

DownloadItem* DownloadRole::itemUnderCursor() const {
  HWND list = app_.windows().list;
  LVHITTESTINFO hit = {};
  GetCursorPos(&hit.pt);
  ScreenToClient(list, &hit.pt);
  int row = static_cast<int>(SendMessageA(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  return row < 0 ? nullptr : app_.downloadRows().rowRecord(row);
}

DownloadItem* DownloadRole::actedOnItem() const {
  if (!actedOn_ || app_.downloadRows().findRow(actedOn_) < 0) return nullptr;
  return actedOn_;
}

void DownloadRole::showDownloadMenu() {
  DownloadItem* underCursor = itemUnderCursor();
  if (!underCursor) return;
  UINT command = app_.showContextMenu(menu_id::kDownloadMenu, nullptr, false,
                                      [&](HMENU menu) { prepareDownloadMenu(menu, underCursor); });
  app_.runCommand(command);
}

void DownloadRole::prepareDownloadMenu(HMENU menu, DownloadItem* underCursor) {
  RowList<DownloadItem>& rows = app_.downloadRows();
  actedOn_ = underCursor;
  bool anyQueued = false, anyActive = false;
  for (int row = rows.nextSelected(-1); row >= 0; row = rows.nextSelected(row)) {
    DownloadItem* item = rows.rowRecord(row);
    if (!item) continue;
    actedOn_ = item;
    anyQueued = anyQueued || ItemCommands::canGet(*item);
    anyActive = anyActive || ItemCommands::isActive(*item);
  }
  if (!anyQueued) setMenuItem(menu, menu_id::kGet, nullptr, MFS_GRAYED);
  if (!anyActive) setMenuItem(menu, menu_id::kPause, nullptr, MFS_GRAYED);
  if (actedOn_ && app_.commands().hasSavedFile(*actedOn_)) {
    setMenuItem(menu, menu_id::kOpenSaved, nullptr, MFS_DEFAULT);
  } else {
    setMenuItem(menu, menu_id::kOpen, nullptr, MFS_DEFAULT);
    setMenuItem(menu, menu_id::kOpenSaved, nullptr, MFS_GRAYED);
    setMenuItem(menu, menu_id::kOpenFolder, nullptr, MFS_GRAYED);
  }
}

bool DownloadRole::onMenuCommand(UINT command) {
  for (const Command& entry : kCommands) {
    if (entry.command == command) {
      (this->*entry.handler)();
      return true;
    }
  }
  return false;
}

void DownloadRole::forEachSelected(void (ItemCommands::*command)(DownloadItem&)) {
  RowList<DownloadItem>& rows = app_.downloadRows();
  for (int row = rows.nextSelected(-1); row >= 0; row = rows.nextSelected(row))
    if (DownloadItem* item = rows.rowRecord(row)) (app_.commands().*command)(*item);
}

// After a Pause or Reset from the menu, so that the scheduler does not start the item
// again at once.
void DownloadRole::pauseQueue() {
  if (!app_.currentSettings().paused)
    app_.settings().setNumberSetting("pause", &Settings::paused, 1);
}

void DownloadRole::getSelected() {
  forEachSelected(&ItemCommands::startItem);
}

void DownloadRole::pauseSelected() {
  forEachSelected(&ItemCommands::pauseItem);
  pauseQueue();
}

void DownloadRole::openAddress() {
  if (DownloadItem* item = actedOnItem()) app_.commands().openItem(*item, OpenTarget::kAddress);
}

void DownloadRole::openSavedFile() {
  if (DownloadItem* item = actedOnItem()) app_.commands().openItem(*item, OpenTarget::kSavedFile);
}

void DownloadRole::openContainingFolder() {
  if (DownloadItem* item = actedOnItem())
    app_.commands().openItem(*item, OpenTarget::kContainingFolder);
}

void DownloadRole::copyText() {
  if (app_.dialogs().showCopyText) app_.dialogs().showCopyText(app_, "DIALOG_COPYQUIB");
}

void DownloadRole::getFirst() {
  app_.commands().markSelected(MarkMode::kFirst);
}
void DownloadRole::getLast() {
  app_.commands().markSelected(MarkMode::kLast);
}
void DownloadRole::setInactive() {
  app_.commands().markSelected(MarkMode::kInactive);
}

void DownloadRole::resetSelected() {
  app_.commands().clearSelected(ClearAction::kReset, SavedFileDeletion::kNone);
  pauseQueue();
}

void DownloadRole::removeSelected() {
  actedOn_ = nullptr;
  app_.commands().clearSelected(ClearAction::kRemove, SavedFileDeletion::kNone);
}

void DownloadRole::deleteSelected() {
  actedOn_ = nullptr;
  showDeleteDialog(app_.modal(), app_.commands());
}

void DownloadRole::showProperties() {
  DownloadItem* item = actedOnItem();
  if (item && app_.dialogs().showItemProperties) app_.dialogs().showItemProperties(app_, *item);
}
