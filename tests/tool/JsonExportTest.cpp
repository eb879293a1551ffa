// The names that the JSON export writes beside its numbers, read from what the omf command writes: the
// format of every number cell, and the display modes of every procedure.
#include <string>
#include <vector>

#include "RunOmf.h"

using namespace omf_test;

namespace {

// The test stream with a number in every format type, rendered as JSON.
nlohmann::json CellKindsExport() {
  return ScriptExport("cell-kinds.omfscript");
}

// The row labels of the test stream name the format of their number; types without a format of their
// own show as F and are named so.
TEST(JsonExport, NumbersNameTheirFormat) {
  const auto tables = PartsOfType(CellKindsExport(), "table");
  ASSERT_EQ(tables.size(), 1u);
  const auto& table = tables[0];
  const struct {
    const char* row;
    unsigned type;
    const char* name;
    const char* text;
  } cases[] = {
      {"A", 1, "A", "3.25"},          {"COMMA", 3, "COMMA", "1,234.50"}, {"DOLLAR", 4, "DOLLAR", "$1,234.50"},
      {"F", 5, "F", "1234.5"},        {"N", 16, "N", "00042"},           {"E", 17, "E", "1.23E+03"},
      {"PCT", 31, "PCT", "12.5%"},    {"DOT", 32, "DOT", "1.234,50"},    {"type 2", 2, "F", "1234.5"},
      {"type 99", 99, "F", "1234.5"}, {"missing", 5, "F", "."},
  };
  // Rows are dimension 1; each row has one cell, at subscript 0 of dimension 0.
  const auto& rows = table["dimensions"][1]["categories"];
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    const nlohmann::json* cell = nullptr;
    for (const auto& category : rows)
      if (category["label"] == c.row)
        for (const auto& candidate : table["cells"])
          if (candidate["at"] == nlohmann::json::array({0, category["index"]})) cell = &candidate;
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ((*cell)["kind"], "number");
    EXPECT_EQ((*cell)["format"][1], c.type);
    EXPECT_EQ((*cell)["formatName"], c.name);
    EXPECT_EQ((*cell)["text"], c.text);
  }
  for (const auto& cell : table["cells"])
    EXPECT_EQ(cell["kind"] == "number", cell.contains("formatName")) << cell.dump();
}

// Each display mode appears as its number and as its word: the stream's own settings, and those the
// command sets for the built-in session.
TEST(JsonExport, DisplayModesNameTheirMode) {
  const struct {
    const char* source; // null: the test stream
    std::vector<int> numbers;
    std::vector<std::string> names;
  } cases[] = {
      {nullptr, {1, 1, 3, 3}, {"names", "values", "both", "both"}},
      {"", {2, 2, 2, 2}, {"labels", "labels", "labels", "labels"}},
      {"--variables names --values values", {2, 2, 1, 1}, {"labels", "labels", "names", "values"}},
      {"--variables both --values labels", {2, 2, 3, 2}, {"labels", "labels", "both", "labels"}},
  };
  const char* keys[] = {"outlineVariables", "outlineValues", "tableVariables", "tableValues"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source ? c.source : "test stream");
    const auto doc = c.source
                         ? nlohmann::json::parse(OmfOutput(std::string("render --format json ") + c.source))
                         : CellKindsExport();
    const auto procedures = PartsOfType(doc, "procedure");
    ASSERT_FALSE(procedures.empty());
    for (const auto& procedure : procedures) {
      const auto& display = procedure["display"];
      for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(display[keys[k]], c.numbers[k]) << keys[k];
        EXPECT_EQ(display[std::string(keys[k]) + "Name"], c.names[k]) << keys[k];
      }
    }
  }
}

} // namespace
