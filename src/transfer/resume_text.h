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
// "span\t1000,1000,400,C:\p.db\t" is a piece at 1000 whose 400 bytes lie in the file from
// its byte 1000 on: the pieces of one job share a file, at their own offsets, so the
// file's size tells nothing of a piece's length, which is written down instead. Earlier
// releases skip such pieces (and start over), never taking a shared file's size for one.

struct StoredPiece {
  int64_t start = 0;
  std::string path;
  int64_t base = 0;     // where the piece's first byte lies in its file
  int64_t length = -1;  // its bytes; -1: all of the file from base (earlier releases)
};

struct ResumeText {
  int64_t totalSize = -1;
  std::vector<StoredPiece> pieces;
  std::string validator;  // ETag or Last-Modified; empty when unknown
};

std::string formatResumeText(const ResumeText& resume);

// Reads what formatResumeText wrote. Damaged fields do no harm: a total size that is not
// a number of -1 or more reads as -1, and a pair whose start is not a number of 0 or more,
// or whose path is empty, is left out (so is a span with a number missing or negative).
// A last field without its TAB still counts.
ResumeText parseResumeText(std::string_view text);

// A decimal number of at most 18 digits, with an optional "-"; false for anything else.
bool parseDecimal(std::string_view text, int64_t& value);

// True when the last name of the path is that of a piece file, "haulix " and 32 hexadecimal
// digits and ".db", in any case. Only such files are adopted from a resume text or deleted
// as left over: a damaged or edited queue database must not make the program move or
// delete some other file of the user.
bool isPieceFileName(std::string_view path);
