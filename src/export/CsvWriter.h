#pragma once
// Tables as comma-separated values (RFC 4180): UTF-8, CRLF line ends, a header line, fields quoted when
// they hold a comma, a double quote, a line break or leading or trailing blanks. Numbers are written
// in the shortest form that reads back as the same double; the system-missing value and absent cells
// are empty fields.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace omf::data {

class TableFrame;

// A field as CSV writes it.
std::string CsvField(std::string_view text);
// A number as the exports write it: the shortest text that reads back as the same double.
std::string NumberText(double value);

// One table: the key columns (each headed by its dimension's label), then the value columns.
void WriteCsv(const TableFrame& frame, std::ostream& out);

// Several tables in one file: a first column "table" with each row's table id, then the union of the
// tables' key and value columns by header, in the order first met; a table's row leaves the columns of
// other tables empty.
struct CsvTable {
  std::uint64_t id;
  const TableFrame* frame;
};
void WriteCsv(const std::vector<CsvTable>& tables, std::ostream& out);

} // namespace omf::data
