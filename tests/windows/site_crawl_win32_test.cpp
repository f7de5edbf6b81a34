// A small site crawled with Expand on through the real ports: WinInet against the local
// HTTP server, the Windows file system, a tree view and a list view in a hidden window
// whose notifications reach the model as they do in the Site Window.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "download/connection_check.h"
#include "download/download_queue.h"
#include "download/item_commands.h"
#include "download/transfer_scheduler.h"
#include "fakes/fake_connection.h"
#include "fakes/fake_modal_messages.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_row_list.h"
#include "fakes/fake_shell.h"
#include "fakes/fake_waiting_messages.h"
#include "platform/win32/list_view_rows.h"
#include "platform/win32/tree_view_pages.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_file_types.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_ids.h"
#include "platform/win32/win32_site_frame.h"
#include "platform/win32/win32_text_rules.h"
#include "platform/win32/wininet_internet.h"
#include "site/site_crawl.h"
#include "store/settings.h"
#include "transfer/file_ops.h"
#include "transfer/transfer_engine.h"
#include "url/address.h"
#include "windows/local_server.h"

namespace {

constexpr char kWindowClass[] = "HaulixSiteCrawlTestWindow";

class SiteCrawlWin32Test : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(site_.write("index.htm",
                            "<html><head><title>Home</title></head><body>\n"
                            "<a href=\"a.htm\">A</a> <a href=\"b.htm\">B</a>\n"
                            "<a href=\"caf\xC3\xA9.htm\">Caf\xC3\xA9</a>\n"
                            "<a href=\"big.jpg\"><img src=\"small.jpg\"></a>\n"
                            "<a href=\"http://elsewhere.invalid/x.htm\">x</a>\n"
                            "<a href=\"missing.htm\">gone</a></body></html>"));
    ASSERT_TRUE(site_.write("a.htm",
                            "<title>Page A</title><a href=d.htm>d</a>"
                            "<a href=index.htm>home</a>"));
    ASSERT_TRUE(site_.write("b.htm",
                            "<title>Page B</title>"
                            "<meta http-equiv=refresh content=\"0; url=e.htm\">"));
    ASSERT_TRUE(site_.write("caf\xC3\xA9.htm", "<title>Menu</title><a href=d.htm>d</a>"));
    ASSERT_TRUE(site_.write("d.htm", "<title>Page D</title><img src=logo.gif>"));
    ASSERT_TRUE(site_.write("e.htm", "<title>Page E</title>"));
    ASSERT_TRUE(server_.running()) << server_.error();

    settings_.loadSettings(text_);
    settings_.setNumberSetting("get", &Settings::filesAtOnce, 1);
    settings_.setTextSetting("folder", &Settings::saveFolder, saveFolder_.path());

    INITCOMMONCONTROLSEX init = {sizeof init, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, kWindowClass, "Haulix", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 600,
                                20, window_, nullptr, GetModuleHandleA(nullptr), nullptr);
    HWND tree =
        CreateWindowExA(0, WC_TREEVIEWA, "",
                        WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT, 0,
                        30, 300, 120, window_, nullptr, GetModuleHandleA(nullptr), nullptr);
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 300, 30,
                                300, 400, window_, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(edit && tree && list);
    for (int column = 0; column < 5; ++column) {
      LVCOLUMNA header = {};
      header.mask = LVCF_TEXT | LVCF_WIDTH;
      header.cx = 60;
      header.pszText = const_cast<char*>("c");
      SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&header));
    }
    tree_.attach(tree);
    rows_.attach(list);
    frame_.attach(window_, edit, tree);
    wakeWindow_ = window_;
    scheduler_.setSiteSteps(&crawl_);
  }

  void TearDown() override {
    wakeWindow_ = nullptr;
    explorer_.discardPages();
    if (window_) DestroyWindow(window_);
  }

  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<SiteCrawlWin32Test*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && message == WM_NOTIFY) {
      if (self->tree_.answerDisplayInfo(*reinterpret_cast<NMHDR*>(l))) return 0;
      const TreeNotification read = readTreeNotification(*reinterpret_cast<const NMHDR*>(l));
      switch (read.kind) {
        case TreeNotification::Kind::kSelectionChanged:
          self->explorer_.onTreeSelectionChanged(read.item);
          break;
        case TreeNotification::Kind::kExpanded:
          self->explorer_.onTreeItemExpanded(read.item);
          break;
        case TreeNotification::Kind::kCollapsed:
          self->explorer_.onTreeItemCollapsed(read.item);
          break;
        case TreeNotification::Kind::kNone:
          break;
      }
    }
    return DefWindowProcA(window, message, w, l);
  }

  // Idle passes as the Site Window runs them, woken by the workers' empty messages, until
  // nothing is fetched and every shown page is read and, when it has children, open.
  bool runUntilSettled() {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 30000) {
      scheduler_.runScheduler();
      if (explorer_.addWaitingRows())
        rows_.sortRows([this](const SitePage* a, const SitePage* b) {
          return compareSiteRows(*a, *b, -2, text_);
        });
      if (settled()) return true;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    return false;
  }
  bool settled() {
    if (!explorer_.pagesWithJobs().empty()) return false;
    for (const SiteTree::Place& place : explorer_.tree().crawlOrder()) {
      if (place.page->state == PageState::Unread) return false;
      if (place.page->firstChild && !tree_.isExpanded(place.page->treeItem)) return false;
    }
    return true;
  }

  // The tree as the control holds it: one line per item, two spaces per level, "+" after
  // an item with the children flag.
  std::string outline(HTREEITEM parent = TVI_ROOT, int depth = 0) {
    std::string out;
    HWND tree = tree_.handle();
    for (auto item = reinterpret_cast<HTREEITEM>(
             SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
         item; item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                               reinterpret_cast<LPARAM>(item)))) {
      char text[256] = {};
      TVITEMA read = {};
      read.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_CHILDREN;
      read.hItem = item;
      read.pszText = text;
      read.cchTextMax = sizeof text;
      SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read));
      out += std::string(static_cast<size_t>(depth) * 2, ' ') + text +
             (read.cChildren ? " +" : "") + "\n";
      out += outline(item, depth + 1);
    }
    return out;
  }

  // The GET paths the server saw, in order, without its control requests.
  std::vector<std::string> requestedPaths() {
    std::vector<std::string> paths;
    for (const LocalServer::Request& request : server_.requests())
      if (request.method == "GET" && request.path.rfind("/_", 0) != 0)
        paths.push_back(request.path);
    return paths;
  }

  TempFolder site_;
  TempFolder saveFolder_;
  LocalServer server_{LocalServer::Kind::Http, {"--root", site_.unixPath()}};
  Win32TextRules rules_;
  ByteText text_{rules_};
  Win32FileTypes types_;
  AddressParser parser_{text_, types_};
  Win32Files files_;
  Win32Ids ids_;
  Win32Clock clock_;
  FileOps fileOps_{files_, ids_, text_};
  WinInetInternet internet_;
  std::atomic<HWND> wakeWindow_{nullptr};
  TransferEngine engine_{internet_, fileOps_, ids_, clock_, [this] {
                           if (HWND window = wakeWindow_.load())
                             PostMessageA(window, WM_NULL, 0, 0);
                         }};
  DownloadQueue queue_{text_, parser_, engine_};
  FakeRowList<DownloadItem> downloadRows_;
  FakeShell shell_;
  KnownFolders folders_ = [] {
    KnownFolders known;
    known.windows = "C:\\windows";
    known.myDocuments = "C:\\users\\Public\\Documents";
    return known;
  }();
  FakeRegistry registry_;
  SettingsStore settings_{registry_, folders_};
  FakeConnection connection_;
  IdleRequests requests_;
  ConnectionCheck connectionCheck_{settings_, connection_, requests_};
  ItemCommands commands_{queue_,   downloadRows_, fileOps_,  shell_,          clock_,
                         folders_, text_,         settings_, connectionCheck_};
  TransferScheduler scheduler_{queue_, commands_, downloadRows_, settings_};
  HWND window_ = nullptr;
  TreeViewPages<SitePage> tree_;
  ListViewRows<SitePage> rows_;
  Win32SiteFrame frame_;
  FakeModalMessages messages_;
  FakeWaitingMessages waiting_;
  std::string outgoing_;
  SiteExplorer explorer_{text_,
                         parser_,
                         fileOps_,
                         engine_,
                         SiteViews{tree_, rows_, frame_, messages_, shell_, waiting_},
                         outgoing_};
  SiteCrawl crawl_{explorer_, settings_, connectionCheck_};
};

TEST_F(SiteCrawlWin32Test, ExpandReadsTheWholeSiteOncePerPageThroughWinInet) {
  crawl_.toggleExpand();
  explorer_.openTypedAddress(server_.address("/index.htm"));
  ASSERT_TRUE(runUntilSettled());

  EXPECT_EQ(requestedPaths(),
            (std::vector<std::string>{"/index.htm", "/a.htm", "/b.htm", "/caf%C3%A9.htm",
                                      "/missing.htm", "/d.htm", "/e.htm"}));
  EXPECT_EQ(outline(),
            "Home - index.htm +\n"
            "  Page A - a.htm +\n"
            "    Page D - d.htm\n"
            "  Page B - b.htm +\n"
            "    Page E - e.htm\n"
            "  Menu - caf\xC3\xA9.htm\n"
            "  missing.htm (Cannot find server)\n"
            "  links +\n"
            "    x.htm\n");
  EXPECT_EQ(frame_.title(), "Home - index.htm - Haulix");

  // The root's list holds every address once.
  std::vector<std::string> listed;
  for (int row = 0; row < rows_.rowCount(); ++row) listed.push_back(rows_.cellText(row, 4));
  std::sort(listed.begin(), listed.end());
  const std::string site = server_.address("/");
  EXPECT_EQ(listed,
            (std::vector<std::string>{site + "a.htm", site + "b.htm", site + "big.jpg",
                                      site + "caf\xC3\xA9.htm", site + "d.htm", site + "e.htm",
                                      site + "index.htm", site + "logo.gif", site + "missing.htm",
                                      site + "small.jpg", "http://elsewhere.invalid/x.htm"}));

  // No page file is left in the save folder.
  WIN32_FIND_DATAA found = {};
  HANDLE search = FindFirstFileA((saveFolder_.path() + "*.db").c_str(), &found);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE) << found.cFileName;
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

}  // namespace
