#pragma once
#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/row_list.h"

// A list view in memory: rows in display order with their cells, images and selection.
// It counts cell writes, so a test can see that unchanged cells are left alone, and the
// records asked for, so a test can see what a walk over the rows costs.
template <class Record>
class FakeRowList final : public RowList<Record> {
 public:
  struct Row {
    Record* record = nullptr;
    std::vector<std::string> texts;
    int image0 = -1;
    int image1 = -1;
    bool selected = false;
  };

  int rowCount() const override { return static_cast<int>(rows.size()); }
  int selectedCount() const override {
    return static_cast<int>(
        std::count_if(rows.begin(), rows.end(), [](const Row& r) { return r.selected; }));
  }
  Record* rowRecord(int row) const override {
    ++recordsAsked;
    return valid(row) ? rows[row].record : nullptr;
  }
  bool isSelected(int row) const override { return valid(row) && rows[row].selected; }
  Record* selectionMarkRecord() const override { return rowRecord(selectionMark); }
  int findRow(const Record* record) const override {
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].record == record) return static_cast<int>(i);
    return -1;
  }
  std::string cellText(int row, int column) const override {
    if (!valid(row) || column < 0 || column >= static_cast<int>(rows[row].texts.size())) return {};
    return rows[row].texts[column];
  }
  void selectAll() override {
    for (Row& r : rows) r.selected = true;
  }
  void showLastRow() override { shownRow = rowCount() - 1; }
  void deleteRow(int row) override {
    if (valid(row)) rows.erase(rows.begin() + row);
    ++deletes;
  }
  void deleteAllRows() override {
    rows.clear();
    ++deleteAlls;
  }
  void beginBatch(int n) override { batches += n >= 2 ? 1 : 0; }
  void endBatch(int) override {}
  void appendRow(RowCells cells, int columns, Record* record) override {
    Row row;
    row.record = record;
    row.texts.assign(cells.texts.begin(),
                     cells.texts.begin() + std::min<size_t>(columns, cells.texts.size()));
    row.image0 = cells.image0;
    if (columns > 1) row.image1 = cells.image1;
    rows.push_back(row);
    ++appends;
  }
  void rewriteRow(const Record* record, const RowCells& cells) override {
    int row = findRow(record);
    if (row < 0) return;
    Row& r = rows[row];
    if (r.texts.size() < cells.texts.size()) r.texts.resize(cells.texts.size());
    for (size_t c = 0; c < cells.texts.size(); ++c) {
      if (r.texts[c] == cells.texts[c]) continue;
      r.texts[c] = cells.texts[c];
      if (c == 0) r.image0 = cells.image0;
      if (c == 1) r.image1 = cells.image1;
      ++cellWrites;
    }
  }
  void sortRows(const std::function<int(const Record*, const Record*)>& compare) override {
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const Row& a, const Row& b) { return compare(a.record, b.record) < 0; });
  }

  // Test helpers.
  void select(int row, bool on = true) { rows.at(row).selected = on; }
  const std::string& text(int row, int column) const { return rows.at(row).texts.at(column); }

  // A deque, as the control's rows are never moved all at once when they grow (a vector
  // of 75,000 rows would be, in a benchmark).
  std::deque<Row> rows;
  int selectionMark = -1;
  int shownRow = -1;
  int cellWrites = 0;
  int deletes = 0;
  int deleteAlls = 0;
  int batches = 0;
  int64_t appends = 0;
  mutable int64_t recordsAsked = 0;

 private:
  bool valid(int row) const { return row >= 0 && row < static_cast<int>(rows.size()); }
};
