#pragma once
#include <cstdint>
#include <span>
#include <string>

// The file of a job read as a sequence of covered and uncovered segments. A piece covers
// the half-open range [start, start + written), cut at the total size. Pieces are given in
// worker-list order (newest first), which breaks ties between equally long pieces.

struct PieceSpan {
  int64_t start = 0;
  int64_t written = 0;
};

// One segment: [position, position + length); covered by pieces[piece] from `offset` in its
// file, or uncovered when piece is -1. A fresh cursor stands before the first segment.
struct SegmentCursor {
  int64_t position = 0;
  int64_t length = 0;
  int64_t offset = 0;
  int piece = -1;

  bool covered() const { return piece >= 0; }
};

// A half-open byte range [start, start + length).
struct ByteRange {
  int64_t start = 0;
  int64_t length = 0;

  int64_t end() const { return start + length; }
  bool operator==(const ByteRange&) const = default;
};

// Advances to the next segment: inside a piece, the piece that reaches furthest from the
// position; outside every piece, the gap up to the nearest piece start after it or the
// end of the file. False at the end, or when totalSize is -1.
bool nextSegment(SegmentCursor& cursor, int64_t totalSize, std::span<const PieceSpan> pieces);

// The size is known and the file has at least one segment: a non-zero size and a piece.
bool sizeTestPasses(int64_t totalSize, std::span<const PieceSpan> pieces);

// From the cursor on, the next maximal run of consecutive covered segments. Called again
// with the same cursor, continues after that run. False when no covered segment follows.
bool nextCoveredRun(SegmentCursor& cursor, int64_t totalSize, std::span<const PieceSpan> pieces,
                    ByteRange& run);

// The first uncovered segment of greatest length; length 0 when the file has no gap.
ByteRange largestGap(int64_t totalSize, std::span<const PieceSpan> pieces);

// The segment holding the byte at `position` is covered.
bool isCovered(int64_t position, int64_t totalSize, std::span<const PieceSpan> pieces);

// The sum of the lengths of the covered segments.
int64_t coveredBytes(int64_t totalSize, std::span<const PieceSpan> pieces);

// Where a second connection takes over a gap: 7/12 into it, rounded down, so the worker
// already heading into the gap keeps the larger share.
int64_t splitOffset(ByteRange gap);

// "total,start,length,start,length" over the covered runs; empty unless the size test
// passes. A 1000-byte file covered at [0, 300) and [500, 700) gives "1000,0,300,500,200".
std::string pieceMapText(int64_t totalSize, std::span<const PieceSpan> pieces);
