#pragma once
#include <windows.h>

#include <string>

#include "app/modal.h"
#include "store/settings.h"
#include "url/byte_text.h"

// The site dialog ("DIALOG_PASS") over `owner`: adds an entry (an empty `site`) or edits
// the entry of that site. OK stores the entry at once; true when it did.
bool showSiteDialog(Modal& modal, HWND owner, SettingsStore& settings, const ByteText& text,
                    const std::string& site);
