// Link extraction over pages nobody would write by hand: random and mutated markup, huge
// runs of one construct, and pages of millions of bytes. The scan must read only the
// file's bytes (each page sits in an allocation of exactly its size, so the address
// sanitizer sees any read past it), never hang, never take quadratic time, and keep the
// page's links well formed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "site/anchor_images.h"
#include "site/link_extractor.h"
#include "unit/site_world.h"

namespace {

struct Found {
  std::string address;
  LinkKind kind;
  bool operator==(const Found&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Found& found) {
  return out << found.address << " (" << static_cast<int>(found.kind) << ")";
}

std::vector<Found> foundOn(const SitePage& page) {
  std::vector<Found> all;
  for (const SiteLink* link = page.links; link; link = link->next)
    all.push_back({link->target->address.fullAddress, link->kind});
  std::reverse(all.begin(), all.end());
  return all;
}

// A page's bytes in an allocation of exactly their size.
class ExactBytes {
 public:
  explicit ExactBytes(const std::string& text) : size_(static_cast<int64_t>(text.size())) {
    bytes_.reset(new unsigned char[text.empty() ? 1 : text.size()]);
    if (!text.empty()) std::memcpy(bytes_.get(), text.data(), text.size());
  }
  const unsigned char* data() const { return bytes_.get(); }
  int64_t size() const { return size_; }
  TextSpan document() const { return TextSpan::document(data(), size_); }

 private:
  std::unique_ptr<unsigned char[]> bytes_;
  int64_t size_;
};

class LinkExtractionRandomTest : public testing::Test {
 protected:
  SitePage& extract(const std::string& html, const std::string& base = "http://h/d/p.htm") {
    SitePage& page = world.page(base);
    ExactBytes bytes(html);
    world.explorer.extractor().extractLinks(page, bytes.data(), bytes.size());
    return page;
  }

  // What every scan must leave: stored kinds only, usable targets, each address once, the
  // count right, and a title of plain spaces and no blank at either end.
  static void expectWellFormed(const SitePage& page) {
    std::set<std::string> seen;
    size_t count = 0;
    for (const SiteLink* link = page.links; link; link = link->next, ++count) {
      const int kind = static_cast<int>(link->kind);
      ASSERT_TRUE(kind >= 1 && kind <= 14);
      ASSERT_TRUE(isUsable(link->target->address));
      ASSERT_TRUE(seen.insert(link->target->address.fullAddress).second);
    }
    ASSERT_EQ(count, page.linkCount);
    for (char c : page.title)
      ASSERT_FALSE(ByteFolding::isBlank(static_cast<unsigned char>(c)) && c != ' ');
    if (!page.title.empty()) {
      ASSERT_NE(page.title.front(), ' ');
      ASSERT_NE(page.title.back(), ' ');
    }
  }

  SiteWorld world;
};

const std::vector<std::string> kPieces = {"<a href=a.htm>",
                                          "<a href=\"b.jpg\">",
                                          "<A HREF='c.mpg' ",
                                          "<a name=x href>",
                                          "<a href=mailto:m@x>",
                                          "<img src=i.gif>",
                                          "<img src=\"j.png\" usemap=#m>",
                                          "<IMG SRC=k.gif ",
                                          "<img alt=none>",
                                          "</a>",
                                          "</A>",
                                          ">",
                                          "\"",
                                          "=",
                                          "<a ",
                                          "<img ",
                                          "href",
                                          "src=",
                                          " ",
                                          "\n",
                                          "text ",
                                          "<bgsound src=s.wav>",
                                          "<embed src=e.avi>",
                                          "<embed>",
                                          "<meta http-equiv=refresh content=\"1; url=r.htm\">",
                                          "<title>T</title>",
                                          "<body background=bg.gif>",
                                          "<img dynsrc=v.avi>",
                                          "<a href=>",
                                          "{",
                                          ";",
                                          "<"};

std::string randomMarkup(std::mt19937& random, size_t pieces) {
  std::string page;
  for (size_t i = 0; i < pieces; ++i) page += kPieces[random() % kPieces.size()];
  return page;
}

// The anchor pass as written: every anchor's content searched for images afresh, each pair
// added in turn. What the pass reads once must add exactly what this adds, in order.
void addAnchorImagesLiterally(LinkScan& scan) {
  const SpanReader& reader = scan.reader();
  const ScanPatterns& patterns = scan.patterns();
  TextSpan document = scan.document(), tag, href, found;
  while (reader.spanBetween(document, patterns.anchorOpen, patterns.tagClose, tag)) {
    if (!reader.attributeValue(tag, patterns.href, href)) continue;
    TextSpan rest = document;
    if (!reader.findInSpan(rest, patterns.anchorClose, found)) continue;
    TextSpan content{document.bytes, document.length, document.start, found.start};
    TextSpan image, src;
    while (reader.spanBetween(content, patterns.imageOpen, patterns.tagClose, image))
      if (reader.attributeValue(image, patterns.src, src)) scan.addAnchorImage(href, src);
  }
}

TEST_F(LinkExtractionRandomTest, ImagesInsideAnchorsAreAddedAsALiteralReadingAddsThem) {
  const SpanReader& reader = world.explorer.extractor().reader();
  const ScanPatterns patterns(reader);
  std::mt19937 random(20240601);
  const std::vector<std::string> anchorPieces = {"<a href=p.htm>",
                                                 "<a href=q.jpg>",
                                                 "<a href=r.avi ",
                                                 "<a href=mailto:x@y>",
                                                 "<a href=>",
                                                 "<img src=1.gif>",
                                                 "<img src=2.gif ",
                                                 "<img src=mailto:z@y>",
                                                 "<img alt=1>",
                                                 "</a>",
                                                 ">",
                                                 "<img <a href=s.wav>",
                                                 " x "};
  for (int round = 0; round < 300; ++round) {
    std::string html;
    const size_t pieces = 1 + random() % 60;
    for (size_t i = 0; i < pieces; ++i) html += anchorPieces[random() % anchorPieces.size()];
    ExactBytes bytes(html);
    SitePage& fast = world.page("http://h/fast" + std::to_string(round) + ".htm");
    SitePage& literal = world.page("http://h/literal" + std::to_string(round) + ".htm");
    FoundLinks fastFound, literalFound;
    LinkScan fastScan(reader, patterns, world.parser, fast.address, bytes.document(), fastFound);
    AnchorImages(fastScan).run();
    fastFound.addTo(world.explorer.registry(), fast, fastFound.size(), world.parser);
    LinkScan literalScan(reader, patterns, world.parser, literal.address, bytes.document(),
                         literalFound);
    addAnchorImagesLiterally(literalScan);
    literalFound.addTo(world.explorer.registry(), literal, literalFound.size(), world.parser);
    ASSERT_EQ(foundOn(fast), foundOn(literal)) << html;
  }
}

TEST_F(LinkExtractionRandomTest, RandomMarkupLeavesWellFormedLinks) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    SitePage& page = extract(randomMarkup(random, random() % 200),
                             "http://h/r" + std::to_string(round) + ".htm");
    expectWellFormed(page);
  }
}

// Real-looking pages, then broken: cut anywhere, quotes and ">" taken out, random bytes
// (zero bytes and bytes from 0x80 up among them) written over them, pieces repeated.
TEST_F(LinkExtractionRandomTest, MutatedPagesLeaveWellFormedLinks) {
  const std::string original =
      "<html><head><title>A page\twith <b>tags</b></title>"
      "<meta http-equiv=\"Refresh\" content=\"5; URL=/next/\"></head>"
      "<body background=\"bg.gif\"><bgsound src=\"s.wav\">"
      "<a href=\"big.jpg\"><img src=\"small.jpg\" alt=\"x\"></a>"
      "<a hreflang=en href='q.htm'>q</a><img usemap=#m src=map.gif>"
      "<map><area href=\"hot.htm\"></map><embed src=\"e.avi\"><embed width=1>"
      "<frame src=\"f.htm\"><script src=\"/js/a.js\"></script>"
      "<a href=\"mailto:x@y\">m</a><img dynsrc=\"v.avi\" src=\"still.gif\"></body></html>";
  std::mt19937 random(99);
  for (int round = 0; round < 400; ++round) {
    std::string html = original;
    const int mutations = 1 + static_cast<int>(random() % 8);
    for (int m = 0; m < mutations && !html.empty(); ++m) {
      const size_t at = random() % html.size();
      switch (random() % 6) {
        case 0:
          html.resize(at);
          break;
        case 1:
          html.erase(std::remove(html.begin() + at, html.end(), '"'), html.end());
          break;
        case 2:
          html.erase(std::remove(html.begin() + at, html.end(), '>'), html.end());
          break;
        case 3:
          for (size_t i = at; i < std::min(html.size(), at + 1 + random() % 16); ++i)
            html[i] = static_cast<char>(random() % 256);
          break;
        case 4:
          html.insert(at, html.substr(at, random() % 64));
          break;
        default:
          html.insert(at, 1, random() % 2 ? '\0' : static_cast<char>(0x80 + random() % 128));
      }
    }
    expectWellFormed(extract(html, "http://h/m" + std::to_string(round) + ".htm"));
  }
}

// Runs of one construct, each a few hundred kilobytes: every search that could start
// again and again over the same bytes meets its worst case here.
TEST_F(LinkExtractionRandomTest, HugeRunsOfOneConstructFinishWithTheRightLinks) {
  auto run = [](const std::string& piece, size_t times) {
    std::string html;
    html.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i) html += piece;
    return html;
  };
  int round = 0;
  auto page = [&](const std::string& html) -> SitePage& {
    SitePage& scanned = extract(html, "http://h/run" + std::to_string(round++) + ".htm");
    expectWellFormed(scanned);
    return scanned;
  };
  // Anchors never closed until the very end: every content reaches the last "</a>".
  EXPECT_EQ(foundOn(page(run("<a href=p.htm><img src=i.gif>", 40000) + "</a>")),
            (std::vector<Found>{{"http://h/p.htm", LinkKind::Page},
                                {"http://h/i.gif", LinkKind::ImageButton}}));
  // The same with images that never give an address, and anchors inside image tags.
  EXPECT_EQ(foundOn(page(run("<a href=p.htm><img src=\"mailto:x@y\">", 40000) + "</a>")),
            (std::vector<Found>{{"http://h/p.htm", LinkKind::Page}}));
  EXPECT_EQ(foundOn(page(run("<img src=i.gif <a href=p.jpg>", 40000) + "</a>")),
            (std::vector<Found>{{"http://h/p.jpg", LinkKind::ImageFullSize},
                                {"http://h/i.gif", LinkKind::ImageThumbnail}}));
  // Runs of names, quotes, openings and equals signs without an end.
  for (std::string_view piece : {"href", "href=", "=", "\"", "<a ", "<img ", "<a href=\"",
                                 "<meta http-equiv=refresh content=", "src src ", "<title>"})
    page(run(std::string(piece), 200000 / piece.size()));
  // One enormous attribute value.
  EXPECT_EQ(foundOn(page("<a href=\"" + std::string(300000, 'x') + ".htm\">")).size(), 1u);
}

// Fifty megabytes with a million links among a hundred thousand addresses.
TEST_F(LinkExtractionRandomTest, AFiftyMegabytePageOfAMillionLinksIsRead) {
  std::string html = "<html><title>Big</title><body>\n";
  html.reserve(52u << 20);
  for (int i = 0; i < 1000000; ++i) {
    html += "<p>entry <a href=\"item";
    html += std::to_string(i % 100000);
    html += ".htm\">go</a> text text text</p>\n";
  }
  ASSERT_GT(html.size(), 50u << 20);
  SitePage& big = extract(html, "http://big.example/list/index.htm");
  EXPECT_EQ(big.title, "Big");
  EXPECT_EQ(big.linkCount, 100000u);
  EXPECT_EQ(big.links->target->address.fullAddress, "http://big.example/list/item99999.htm");
  EXPECT_EQ(world.explorer.registry().size(), 100001u);
}

}  // namespace
