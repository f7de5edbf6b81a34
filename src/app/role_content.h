#pragma once
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include "app/control_logic.h"

class SiteSteps;

// What the main window does differently in each role: the list's columns and rows, the
// buttons, the role's click actions, menus and commands. The Download Window's content is
// DownloadRole; a Site Window's plugs in the same way.
class RoleContent {
 public:
  virtual ~RoleContent() = default;

  // Once, when the list exists, for the main window's client width at creation.
  virtual void createColumns(int clientWidth) = 0;
  // The idle pass's step: rows for the model records that have none yet.
  virtual void addNewRows() = 0;
  // Sorts by a column (-2: the default order); a second click on the same column reverses.
  virtual void sortBy(int column) = 0;
  // What the buttons' kinds follow.
  virtual ButtonStates buttonStates() = 0;
  // The click actions of the drawn controls other than the two banner links.
  virtual void onControlClicked(int control) = 0;
  // WM_NOTIFY from the list or the tree. `handled` false: default processing.
  virtual LRESULT onListNotify(const NMHDR& header, bool& handled) = 0;
  virtual LRESULT onTreeNotify(const NMHDR& header, bool& handled) {
    handled = false;
    return 0;
  }
  // A command of the role's context menus; false when it is not one of them.
  virtual bool onMenuCommand(UINT command) = 0;
  // Enter in the Site Window's Address box.
  virtual void onAddressEnter() {}
  // The crawl's part of the scheduler; none in the Download Window.
  virtual SiteSteps* siteSteps() { return nullptr; }
  // Shutdown: stops the page fetches (before the transfer jobs are destroyed).
  virtual void cancelPageFetches() {}
  // The connect dialog closed with a connection: page fetches stopped for want of one may
  // start again (the Site Window clears its fetch-stopped flag).
  virtual void resumePageFetches() {}
  // Work was left for the next pass, which should come at once rather than at the timer.
  virtual bool wantsAnotherPass() const { return false; }
};
