#include "transfer/resume_text.h"

#include <gtest/gtest.h>

namespace {

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
