#include "transfer/resume_text.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>
#include <vector>

namespace {

// How the previous release read a resume text (its reader, kept here as it was): the
// total size, then pairs of start and path, a pair with a start that is no number skipped.
std::vector<std::pair<int64_t, std::string>> readAsThePreviousRelease(std::string_view text) {
  std::vector<std::pair<int64_t, std::string>> pieces;
  auto takeField = [&text](std::string_view& field) {
    if (text.empty()) return false;
    const size_t tab = text.find('\t');
    field = text.substr(0, tab);
    text = tab == std::string_view::npos ? std::string_view() : text.substr(tab + 1);
    return true;
  };
  std::string_view field, startField, pathField;
  if (!takeField(field)) return pieces;
  while (takeField(startField)) {
    if (!takeField(pathField)) pathField = {};
    int64_t start = -1;
    if (!parseDecimal(startField, start) || start < 0 || pathField.empty()) continue;
    pieces.emplace_back(start, std::string(pathField));
  }
  return pieces;
}

TEST(ResumeText, EveryFieldIsFollowedByATab) {
  ResumeText resume;
  resume.totalSize = 1000;
  resume.pieces = {{600, "C:\\d\\haulix b.db"}, {0, "C:\\d\\haulix a.db"}};
  EXPECT_EQ(formatResumeText(resume), "1000\t600\tC:\\d\\haulix b.db\t0\tC:\\d\\haulix a.db\t");
  EXPECT_EQ(formatResumeText(ResumeText{}), "-1\t");
}

TEST(ResumeText, ReadsBackWhatWasWritten) {
  ResumeText resume;
  resume.totalSize = int64_t{5} << 32;
  resume.pieces = {{int64_t{4} << 32, "C:\\x\\p2.db"}, {0, "C:\\x\\p1.db"}};
  const ResumeText back = parseResumeText(formatResumeText(resume));
  EXPECT_EQ(back.totalSize, resume.totalSize);
  ASSERT_EQ(back.pieces.size(), 2u);
  EXPECT_EQ(back.pieces[0].start, int64_t{4} << 32);
  EXPECT_EQ(back.pieces[0].path, "C:\\x\\p2.db");
  EXPECT_EQ(back.pieces[1].path, "C:\\x\\p1.db");
}

TEST(ResumeText, KeepsTheVersionOfTheFileWhereThePreviousReleaseSkipsIt) {
  ResumeText resume;
  resume.totalSize = 1000;
  resume.pieces = {{0, "C:\\x\\p1.db"}};
  resume.validator = "Tue, 01 Dec 2026 10:00:00 GMT";
  const std::string text = formatResumeText(resume);
  EXPECT_EQ(text, "1000\t0\tC:\\x\\p1.db\tvalidator\tTue, 01 Dec 2026 10:00:00 GMT\t");
  EXPECT_EQ(parseResumeText(text).validator, resume.validator);
  EXPECT_EQ(parseResumeText(text).pieces.size(), 1u);
  const auto previous = readAsThePreviousRelease(text);
  ASSERT_EQ(previous.size(), 1u);
  EXPECT_EQ(previous[0].second, "C:\\x\\p1.db");
  // A text of the previous release has no version; one that a field cannot hold is left out.
  EXPECT_EQ(parseResumeText("1000\t0\tC:\\x\\p1.db\t").validator, "");
  resume.validator = "\"a\tb\"";
  EXPECT_EQ(formatResumeText(resume), "1000\t0\tC:\\x\\p1.db\t");
}

TEST(ResumeText, ALastFieldWithoutItsTabStillCounts) {
  const ResumeText back = parseResumeText("1000\t0\tC:\\p.db");
  ASSERT_EQ(back.pieces.size(), 1u);
  EXPECT_EQ(back.pieces[0].path, "C:\\p.db");
}

TEST(ResumeText, DamagedFieldsAreLeftOutWithoutHarm) {
  EXPECT_EQ(parseResumeText("abc\t0\tC:\\p.db\t").totalSize, -1);
  EXPECT_EQ(parseResumeText("-7\t").totalSize, -1);
  EXPECT_EQ(parseResumeText("99999999999999999999\t").totalSize, -1);
  const ResumeText back = parseResumeText("1000\t-5\tC:\\a.db\tx\tC:\\b.db\t7\t\t300\tC:\\c.db\t9");
  ASSERT_EQ(back.pieces.size(), 1u);
  EXPECT_EQ(back.pieces[0].start, 300);
  EXPECT_EQ(back.pieces[0].path, "C:\\c.db");
  EXPECT_TRUE(parseResumeText("").pieces.empty());
}

}  // namespace

namespace {

TEST(ResumeText, PiecesWithTheirLengthsReadBackAndThePreviousReleaseSkipsThem) {
  ResumeText resume;
  resume.totalSize = 1000;
  resume.pieces = {{600, "C:\\x\\p1.db", 600, 150}, {0, "C:\\x\\p1.db", 0, 300}};
  const std::string text = formatResumeText(resume);
  EXPECT_EQ(text, "1000\tspan\t600,600,150,C:\\x\\p1.db\tspan\t0,0,300,C:\\x\\p1.db\t");
  const ResumeText back = parseResumeText(text);
  ASSERT_EQ(back.pieces.size(), 2u);
  EXPECT_EQ(back.pieces[0].start, 600);
  EXPECT_EQ(back.pieces[0].base, 600);
  EXPECT_EQ(back.pieces[0].length, 150);
  EXPECT_EQ(back.pieces[0].path, "C:\\x\\p1.db");
  // The earlier release would take the shared file's size for a piece's length: it starts
  // over instead.
  EXPECT_TRUE(readAsThePreviousRelease(text).empty());
}

TEST(ResumeText, ADamagedSpanIsLeftOut) {
  for (const char* value : {"", "1,2,3", "1,2,3,", "-1,0,3,C:\\p.db", "1,x,3,C:\\p.db",
                            "1,2,-3,C:\\p.db", "99999999999999999999,0,1,C:\\p.db"}) {
    const ResumeText back = parseResumeText(std::string("1000\tspan\t") + value + "\t");
    EXPECT_TRUE(back.pieces.empty()) << value;
    EXPECT_EQ(back.totalSize, 1000);
  }
}

}  // namespace
