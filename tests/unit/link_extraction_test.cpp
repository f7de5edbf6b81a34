#include "site/link_extractor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

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

class LinkExtractionTest : public testing::Test {
 protected:
  // Scans the bytes as the page at kBase; they sit in an allocation of exactly their size.
  SitePage& scan(const std::string& html, const std::string& base = kBase) {
    SitePage& page = world.page(base);
    buffer_.reset(new unsigned char[html.size() + 1]);
    std::memcpy(buffer_.get(), html.data(), html.size());
    world.explorer.extractor().extractLinks(page, buffer_.get(), static_cast<int64_t>(html.size()));
    return page;
  }
  // The page's links in the order they were found.
  static std::vector<Found> found(const SitePage& page) {
    std::vector<Found> all;
    for (const SiteLink* link = page.links; link; link = link->next)
      all.push_back({link->target->address.fullAddress, link->kind});
    std::reverse(all.begin(), all.end());
    return all;
  }
  // The kind of the link to the address, None when the page has none.
  static LinkKind kindOf(const SitePage& page, const std::string& address) {
    for (const SiteLink* link = page.links; link; link = link->next)
      if (link->target->address.fullAddress == address) return link->kind;
    return LinkKind::None;
  }

  static inline const std::string kBase = "http://h/dir/page.htm";
  SiteWorld world;
  std::unique_ptr<unsigned char[]> buffer_;
};

TEST_F(LinkExtractionTest, AnImageInsideALinkIsAThumbnailOfTheFullSizeImage) {
  SitePage& page = scan("<a href=\"big.jpg\"><img src=\"small.jpg\"></a>");
  EXPECT_EQ(found(page),
            (std::vector<Found>{{"http://h/dir/big.jpg", LinkKind::ImageFullSize},
                                {"http://h/dir/small.jpg", LinkKind::ImageThumbnail}}));
}

TEST_F(LinkExtractionTest, ImagesInsideLinksTakeTheirRoleFromTheLinksAddress) {
  SitePage& page = scan(
      "<a href=next.htm><img src=b1.gif></a> <a href=clip.mpg><img src=still.gif></a>"
      "<a href=tune.wav><img src=b2.gif></a> <a href=pack.zip><img src=b3.gif></a>");
  EXPECT_EQ(found(page), (std::vector<Found>{{"http://h/dir/next.htm", LinkKind::Page},
                                             {"http://h/dir/b1.gif", LinkKind::ImageButton},
                                             {"http://h/dir/clip.mpg", LinkKind::Video},
                                             {"http://h/dir/still.gif", LinkKind::ImageVideoStill},
                                             {"http://h/dir/tune.wav", LinkKind::Audio},
                                             {"http://h/dir/b2.gif", LinkKind::ImageButton},
                                             {"http://h/dir/pack.zip", LinkKind::OtherFile},
                                             {"http://h/dir/b3.gif", LinkKind::ImageButton}}));
}

TEST_F(LinkExtractionTest, ImageTagsAreInlineOrImageMaps) {
  SitePage& page = scan("<img src=a.gif> <IMG usemap=#m SRC=map.gif> <img alt=x>");
  EXPECT_EQ(found(page), (std::vector<Found>{{"http://h/dir/a.gif", LinkKind::ImageInline},
                                             {"http://h/dir/map.gif", LinkKind::ImageMap}}));
}

TEST_F(LinkExtractionTest, SingleQuotesStayPartOfTheValue) {
  SitePage& page = scan("<a href='x.htm'>x</a>");
  ASSERT_EQ(found(page).size(), 1u);
  EXPECT_EQ(found(page)[0].address, "http://h/dir/'x.htm'");
}

TEST_F(LinkExtractionTest, AnAttributeNameMustBeAWholeWord) {
  SitePage& page = scan("<a hreflang=en href=p.htm><img src=i.gif></a>");
  EXPECT_EQ(kindOf(page, "http://h/dir/p.htm"), LinkKind::Page);
  EXPECT_EQ(kindOf(page, "http://h/dir/i.gif"), LinkKind::ImageButton);
  EXPECT_EQ(kindOf(page, "http://h/dir/en"), LinkKind::None);
}

TEST_F(LinkExtractionTest, AnHrefWithoutValueInItsTagTakesTheNextValueOfTheDocument) {
  // The anchor pass finds no href value in the tag, so its image is no button; the
  // document-wide pass takes the value after the next "=", wherever it stands.
  SitePage& page = scan("<a name=top href>Top<img alt></a> and <p class=later.htm>");
  EXPECT_EQ(found(page), (std::vector<Found>{{"http://h/dir/later.htm", LinkKind::Page}}));
  SitePage& other = scan("<a name=top href><img src=i.gif></a>", "http://h/other.htm");
  EXPECT_EQ(found(other), (std::vector<Found>{{"http://h/i.gif", LinkKind::ImageInline}}));
}

TEST_F(LinkExtractionTest, OnlyTheFirstBackgroundSoundIsABackgroundSound) {
  SitePage& page = scan("<bgsound src=one.wav><bgsound src=two.wav>");
  EXPECT_EQ(found(page), (std::vector<Found>{{"http://h/dir/one.wav", LinkKind::AudioBackground},
                                             {"http://h/dir/two.wav", LinkKind::Audio}}));
}

TEST_F(LinkExtractionTest, EmbeddedMediaStopAtTheFirstEmbedWithoutSource) {
  SitePage& page = scan("<embed src=a.avi><embed width=3><embed src=b.avi><embed src=c.xyz>");
  EXPECT_EQ(found(page), (std::vector<Found>{{"http://h/dir/a.avi", LinkKind::VideoInline},
                                             {"http://h/dir/b.avi", LinkKind::Video},
                                             {"http://h/dir/c.xyz", LinkKind::OtherFile}}));
}

TEST_F(LinkExtractionTest, ARefreshTargetIsAPageWhateverItsExtension) {
  SitePage& page = scan(
      "<meta http-equiv=\"Refresh\" content=\"5;URL=/next/\">"
      "<meta http-equiv=refresh content=\"0; url=pic.jpg\">"
      "<meta http-equiv=\"expires\" content=\"0; url=no.htm\">");
  EXPECT_EQ(kindOf(page, "http://h/next/"), LinkKind::Page);
  EXPECT_EQ(kindOf(page, "http://h/dir/pic.jpg"), LinkKind::Page);
  EXPECT_EQ(kindOf(page, "http://h/dir/no.htm"), LinkKind::None);
}

TEST_F(LinkExtractionTest, TheTitleBecomesOneTrimmedLineOfPlainBytes) {
  SitePage& page = scan("<TITLE>\n  Caf\xC3\xA9\tand\r\n more </title><title>second</title>");
  EXPECT_EQ(page.title, "Caf   and   more");
}

TEST_F(LinkExtractionTest, AnAddressWrittenInUtf8KeepsItsLetters) {
  SitePage& page = scan(
      "<a href=\"caf\xC3\xA9.htm\">a</a> <a href=caf%C3%A9.htm>b</a> "
      "<img src=\xC3\xBC"
      "ber.gif> <a href=\"x\ty.htm\">c</a>");
  EXPECT_EQ(found(page), (std::vector<Found>{{"http://h/dir/\xC3\xBC"
                                              "ber.gif",
                                              LinkKind::ImageInline},
                                             {"http://h/dir/caf\xC3\xA9.htm", LinkKind::Page},
                                             {"http://h/dir/x y.htm", LinkKind::Page}}));
}

// Character references are read once the value's end is found, so an "&quot;" never
// ends a value, and a decoded control byte is a blank like a written one.
TEST_F(LinkExtractionTest, CharacterReferencesInValuesAreReadAsBrowsersReadThem) {
  struct Case {
    const char* markup;
    Found link;
  };
  const Case cases[] = {
      {"<a href=\"run?code=1&amp;edition=2015\">r</a>",
       {"http://h/dir/run?code=1&edition=2015", LinkKind::Page}},
      {"<img src=\"pic.cgi?a=1&#x26;b=2\">",
       {"http://h/dir/pic.cgi?a=1&b=2", LinkKind::ImageInline}},
      {"<body background=\"bg.cgi?x=1&#38;y=2\">",
       {"http://h/dir/bg.cgi?x=1&y=2", LinkKind::ImageBackground}},
      {"<meta http-equiv=refresh content=\"0; URL=next.htm?a=1&amp;b=2\">",
       {"http://h/dir/next.htm?a=1&b=2", LinkKind::Page}},
      {"<a href=\"say&quot;hi&quot;.htm\">q</a>", {"http://h/dir/say\"hi\".htm", LinkKind::Page}},
      {"<a href=\"list.htm?a=1&lt=2\">l</a>", {"http://h/dir/list.htm?a=1&lt=2", LinkKind::Page}},
      {"<a href=\"x&#10;y.htm\">n</a>", {"http://h/dir/x y.htm", LinkKind::Page}},
  };
  for (const Case& c : cases) {
    SitePage& page = scan(c.markup, "http://h/dir/p" + std::to_string(&c - cases) + ".htm");
    EXPECT_EQ(found(page), std::vector<Found>{c.link}) << c.markup;
  }
}

TEST_F(LinkExtractionTest, CharacterReferencesInTheTitleAreRead) {
  SitePage& page = scan("<title> Tools &amp; Tips &#8211;&#10;caf&#233;&nbsp;</title>");
  EXPECT_EQ(page.title, "Tools & Tips \xE2\x80\x93 caf\xC3\xA9");
}

TEST_F(LinkExtractionTest, APageWithoutTitleKeepsItsTitle) {
  SitePage& page = world.page(kBase);
  page.title = "Old";
  scan("<a href=x.htm>x</a>");
  EXPECT_EQ(page.title, "Old");
}

TEST_F(LinkExtractionTest, MailAndScriptAddressesAreDropped) {
  SitePage& page = scan(
      "<a href=\"mailto:me@example.com\">m</a><a href=\"javascript:go()\">j</a>"
      "<a href=\"news:alt.test\">n</a><a href=\"\">e</a><a href=ok.htm>o</a>");
  EXPECT_EQ(found(page), (std::vector<Found>{{"http://h/dir/ok.htm", LinkKind::Page}}));
}

TEST_F(LinkExtractionTest, FramesScriptsAndAreasAreFoundByTheGenericPasses) {
  SitePage& page = scan(
      "<frame src=\"left.htm\"><script src=\"/js/app.js\"></script>"
      "<map><area shape=rect href=\"hot.gif\"></map><body background=\"bg.gif\">"
      "<img dynsrc=\"movie.avi\" src=still.gif>");
  EXPECT_EQ(kindOf(page, "http://h/dir/left.htm"), LinkKind::Page);
  EXPECT_EQ(kindOf(page, "http://h/js/app.js"), LinkKind::OtherFile);
  EXPECT_EQ(kindOf(page, "http://h/dir/hot.gif"), LinkKind::Image);
  EXPECT_EQ(kindOf(page, "http://h/dir/bg.gif"), LinkKind::ImageBackground);
  EXPECT_EQ(kindOf(page, "http://h/dir/movie.avi"), LinkKind::VideoInline);
  EXPECT_EQ(kindOf(page, "http://h/dir/still.gif"), LinkKind::ImageInline);
}

TEST_F(LinkExtractionTest, TheFirstPassThatMeetsAnAddressDecidesItsKind) {
  SitePage& page = scan(
      "<body background=bg.gif><img src=bg.gif><a href=pic.jpg><img src=t.gif></a>"
      "<img src=t.gif><a href=pic.jpg>again</a>");
  EXPECT_EQ(kindOf(page, "http://h/dir/bg.gif"), LinkKind::ImageInline);
  EXPECT_EQ(kindOf(page, "http://h/dir/t.gif"), LinkKind::ImageThumbnail);
  EXPECT_EQ(kindOf(page, "http://h/dir/pic.jpg"), LinkKind::ImageFullSize);
  EXPECT_EQ(found(page).size(), 3u);
}

TEST_F(LinkExtractionTest, AnAnchorThatIsNeverClosedHoldsNoImages) {
  SitePage& page = scan("<a href=big.jpg><img src=small.jpg>");
  EXPECT_EQ(found(page), (std::vector<Found>{{"http://h/dir/small.jpg", LinkKind::ImageInline},
                                             {"http://h/dir/big.jpg", LinkKind::Image}}));
}

TEST_F(LinkExtractionTest, UnclosedAnchorsLendTheirImagesToTheFirstAnchor) {
  SitePage& page = scan("<a href=a.htm><img src=1.gif><a href=b.jpg><img src=2.gif></a>");
  EXPECT_EQ(found(page), (std::vector<Found>{{"http://h/dir/a.htm", LinkKind::Page},
                                             {"http://h/dir/1.gif", LinkKind::ImageButton},
                                             {"http://h/dir/2.gif", LinkKind::ImageButton},
                                             {"http://h/dir/b.jpg", LinkKind::ImageFullSize}}));
}

TEST_F(LinkExtractionTest, AnAnchorWhoseImagesAreAllUnusableAddsNothing) {
  SitePage& page = scan("<a href=a.htm><img src=\"mailto:x@y\"><img alt=1></a>");
  EXPECT_EQ(found(page), (std::vector<Found>{{"http://h/dir/a.htm", LinkKind::Page}}));
  EXPECT_EQ(world.explorer.registry().size(), 2u);  // no page made for nothing
}

TEST_F(LinkExtractionTest, AnyBlankAfterTheTagNameOpensATag) {
  SitePage& page = scan("<a\thref=x.jpg>\n<img\r\nsrc=y.gif></a><a\xA0href=z.htm>z</a>");
  EXPECT_EQ(kindOf(page, "http://h/dir/x.jpg"), LinkKind::ImageFullSize);
  EXPECT_EQ(kindOf(page, "http://h/dir/y.gif"), LinkKind::ImageThumbnail);
  EXPECT_EQ(kindOf(page, "http://h/dir/z.htm"), LinkKind::Page);
}

TEST_F(LinkExtractionTest, AddressesAreResolvedAgainstThePageNotItsBaseElement) {
  SitePage& page = scan(
      "<base href=\"http://other/\"><a href=\"../up.htm\">u</a>"
      "<a href=\"//cdn.example/x.gif\">c</a><a href=\"#top\">t</a>");
  EXPECT_EQ(kindOf(page, "http://h/up.htm"), LinkKind::Page);
  EXPECT_EQ(kindOf(page, "http://cdn.example/x.gif"), LinkKind::Image);
  EXPECT_EQ(kindOf(page, "http://other/"), LinkKind::Page);
  EXPECT_EQ(kindOf(page, "http://h/dir/page.htm#top"), LinkKind::Page);
}

TEST_F(LinkExtractionTest, AnEmptyUnquotedValueDoesNotEndTheSearchForLaterOnes) {
  SitePage& page = scan("<a href=>x</a> <a href={{url}}>y</a> <a href=later.htm>z</a>");
  EXPECT_EQ(found(page), (std::vector<Found>{{"http://h/dir/later.htm", LinkKind::Page}}));
}

TEST_F(LinkExtractionTest, TheFileIsMappedReadAndLeftAlone) {
  world.files.putFile("C:\\tmp\\page.db", "<title>T</title><a href=a.htm>a</a>");
  SitePage& page = world.page(kBase);
  world.explorer.extractor().extractLinks(page, "C:\\tmp\\page.db");
  EXPECT_EQ(page.title, "T");
  EXPECT_EQ(found(page).size(), 1u);
  EXPECT_EQ(world.files.openHandles("C:\\tmp\\page.db"), 0);
  EXPECT_TRUE(world.files.isFile("C:\\tmp\\page.db"));
}

TEST_F(LinkExtractionTest, AnEmptyOrMissingFileAddsNothing) {
  world.files.putFile("C:\\tmp\\empty.db", "");
  SitePage& page = world.page(kBase);
  page.title = "Kept";
  world.explorer.extractor().extractLinks(page, "C:\\tmp\\empty.db");
  world.explorer.extractor().extractLinks(page, "C:\\tmp\\missing.db");
  EXPECT_EQ(page.title, "Kept");
  EXPECT_EQ(page.links, nullptr);
}

TEST_F(LinkExtractionTest, EachAddressStandsOnceInThePagesLinks) {
  SitePage& page = scan(
      "<a href=a.htm>1</a><a href=A.htm>2</a><a href=a.htm>3</a>"
      "<a href=http://H/dir/a.htm>4</a>");
  // The path's case tells addresses apart, the host's does not.
  EXPECT_EQ(found(page), (std::vector<Found>{{"http://h/dir/a.htm", LinkKind::Page},
                                             {"http://h/dir/A.htm", LinkKind::Page}}));
  EXPECT_EQ(page.linkCount, 2u);
}

}  // namespace
