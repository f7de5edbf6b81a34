#pragma once
#include <windows.h>

#include "app/icon_strip.h"
#include "app/list_header.h"
#include "app/role_content.h"
#include "download/download_item.h"
#include "download/item_commands.h"

class App;

// The Download Window's content: the download list with its columns, rows and sorting, the
// Pause and Remove buttons, the paste and Get links, the clipboard caption, the Download
// menu and its commands.
class DownloadRole final : public RoleContent {
 public:
  explicit DownloadRole(App& app);

  void createColumns(int clientWidth) override;
  void addNewRows() override;
  void sortBy(int column) override;
  ButtonStates buttonStates() override;
  void onControlClicked(int control) override;
  LRESULT onListNotify(const NMHDR& header, bool& handled) override;
  bool onMenuCommand(UINT command) override;

  // The Download menu over the row under the cursor; nothing over an empty part.
  void showDownloadMenu();
  // Gray and default items as the selection asks, and the item the commands act on: the
  // last selected row, or the row under the cursor when none is selected.
  void prepareDownloadMenu(HMENU menu, DownloadItem* underCursor);
  DownloadItem* actedOn() const { return actedOn_; }

  // The "Addresses" link and Ctrl+V: the whole clipboard text into the queue.
  void pasteFromClipboard();
  // The "Get" link: the Addresses box's text into the queue, and the box emptied.
  void getTypedAddresses();
  // The "Pause" button.
  void switchPause();

  const ListHeader& header() const { return header_; }

 private:
  struct Command {
    UINT command;
    void (DownloadRole::*handler)();
  };
  static const Command kCommands[];

  DownloadItem* itemUnderCursor() const;
  // The acted-on item when it is still in the list.
  DownloadItem* actedOnItem() const;
  void forEachSelected(void (ItemCommands::*command)(DownloadItem&));
  void pauseQueue();
  LRESULT onKeyDown(const NMLVKEYDOWN& key);
  LRESULT onCustomDraw(NMLVCUSTOMDRAW& draw, bool& handled);
  // The icons of the first two cells of a row, from the strip.
  void drawRowIcons(HDC dc, int row);

  // The commands.
  void getSelected();
  void pauseSelected();
  void openAddress();
  void openSavedFile();
  void openContainingFolder();
  void copyText();
  void getFirst();
  void getLast();
  void setInactive();
  void resetSelected();
  void removeSelected();
  void deleteSelected();
  void showProperties();

  App& app_;
  ListHeader header_;
  DownloadItem* actedOn_ = nullptr;
  IconStrip icons_;
};
