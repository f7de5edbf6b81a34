// The main window driven with messages, as the mouse, the keyboard and other processes
// drive it: layout, header clicks, the status line, rows, menus, paste and the tray.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/download_role.h"
#include "app/menu_ids.h"
#include "app_fixture.h"
#include "platform/own_images.h"

namespace {

using namespace control;

class DownloadWindow : public AppFixture {
 protected:
  DownloadRole& role() { return *static_cast<DownloadRole*>(app_->content()); }
  const DrawnControls& controls() { return app_->surface().controls(); }
  Rect centreOf(int control) { return controls()[control].rect; }
  void clickControl(int control) {
    const Rect& r = controls()[control].rect;
    clickAt(r.x + r.width / 2, r.y + r.height / 2);
  }

  // A click on a column header of the list, through the header control.
  void clickHeader(int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list(), LVM_GETHEADER, 0, 0));
    RECT r = {};
    SendMessageA(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&r));
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(header, WM_LBUTTONUP, 0, at);
    pump();
  }

  int headerImage(int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list(), LVM_GETHEADER, 0, 0));
    HDITEMA item = {};
    item.mask = HDI_IMAGE;
    SendMessageA(header, HDM_GETITEMA, column, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
  }

  std::vector<std::string> rowNames() {
    std::vector<std::string> names;
    for (int row = 0; row < app_->downloadRows().rowCount(); ++row)
      names.push_back(app_->downloadRows().cellText(row, 1));
    return names;
  }

  std::string cell(int row, int column) { return app_->downloadRows().cellText(row, column); }
};

TEST_F(DownloadWindow, PlacesItsChildWindowsAtTwoSizes) {
  open(ProcessRole::kDownload, 800, 600);
  const LayoutBoxes& boxes = app_->surface().boxes();
  EXPECT_EQ(childRect(list()), boxes.list);
  EXPECT_EQ(childRect(app_->windows().edit), boxes.edit);
  EXPECT_EQ(boxes.list.width, 796);
  EXPECT_EQ(boxes.status.bottom(), 600);
  EXPECT_EQ(controls()[kSizeGrip].rect.right(), 800);
  EXPECT_EQ(childRect(app_->windows().tree).width, 0);

  resizeClient(520, 360);
  EXPECT_EQ(childRect(list()), app_->surface().boxes().list);
  EXPECT_EQ(app_->surface().boxes().list.width, 516);
  EXPECT_EQ(app_->surface().boxes().status.bottom(), 360);
  EXPECT_EQ(controls()[kGoLink].rect.right(), 520 - 8);
}

TEST_F(DownloadWindow, DraggingTheSplitterStopsAt53) {
  open(ProcessRole::kDownload, 800, 600);
  const Rect splitter = controls()[kSplitter].rect;
  const int x = splitter.x + 20, y = splitter.y + 2;
  cursorAt(x, y);
  SendMessageA(app_->windows().main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  EXPECT_EQ(app_->surface().captured(), kSplitter);
  cursorAt(x, y - 300);
  app_->idlePass();
  EXPECT_EQ(controls()[kSplitter].rect.y, 53);
  EXPECT_EQ(childRect(app_->windows().edit).height, 53 - 28);
  cursorAt(x, y + 1000);
  app_->idlePass();
  const int t = textHeight(controls());
  EXPECT_EQ(controls()[kSplitter].rect.y, 600 - 2 * t - 14);
  EXPECT_EQ(childRect(list()).height, 0);
  SendMessageA(app_->windows().main, WM_LBUTTONUP, 0, MAKELPARAM(x, y + 1000));
  EXPECT_EQ(app_->surface().captured(), -1);
}

TEST_F(DownloadWindow, MaximisedHasNoSizeGrip) {
  open(ProcessRole::kDownload, 800, 600);
  ShowWindow(app_->windows().main, SW_MAXIMIZE);
  pump();
  ASSERT_TRUE(IsZoomed(app_->windows().main));
  RECT client = clientSize();
  EXPECT_EQ(app_->surface().boxes().status.width, client.right);
  EXPECT_EQ(controls()[kSizeGrip].rect.width, 0);
}

TEST_F(DownloadWindow, ThreeClicksOnAHeaderSortUpDownUpWithTheArrow) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/b.zip\r\nhttp://h/c.zip\r\nhttp://h/a.zip");
  EXPECT_EQ(rowNames(), (std::vector<std::string>{"a.zip", "b.zip", "c.zip"}));
  EXPECT_EQ(headerImage(1), imageIndex(OwnImage::kClear));

  clickHeader(1);
  EXPECT_EQ(rowNames(), (std::vector<std::string>{"a.zip", "b.zip", "c.zip"}));
  EXPECT_EQ(headerImage(1), imageIndex(OwnImage::kColumnAscending));
  EXPECT_EQ(SendMessageA(list(), LVM_GETSELECTEDCOLUMN, 0, 0), 1);
  clickHeader(1);
  EXPECT_EQ(rowNames(), (std::vector<std::string>{"c.zip", "b.zip", "a.zip"}));
  EXPECT_EQ(headerImage(1), imageIndex(OwnImage::kColumnDescending));
  clickHeader(1);
  EXPECT_EQ(rowNames(), (std::vector<std::string>{"a.zip", "b.zip", "c.zip"}));
  EXPECT_EQ(headerImage(1), imageIndex(OwnImage::kColumnAscending));

  // Another header takes the arrow and the highlight, and starts ascending.
  clickHeader(4);
  EXPECT_EQ(headerImage(1), imageIndex(OwnImage::kClear));
  EXPECT_EQ(headerImage(4), imageIndex(OwnImage::kColumnAscending));
  EXPECT_EQ(SendMessageA(list(), LVM_GETSELECTEDCOLUMN, 0, 0), 4);
  EXPECT_EQ(role().header().direction(), 1);
}

TEST_F(DownloadWindow, StatusColumnSortPutsFailedDoneQueuedInactive) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/1\r\nhttp://h/2\r\nhttp://h/3\r\nhttp://h/4\r\nhttp://h/5");
  DownloadItem* item = app_->queue().first();
  app_->queue().setState(*item, DownloadState::Inactive);
  item = item->next;
  app_->queue().setState(*item, DownloadState::Failed);
  item->message = "Not Found";
  item = item->next;
  app_->queue().setState(*item, DownloadState::Done);
  item = item->next;
  app_->queue().setState(*item, DownloadState::Failed);
  item->message = "Cannot Save";
  item->next->priority = 1;
  clickHeader(0);
  std::vector<std::string> order;
  for (int row = 0; row < 5; ++row) order.push_back(rowItem(row)->address.fullAddress);
  EXPECT_EQ(order, (std::vector<std::string>{"http://h/4", "http://h/2", "http://h/3", "http://h/5",
                                             "http://h/1"}));
}

// Rows that all come at once (as at start-up) are sorted by status alone, trusting the
// queue's address order; the result must be the order a full sort makes, ties between
// addresses the locale calls equal included.
TEST_F(DownloadWindow, FirstRowsTakeTheDefaultOrderAFullSortWouldGive) {
  open(ProcessRole::kDownload);
  app_->queue().addAddresses(
      "http://h/b\r\nhttp://h/B\r\nhttp://h/a\xAD\r\nhttp://h/a\r\nhttp://h/co-op\r\n"
      "http://h/coop\r\nhttp://h/A\r\nhttp://h/c");
  int n = 0;
  for (DownloadItem* item = app_->queue().first(); item; item = item->next, ++n)
    if (n % 3 == 1) app_->queue().setState(*item, DownloadState::Done);
  app_->content()->addNewRows();
  std::vector<DownloadItem*> first;
  for (int row = 0; row < app_->downloadRows().rowCount(); ++row) first.push_back(rowItem(row));
  ASSERT_EQ(first.size(), 8u);
  role().sortBy(-2);
  for (int row = 0; row < 8; ++row)
    EXPECT_EQ(rowItem(row), first[row]) << row << " " << first[row]->address.fullAddress;
}

TEST_F(DownloadWindow, StatusLineCountsOneRowAndAThousandRows) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/only");
  app_->idlePass();
  EXPECT_EQ(app_->surface().statusText(), "1 file  1 to get");
  app_->queue().setState(*app_->queue().first(), DownloadState::Done);
  app_->idlePass();
  EXPECT_EQ(app_->surface().statusText(), "1 file");

  app_->commands().clearSelected(ClearAction::kRemove, SavedFileDeletion::kNone);
  app_->downloadRows().deleteAllRows();
  app_->queue().removeItem(app_->queue().first());
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "http://h/" + std::to_string(i) + "\r\n";
  addAddresses(text);
  select(10);
  select(500);
  app_->idlePass();
  EXPECT_EQ(app_->surface().statusText(), "1,000 files  1,000 to get  2 selected");
}

// What the list would paint again: the parts of the row's cells in its update region.
std::vector<bool> cellsToPaint(HWND list, int row) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  GetUpdateRgn(list, region, FALSE);
  std::vector<bool> dirty;
  for (int column = 0; column < 6; ++column) {
    RECT cell = {};
    cell.top = column;
    cell.left = LVIR_LABEL;
    SendMessageA(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
    InflateRect(&cell, -1, -1);
    dirty.push_back(RectInRegion(region, &cell) != FALSE);
  }
  DeleteObject(region);
  return dirty;
}

TEST_F(DownloadWindow, RewritingARowRepaintsOnlyTheCellsThatChanged) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/file.zip");
  DownloadItem& item = *rowItem(0);
  UpdateWindow(app_->windows().main);
  ValidateRect(list(), nullptr);
  app_->commands().refreshRow(item);
  RECT dirty = {};
  EXPECT_FALSE(GetUpdateRect(list(), &dirty, FALSE));
  item.priority = 1;
  app_->commands().refreshRow(item);
  EXPECT_EQ(cell(0, 0), "First");
  EXPECT_EQ(cellsToPaint(list(), 0), (std::vector<bool>{true, false, false, false, false, false}));
  ValidateRect(list(), nullptr);
  app_->queue().setState(item, DownloadState::Done);
  item.size = 2048;
  item.savedPath = "C:\\d\\file.zip";
  app_->commands().refreshRow(item);
  EXPECT_EQ(cellsToPaint(list(), 0), (std::vector<bool>{true, false, true, false, false, true}));
  EXPECT_EQ(cell(0, 2), "2 KB");
  EXPECT_EQ(cell(0, 5), "C:\\d\\file.zip");
}

// The pixels of a box of a window as it shows them, and of an image drawn as a list draws
// its row images: on the list's background, blended with the highlight colour if selected.
std::vector<COLORREF> pixels(HDC source, const RECT& box) {
  std::vector<COLORREF> colours;
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) colours.push_back(GetPixel(source, x, y));
  return colours;
}

std::vector<COLORREF> imageAsListDraws(HIMAGELIST images, int index, COLORREF background,
                                       UINT style) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
  HGDIOBJ old = SelectObject(dc, bitmap);
  ImageList_DrawEx(images, index, dc, 0, 0, 16, 16, background, CLR_DEFAULT, style);
  std::vector<COLORREF> colours = pixels(dc, {0, 0, 16, 16});
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return colours;
}

TEST_F(DownloadWindow, RowsShowTheirIconsAsTheListWouldDrawThem) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/a.zip\r\nhttp://h/b.zip");
  select(1);
  SetFocus(list());
  ASSERT_EQ(GetFocus(), list());
  RedrawWindow(list(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  const auto background = static_cast<COLORREF>(SendMessageA(list(), LVM_GETBKCOLOR, 0, 0));
  HDC shown = GetDC(list());
  struct Case {
    int row;
    UINT style;
  };
  for (const Case& c : {Case{0, ILD_NORMAL}, Case{1, ILD_SELECTED}}) {
    ASSERT_GE(app_->downloadRows().cellImage(c.row, 0), 0);
    for (int column = 0; column < 2; ++column) {
      const int image = app_->downloadRows().cellImage(c.row, column);
      if (image < 0) continue;
      RECT box = {LVIR_ICON, column, 0, 0};
      ASSERT_TRUE(SendMessageA(list(), LVM_GETSUBITEMRECT, c.row, reinterpret_cast<LPARAM>(&box)));
      box.right = box.left + 16;
      box.bottom = box.top + 16;
      EXPECT_EQ(pixels(shown, box),
                imageAsListDraws(app_->images().imageList(), image, background, c.style))
          << "row " << c.row << ", column " << column;
    }
  }
  ReleaseDC(list(), shown);
}

// The header paints through a bitmap kept until it changes: after each change, what the
// window shows of it, the sorted column's arrow included, is what the header draws
// straight onto the window.
TEST_F(DownloadWindow, HeaderLooksAsItDrawsItselfOntoTheWindowAfterEachChange) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/b.zip\r\nhttp://h/a.zip");
  HWND header = reinterpret_cast<HWND>(SendMessageA(list(), LVM_GETHEADER, 0, 0));
  RECT client = {}, type = {};
  GetClientRect(header, &client);
  SendMessageA(header, HDM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&type));
  const LPARAM overType = MAKELPARAM((type.left + type.right) / 2, (type.top + type.bottom) / 2);
  HDC shown = GetDC(header);
  RedrawWindow(header, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  std::vector<COLORREF> before = pixels(shown, client);
  struct Change {
    const char* what;
    std::function<void()> make;
  };
  const Change changes[] = {
      {"sorted by Name", [&] { clickHeader(1); }},
      {"Name wider", [&] { SendMessageA(list(), LVM_SETCOLUMNWIDTH, 1, 200); }},
      {"mouse over Type", [&] { SendMessageA(header, WM_MOUSEMOVE, 0, overType); }},
  };
  for (const Change& change : changes) {
    change.make();
    UpdateWindow(header);
    const std::vector<COLORREF> painted = pixels(shown, client);
    SendMessageA(header, WM_ERASEBKGND, reinterpret_cast<WPARAM>(shown), 0);
    SendMessageA(header, WM_PAINT, reinterpret_cast<WPARAM>(shown), 0);
    const std::vector<COLORREF> drawn = pixels(shown, client);
    EXPECT_NE(drawn, before) << change.what;
    EXPECT_EQ(painted, drawn) << change.what;
    before = drawn;
  }
  ReleaseDC(header, shown);
}

TEST_F(DownloadWindow, TheAddressesLinkShowsItsTipWhenTheMouseRestsOnIt) {
  open(ProcessRole::kDownload);
  HWND tip = app_->windows().tooltip;
  ASSERT_FALSE(IsWindowVisible(tip));
  const Rect& link = controls()[kAddressLink].rect;
  const int x = link.x + link.width / 2, y = link.y + link.height / 2;
  cursorAt(x, y);
  SendMessageA(app_->windows().main, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  bool shown = false;
  for (DWORD start = GetTickCount(); !shown && GetTickCount() - start < 30000; Sleep(10)) {
    pump();
    shown = IsWindowVisible(tip) != FALSE;
  }
  EXPECT_TRUE(shown);
}

TEST_F(DownloadWindow, NewRowsOfASortedListGoAtTheEnd) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/b\r\nhttp://h/c");
  clickHeader(4);
  clickHeader(4);
  addAddresses("http://h/a");
  EXPECT_EQ(rowItem(2)->address.fullAddress, "http://h/a");
  EXPECT_EQ(rowItem(0)->address.fullAddress, "http://h/c");
}

class DownloadMenu : public DownloadWindow {
 protected:
  HMENU loadDownloadMenu() {
    loaded_ = LoadMenuA(GetModuleHandleA(nullptr), "MENU_CONTEXT");
    return GetSubMenu(loaded_, menu_id::kDownloadMenu);
  }
  void TearDown() override {
    if (loaded_) DestroyMenu(loaded_);
  }
  static bool grayed(HMENU menu, UINT command) {
    return (GetMenuState(menu, command, MF_BYCOMMAND) & MF_GRAYED) != 0;
  }
  static UINT defaultItem(HMENU menu) { return GetMenuDefaultItem(menu, FALSE, 0); }

  HMENU loaded_ = nullptr;
};

TEST_F(DownloadMenu, ActsOnTheLastSelectedRowWhateverRowWasClicked) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/1\r\nhttp://h/2\r\nhttp://h/3\r\nhttp://h/4");
  select(0);
  select(1);
  select(2);
  HMENU menu = loadDownloadMenu();
  role().prepareDownloadMenu(menu, rowItem(0));
  EXPECT_EQ(role().actedOn(), rowItem(2));
  app_->runCommand(menu_id::kOpen);
  ASSERT_EQ(shell_.opened.size(), 1u);
  EXPECT_EQ(shell_.opened[0].first, "http://h/3");

  // Queued rows without transfers: Get yes, Pause no; nothing saved to open.
  EXPECT_FALSE(grayed(menu, menu_id::kGet));
  EXPECT_TRUE(grayed(menu, menu_id::kPause));
  EXPECT_EQ(defaultItem(menu), menu_id::kOpen);
  EXPECT_TRUE(grayed(menu, menu_id::kOpenSaved));
  EXPECT_TRUE(grayed(menu, menu_id::kOpenFolder));
}

TEST_F(DownloadMenu, WithoutASelectionActsOnTheRowClicked) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/1\r\nhttp://h/2");
  HMENU menu = loadDownloadMenu();
  role().prepareDownloadMenu(menu, rowItem(1));
  EXPECT_EQ(role().actedOn(), rowItem(1));
  EXPECT_TRUE(grayed(menu, menu_id::kGet));
}

TEST_F(DownloadMenu, OffersTheSavedFileOfADoneItem) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/a.zip\r\nhttp://h/b.zip");
  DownloadItem& done = *rowItem(0);
  files_.putFolder("C:\\d");
  files_.putFile("C:\\d\\a.zip", "bytes");
  app_->queue().setState(done, DownloadState::Done);
  done.savedPath = "C:\\d\\a.zip";
  select(0);
  HMENU menu = loadDownloadMenu();
  role().prepareDownloadMenu(menu, &done);
  EXPECT_TRUE(grayed(menu, menu_id::kGet));
  EXPECT_EQ(defaultItem(menu), menu_id::kOpenSaved);
  EXPECT_FALSE(grayed(menu, menu_id::kOpenFolder));
  app_->runCommand(menu_id::kOpenFolder);
  ASSERT_EQ(shell_.opened.size(), 1u);
  EXPECT_EQ(shell_.opened[0].first, "C:\\d");
}

TEST_F(DownloadMenu, PauseOfOneRowPausesTheWholeQueue) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/1");
  select(0);
  ASSERT_EQ(app_->currentSettings().paused, 0);
  app_->runCommand(menu_id::kPause);
  EXPECT_EQ(app_->currentSettings().paused, 1);
  int32_t stored = 0;
  EXPECT_TRUE(
      registry_.readNumber(RegistryRoot::kCurrentUser, "Software\\Haulix", "pause", stored));
  EXPECT_EQ(stored, 1);
}

TEST_F(DownloadMenu, ARightClickOutsideTheRowsShowsNoMenu) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/1");
  int modalElements = 0;
  app_->modal().setPreparation([&] { ++modalElements; });
  Rect inList = app_->surface().boxes().list;
  cursorAt(inList.x + 40, inList.bottom() - 10);
  NMHDR click = {list(), 4, static_cast<UINT>(NM_RCLICK)};
  SendMessageA(app_->windows().main, WM_NOTIFY, 4, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(modalElements, 0);
}

TEST_F(DownloadWindow, CtrlVInTheListAddsTheClipboardsAddresses) {
  open(ProcessRole::kDownload);
  putClipboardText("http://h/one\r\nwww.example.com/two\r\nmailto:x@y");
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  SetFocus(list());
  SendMessageA(list(), WM_KEYDOWN, 'V', 0);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(queueAddresses(),
            (std::vector<std::string>{"http://h/one", "http://www.example.com/two"}));
}

TEST_F(DownloadWindow, TheAddressesLinkPastesAndTheGetLinkTakesTheBox) {
  open(ProcessRole::kDownload);
  putClipboardText("http://h/pasted");
  clickControl(kAddressLink);
  EXPECT_EQ(queueAddresses(), (std::vector<std::string>{"http://h/pasted"}));
  SetWindowTextA(app_->windows().edit, "http://h/typed\r\nhttp://h/typed2");
  clickControl(kGoLink);
  EXPECT_EQ(queueAddresses().size(), 3u);
  EXPECT_EQ(GetWindowTextLengthA(app_->windows().edit), 0);
}

TEST_F(DownloadWindow, PauseButtonSwitchesThePauseAndRemoveNeedsASelection) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/1\r\nhttp://h/2");
  app_->idlePass();
  EXPECT_EQ(controls()[kRemove].kind, ControlKind::kDisabledButton);
  clickControl(kRemove);
  EXPECT_EQ(app_->queue().size(), 2u);
  clickControl(kPause);
  EXPECT_EQ(app_->currentSettings().paused, 1);
  app_->idlePass();
  EXPECT_EQ(controls()[kPause].kind, ControlKind::kLatchedButton);
  clickControl(kPause);
  EXPECT_EQ(app_->currentSettings().paused, 0);

  select(1);
  app_->idlePass();
  EXPECT_EQ(controls()[kRemove].kind, ControlKind::kButton);
  clickControl(kRemove);
  EXPECT_EQ(app_->queue().size(), 1u);
  EXPECT_EQ(app_->downloadRows().rowCount(), 1);
}

TEST_F(DownloadWindow, HelpOpensTheHelpPage) {
  open(ProcessRole::kDownload);
  clickControl(kHelp);
  ASSERT_EQ(shell_.opened.size(), 1u);
  EXPECT_EQ(shell_.opened[0].first, "https://www.haulix.net/help/");
}

TEST_F(DownloadWindow, CloseBoxHidesInTheTrayAndShowBringsItBack) {
  open(ProcessRole::kDownload);
  HWND main = app_->windows().main;
  SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindowVisible(main));
  EXPECT_TRUE(app_->trayShown());

  std::string show = "show";
  COPYDATASTRUCT data = {0, static_cast<DWORD>(show.size() + 1), show.data()};
  EXPECT_EQ(SendMessageA(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), TRUE);
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_FALSE(app_->trayShown());
  EXPECT_TRUE(app_->queue().empty());

  // Any other text, even "Show", is addresses.
  std::string other = "Show\r\nhttp://h/x";
  data = {0, static_cast<DWORD>(other.size() + 1), other.data()};
  SendMessageA(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  EXPECT_EQ(queueAddresses(), (std::vector<std::string>{"http://h/x", "http://show/"}));
}

TEST_F(DownloadWindow, TrayClickRestoresAndTrayExitEnds) {
  open(ProcessRole::kDownload);
  HWND main = app_->windows().main;
  SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  SendMessageA(main, kTrayMessage, 0, WM_LBUTTONUP);
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_FALSE(app_->trayShown());
  SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  app_->runCommand(menu_id::kTrayExit);
  EXPECT_FALSE(app_->trayShown());
  MSG message;
  EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(DownloadWindow, TheEndOfTheSessionSavesTheQueue) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/kept.zip");
  const std::string database = std::string(kAppData) + "\\Haulix\\haulix.db";
  EXPECT_LT(app_->fileOps().pathStatus(database), path_status::kFolder);
  SendMessageA(app_->windows().main, WM_ENDSESSION, TRUE, 0);
  EXPECT_GT(app_->fileOps().pathStatus(database), 0);
}

TEST_F(DownloadWindow, SystemMenuExitPostsTheQuitMessage) {
  open(ProcessRole::kDownload);
  SendMessageA(app_->windows().main, WM_SYSCOMMAND, kExitSystemCommand, 0);
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 0u);
}

TEST_F(DownloadWindow, OpenMenuOffersNoDownloadWindowInTheDownloadWindow) {
  open(ProcessRole::kDownload);
  HMENU loaded = LoadMenuA(GetModuleHandleA(nullptr), "MENU_CONTEXT");
  HMENU menu = GetSubMenu(loaded, menu_id::kOpenMenu);
  app_->prepareOpenMenu(menu);
  EXPECT_EQ(GetMenuState(menu, menu_id::kDownloadWindow, MF_BYCOMMAND), 0xFFFFFFFFu);
  EXPECT_NE(GetMenuState(menu, menu_id::kNewSiteWindow, MF_BYCOMMAND), 0xFFFFFFFFu);
  DestroyMenu(loaded);
}

class Watcher : public DownloadWindow {
 protected:
  // Dispatches messages until the condition holds, a minute at most (a busy machine may be
  // slow to deliver the clipboard's notice).
  bool pumpUntil(const std::function<bool()>& done) {
    const DWORD start = GetTickCount();
    while (!done()) {
      if (GetTickCount() - start > 60000) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      pump();
    }
    return true;
  }
};

TEST_F(Watcher, TakesTheTrimmedFirstLineOfACopyWithAKnownScheme) {
  putClipboardText("http://was-there-before/");
  setNumber("copy", 1);
  open(ProcessRole::kDownload);
  EXPECT_EQ(SendMessageA(app_->windows().check, BM_GETCHECK, 0, 0), BST_CHECKED);
  pump();
  EXPECT_TRUE(app_->queue().empty()) << "the notification on joining is not a copy";

  putClipboardText("  HTTP://Host/a.zip  \r\nhttp://other/b.zip");
  ASSERT_TRUE(pumpUntil([&] { return !app_->queue().empty(); }));
  EXPECT_EQ(queueAddresses(), (std::vector<std::string>{"http://host/a.zip"}));

  putClipboardText("www.example.com/page.htm");
  putClipboardText("\r\nhttp://after-a-line-break/");
  putClipboardText("http://last/");
  ASSERT_TRUE(pumpUntil([&] { return app_->queue().size() == 2; }));
  EXPECT_EQ(queueAddresses(), (std::vector<std::string>{"http://host/a.zip", "http://last/"}));
}

TEST_F(Watcher, IgnoresCopiesWhileTheCheckBoxIsClear) {
  setNumber("copy", 1);
  open(ProcessRole::kDownload);
  // The caption switches the box and the setting together.
  clickControl(kClipboardCaption);
  EXPECT_EQ(app_->currentSettings().watchClipboard, 0);
  EXPECT_EQ(SendMessageA(app_->windows().check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  putClipboardText("http://ignored/");
  putClipboardText("http://ignored-too/");
  // Another process switching it back takes effect at the next idle pass.
  setNumber("copy", 1);
  app_->idlePass();
  putClipboardText("http://taken/");
  ASSERT_TRUE(pumpUntil([&] { return !app_->queue().empty(); }));
  EXPECT_EQ(queueAddresses(), (std::vector<std::string>{"http://taken/"}));
}

class SiteWindowFrame : public AppFixture {};

TEST_F(SiteWindowFrame, LaysOutTreeAndListBesideTheSplitterAndKeepsItInBounds) {
  open(ProcessRole::kSite, 810, 500);
  const DrawnControls& c = app_->surface().controls();
  const LayoutBoxes& boxes = app_->surface().boxes();
  // The splitter keeps the place it took at the window's first size.
  EXPECT_EQ(boxes.tree.width, c[kSplitter].rect.x - 2);
  EXPECT_EQ(childRect(app_->windows().tree), boxes.tree);
  EXPECT_EQ(childRect(app_->windows().list), boxes.list);
  EXPECT_EQ(childRect(app_->windows().check).width, 0);
  EXPECT_TRUE(c[kPause].rect.empty());
  EXPECT_EQ(c[kBack].kind, ControlKind::kDisabledButton);

  const Rect splitter = c[kSplitter].rect;
  const int x = splitter.x + 3, y = splitter.y + 40;
  cursorAt(x, y);
  SendMessageA(app_->windows().main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  cursorAt(x + 2000, y);
  app_->idlePass();
  EXPECT_EQ(c[kSplitter].rect.x, 810 - 8);
  EXPECT_EQ(childRect(app_->windows().list).width, 0);
  SendMessageA(app_->windows().main, WM_LBUTTONUP, 0, MAKELPARAM(x + 2000, y));

  resizeClient(400, 300);
  EXPECT_EQ(c[kSplitter].rect.x, 400 - 8);
}

TEST_F(SiteWindowFrame, OpenMenuOffersTheDownloadWindow) {
  open(ProcessRole::kSite);
  HMENU loaded = LoadMenuA(GetModuleHandleA(nullptr), "MENU_CONTEXT");
  HMENU menu = GetSubMenu(loaded, menu_id::kOpenMenu);
  app_->prepareOpenMenu(menu);
  EXPECT_NE(GetMenuState(menu, menu_id::kDownloadWindow, MF_BYCOMMAND), 0xFFFFFFFFu);
  DestroyMenu(loaded);
  app_->runCommand(menu_id::kNewSiteWindow);
  ASSERT_EQ(shell_.opened.size(), 1u);
  EXPECT_EQ(shell_.opened[0], (std::pair<std::string, std::string>{shell_.ownPath, "/site"}));
}

TEST_F(SiteWindowFrame, TakesNoHandOverAndHasNoTray) {
  open(ProcessRole::kSite);
  std::string text = "http://h/x";
  COPYDATASTRUCT data = {0, static_cast<DWORD>(text.size() + 1), text.data()};
  EXPECT_EQ(SendMessageA(app_->windows().main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 0);
  EXPECT_TRUE(app_->queue().empty());
  EXPECT_FALSE(app_->clipboard().joined());
}

}  // namespace
