#include "site/link_extractor.h"

#include <limits>

void LinkExtractor::extractLinks(SitePage& page, const std::string& path) {
  FoundLinks found = scanLinks(page, path);
  addFound(page, found, std::numeric_limits<size_t>::max());
}

void LinkExtractor::extractLinks(SitePage& page, const unsigned char* bytes, int64_t size) {
  if (!bytes || size <= 0) return;
  FoundLinks found;
  LinkScan(reader_, patterns_, parser_, page.address, TextSpan::document(bytes, size), found).run();
  addFound(page, found, std::numeric_limits<size_t>::max());
}

FoundLinks LinkExtractor::scanLinks(const SitePage& page, const std::string& path) {
  FoundLinks found;
  std::unique_ptr<MappedFile> file = fileOps_.mapFile(path);
  if (file && file->data() && file->size() > 0)
    LinkScan(reader_, patterns_, parser_, page.address,
             TextSpan::document(file->data(), file->size()), found)
        .run();
  return found;
}

size_t LinkExtractor::addFound(SitePage& page, FoundLinks& found, size_t most) {
  const size_t taken = found.addTo(registry_, page, most, parser_);
  if (found.done() && found.title) {
    page.title = std::move(*found.title);
    found.title.reset();
  }
  return taken;
}
