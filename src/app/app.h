#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "app/clipboard.h"
#include "app/dialog_hooks.h"
#include "app/images.h"
#include "app/modal.h"
#include "app/role_content.h"
#include "app/surface.h"
#include "app/theme.h"
#include "download/connection_check.h"
#include "download/download_queue.h"
#include "transfer/file_ops.h"
#include "download/idle_requests.h"
#include "download/item_commands.h"
#include "transfer/transfer_engine.h"
#include "download/transfer_scheduler.h"
#include "platform/clock.h"
#include "platform/connection.h"
#include "platform/files.h"
#include "platform/ids.h"
#include "platform/internet.h"
#include "platform/known_folders.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/text_rules.h"
#include "platform/win32/owner_data_rows.h"
#include "download/queue_database.h"
#include "download/queue_saver.h"
#include "store/settings.h"
#include "url/address.h"
#include "url/byte_text.h"

// The ports the program reaches the system through: the Win32 ones in haulix.exe, fakes
// where a test wants them.
struct Platform {
  Files& files;
  Ids& ids;
  Clock& clock;
  TextRules& rules;
  Shell& shell;
  Registry& registry;
  Connection& connection;
  // Opens the Internet library's root (at start-up step 5).
  std::function<std::unique_ptr<Internet>()> openInternet;
};

// The main window and its children.
struct MainWindows {
  HWND main = nullptr;
  HWND edit = nullptr;   // Addresses box / Address box (control id 1)
  HWND check = nullptr;  // clipboard check box (id 2)
  HWND tree = nullptr;   // Site Tree (id 3)
  HWND list = nullptr;   // download list / Site List (id 4)
  HWND tooltip = nullptr;
  HWND lastFocus = nullptr;  // the child that last reported getting the focus
};

// Tray icon messages and the menu commands.
inline constexpr UINT kTrayMessage = WM_APP + 1;
inline constexpr UINT kIdleTimer = 1;
inline constexpr UINT kIdleMilliseconds = 300;
inline constexpr UINT kExitSystemCommand = 41001;

// SetMenuItemInfo by command: a non-zero bitmap (a predefined one such as
// HBMMENU_POPUP_RESTORE) and a non-zero state (MFS_GRAYED, MFS_DEFAULT) are set.
void setMenuItem(HMENU menu, UINT command, HBITMAP bitmap, UINT state);

// The process: its role, its model and its windows, from start-up to exit. One object,
// made by the entry point (or a test), which the window procedure finds through the main
// window's user data.
class App {
 public:
  App(HINSTANCE instance, Platform platform);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // The whole life of the process: start-up, message loop, shutdown. The exit code.
  int run(const std::string& arguments, int showCommand);

  // Start-up steps 2 and 3: the known folders, then the settings.
  void prepare();
  // Steps 5 to 12 in a role: services, images, windows, queue, labels, fonts, placement,
  // showing. False when the main window could not be made.
  bool openWindows(ProcessRole role, int showCommand);
  int messageLoop();
  // The shutdown, in order; safe to call once after openWindows.
  void shutDown();

  void idlePass();
  // Step 7 of the idle pass: hands the outgoing addresses to the Download Window, starting
  // the program once when there is none.
  void forwardOutgoingAddresses();

  // The main window procedure's work.
  LRESULT handleMessage(HWND window, UINT message, WPARAM w, LPARAM l);
  // The menu commands' table (40001 ... 40027).
  void runCommand(UINT command);
  // Loads "MENU_CONTEXT" and shows one of its submenus; the chosen command, 0 for none.
  UINT showContextMenu(int submenu, const RECT* clientRect, bool fromTray,
                       const std::function<void(HMENU)>& prepareMenu = {});
  // The shared commands.
  void exitFromTray();
  void startDownloadWindow();
  void startSiteWindow();
  void openOptions();
  // The "Open" menu: the Download Window offers no "&Download Window".
  void prepareOpenMenu(HMENU menu);
  void showTrayIcon();
  void hideTrayIcon();
  void restoreFromTray();
  // Starts another copy of the program with these arguments.
  void startOwnProgram(const std::string& arguments);
  void openHelp();
  void showAboutBox();
  // Switches the clipboard watching on or off, stored at once, with the check box.
  void switchClipboardWatching();

  // Parts.
  HINSTANCE instance() const { return instance_; }
  ProcessRole role() const { return role_; }
  const Platform& platform() const { return platform_; }
  const ByteText& text() const { return text_; }
  const KnownFolders& folders() const { return folders_; }
  SettingsStore& settings() { return settings_; }
  Modal& modal() { return modal_; }
  IdleRequests& requests() { return requests_; }
  ConnectionCheck& connectionCheck() { return connectionCheck_; }
  ImageStore& images() { return images_; }
  Theme& theme() { return theme_; }
  const Theme& theme() const { return theme_; }
  Surface& surface() { return surface_; }
  AddressParser& parser() { return parser_; }
  FileOps& fileOps() { return fileOps_; }
  Internet* internet() { return internet_.get(); }
  TransferEngine& engine() { return *engine_; }
  DownloadQueue& queue() { return *queue_; }
  OwnerDataRows<DownloadItem>& downloadRows() { return downloadRows_; }
  // The Site List's rows; empty in the Download role.
  OwnerDataRows<SitePage>& siteRows() { return siteRows_; }
  ItemCommands& commands() { return *commands_; }
  TransferScheduler& scheduler() { return *scheduler_; }
  QueueDatabase& database() { return *database_; }
  // The background saves of the Download role; null in the Site role.
  QueueSaver* saver() { return saver_.get(); }
  RoleContent* content() { return content_.get(); }
  MainWindows& windows() { return windows_; }
  ClipboardWatcher& clipboard() { return clipboard_; }
  DialogHooks& dialogs() { return dialogs_; }
  std::string& outgoingAddresses() { return outgoing_; }
  bool launched() const { return launched_; }
  bool trayShown() const { return trayShown_; }
  const Settings& currentSettings() const { return settings_.settings(); }

  // Replaces the content of the role (the Site Window's content plugs in here).
  void setContent(std::unique_ptr<RoleContent> content) { content_ = std::move(content); }
  // How a Site Window's content is made; without one it is the SiteRole.
  using SiteContentFactory = std::function<std::unique_ptr<RoleContent>(App&)>;
  void setSiteContentFactory(SiteContentFactory factory) { siteFactory_ = std::move(factory); }

 private:
  void startServices();
  bool createMainWindow();
  void createChildren();
  void loadQueue();
  void placeQuarterLower();
  void showWindows(int showCommand);

  // Messages.
  LRESULT onSize();
  // Hands a mouse message of the main window to the tooltip of the Addresses link.
  void relayToTooltip(HWND window, UINT message, WPARAM w, LPARAM l);
  void onSetFocus();
  void onPaint();
  void onSystemChange(UINT message, WPARAM w, LPARAM l, bool repaint);
  LRESULT onCopyData(const COPYDATASTRUCT& data);
  LRESULT onNotify(const NMHDR& header, bool& handled);
  void onCommandMessage(WPARAM w);
  bool onSystemCommand(WPARAM w);
  void onTimer(WPARAM id);
  void onButtonDown(LPARAM l);
  void onButtonUp(LPARAM l);
  void onTrayMessage(LPARAM l);
  void onControlClicked(int control);
  void showOpenMenu();
  void showTrayMenu();

  HINSTANCE instance_;
  Platform platform_;
  ProcessRole role_ = ProcessRole::kDownload;
  ByteText text_;
  KnownFolders folders_;
  SettingsStore settings_;
  Modal modal_;
  IdleRequests requests_;
  ConnectionCheck connectionCheck_;
  ImageStore images_;
  Theme theme_;
  AddressParser parser_;
  FileOps fileOps_;
  std::unique_ptr<Internet> internet_;
  std::unique_ptr<TransferEngine> engine_;
  std::unique_ptr<DownloadQueue> queue_;
  OwnerDataRows<DownloadItem> downloadRows_;
  OwnerDataRows<SitePage> siteRows_;
  std::unique_ptr<ItemCommands> commands_;
  std::unique_ptr<TransferScheduler> scheduler_;
  std::unique_ptr<QueueDatabase> database_;
  std::unique_ptr<QueueSaver> saver_;
  std::unique_ptr<RoleContent> content_;
  SiteContentFactory siteFactory_;
  MainWindows windows_;
  // The window that worker threads wake; read from any thread.
  std::atomic<HWND> wakeWindow_{nullptr};
  Surface surface_{*this};
  ClipboardWatcher clipboard_;
  DialogHooks dialogs_;
  std::string outgoing_;
  bool launched_ = false;
  bool trayShown_ = false;
  bool windowsOpen_ = false;
  bool shutDown_ = false;
};
