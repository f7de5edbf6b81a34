#include "dialogs/dialog_support.h"

#include <vector>

std::string itemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) return {};
  int length = GetWindowTextLengthA(item);
  if (length <= 0) return {};
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  int got = GetWindowTextA(item, buffer.data(), length + 1);
  return std::string(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

void setItemText(HWND dialog, int id, std::string_view text) {
  SetDlgItemTextA(dialog, id, std::string(text).c_str());
}

void enableItem(HWND dialog, int id, bool enabled) {
  HWND item = GetDlgItem(dialog, id);
  if (item) EnableWindow(item, enabled);
}

bool isChecked(HWND dialog, int id) {
  return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void setChecked(HWND dialog, int id, bool checked) {
  CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

INT_PTR answerDialog(HWND dialog, LONG_PTR result) {
  SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result);
  return TRUE;
}
