#include "dialogs/options_sheet.h"

#include <commctrl.h>
#include <prsht.h>

#include <cstring>
#include <string>

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_support.h"
#include "dialogs/passwords_page.h"
#include "store/option_values.h"
#include "url/byte_text.h"

namespace {

struct SheetState {
  Modal& modal;
  SettingsStore& settings;
  Shell& shell;
  const ByteText& text;
  std::string countLabel;  // what the count label shows, so it is rewritten only on change
};

// A page's WM_INITDIALOG carries its PROPSHEETPAGE, whose lParam is the sheet's state.
SheetState* pageState(HWND page, UINT message, LPARAM l) {
  if (message == WM_INITDIALOG) {
    auto* state = reinterpret_cast<SheetState*>(reinterpret_cast<PROPSHEETPAGEA*>(l)->lParam);
    SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    return state;
  }
  return reinterpret_cast<SheetState*>(GetWindowLongPtrA(page, DWLP_USER));
}

void openHelp(Shell& shell, std::string_view page) {
  shell.open(options::helpAddress(page), "");
}

void showCountLabel(HWND page, SheetState& state) {
  std::string label(options::countLabel(itemText(page, CTL_COUNT)));
  if (label == state.countLabel) return;
  state.countLabel = label;
  setItemText(page, CTL_COUNT_LABEL, label);
}

void fillDownloadPage(HWND page, SheetState& state) {
  const Settings& settings = state.settings.settings();
  setItemText(page, CTL_FOLDER, settings.saveFolder);
  HWND list = GetDlgItem(page, CTL_SUBFOLDERS);
  for (std::string_view entry : options::kSubfolderEntries) {
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::string(entry).c_str()));
  }
  SendMessageA(list, CB_SETCURSEL, options::subfolderEntry(settings.subfolderScheme), 0);
  SendDlgItemMessageA(page, CTL_COUNT_ARROWS, UDM_SETRANGE32, 1, 9999);
  // The label follows from the text just set (EN_CHANGE), so start from "nothing shown".
  state.countLabel.clear();
  setItemText(page, CTL_COUNT, formatNumber(settings.filesAtOnce));
  showCountLabel(page, state);
  SendDlgItemMessageA(page, CTL_CONNECTIONS_ARROWS, UDM_SETRANGE32, 1, kMostConnectionsPerFile);
  setItemText(page, CTL_CONNECTIONS, formatNumber(connectionsPerFile(settings)));
}

void storeDownloadPage(HWND page, SheetState& state) {
  options::DownloadPageValues values;
  values.folder = itemText(page, CTL_FOLDER);
  LRESULT selected = SendDlgItemMessageA(page, CTL_SUBFOLDERS, CB_GETCURSEL, 0, 0);
  values.subfolderEntry = selected == CB_ERR ? -1 : static_cast<int>(selected);
  values.countText = itemText(page, CTL_COUNT);
  values.connectionsText = itemText(page, CTL_CONNECTIONS);
  options::storeDownloadPage(state.settings, values);
}

INT_PTR CALLBACK downloadPage(HWND page, UINT message, WPARAM w, LPARAM l) {
  SheetState* state = pageState(page, message, l);
  if (!state) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      fillDownloadPage(page, *state);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(w) == CTL_BROWSE && HIWORD(w) == BN_CLICKED) {
        // The chooser is owned by the main window, which the sheet has disabled already; the
        // sheet itself is disabled meanwhile, so it cannot be closed under the chooser.
        HWND sheet = GetParent(page);
        EnableWindow(sheet, FALSE);
        std::string chosen = state->shell.chooseFolder("Choose where Haulix should save files.");
        EnableWindow(sheet, TRUE);
        SetActiveWindow(sheet);
        if (!chosen.empty()) setItemText(page, CTL_FOLDER, chosen);
        return TRUE;
      }
      if (LOWORD(w) == CTL_COUNT && HIWORD(w) == EN_CHANGE) {
        showCountLabel(page, *state);
        return TRUE;
      }
      return FALSE;
    case WM_NOTIFY:
      if (reinterpret_cast<NMHDR*>(l)->code == PSN_APPLY) {
        storeDownloadPage(page, *state);
        return answerDialog(page, PSNRET_NOERROR);
      }
      return FALSE;
    case WM_HELP: {
      int control = reinterpret_cast<HELPINFO*>(l)->iCtrlId;
      if (control == CTL_FOLDER || control == CTL_BROWSE) {
        openHelp(state->shell, "help/option.asp#folder");
      } else if (control == CTL_SUBFOLDERS) {
        openHelp(state->shell, "help/option.asp#subfolder");
      } else if (control == CTL_COUNT || control == CTL_CONNECTIONS) {
        openHelp(state->shell, "help/option.asp#get");
      } else {
        openHelp(state->shell, "help/option.asp");
      }
      return TRUE;
    }
  }
  return FALSE;
}

void showDialUpChoice(HWND page, bool useDialUp, bool waitForRedial) {
  setChecked(page, CTL_USE_DIALUP, useDialUp);
  setChecked(page, CTL_DIAL_AUTOMATICALLY, useDialUp && !waitForRedial);
  setChecked(page, CTL_WAIT_FOR_REDIAL, useDialUp && waitForRedial);
  enableItem(page, CTL_DIAL_AUTOMATICALLY, useDialUp);
  enableItem(page, CTL_WAIT_FOR_REDIAL, useDialUp);
}

INT_PTR CALLBACK connectionsPage(HWND page, UINT message, WPARAM w, LPARAM l) {
  SheetState* state = pageState(page, message, l);
  if (!state) return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      int32_t mode = state->settings.settings().dialUpMode;
      showDialUpChoice(page, mode != static_cast<int32_t>(DialUpMode::kNone),
                       mode == static_cast<int32_t>(DialUpMode::kWaitForRedial));
      return TRUE;
    }
    case WM_COMMAND:
      if (HIWORD(w) != BN_CLICKED) return FALSE;
      if (LOWORD(w) == CTL_USE_DIALUP) {
        showDialUpChoice(page, isChecked(page, CTL_USE_DIALUP), false);
        return TRUE;
      }
      if (LOWORD(w) == CTL_INTERNET_OPTIONS) {
        state->shell.open("control.exe", "inetcpl.cpl");
        return TRUE;
      }
      return FALSE;
    case WM_NOTIFY:
      if (reinterpret_cast<NMHDR*>(l)->code == PSN_APPLY) {
        options::storeConnectionsPage(state->settings, isChecked(page, CTL_USE_DIALUP),
                                      isChecked(page, CTL_WAIT_FOR_REDIAL));
        return answerDialog(page, PSNRET_NOERROR);
      }
      return FALSE;
    case WM_HELP:
      openHelp(state->shell, "help/connect.asp");
      return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK passwordsPage(HWND page, UINT message, WPARAM w, LPARAM l) {
  SheetState* state = pageState(page, message, l);
  if (!state) return FALSE;
  PasswordsPageContext context{state->modal, state->settings, state->shell, state->text};
  return passwordsPageMessage(page, message, w, l, context);
}

// The sheet itself gets the title bar's help button, as its pages have: the style of its
// template (a DLGTEMPLATEEX keeps it 12 bytes in, a DLGTEMPLATE first) gains DS_CONTEXTHELP.
int CALLBACK sheetCallback(HWND, UINT message, LPARAM l) {
  if (message != PSCB_PRECREATE || !l) return 0;
  auto* bytes = reinterpret_cast<unsigned char*>(l);
  WORD version = 0, signature = 0;
  memcpy(&version, bytes, sizeof version);
  memcpy(&signature, bytes + 2, sizeof signature);
  unsigned char* style = version == 1 && signature == 0xFFFF ? bytes + 12 : bytes;
  DWORD bits = 0;
  memcpy(&bits, style, sizeof bits);
  bits |= DS_CONTEXTHELP;
  memcpy(style, &bits, sizeof bits);
  return 0;
}

}  // namespace

void openOptions(Modal& modal, SettingsStore& settings, Shell& shell, const ByteText& text) {
  INITCOMMONCONTROLSEX init = {sizeof init, ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&init);
  SheetState state{modal, settings, shell, text, {}};

  PROPSHEETPAGEA pages[3] = {};
  const char* templates[3] = {"OPTIONS_DOWNLOAD", "OPTIONS_PASSWORDS", "OPTIONS_CONNECTIONS"};
  DLGPROC procedures[3] = {downloadPage, passwordsPage, connectionsPage};
  for (int i = 0; i < 3; ++i) {
    pages[i].dwSize = sizeof pages[i];
    pages[i].dwFlags = PSP_DEFAULT;
    pages[i].hInstance = GetModuleHandleA(nullptr);
    pages[i].pszTemplate = templates[i];
    pages[i].pfnDlgProc = procedures[i];
    pages[i].lParam = reinterpret_cast<LPARAM>(&state);
  }
  PROPSHEETHEADERA sheet = {};
  sheet.dwSize = sizeof sheet;
  sheet.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK;
  sheet.hwndParent = modal.mainWindow();
  sheet.hInstance = GetModuleHandleA(nullptr);
  sheet.pszCaption = "Options";
  sheet.nPages = 3;
  sheet.nStartPage = 0;
  sheet.ppsp = pages;
  sheet.pfnCallback = sheetCallback;
  modal.showModal([&] { return PropertySheetA(&sheet); });
}
