#include <omf/export/XlsxWriter.h>

#include <filesystem>
#include <memory>
#include <stdexcept>

#include <xlsxwriter.h>

#include <omf/export/TableFrame.h>

namespace omf::data {

namespace {

// Sheet names hold at most 31 characters, none of []:*?/\ and no apostrophe at either end.
constexpr std::size_t kSheetNameLength = 31;

// A text cell holds at most 32767 characters; a longer text is cut at a character boundary, as a
// spreadsheet would refuse it.
constexpr std::size_t kMaxCellText = 32767;

std::string CutUtf8(const std::string& text, std::size_t characters) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && count++ == characters)
      return text.substr(0, i);
  }
  return text;
}

struct WorkbookCloser {
  void operator()(lxw_workbook* workbook) const noexcept { workbook_close(workbook); }
};

void Check(lxw_error error, const std::string& what) {
  if (error != LXW_NO_ERROR) throw std::runtime_error(what + ": " + lxw_strerror(error));
}

void WriteText(lxw_worksheet* sheet, std::size_t row, std::size_t col, const std::string& text) {
  if (text.empty()) return;
  Check(worksheet_write_string(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col),
                               CutUtf8(text, kMaxCellText).c_str(), nullptr),
        "writing a cell");
}

} // namespace

std::string SheetName(std::size_t n, const std::string& title) {
  std::string name = std::to_string(n) + " ";
  for (char c : title)
    name += std::string_view("[]:*?/\\").find(c) == std::string_view::npos ? c : ' ';
  name = CutUtf8(name, kSheetNameLength);
  while (!name.empty() && (name.back() == '\'' || name.back() == ' '))
    name.pop_back();
  return name;
}

void WriteXlsx(const std::vector<XlsxTable>& tables, const std::string& path) {
  for (const XlsxTable& t : tables)
    if (t.frame->RowCount() + 1 > kMaxSheetRows ||
        t.frame->keys.size() + t.frame->ColumnCount() > kMaxSheetColumns)
      throw std::runtime_error("table \"" + t.title +
                               "\" does not fit a sheet: " + std::to_string(t.frame->RowCount() + 1) +
                               " rows and " + std::to_string(t.frame->keys.size() + t.frame->ColumnCount()) +
                               " columns, where a sheet holds " + std::to_string(kMaxSheetRows) + " and " +
                               std::to_string(kMaxSheetColumns));
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE; // rows go to the file as they are written
  lxw_workbook* raw = workbook_new_opt(path.c_str(), &options);
  if (raw == nullptr) throw std::runtime_error(path + ": cannot create the workbook");
  std::unique_ptr<lxw_workbook, WorkbookCloser> workbook(raw);
  try {
    lxw_worksheet* index = workbook_add_worksheet(raw, "Index");
    if (index == nullptr) throw std::runtime_error("cannot add the index sheet");
    const char* headers[] = {"Procedure", "Table", "Subtype", "Sheet"};
    for (std::size_t c = 0; c < 4; ++c)
      WriteText(index, 0, c, headers[c]);
    for (std::size_t n = 0; n < tables.size(); ++n) {
      WriteText(index, n + 1, 0, tables[n].procedure);
      WriteText(index, n + 1, 1, tables[n].title);
      WriteText(index, n + 1, 2, tables[n].subtype);
      WriteText(index, n + 1, 3, SheetName(n + 1, tables[n].title));
    }
    for (std::size_t n = 0; n < tables.size(); ++n) {
      const TableFrame& frame = *tables[n].frame;
      lxw_worksheet* sheet = workbook_add_worksheet(raw, SheetName(n + 1, tables[n].title).c_str());
      if (sheet == nullptr)
        throw std::runtime_error("cannot add the sheet of table \"" + tables[n].title + "\"");
      const std::size_t keys = frame.keys.size();
      for (std::size_t k = 0; k < keys; ++k)
        WriteText(sheet, 0, k, frame.keys[k].label);
      for (std::size_t c = 0; c < frame.ColumnCount(); ++c)
        WriteText(sheet, 0, keys + c, frame.ColumnHeader(c));
      std::vector<std::vector<std::string>> keyText(keys);
      for (std::size_t k = 0; k < keys; ++k)
        for (const auto& p : frame.keys[k].paths)
          keyText[k].push_back(JoinPath(p));
      for (std::size_t row = 0; row < frame.RowCount(); ++row) {
        for (std::size_t k = 0; k < keys; ++k)
          WriteText(sheet, row + 1, k, keyText[k][frame.KeyCategory(row, k)]);
        for (std::size_t c = 0; c < frame.ColumnCount(); ++c) {
          if (frame.IsNumber(row, c))
            Check(worksheet_write_number(sheet, static_cast<lxw_row_t>(row + 1),
                                         static_cast<lxw_col_t>(keys + c), frame.Number(row, c), nullptr),
                  "writing a cell");
          else if (const std::string* text = frame.Text(row, c))
            WriteText(sheet, row + 1, keys + c, *text);
        }
      }
    }
  } catch (...) {
    workbook.reset();
    std::error_code ec;
    std::filesystem::remove(path, ec);
    throw;
  }
  const lxw_error closed = workbook_close(workbook.release());
  if (closed != LXW_NO_ERROR) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    throw std::runtime_error(path + ": cannot write the workbook: " + lxw_strerror(closed));
  }
}

} // namespace omf::data
