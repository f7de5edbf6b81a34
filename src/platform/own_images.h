#pragma once

// The program's own icons in the shared 16x16 image list. They are added first, in this
// order, when the images are loaded, so their indexes are fixed.
enum class OwnImage : int {
  kClear = 0,           // "CLEAR"
  kColumnAscending,     // "COLUMN_ASCENDING"
  kColumnDescending,    // "COLUMN_DESCENDING"
  kListDone,            // "LIST_DONE"
  kListGet,             // "LIST_GET"
  kListNot,             // "LIST_NOT"
  kListPage,            // "LIST_PAGE"
  kTreeArrow,           // "TREE_ARROW"
  kTreeDot,             // "TREE_DOT"
  kTreeHole,            // "TREE_HOLE"
  kTreeRed,             // "TREE_RED"
  kTreeWorld,           // "TREE_WORLD"
};

inline constexpr int imageIndex(OwnImage image) { return static_cast<int>(image); }
