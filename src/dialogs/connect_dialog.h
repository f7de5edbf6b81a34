#pragma once
#include "app/modal.h"
#include "download/connection_check.h"
#include "store/settings.h"

// The idle pass's answer to a refused start: the connect dialog ("DIALOG_CONNECT") waits
// for a connection, or dials the default dial-up connection, checking on a 5-second
// countdown. Cancel closes it and asks whether this computer uses dial-up at all; any
// answer but Yes turns dial-up handling off. When it has closed, the pending flag is
// cleared and, with a connection there, the queue is unpaused. True when connected: the
// caller then lets a stopped Site Window fetch again.
bool showConnectDialog(Modal& modal, ConnectionCheck& connection, SettingsStore& settings);
