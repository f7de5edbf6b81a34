// The About box and the Delete dialog, opened through the menu commands and worked as a
// user would, from a timer that runs inside the dialog's own message loop.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/download_role.h"
#include "app/menu_ids.h"
#include "app_fixture.h"
#include "dialog_driver.h"

namespace {

// What the timer does once the dialog with this title is up.
struct DialogScript {
  std::string title;
  std::function<void(HWND)> act;
  bool ran = false;
};
DialogScript* script = nullptr;

void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD) {
  // This thread's dialog: tests beside this one may show dialogs of the same title.
  HWND dialog = DialogDriver::dialogOf(GetCurrentThreadId(), script->title);
  if (!dialog || script->ran) return;
  script->ran = true;
  KillTimer(nullptr, id);
  script->act(dialog);
}

// Runs the command; the script acts on its dialog meanwhile.
void runWithDialog(App& app, UINT command, DialogScript& dialogScript) {
  script = &dialogScript;
  UINT_PTR timer = SetTimer(nullptr, 0, 20, onTimer);
  app.runCommand(command);
  KillTimer(nullptr, timer);
  script = nullptr;
}

std::string itemText(HWND dialog, int id) {
  char text[256] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

bool checked(HWND dialog, int id) {
  return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}
bool enabled(HWND dialog, int id) {
  return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

class Dialogs : public AppFixture {
 protected:
  void select(int row) {
    LVITEMA item = {};
    item.stateMask = item.state = LVIS_SELECTED;
    SendMessageA(list(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  }
  void makeDone(DownloadItem& item, const std::string& path) {
    files_.putFile(path, "content");
    app_->queue().setState(item, DownloadState::Done);
    item.savedPath = path;
  }
};

TEST_F(Dialogs, AboutBoxShowsTheVersionAndClosesWithOk) {
  open(ProcessRole::kDownload);
  std::string version, second;
  DialogScript about{"About Haulix", [&](HWND dialog) {
                       version = itemText(dialog, ABOUT_VERSION);
                       second = itemText(dialog, ABOUT_LINE_2);
                       SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                     }};
  runWithDialog(*app_, menu_id::kAbout, about);
  EXPECT_TRUE(about.ran);
  EXPECT_EQ(version, "Haulix Version 3.00");
  EXPECT_EQ(second, "");
  EXPECT_EQ(app_->modal().depth(), 0);
}

TEST_F(Dialogs, DeleteOffersTheSavedFilesAndRemovesFilesAndEmptiedFolders) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/a.zip\r\nhttp://h/b.zip\r\nhttp://h/c.zip");
  files_.putFolder(std::string(kDocuments) + "\\Saved");
  files_.putFolder(std::string(kDocuments) + "\\Saved\\h");
  const std::string a = std::string(kDocuments) + "\\Saved\\h\\a.zip";
  const std::string b = std::string(kDocuments) + "\\Saved\\h\\b.zip";
  makeDone(*rowItem(0), a);
  makeDone(*rowItem(1), b);
  select(0);
  select(1);

  std::string filesText;
  bool filesChecked = false, foldersEnabledAtFirst = false;
  DialogScript remove{"Delete", [&](HWND dialog) {
                        filesText = itemText(dialog, DELETE_FILES);
                        filesChecked = checked(dialog, DELETE_FILES);
                        foldersEnabledAtFirst = enabled(dialog, DELETE_FOLDERS);
                        EXPECT_TRUE(checked(dialog, DELETE_REMOVE));
                        SendDlgItemMessageA(dialog, DELETE_FOLDERS, BM_CLICK, 0, 0);
                        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
                      }};
  runWithDialog(*app_, menu_id::kDelete, remove);
  ASSERT_TRUE(remove.ran);
  EXPECT_EQ(filesText, "&Delete 2 saved files");
  EXPECT_TRUE(filesChecked);
  EXPECT_TRUE(foldersEnabledAtFirst);
  EXPECT_EQ(app_->queue().size(), 1u);
  EXPECT_EQ(app_->downloadRows().rowCount(), 1);
  EXPECT_LT(app_->fileOps().pathStatus(a), path_status::kFolder) << "neither file nor folder";
  // The emptied folders went, up to (not including) My Documents.
  EXPECT_EQ(app_->fileOps().pathStatus(std::string(kDocuments) + "\\Saved"), path_status::kMissing);
  EXPECT_EQ(app_->fileOps().pathStatus(kDocuments), path_status::kFolder);
}

TEST_F(Dialogs, DeleteWithoutSavedFilesCanOnlyResetOrRemove) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/a.zip\r\nhttp://h/b.zip");
  rowItem(0)->priority = 1;
  select(0);
  bool filesEnabled = true, foldersEnabled = true;
  DialogScript reset{"Delete", [&](HWND dialog) {
                       filesEnabled = enabled(dialog, DELETE_FILES);
                       foldersEnabled = enabled(dialog, DELETE_FOLDERS);
                       SendDlgItemMessageA(dialog, DELETE_RESET, BM_CLICK, 0, 0);
                       SendMessageA(dialog, WM_COMMAND, IDOK, 0);
                     }};
  runWithDialog(*app_, menu_id::kDelete, reset);
  ASSERT_TRUE(reset.ran);
  EXPECT_FALSE(filesEnabled);
  EXPECT_FALSE(foldersEnabled);
  EXPECT_EQ(app_->queue().size(), 2u);
  EXPECT_EQ(rowItem(0)->priority, 0) << "reset";

  DialogScript cancel{"Delete",
                      [&](HWND dialog) { SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0); }};
  runWithDialog(*app_, menu_id::kDelete, cancel);
  EXPECT_TRUE(cancel.ran);
  EXPECT_EQ(app_->queue().size(), 2u);
}

TEST_F(Dialogs, UnfilledDialogCommandsDoNothingAndFilledOnesAreCalled) {
  open(ProcessRole::kDownload);
  addAddresses("http://h/a.zip");
  select(0);
  app_->runCommand(menu_id::kOptions);
  app_->runCommand(menu_id::kProperties);
  app_->runCommand(menu_id::kCopyText);
  DownloadItem* shown = nullptr;
  std::string copyDialog;
  app_->dialogs().showItemProperties = [&](App&, DownloadItem& item) { shown = &item; };
  app_->dialogs().showCopyText = [&](App&, const char* name) { copyDialog = name; };
  app_->runCommand(menu_id::kCopyText);
  EXPECT_EQ(copyDialog, "DIALOG_COPYQUIB");
  HMENU loaded = LoadMenuA(GetModuleHandleA(nullptr), "MENU_CONTEXT");
  static_cast<DownloadRole*>(app_->content())
      ->prepareDownloadMenu(GetSubMenu(loaded, menu_id::kDownloadMenu), rowItem(0));
  DestroyMenu(loaded);
  app_->runCommand(menu_id::kProperties);
  EXPECT_EQ(shown, rowItem(0));
}

TEST_F(Dialogs, DownloadListColumnsKeepTheirFormatsBehindThePlaceholder) {
  open(ProcessRole::kDownload);
  HWND header = reinterpret_cast<HWND>(SendMessageA(list(), LVM_GETHEADER, 0, 0));
  EXPECT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 6);
  const char* names[] = {"Status", "Name", "Size", "Type", "Address", "Saved To"};
  for (int c = 0; c < 6; ++c) {
    char text[64] = {};
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.pszText = text;
    column.cchTextMax = sizeof text;
    ASSERT_TRUE(SendMessageA(list(), LVM_GETCOLUMNA, c, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(text, names[c]);
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, c == 2 ? LVCFMT_RIGHT : LVCFMT_LEFT) << c;
    if (c != 2) {
      EXPECT_TRUE(column.fmt & LVCFMT_BITMAP_ON_RIGHT) << c;
    }
  }
}

}  // namespace
