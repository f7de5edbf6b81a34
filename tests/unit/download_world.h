#pragma once
// The download model assembled on fakes of the ports: the real queue, item commands,
// file operations and transfer engine; fake files, network, clock, ids, shell and rows.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "download/connection_check.h"
#include "download/download_queue.h"
#include "transfer/file_ops.h"
#include "download/item_commands.h"
#include "transfer/transfer_engine.h"
#include "download/transfer_scheduler.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_connection.h"
#include "fakes/fake_file_types.h"
#include "fakes/fake_files.h"
#include "fakes/fake_ids.h"
#include "fakes/fake_internet.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_row_list.h"
#include "fakes/fake_shell.h"
#include "fakes/fake_text_rules.h"
#include "url/address.h"
#include "store/settings.h"
#include "url/byte_text.h"

struct DownloadWorld {
  DownloadWorld() : DownloadWorld(std::make_shared<FakeFiles>(), std::make_shared<FakeIds>()) {}
  // A later run of the program on the disk of an earlier one. The ids go on counting, as
  // fresh GUIDs never repeat, so no new piece file takes the name of a kept one.
  struct SameDiskAs {
    DownloadWorld& earlier;
  };
  explicit DownloadWorld(SameDiskAs same)
      : DownloadWorld(same.earlier.sharedFiles, same.earlier.sharedIds) {}
  // The next start after the earlier run was killed: its disk as it is now, without its
  // open files, while the earlier run itself stays as it was.
  struct AfterKillOf {
    DownloadWorld& earlier;
  };
  explicit DownloadWorld(AfterKillOf killed)
      : DownloadWorld(killed.earlier.files.diskCopy(), killed.earlier.sharedIds) {}

  void setNumber(const std::string& name, int32_t Settings::*field, int32_t value) {
    settings.setNumberSetting(name, field, value);
  }

  // "Connections per file" as the user's registry holds it, read as at start-up.
  void storeConnectionsPerFile(int32_t connections) {
    registry.putNumber(RegistryRoot::kCurrentUser, "Software\\Haulix", "conn", connections);
    settings.reloadSettings();
  }

  // Every file of the host (port 80) is the body, its replies held at the gate.
  void serveGated(const std::string& host, std::shared_ptr<const FakeBody> body, int gate) {
    internet.setServer(host, 80, [body, gate](const FakeRequest& request) {
      FakeReply reply = FakeInternet::fileReply(request, body);
      reply.gate = gate;
      return reply;
    });
  }

  // Adds a row for every item of the queue that has none, as the Download Window does.
  void showNewRows() {
    for (DownloadItem* item = queue.first(); item; item = item->next) {
      if (item->rowShown) continue;
      item->rowShown = true;
      rows.appendRow(commands.rowCells(*item), 6, item);
    }
  }

  // Runs scheduler steps, as idle passes would, until the condition holds; between steps it
  // waits for a worker's wake-up (a short timeout keeps it going if none comes). False when
  // the condition did not come true within the safety limit.
  bool runUntil(const std::function<bool()>& done, int limitSteps = 20000) {
    for (int step = 0; step < limitSteps; ++step) {
      int seen = wakes.load();
      scheduler.runScheduler();
      if (done()) return true;
      std::unique_lock<std::mutex> lock(wakeMutex);
      wakeSignal.wait_for(lock, std::chrono::milliseconds(20), [&] { return wakes.load() != seen; });
    }
    return false;
  }

  void wake() {
    {
      std::lock_guard<std::mutex> hold(wakeMutex);
      ++wakes;
    }
    wakeSignal.notify_all();
  }

  DownloadItem* add(const std::string& address) {
    return queue.insertItem(parser.parseTypedAddress(address));
  }

  // Makes the item Done with a saved file of these bytes at path.
  void saveFile(DownloadItem& item, const std::string& path, const std::string& bytes) {
    files.putFile(path, bytes);
    queue.setState(item, DownloadState::Done);
    item.savedPath = path;
    item.size = static_cast<int64_t>(bytes.size());
  }

  std::shared_ptr<FakeFiles> sharedFiles;
  std::shared_ptr<FakeIds> sharedIds;
  FakeTextRules rules;
  ByteText text{rules};
  FakeFileTypes types;
  AddressParser parser{text, types};
  FakeFiles& files = *sharedFiles;
  FakeIds& ids = *sharedIds;
  FileOps fileOps{files, ids, text};
  FakeClock clock;
  FakeInternet internet;
  std::atomic<int> wakes{0};
  std::mutex wakeMutex;
  std::condition_variable wakeSignal;
  TransferEngine engine{internet, fileOps, ids, clock, [this] { wake(); }};
  DownloadQueue queue{text, parser, engine};
  FakeRowList<DownloadItem> rows;
  FakeShell shell;
  KnownFolders folders = [] {
    KnownFolders known;
    known.windows = "C:\\Windows";
    known.myDocuments = "C:\\Users\\me\\Documents";
    known.applicationData = "C:\\Users\\me\\Application Data";
    return known;
  }();
  FakeRegistry registry;
  SettingsStore settings{registry, folders};
  FakeConnection connection;
  IdleRequests requests;
  ConnectionCheck connectionCheck{settings, connection, requests};
  ItemCommands commands{queue,  rows, fileOps,  shell,          clock,
                        folders, text, settings, connectionCheck};
  TransferScheduler scheduler{queue, commands, rows, settings};

 private:
  DownloadWorld(std::shared_ptr<FakeFiles> disk, std::shared_ptr<FakeIds> idSource)
      : sharedFiles(std::move(disk)), sharedIds(std::move(idSource)) {
    files.putFolder(folders.myDocuments);
    settings.loadSettings(text);
  }
};
