#include <omf/export/CsvWriter.h>

#include <charconv>
#include <cmath>
#include <ostream>
#include <unordered_map>

#include <omf/export/TableFrame.h>

namespace omf::data {

namespace {

const char kLineEnd[] = "\r\n";

std::vector<std::string> Headers(const TableFrame& frame) {
  std::vector<std::string> headers;
  for (const FrameDimension& key : frame.keys)
    headers.push_back(key.label);
  for (std::size_t c = 0; c < frame.ColumnCount(); ++c)
    headers.push_back(frame.ColumnHeader(c));
  return headers;
}

void AppendValue(const TableFrame& frame, std::size_t row, std::size_t column, std::string& line) {
  if (frame.IsNumber(row, column)) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, frame.Number(row, column));
    line.append(buffer, result.ptr);
  } else if (const std::string* text = frame.Text(row, column)) {
    line += CsvField(*text);
  }
}

} // namespace

std::string CsvField(std::string_view text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return std::string(text);
  std::string field = "\"";
  for (char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  field += '"';
  return field;
}

std::string NumberText(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

void WriteCsv(const TableFrame& frame, std::ostream& out) {
  std::string line;
  const std::vector<std::string> headers = Headers(frame);
  for (std::size_t h = 0; h < headers.size(); ++h) {
    if (h > 0) line += ',';
    line += CsvField(headers[h]);
  }
  line += kLineEnd;
  out << line;
  // The key fields of each category, made once.
  std::vector<std::vector<std::string>> keyFields(frame.keys.size());
  for (std::size_t k = 0; k < frame.keys.size(); ++k)
    for (const auto& path : frame.keys[k].paths)
      keyFields[k].push_back(CsvField(JoinPath(path)));
  for (std::size_t row = 0; row < frame.RowCount(); ++row) {
    line.clear();
    for (std::size_t k = 0; k < frame.keys.size(); ++k) {
      if (k > 0) line += ',';
      line += keyFields[k][frame.KeyCategory(row, k)];
    }
    for (std::size_t c = 0; c < frame.ColumnCount(); ++c) {
      if (c > 0 || !frame.keys.empty()) line += ',';
      AppendValue(frame, row, c, line);
    }
    line += kLineEnd;
    out << line;
  }
}

void WriteCsv(const std::vector<CsvTable>& tables, std::ostream& out) {
  std::vector<std::string> headers{"table"};
  std::unordered_map<std::string, std::size_t> place{{"table", 0}};
  std::vector<std::vector<std::size_t>> places; // per table: the place of each of its columns
  for (const CsvTable& t : tables) {
    std::vector<std::size_t>& p = places.emplace_back();
    // A header that a table repeats (two categories with the same labels) gets a column per repeat.
    std::unordered_map<std::string, int> seen;
    for (std::string h : Headers(*t.frame)) {
      if (const int n = ++seen[h]; n > 1) h += " (" + std::to_string(n) + ")";
      auto [it, added] = place.emplace(h, headers.size());
      if (added) headers.push_back(h);
      p.push_back(it->second);
    }
  }
  std::string line;
  for (std::size_t h = 0; h < headers.size(); ++h) {
    if (h > 0) line += ',';
    line += CsvField(headers[h]);
  }
  line += kLineEnd;
  out << line;
  std::vector<std::string> fields(headers.size());
  for (std::size_t t = 0; t < tables.size(); ++t) {
    const TableFrame& frame = *tables[t].frame;
    const std::vector<std::size_t>& p = places[t];
    for (std::size_t row = 0; row < frame.RowCount(); ++row) {
      for (auto& f : fields)
        f.clear();
      fields[0] = std::to_string(tables[t].id);
      for (std::size_t k = 0; k < frame.keys.size(); ++k)
        fields[p[k]] = CsvField(JoinPath(frame.keys[k].paths[frame.KeyCategory(row, k)]));
      for (std::size_t c = 0; c < frame.ColumnCount(); ++c)
        AppendValue(frame, row, c, fields[p[frame.keys.size() + c]]);
      line.clear();
      for (std::size_t f = 0; f < fields.size(); ++f) {
        if (f > 0) line += ',';
        line += fields[f];
      }
      line += kLineEnd;
      out << line;
    }
  }
}

} // namespace omf::data
