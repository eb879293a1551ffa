// Tables of played sessions written as data: the shapes that column specifications give, the fields of
// numbers, missing values and texts, the errors for dimensions a table does not have, and the one-file
// and workbook forms.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include <unistd.h>

#include "examples/BuiltinSession.h"
#include <omf/export/CsvWriter.h>
#include <omf/export/Export.h>
#include <omf/export/Session.h>
#include <omf/export/XlsxWriter.h>
#include <omf/model/CellText.h>
#include <omf/model/PivotTable.h>
#include <omf/stream/MessageWriter.h>

namespace {

using namespace omf;
using namespace omf::data;

std::unique_ptr<Session> BuiltinSession(std::optional<std::string> language = std::nullopt) {
  SessionOptions options;
  options.language = std::move(language);
  auto session = std::make_unique<Session>(std::move(options));
  examples::WriteBuiltinSession(session->Writer());
  session->Finish();
  return session;
}

// The nth visible table with the title (as shown).
ExportTable TableTitled(const Session& session, const std::string& title, int nth = 0) {
  for (const ExportTable& t : ExportTables(session.Tree(), session.Requests()))
    if (t.title == title && nth-- == 0) return t;
  ADD_FAILURE() << "no table " << title;
  return {};
}

enum class Form { kOwn, kNames, kTokens };

OMSColumns Wanted(Form form, const std::vector<std::string>& items) {
  OMSColumns wanted;
  for (const std::string& item : items) {
    if (form == Form::kNames)
      wanted.AddColumn(std::string_view(item));
    else if (form == Form::kTokens)
      wanted.AddColumn(OmParsedColumn(item));
  }
  return wanted;
}

std::string Csv(const ExportTable& t, Form form, const std::vector<std::string>& items) {
  const OMSColumns wanted = Wanted(form, items);
  std::ostringstream out;
  WriteCsv(MakeTableFrame(*t.table, form == Form::kOwn ? nullptr : &wanted, t.codePage), out);
  return out.str();
}

TEST(TableFrame, ShapesOfTheBuiltInSession) {
  const auto session = BuiltinSession();
  const std::string crosstab = "Region * Gender * Age group Crosstabulation";
  struct Case {
    std::string table;
    Form form;
    std::vector<std::string> items;
    std::string csv;
  } cases[] = {
      // The table's own columns; nested row groups joined into the key field; absent cells empty.
      {"Gender",
       Form::kOwn,
       {},
       "Gender,Frequency,Percent,Valid Percent,Cumulative Percent\r\n"
       "Valid / Male,47,47,47.95918367346939,47.95918367346939\r\n"
       "Valid / Female,51,51,52.04081632653061,100\r\n"
       "Valid / Total,98,98,100,\r\n"
       "Missing / System,2,2,,\r\n"
       "Total,100,100,,\r\n"},
      // A layer becomes the outermost key.
      {crosstab,
       Form::kOwn,
       {},
       "Age group,Region,Male,Female\r\nUnder 40,North,7,12\r\nUnder 40,South,17,9\r\n"
       "40 and over,North,14,19\r\n40 and over,South,11,16\r\n"},
      // By name, in the order named, ignoring case; nested column groups joined into one header.
      {crosstab,
       Form::kNames,
       {"gender", "Age Group"},
       "Region,Male / Under 40,Male / 40 and over,Female / Under 40,Female / 40 and over\r\n"
       "North,7,14,12,19\r\nSouth,17,11,9,16\r\n"},
      {"Statistics",
       Form::kNames,
       {"Statistics"},
       "Variables,N / Valid,N / Missing,Mean,Std. Deviation\r\n"
       "Gender,98,2,1.52,0.5\r\nHousehold income (thousands),95,5,52.37,18.91\r\n"},
      // By axis token: every layer, then the first column dimension.
      {crosstab,
       Form::kTokens,
       {"LALL", "C1"},
       "Region,Under 40 / Male,Under 40 / Female,40 and over / Male,40 and over / Female\r\n"
       "North,7,12,14,19\r\nSouth,17,9,11,16\r\n"},
      {crosstab,
       Form::kTokens,
       {"r1"},
       "Age group,Gender,North,South\r\nUnder 40,Male,7,17\r\nUnder 40,Female,12,9\r\n"
       "40 and over,Male,14,11\r\n40 and over,Female,19,16\r\n"},
      // Every dimension a column: one row, no key.
      {crosstab,
       Form::kTokens,
       {"RALL", "CALL", "LALL"},
       "North / Male / Under 40,North / Male / 40 and over,North / Female / Under 40,"
       "North / Female / 40 and over,South / Male / Under 40,South / Male / 40 and over,"
       "South / Female / Under 40,South / Female / 40 and over\r\n7,14,12,19,17,11,9,16\r\n"},
      // ALL of an axis that holds no dimension names none: no column dimension, one value column.
      {"Gender",
       Form::kTokens,
       {"LALL"},
       "Gender,Statistics,Value\r\n"
       "Valid / Male,Frequency,47\r\nValid / Male,Percent,47\r\n"
       "Valid / Male,Valid Percent,47.95918367346939\r\nValid / Male,Cumulative Percent,47.95918367346939\r\n"
       "Valid / Female,Frequency,51\r\nValid / Female,Percent,51\r\n"
       "Valid / Female,Valid Percent,52.04081632653061\r\nValid / Female,Cumulative Percent,100\r\n"
       "Valid / Total,Frequency,98\r\nValid / Total,Percent,98\r\n"
       "Valid / Total,Valid Percent,100\r\nValid / Total,Cumulative Percent,\r\n"
       "Missing / System,Frequency,2\r\nMissing / System,Percent,2\r\n"
       "Missing / System,Valid Percent,\r\nMissing / System,Cumulative Percent,\r\n"
       "Total,Frequency,100\r\nTotal,Percent,100\r\n"
       "Total,Valid Percent,\r\nTotal,Cumulative Percent,\r\n"},
      // Text cells stay texts.
      {"Notes",
       Form::kOwn,
       {},
       "Notes,Value\r\nOutput Created,05-DEC-2026 17:00:00\r\nSyntax,FREQUENCIES VARIABLES=sex income.\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table + " " + (c.items.empty() ? "" : c.items.front()));
    EXPECT_EQ(Csv(TableTitled(*session, c.table), c.form, c.items), c.csv);
  }
}

TEST(TableFrame, ADimensionTheTableDoesNotHaveIsNamed) {
  const auto session = BuiltinSession();
  struct Case {
    std::string table;
    Form form;
    std::vector<std::string> items;
    std::string error;
  } cases[] = {
      {"Gender",
       Form::kNames,
       {"Statistics", "Age"},
       "table \"Gender\" has no dimension \"Age\"; its dimensions are \"Statistics\", \"Gender\""},
      {"Gender", Form::kTokens, {"R2"}, "table \"Gender\" has no row dimension 2 (R2); it has 1"},
      {"Gender", Form::kTokens, {"C1", "L1"}, "table \"Gender\" has no layer dimension 1 (L1); it has 0"},
  };
  for (const Case& c : cases) {
    const ExportTable t = TableTitled(*session, c.table);
    const OMSColumns wanted = Wanted(c.form, c.items);
    try {
      MakeTableFrame(*t.table, &wanted, t.codePage);
      ADD_FAILURE() << c.error;
    } catch (const FrameError& e) {
      EXPECT_EQ(std::string(e.what()), c.error);
    }
  }
}

TEST(TableFrame, ATranslatedSessionIsWrittenInItsLanguage) {
  const auto session = BuiltinSession("de");
  const ExportTable t = TableTitled(*session, "Gender");
  EXPECT_EQ(t.procedure, "Häufigkeiten");
  EXPECT_EQ(Csv(t, Form::kOwn, {}), "Gender,Häufigkeit,Prozent,Gültige Prozente,Kumulierte Prozente\r\n"
                                    "Gültig / Male,47,47,47.95918367346939,47.95918367346939\r\n"
                                    "Gültig / Female,51,51,52.04081632653061,100\r\n"
                                    "Gültig / Gesamt,98,98,100,\r\n"
                                    "Fehlend / System,2,2,,\r\n"
                                    "Gesamt,100,100,,\r\n");
  // A name is found by the label as shown or before translation.
  EXPECT_EQ(Csv(t, Form::kNames, {"Statistics"}), Csv(t, Form::kNames, {"Statistiken"}));
}

// Opens a procedure with its title block and begins a table (id 0) with the given title as label and
// subtype.
void BeginTable(stream::MessageWriter& w, const std::string& procedure, const std::string& title) {
  stream::ProcedureSettings s;
  s.procedure = procedure;
  w.ProcedureBegin(1, s);
  w.String(1, procedure);
  w.TextBlock(1);
  w.Text(procedure);
  w.String(1, title);
  w.String(2, title);
  w.TableBegin(0, 1, 2);
}

// A table of one row dimension "Groups" and the column dimension "Statistics", played through the
// factory: a system-missing number, an absent cell, a text that needs quoting, a tiny number.
void MeansTable(stream::MessageWriter& w) {
  BeginTable(w, "Means", "Report");
  w.String(1, "Statistics");
  w.Place(0, 1, 1, stream::Axis::Columns);
  const auto cell = [&w](const std::string& row, const std::string& column, const auto& value) {
    w.String(1, row);
    w.String(2, "Groups");
    w.Category(0, 1, 2);
    w.String(1, "Statistics");
    w.CellDimension(0, 1);
    if constexpr (std::is_same_v<std::decay_t<decltype(value)>, double>)
      w.Number(3, value, stream::WireFormat::Fixed(8, 2));
    else
      w.String(3, value);
    w.String(4, column);
    w.Cell(0, 3, 4);
  };
  cell("Group A", "Mean", 41.25);
  cell("Group A", "Median", kSysmis);
  cell("Group A", "Note", std::string("low, \"very\" low\nand more"));
  cell("Group B", "Median", 7.0);
  cell("Group B", "Mean", 1e-300);
  w.TableEnd(0);
  w.ProcedureEnd();
}

TEST(TableFrame, MissingValuesAndTextsAsFields) {
  Session session{SessionOptions{}};
  MeansTable(session.Writer());
  session.Finish();
  const ExportTable t = TableTitled(session, "Report");
  EXPECT_EQ(Csv(t, Form::kOwn, {}), "Groups,Mean,Median,Note\r\n"
                                    "Group A,41.25,,\"low, \"\"very\"\" low\nand more\"\r\n"
                                    "Group B,1e-300,7,\r\n");
  const TableFrame frame = MakeTableFrame(*t.table, nullptr, t.codePage);
  EXPECT_FALSE(frame.IsNumber(0, 1)); // system-missing
  EXPECT_EQ(frame.Text(0, 1), nullptr);
  ASSERT_NE(frame.Text(0, 2), nullptr);
  EXPECT_EQ(frame.Number(1, 0), 1e-300); // as sent, not as its format shows it
}

TEST(TableFrame, AShapeTooLargeIsRefused) {
  // Three dimensions of 1000, 1000 and 101 categories with a single cell: as data, 101 million fields.
  Session session{SessionOptions{}};
  stream::MessageWriter& w = session.Writer();
  BeginTable(w, "Sparse", "Sparse");
  for (const auto& [dimension, count] : {std::pair{"A", 1000}, {"B", 1000}, {"C", 101}})
    for (int k = 0; k < count; ++k) {
      w.String(1, std::to_string(k));
      w.String(2, dimension);
      w.Category(0, 1, 2);
    }
  w.String(1, "Statistics");
  w.CellDimension(0, 1);
  w.Number(3, 1, stream::WireFormat::Fixed(8, 0));
  w.String(4, "N");
  w.Cell(0, 3, 4);
  w.TableEnd(0);
  w.ProcedureEnd();
  session.Finish();
  const ExportTable t = TableTitled(session, "Sparse");
  try {
    MakeTableFrame(*t.table, nullptr, t.codePage);
    ADD_FAILURE() << "a shape of 101 million fields was made";
  } catch (const FrameError& e) {
    EXPECT_EQ(std::string(e.what()),
              "table \"Sparse\" as data would hold more than 100000000 fields (rows times value columns)");
  }
}

TEST(TableFrame, OneFileHoldsEveryTableUnderItsId) {
  Session session{SessionOptions{}};
  MeansTable(session.Writer());
  MeansTable(session.Writer());
  session.Finish();
  const auto shaped = ShapeTables(ExportTables(session.Tree(), session.Requests()));
  ASSERT_EQ(shaped.size(), 2u);
  // Two columns of one table with the same header each keep their column.
  OMSColumns rows;
  rows.AddColumn(OmParsedColumn("R1"));
  const TableFrame byRows = MakeTableFrame(*shaped[1].table.table, &rows, "UTF-8");
  std::ostringstream out;
  WriteCsv({{shaped[0].table.id, &shaped[0].frame}, {7, &byRows}}, out);
  EXPECT_EQ(out.str(), "table,Groups,Mean,Median,Note,Statistics,Group A,Group B\r\n"
                       "1048577,Group A,41.25,,\"low, \"\"very\"\" low\nand more\",,,\r\n"
                       "1048577,Group B,1e-300,7,,,,\r\n"
                       "7,,,,,Mean,41.25,1e-300\r\n"
                       "7,,,,,Median,,7\r\n"
                       "7,,,,,Note,\"low, \"\"very\"\" low\nand more\",\r\n");
}

TEST(TableFrame, ATableWiderThanASheetIsRefusedAndNoWorkbookLeft) {
  // One row of 16,385 value columns: one more than a sheet has.
  Session session{SessionOptions{}};
  stream::MessageWriter& w = session.Writer();
  BeginTable(w, "Wide", "Wide");
  w.String(1, "Columns");
  w.Place(0, 1, 1, stream::Axis::Columns);
  w.String(1, "Columns");
  w.CellDimension(0, 1);
  for (std::size_t k = 0; k < kMaxSheetColumns + 1; ++k) {
    w.Number(3, static_cast<double>(k), stream::WireFormat::Fixed(8, 0));
    w.String(4, std::to_string(k));
    w.Cell(0, 3, 4);
  }
  w.TableEnd(0);
  w.ProcedureEnd();
  session.Finish();
  const auto shaped = ShapeTables(ExportTables(session.Tree(), session.Requests()));
  ASSERT_EQ(shaped.size(), 1u);
  EXPECT_EQ(shaped[0].frame.ColumnCount(), kMaxSheetColumns + 1);
  const std::string path = ::testing::TempDir() + "omf-wide-" + std::to_string(::getpid()) + ".xlsx";
  try {
    WriteExport(shaped, ExportFormat::kXlsx, path);
    ADD_FAILURE() << "a table wider than a sheet was written";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "table \"Wide\" does not fit a sheet: 2 rows and 16385 columns, where a "
                                     "sheet holds 1048576 and 16384");
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(TableFrame, SheetNamesAreNumberedAndCut) {
  struct Case {
    std::size_t n;
    std::string title, name;
  } cases[] = {
      {1, "Statistics", "1 Statistics"},
      {12, "Region * Gender * Age group Crosstabulation", "12 Region   Gender   Age group"},
      {3, "a/b\\c?d[e]f:g", "3 a b c d e f g"},
      {4, "Größe 'x'", "4 Größe 'x"},
      {5, "ÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄ", "5 ÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄ"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SheetName(c.n, c.title), c.name);
}

} // namespace
