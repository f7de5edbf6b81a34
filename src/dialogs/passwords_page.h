#pragma once
#include <windows.h>

#include "app/modal.h"
#include "platform/shell.h"
#include "store/settings.h"
#include "url/byte_text.h"

// What the Passwords page of the Options sheet works with.
struct PasswordsPageContext {
  Modal& modal;
  SettingsStore& settings;
  Shell& shell;
  const ByteText& text;
};

// The Passwords page's dialog messages: the list of site entries with masked passwords,
// Add, Edit (or a double-click) through the site dialog, Delete (or the Delete key) after
// a confirmation. Every change is stored at once.
INT_PTR passwordsPageMessage(HWND page, UINT message, WPARAM w, LPARAM l,
                             const PasswordsPageContext& context);
