#pragma once
#include <cstdint>
#include <string>

#include "transfer/file_ops.h"
#include "site/link_scan.h"

// Reads a fetched page for its title and every address it refers to (links, images, image
// maps, background images and sounds, embedded media, refresh targets), resolved against
// the page's address and added to its links with their kinds. Not an HTML parser: a fixed
// set of byte patterns in a fixed order of passes over the raw bytes, whatever the file
// holds.
class LinkExtractor {
 public:
  LinkExtractor(const ByteText& text, const AddressParser& parser, PageRegistry& registry,
                FileOps& fileOps)
      : reader_(text),
        patterns_(reader_),
        parser_(parser),
        registry_(registry),
        fileOps_(fileOps) {}

  // The whole file, mapped for the scan. A file that cannot be mapped, or is empty, leaves
  // the page as it was.
  void extractLinks(SitePage& page, const std::string& path);
  // The same scan over bytes in memory.
  void extractLinks(SitePage& page, const unsigned char* bytes, int64_t size);
  // The scan alone: what the file holds, to be added to the page later (the title too).
  // The file is not needed afterwards.
  FoundLinks scanLinks(const SitePage& page, const std::string& path);
  // Adds up to `most` more of what a scan found to the page's links, and its title with
  // the last of them; gives how many it took.
  size_t addFound(SitePage& page, FoundLinks& found, size_t most);

  const SpanReader& reader() const { return reader_; }

 private:
  SpanReader reader_;
  ScanPatterns patterns_;
  const AddressParser& parser_;
  PageRegistry& registry_;
  FileOps& fileOps_;
};
