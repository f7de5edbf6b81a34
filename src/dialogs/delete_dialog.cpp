#include "dialogs/delete_dialog.h"

#include "app/menu_ids.h"
#include "download/delete_choice.h"

namespace {

struct DeleteDialog {
  ItemCommands& commands;
  DeleteChoice choice;
};

void showChoice(HWND dialog, const DeleteChoice& choice) {
  CheckRadioButton(dialog, DELETE_RESET, DELETE_REMOVE,
                   choice.reset ? DELETE_RESET : DELETE_REMOVE);
  SetDlgItemTextA(dialog, DELETE_FILES, choice.deleteFilesText.c_str());
  EnableWindow(GetDlgItem(dialog, DELETE_FILES), choice.deleteFilesEnabled);
  CheckDlgButton(dialog, DELETE_FILES, choice.deleteFilesChecked ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(GetDlgItem(dialog, DELETE_FOLDERS), choice.deleteFoldersEnabled);
  CheckDlgButton(dialog, DELETE_FOLDERS, choice.deleteFoldersChecked ? BST_CHECKED : BST_UNCHECKED);
}

bool checked(HWND dialog, int id) {
  return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void readChoice(HWND dialog, DeleteChoice& choice) {
  choice.reset = checked(dialog, DELETE_RESET);
  choice.deleteFilesChecked = checked(dialog, DELETE_FILES);
  choice.deleteFoldersChecked = checked(dialog, DELETE_FOLDERS);
}

}  // namespace

INT_PTR CALLBACK deleteDialogProcedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto* state = reinterpret_cast<DeleteDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, l);
      state = reinterpret_cast<DeleteDialog*>(l);
      int saved = state->commands.clearSelected(ClearAction::kCount, SavedFileDeletion::kNone);
      state->choice = openDeleteChoice(saved);
      showChoice(dialog, state->choice);
      return TRUE;
    }
    case WM_COMMAND:
      if (!state) return FALSE;
      switch (LOWORD(w)) {
        case DELETE_FILES:
          readChoice(dialog, state->choice);
          setDeleteFiles(state->choice, state->choice.deleteFilesChecked);
          showChoice(dialog, state->choice);
          return TRUE;
        case IDOK:
          readChoice(dialog, state->choice);
          state->commands.clearSelected(chosenAction(state->choice), chosenDeletion(state->choice));
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

INT_PTR showDeleteDialog(Modal& modal, ItemCommands& commands) {
  DeleteDialog state{commands, {}};
  return modal.showDialog(deleteDialogProcedure, "DIALOG_DELETE", reinterpret_cast<LPARAM>(&state));
}
