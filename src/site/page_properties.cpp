#include "site/page_properties.h"

#include "site/page_label.h"

PageProperties pageProperties(const SitePage& page) {
  PageProperties shown;
  shown.name = page.address.displayName;
  shown.type = page.address.typeName;
  shown.title = page.title.empty() ? "(Unknown)" : page.title;
  shown.address = page.address.fullAddress;
  if (isFetching(page)) {
    shown.status = "Getting";
  } else {
    switch (page.state) {
      case PageState::Unread:
        shown.status = "Pending";
        break;
      case PageState::Read:
        shown.status = "Done";
        break;
      case PageState::CannotFindServer:
        shown.status = page.failureText.empty() ? "Cannot find server" : page.failureText;
        break;
    }
  }
  return shown;
}

LinkProperties linkProperties(const SitePage& page, const ByteText& text) {
  LinkProperties shown;
  shown.name = page.address.displayName;
  shown.address = page.address.fullAddress;
  if (!page.listedVia || page.listedVia->kind == LinkKind::Page) {
    shown.type = "Page";
    shown.kind = "Page";
  } else {
    shown.type = page.address.typeName;
    shown.kind = std::string(kindText(page.listedVia->kind));
  }
  if (page.listedOnPage) {
    shown.onPage = pageLabel(*page.listedOnPage, text);
    shown.at = page.listedOnPage->address.fullAddress;
  }
  return shown;
}
