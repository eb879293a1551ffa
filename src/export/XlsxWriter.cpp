#include <omf/export/XlsxWriter.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include <dlfcn.h>
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

// libxlsxwriter pulls in a zip and a crypto library whose loading would cost every run of a program
// linking omf several milliseconds; it is loaded only when a workbook is written. Its header still gives
// the types and the signatures.
constexpr const char* kXlsxLibrary = "libxlsxwriter.so.4";
// Names another library in its place: the tests use it to see what a machine without it does.
constexpr const char* kXlsxLibraryVariable = "OMF_XLSXWRITER_LIBRARY";

// The functions the workbook writer calls, resolved from the loaded library.
struct XlsxFunctions {
  decltype(&workbook_new_opt) newWorkbook = nullptr;
  decltype(&workbook_add_worksheet) addWorksheet = nullptr;
  decltype(&workbook_close) close = nullptr;
  decltype(&worksheet_write_string) writeString = nullptr;
  decltype(&worksheet_write_number) writeNumber = nullptr;
  decltype(&lxw_strerror) errorText = nullptr;
};

struct LoadedXlsx {
  XlsxFunctions functions;
  std::string problem; // empty when every function was found
};

LoadedXlsx LoadXlsx() {
  const char* override = std::getenv(kXlsxLibraryVariable);
  const std::string name = override != nullptr && *override != '\0' ? override : kXlsxLibrary;
  LoadedXlsx loaded;
  const auto fail = [&] {
    const char* reason = dlerror();
    loaded.problem = "cannot write workbooks: " + name +
                     " cannot be loaded: " + (reason != nullptr ? reason : "no reason given");
    return loaded;
  };
  // Never closed: the functions stay valid for the life of the process.
  void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return fail();
  const auto resolve = [handle]<class F>(F& function, const char* symbol) {
    function = reinterpret_cast<F>(dlsym(handle, symbol));
    return function != nullptr;
  };
  XlsxFunctions& f = loaded.functions;
  if (!resolve(f.newWorkbook, "workbook_new_opt") || !resolve(f.addWorksheet, "workbook_add_worksheet") ||
      !resolve(f.close, "workbook_close") || !resolve(f.writeString, "worksheet_write_string") ||
      !resolve(f.writeNumber, "worksheet_write_number") || !resolve(f.errorText, "lxw_strerror"))
    return fail();
  return loaded;
}

// The library's functions, loaded at the first call (once, whatever the threads); throws
// std::runtime_error naming the library and the loader's reason when it cannot be loaded.
const XlsxFunctions& Xlsx() {
  static const LoadedXlsx loaded = LoadXlsx();
  if (!loaded.problem.empty()) throw std::runtime_error(loaded.problem);
  return loaded.functions;
}

struct WorkbookCloser {
  decltype(&workbook_close) close;
  void operator()(lxw_workbook* workbook) const noexcept { close(workbook); }
};

void Check(lxw_error error, const std::string& what) {
  if (error != LXW_NO_ERROR) throw std::runtime_error(what + ": " + Xlsx().errorText(error));
}

void WriteText(lxw_worksheet* sheet, std::size_t row, std::size_t col, const std::string& text) {
  if (text.empty()) return;
  Check(Xlsx().writeString(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col),
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
  const XlsxFunctions& xlsx = Xlsx(); // before the file is made: without the library none is
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE; // rows go to the file as they are written
  lxw_workbook* raw = xlsx.newWorkbook(path.c_str(), &options);
  if (raw == nullptr) throw std::runtime_error(path + ": cannot create the workbook");
  std::unique_ptr<lxw_workbook, WorkbookCloser> workbook(raw, WorkbookCloser{xlsx.close});
  try {
    lxw_worksheet* index = xlsx.addWorksheet(raw, "Index");
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
      lxw_worksheet* sheet = xlsx.addWorksheet(raw, SheetName(n + 1, tables[n].title).c_str());
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
            Check(xlsx.writeNumber(sheet, static_cast<lxw_row_t>(row + 1), static_cast<lxw_col_t>(keys + c),
                                   frame.Number(row, c), nullptr),
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
  const lxw_error closed = xlsx.close(workbook.release());
  if (closed != LXW_NO_ERROR) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    throw std::runtime_error(path + ": cannot write the workbook: " + xlsx.errorText(closed));
  }
}

} // namespace omf::data
