#include "transfer/content_disposition.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  std::string value;
  std::string name;
};

TEST(DispositionFileName, ReadsTheNamesServersGive) {
  const Case cases[] = {
      {"attachment; filename=\"report.pdf\"", "report.pdf"},
      {"attachment; filename=report.pdf", "report.pdf"},
      {"inline; FILENAME = \"a b.txt\" ; size=3", "a b.txt"},
      {"attachment; filename=\"a;b=c.txt\"; x=1", "a;b=c.txt"},
      {"filename=bare.zip", "bare.zip"},
      {"attachment; filename=\"caf\xC3\xA9.txt\"", "caf\xC3\xA9.txt"},
      // Bytes that are not UTF-8 are ISO-8859-1.
      {"attachment; filename=\"caf\xE9.txt\"", "caf\xC3\xA9.txt"},
      // Escapes in a plain name are the name's own characters.
      {"attachment; filename=\"a%20b.txt\"", "a%20b.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(dispositionFileName(c.value), c.name) << c.value;
}

TEST(DispositionFileName, TheExtendedNameWinsWhenItCanBeRead) {
  const Case cases[] = {
      {"attachment; filename=\"fallback.pdf\"; filename*=UTF-8''%E6%97%A5%E6%9C%AC.pdf",
       "\xE6\x97\xA5\xE6\x9C\xAC.pdf"},
      {"attachment; filename*=utf-8'en'caf%C3%A9.txt; filename=\"x.txt\"", "caf\xC3\xA9.txt"},
      {"attachment; filename*=iso-8859-1''caf%E9.txt", "caf\xC3\xA9.txt"},
      {"attachment; filename*=\"UTF-8''quoted%20too.txt\"", "quoted too.txt"},
      // Unreadable: another charset, a broken escape, bytes that are not UTF-8, no quotes.
      {"attachment; filename=\"a.txt\"; filename*=KOI8-R''%C1.txt", "a.txt"},
      {"attachment; filename=\"a.txt\"; filename*=UTF-8''%G1.txt", "a.txt"},
      {"attachment; filename=\"a.txt\"; filename*=UTF-8''%E9.txt", "a.txt"},
      {"attachment; filename=\"a.txt\"; filename*=nothing.txt", "a.txt"},
      // An extended name that cleans down to nothing leaves the plain one.
      {"attachment; filename=\"a.txt\"; filename*=UTF-8''%2F", "a.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(dispositionFileName(c.value), c.name) << c.value;
}

TEST(DispositionFileName, SurvivesHostileValues) {
  const Case cases[] = {
      {"", ""},
      {"attachment", ""},
      {"attachment;", ""},
      {"attachment; filename", ""},
      {"attachment; filename=", ""},
      {"attachment; filename=\"\"", ""},
      {"attachment; filename=\"   \"", ""},
      {";;;=;=\"", ""},
      // Quotes: escaped, doubled, unclosed.
      {"attachment; filename=\"a\\\"b.txt\"", "a\"b.txt"},
      {"attachment; filename=\"open.txt", "open.txt"},
      {"attachment; filename=\"a\"\"b\"", "a"},
      {"attachment; filename=\"folder\\", ""},
      // Paths keep their last part, whatever the separator; control bytes go.
      {"attachment; filename=\"../../etc/passwd\"", "passwd"},
      {"attachment; filename=\"C:\\\\Windows\\\\evil.exe\"", "evil.exe"},
      {"attachment; filename=\"dir/\"", ""},
      {"attachment; filename=\"a\r\nb\t\x01.txt\"", "ab.txt"},
      {std::string("attachment; filename=\"nul") + '\0' + "byte.txt\"", "nulbyte.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(dispositionFileName(c.value), c.name) << c.value;
}

TEST(DispositionFileName, KeepsALongNameShortWithoutCuttingACharacter) {
  std::string japanese;
  for (int i = 0; i < 200; ++i) japanese += "\xE6\x97\xA5";
  const std::string name = dispositionFileName("attachment; filename=\"" + japanese + ".txt\"");
  EXPECT_LE(name.size(), kLongestServerName);
  EXPECT_EQ(name.size() % 3, 0u);
  EXPECT_EQ(name, japanese.substr(0, name.size()));
  EXPECT_EQ(dispositionFileName("attachment; filename=" + std::string(100000, 'x')),
            std::string(kLongestServerName, 'x'));
}

TEST(ContentDispositionName, FindsTheHeaderAmongTheRawLines) {
  EXPECT_EQ(contentDispositionName("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n"
                                   "content-DISPOSITION: attachment; filename=\"r.pdf\"\r\n"
                                   "Content-Disposition: attachment; filename=\"second.pdf\"\r\n\r\n"),
            "r.pdf");
  EXPECT_EQ(contentDispositionName("HTTP/1.1 200 OK\r\nX-Content-Disposition: attachment; "
                                   "filename=\"no.pdf\"\r\n\r\n"),
            "");
  EXPECT_EQ(contentDispositionName("HTTP/1.1 200 OK\r\n\r\n"), "");
  EXPECT_EQ(contentDispositionName(""), "");
}

}  // namespace
