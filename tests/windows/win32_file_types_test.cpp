// File types as the shell answers them, alone and under the address parser.
#include "platform/win32/win32_file_types.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/win32_text_rules.h"
#include "url/address.h"

namespace {

TEST(Win32FileTypes, AsksTheShellForAKnownExtension) {
  ShellFileType txt = fileTypeInfo(".txt");
  EXPECT_GE(txt.systemIconIndex, 0);
  EXPECT_FALSE(txt.typeName.empty());
  Win32FileTypes types;
  FileType type = types.lookup(".txt");
  EXPECT_EQ(type.typeName, txt.typeName);
  EXPECT_EQ(type.iconIndex, -1) << "no image list to map to";
}

TEST(Win32FileTypes, GivesTheSameAnswerForTheSameExtension) {
  Win32FileTypes types;
  FileType first = types.lookup(".zip");
  types.lookup(".txt");
  FileType again = types.lookup(".zip");
  EXPECT_EQ(again.typeName, first.typeName);
  EXPECT_EQ(again.iconIndex, first.iconIndex);
  EXPECT_EQ(types.lookup(".ZIP").typeName, types.lookup(".zip").typeName);
}

TEST(Win32FileTypes, MapsTheSystemIconThroughTheGivenFunction) {
  std::vector<std::pair<int, std::string>> asked;
  int answer = 7;
  Win32FileTypes types([&](int systemIndex, const std::string& extension) {
    asked.emplace_back(systemIndex, extension);
    return answer;
  });
  FileType htm = types.lookup(".htm");
  EXPECT_EQ(htm.iconIndex, 7);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].first, fileTypeInfo(".htm").systemIconIndex);
  EXPECT_EQ(asked[0].second, ".htm");
  types.lookup(".HTM");
  EXPECT_EQ(asked.size(), 1u) << "the last extension is answered again without asking";

  answer = -1;  // the icon could not be added to the image list
  FileType failed = types.lookup(".txt");
  EXPECT_EQ(failed.iconIndex, -1);
  EXPECT_EQ(failed.typeName, "");
  types.lookup(".txt");
  EXPECT_EQ(asked.size(), 3u) << "a failure is not remembered";
}

TEST(Win32FileTypes, RefusesTextsTheShellCannotTakeWithoutFailing) {
  Win32FileTypes types;
  for (const std::string& bad : {"." + std::string(5000, 'x'), std::string(".t\0xt", 5)}) {
    FileType type = types.lookup(bad);
    EXPECT_EQ(type.iconIndex, -1);
    EXPECT_EQ(type.typeName, "");
    EXPECT_EQ(fileTypeIcon(bad), nullptr);
  }
  types.lookup(".a\\b:c*?\"<>|");  // any bytes at all: an answer or none, never a fault
}

TEST(Win32FileTypes, GivesTheSmallIconOfAType) {
  HICON icon = fileTypeIcon(".txt");
  ASSERT_NE(icon, nullptr);
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP bitmap = {};
  GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(SM_CXSMICON));
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  EXPECT_TRUE(DestroyIcon(icon));
}

TEST(Win32FileTypes, NamesTheTypesOfParsedAddresses) {
  Win32TextRules rules;
  ByteText text(rules);
  Win32FileTypes types;
  AddressParser parser(text, types);
  UrlParts txt = parser.parseAddress("http://h/Notes.TXT");
  EXPECT_EQ(txt.displayName, "Notes.txt");
  EXPECT_EQ(txt.typeName,
            fileTypeInfo(".TXT").typeName.empty() ? "TXT File" : fileTypeInfo(".TXT").typeName);
  EXPECT_EQ(parser.parseAddress("http://h/archive").typeName, "File");
  EXPECT_FALSE(parser.parseAddress("http://h/").typeName.empty());
}

}  // namespace
