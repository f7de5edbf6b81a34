#pragma once
#include "download/idle_requests.h"
#include "platform/connection.h"
#include "store/settings.h"

// Whether a fetch may start now. With dial-up handling on and the line down, a refused
// start asks for the connect dialog once per outage: the request goes to the next idle
// pass, and no further one is made until the dialog has run.
class ConnectionCheck {
 public:
  ConnectionCheck(SettingsStore& settings, Connection& connection, IdleRequests& requests)
      : settings_(settings), connection_(connection), requests_(requests) {}

  // True without asking the system when dial-up handling is off; else the system's answer.
  bool isConnected();
  // Asked by every starter of a fetch, which starts nothing on false. False also raises
  // the connect dialog request, unless the dialog is already pending.
  bool connectionAvailable();
  // Set from the first refused start until connectDialogClosed.
  bool connectDialogPending() const { return connectDialogPending_; }
  // After the dialog has closed: clears the pending flag and, when a connection is there
  // now, unpauses the queue ("pause" = 0). True when connected: the caller then lets the
  // page fetches run again too.
  bool connectDialogClosed();
  // Dials the default dial-up connection: unattended first, forced online when that fails.
  // Blocks until dialing ends.
  bool dialDefaultConnection();

 private:
  SettingsStore& settings_;
  Connection& connection_;
  IdleRequests& requests_;
  bool connectDialogPending_ = false;
};
