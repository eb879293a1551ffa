#include <omf/export/Export.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include <omf/export/CsvWriter.h>
#include <omf/export/XlsxWriter.h>

namespace omf::data {

namespace {

template <class Write> void WriteFile(const std::string& path, Write write) {
  std::ofstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error(path + ": cannot open for writing: " + std::strerror(errno));
  write(file);
  file.close();
  if (!file) throw std::runtime_error(path + ": cannot write");
}

} // namespace

std::vector<ShapedTable> ShapeTables(const std::vector<ExportTable>& tables, const OMSColumns* columns) {
  std::vector<ShapedTable> shaped;
  shaped.reserve(tables.size());
  for (const ExportTable& t : tables)
    shaped.push_back({t, MakeTableFrame(*t.table, columns != nullptr ? columns : t.columns, t.codePage)});
  return shaped;
}

std::string TableFileName(std::size_t n, std::size_t count) {
  std::string number = std::to_string(n);
  number.insert(0, std::to_string(count).size() - std::min(number.size(), std::to_string(count).size()), '0');
  return "table-" + number + ".csv";
}

void WriteExport(const std::vector<ShapedTable>& tables, ExportFormat format, const std::string& path) {
  switch (format) {
  case ExportFormat::kCsv: {
    std::vector<CsvTable> csv;
    for (const ShapedTable& t : tables)
      csv.push_back({t.table.id, &t.frame});
    if (path.empty() || path == "-") {
      WriteCsv(csv, std::cout);
      std::cout.flush();
      if (!std::cout) throw std::runtime_error("cannot write to standard output");
      return;
    }
    WriteFile(path, [&](std::ostream& out) { WriteCsv(csv, out); });
    return;
  }
  case ExportFormat::kCsvPerTable: {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec || !fs::is_directory(path)) throw std::runtime_error(path + ": cannot make the directory");
    WriteFile((fs::path(path) / "index.csv").string(), [&](std::ostream& out) {
      out << "table,procedure,title,subtype,file\r\n";
      for (std::size_t n = 0; n < tables.size(); ++n)
        out << tables[n].table.id << ',' << CsvField(tables[n].table.procedure) << ','
            << CsvField(tables[n].table.title) << ',' << CsvField(tables[n].table.subtype) << ','
            << TableFileName(n + 1, tables.size()) << "\r\n";
    });
    for (std::size_t n = 0; n < tables.size(); ++n)
      WriteFile((fs::path(path) / TableFileName(n + 1, tables.size())).string(),
                [&](std::ostream& out) { WriteCsv(tables[n].frame, out); });
    return;
  }
  case ExportFormat::kXlsx: {
    std::vector<XlsxTable> xlsx;
    for (const ShapedTable& t : tables)
      xlsx.push_back({t.table.procedure, t.table.title, t.table.subtype, &t.frame});
    WriteXlsx(xlsx, path);
    return;
  }
  }
}

} // namespace omf::data
