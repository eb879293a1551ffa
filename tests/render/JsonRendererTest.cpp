#include <omf/render/JsonRenderer.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Trees.h"

using namespace omf;

using namespace render_test;
using Json = nlohmann::json;

namespace {

Json Parse(const OmOutputTree& tree) {
  return Json::parse(omf::render::JsonRenderer().Render(tree));
}

std::vector<std::string> Keys(const nlohmann::ordered_json& object) {
  std::vector<std::string> keys;
  for (const auto& item : object.items())
    keys.push_back(item.key());
  return keys;
}

// One part of every type; texts of the procedure and its parts are in windows-1252.
void BuildEveryPart(OmOutputTree& tree) {
  auto procedure =
      std::make_unique<OmProcedure>(OmStringCell("Frequencies"), "German", "windows-1252", "de_DE");
  procedure->SetName("H\xE4ufigkeiten");
  procedure->setOutlineText(OmStringCell("Outline text"));
  procedure->SetDisplayModes(OmCellText::kModeNames, OmCellText::kModeLabels, OmCellText::kModeBoth,
                             OmCellText::kModeNotSet);
  const std::size_t proc = tree.Append(0, std::move(procedure));

  auto heading = std::make_unique<OmHeading>(OmStringCell("Section"), "windows-1252");
  heading->Footnotes().emplace_back(nullptr, OmStringCell("Heading note"));
  heading->SetVisible(false);
  const std::size_t section = tree.Append(proc, std::move(heading));

  auto log = std::make_unique<OmTextBlock>(OmStringCell("Log"), "windows-1252", true);
  log->Lines() = {"GET FILE='caf\xE9.sav'.", "FREQUENCIES age."};
  tree.Append(section, std::move(log));

  auto page = std::make_unique<OmPageTitle>("UTF-8");
  page->AddLine("Page one");
  page->AddLine("Subtitle");
  tree.Append(proc, std::move(page));

  const unsigned char bytes[5] = {1, 2, 3, 4, 5};
  auto chart = std::make_unique<OmChart>(OmStringCell("Bar chart"), "UTF-8");
  chart->SetContent(1, bytes, 5);
  chart->SetMapInfo(bytes, 3);
  tree.Append(proc, std::move(chart));
  tree.Append(proc, std::make_unique<OmModel>(OmStringCell("Model viewer")));
  auto answer = std::make_unique<OmAnswerTree>(OmStringCell("Answer tree"), "UTF-8");
  answer->SetContent(2, bytes, 4);
  tree.Append(proc, std::move(answer));
}

} // namespace

TEST(JsonRenderer, EveryPartTypeHasExactlyItsKeys) {
  OmOutputTree tree;
  BuildEveryPart(tree);
  const auto doc = nlohmann::ordered_json::parse(omf::render::JsonRenderer().Render(tree));
  EXPECT_EQ(Keys(doc), (std::vector<std::string>{"omf", "parts"}));
  EXPECT_EQ(doc["omf"], 1);
  // The procedure holds the heading, the page title and the content parts; the heading holds the log.
  ASSERT_EQ(doc["parts"].size(), 1u);
  EXPECT_EQ(Keys(doc["parts"][0]).back(), "parts");
  EXPECT_EQ(doc["parts"][0]["parts"].size(), 5u);
  const auto parts = FlatParts(doc);
  ASSERT_EQ(parts.size(), 7u);

  const std::vector<std::string> common = {"level", "type", "title", "visible"};
  const auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> keys = common;
    keys.insert(keys.end(), more.begin(), more.end());
    return keys;
  };
  const struct {
    const char* type;
    int level;
    std::vector<std::string> keys;
  } expected[] = {
      {"procedure", 1, with({"command", "name", "outline", "language", "codepage", "locale", "display"})},
      {"heading", 2, with({"footnotes"})},
      {"text", 3, with({"lines", "log"})},
      {"pagetitle", 2, with({"lines"})},
      {"chart", 2, with({"content"})},
      {"model", 2, with({"content"})},
      {"answertree", 2, with({"content"})},
  };
  for (std::size_t i = 0; i < parts.size(); ++i) {
    SCOPED_TRACE(expected[i].type);
    EXPECT_EQ(parts[i]["type"], expected[i].type);
    EXPECT_EQ(parts[i]["level"], expected[i].level);
    EXPECT_EQ(Keys(parts[i]), expected[i].keys);
  }

  // The values the built-in session's golden export does not show: texts converted from the procedure's
  // code page, an outline text, display modes other than the default, a hidden part, content slots.
  const auto& proc = parts[0];
  EXPECT_EQ(proc["name"], "H\xC3\xA4ufigkeiten");
  EXPECT_EQ(proc["outline"], "Outline text");
  EXPECT_EQ(proc["codepage"], "windows-1252");
  // Each mode as its number and, under the same key with "Name" added, as its word.
  EXPECT_EQ(Json(proc["display"]), (Json{{"outlineVariables", 1},
                                         {"outlineValues", 2},
                                         {"tableVariables", 3},
                                         {"tableValues", 0},
                                         {"outlineVariablesName", "names"},
                                         {"outlineValuesName", "labels"},
                                         {"tableVariablesName", "both"},
                                         {"tableValuesName", "unset"}}));
  EXPECT_EQ(parts[1]["visible"], false);
  EXPECT_EQ(parts[1]["footnotes"], Json::array({"Heading note"}));
  EXPECT_EQ(parts[2]["lines"], Json::array({"GET FILE='caf\xC3\xA9.sav'.", "FREQUENCIES age."}));
  EXPECT_EQ(parts[4]["content"], (Json{{"1", 5}, {"10", 3}}));
  EXPECT_EQ(parts[5]["content"], Json::object());
  EXPECT_EQ(parts[6]["content"], (Json{{"2", 4}}));
}

TEST(JsonRenderer, TableTextsDimensionsAndPlacement) {
  OmOutputTree tree;
  auto table = NestedTable();
  table->TableId(0xFFFFFFFFFFFFFFF0ULL); // beyond what a double holds exactly
  table->TableLocale("de_DE");
  table->SetTableTitle(OmStringCell("Statistics of Gr\xF6\xDF"
                                    "e"));
  table->Layers().Set(1, 2); // a third dimension at the second place: the first is an empty place
  table->Rows().Set(2, 1);   // rows [1, empty, 1]: the empty place is left out
  const int extra = table->AddDimension(OmStringCell("Layer"));
  ASSERT_EQ(extra, 2);
  const OmStringCell corner("Corner"), caption("Caption");
  table->CornerText(&corner);
  table->Caption(&caption);
  WithProcedure(tree, std::move(table), "windows-1252");

  const auto doc = nlohmann::ordered_json::parse(omf::render::JsonRenderer().Render(tree));
  // The keys of a table and their order are pinned by the built-in session's golden export.
  const auto t = FlatParts(doc)[1];
  EXPECT_EQ(t["tableTitle"], "Statistics of Gr\xC3\xB6\xC3\x9F"
                             "e");
  EXPECT_EQ(t["caption"], "Caption");
  EXPECT_EQ(t["corner"], "Corner");
  EXPECT_EQ(t["id"].get<std::uint64_t>(), 0xFFFFFFFFFFFFFFF0ULL);
  EXPECT_EQ(t["locale"], "de_DE");
  EXPECT_EQ(t["rows"], Json::array({1, 1}));
  EXPECT_EQ(t["columns"], Json::array({0}));
  EXPECT_EQ(t["layers"], Json::array({2}));
  const Json dims = Json::parse(R"([
    {"label": "Statistics", "categories": [
      {"label": "N", "group": true, "children": [{"label": "Valid", "index": 0}, {"label": "Missing", "index": 1}]},
      {"label": "Mean", "index": 2}]},
    {"label": "Variables", "categories": [{"label": "Age", "index": 0}, {"label": "Income", "index": 1}]},
    {"label": "Layer", "categories": []}])");
  EXPECT_EQ(Json(t["dimensions"]), dims);
  EXPECT_EQ(t["footnotes"], Json::array());
  EXPECT_EQ(t["titleFootnotes"], Json::array());
  ASSERT_EQ(t["cells"].size(), 6u);
  EXPECT_EQ(t["cells"][0]["at"], Json::array({0, 0, 0})); // one subscript per dimension, the new one 0
}

TEST(JsonRenderer, CellsInSubscriptOrderWithTheirKinds) {
  auto table = std::make_unique<OmPivotTable>(OmStringCell("Cells"), OmStringCell("Cells"), false);
  table->AddDimension(OmStringCell("A"));
  table->AddDimension(OmStringCell("B"));
  for (int i = 0; i < 12; ++i)
    Category(*table, 0, &table->Dimension(0).Root(), OmNumber(i, MakeFormat(2, 5, 0)));
  for (int i = 0; i < 3; ++i)
    Category(*table, 1, &table->Dimension(1).Root(), OmNumber(i, MakeFormat(2, 5, 0)));

  // Stored out of order; 10 sorts after 2 as a number, not as text.
  Number(*table, {10, 0}, 1234.5, MakeFormat(8, 3, 2));
  Number(*table, {2, 1}, kSysmis, MakeFormat(8, 5, 2));
  table->Cell({2, 0}, std::make_unique<OmStringCell>("say \"hi\"\n\ttab\x01").get());
  table->Cell({0, 2}, std::make_unique<OmVariable>("age", "Age in years", OmCellText::kModeBoth).get());
  table->Cell(
      {0, 1},
      std::make_unique<OmNumDataValue>("sex", 1, MakeFormat(1, 5, 0), "Male", OmCellText::kModeLabels).get());
  table->Cell({1, 0}, std::make_unique<OmStringDataValue>("city", "B  ", MakeFormat(3, 1, 0), "Berlin",
                                                          OmCellText::kModeNames)
                          .get());
  OmComposite composite(OmStringCell("^1 of ^2"));
  composite.Add(OmNumber(3, MakeFormat(1, 5, 0)));
  composite.Add(OmStringCell("four"));
  table->Cell({0, 0}, &composite); // never substituted: shown filled all the same

  const int note = table->Footnote(OmFootnote(nullptr, OmStringCell("Note")));
  const OmStringCell star("*");
  const int starred = table->Footnote(OmFootnote(nullptr, OmStringCell("Starred"), &star));
  table->Cell({10, 0})->Footnote(note);
  table->Cell({10, 0})->Footnote(starred);
  table->Cell({10, 0})->addMarker("m1");
  table->Cell({10, 0})->addMarker("m2");
  table->TableTitle().Footnote(starred);

  OmOutputTree tree;
  WithProcedure(tree, std::move(table));
  const Json t = FlatParts(Parse(tree))[1];
  const Json expected = Json::parse(R"([
    {"at": [0, 0], "kind": "composite", "text": "3 of four"},
    {"at": [0, 1], "kind": "value", "text": "Male"},
    {"at": [0, 2], "kind": "variable", "text": "Age in years [age]"},
    {"at": [1, 0], "kind": "value", "text": "B"},
    {"at": [2, 0], "kind": "string", "text": "say \"hi\"\n\ttab\u0001"},
    {"at": [2, 1], "kind": "number", "text": ".", "value": null, "format": [8, 5, 2], "formatName": "F"},
    {"at": [10, 0], "kind": "number", "text": "1,234.50", "value": 1234.5, "format": [8, 3, 2],
     "formatName": "COMMA", "footnotes": [0, 1], "markers": ["m1", "m2"]}])");
  EXPECT_EQ(t["cells"], expected);
  EXPECT_EQ(t["footnotes"],
            Json::parse(R"([{"text": "Note", "marker": null}, {"text": "Starred", "marker": "*"}])"));
  EXPECT_EQ(t["titleFootnotes"], Json::array({1}));
}

// Plain numbers take shortcuts (whole numbers in F above all); the bytes are those of the general path:
// the text as the format shows it, the value in its shortest form ("1e+06" where that is shorter).
TEST(JsonRenderer, PlainNumberLinesByteForByte) {
  auto table = std::make_unique<OmPivotTable>(OmStringCell("Numbers"), OmStringCell("Numbers"), false);
  table->AddDimension(OmStringCell("A"));
  table->AddDimension(OmStringCell("B"));
  for (int d = 0; d < 2; ++d)
    for (int i = 0; i < 3; ++i)
      Category(*table, d, &table->Dimension(d).Root(), OmNumber(i, MakeFormat(2, 5, 0)));
  const struct {
    int a, b;
    double value;
    std::uint32_t format;
    const char* line;
  } cells[] = {
      {0, 0, 12, MakeFormat(8, 5, 0),
       R"({"at":[0,0],"kind":"number","text":"12","value":12,"format":[8,5,0],"formatName":"F"})"},
      {0, 1, -7, MakeFormat(8, 5, 2),
       R"({"at":[0,1],"kind":"number","text":"-7.00","value":-7,"format":[8,5,2],"formatName":"F"})"},
      {0, 2, 1e6, MakeFormat(8, 5, 0),
       R"({"at":[0,2],"kind":"number","text":"1000000","value":1e+06,"format":[8,5,0],"formatName":"F"})"},
      {1, 0, 123456789012345, MakeFormat(17, 5, 1),
       R"({"at":[1,0],"kind":"number","text":"123456789012345.0","value":123456789012345,"format":[17,5,1],"formatName":"F"})"},
      {1, 1, 2.5, MakeFormat(8, 5, 0),
       R"({"at":[1,1],"kind":"number","text":"3","value":2.5,"format":[8,5,0],"formatName":"F"})"},
      {1, 2, 1e15, MakeFormat(8, 5, 0),
       R"({"at":[1,2],"kind":"number","text":"1000000000000000","value":1e+15,"format":[8,5,0],"formatName":"F"})"},
      {2, 0, 1234, MakeFormat(8, 3, 0),
       R"({"at":[2,0],"kind":"number","text":"1,234","value":1234,"format":[8,3,0],"formatName":"COMMA"})"},
      {2, 1, -120, MakeFormat(8, 31, 1),
       R"({"at":[2,1],"kind":"number","text":"-120.0%","value":-120,"format":[8,31,1],"formatName":"PCT"})"},
      {2, 2, 1e20, MakeFormat(8, 5, 0),
       R"({"at":[2,2],"kind":"number","text":"100000000000000000000","value":1e+20,"format":[8,5,0],"formatName":"F"})"},
  };
  for (const auto& c : cells)
    Number(*table, {c.a, c.b}, c.value, c.format);
  OmOutputTree tree;
  WithProcedure(tree, std::move(table));
  const std::string json = omf::render::JsonRenderer().Render(tree);
  for (const auto& c : cells) {
    const std::size_t at = json.find(std::string("\n") + c.line);
    ASSERT_NE(at, std::string::npos) << c.line << "\n" << json;
    const char after = json[at + 1 + std::string_view(c.line).size()];
    EXPECT_TRUE(after == ',' || after == '\n') << c.line; // the whole line, not a prefix of it
  }
}

TEST(JsonRenderer, FootnotesOnDimensionAndNodeLabels) {
  auto table = NestedTable();
  const int a = table->Footnote(OmFootnote(nullptr, OmStringCell("On the dimension")));
  const int b = table->Footnote(OmFootnote(nullptr, OmStringCell("On the group")));
  table->Dimension(0).Label().Footnote(a);
  table->Dimension(0).Root().Child(0).Label().Footnote(b);
  table->Dimension(0).Root().Child(0).Child(1).Label().Footnote(a);
  OmOutputTree tree;
  WithProcedure(tree, std::move(table));
  const Json dim = FlatParts(Parse(tree))[1]["dimensions"][0];
  EXPECT_EQ(dim["footnotes"], Json::array({0}));
  EXPECT_EQ(dim["categories"][0]["footnotes"], Json::array({1}));
  EXPECT_FALSE(dim["categories"][0]["children"][0].contains("footnotes"));
  EXPECT_EQ(dim["categories"][0]["children"][1]["footnotes"], Json::array({0}));
}

TEST(JsonRenderer, EmptyTreeAndTableWithoutCells) {
  OmOutputTree empty;
  EXPECT_EQ(omf::render::JsonRenderer().Render(empty), "{\"omf\":1,\"parts\":[]}\n");

  OmOutputTree tree;
  WithProcedure(tree, std::make_unique<OmPivotTable>(OmStringCell("Empty"), OmStringCell("Notes"), false));
  const Json t = FlatParts(Parse(tree))[1];
  EXPECT_EQ(t["cells"], Json::array());
  EXPECT_EQ(t["dimensions"], Json::array());
  EXPECT_EQ(t["caption"], nullptr);
  EXPECT_EQ(t["corner"], nullptr);

  // Dimensions and categories but no cells; the parts stand one a line.
  OmOutputTree noCells;
  auto table = std::make_unique<OmPivotTable>(OmStringCell("Stats"), OmStringCell("Statistics"), false);
  table->AddDimension(OmStringCell("Statistics"));
  table->AddDimension(OmStringCell("Variables"));
  Category(*table, 0, &table->Dimension(0).Root(), OmStringCell("N"));
  table->Columns().Set(0, 0);
  table->Rows().Set(0, 1);
  WithProcedure(noCells, std::move(table));
  const std::string text = omf::render::JsonRenderer().Render(noCells);
  EXPECT_EQ(text.substr(0, 30), "{\"omf\":1,\"parts\":[\n{\"level\":1,");
  EXPECT_NE(text.find("},\"parts\":[\n{\"level\":2,\"type\":\"table\""), std::string::npos) << text;
  EXPECT_NE(
      text.find("\"index\":0}]},{\"label\":\"Variables\",\"categories\":[]}],\"rows\":[1],\"columns\":[0],"
                "\"layers\":[],\"cells\":[],\"footnotes\":[],\"titleFootnotes\":[]}\n]}\n]}\n"),
      std::string::npos)
      << text;
}
