#pragma once
#include "app/dialog_hooks.h"

class Win32Shell;

// Fills the main window's dialog hooks with the dialogs' entry points, each given what it
// needs from the process state. With the program's shell, the Options sheet's folder chooser
// is owned by the main window.
void installDialogs(DialogHooks& hooks, Win32Shell* shell = nullptr);
