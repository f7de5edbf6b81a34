#pragma once
#include <string>

#include "site/site_page.h"
#include "url/byte_text.h"

// What the Properties dialogs of the Site Window show, taken once when they open.

// A page of the Site Tree.
struct PageProperties {
  std::string name;
  std::string type;
  std::string title;  // "(Unknown)" when the page has none
  std::string address;
  std::string status;  // "Getting", "Pending", "Done" or "Cannot find server"
};
PageProperties pageProperties(const SitePage& page);

// A row of the Site List: the page and where it was found.
struct LinkProperties {
  std::string name;
  std::string type;  // "Page" when it was reached by a page link or by none
  std::string kind;  // the kind of the link that listed it, or "Page" as above
  std::string address;
  std::string onPage;  // the label of the page it is listed on; empty when none
  std::string at;      // that page's address; empty when none
};
LinkProperties linkProperties(const SitePage& page, const ByteText& text);
