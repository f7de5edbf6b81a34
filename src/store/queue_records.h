#pragma once
#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "url/address.h"

// The three forms the download queue has been kept in on disk, read from and written to
// memory. Reading never fails: what cannot be read ends the reading or is skipped, and the
// records read before it stand.

inline constexpr size_t kStoredFieldCount = 17;

// Fields 1 to 17 of one stored item; index 0 holds field 1. A field that a form lacks is
// empty. The views point into the file being read (or into the reader's own texts) and
// last only for the call they are passed to.
using StoredFields = std::array<std::string_view, kStoredFieldCount>;

// Where each field sits in StoredFields.
namespace stored_field {
inline constexpr size_t kScheme = 0;  // the nine address components come first, in order
inline constexpr size_t kUser = 1;
inline constexpr size_t kPassword = 2;
inline constexpr size_t kHost = 3;
inline constexpr size_t kPort = 4;
inline constexpr size_t kFolder = 5;
inline constexpr size_t kBaseName = 6;
inline constexpr size_t kExtension = 7;
inline constexpr size_t kExtra = 8;
inline constexpr size_t kOldState = 9;    // "N" failed, "D" done, "P" waiting
inline constexpr size_t kSize = 10;       // for a done item its size, else "-1"
inline constexpr size_t kSavedPath = 11;  // for a done item
// Empty in older releases, which never read it: the server's file name and the address
// its redirects led to, separated by a tab (replyFactsText).
inline constexpr size_t kReplyFacts = 12;
inline constexpr size_t kState = 13;     // "C" failed, "D" done, "P" queued, "I" inactive
inline constexpr size_t kPriority = 14;  // for a queued item: -1, 0 or 1
inline constexpr size_t kMessage = 15;
inline constexpr size_t kResumeText = 16;
}  // namespace stored_field

// Called once per record read, in file order.
using StoredItemSink = std::function<void(const StoredFields&)>;

// "haulix.db": one line per item, each of its 17 fields followed by a carriage return and
// the line ended by a line feed. A field ends at the next CR or LF; an LF ends the line
// early (the fields after it are empty) and whatever follows the 17th field up to the LF
// is skipped. A line whose first field is empty, or the end of the bytes, ends the list.
void readDatabaseText(std::string_view bytes, const StoredItemSink& sink);

// Appends one line of "haulix.db". A CR or LF inside a field would split the line and
// shift every later field and line, so each is written as a space.
void appendDatabaseLine(std::string& out, const StoredFields& fields);
// Appends one field of a line the same way, with the CR that ends it; the LF that ends the
// line follows the seventeenth.
void appendDatabaseField(std::string& out, std::string_view field);

// "hxdata.bin": texts each ended by a zero byte; the format number "12", then records of
// 12 texts (fields 1 to 12) up to one whose first text is empty or the end of the bytes.
// Bytes that do not end with a zero byte, or another format number, give nothing.
void readOldTextList(std::string_view bytes, const StoredItemSink& sink);

// "hxdat.bin": a 40-byte header, then records of 1020 bytes (an address of at most 500
// bytes at 8, a status and a size as 32-bit little-endian numbers at 508 and 512, a saved
// path of at most 504 bytes at 516). Bytes of any other length give nothing. Records whose
// address does not parse, or whose path does not begin with a drive ("X:\"), are skipped.
void readOldRecords(std::string_view bytes, const AddressParser& parser,
                    const StoredItemSink& sink);
