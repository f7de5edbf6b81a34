#include "transfer/segments.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int64_t kGiB = int64_t{1} << 30;

struct Seen {
  int64_t position;
  int64_t length;
  int piece;
  int64_t offset;
  bool operator==(const Seen&) const = default;
};

std::vector<Seen> segmentsOf(int64_t total, const std::vector<PieceSpan>& pieces) {
  std::vector<Seen> seen;
  SegmentCursor cursor;
  while (nextSegment(cursor, total, pieces)) {
    seen.push_back({cursor.position, cursor.length, cursor.piece, cursor.offset});
  }
  return seen;
}

std::vector<ByteRange> runsOf(int64_t total, const std::vector<PieceSpan>& pieces) {
  std::vector<ByteRange> runs;
  SegmentCursor cursor;
  ByteRange run;
  while (nextCoveredRun(cursor, total, pieces, run)) runs.push_back(run);
  return runs;
}

TEST(Segments, AFileOfUnknownSizeHasNoSegments) {
  SegmentCursor cursor;
  EXPECT_FALSE(nextSegment(cursor, -1, std::vector<PieceSpan>{{0, 100}}));
  EXPECT_FALSE(sizeTestPasses(-1, std::vector<PieceSpan>{{0, 100}}));
}

TEST(Segments, TheSizeTestNeedsANonZeroSizeAndAPiece) {
  EXPECT_FALSE(sizeTestPasses(1000, {}));
  EXPECT_FALSE(sizeTestPasses(0, std::vector<PieceSpan>{{0, 0}}));
  EXPECT_TRUE(sizeTestPasses(1000, std::vector<PieceSpan>{{0, 0}}));
}

TEST(Segments, PiecesAndGapsAlternateInFileOrder) {
  // [0, 300) and [500, 700) covered in a 1000-byte file.
  const std::vector<PieceSpan> pieces = {{500, 200}, {0, 300}};
  EXPECT_EQ(
      segmentsOf(1000, pieces),
      (std::vector<Seen>{{0, 300, 1, 0}, {300, 200, -1, 0}, {500, 200, 0, 0}, {700, 300, -1, 0}}));
}

TEST(Segments, InsideOverlappingPiecesThePieceReachingFurthestWins) {
  // [0, 800) overlaps [700, 1200): from 800 on the second piece covers.
  const std::vector<PieceSpan> pieces = {{700, 500}, {0, 800}};
  EXPECT_EQ(segmentsOf(1200, pieces), (std::vector<Seen>{{0, 800, 1, 0}, {800, 400, 0, 100}}));
}

TEST(Segments, OfTwoEquallyLongPiecesTheFirstInListOrderWins) {
  const std::vector<PieceSpan> pieces = {{0, 500}, {0, 500}};
  EXPECT_EQ(segmentsOf(500, pieces), (std::vector<Seen>{{0, 500, 0, 0}}));
}

TEST(Segments, AnEmptyPieceStillEndsTheGapBeforeIt) {
  // A worker just started at 700 splits the gap although it has nothing yet.
  const std::vector<PieceSpan> pieces = {{700, 0}, {0, 0}};
  EXPECT_EQ(segmentsOf(1200, pieces), (std::vector<Seen>{{0, 700, -1, 0}, {700, 500, -1, 0}}));
}

TEST(Segments, PiecesReachingPastTheEndAreCutThere) {
  // A stored text of an older, larger file, or a server whose file grew.
  const std::vector<PieceSpan> pieces = {{900, 400}, {0, 300}, {5000, 10}};
  EXPECT_EQ(segmentsOf(1000, pieces),
            (std::vector<Seen>{{0, 300, 1, 0}, {300, 600, -1, 0}, {900, 100, 0, 0}}));
  EXPECT_EQ(coveredBytes(1000, pieces), 400);
}

TEST(Segments, CoveredRunsJoinAdjacentPiecesAndSkipGaps) {
  const std::vector<PieceSpan> pieces = {{600, 400}, {0, 600}};
  EXPECT_EQ(runsOf(1000, pieces), (std::vector<ByteRange>{{0, 1000}}));
  const std::vector<PieceSpan> apart = {{500, 200}, {0, 300}};
  EXPECT_EQ(runsOf(1000, apart), (std::vector<ByteRange>{{0, 300}, {500, 200}}));
  EXPECT_EQ(runsOf(1000, std::vector<PieceSpan>{{0, 0}}), std::vector<ByteRange>{});
}

TEST(Segments, TheLargestGapIsTheFirstOfTheLongest) {
  const std::vector<PieceSpan> pieces = {{700, 100}, {300, 100}};
  // Gaps [0, 300), [400, 700), [800, 1000): the first two tie.
  EXPECT_EQ(largestGap(1000, pieces), (ByteRange{0, 300}));
  EXPECT_EQ(largestGap(1000, std::vector<PieceSpan>{{0, 1000}}), (ByteRange{0, 0}));
}

TEST(Segments, APositionIsCoveredOnlyInsideAPiece) {
  const std::vector<PieceSpan> pieces = {{700, 500}, {0, 300}};
  EXPECT_TRUE(isCovered(0, 1200, pieces));
  EXPECT_TRUE(isCovered(299, 1200, pieces));
  EXPECT_FALSE(isCovered(300, 1200, pieces));
  EXPECT_TRUE(isCovered(700, 1200, pieces));
  EXPECT_FALSE(isCovered(1200, 1200, pieces));
}

TEST(Segments, ASecondConnectionTakesTheLastFiveTwelfthsOfAGap) {
  EXPECT_EQ(splitOffset({0, 1200}), 700);
  EXPECT_EQ(splitOffset({100, 13}), 107);  // 13 × 7 ÷ 12 = 7.58, rounded down
  EXPECT_EQ(splitOffset({5, 1}), 5);
}

TEST(Segments, SplittingAGapOfEightGiBStaysExact) {
  // 8 GiB × 7 overflows 32 bits many times over; the split must not.
  EXPECT_EQ(splitOffset({0, 8 * kGiB}), 8 * kGiB / 12 * 7 + 8 * kGiB % 12 * 7 / 12);
  EXPECT_EQ(splitOffset({0, 12 * kGiB}), 7 * kGiB);
  EXPECT_EQ(splitOffset({5 * kGiB, 12 * kGiB + 12}), 5 * kGiB + 7 * kGiB + 7);
}

TEST(Segments, OffsetsBeyondFourGiBAreReadLikeSmallOnes) {
  const int64_t total = 6 * kGiB + 17;
  const std::vector<PieceSpan> pieces = {{5 * kGiB, kGiB}, {0, 4 * kGiB + 1}};
  EXPECT_EQ(segmentsOf(total, pieces), (std::vector<Seen>{{0, 4 * kGiB + 1, 1, 0},
                                                          {4 * kGiB + 1, kGiB - 1, -1, 0},
                                                          {5 * kGiB, kGiB, 0, 0},
                                                          {6 * kGiB, 17, -1, 0}}));
  EXPECT_EQ(largestGap(total, pieces), (ByteRange{4 * kGiB + 1, kGiB - 1}));
  EXPECT_EQ(coveredBytes(total, pieces), 5 * kGiB + 1);
  EXPECT_EQ(pieceMapText(total, pieces), "6442450961,0,4294967297,5368709120,1073741824");
}

TEST(PieceMap, ListsTheTotalThenStartAndLengthOfEachCoveredRun) {
  EXPECT_EQ(pieceMapText(1000, std::vector<PieceSpan>{{500, 200}, {0, 300}}), "1000,0,300,500,200");
}

TEST(PieceMap, IsEmptyWhenTheSizeIsUnknown) {
  EXPECT_EQ(pieceMapText(-1, std::vector<PieceSpan>{{0, 300}}), "");
  EXPECT_EQ(pieceMapText(1000, {}), "");
}

TEST(PieceMap, IsTheTotalAloneWhileNothingIsCovered) {
  EXPECT_EQ(pieceMapText(1000, std::vector<PieceSpan>{{0, 0}}), "1000");
}

}  // namespace
