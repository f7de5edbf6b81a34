#include "site/gradual_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace {

using IntMap = GradualMap<int, int>;

TEST(GradualMap, FindsEveryKeyWhileGrowingAndMovesAFewEntriesAnInsertion) {
  IntMap map;
  uint64_t mostMoved = 0;
  for (int key = 0; key < 20000; ++key) {
    const uint64_t before = map.entriesMoved();
    map.insert(key, key * 3);
    mostMoved = std::max(mostMoved, map.entriesMoved() - before);
    // The first keys and the last ones, wherever they stand while the map grows.
    for (int probe : {0, key / 2, key}) {
      const int* value = map.find(probe);
      ASSERT_NE(value, nullptr) << probe << " after " << key;
      EXPECT_EQ(*value, probe * 3);
    }
  }
  EXPECT_EQ(map.size(), 20000u);
  EXPECT_EQ(map.find(20000), nullptr);
  EXPECT_LE(mostMoved, IntMap::kMovesPerInsert);
  EXPECT_GT(map.entriesMoved(), 0u);
}

TEST(GradualMap, InsertKeepsAKnownValueAndAssignReplacesIt) {
  IntMap map;
  for (int key = 0; key < 100; ++key) map.insert(key, 1);
  EXPECT_EQ(map.insert(7, 2), 1);
  map.assign(7, 3);
  map.assign(100, 4);
  EXPECT_EQ(*map.find(7), 3);
  EXPECT_EQ(*map.find(100), 4);
  EXPECT_EQ(map.size(), 101u);
  map.clear();
  EXPECT_EQ(map.size(), 0u);
  EXPECT_EQ(map.find(7), nullptr);
}

}  // namespace
