#pragma once
#include "app/modal.h"
#include "platform/shell.h"
#include "store/settings.h"
#include "url/byte_text.h"

// The Options command: the modal "Options" property sheet with its Download, Passwords and
// Connections pages, owned by the main window. The Download and Connections pages store
// what changed when OK is pressed, and nothing on Cancel; the Passwords page stores each
// change as it is made. Returns when the sheet has closed.
void openOptions(Modal& modal, SettingsStore& settings, Shell& shell, const ByteText& text);
