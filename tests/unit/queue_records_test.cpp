// The three stored forms of the queue, read from and written to bytes in memory.
#include "store/queue_records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fakes/fake_file_types.h"
#include "fakes/fake_text_rules.h"
#include "url/byte_text.h"

namespace {

using Record = std::vector<std::string>;

Record recordOf(const StoredFields& fields) {
  return Record(fields.begin(), fields.end());
}

std::vector<Record> readDatabase(std::string_view bytes) {
  std::vector<Record> records;
  readDatabaseText(bytes, [&](const StoredFields& fields) { records.push_back(recordOf(fields)); });
  return records;
}

std::vector<Record> readTextList(std::string_view bytes) {
  std::vector<Record> records;
  readOldTextList(bytes, [&](const StoredFields& fields) { records.push_back(recordOf(fields)); });
  return records;
}

// 17 fields: the given ones first, the rest empty.
Record fieldsOf(std::initializer_list<std::string> given) {
  Record record(given);
  record.resize(kStoredFieldCount);
  return record;
}

// Each text followed by a zero byte.
std::string zeroEnded(std::initializer_list<std::string> texts) {
  std::string out;
  for (const std::string& text : texts) out += text + std::string(1, '\0');
  return out;
}

std::string line(std::initializer_list<std::string> fields) {
  std::string out;
  for (const std::string& field : fields) out += field + "\r";
  return out + "\n";
}

// One record of "hxdat.bin".
std::string oldRecord(const std::string& address, int32_t status, int32_t size,
                      const std::string& path) {
  std::string record(1020, '\0');
  record.replace(8, std::min<size_t>(address.size(), 500), address.substr(0, 500));
  for (int i = 0; i < 4; ++i) {
    record[508 + i] = static_cast<char>((static_cast<uint32_t>(status) >> (8 * i)) & 0xFF);
    record[512 + i] = static_cast<char>((static_cast<uint32_t>(size) >> (8 * i)) & 0xFF);
  }
  record.replace(516, std::min<size_t>(path.size(), 504), path.substr(0, 504));
  return record;
}

std::string oldRecordFile(const std::vector<std::string>& records) {
  std::string bytes(40, 'h');  // the header is never read
  for (const std::string& record : records) bytes += record;
  return bytes;
}

class OldRecordsTest : public testing::Test {
 protected:
  std::vector<Record> read(std::string_view bytes) {
    std::vector<Record> records;
    readOldRecords(bytes, parser,
                   [&](const StoredFields& fields) { records.push_back(recordOf(fields)); });
    return records;
  }

  FakeTextRules rules;
  ByteText text{rules};
  FakeFileTypes types;
  AddressParser parser{text, types};
};

TEST(QueueDatabaseTextTest, ReadsSeventeenFieldsPerLineUntilAnEmptyFirstField) {
  const std::string bytes = line({"http://", "", "", "h", "", "/", "a", ".zip", "", "D", "5",
                                  "C:\\a.zip", "", "D", "", "", ""}) +
                            line({"ftp://", "u:", "p@", "f", ":21", "/d/", "b", "", "?q", "P", "-1",
                                  "", "", "I", "", "m", "10\t"}) +
                            line({"", "x"}) + line({"http://", "", "", "later"});
  const std::vector<Record> records = readDatabase(bytes);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0], fieldsOf({"http://", "", "", "h", "", "/", "a", ".zip", "", "D", "5",
                                  "C:\\a.zip", "", "D", "", "", ""}));
  EXPECT_EQ(records[1], fieldsOf({"ftp://", "u:", "p@", "f", ":21", "/d/", "b", "", "?q", "P", "-1",
                                  "", "", "I", "", "m", "10\t"}));
}

TEST(QueueDatabaseTextTest, ALineFeedEndsTheLineAndLeavesTheLaterFieldsEmpty) {
  // Ended after field 9, then a full line.
  const std::string bytes = "http://\r\r\rh\r\r/\ra\r.zip\r\r\n" +
                            line({"http://", "", "", "g", "", "/", "b", "", "", "N"});
  const std::vector<Record> records = readDatabase(bytes);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0], fieldsOf({"http://", "", "", "h", "", "/", "a", ".zip", ""}));
  EXPECT_EQ(records[1][3], "g");
  EXPECT_EQ(records[1][9], "N");
}

TEST(QueueDatabaseTextTest, SkipsFieldsPastTheSeventeenthAndReadsTheLastLineWithoutItsEnd) {
  std::string extra = line({"http://", "", "", "h", "", "/", "a", "", "", "", "", "", "", "", "",
                            "", "r", "more", "and more"});
  const std::vector<Record> records = readDatabase(extra + "http://\r\r\rg");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0][16], "r");
  EXPECT_EQ(records[1], fieldsOf({"http://", "", "", "g"}));
}

TEST(QueueDatabaseTextTest, ALoneCarriageReturnOrLineFeedOrEmptyTextReadsNothing) {
  EXPECT_TRUE(readDatabase("").empty());
  EXPECT_TRUE(readDatabase("\n").empty());
  EXPECT_TRUE(readDatabase("\r\r\r\n").empty());
}

TEST(QueueDatabaseTextTest, WritesEachFieldWithItsCarriageReturnAndTheLineWithALineFeed) {
  StoredFields fields;
  fields[0] = "http://";
  fields[3] = "h";
  fields[16] = "5\t";
  std::string out;
  appendDatabaseLine(out, fields);
  EXPECT_EQ(out, "http://\r\r\rh\r\r\r\r\r\r\r\r\r\r\r\r\r5\t\r\n");
}

TEST(QueueDatabaseTextTest, WritesCarriageReturnsAndLineFeedsInsideAFieldAsSpaces) {
  StoredFields fields;
  fields[0] = "http://";
  fields[3] = "h";
  fields[8] = "?a\r\nb";
  fields[15] = "two\nlines";
  std::string out;
  appendDatabaseLine(out, fields);
  appendDatabaseLine(out, fields);
  const std::vector<Record> records = readDatabase(out);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0][8], "?a  b");
  EXPECT_EQ(records[0][15], "two lines");
  EXPECT_EQ(records[1], records[0]);
}

TEST(OldTextListTest, ReadsRecordsOfTwelveTextsAfterFormatTwelve) {
  const std::string bytes = zeroEnded(
      {"12", "http://", "",  "", "h", "",  "/", "a", ".zip", "",   "D", "42", "C:\\a.zip", "ftp://",
       "",   "",        "f", "", "/", "b", "",  "",  "N",    "-1", "",  "",   "later"});
  const std::vector<Record> records = readTextList(bytes);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0],
            fieldsOf({"http://", "", "", "h", "", "/", "a", ".zip", "", "D", "42", "C:\\a.zip"}));
  EXPECT_EQ(records[1], fieldsOf({"ftp://", "", "", "f", "", "/", "b", "", "", "N", "-1", ""}));
}

TEST(OldTextListTest, ReadsTheLastRecordCutShortWithItsMissingTextsEmpty) {
  const std::vector<Record> records = readTextList(zeroEnded({"12", "http://", "", "", "h"}));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0], fieldsOf({"http://", "", "", "h"}));
}

TEST(OldTextListTest, IgnoresAFileWithoutItsFinalZeroByteOrOfAnotherFormat) {
  const std::string body = zeroEnded({"http://", "", "", "h"});
  EXPECT_EQ(readTextList(zeroEnded({"12"}) + body).size(), 1u);
  EXPECT_TRUE(readTextList(zeroEnded({"12"}) + body + "x").empty());
  EXPECT_TRUE(readTextList(zeroEnded({"11"}) + body).empty());
  EXPECT_TRUE(readTextList(zeroEnded({"12x"}) + body).empty());
  EXPECT_TRUE(readTextList(zeroEnded({""})).empty());
}

TEST_F(OldRecordsTest, MapsStatusesToLettersAndGivesTheAddressComponents) {
  const std::string bytes = oldRecordFile({
      oldRecord("http://H/dir/a.zip", 0, 10, "C:\\stale.zip"),
      oldRecord("http://h/b.zip", 1, -1, ""),
      oldRecord("http://h/c.zip", 2, 300, "D:\\got\\c.zip"),
      oldRecord("http://h/d.zip", 3, 0, ""),
      oldRecord("http://h/e.zip", 4, 0, ""),
      oldRecord("http://h/f.zip", 9, 0, ""),
  });
  const std::vector<Record> records = read(bytes);
  ASSERT_EQ(records.size(), 6u);
  // Status 0: the path is dropped; the address is parsed as any typed one.
  EXPECT_EQ(records[0],
            fieldsOf({"http://", "", "", "h", "", "/dir/", "a", ".zip", "", "P", "10", ""}));
  EXPECT_EQ(records[1][9], "G");
  EXPECT_EQ(records[1][10], "-1");
  EXPECT_EQ(records[2][9], "D");
  EXPECT_EQ(records[2][10], "300");
  EXPECT_EQ(records[2][11], "D:\\got\\c.zip");
  EXPECT_EQ(records[3][9], "P");
  EXPECT_EQ(records[4][9], "N");
  EXPECT_EQ(records[5][9], "");
}

TEST_F(OldRecordsTest, SkipsRecordsWithoutAnAddressOrWithAPathNotOnADrive) {
  const std::string bytes = oldRecordFile({
      oldRecord("not an address", 2, 1, "C:\\a"),
      oldRecord("mailto:me@h", 2, 1, "C:\\a"),
      oldRecord("http://h/relative", 2, 1, "a\\b.zip"),
      oldRecord("http://h/share", 2, 1, "\\\\server\\share\\b.zip"),
      oldRecord("http://h/kept", 2, 1, "C:\\b.zip"),
  });
  const std::vector<Record> records = read(bytes);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0][6], "kept");
}

TEST_F(OldRecordsTest, TakesTextsThatFillTheirWholeField) {
  const std::string address = "http://h/" + std::string(491, 'a');  // 500 bytes, no zero
  const std::string path = "C:\\" + std::string(501, 'p');          // 504 bytes, no zero
  const std::vector<Record> records = read(oldRecordFile({oldRecord(address, 2, 7, path)}));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0][6], std::string(491, 'a'));
  EXPECT_EQ(records[0][11], path);
}

TEST_F(OldRecordsTest, IgnoresAFileWhoseSizeIsNotHeaderPlusWholeRecords) {
  const std::string one = oldRecordFile({oldRecord("http://h/a", 0, 0, "")});
  EXPECT_EQ(read(one).size(), 1u);
  EXPECT_TRUE(read(one + "x").empty());
  EXPECT_TRUE(read(one.substr(0, one.size() - 1)).empty());
  EXPECT_TRUE(read(one.substr(0, 39)).empty());
  EXPECT_TRUE(read(one.substr(0, 40)).empty());  // a header and no record
}

}  // namespace
