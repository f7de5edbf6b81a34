#include "dialogs/copy_text_dialog.h"

#include <cstring>
#include <functional>
#include <vector>

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_support.h"
#include "download/copy_text.h"

namespace {

struct CopyDialogState {
  std::vector<int> columns;  // the check boxes, in column order
  std::function<std::string(bool tabs, const std::vector<bool>& ticked)> lines;
  HWND clipboardOwner;
};

std::vector<bool> tickedColumns(HWND dialog, const CopyDialogState& state) {
  std::vector<bool> ticked;
  for (int id : state.columns) ticked.push_back(isChecked(dialog, id));
  return ticked;
}

void updateButtons(HWND dialog, const CopyDialogState& state) {
  int count = 0;
  for (bool ticked : tickedColumns(dialog, state)) count += ticked ? 1 : 0;
  CopyButtons buttons = copyButtons(count);
  enableItem(dialog, CTL_TABS, buttons.separatorsEnabled);
  enableItem(dialog, CTL_COMMAS, buttons.separatorsEnabled);
  enableItem(dialog, IDOK, buttons.okEnabled);
}

INT_PTR CALLBACK copyDialog(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto* state = dialogState<CopyDialogState>(dialog, message, l);
  if (!state) return FALSE;
  if (message == WM_INITDIALOG) {
    for (int id : state->columns) setChecked(dialog, id, id == CTL_ADDRESS);
    setChecked(dialog, CTL_TABS, true);
    setChecked(dialog, CTL_COMMAS, false);
    updateButtons(dialog, *state);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  int id = LOWORD(w);
  if (id == IDOK) {
    // Enter reaches here even with OK disabled: nothing is copied then.
    std::vector<bool> ticked = tickedColumns(dialog, *state);
    bool any = false;
    for (bool column : ticked) any = any || column;
    if (!any) return TRUE;
    putClipboardText(state->clipboardOwner, state->lines(isChecked(dialog, CTL_TABS), ticked));
    EndDialog(dialog, IDOK);
    return TRUE;
  }
  if (id == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  if (HIWORD(w) == BN_CLICKED) {
    for (int column : state->columns) {
      if (column == id) {
        updateButtons(dialog, *state);
        return TRUE;
      }
    }
  }
  return FALSE;
}

void showCopyDialog(Modal& modal, const char* resource, CopyDialogState state) {
  modal.showDialog(copyDialog, resource, reinterpret_cast<LPARAM>(&state));
}

}  // namespace

void showCopyItemsDialog(Modal& modal, const RowList<DownloadItem>& rows) {
  showCopyDialog(modal, "DIALOG_COPYQUIB",
                 {{CTL_STATUS, CTL_NAME, CTL_SIZE_COLUMN, CTL_TYPE, CTL_ADDRESS, CTL_SAVED_TO},
                  [&rows](bool tabs, const std::vector<bool>& ticked) {
                    return copyLines(rows, tabs, ticked);
                  },
                  modal.mainWindow()});
}

void showCopyLinksDialog(Modal& modal, const RowList<SitePage>& rows) {
  showCopyDialog(modal, "DIALOG_COPYGET",
                 {{CTL_NAME, CTL_TYPE, CTL_KIND, CTL_ON_PAGE, CTL_ADDRESS},
                  [&rows](bool tabs, const std::vector<bool>& ticked) {
                    return copyLines(rows, tabs, ticked);
                  },
                  modal.mainWindow()});
}

bool putClipboardText(HWND owner, const std::string& text) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (!block) return false;
  void* bytes = GlobalLock(block);
  if (!bytes) {
    GlobalFree(block);
    return false;
  }
  memcpy(bytes, text.c_str(), text.size() + 1);
  GlobalUnlock(block);
  if (!OpenClipboard(owner)) {
    GlobalFree(block);
    return false;
  }
  EmptyClipboard();
  // The clipboard owns the block once it is set; a refused block is still ours to free.
  bool placed = SetClipboardData(CF_TEXT, block) != nullptr;
  CloseClipboard();
  if (!placed) GlobalFree(block);
  return placed;
}
