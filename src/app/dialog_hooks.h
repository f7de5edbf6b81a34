#pragma once
#include <functional>
#include <string>

class App;
struct DownloadItem;
struct SitePage;

// The dialogs' entry points. The main window calls them for its menu commands, the idle
// pass and start-up; the entry point fills them in (App::dialogs()) before App::run. One
// left empty does nothing.
struct DialogHooks {
  std::function<void(App&)> openOptions;                        // "&Options"
  std::function<void(App&, DownloadItem&)> showItemProperties;  // "PROPERTIES_QUIB"
  std::function<void(App&, SitePage&)> showPageProperties;      // "PROPERTIES_TREE"
  std::function<void(App&, SitePage&)> showLinkProperties;      // "PROPERTIES_GET"
  // "DIALOG_COPYQUIB" (Download Window) or "DIALOG_COPYGET" (Site Window).
  std::function<void(App&, const char* resourceName)> showCopyText;
  std::function<void(App&)> showConnectDialog;  // the idle pass's connect request
  std::function<void(App&)> runSetup;           // the first run of this release
  std::function<void(App&)> runRemoval;         // "/addremove"
};
