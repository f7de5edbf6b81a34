#pragma once
#include <cstdint>
#include <string>

#include "platform/page_tree.h"
#include "site/link_kind.h"
#include "transfer/transfer_job.h"
#include "url/url_parts.h"

// What became of a page's fetch. A page is fetched at most once while it exists.
enum class PageState : int32_t { Unread = 0, Read = 1, CannotFindServer = 2 };

struct SitePage;

// One entry of a page's link list.
struct SiteLink {
  SiteLink* next = nullptr;    // the entry added before this one
  SitePage* target = nullptr;  // owned by the page registry
  LinkKind kind = LinkKind::Page;
};

// One address known to a Site Window: a page that was or will be fetched, or anything a
// page links to. Made and freed only by the PageRegistry, one per full address.
struct SitePage {
  SitePage() = default;
  SitePage(const SitePage&) = delete;
  SitePage& operator=(const SitePage&) = delete;
  ~SitePage();

  SitePage* prevPage = nullptr;  // the next smaller address in the registry
  SitePage* nextPage = nullptr;  // the next larger one
  TransferJob* job = nullptr;    // the fetch of this page, owned through the engine
  // The tree as shown: reset whenever the tree is emptied.
  SitePage* parent = nullptr;
  SitePage* firstChild = nullptr;
  SitePage* nextSibling = nullptr;
  TreeItem treeItem = kNoTreeItem;
  TreeItem linksItem = kNoTreeItem;  // its "links" folder, made on first need
  // The Site List: the page shown in the On Page column, and the link that put it there
  // (none for the selected page itself).
  SitePage* listedOnPage = nullptr;
  SiteLink* listedVia = nullptr;
  UrlParts address;
  PageState state = PageState::Unread;
  // Why the fetch failed when it was the server's certificate ("Certificate Expired"...);
  // empty for a server that was not found.
  std::string failureText;
  std::string title;
  SiteLink* links = nullptr;  // owned; most recently added first
  // What its tree item was last given.
  bool shownHasChildren = false;
  int shownIcon = -1;
  std::string shownLabel;
  // 0 not for the list, 1 waiting for a row, 2 has a row.
  int listed = 0;

  size_t linkCount = 0;  // entries in `links`
  // Another page of the same document (the address without its fragment) whose one reply
  // filled this page: its links are this page's, and this page has none of its own.
  SitePage* document = nullptr;
  // The tree (counted by its clearings) in which every page this page's links lead to was
  // placed already.
  uint32_t linksPlaced = 0;
  // The version of the crawl order that last held the page (SiteTree::crawlOrder), and
  // the page's index in it.
  uint64_t inOrder = 0;
  size_t orderAt = 0;
  // Set by the registry on the targets of the page it adds links to, so that telling
  // whether that page links to an address already takes no search.
  uint64_t linkMark = 0;
  // How far the Site List's marking has gone through `links` since the list was last
  // cleared: the generation of that clearing and the number of links marked then.
  uint64_t markedGeneration = 0;
  size_t markedLinks = 0;
};

inline SitePage::~SitePage() {
  // A loop, not a recursion: a page may hold a million links.
  while (links) {
    SiteLink* next = links->next;
    delete links;
    links = next;
  }
}

// The page that holds the links of the page's document: the page itself, or the page of
// the same document whose reply filled it.
inline SitePage& documentOf(SitePage& page) {
  return page.document ? *page.document : page;
}
inline const SitePage& documentOf(const SitePage& page) {
  return page.document ? *page.document : page;
}

// The page is Unread and its job is under way, or succeeded with its reply not taken in
// yet (the links of a large page take some passes to add).
inline bool isFetching(const SitePage& page) {
  return page.state == PageState::Unread && page.job &&
         (isRunning(*page.job) || page.job->result == kJobSucceeded);
}

// One address shown at the root of the Site Tree.
struct SiteHistoryEntry {
  SiteHistoryEntry* older = nullptr;
  SiteHistoryEntry* newer = nullptr;
  UrlParts address;
};
