#pragma once
// The site model assembled on fakes of the ports: the real explorer with its registry,
// tree, list, history and link extractor, the real transfer engine and file operations;
// fake tree, list, window frame, message boxes, shell, files and network. The fake tree
// reports to the explorer as the control reports to the Site Window.

#include <string>
#include <vector>

#include "fakes/counting_text_rules.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_file_types.h"
#include "fakes/fake_files.h"
#include "fakes/fake_ids.h"
#include "fakes/fake_internet.h"
#include "fakes/fake_modal_messages.h"
#include "fakes/fake_page_tree.h"
#include "fakes/fake_row_list.h"
#include "fakes/fake_shell.h"
#include "fakes/fake_site_frame.h"
#include "fakes/fake_waiting_messages.h"
#include "site/site_explorer.h"
#include "transfer/file_ops.h"
#include "transfer/transfer_engine.h"
#include "url/address.h"
#include "url/byte_text.h"

struct SiteWorld {
  SiteWorld() {
    tree.onSelectionChanged = [this](TreeItem item) { explorer.onTreeSelectionChanged(item); };
    tree.onExpanded = [this](TreeItem item) { explorer.onTreeItemExpanded(item); };
    tree.onCollapsed = [this](TreeItem item) { explorer.onTreeItemCollapsed(item); };
  }

  UrlParts address(const std::string& text) const { return parser.parseTypedAddress(text); }
  // The page of the address, made when there is none.
  SitePage& page(const std::string& text) {
    return *explorer.registry().findOrAddPage(address(text));
  }
  // The page of the address, or nullptr when the registry has none.
  SitePage* findPage(const std::string& text) {
    const std::string full = address(text).fullAddress;
    for (SitePage* page = explorer.registry().first(); page; page = page->nextPage)
      if (page->address.fullAddress == full) return page;
    return nullptr;
  }

  // The page's bytes scanned as a finished fetch is: links extracted, children placed, the
  // list refilled, the page Read, its item refreshed.
  SitePage& readPage(const std::string& text, const std::string& html) {
    SitePage& read = page(text);
    explorer.extractor().extractLinks(read, reinterpret_cast<const unsigned char*>(html.data()),
                                      static_cast<int64_t>(html.size()));
    explorer.tree().addChildPages(read);
    explorer.list().refillList(false);
    read.state = PageState::Read;
    explorer.tree().refreshTreeItem(read);
    return read;
  }

  // The idle pass's new rows, sorted by the default order when the window would sort.
  void showNewRows() {
    if (explorer.addWaitingRows())
      rows.sortRows([this](const SitePage* a, const SitePage* b) {
        return compareSiteRows(*a, *b, -2, text);
      });
  }

  // The addresses of the list's rows, in row order.
  std::vector<std::string> rowAddresses() const {
    std::vector<std::string> addresses;
    for (const auto& row : rows.rows) addresses.push_back(row.record->address.fullAddress);
    return addresses;
  }

  CountingTextRules rules;
  ByteText text{rules};
  FakeFileTypes types;
  AddressParser parser{text, types};
  FakeFiles files;
  FakeIds ids;
  FileOps fileOps{files, ids, text};
  FakeClock clock;
  FakeInternet internet;
  TransferEngine engine{internet, fileOps, ids, clock, [] {}};
  FakePageTree<SitePage> tree;
  FakeRowList<SitePage> rows;
  FakeSiteFrame frame;
  FakeModalMessages messages;
  FakeWaitingMessages waiting;
  FakeShell shell;
  std::string outgoing;
  SiteExplorer explorer{
      text,    parser, fileOps, engine, SiteViews{tree, rows, frame, messages, shell, waiting},
      outgoing};
};
