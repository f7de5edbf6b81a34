// haulix.exe: the Win32 ports, the process state, and its run from start-up to exit.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <objbase.h>

#include <memory>
#include <string>

#include "app/app.h"
#include "dialogs/install_dialogs.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_connection.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_ids.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_text_rules.h"
#include "platform/win32/wininet_internet.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int showCommand) {
  // The folder chooser and shell links want COM on this thread.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Win32Files files;
  Win32Ids ids;
  Win32Clock clock;
  Win32TextRules rules;
  Win32Shell shell;
  Win32Registry registry;
  Win32Connection connection;
  Platform platform{
      files, ids,      clock,      rules,
      shell, registry, connection, [] { return std::make_unique<WinInetInternet>(); }};
  int code = 0;
  {
    App app(instance, std::move(platform));
    installDialogs(app.dialogs(), &shell);
    code = app.run(arguments ? arguments : "", showCommand);
  }
  CoUninitialize();
  return code;
}
