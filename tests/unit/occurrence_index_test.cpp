#include "site/occurrence_index.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes/fake_text_rules.h"

namespace {

class OccurrenceIndexTest : public testing::Test {
 protected:
  FakeTextRules rules;
  ByteText text{rules};
  SpanReader reader{text};
  SpanPattern pattern = reader.pattern("<b");
};

TEST_F(OccurrenceIndexTest, AnswersSearchesInAnyOrderAboveTheFloor) {
  const std::string bytes = "..<b..<B....<b.<b";
  const TextSpan document =
      TextSpan::document(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  OccurrenceIndex index(reader, document, pattern);
  const int64_t third = index.next(7, document.end);
  EXPECT_EQ(index[third].at, 12);
  EXPECT_EQ(index[index.next(0, document.end)].at, 2);
  EXPECT_EQ(index.next(3, document.end), third - 1);
  EXPECT_EQ(index.next(16, document.end), -1);  // the last one starts at 15
  EXPECT_EQ(index.next(13, 16), -1);            // and does not end by 16
  EXPECT_EQ(index[index.next(13, 17)].at, 15);
  index[third].marks = 5;
  // The numbers and marks stay with their occurrences when the floor rises.
  index.setFloor(10);
  EXPECT_EQ(index.held(), 2u);
  EXPECT_EQ(index.next(10, document.end), third);
  EXPECT_EQ(index[third].marks, 5);
}

TEST_F(OccurrenceIndexTest, HoldsOnlyWhatLiesAboveTheFloor) {
  std::string bytes;
  for (int i = 0; i < 10000; ++i) bytes += "<b ";
  const TextSpan document =
      TextSpan::document(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  OccurrenceIndex index(reader, document, pattern);
  for (int64_t at = 0; at < document.end; at += 300) {
    index.setFloor(at);
    ASSERT_EQ(index[index.next(at, document.end)].at, at);
    ASSERT_EQ(index.held(), 1u);
  }
}

}  // namespace
