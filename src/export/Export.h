#pragma once
// Writing the tables of an output tree as data: one CSV file, a CSV file per table with an index file,
// or an Excel workbook. Every table is shaped first, so that a table the column specification does not
// fit stops the export before anything is written.
#include <string>
#include <vector>

#include <omf/export/ExportTables.h>
#include <omf/export/TableFrame.h>

namespace omf::data {

enum class ExportFormat { kCsv, kCsvPerTable, kXlsx };

struct ShapedTable {
  ExportTable table;
  TableFrame frame;
};

// Shapes every table; `columns`, when it holds a specification, replaces the one the requests give.
// Throws FrameError.
std::vector<ShapedTable> ShapeTables(const std::vector<ExportTable>& tables,
                                     const OMSColumns* columns = nullptr);

// The name of table n's file (from 1) in a per-table export of `count` tables: "table-07.csv", the
// number padded to the width of the count, so that the names sort in table order.
std::string TableFileName(std::size_t n, std::size_t count);

// Writes the tables: kCsv to `path` ("" or "-": standard output), kCsvPerTable into the directory
// `path` (made when missing) as index.csv and one file per table, kXlsx to the workbook `path`.
// Throws std::runtime_error naming the file that could not be written.
void WriteExport(const std::vector<ShapedTable>& tables, ExportFormat format, const std::string& path);

} // namespace omf::data
