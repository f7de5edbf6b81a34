#pragma once
#include "app/dialog_hooks.h"

// Fills the main window's dialog hooks with the dialogs' entry points, each given what it
// needs from the process state.
void installDialogs(DialogHooks& hooks);
