#pragma once
// A pivot table reshaped as data: some of its dimensions become value columns (one column per
// combination of their categories), all the others become key columns (one row per combination of
// their categories). Which dimensions become columns is given by a column specification (dimension
// names, or axis tokens such as R1, C2, LALL); without one, the table's own column dimensions do.
//
// Every category keeps the path of groups above it: a dimension whose categories sit at most k levels
// deep has k levels, and a category nearer the root leaves the levels below its own label empty.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace omf {

class OMSColumns;
class OmPivotTable;

namespace data {

// A table whose data shape would hold more fields than this is refused: the rows and value columns
// multiply, so a few long dimensions of a sparse table could otherwise ask for billions of fields
// (eight bytes each).
inline constexpr std::uint64_t kMaxFrameFields = 100'000'000;

// A column specification that the table cannot take (a dimension it does not have), or a data shape
// that is too large.
class FrameError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// One dimension of the shape: its label and its categories in display order, each with the labels of
// the groups above it and its own, padded to the dimension's depth with empty labels.
struct FrameDimension {
  int index = 0; // in the table
  std::string label;
  std::size_t depth = 1;
  std::vector<int> subscripts;                 // per category
  std::vector<std::vector<std::string>> paths; // per category: `depth` labels
};

// The labels of a path that are not empty, joined by kPathSeparator: how one header or key field
// shows a nested category.
inline constexpr std::string_view kPathSeparator = " / ";
// The header of the one value column of a table shaped without column dimensions.
inline constexpr std::string_view kValueHeader = "Value";
std::string JoinPath(const std::vector<std::string>& path);

class TableFrame {
public:
  // Key dimensions, outermost first: the row of a combination of their categories runs with the last
  // dimension fastest.
  std::vector<FrameDimension> keys;
  // Column dimensions, outermost first, likewise for the value columns.
  std::vector<FrameDimension> columns;

  std::size_t RowCount() const { return _rows; }
  std::size_t ColumnCount() const { return _columnCount; }

  // The field at a row and value column: a number (IsNumber), a text (Text non-null) or empty.
  bool IsNumber(std::size_t row, std::size_t column) const;
  double Number(std::size_t row, std::size_t column) const { return _numbers[column * _rows + row]; }
  const std::string* Text(std::size_t row, std::size_t column) const;

  // The numbers, value column after value column (RowCount() each); NaN where the field is not a number.
  const std::vector<double>& Numbers() const { return _numbers; }
  // The text fields by their place in Numbers().
  const std::unordered_map<std::size_t, std::string>& Texts() const { return _texts; }

  // The labels of a value column's categories, each column dimension's path in turn.
  std::vector<std::string> ColumnPath(std::size_t column) const;
  // The header of a value column: its non-empty labels joined.
  std::string ColumnHeader(std::size_t column) const;
  // The category of key dimension k on a row (an index into keys[k]'s categories).
  std::size_t KeyCategory(std::size_t row, std::size_t k) const;

private:
  friend TableFrame MakeTableFrame(const OmPivotTable&, const OMSColumns*, std::string_view);
  std::size_t _rows = 1;
  std::size_t _columnCount = 1;
  std::vector<double> _numbers;
  std::unordered_map<std::size_t, std::string> _texts;
};

// The table as data. `columns` (null or empty: the table's column dimensions) names the column
// dimensions: by name (the label as shown or before translation, ignoring case) or by axis token
// (R, C, L and a number counting the dimensions placed on that axis from 1, or ALL for every one of
// them; ALL of an axis without dimensions names none). Numbers are kept as numbers; the
// system-missing value is an empty field; every other cell, and every label, is its text as shown, in
// UTF-8 from `codePage`. Throws FrameError naming the dimension a table does not have, or when the
// shape holds more than kMaxFrameFields fields.
TableFrame MakeTableFrame(const OmPivotTable& table, const OMSColumns* columns, std::string_view codePage);

} // namespace data

} // namespace omf
