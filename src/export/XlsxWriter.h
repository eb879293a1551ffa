#pragma once
// Tables as an Excel workbook (.xlsx): an index sheet "Index" listing each table's procedure, title,
// subtype and sheet, then one sheet per table laid out as its CSV file is (a header row, the key
// columns, the value columns); numbers are number cells, texts text cells, empty fields no cell.
#include <cstdint>
#include <string>
#include <vector>

namespace omf::data {

class TableFrame;

// What a sheet can hold: a table whose shape has more rows (with the header row) or columns is refused.
inline constexpr std::size_t kMaxSheetRows = 1'048'576;
inline constexpr std::size_t kMaxSheetColumns = 16'384;

struct XlsxTable {
  std::string procedure;
  std::string title;
  std::string subtype;
  const TableFrame* frame;
};

// The name of table n's sheet (from 1): the number and the title, cut to the 31 characters a sheet
// name may have, without the characters a sheet name may not hold.
std::string SheetName(std::size_t n, const std::string& title);

// Writes the workbook. Throws std::runtime_error naming the table that does not fit a sheet or what the
// file could not take; no file is left then.
void WriteXlsx(const std::vector<XlsxTable>& tables, const std::string& path);

} // namespace omf::data
