// The names that the JSON export writes beside its numbers, read from what the omf command writes: the
// format of every number cell, and the display modes of every procedure.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;

// What omf writes to standard output for the arguments, which must succeed.
std::string OmfOutput(const std::string& args) {
  const std::string command = std::string(OMF_BINARY) + " " + args;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return {};
  }
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    out.append(buffer, n);
  const int status = ::pclose(pipe);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
  return out;
}

// The parts of a JSON export, depth first.
void Collect(const nlohmann::json& parts, std::vector<nlohmann::json>& out) {
  for (const auto& part : parts) {
    out.push_back(part);
    if (part.contains("parts")) Collect(part["parts"], out);
  }
}

std::vector<nlohmann::json> PartsOfType(const nlohmann::json& doc, const std::string& type) {
  std::vector<nlohmann::json> all, found;
  Collect(doc["parts"], all);
  for (const auto& part : all)
    if (part["type"] == type) found.push_back(part);
  return found;
}

// The test stream with a number in every format type, rendered as JSON.
nlohmann::json CellKindsExport() {
  const fs::path stream =
      fs::temp_directory_path() / ("omf-json-export-" + std::to_string(::getpid()) + ".omfs");
  OmfOutput("assemble " + (fs::path(OMF_TEST_STREAMS_DIR) / "cell-kinds.omfscript").string() + " -o " +
            stream.string());
  const std::string json = OmfOutput("render --format json " + stream.string());
  fs::remove(stream);
  return nlohmann::json::parse(json);
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
