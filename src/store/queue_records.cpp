#include "store/queue_records.h"

#include <cstdint>
#include <cstring>

#include "transfer/resume_text.h"
#include "url/byte_text.h"

namespace {

// The index of the first CR or LF at or after `from`, or the size.
size_t fieldEnd(std::string_view bytes, size_t from) {
  while (from < bytes.size() && bytes[from] != '\r' && bytes[from] != '\n') ++from;
  return from;
}

// A text of a fixed-size field: up to its first zero byte, or the whole field.
std::string_view textIn(std::string_view field) {
  const size_t zero = field.find('\0');
  return zero == std::string_view::npos ? field : field.substr(0, zero);
}

int32_t littleEndian32(std::string_view bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i)
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return static_cast<int32_t>(value);
}

std::string_view statusLetter(int32_t status) {
  switch (status) {
    case 0:
    case 3:
      return "P";
    case 1:
      return "G";
    case 2:
      return "D";
    case 4:
      return "N";
    default:
      return "";
  }
}

constexpr size_t kRecordHeader = 40;
constexpr size_t kRecordSize = 1020;
constexpr size_t kAddressAt = 8;
constexpr size_t kAddressSize = 500;
constexpr size_t kStatusAt = 508;
constexpr size_t kSizeAt = 512;
constexpr size_t kPathAt = 516;
constexpr size_t kPathSize = 504;
constexpr int64_t kTextListFormat = 12;
constexpr size_t kTextListFields = 12;

}  // namespace

void readDatabaseText(std::string_view bytes, const StoredItemSink& sink) {
  size_t position = 0;
  for (;;) {
    StoredFields fields;
    for (std::string_view& field : fields) {
      const size_t end = fieldEnd(bytes, position);
      field = bytes.substr(position, end - position);
      position = end;
      // Only a CR is passed over; at an LF every later field of the line reads empty.
      if (position < bytes.size() && bytes[position] == '\r') ++position;
    }
    const size_t lineFeed = bytes.find('\n', position);
    position = lineFeed == std::string_view::npos ? bytes.size() : lineFeed + 1;
    if (fields[stored_field::kScheme].empty()) return;
    sink(fields);
  }
}

void appendDatabaseField(std::string& out, std::string_view field) {
  const size_t start = out.size();
  out.append(field);
  for (size_t i = start; i < out.size(); ++i)
    if (out[i] == '\r' || out[i] == '\n') out[i] = ' ';
  out.push_back('\r');
}

void appendDatabaseLine(std::string& out, const StoredFields& fields) {
  for (std::string_view field : fields) appendDatabaseField(out, field);
  out.push_back('\n');
}

void readOldTextList(std::string_view bytes, const StoredItemSink& sink) {
  // Without a final zero byte the format reads as nothing but empty texts.
  if (bytes.empty() || bytes.back() != '\0') return;
  size_t position = 0;
  auto nextText = [&]() -> std::string_view {
    if (position >= bytes.size()) return {};
    const size_t zero = bytes.find('\0', position);  // there is one: the last byte
    std::string_view text = bytes.substr(position, zero - position);
    position = zero + 1;
    return text;
  };
  int64_t format = 0;
  if (!parseDecimal(nextText(), format) || format != kTextListFormat) return;
  for (;;) {
    StoredFields fields;
    for (size_t i = 0; i < kTextListFields; ++i) fields[i] = nextText();
    if (fields[stored_field::kScheme].empty()) return;
    sink(fields);
  }
}

void readOldRecords(std::string_view bytes, const AddressParser& parser,
                    const StoredItemSink& sink) {
  if (bytes.size() < kRecordHeader || (bytes.size() - kRecordHeader) % kRecordSize != 0) return;
  for (size_t at = kRecordHeader; at < bytes.size(); at += kRecordSize) {
    std::string_view record = bytes.substr(at, kRecordSize);
    const int32_t status = littleEndian32(record, kStatusAt);
    const int32_t size = littleEndian32(record, kSizeAt);
    // A record still waiting has no saved file: whatever its path field holds is stale.
    std::string_view path =
        status == 0 ? std::string_view() : textIn(record.substr(kPathAt, kPathSize));
    const UrlParts address = parser.parseAddress(textIn(record.substr(kAddressAt, kAddressSize)));
    if (!isUsable(address)) continue;
    if (!path.empty() && (path.size() < 3 || path.substr(1, 2) != ":\\")) continue;
    const std::string sizeText = formatNumber(size);
    const StoredFields fields = {address.scheme,       address.user,      address.password,
                                 address.host,         address.port,      address.folder,
                                 address.baseName,     address.extension, address.extra,
                                 statusLetter(status), sizeText,          path};
    sink(fields);
  }
}
