#include "dialogs/install_dialogs.h"

#include "app/app.h"
#include "dialogs/connect_dialog.h"
#include "dialogs/copy_text_dialog.h"
#include "dialogs/item_properties_dialog.h"
#include "dialogs/link_properties_dialog.h"
#include "dialogs/options_sheet.h"
#include "dialogs/page_properties_dialog.h"
#include "dialogs/setup_dialogs.h"
#include "platform/win32/win32_script_runner.h"
#include "platform/win32/win32_shell.h"

namespace {

void runInstaller(App& app, bool removal) {
  Win32ScriptRunner scripts;
  SetupContext context{app.modal(),          app.fileOps(), app.platform().registry,
                       app.platform().shell, scripts,       app.text(),
                       app.folders()};
  if (removal) {
    runRemoval(context);
  } else {
    runSetup(context, app.currentSettings().setupLevel);
  }
}

}  // namespace

void installDialogs(DialogHooks& hooks, Win32Shell* shell) {
  hooks.openOptions = [shell](App& app) {
    if (shell) shell->setOwner(app.windows().main);
    openOptions(app.modal(), app.settings(), app.platform().shell, app.text());
  };
  hooks.showItemProperties = [](App& app, DownloadItem& item) {
    showItemProperties(app.modal(), app.commands(), item);
  };
  hooks.showPageProperties = [](App& app, SitePage& page) {
    showPageProperties(app.modal(), app.platform().shell, page);
  };
  hooks.showLinkProperties = [](App& app, SitePage& page) {
    showLinkProperties(app.modal(), app.platform().shell, app.text(), page);
  };
  hooks.showCopyText = [](App& app, const char* resourceName) {
    if (std::string_view(resourceName) == "DIALOG_COPYGET") {
      showCopyLinksDialog(app.modal(), app.siteRows());
    } else {
      showCopyItemsDialog(app.modal(), app.downloadRows());
    }
  };
  hooks.showConnectDialog = [](App& app) {
    if (showConnectDialog(app.modal(), app.connectionCheck(), app.settings()) && app.content())
      app.content()->resumePageFetches();
  };
  hooks.runSetup = [](App& app) { runInstaller(app, false); };
  hooks.runRemoval = [](App& app) { runInstaller(app, true); };
}
