#include "site/link_extractor.h"

void LinkExtractor::extractLinks(SitePage& page, const std::string& path) {
  std::unique_ptr<MappedFile> file = fileOps_.mapFile(path);
  if (!file) return;
  extractLinks(page, file->data(), file->size());
}

void LinkExtractor::extractLinks(SitePage& page, const unsigned char* bytes, int64_t size) {
  if (!bytes || size <= 0) return;
  LinkScan(reader_, patterns_, parser_, registry_, page, TextSpan::document(bytes, size)).run();
}
