#pragma once
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <string>

#include "app/list_header.h"
#include "app/role_content.h"
#include "platform/win32/owner_data_rows.h"
#include "platform/win32/tree_view_pages.h"
#include "platform/win32/win32_site_frame.h"
#include "platform/win32/win32_waiting_messages.h"
#include "site/site_crawl.h"
#include "site/site_explorer.h"

class App;

// A Site Window's content: the Site Tree and the Site List driven by the site model, the
// Back, Forward, Stop, Refresh, Expand and Get buttons, the Address box with its "Address"
// and "Go" links, the Site Tree and Site List menus, and the crawl as the scheduler's site
// steps.
class SiteRole final : public RoleContent {
 public:
  explicit SiteRole(App& app);
  ~SiteRole() override;
  SiteRole(const SiteRole&) = delete;
  SiteRole& operator=(const SiteRole&) = delete;

  void createColumns(int clientWidth) override;
  void addNewRows() override;
  void sortBy(int column) override;
  ButtonStates buttonStates() override;
  void onControlClicked(int control) override;
  LRESULT onListNotify(const NMHDR& header, bool& handled) override;
  LRESULT onTreeNotify(const NMHDR& header, bool& handled) override;
  bool onMenuCommand(UINT command) override;
  void onAddressEnter() override { openAddressBox(); }
  SiteSteps* siteSteps() override { return &crawl_; }
  void cancelPageFetches() override { crawl_.cancelPageFetches(); }
  // The connect dialog closed with a connection: fetches stopped for want of one (or by
  // Stop) start again at the next pass.
  void resumePageFetches() override { explorer_.setFetchStopped(false); }
  bool wantsAnotherPass() const override { return crawl_.wantsAnotherPass(); }

  // "Go" and Enter: the Address box's text is opened.
  void openAddressBox();
  // "Address": the clipboard's text goes into the Address box and is opened.
  void pasteAndGo();

  // The Site Tree menu over the page under the cursor; nothing over no page.
  void showTreeMenu();
  // "&Elevate" grayed for the root page, "&Open" the default.
  void prepareTreeMenu(HMENU menu, const SitePage& page) const;
  // The Site List menu over the row under the cursor; nothing over no row.
  void showListMenu();

  SiteExplorer& explorer() { return explorer_; }
  SiteCrawl& crawl() { return crawl_; }
  OwnerDataRows<SitePage>& rows() { return rows_; }
  TreeViewPages<SitePage>& tree() { return tree_; }
  const ListHeader& header() const { return header_; }

 private:
  std::string addressBoxText() const;
  SitePage* rowUnderCursor() const;
  // The page a Site Tree command acts on: the one the open menu was shown for, else the
  // one under the cursor, else the selected one.
  SitePage* treeCommandPage() const;
  // The row a Site List command acts on: the one the open menu was shown for, else the
  // row under the cursor.
  SitePage* listCommandPage() const;
  LRESULT onListKeyDown(const NMLVKEYDOWN& key);

  App& app_;
  ListHeader header_;
  TreeViewPages<SitePage> tree_;
  // The application's, which the dialogs read as well.
  OwnerDataRows<SitePage>& rows_;
  Win32SiteFrame frame_;
  Win32WaitingMessages waiting_;
  SiteExplorer explorer_;
  SiteCrawl crawl_;
  // Set only while a menu is open, so that its command acts on what it was opened over.
  SitePage* menuPage_ = nullptr;
};
