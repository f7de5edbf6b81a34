#include "transfer/segments.h"

#include <algorithm>

#include "url/byte_text.h"

bool nextSegment(SegmentCursor& cursor, int64_t totalSize, std::span<const PieceSpan> pieces) {
  if (totalSize < 0) return false;
  cursor.position += cursor.length;
  cursor.length = 0;
  cursor.offset = 0;
  cursor.piece = -1;
  const int64_t position = cursor.position;
  if (position >= totalSize) return false;

  bool chosen = false;
  for (size_t i = 0; i < pieces.size(); ++i) {
    // Cut every piece at the end of the file: a piece that ran past it (the file changed,
    // or a stored text was damaged) must not stretch the file nor make lengths negative.
    const int64_t start = std::min(pieces[i].start, totalSize);
    const int64_t end = std::min(start + std::max<int64_t>(pieces[i].written, 0), totalSize);
    int64_t length;
    bool covered = false;
    if (start > position) {
      length = start - position;
    } else if (position < end) {
      length = end - position;
      covered = true;
    } else {
      length = totalSize - position;
    }
    if (length <= 0) continue;
    bool take;
    if (!chosen) {
      take = true;
    } else if (covered) {
      take = !cursor.covered() || cursor.length < length;
    } else {
      take = !cursor.covered() && cursor.length > length;
    }
    if (!take) continue;
    chosen = true;
    cursor.length = length;
    cursor.piece = covered ? static_cast<int>(i) : -1;
    cursor.offset = covered ? position - start : 0;
  }
  return cursor.length != 0;
}

bool sizeTestPasses(int64_t totalSize, std::span<const PieceSpan> pieces) {
  SegmentCursor cursor;
  return nextSegment(cursor, totalSize, pieces);
}

bool nextCoveredRun(SegmentCursor& cursor, int64_t totalSize, std::span<const PieceSpan> pieces,
                    ByteRange& run) {
  run = ByteRange{};
  while (nextSegment(cursor, totalSize, pieces)) {
    if (cursor.covered()) {
      if (run.length == 0) run.start = cursor.position;
      run.length += cursor.length;
    } else if (run.length != 0) {
      break;
    }
  }
  return run.length != 0;
}

ByteRange largestGap(int64_t totalSize, std::span<const PieceSpan> pieces) {
  ByteRange largest;
  SegmentCursor cursor;
  while (nextSegment(cursor, totalSize, pieces)) {
    if (!cursor.covered() && cursor.length > largest.length) {
      largest = {cursor.position, cursor.length};
    }
  }
  return largest;
}

bool isCovered(int64_t position, int64_t totalSize, std::span<const PieceSpan> pieces) {
  SegmentCursor cursor;
  while (nextSegment(cursor, totalSize, pieces)) {
    if (position < cursor.position) return false;
    if (position < cursor.position + cursor.length) return cursor.covered();
  }
  return false;
}

int64_t coveredBytes(int64_t totalSize, std::span<const PieceSpan> pieces) {
  int64_t sum = 0;
  SegmentCursor cursor;
  while (nextSegment(cursor, totalSize, pieces)) {
    if (cursor.covered()) sum += cursor.length;
  }
  return sum;
}

int64_t splitOffset(ByteRange gap) {
  // length × 7 ÷ 12 without overflow for any 64-bit length.
  return gap.start + gap.length / 12 * 7 + gap.length % 12 * 7 / 12;
}

std::string pieceMapText(int64_t totalSize, std::span<const PieceSpan> pieces) {
  if (!sizeTestPasses(totalSize, pieces)) return {};
  std::string text = formatNumber(totalSize);
  SegmentCursor cursor;
  ByteRange run;
  while (nextCoveredRun(cursor, totalSize, pieces, run)) {
    text += "," + formatNumber(run.start) + "," + formatNumber(run.length);
  }
  return text;
}
