#include "dialogs/connect_dialog.h"

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_support.h"
#include "download/connect_countdown.h"

namespace {

constexpr UINT kTickMilliseconds = ConnectCountdown::kTickSeconds * 1000;

struct ConnectDialogState {
  ConnectionCheck& connection;
  ConnectCountdown countdown;
};

void showTexts(HWND dialog, const ConnectCountdown& countdown) {
  ConnectCountdown::Texts texts = countdown.texts();
  SetWindowTextA(dialog, texts.caption.c_str());
  setItemText(dialog, CTL_CONNECT_STATUS, texts.status);
  enableItem(dialog, CTL_TRY_NOW, texts.tryNowEnabled);
  enableItem(dialog, CTL_DIAL, texts.dialEnabled);
  enableItem(dialog, IDCANCEL, texts.cancelEnabled);
}

void startTimer(HWND dialog) {
  SetTimer(dialog, CONNECT_TIMER, kTickMilliseconds, nullptr);
}

void check(HWND dialog, ConnectDialogState& state) {
  if (state.connection.isConnected()) {
    EndDialog(dialog, IDOK);
    return;
  }
  state.countdown.restart();
  showTexts(dialog, state.countdown);
  startTimer(dialog);
}

// Dialing blocks this thread: the Dialing texts, with every button disabled, are painted
// before it starts.
void dial(HWND dialog, ConnectDialogState& state) {
  showTexts(dialog, state.countdown);
  UpdateWindow(dialog);
  state.connection.dialDefaultConnection();
  check(dialog, state);
}

INT_PTR CALLBACK connectDialog(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto* state = dialogState<ConnectDialogState>(dialog, message, l);
  if (!state) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      showTexts(dialog, state->countdown);
      startTimer(dialog);
      return TRUE;
    case WM_TIMER:
      if (w != CONNECT_TIMER) return FALSE;
      KillTimer(dialog, CONNECT_TIMER);
      switch (state->countdown.tick()) {
        case ConnectCountdown::Step::kWait:
          showTexts(dialog, state->countdown);
          startTimer(dialog);
          break;
        case ConnectCountdown::Step::kDial:
          dial(dialog, *state);
          break;
        case ConnectCountdown::Step::kCheck:
          check(dialog, *state);
          break;
      }
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(w)) {
        case CTL_TRY_NOW:
          if (!IsWindowEnabled(GetDlgItem(dialog, CTL_TRY_NOW))) return TRUE;
          KillTimer(dialog, CONNECT_TIMER);
          check(dialog, *state);
          return TRUE;
        case CTL_DIAL:
          if (!IsWindowEnabled(GetDlgItem(dialog, CTL_DIAL))) return TRUE;
          KillTimer(dialog, CONNECT_TIMER);
          state->countdown.dialNow();
          dial(dialog, *state);
          return TRUE;
        case IDCANCEL:
          // Escape too, but only while Cancel is enabled (not while dialing).
          if (!IsWindowEnabled(GetDlgItem(dialog, IDCANCEL))) return TRUE;
          KillTimer(dialog, CONNECT_TIMER);
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

bool showConnectDialog(Modal& modal, ConnectionCheck& connection, SettingsStore& settings) {
  ConnectDialogState state{connection, ConnectCountdown(settings.settings().dialUpMode)};
  INT_PTR result =
      modal.showDialog(connectDialog, "DIALOG_CONNECT", reinterpret_cast<LPARAM>(&state));
  if (result == IDCANCEL) {
    bool usesDialUp =
        modal.showMessage("Haulix Dial-up Connection",
                          "Does this computer use a dial-up connection to the Internet?\n"
                          "If a LAN, cable modem, or DSL provides access, click No.",
                          MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
    if (!usesDialUp) {
      settings.setNumberSetting("dialup", &Settings::dialUpMode,
                                static_cast<int32_t>(DialUpMode::kNone));
    }
  }
  return connection.connectDialogClosed();
}
