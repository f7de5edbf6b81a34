#include "transfer/resume_text.h"

#include "url/byte_text.h"

namespace {
constexpr std::string_view kValidatorKey = "validator";
constexpr std::string_view kSpanKey = "span";

// A field may hold neither a TAB, which ends it, nor a line break, which the queue
// database would turn into a blank.
bool fitsInAField(std::string_view text) {
  return text.find_first_of("\t\r\n") == std::string_view::npos;
}
}  // namespace

std::string formatResumeText(const ResumeText& resume) {
  std::string text = formatNumber(resume.totalSize) + "\t";
  for (const StoredPiece& piece : resume.pieces) {
    if (piece.length < 0) {
      text += formatNumber(piece.start) + "\t" + piece.path + "\t";
    } else if (fitsInAField(piece.path)) {
      text += std::string(kSpanKey) + "\t" + formatNumber(piece.start) + "," +
              formatNumber(piece.base) + "," + formatNumber(piece.length) + "," + piece.path + "\t";
    }
  }
  if (!resume.validator.empty() && fitsInAField(resume.validator)) {
    text += std::string(kValidatorKey) + "\t" + resume.validator + "\t";
  }
  return text;
}

namespace {
// "start,base,length,path": three numbers of 0 or more, then a path that is not empty.
bool parseSpan(std::string_view text, StoredPiece& piece) {
  int64_t numbers[3] = {};
  for (int64_t& number : numbers) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos || !parseDecimal(text.substr(0, comma), number) ||
        number < 0) {
      return false;
    }
    text.remove_prefix(comma + 1);
  }
  if (text.empty()) return false;
  piece = {numbers[0], std::string(text), numbers[1], numbers[2]};
  return true;
}
}  // namespace

bool parseDecimal(std::string_view text, int64_t& value) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  // 18 digits always fit in 64 bits; no file or offset comes near them.
  if (text.empty() || text.size() > 18) return false;
  int64_t number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  value = negative ? -number : number;
  return true;
}

ResumeText parseResumeText(std::string_view text) {
  ResumeText resume;
  auto takeField = [&text](std::string_view& field) {
    if (text.empty()) return false;
    const size_t tab = text.find('\t');
    field = text.substr(0, tab);
    text = tab == std::string_view::npos ? std::string_view() : text.substr(tab + 1);
    return true;
  };
  std::string_view field;
  if (!takeField(field)) return resume;
  int64_t total = -1;
  if (parseDecimal(field, total) && total >= -1) resume.totalSize = total;

  std::string_view startField;
  std::string_view pathField;
  while (takeField(startField)) {
    if (!takeField(pathField)) pathField = {};
    if (startField == kValidatorKey) {
      resume.validator = std::string(pathField);
      continue;
    }
    if (startField == kSpanKey) {
      StoredPiece piece;
      if (parseSpan(pathField, piece)) resume.pieces.push_back(std::move(piece));
      continue;
    }
    int64_t start = -1;
    if (!parseDecimal(startField, start) || start < 0 || pathField.empty()) continue;
    resume.pieces.push_back({start, std::string(pathField)});
  }
  return resume;
}

bool isPieceFileName(std::string_view path) {
  const size_t slash = path.rfind('\\');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  constexpr std::string_view kPrefix = "haulix ";
  constexpr std::string_view kSuffix = ".db";
  if (name.size() != kPrefix.size() + 32 + kSuffix.size()) return false;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (size_t i = 0; i < kPrefix.size(); ++i) {
    if (lower(name[i]) != kPrefix[i]) return false;
  }
  for (size_t i = 0; i < kSuffix.size(); ++i) {
    if (lower(name[name.size() - kSuffix.size() + i]) != kSuffix[i]) return false;
  }
  for (char c : name.substr(kPrefix.size(), 32)) {
    const char l = lower(c);
    if (!((l >= '0' && l <= '9') || (l >= 'a' && l <= 'f'))) return false;
  }
  return true;
}
