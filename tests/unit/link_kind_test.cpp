#include "site/link_kind.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes/fake_file_types.h"
#include "fakes/fake_text_rules.h"
#include "url/address.h"

namespace {

class LinkKindTest : public testing::Test {
 protected:
  LinkKind classOf(const std::string& address) {
    return classifyByExtension(parser.parseAddress(address));
  }

  FakeTextRules rules;
  ByteText text{rules};
  FakeFileTypes types;
  AddressParser parser{text, types};
};

TEST_F(LinkKindTest, ExtensionsAreClassifiedIgnoringCase) {
  EXPECT_EQ(classOf("http://h/a.JPG"), LinkKind::Image);
  EXPECT_EQ(classOf("http://h/a.jpg"), LinkKind::Image);
  EXPECT_EQ(classOf("http://h/a.Html"), LinkKind::Page);
  EXPECT_EQ(classOf("http://h/a.css"), LinkKind::Page);
  EXPECT_EQ(classOf("http://h/a.Mp3"), LinkKind::Audio);
  EXPECT_EQ(classOf("http://h/a.m1v"), LinkKind::Audio);  // in the audio list, not video
  EXPECT_EQ(classOf("http://h/a.mpeg"), LinkKind::Video);
  EXPECT_EQ(classOf("http://h/a.rmm"), LinkKind::Video);
}

TEST_F(LinkKindTest, FoldersAndNamesWithoutExtensionArePages) {
  EXPECT_EQ(classOf("http://h/dir/"), LinkKind::Page);
  EXPECT_EQ(classOf("http://h/dir/readme"), LinkKind::Page);
  EXPECT_EQ(classOf("http://h/dir/.profile"), LinkKind::Page);  // no base name
  // The query plays no part.
  EXPECT_EQ(classOf("http://h/getfile?id=3.zip"), LinkKind::Page);
  EXPECT_EQ(classOf("http://h/a.gif?size=big"), LinkKind::Image);
}

TEST_F(LinkKindTest, EverythingElseIsAnotherFile) {
  for (const char* address : {"http://h/a.zip", "http://h/a.exe", "http://h/a.pdf", "http://h/a.js",
                              "http://h/a.jpgx", "http://h/a.mp"})
    EXPECT_EQ(classOf(address), LinkKind::OtherFile) << address;
}

TEST_F(LinkKindTest, KindTextsNameTheRoleAndLeavePagesAndFilesBlank) {
  EXPECT_EQ(kindText(LinkKind::Page), "");
  EXPECT_EQ(kindText(LinkKind::OtherFile), "");
  EXPECT_EQ(kindText(LinkKind::None), "");
  EXPECT_EQ(kindText(LinkKind::Image), "Image");
  EXPECT_EQ(kindText(LinkKind::ImageBackground), "Image - Background");
  EXPECT_EQ(kindText(LinkKind::ImageInline), "Image - Inline");
  EXPECT_EQ(kindText(LinkKind::ImageThumbnail), "Image - Thumbnail");
  EXPECT_EQ(kindText(LinkKind::ImageFullSize), "Image - Full Size");
  EXPECT_EQ(kindText(LinkKind::ImageButton), "Image - Button");
  EXPECT_EQ(kindText(LinkKind::ImageVideoStill), "Image - Video Still");
  EXPECT_EQ(kindText(LinkKind::ImageMap), "Image - Image Map");
  EXPECT_EQ(kindText(LinkKind::Audio), "Audio");
  EXPECT_EQ(kindText(LinkKind::AudioBackground), "Audio - Background");
  EXPECT_EQ(kindText(LinkKind::Video), "Video");
  EXPECT_EQ(kindText(LinkKind::VideoInline), "Video - Inline");
}

TEST_F(LinkKindTest, TheAnchorTableGivesTheLinkAndTheImageTheirRoles) {
  auto expect = [](LinkKind linkClass, LinkKind link, LinkKind image) {
    AnchorKinds kinds = anchorKinds(linkClass);
    EXPECT_EQ(kinds.link, link);
    EXPECT_EQ(kinds.image, image);
  };
  expect(LinkKind::Page, LinkKind::Page, LinkKind::ImageButton);
  expect(LinkKind::Image, LinkKind::ImageFullSize, LinkKind::ImageThumbnail);
  expect(LinkKind::Audio, LinkKind::Audio, LinkKind::ImageButton);
  expect(LinkKind::Video, LinkKind::Video, LinkKind::ImageVideoStill);
  expect(LinkKind::OtherFile, LinkKind::OtherFile, LinkKind::ImageButton);
}

}  // namespace
