#pragma once
#include <windows.h>

#include <string>
#include <string_view>

// Small helpers the dialogs share: item texts and states, and the state object a dialog
// keeps in its window (the parameter of WM_INITDIALOG, stored in DWLP_USER).

std::string itemText(HWND dialog, int id);
void setItemText(HWND dialog, int id, std::string_view text);
void enableItem(HWND dialog, int id, bool enabled);
bool isChecked(HWND dialog, int id);
void setChecked(HWND dialog, int id, bool checked);

// The dialog's state: on WM_INITDIALOG taken from lParam and stored; afterwards read back.
// Null for the few messages that come before WM_INITDIALOG.
template <class State>
State* dialogState(HWND dialog, UINT message, LPARAM l) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, l);
    return reinterpret_cast<State*>(l);
  }
  return reinterpret_cast<State*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// Tells the dialog manager what a message's handler answered (needed where the answer is
// not TRUE/FALSE, such as WM_NOTIFY results) and reports it as handled.
INT_PTR answerDialog(HWND dialog, LONG_PTR result);
