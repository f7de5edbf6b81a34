#pragma once
// The download model assembled on fakes of the ports: the real queue, item commands,
// file operations and transfer engine; fake files, network, clock, ids, shell and rows.

#include <atomic>
#include <string>

#include "download/download_queue.h"
#include "download/file_ops.h"
#include "download/item_commands.h"
#include "download/transfer_engine.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_file_types.h"
#include "fakes/fake_files.h"
#include "fakes/fake_ids.h"
#include "fakes/fake_internet.h"
#include "fakes/fake_row_list.h"
#include "fakes/fake_shell.h"
#include "fakes/fake_text_rules.h"
#include "url/address.h"
#include "url/byte_text.h"

struct DownloadWorld {
  DownloadWorld() {
    folders.myDocuments = "C:\\Users\\me\\Documents";
    files.putFolder(folders.myDocuments);
  }

  // Adds a row for every item of the queue that has none, as the Download Window does.
  void showNewRows() {
    for (DownloadItem* item = queue.first(); item; item = item->next) {
      if (item->rowShown) continue;
      item->rowShown = true;
      rows.appendRow(commands.rowCells(*item), 6, item);
    }
  }

  DownloadItem* add(const std::string& address) {
    return queue.insertItem(parser.parseTypedAddress(address));
  }

  // Makes the item Done with a saved file of these bytes at path.
  void saveFile(DownloadItem& item, const std::string& path, const std::string& bytes) {
    files.putFile(path, bytes);
    item.state = DownloadState::Done;
    item.savedPath = path;
    item.size = static_cast<int64_t>(bytes.size());
  }

  FakeTextRules rules;
  ByteText text{rules};
  FakeFileTypes types;
  AddressParser parser{text, types};
  FakeFiles files;
  FakeIds ids;
  FileOps fileOps{files, ids, text};
  FakeClock clock;
  FakeInternet internet;
  std::atomic<int> wakes{0};
  TransferEngine engine{internet, fileOps, ids, clock, [this] { ++wakes; }};
  DownloadQueue queue{text, parser, engine};
  FakeRowList<DownloadItem> rows;
  FakeShell shell;
  KnownFolders folders;
  ItemCommands commands{queue, rows, fileOps, shell, clock, folders, text};
};
