// The Site Window driven with messages as the user drives it, on the real ports against a
// local site: the Address box, the tree and the list, the buttons, the tree's reports, and
// Get handing links to a Download Window of the same process.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/menu_ids.h"
#include "app/site_role.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_connection.h"
#include "fakes/fake_files.h"
#include "fakes/fake_ids.h"
#include "fakes/fake_internet.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_shell.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_ids.h"
#include "platform/win32/win32_text_rules.h"
#include "platform/win32/wininet_internet.h"
#include "windows/clipboard_lock.h"
#include "windows/local_server.h"

namespace {

using namespace control;

constexpr const char* kDocuments = "C:\\Users\\me\\Documents";
constexpr const char* kAppData = "C:\\Users\\me\\Application Data";

// The ports of one process: real files, network, ids and clock for the Site Window, which
// fetches pages; fakes for the Download Window, which only takes addresses here.
struct SitePorts {
  Win32Files files;
  Win32Ids ids;
  Win32Clock clock;
  Win32TextRules rules;
  FakeShell shell;
  FakeRegistry registry;
  FakeConnection connection;
  Platform platform() {
    return Platform{
        files, ids,      clock,      rules,
        shell, registry, connection, [] { return std::make_unique<WinInetInternet>(); }};
  }
};
struct FakePorts {
  FakeFiles files;
  FakeIds ids;
  FakeClock clock;
  Win32TextRules rules;
  FakeShell shell;
  FakeRegistry registry;
  FakeConnection connection;
  Platform platform() {
    return Platform{files, ids,      clock,      rules,
                    shell, registry, connection, [] { return std::make_unique<FakeInternet>(); }};
  }
};

template <class Ports>
void prepareSetting(Ports& ports) {
  ports.shell.csidlFolders = {{CSIDL_PERSONAL, kDocuments}, {CSIDL_APPDATA, kAppData}};
  ports.registry.putNumber(RegistryRoot::kCurrentUser, "Software\\Haulix", "setup", 300);
}

class SiteWindow : public testing::Test {
 protected:
  // First, so that it is released only once the windows are gone. Only the tests that use
  // the clipboard, or make a Download Window (which watches it), take their turn.
  std::optional<ClipboardLock> clipboardLock_;

  void SetUp() override {
    ASSERT_TRUE(site_.write("index.htm",
                            "<html><head><title>Home</title></head><body>\n"
                            "<a href=\"a.htm\">A</a> <a href=\"b.htm\">B</a>\n"
                            "<a href=\"big.jpg\"><img src=\"small.jpg\"></a>\n"
                            "<a href=\"notes.txt\">notes</a></body></html>"));
    ASSERT_TRUE(site_.write("a.htm", "<title>Page A</title><a href=d.htm>d</a><img src=a.gif>"));
    ASSERT_TRUE(site_.write("b.htm", "<title>Page B</title>"));
    ASSERT_TRUE(site_.write("d.htm", "<title>Page D</title>"));
    ASSERT_TRUE(server_.running()) << server_.error();

    prepareSetting(ports_);
    ports_.registry.putText(RegistryRoot::kCurrentUser, "Software\\Haulix", "folder",
                            saveFolder_.path());
    ports_.registry.putNumber(RegistryRoot::kCurrentUser, "Software\\Haulix", "get", 1);
    app_ = std::make_unique<App>(GetModuleHandleA(nullptr), ports_.platform());
    app_->prepare();
    ASSERT_TRUE(app_->openWindows(ProcessRole::kSite, SW_SHOWNORMAL));
    HWND main = app_->windows().main;
    RECT window = {0, 0, 800, 600};
    AdjustWindowRectEx(&window, WS_OVERLAPPEDWINDOW, FALSE, 0);
    SetWindowPos(main, nullptr, 0, 0, window.right - window.left, window.bottom - window.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    pump();
  }

  void TearDown() override {
    app_.reset();
    downloadApp_.reset();
    pump();
  }

  // Dispatches whatever is waiting; a quit message from a window going away is dropped.
  static void pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }

  // Idle passes, as the message loop runs them, until the condition holds (a minute at most:
  // the pages come from a local server, but the machine may be busy).
  bool runUntil(const std::function<bool()>& done) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 60000) {
      app_->idlePass();
      if (done()) return true;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
      pump();
    }
    return false;
  }
  // Idle passes until settled, and one more, which adds the rows the last fetch marked.
  bool runUntilSettled() {
    if (!runUntil([&] { return settled(); })) return false;
    app_->idlePass();
    return true;
  }
  // Nothing is fetched, and every page shown in the tree is read.
  bool settled() {
    SiteExplorer& explorer = role().explorer();
    if (!explorer.rootPage() || !explorer.pagesWithJobs().empty()) return false;
    for (const SiteTree::Place& place : explorer.tree().crawlOrder())
      if (place.page->state == PageState::Unread) return false;
    return true;
  }

  SiteRole& role() { return *static_cast<SiteRole*>(app_->content()); }
  HWND edit() { return app_->windows().edit; }
  HWND list() { return app_->windows().list; }
  const DrawnControls& controls() { return app_->surface().controls(); }

  // Types into the Address box and presses Enter there.
  void typeAddress(const std::string& text) {
    SetWindowTextA(edit(), text.c_str());
    SendMessageA(edit(), WM_KEYDOWN, VK_RETURN, 0);
    SendMessageA(edit(), WM_CHAR, VK_RETURN, 0);
    SendMessageA(edit(), WM_KEYUP, VK_RETURN, 0);
  }

  // A click in the middle of a drawn control, as the mouse gives it.
  void clickControl(int control) {
    const Rect& r = controls()[control].rect;
    const int x = r.x + r.width / 2, y = r.y + r.height / 2;
    POINT at = {x, y};
    ClientToScreen(app_->windows().main, &at);
    SetCursorPos(at.x, at.y);
    SendMessageA(app_->windows().main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(app_->windows().main, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  ControlKind kindOf(int control) {
    app_->surface().refresh();
    return controls()[control].kind;
  }

  // The tree as the control holds it: one line per item, two spaces per level.
  std::string outline(HTREEITEM parent = TVI_ROOT, int depth = 0) {
    std::string out;
    HWND tree = app_->windows().tree;
    for (auto item = reinterpret_cast<HTREEITEM>(
             SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
         item; item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                               reinterpret_cast<LPARAM>(item)))) {
      char text[256] = {};
      TVITEMA read = {};
      read.mask = TVIF_HANDLE | TVIF_TEXT;
      read.hItem = item;
      read.pszText = text;
      read.cchTextMax = sizeof text;
      SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read));
      out += std::string(static_cast<size_t>(depth) * 2, ' ') + text + "\n";
      out += outline(item, depth + 1);
    }
    return out;
  }

  // The Address cells of the list, sorted.
  std::vector<std::string> listedAddresses() {
    std::vector<std::string> listed;
    for (int row = 0; row < role().rows().rowCount(); ++row)
      listed.push_back(role().rows().cellText(row, 4));
    std::sort(listed.begin(), listed.end());
    return listed;
  }
  int rowOf(const std::string& address) {
    for (int row = 0; row < role().rows().rowCount(); ++row)
      if (role().rows().cellText(row, 4) == address) return row;
    return -1;
  }
  void selectRow(int row) {
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendMessageA(list(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  }

  std::string at(const std::string& path) { return server_.address(path); }
  // The page of an address; nullptr when the window knows none.
  SitePage* page(const std::string& address) {
    for (SitePage* p = role().explorer().registry().first(); p; p = p->nextPage)
      if (p->address.fullAddress == address) return p;
    return nullptr;
  }

  TempFolder site_;
  TempFolder saveFolder_;
  LocalServer server_{LocalServer::Kind::Http, {"--root", site_.unixPath()}};
  SitePorts ports_;
  std::unique_ptr<App> app_;
  FakePorts downloadPorts_;
  std::unique_ptr<App> downloadApp_;
};

TEST_F(SiteWindow, EnterInTheAddressBoxFillsTheTreeAndTheListFromTheSite) {
  EXPECT_EQ(kindOf(kRefresh), ControlKind::kDisabledButton);
  typeAddress(at("/index.htm"));
  ASSERT_TRUE(runUntilSettled());

  // The root's links are read; its child pages wait, closed, unread.
  EXPECT_EQ(outline(),
            "Home - index.htm\n"
            "  a.htm\n"
            "  b.htm\n");
  EXPECT_EQ(listedAddresses(),
            (std::vector<std::string>{at("/a.htm"), at("/b.htm"), at("/big.jpg"), at("/index.htm"),
                                      at("/notes.txt"), at("/small.jpg")}));
  char title[256] = {};
  GetWindowTextA(app_->windows().main, title, sizeof title);
  EXPECT_STREQ(title, "Home - index.htm - Haulix");
  EXPECT_EQ(kindOf(kRefresh), ControlKind::kButton);
  EXPECT_EQ(kindOf(kBack), ControlKind::kDisabledButton);
  EXPECT_EQ(kindOf(kGet), ControlKind::kDisabledButton);
  // No page shown is left to read, so there is nothing to stop.
  EXPECT_EQ(kindOf(kStop), ControlKind::kDisabledButton);

  // Opening the root shows its child pages, which are read in turn.
  role().tree().expand(role().explorer().rootPage()->treeItem);
  EXPECT_EQ(kindOf(kStop), ControlKind::kButton);
  ASSERT_TRUE(runUntilSettled());
  EXPECT_EQ(outline(),
            "Home - index.htm\n"
            "  Page A - a.htm\n"
            "    d.htm\n"
            "  Page B - b.htm\n");
  EXPECT_EQ(rowOf(at("/d.htm")) >= 0, true);
  EXPECT_EQ(rowOf(at("/a.gif")) >= 0, true);
  EXPECT_EQ(kindOf(kStop), ControlKind::kDisabledButton);
}

TEST_F(SiteWindow, GetHandsTheSelectedLinksToTheDownloadWindowsQueue) {
  clipboardLock_.emplace();
  prepareSetting(downloadPorts_);
  downloadPorts_.files.putFolder(kDocuments);
  downloadPorts_.files.putFolder(kAppData);
  downloadApp_ = std::make_unique<App>(GetModuleHandleA(nullptr), downloadPorts_.platform());
  downloadApp_->prepare();
  ASSERT_TRUE(downloadApp_->openWindows(ProcessRole::kDownload, SW_SHOWNORMAL));

  typeAddress(at("/index.htm"));
  ASSERT_TRUE(runUntilSettled());
  EXPECT_EQ(kindOf(kGet), ControlKind::kDisabledButton);
  selectRow(rowOf(at("/big.jpg")));
  selectRow(rowOf(at("/notes.txt")));
  EXPECT_EQ(kindOf(kGet), ControlKind::kButton);
  clickControl(kGet);
  EXPECT_EQ(app_->outgoingAddresses(), at("/big.jpg") + "\r\n" + at("/notes.txt") + "\r\n");

  // The next pass hands them over, and the Download Window queues them.
  app_->idlePass();
  EXPECT_EQ(app_->outgoingAddresses(), "");
  std::vector<std::string> queued;
  for (DownloadItem* item = downloadApp_->queue().first(); item; item = item->next)
    queued.push_back(item->address.fullAddress);
  EXPECT_EQ(queued, (std::vector<std::string>{at("/big.jpg"), at("/notes.txt")}));
  // No second copy of the program was started for it.
  EXPECT_TRUE(ports_.shell.opened.empty());
}

TEST_F(SiteWindow, SelectingAPageInTheTreeListsItsLinksAndTheRootListsThemAll) {
  typeAddress(at("/index.htm"));
  ASSERT_TRUE(runUntilSettled());
  role().tree().expand(role().explorer().rootPage()->treeItem);
  ASSERT_TRUE(runUntilSettled());
  const int rootRows = role().rows().rowCount();

  SitePage* pageA = page(at("/a.htm"));
  ASSERT_NE(pageA, nullptr);
  role().tree().select(pageA->treeItem);
  pump();
  app_->idlePass();
  EXPECT_EQ(role().explorer().selectedPage(), pageA);
  EXPECT_EQ(listedAddresses(),
            (std::vector<std::string>{at("/a.gif"), at("/a.htm"), at("/d.htm")}));

  role().tree().select(role().explorer().rootPage()->treeItem);
  app_->idlePass();
  EXPECT_EQ(role().rows().rowCount(), rootRows);
}

TEST_F(SiteWindow, BackForwardAndRefreshWalkTheHistory) {
  typeAddress(at("/index.htm"));
  ASSERT_TRUE(runUntilSettled());
  typeAddress(at("/a.htm"));
  ASSERT_TRUE(runUntilSettled());
  EXPECT_EQ(outline(), "Page A - a.htm\n  d.htm\n");
  EXPECT_EQ(kindOf(kBack), ControlKind::kButton);
  EXPECT_EQ(kindOf(kForward), ControlKind::kDisabledButton);

  // Back shows the older address again; the pages read since keep what was read.
  clickControl(kBack);
  ASSERT_TRUE(runUntilSettled());
  EXPECT_EQ(outline(), "Home - index.htm\n  Page A - a.htm\n  b.htm\n");
  char box[256] = {};
  GetWindowTextA(edit(), box, sizeof box);
  EXPECT_EQ(box, at("/index.htm"));
  EXPECT_EQ(kindOf(kForward), ControlKind::kButton);

  clickControl(kForward);
  ASSERT_TRUE(runUntilSettled());
  EXPECT_EQ(outline(), "Page A - a.htm\n  d.htm\n");

  // Refresh reads the page again from the server.
  const size_t before = server_.requests().size();
  clickControl(kRefresh);
  ASSERT_TRUE(runUntilSettled());
  EXPECT_EQ(server_.requests().size(), before + 1);
  EXPECT_EQ(server_.requests().back().path, "/a.htm");
}

TEST_F(SiteWindow, ExpandReadsEveryBranchAndStopEndsTheCrawl) {
  clickControl(kExpand);
  EXPECT_EQ(kindOf(kExpand), ControlKind::kLatchedButton);
  typeAddress(at("/index.htm"));
  ASSERT_TRUE(runUntil([&] {
    return settled() && page(at("/d.htm")) && page(at("/d.htm"))->state == PageState::Read;
  }));
  app_->idlePass();
  EXPECT_EQ(outline(),
            "Home - index.htm\n"
            "  Page A - a.htm\n"
            "    Page D - d.htm\n"
            "  Page B - b.htm\n");

  // A new address starts its fetch at the next pass; Stop ends it, and no pass starts
  // another.
  clickControl(kExpand);
  EXPECT_EQ(kindOf(kExpand), ControlKind::kButton);
  typeAddress(at("/a.htm"));
  app_->idlePass();
  EXPECT_EQ(role().explorer().pagesWithJobs().size(), 1u);
  EXPECT_EQ(kindOf(kStop), ControlKind::kButton);
  clickControl(kStop);
  EXPECT_TRUE(role().explorer().fetchStopped());
  EXPECT_TRUE(role().explorer().pagesWithJobs().empty());
  EXPECT_EQ(kindOf(kStop), ControlKind::kDisabledButton);
  for (int pass = 0; pass < 5; ++pass) app_->idlePass();
  EXPECT_TRUE(role().explorer().pagesWithJobs().empty());
  EXPECT_EQ(role().explorer().rootPage()->state, PageState::Unread);

  // A connection found again lets the crawl go on.
  role().resumePageFetches();
  EXPECT_EQ(kindOf(kStop), ControlKind::kButton);
  clickControl(kStop);
  EXPECT_TRUE(role().explorer().fetchStopped());

  // So does Enter on the same address.
  typeAddress(at("/a.htm"));
  ASSERT_TRUE(runUntilSettled());
  EXPECT_EQ(outline(), "Page A - a.htm\n  d.htm\n");
}

TEST_F(SiteWindow, TheAddressLinkOpensTheClipboardsAddressAndGoOpensTheBox) {
  clipboardLock_.emplace();
  const std::string address = at("/b.htm");
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, address.size() + 1);
  memcpy(GlobalLock(memory), address.c_str(), address.size() + 1);
  GlobalUnlock(memory);
  SetClipboardData(CF_TEXT, memory);
  CloseClipboard();

  clickControl(kAddressLink);
  ASSERT_TRUE(runUntilSettled());
  EXPECT_EQ(outline(), "Page B - b.htm\n");
  char box[256] = {};
  GetWindowTextA(edit(), box, sizeof box);
  EXPECT_EQ(box, address);

  SetWindowTextA(edit(), at("/index.htm").c_str());
  clickControl(kGoLink);
  ASSERT_TRUE(runUntilSettled());
  EXPECT_EQ(outline(), "Home - index.htm\n  a.htm\n  b.htm\n");
}

TEST_F(SiteWindow, TheTreeMenuGraysElevateForTheRootAndElevateMakesAPageTheRoot) {
  typeAddress(at("/index.htm"));
  ASSERT_TRUE(runUntilSettled());
  SitePage* root = role().explorer().rootPage();
  SitePage* pageA = page(at("/a.htm"));
  ASSERT_NE(pageA, nullptr);
  HMENU loaded = LoadMenuA(GetModuleHandleA(nullptr), "MENU_CONTEXT");
  HMENU menu = GetSubMenu(loaded, menu_id::kSiteTreeMenu);
  ASSERT_NE(menu, nullptr);
  role().prepareTreeMenu(menu, *root);
  EXPECT_TRUE(GetMenuState(menu, menu_id::kTreeElevate, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), menu_id::kTreeOpen);
  DestroyMenu(loaded);

  // The command acts on the page under the cursor.
  role().tree().expand(root->treeItem);
  RECT rect = {};
  const auto handle = reinterpret_cast<HTREEITEM>(static_cast<std::uintptr_t>(pageA->treeItem));
  std::memcpy(&rect, &handle, sizeof handle);
  ASSERT_TRUE(
      SendMessageA(app_->windows().tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect)));
  POINT point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  ClientToScreen(app_->windows().tree, &point);
  SetCursorPos(point.x, point.y);
  app_->runCommand(menu_id::kTreeElevate);
  ASSERT_TRUE(runUntilSettled());
  EXPECT_EQ(role().explorer().rootPage()->address.fullAddress, at("/a.htm"));
  EXPECT_EQ(outline(), "Page A - a.htm\n  d.htm\n");
  EXPECT_EQ(kindOf(kBack), ControlKind::kButton);
}

// The cursor over the middle of a Site List row.
void cursorOverRow(HWND list, int row) {
  RECT rect = {};
  rect.left = LVIR_LABEL;
  ASSERT_TRUE(SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect)));
  POINT point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  ClientToScreen(list, &point);
  SetCursorPos(point.x, point.y);
}

// Holds the Control key down for this thread while it lives.
class ControlHeld {
 public:
  ControlHeld() {
    GetKeyboardState(saved_);
    BYTE held[256];
    memcpy(held, saved_, sizeof held);
    held[VK_CONTROL] |= 0x80;
    SetKeyboardState(held);
  }
  ~ControlHeld() { SetKeyboardState(saved_); }

 private:
  BYTE saved_[256] = {};
};

TEST_F(SiteWindow, TheListMenuOpensTheRowOrItsPageAndGetsTheSelection) {
  typeAddress(at("/index.htm"));
  ASSERT_TRUE(runUntilSettled());
  ShowWindow(app_->windows().main, SW_SHOWNORMAL);
  const int big = rowOf(at("/big.jpg"));
  ASSERT_GE(big, 0);
  cursorOverRow(list(), big);
  app_->runCommand(menu_id::kListOpen);
  app_->runCommand(menu_id::kListOpenPage);
  ASSERT_EQ(ports_.shell.opened.size(), 2u);
  EXPECT_EQ(ports_.shell.opened[0].first, at("/big.jpg"));
  EXPECT_EQ(ports_.shell.opened[1].first, at("/index.htm"));

  selectRow(rowOf(at("/notes.txt")));
  app_->runCommand(menu_id::kListGet);
  EXPECT_EQ(app_->outgoingAddresses(), at("/notes.txt") + "\r\n");
}

TEST_F(SiteWindow, EnterInTheListOpensTheMarkedRowAndCtrlAInTheTreeSelectsEveryRow) {
  typeAddress(at("/index.htm"));
  ASSERT_TRUE(runUntilSettled());
  const int notes = rowOf(at("/notes.txt"));
  SendMessageA(list(), LVM_SETSELECTIONMARK, 0, notes);
  SendMessageA(list(), WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_EQ(ports_.shell.opened.size(), 1u);
  EXPECT_EQ(ports_.shell.opened[0].first, at("/notes.txt"));

  {
    ControlHeld control;
    SendMessageA(app_->windows().tree, WM_KEYDOWN, 'A', 0);
  }
  EXPECT_EQ(role().rows().selectedCount(), role().rows().rowCount());
  EXPECT_EQ(GetFocus(), list());
}

TEST_F(SiteWindow, ClosingABranchTurnsExpandOff) {
  clickControl(kExpand);
  typeAddress(at("/index.htm"));
  ASSERT_TRUE(runUntil([&] {
    SitePage* d = page(at("/d.htm"));
    return settled() && d && d->state == PageState::Read;
  }));
  EXPECT_EQ(kindOf(kExpand), ControlKind::kLatchedButton);
  // The user closes the root with the keyboard (the control reports only that kind).
  role().tree().select(role().explorer().rootPage()->treeItem);
  SendMessageA(app_->windows().tree, WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_FALSE(role().tree().isExpanded(role().explorer().rootPage()->treeItem));
  EXPECT_EQ(kindOf(kExpand), ControlKind::kButton);
}

TEST_F(SiteWindow, PropertiesAndCopyTextGoToTheDialogsWithThePageConcerned) {
  std::vector<std::string> shown;
  app_->dialogs().showPageProperties = [&](App&, SitePage& page) {
    shown.push_back("page " + page.address.fullAddress);
  };
  app_->dialogs().showLinkProperties = [&](App&, SitePage& page) {
    shown.push_back("link " + page.address.fullAddress);
  };
  app_->dialogs().showCopyText = [&](App&, const char* name) { shown.push_back(name); };
  typeAddress(at("/index.htm"));
  ASSERT_TRUE(runUntilSettled());

  // With the cursor away from the tree's items, the tree's command takes the selected page.
  SetCursorPos(0, 0);
  app_->runCommand(menu_id::kTreeProperties);
  cursorOverRow(list(), rowOf(at("/small.jpg")));
  app_->runCommand(menu_id::kListProperties);
  app_->runCommand(menu_id::kListCopyText);
  {
    ControlHeld control;
    SendMessageA(list(), WM_KEYDOWN, 'C', 0);
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"page " + at("/index.htm"), "link " + at("/small.jpg"),
                                             "DIALOG_COPYGET", "DIALOG_COPYGET"}));
}

TEST_F(SiteWindow, AnAddressThatIsNoAddressIsRefusedWithAMessageAndChangesNothing) {
  typeAddress(at("/index.htm"));
  ASSERT_TRUE(runUntilSettled());
  const std::string tree = outline();

  // The message box is answered from another thread, as the user would.
  std::string message;
  const DWORD testThread = GetCurrentThreadId();
  std::thread answer([&] {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 60000) {
      // This test's box: other tests beside it may show boxes of the same title.
      HWND box = nullptr;
      EnumThreadWindows(
          testThread,
          [](HWND window, LPARAM found) {
            char title[64] = {};
            GetWindowTextA(window, title, sizeof title);
            if (!IsWindowVisible(window) || lstrcmpA(title, "Haulix") != 0) return TRUE;
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
          },
          reinterpret_cast<LPARAM>(&box));
      if (box) {
        char text[512] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        message = text;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return;
      }
      Sleep(20);
    }
  });
  typeAddress("mailto:someone");
  answer.join();
  EXPECT_EQ(message,
            "Haulix cannot open the Internet site you typed. Check the address and try again.");
  EXPECT_EQ(outline(), tree);
  EXPECT_EQ(role().explorer().rootPage()->address.fullAddress, at("/index.htm"));
  EXPECT_EQ(kindOf(kBack), ControlKind::kDisabledButton);
}

}  // namespace
