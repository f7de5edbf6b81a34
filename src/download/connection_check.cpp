#include "download/connection_check.h"

bool ConnectionCheck::isConnected() {
  if (settings_.settings().dialUpMode == static_cast<int32_t>(DialUpMode::kNone)) return true;
  return connection_.isConnected();
}

bool ConnectionCheck::connectionAvailable() {
  if (isConnected()) return true;
  if (!connectDialogPending_) {
    connectDialogPending_ = true;
    requests_.openConnectDialog = true;
  }
  return false;
}

bool ConnectionCheck::connectDialogClosed() {
  connectDialogPending_ = false;
  if (!isConnected()) return false;
  settings_.setNumberSetting("pause", &Settings::paused, 0);
  return true;
}

bool ConnectionCheck::dialDefaultConnection() {
  return connection_.dial(autodial_flag::kForceUnattended) ||
         connection_.dial(autodial_flag::kForceOnline);
}
