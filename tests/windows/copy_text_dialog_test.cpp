// The Copy dialogs on their real templates: the buttons' rules and the clipboard's text.
#include "dialogs/copy_text_dialog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "dialog_driver.h"
#include "dialogs/dialog_ids.h"
#include "fakes/fake_row_list.h"
#include "windows/clipboard_lock.h"

namespace {

template <class Record>
void addRow(FakeRowList<Record>& rows, std::vector<std::string> texts, bool selected) {
  RowCells cells;
  cells.texts = std::move(texts);
  rows.appendRow(cells, static_cast<int>(cells.texts.size()), nullptr);
  rows.rows.back().selected = selected;
}

class CopyTextDialogTest : public ::testing::Test {
 protected:
  ClipboardLock clipboardLock_;  // first: held before the clipboard is set

  CopyTextDialogTest() {
    addRow(items, {"Done", "a.zip", "1 KB", "ZIP File", "http://x/a.zip", "C:\\a.zip"}, true);
    addRow(items, {"", "b.txt", "", "Text", "http://x/b.txt", ""}, false);
    addRow(items, {"Queued", "c, d.txt", "", "Text", "http://x/c", ""}, true);
    putClipboardText(nullptr, "before");
  }
  std::string clipboard() {
    std::string text = "(none)";
    readClipboardText(text);
    return text;
  }

  FakeRowList<DownloadItem> items;
  Modal modal;
};

TEST_F(CopyTextDialogTest, OpensWithTheAddressAloneAndCopiesItsLines) {
  DialogDriver driver([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Copy");
    for (int id : {CTL_STATUS, CTL_NAME, CTL_SIZE_COLUMN, CTL_TYPE, CTL_SAVED_TO})
      EXPECT_FALSE(d.checked(dialog, id)) << id;
    EXPECT_TRUE(d.checked(dialog, CTL_ADDRESS));
    EXPECT_TRUE(d.checked(dialog, CTL_TABS));
    EXPECT_FALSE(d.enabled(dialog, CTL_TABS));
    EXPECT_FALSE(d.enabled(dialog, CTL_COMMAS));
    EXPECT_TRUE(d.enabled(dialog, IDOK));
    saveScreenshot(dialog, "copy_items");
    d.click(dialog, IDOK);
  });
  showCopyItemsDialog(modal, items);
  driver.finish();
  EXPECT_EQ(clipboard(), "http://x/a.zip\r\nhttp://x/c\r\n");
}

TEST_F(CopyTextDialogTest, NameAndAddressWithCommas) {
  DialogDriver driver([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Copy");
    d.click(dialog, CTL_NAME);
    EXPECT_TRUE(d.enabled(dialog, CTL_TABS));
    EXPECT_TRUE(d.enabled(dialog, CTL_COMMAS));
    d.click(dialog, CTL_COMMAS);
    EXPECT_FALSE(d.checked(dialog, CTL_TABS));
    d.click(dialog, IDOK);
  });
  showCopyItemsDialog(modal, items);
  driver.finish();
  EXPECT_EQ(clipboard(), "a.zip,http://x/a.zip\r\nc, d.txt,http://x/c\r\n");
}

TEST_F(CopyTextDialogTest, NoColumnDisablesOkAndCancelCopiesNothing) {
  DialogDriver driver([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Copy");
    d.click(dialog, CTL_ADDRESS);
    EXPECT_FALSE(d.enabled(dialog, IDOK));
    EXPECT_FALSE(d.enabled(dialog, CTL_TABS));
    // Enter still sends OK to a dialog whose OK is disabled: nothing happens.
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(IsWindowVisible(dialog));
    d.click(dialog, CTL_STATUS);
    d.click(dialog, CTL_SAVED_TO);
    d.click(dialog, IDCANCEL);
  });
  showCopyItemsDialog(modal, items);
  driver.finish();
  EXPECT_EQ(clipboard(), "before");
}

TEST_F(CopyTextDialogTest, TheSiteListDialogHasFiveColumnsAndCopiesTabs) {
  FakeRowList<SitePage> links;
  addRow(links, {"cat.jpg", "JPEG Image", "Image - Inline", "Home", "http://x/cat.jpg"}, true);
  addRow(links, {"dog.jpg", "JPEG Image", "Image", "Home", "http://x/dog.jpg"}, false);
  DialogDriver driver([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Copy");
    EXPECT_TRUE(d.checked(dialog, CTL_ADDRESS));
    EXPECT_FALSE(d.checked(dialog, CTL_KIND));
    EXPECT_EQ(GetDlgItem(dialog, CTL_SAVED_TO), nullptr);
    saveScreenshot(dialog, "copy_links");
    d.click(dialog, CTL_KIND);
    d.click(dialog, CTL_ON_PAGE);
    d.click(dialog, IDOK);
  });
  showCopyLinksDialog(modal, links);
  driver.finish();
  EXPECT_EQ(clipboard(), "Image - Inline\tHome\thttp://x/cat.jpg\r\n");
}

TEST_F(CopyTextDialogTest, NoSelectedRowPutsTheEmptyText) {
  for (auto& row : items.rows) row.selected = false;
  DialogDriver driver([&](DialogDriver& d) { d.click(d.waitFor("Copy"), IDOK); });
  showCopyItemsDialog(modal, items);
  driver.finish();
  EXPECT_EQ(clipboard(), "");
}

}  // namespace
