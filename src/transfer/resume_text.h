#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The text by which a job's pieces outlive the program (kept in the queue database):
// the total size, then start offset and path of every stored piece, each field followed by
// a TAB. "-1\t" stores no piece of a file of unknown size; "1000\t0\tC:\p.db\t" one piece.
// What later releases add comes as pairs of fields whose first is a word, never a number:
// earlier releases skip such a pair as a damaged piece, and so read the rest as before.
// "validator\t\"abc\"\t" names the version of the file the pieces came from.

struct StoredPiece {
  int64_t start = 0;
  std::string path;
};

struct ResumeText {
  int64_t totalSize = -1;
  std::vector<StoredPiece> pieces;
  std::string validator;  // ETag or Last-Modified; empty when unknown
};

std::string formatResumeText(const ResumeText& resume);

// Reads what formatResumeText wrote. Damaged fields do no harm: a total size that is not
// a number of -1 or more reads as -1, and a pair whose start is not a number of 0 or more,
// or whose path is empty, is left out. A last field without its TAB still counts.
ResumeText parseResumeText(std::string_view text);

// A decimal number of at most 18 digits, with an optional "-"; false for anything else.
bool parseDecimal(std::string_view text, int64_t& value);

// True when the last name of the path is that of a piece file, "haulix " and 32 hexadecimal
// digits and ".db", in any case. Only such files are adopted from a resume text or deleted
// as left over: a damaged or edited queue database must not make the program move or
// delete some other file of the user.
bool isPieceFileName(std::string_view path);
