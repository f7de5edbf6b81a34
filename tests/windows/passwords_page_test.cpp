// The Passwords page of the Options sheet and the site dialog, on their real templates.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include "dialog_driver.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/options_sheet.h"
#include "fakes/fake_shell.h"
#include "platform/win32/win32_text_rules.h"
#include "store/site_credentials.h"
#include "test_registry.h"

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
const std::string kKey = "Software\\Haulix";

class PasswordsPageTest : public ::testing::Test {
 protected:
  PasswordsPageTest() { registry.writeNumber(kUser, kKey, "setup", 300); }

  // Opens Options on the Passwords page and runs the script with the page.
  void open(std::function<void(DialogDriver&, HWND sheet, HWND page)> script) {
    store.loadSettings(text);
    DialogDriver driver([&](DialogDriver& d) {
      HWND sheet = d.waitFor("Options");
      SendMessageA(sheet, PSM_SETCURSEL, 1, 0);
      HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
      script(d, sheet, page);
      PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    openOptions(modal, store, shell, text);
    driver.finish();
  }

  static HWND list(HWND page) { return GetDlgItem(page, CTL_SITE_LIST); }
  static int rows(HWND page) {
    return static_cast<int>(SendMessageA(list(page), LVM_GETITEMCOUNT, 0, 0));
  }
  static std::string cell(HWND page, int row, int column) {
    char buffer[512] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    SendMessageA(list(page), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
  }
  static void select(HWND page, int row) {
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list(page), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  }
  std::vector<SiteCredential> stored() {
    std::string site;
    registry.readText(kUser, kKey, "site", site);
    return parseSiteTable(site);
  }

  TestRegistry registry;
  KnownFolders folders;
  Win32TextRules rules;
  ByteText text{rules};
  SettingsStore store{registry, folders};
  FakeShell shell;
  Modal modal;
};

TEST_F(PasswordsPageTest, ShowsTheTableWithMaskedPasswordsAndNoEditingUntilARowIsSelected) {
  registry.writeText(kUser, kKey, "site", "a.com\rann\rsecret\r\rb.com\r\r\rhttp://b/\r");
  open([&](DialogDriver& d, HWND sheet, HWND page) {
    ASSERT_EQ(rows(page), 2);
    EXPECT_EQ(cell(page, 0, 0), "a.com");
    EXPECT_EQ(cell(page, 0, 1), "ann");
    EXPECT_EQ(cell(page, 0, 2), "******");
    EXPECT_EQ(cell(page, 1, 3), "http://b/");
    EXPECT_FALSE(d.enabled(page, CTL_EDIT));
    EXPECT_FALSE(d.enabled(page, CTL_DELETE));
    EXPECT_TRUE(d.enabled(page, CTL_ADD));
    select(page, 1);
    EXPECT_TRUE(d.enabled(page, CTL_EDIT));
    EXPECT_TRUE(d.enabled(page, CTL_DELETE));
    saveScreenshot(sheet, "options_passwords");
  });
}

TEST_F(PasswordsPageTest, AddStoresANewEntryAtOnce) {
  registry.writeText(kUser, kKey, "site", "first.com\ru\rp\r\r");
  open([&](DialogDriver& d, HWND, HWND page) {
    d.click(page, CTL_ADD);
    HWND site = d.waitFor("Add Password or Referrer");
    EXPECT_EQ(d.text(site, CTL_SITE), "");
    EXPECT_FALSE(d.enabled(site, IDOK));
    EXPECT_NE(d.text(site, CTL_SITE_HINT).find("example.com"), std::string::npos);
    d.type(site, CTL_SITE, "  HTTP://Files.Example.COM/dir/ ");
    EXPECT_FALSE(d.enabled(site, IDOK));
    d.type(site, CTL_USER_NAME, " ann ");
    EXPECT_TRUE(d.enabled(site, IDOK));
    d.type(site, CTL_PASSWORD, "pw");
    d.focus(site, CTL_REFERRER);
    EXPECT_EQ(d.text(site, CTL_REFERRER), "http://files.example.com/");
    saveScreenshot(site, "site_dialog_add");
    d.click(site, IDOK);
    ASSERT_TRUE(d.waitUntil([&] { return rows(page) == 2; })) << rows(page) << " rows";
    EXPECT_EQ(cell(page, 1, 0), "files.example.com");
    EXPECT_EQ(cell(page, 1, 2), "**");
  });
  std::vector<SiteCredential> table = stored();
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[1],
            (SiteCredential{"files.example.com", "ann", "pw", "http://files.example.com/"}));
}

TEST_F(PasswordsPageTest, EditingAndChangingTheSiteReplacesTheEntry) {
  registry.writeText(kUser, kKey, "site", "old.com\rann\rpw\r\rkeep.com\rk\rk\r\r");
  open([&](DialogDriver& d, HWND, HWND page) {
    select(page, 0);
    d.click(page, CTL_EDIT);
    HWND site = d.waitFor("Edit Password or Referrer");
    EXPECT_EQ(d.text(site, CTL_SITE), "old.com");
    EXPECT_EQ(d.text(site, CTL_USER_NAME), "ann");
    EXPECT_EQ(d.text(site, CTL_PASSWORD), "pw");
    EXPECT_TRUE(d.enabled(site, IDOK));
    saveScreenshot(site, "site_dialog_edit");
    d.type(site, CTL_SITE, "new.com");
    d.click(site, IDOK);
    ASSERT_TRUE(d.waitUntil([&] { return cell(page, 1, 0) == "new.com"; })) << cell(page, 1, 0);
    ASSERT_EQ(rows(page), 2);
    EXPECT_EQ(cell(page, 0, 0), "keep.com");
  });
  std::vector<SiteCredential> table = stored();
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[1], (SiteCredential{"new.com", "ann", "pw", ""}));
}

TEST_F(PasswordsPageTest, ASiteCanAcceptCertificateErrorsWithNothingElseAndKeepsTheSiteValue) {
  const std::string siteValue = "a.com\rann\rpw\r\r";
  registry.writeText(kUser, kKey, "site", siteValue);
  open([&](DialogDriver& d, HWND sheet, HWND page) {
    d.click(page, CTL_ADD);
    HWND site = d.waitFor("Add Password or Referrer");
    EXPECT_FALSE(d.checked(site, CTL_ACCEPT_CERTIFICATES));
    d.type(site, CTL_SITE, "intranet.example");
    EXPECT_FALSE(d.enabled(site, IDOK));
    // The box alone is enough for an entry.
    d.click(site, CTL_ACCEPT_CERTIFICATES);
    EXPECT_TRUE(d.checked(site, CTL_ACCEPT_CERTIFICATES));
    EXPECT_TRUE(d.enabled(site, IDOK));
    saveScreenshot(site, "site_dialog_certificates");
    d.click(site, IDOK);
    // The page adds the row after the dialog has gone.
    ASSERT_TRUE(d.waitUntil([&] { return rows(page) == 2; })) << rows(page);
    EXPECT_EQ(cell(page, 0, 4), "");
    EXPECT_EQ(cell(page, 1, 4), "Accepted");
    saveScreenshot(sheet, "options_passwords_certificates");

    // Opened again, the box shows what is stored.
    select(page, 1);
    d.click(page, CTL_EDIT);
    site = d.waitFor("Edit Password or Referrer");
    EXPECT_TRUE(d.checked(site, CTL_ACCEPT_CERTIFICATES));
    d.click(site, IDCANCEL);
    EXPECT_TRUE(d.waitGone(site));
  });
  // An older release reads "site" as it always did; the acceptance is a value of its own.
  std::string site, accepted;
  registry.readText(kUser, kKey, "site", site);
  registry.readText(kUser, kKey, "cert", accepted);
  EXPECT_EQ(site, siteValue + "intranet.example\r\r\r\r");
  EXPECT_EQ(accepted, "intranet.example\r");
}

TEST_F(PasswordsPageTest, ADoubleClickEditsAndCancelChangesNothing) {
  registry.writeText(kUser, kKey, "site", "a.com\rann\rpw\r\r");
  open([&](DialogDriver& d, HWND, HWND page) {
    select(page, 0);
    NMITEMACTIVATE click = {};
    click.hdr.hwndFrom = list(page);
    click.hdr.idFrom = CTL_SITE_LIST;
    click.hdr.code = NM_DBLCLK;
    click.iItem = 0;
    PostMessageA(page, WM_NOTIFY, CTL_SITE_LIST, reinterpret_cast<LPARAM>(&click));
    HWND site = d.waitFor("Edit Password or Referrer");
    d.type(site, CTL_USER_NAME, "changed");
    d.click(site, IDCANCEL);
    EXPECT_TRUE(d.waitGone(site));
  });
  EXPECT_EQ(stored()[0].userName, "ann");
}

TEST_F(PasswordsPageTest, DeleteAsksAndRemovesOnlyOnYes) {
  registry.writeText(kUser, kKey, "site", "a.com\rann\rpw\r\rb.com\rbob\rpw\r\r");
  open([&](DialogDriver& d, HWND, HWND page) {
    select(page, 1);
    d.click(page, CTL_DELETE);
    HWND question = d.waitFor("Confirm Delete");
    EXPECT_EQ(d.text(question, 0xFFFF),
              "Are you sure you want to delete the site information for 'b.com'?");
    saveScreenshot(question, "confirm_delete");
    SendMessageA(question, WM_COMMAND, IDNO, 0);
    EXPECT_TRUE(d.waitGone(question));

    // The Delete key in the list asks the same; No above removed nothing.
    d.pressKey(list(page), VK_DELETE);
    question = d.waitFor("Confirm Delete");
    EXPECT_EQ(rows(page), 2);
    SendMessageA(question, WM_COMMAND, IDYES, 0);
    ASSERT_TRUE(d.waitUntil([&] { return rows(page) == 1; })) << rows(page) << " rows";
    EXPECT_EQ(cell(page, 0, 0), "a.com");
    EXPECT_FALSE(d.enabled(page, CTL_DELETE));
    EXPECT_FALSE(d.enabled(page, CTL_EDIT));
  });
  std::vector<SiteCredential> table = stored();
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0].site, "a.com");
}

TEST_F(PasswordsPageTest, DeletingWithNoRowSelectedAsksNothing) {
  registry.writeText(kUser, kKey, "site", "a.com\rann\rpw\r\r");
  open([&](DialogDriver& d, HWND, HWND page) {
    d.pressKey(list(page), VK_DELETE);  // returns once handled, or once a question shows
    HWND asked = d.dialogNow("Confirm Delete");
    EXPECT_EQ(asked, nullptr);
    if (asked) SendMessageA(asked, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(rows(page), 1);
  });
  EXPECT_EQ(stored().size(), 1u);
}

}  // namespace
