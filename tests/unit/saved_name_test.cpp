#include "download/saved_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kPiece = "C:\\dl\\haulix 00000000000000000000000000000001.db";

UrlParts address(std::string host, std::string folder, std::string baseName,
                 std::string extension) {
  UrlParts parts;
  parts.scheme = "http://";
  parts.host = std::move(host);
  parts.folder = std::move(folder);
  parts.baseName = std::move(baseName);
  parts.extension = std::move(extension);
  return parts;
}

std::string savedPath(const UrlParts& parts, int scheme, const std::string& piece = kPiece) {
  SavedTarget target = targetName(parts, piece, scheme);
  return target.folder + target.name + target.extension;
}

// http://h/a%20b/c/file.zip
const UrlParts kNested = address("h", "/a%20b/c/", "file", ".zip");

TEST(TargetName, PutsTheFileInTheSubfolderOfEachScheme) {
  EXPECT_EQ(savedPath(kNested, 0), "C:\\dl\\file.zip");
  EXPECT_EQ(savedPath(kNested, 1), "C:\\dl\\h\\file.zip");
  EXPECT_EQ(savedPath(kNested, 2), "C:\\dl\\h-a b-c\\file.zip");
  EXPECT_EQ(savedPath(kNested, 3), "C:\\dl\\h\\a b-c\\file.zip");
  EXPECT_EQ(savedPath(kNested, 4), "C:\\dl\\h\\a b\\c\\file.zip");
}

TEST(TargetName, TreatsAnUnknownSchemeAsNoSubfolder) {
  EXPECT_EQ(savedPath(kNested, 5), "C:\\dl\\file.zip");
  EXPECT_EQ(savedPath(kNested, -1), "C:\\dl\\file.zip");
}

TEST(TargetName, GivesTheFolderNameNameAndExtensionApart) {
  SavedTarget target = targetName(kNested, kPiece, 3);
  EXPECT_EQ(target.folder, "C:\\dl\\h\\a b-c\\");
  EXPECT_EQ(target.name, "file");
  EXPECT_EQ(target.extension, ".zip");
}

TEST(TargetName, LeavesOutTheFolderPartWhenTheAddressHasNoFolders) {
  const UrlParts top = address("h", "/", "file", ".zip");
  EXPECT_EQ(savedPath(top, 2), "C:\\dl\\h\\file.zip");
  EXPECT_EQ(savedPath(top, 3), "C:\\dl\\h\\file.zip");
  EXPECT_EQ(savedPath(top, 4), "C:\\dl\\h\\file.zip");
}

TEST(TargetName, TrimsDotsSpacesAndDashesFromTheFolders) {
  const UrlParts odd = address("www.h.com.", "/ -x- /y./", "f", ".txt");
  EXPECT_EQ(savedPath(odd, 2), "C:\\dl\\www.h.com-x- -y\\f.txt");
  EXPECT_EQ(savedPath(odd, 4), "C:\\dl\\www.h.com\\-x-\\y\\f.txt");
}

TEST(TargetName, WalksTheFoldersOfTheRawPathUpToTheFirstEmptyOne) {
  EXPECT_EQ(savedPath(address("h", "//a/b//c/", "f", ""), 4), "C:\\dl\\h\\a\\b\\f");
  // An escaped slash stays inside its folder's name.
  EXPECT_EQ(savedPath(address("h", "/a%2Fb/c/", "f", ""), 4), "C:\\dl\\h\\a-b\\c\\f");
}

TEST(TargetName, NeverMakesAnEmptyFolderName) {
  // ".." and " . " clean down to nothing; a "\\" of their own would double the separator.
  EXPECT_EQ(savedPath(address("h", "/../ . /x/", "f", ""), 4), "C:\\dl\\h\\x\\f");
  EXPECT_EQ(savedPath(address("...", "/x/", "f", ""), 1), "C:\\dl\\f");
}

TEST(TargetName, NamesAFolderAddressAfterItsHostAndPath) {
  EXPECT_EQ(savedPath(address("h", "/docs/", "", ""), 0), "C:\\dl\\index at h-docs.htm");
  EXPECT_EQ(savedPath(address("h", "/", "", ""), 0), "C:\\dl\\index at h.htm");
  EXPECT_EQ(savedPath(address("h", "/a%20b//", "", ""), 1), "C:\\dl\\h\\index at h-a b.htm");
}

TEST(TargetName, CallsANameOfOnlyDotsAndSpacesUntitled) {
  // The last segment ". . ." splits into the base name ". ." and the extension ".".
  EXPECT_EQ(savedPath(address("h", "/", ". .", "."), 0), "C:\\dl\\(untitled)");
  EXPECT_EQ(savedPath(address("h", "/", "%20.", ".zip"), 0), "C:\\dl\\(untitled).zip");
}

TEST(TargetName, LowersTheExtensionButKeepsTheNamesCase) {
  EXPECT_EQ(savedPath(address("h", "/", "FILE", ".ZIP"), 0), "C:\\dl\\FILE.zip");
  // Bytes of other scripts are parts of characters and stay as they are.
  EXPECT_EQ(savedPath(address("h", "/", "A", ".\xC3\x89T\xC3\xA9"), 0),
            "C:\\dl\\A.\xC3\x89t\xC3\xA9");
}

TEST(TargetName, DecodesEscapesAfterFoldingPercentSigns) {
  EXPECT_EQ(savedPath(address("h", "/", "a%2541", ".txt"), 0), "C:\\dl\\aA.txt");
  EXPECT_EQ(savedPath(address("h", "/", "a%252Fb", ".txt"), 0), "C:\\dl\\a-b.txt");
  EXPECT_EQ(savedPath(address("h", "/", "my%20file%2520x", ".t%58t"), 0),
            "C:\\dl\\my file x.txt");
}

TEST(TargetName, DecodesEscapedCharactersOfOtherScriptsInNamesAndFolders) {
  const UrlParts japanese =
      address("h", "/%E6%97%A5/caf%C3%A9%2Fb/", "%E6%97%A5%E6%9C%AC%20caf%C3%A9", ".bin");
  EXPECT_EQ(savedPath(japanese, 0), "C:\\dl\\\xE6\x97\xA5\xE6\x9C\xAC caf\xC3\xA9.bin");
  EXPECT_EQ(savedPath(japanese, 4),
            "C:\\dl\\h\\\xE6\x97\xA5\\caf\xC3\xA9-b\\\xE6\x97\xA5\xE6\x9C\xAC caf\xC3\xA9.bin");
  // Escapes that make no character stay, so the name is still one the system takes.
  EXPECT_EQ(savedPath(address("h", "/", "caf%E9", ".txt"), 0), "C:\\dl\\caf%E9.txt");
  EXPECT_EQ(savedPath(address("h", "/", "caf\xE9", ".txt"), 0), "C:\\dl\\caf%E9.txt");
}

TEST(TargetName, ReplacesCharactersThatNamesCannotHoldAfterDecoding) {
  EXPECT_EQ(savedPath(address("h", "/", "a%3Ab%7Cc%22d%3F%2A%5C", ".txt"), 0),
            "C:\\dl\\a-b-c'd---.txt");
  // An escaped separator never makes a folder, nor a colon a stream.
  EXPECT_EQ(savedPath(address("h", "/x%5Cy%2Fz%3A/", "f", ""), 4), "C:\\dl\\h\\x-y-z-\\f");
  EXPECT_EQ(savedPath(address("h", "/", "%63on", ".txt"), 0), "C:\\dl\\_con.txt");
}

TEST(TargetName, ShortensANameThatWouldMakeThePathTooLongInItsOwnFolder) {
  const UrlParts longName = address("h", "/a/b/", std::string(300, 'n'), ".zip");
  SavedTarget target = targetName(longName, kPiece, 4);
  EXPECT_EQ(target.folder, "C:\\dl\\h\\a\\b\\");
  EXPECT_EQ(target.name, "nnnnnnnn");
  EXPECT_EQ(target.extension, ".zip");
  EXPECT_EQ(targetName(address("h", "/", std::string(300, 'n'), ".jpeg"), kPiece, 0).extension,
            ".jpe");
}

TEST(TargetName, KeepsASubfolderTooDeepForThePathSoTheFileIsNeverSavedElsewhere) {
  std::string deep = "/";
  for (int i = 0; i < 30; ++i) deep += "folder" + std::to_string(i) + "/";
  SavedTarget target = targetName(address("h", deep, "f", ".zip"), kPiece, 4);
  EXPECT_EQ(target.folder.rfind("C:\\dl\\h\\folder0\\folder1\\", 0), 0u);
  EXPECT_NE(target.folder.find("\\folder29\\"), std::string::npos);
}

TEST(TargetName, CountsFolderSubfolderNameAndExtensionAgainstTheLimit) {
  // "C:\dl\" (6) + "h\" (2) + name + ".zip" (4) + 16 spare: 260 is still allowed.
  EXPECT_EQ(targetName(address("h", "/", std::string(232, 'n'), ".zip"), kPiece, 1).name.size(),
            232u);
  SavedTarget cut = targetName(address("h", "/", std::string(233, 'n'), ".zip"), kPiece, 1);
  EXPECT_EQ(cut.name, "nnnnnnnn");
  EXPECT_EQ(cut.folder, "C:\\dl\\h\\");
}

TEST(TargetName, TrimsAShortenedNameAndExtensionAgain) {
  SavedTarget target =
      targetName(address("h", "/", "ab  .   " + std::string(300, 'x'), ". z .gz"), kPiece, 0);
  EXPECT_EQ(target.name, "ab");
  EXPECT_EQ(target.extension, ".z");
}

TEST(TargetName, NeverCutsACharacterInHalfWhenShortening) {
  // Three-byte characters: eight bytes hold two of them and a part of the third.
  std::string japanese;
  for (int i = 0; i < 100; ++i) japanese += "\xE6\x97\xA5";
  EXPECT_EQ(targetName(address("h", "/", japanese, ".txt"), kPiece, 0).name,
            "\xE6\x97\xA5\xE6\x97\xA5");
}

TEST(TargetName, PutsAnUnderscoreBeforeDeviceNames) {
  EXPECT_EQ(savedPath(address("h", "/", "con", ".txt"), 0), "C:\\dl\\_con.txt");
  EXPECT_EQ(savedPath(address("h", "/", "NUL", ""), 0), "C:\\dl\\_NUL");
  EXPECT_EQ(savedPath(address("h", "/", "Com1.tar", ".gz"), 0), "C:\\dl\\_Com1.tar.gz");
  EXPECT_EQ(savedPath(address("h", "/", "lpt9%20", ".log"), 0), "C:\\dl\\_lpt9.log");
  EXPECT_EQ(savedPath(address("h", "/", "aux%20.%20x", ".log"), 0), "C:\\dl\\_aux . x.log");
  EXPECT_EQ(savedPath(address("h", "/", "prn", ".TXT"), 0), "C:\\dl\\_prn.txt");
  // A name that only begins like one is left alone.
  EXPECT_EQ(savedPath(address("h", "/", "console", ".txt"), 0), "C:\\dl\\console.txt");
  EXPECT_EQ(savedPath(address("h", "/", "com0", ""), 0), "C:\\dl\\com0");
  EXPECT_EQ(savedPath(address("h", "/", "lpt10", ""), 0), "C:\\dl\\lpt10");
}

TEST(TargetName, PutsAnUnderscoreBeforeAShortenedNameThatBecameADevice) {
  SavedTarget target =
      targetName(address("h", "/", "nul     " + std::string(300, 'x'), ".txt"), kPiece, 0);
  EXPECT_EQ(target.name, "_nul");
}

TEST(TargetName, PutsAnUnderscoreBeforeDeviceNamesAmongTheFolders) {
  EXPECT_EQ(savedPath(address("aux", "/", "f", ""), 1), "C:\\dl\\_aux\\f");
  EXPECT_EQ(savedPath(address("h", "/prn/com3.x/", "f", ""), 4), "C:\\dl\\h\\_prn\\_com3.x\\f");
  EXPECT_EQ(savedPath(address("h", "/con/", "f", ""), 3), "C:\\dl\\h\\_con\\f");
}

TEST(TargetName, TakesTheFolderOfTheFinishedFile) {
  EXPECT_EQ(targetName(kNested, "\\\\srv\\pub\\piece.db", 1).folder, "\\\\srv\\pub\\h\\");
  EXPECT_EQ(targetName(kNested, "C:\\piece.db", 0).folder, "C:\\");
}

TEST(ReplaceIllegal, ReplacesEachForbiddenCharacter) {
  EXPECT_EQ(replaceIllegal("a\\b/c:d*e?f<g>h|i\"j"), "a-b-c-d-e-f-g-h-i'j");
  EXPECT_EQ(replaceIllegal("plain name.txt"), "plain name.txt");
  EXPECT_EQ(replaceIllegal(""), "");
}

TEST(IsDeviceName, KnowsEveryDeviceInAnyCase) {
  for (const char* name : {"CON", "prn", "Aux", "nUl", "COM1", "com9", "LPT1", "lpt9", "con.txt",
                           "NUL.tar.gz", "con ", " aux .x"})
    EXPECT_TRUE(isDeviceName(name)) << name;
  for (const char* name :
       {"", "CO", "CONS", "COM", "COM0", "COM10", "LPT", "xcon", "_con", "con-x", ".con"})
    EXPECT_FALSE(isDeviceName(name)) << name;
}

}  // namespace
