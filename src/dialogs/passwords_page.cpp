#include "dialogs/passwords_page.h"

#include <commctrl.h>
#include <prsht.h>

#include <memory>
#include <string>
#include <vector>

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_support.h"
#include "dialogs/site_dialog.h"
#include "platform/win32/list_view_rows.h"
#include "store/option_values.h"
#include "store/site_credentials.h"
#include "store/site_entry_edit.h"

namespace {

constexpr char kListState[] = "HaulixPasswordsPage";

// The page's own state, made when the page is created and freed when it is destroyed. The
// rows carry pointers into `entries`, which is only replaced together with the rows.
struct PageState {
  std::vector<SiteCredential> entries;
  ListViewRows<SiteCredential> rows;
};

PageState* stateOf(HWND page) {
  return static_cast<PageState*>(GetPropA(page, kListState));
}

void addColumns(HWND list) {
  struct Column {
    const char* title;
    int width;
  };
  const Column columns[] = {{"Site", 99},     {"User Name", 64},    {"Password", 64},
                            {"Referrer", 64}, {"Certificates", 70}};
  for (int i = 0; i < 5; ++i) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<char*>(columns[i].title);
    column.cx = columns[i].width;
    column.iSubItem = i;
    SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
}

void fillRows(PageState& state, const SettingsStore& settings) {
  state.rows.deleteAllRows();
  state.entries = parseSiteTable(settings.settings().siteTable);
  int count = static_cast<int>(state.entries.size());
  state.rows.beginBatch(count);
  for (SiteCredential& entry : state.entries) {
    RowCells cells;
    const bool accepted = siteAcceptsCertificateErrors(settings.settings(), entry.site);
    cells.texts = {entry.site, entry.userName, maskedPassword(entry.password), entry.referrer,
                   accepted ? "Accepted" : ""};
    state.rows.appendRow(cells, 5, &entry);
  }
  state.rows.endBatch(count);
}

void updateButtons(HWND page, const PageState& state) {
  bool selected = state.rows.selectedCount() > 0;
  enableItem(page, CTL_EDIT, selected);
  enableItem(page, CTL_DELETE, selected);
}

int firstSelectedRow(const PageState& state) {
  for (int row = 0, rows = state.rows.rowCount(); row < rows; ++row) {
    if (state.rows.isSelected(row)) return row;
  }
  return -1;
}

// The sheet: nested dialogs are owned by it, so it stays disabled while they are open.
HWND sheetOf(HWND page) {
  HWND sheet = GetParent(page);
  return sheet ? sheet : page;
}

void editEntry(HWND page, PageState& state, const PasswordsPageContext& context, bool add) {
  std::string site;
  int row = add ? -1 : firstSelectedRow(state);
  if (row >= 0) site = state.rows.cellText(row, 0);
  if (showSiteDialog(context.modal, sheetOf(page), context.settings, context.text, site)) {
    fillRows(state, context.settings);
  }
  updateButtons(page, state);
}

void deleteEntry(HWND page, PageState& state, const PasswordsPageContext& context) {
  int row = firstSelectedRow(state);
  if (row < 0) return;
  std::string site = state.rows.cellText(row, 0);
  if (!context.modal.showMessage("Confirm Delete", deleteSiteQuestion(site),
                                 MB_YESNO | MB_ICONEXCLAMATION, sheetOf(page))) {
    return;
  }
  removeCredential(context.settings, site);
  state.rows.deleteRow(row);
  updateButtons(page, state);
}

}  // namespace

INT_PTR passwordsPageMessage(HWND page, UINT message, WPARAM w, LPARAM l,
                             const PasswordsPageContext& context) {
  switch (message) {
    case WM_INITDIALOG: {
      auto state = std::make_unique<PageState>();
      HWND list = GetDlgItem(page, CTL_SITE_LIST);
      state->rows.attach(list);
      SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
      addColumns(list);
      fillRows(*state, context.settings);
      SetPropA(page, kListState, state.release());
      updateButtons(page, *stateOf(page));
      return TRUE;
    }
    case WM_DESTROY:
      delete stateOf(page);
      RemovePropA(page, kListState);
      return FALSE;
  }
  PageState* state = stateOf(page);
  if (!state) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(w) != BN_CLICKED) return FALSE;
      if (LOWORD(w) == CTL_ADD)
        editEntry(page, *state, context, true);
      else if (LOWORD(w) == CTL_EDIT)
        editEntry(page, *state, context, false);
      else if (LOWORD(w) == CTL_DELETE)
        deleteEntry(page, *state, context);
      else
        return FALSE;
      return TRUE;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(l);
      if (header->code == PSN_APPLY) return answerDialog(page, PSNRET_NOERROR);
      if (header->idFrom != CTL_SITE_LIST) return FALSE;
      if (header->code == LVN_ITEMCHANGED) {
        updateButtons(page, *state);
      } else if (header->code == NM_DBLCLK) {
        editEntry(page, *state, context, false);
      } else if (header->code == LVN_KEYDOWN &&
                 reinterpret_cast<NMLVKEYDOWN*>(l)->wVKey == VK_DELETE) {
        deleteEntry(page, *state, context);
      }
      return FALSE;
    }
    case WM_HELP:
      context.shell.open(options::helpAddress("help/password.asp"), "");
      return TRUE;
  }
  return FALSE;
}
