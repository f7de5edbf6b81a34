#include "download/copy_text.h"

#include <gtest/gtest.h>

#include "fakes/fake_row_list.h"

namespace {

struct Row {};

class CopyTextTest : public ::testing::Test {
 protected:
  CopyTextTest() {
    add({"Done", "a.zip", "1 KB", "ZIP File", "http://x/a.zip", "C:\\a.zip"}, true);
    add({"", "b, c.txt", "", "Text", "http://x/b, c.txt", ""}, false);
    add({"Queued", "d\te", "", "File", "http://x/d", ""}, true);
  }
  void add(std::vector<std::string> texts, bool selected) {
    RowCells cells;
    cells.texts = std::move(texts);
    rows.appendRow(cells, 6, &record);
    rows.rows.back().selected = selected;
  }

  Row record;
  FakeRowList<Row> rows;
};

TEST_F(CopyTextTest, NameAndAddressWithCommasGiveOneLinePerSelectedRow) {
  EXPECT_EQ(copyLines(rows, false, {false, true, false, false, true, false}),
            "a.zip,http://x/a.zip\r\nd\te,http://x/d\r\n");
}

TEST_F(CopyTextTest, TabsSeparateAndCellsAreCopiedUnquoted) {
  rows.rows[1].selected = true;
  EXPECT_EQ(copyLines(rows, true, {true, true, false, false, false, false}),
            "Done\ta.zip\r\n\tb, c.txt\r\nQueued\td\te\r\n");
}

TEST_F(CopyTextTest, OneColumnHasNoSeparatorAndTheLastLineEndsToo) {
  EXPECT_EQ(copyLines(rows, false, {false, false, false, false, true, false}),
            "http://x/a.zip\r\nhttp://x/d\r\n");
}

TEST_F(CopyTextTest, NoSelectedRowGivesTheEmptyText) {
  for (auto& row : rows.rows) row.selected = false;
  EXPECT_EQ(copyLines(rows, true, {true, true, true, true, true, true}), "");
}

TEST_F(CopyTextTest, FollowsTheDisplayOrder) {
  std::swap(rows.rows[0], rows.rows[2]);
  EXPECT_EQ(copyLines(rows, true, {false, true}), "d\te\r\na.zip\r\n");
}

TEST(CopyButtonsTest, SeparatorsNeedTwoColumnsAndOkNeedsOne) {
  EXPECT_FALSE(copyButtons(0).okEnabled);
  EXPECT_FALSE(copyButtons(0).separatorsEnabled);
  EXPECT_TRUE(copyButtons(1).okEnabled);
  EXPECT_FALSE(copyButtons(1).separatorsEnabled);
  EXPECT_TRUE(copyButtons(2).separatorsEnabled);
  EXPECT_TRUE(copyButtons(6).separatorsEnabled);
}

}  // namespace
