#include "app/app.h"

#include <commctrl.h>

#include "app/download_role.h"
#include "app/site_role.h"
#include "app/startup.h"
#include "platform/product.h"

App::App(HINSTANCE instance, Platform platform)
    : instance_(instance),
      platform_(std::move(platform)),
      text_(platform_.rules),
      settings_(platform_.registry, folders_),
      connectionCheck_(settings_, platform_.connection, requests_),
      parser_(text_, images_.fileTypes()),
      fileOps_(platform_.files, platform_.ids, text_) {}

App::~App() {
  if (windowsOpen_) shutDown();
  wakeWindow_ = nullptr;
  if (windows_.main) {
    // The window goes without a message loop to end: its quit message is not wanted.
    SetWindowLongPtrA(windows_.main, GWLP_USERDATA, 0);
    DestroyWindow(windows_.main);
    windows_.main = nullptr;
  }
  UnregisterClassA(role_ == ProcessRole::kDownload ? window_class::kDownload : window_class::kSite,
                   instance_);
}

int App::run(const std::string& arguments, int showCommand) {
  prepare();
  ProcessRole role = ProcessRole::kDownload;
  switch (readCommandLine(settings_.settings().setupLevel, arguments, text_)) {
    case StartRequest::kRemoval:
      closeAllRunningWindows();
      if (dialogs_.runRemoval) dialogs_.runRemoval(*this);
      return 0;
    case StartRequest::kSiteWindow:
      role = ProcessRole::kSite;
      break;
    case StartRequest::kDownload:
      if (HWND running = FindWindowA(window_class::kDownload, nullptr)) {
        bringForward(running, nullptr);
        return 0;
      }
      break;
    case StartRequest::kFirstRunDownload:
      closeAllRunningWindows();
      break;
  }
  if (!openWindows(role, showCommand)) {
    shutDown();
    return 1;
  }
  settings_.checkRegistryWritable(platform_.ids, modal_);
  if (settings_.settings().setupLevel < product::kVersionLevel && dialogs_.runSetup)
    dialogs_.runSetup(*this);
  int code = messageLoop();
  shutDown();
  return code;
}

void App::prepare() {
  folders_ = resolveKnownFolders(platform_.shell);
  settings_.loadSettings(text_);
}

void App::startServices() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  internet_ = platform_.openInternet();
  // Workers wake the message loop with an empty message; the main window exists before
  // any worker does.
  engine_ = std::make_unique<TransferEngine>(*internet_, fileOps_, platform_.ids, platform_.clock,
                                             [this] {
                                               if (HWND main = wakeWindow_.load())
                                                 PostMessageA(main, WM_NULL, 0, 0);
                                             });
  queue_ = std::make_unique<DownloadQueue>(text_, parser_, *engine_);
  commands_ =
      std::make_unique<ItemCommands>(*queue_, downloadRows_, fileOps_, platform_.shell,
                                     platform_.clock, folders_, text_, settings_, connectionCheck_);
  scheduler_ = std::make_unique<TransferScheduler>(*queue_, *commands_, downloadRows_, settings_);
  database_ = std::make_unique<QueueDatabase>(*queue_, fileOps_, parser_, settings_, folders_);
}

bool App::openWindows(ProcessRole role, int showCommand) {
  role_ = role;
  startServices();
  theme_.loadCursors();
  images_.loadImages(instance_, folders_.programFiles);
  if (!createMainWindow()) return false;
  windowsOpen_ = true;
  wakeWindow_ = windows_.main;
  modal_.setMainWindow(windows_.main);
  modal_.setPreparation([this] {
    surface_.releaseCapture();
    surface_.refresh();
  });
  if (role_ == ProcessRole::kDownload) {
    downloadRows_.attach(windows_.list);
    content_ = std::make_unique<DownloadRole>(*this);
  } else {
    siteRows_.attach(windows_.list);
    content_ = siteFactory_ ? siteFactory_(*this) : std::make_unique<SiteRole>(*this);
  }
  if (content_) {
    if (SiteSteps* site = content_->siteSteps()) scheduler_->setSiteSteps(site);
    RECT client = {};
    GetClientRect(windows_.main, &client);
    content_->createColumns(client.right - client.left);
  }
  if (role_ == ProcessRole::kDownload) {
    clipboard_.join(windows_.main);
    loadQueue();
  }
  surface_.setRoleLabels();
  surface_.makeFontsAndColours();
  if (role_ == ProcessRole::kDownload) placeQuarterLower();
  surface_.layout(0);
  showWindows(showCommand);
  return true;
}

void App::loadQueue() {
  const QueueLoad load = database_->loadQueueDatabase();
  // A Site Window fetches its pages into the same folder: while one runs, a piece file
  // no database names may be its page on the way.
  if (!FindWindowA(window_class::kSite, nullptr)) database_->deleteOrphanedPieces(load);
  saver_ = std::make_unique<QueueSaver>(*queue_, *database_, platform_.clock, [this] {
    if (HWND main = wakeWindow_.load()) PostMessageA(main, WM_NULL, 0, 0);
  });
  saver_->markSaved();
  if (content_) content_->addNewRows();
}

void App::placeQuarterLower() {
  RECT r = {};
  if (!GetWindowRect(windows_.main, &r)) return;
  const int w = r.right - r.left, h = r.bottom - r.top;
  MoveWindow(windows_.main, r.left, r.top + h / 4, w, h - h / 4, FALSE);
}

void App::showWindows(int showCommand) {
  for (HWND child : {windows_.edit, windows_.check, windows_.tree, windows_.list})
    ShowWindow(child, SW_SHOWNORMAL);
  ShowWindow(windows_.main, showCommand);
}

int App::messageLoop() {
  MSG message = {};
  for (;;) {
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) idlePass();
    BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got == -1) return 0;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void App::idlePass() {
  if (!windowsOpen_ || shutDown_) return;
  if (takeRequest(requests_.selectAllInAddressBox)) SendMessageA(windows_.edit, EM_SETSEL, 0, -1);
  if (takeRequest(requests_.openConnectDialog) && dialogs_.showConnectDialog)
    dialogs_.showConnectDialog(*this);
  settings_.reloadChangedSettings();
  if (content_) content_->addNewRows();
  scheduler_->runScheduler();
  if (saver_) saver_->onIdlePass();
  surface_.refresh();
  forwardOutgoingAddresses();
  // The empty message lets the messages that wait go first, then brings the next pass.
  if (content_ && content_->wantsAnotherPass()) PostMessageA(windows_.main, WM_NULL, 0, 0);
}

void App::forwardOutgoingAddresses() {
  if (outgoing_.empty()) return;
  if (HWND download = FindWindowA(window_class::kDownload, nullptr)) {
    sendHandOver(download, windows_.main, outgoing_);
    outgoing_.clear();
    launched_ = false;
  } else if (!launched_) {
    startOwnProgram("");
    launched_ = true;
  }
}

void App::shutDown() {
  if (shutDown_ || !windowsOpen_) return;
  shutDown_ = true;
  KillTimer(windows_.main, kIdleTimer);
  hideTrayIcon();
  if (role_ == ProcessRole::kDownload) {
    // A background save still being written would meet this one on the disk.
    if (saver_) saver_->stop();
    database_->saveQueueDatabase();
  }
  if (content_) content_->cancelPageFetches();
  engine_->destroyAllJobs();
  // The jobs are gone; no item may point at one (the queue frees its items' jobs).
  for (DownloadItem* item = queue_->first(); item; item = item->next)
    queue_->setJob(*item, nullptr);
  if (role_ == ProcessRole::kDownload) clipboard_.leave();
  images_.destroyImageList();
}

void App::startOwnProgram(const std::string& arguments) {
  platform_.shell.open(folders_.executable, arguments);
}

void App::openHelp() {
  platform_.shell.open(std::string(product::kHelpSite) + "help/", "");
}

void App::switchClipboardWatching() {
  settings_.setNumberSetting("copy", &Settings::watchClipboard,
                             settings_.settings().watchClipboard ? 0 : 1);
}
