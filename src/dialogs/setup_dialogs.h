#pragma once
#include <cstdint>

#include "app/modal.h"
#include "transfer/file_ops.h"
#include "platform/known_folders.h"
#include "platform/registry.h"
#include "platform/script_runner.h"
#include "platform/shell.h"
#include "url/byte_text.h"

// What setup and removal work with; the folders are the ones start-up resolved.
struct SetupContext {
  Modal& modal;
  FileOps& fileOps;
  Registry& registry;
  Shell& shell;
  ScriptRunner& scripts;
  const ByteText& text;
  const KnownFolders& folders;
};

// The first start of this release (a setup level below 300, as read at start-up), after
// the windows are shown: the welcome ("DIALOG_SETUP"), the update question
// ("DIALOG_SETUPUPDATE") when old copies of the program are there, the program file, the
// shortcuts and the uninstall entry.
void runSetup(const SetupContext& context, int32_t setupLevel);

// "/addremove", before any window of the process exists: the question
// ("DIALOG_SETUPREMOVE"), then the settings, files and shortcuts go, the farewell
// ("DIALOG_SETUPREMOVED"), and the removal script is started. The process exits next.
void runRemoval(const SetupContext& context);
