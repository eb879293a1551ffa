#include <omf/render/HtmlRenderer.h>
#include <omf/render/Limits.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "Trees.h"

using namespace omf;

using namespace render_test;

namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The JSON of the n-th table data block of a page.
nlohmann::json TableData(const std::string& html, std::size_t n = 0) {
  const std::string open = "<script type=\"application/json\" class=\"omf-data\">";
  std::size_t at = 0;
  for (std::size_t k = 0; k <= n; ++k) {
    at = html.find(open, at);
    if (at == std::string::npos) return nullptr;
    at += open.size();
  }
  return nlohmann::json::parse(html.substr(at, html.find("</script>", at) - at));
}

// A prefix and a number, as "r12", built without a temporary on the right of a literal.
std::string Named(const char* prefix, std::size_t n) {
  std::string name = prefix;
  name += std::to_string(n);
  return name;
}

} // namespace

TEST(HtmlRenderer, NestedLabelsSpanAndTextsAreEscaped) {
  auto table = NestedTable();
  table->SetTableTitle(OmStringCell("<b>Stats</b> & \"more\""));
  table->TableTitle().Footnote(table->Footnote(OmFootnote(nullptr, OmStringCell("x < y"))));
  const OmStringCell corner("Corner</script>");
  table->CornerText(&corner);
  OmOutputTree tree;
  WithProcedure(tree, std::move(table));
  const std::string html = omf::render::HtmlRenderer().Render(tree);

  EXPECT_EQ(html.rfind("<!DOCTYPE html>\n<html lang=\"en\">", 0), 0u);
  EXPECT_TRUE(Contains(html, "<meta charset=\"utf-8\">"));
  EXPECT_TRUE(Contains(html, "<caption><span class=\"title\">&lt;b&gt;Stats&lt;/b&gt; &amp; &quot;more&quot;"
                             "<sup>a</sup></span></caption>"));
  EXPECT_TRUE(Contains(html, "<tfoot>\n<tr><td colspan=\"4\"><p class=\"footnote\"><sup>a</sup> x &lt; y</p>"
                             "</td></tr>\n</tfoot>"));
  EXPECT_TRUE(
      Contains(html, "<thead>\n<tr><td class=\"corner\" rowspan=\"2\">Corner&lt;/script&gt;</td>"
                     "<th scope=\"colgroup\" colspan=\"2\">N</th><th scope=\"col\" rowspan=\"2\">Mean</th>"
                     "</tr>\n<tr><th scope=\"col\">Valid</th><th scope=\"col\">Missing</th></tr>\n</thead>"));
  EXPECT_TRUE(Contains(html,
                       "<tr><th scope=\"row\">Income</th><td class=\"num\">1</td><td class=\"num\">11</td>"
                       "<td class=\"num\">21</td></tr>"));
  EXPECT_FALSE(Contains(html, "<b>"));
  // Only the page's own script element closes: no text ends its data block early.
  EXPECT_EQ(TableData(html)["k"], "Corner</script>");
  EXPECT_TRUE(Contains(html, "\\u003c/script\\u003e"));
  EXPECT_TRUE(Contains(html, "</html>\n"));
}

// The page: its title from the first procedure, the outline as nested links to ids on the parts, hidden
// parts in the page but marked, heading levels that never skip, a procedure's title block not repeated
// under its heading, and nothing that asks the network for anything.
TEST(HtmlRenderer, OutlineLinksPartsAndMarksHiddenOnes) {
  OmOutputTree tree;
  const std::size_t root = tree.Append(0, std::make_unique<OmHeading>(OmStringCell("Output")));
  const std::size_t proc = tree.Append(
      root, std::make_unique<OmProcedure>(OmStringCell("Frequencies"), "English", "UTF-8", "en_US"));
  auto title = std::make_unique<OmTextBlock>(OmStringCell("Frequencies"), "UTF-8");
  title->Lines().push_back("Frequencies");
  tree.Append(proc, std::move(title));
  const std::size_t heading = tree.Append(proc, std::make_unique<OmHeading>(OmStringCell("Section")));
  tree.Append(heading, NestedTable());
  auto hidden = std::make_unique<OmTextBlock>(OmStringCell("Notes"), "UTF-8");
  hidden->Lines().push_back("secret line");
  hidden->SetVisible(false);
  tree.Append(proc, std::move(hidden));
  const std::string html = omf::render::HtmlRenderer().Render(tree);

  EXPECT_TRUE(Contains(html, "<title>Frequencies</title>"));
  EXPECT_TRUE(Contains(html,
                       "<ul class=\"tree\">\n<li><button type=\"button\" class=\"tw\" aria-expanded=\"true\" "
                       "aria-label=\"Collapse or expand\"></button><a href=\"#p1\">Output</a>\n<ul>\n"));
  EXPECT_TRUE(Contains(html, "<li class=\"leaf\"><a href=\"#p3\">Frequencies</a></li>\n"));
  EXPECT_TRUE(Contains(
      html, "<li class=\"leaf hidden\"><a href=\"#p6\">Notes</a><span class=\"tag\">hidden part</span>"
            "</li>\n</ul></li>\n</ul></li>\n</ul>\n"));
  for (const char* part :
       {"<div class=\"part heading\" id=\"p1\">\n<h1>Output</h1>",
        "<div class=\"part procedure\" id=\"p2\">\n<h2>Frequencies</h2>",
        "<div class=\"part text\" id=\"p3\">\n</div>",
        "<div class=\"part heading\" id=\"p4\">\n<h3>Section</h3>", "<div class=\"part table\" id=\"p5\">",
        "<div class=\"part text hidden\" id=\"p6\">\n<pre>secret line\n</pre>"})
    EXPECT_TRUE(Contains(html, part)) << part;
  EXPECT_TRUE(Contains(html, "<input type=\"checkbox\" id=\"show-hidden\"> Show hidden parts"));
  for (const char* external : {" src=", " href=\"http", "url(", "@import"})
    EXPECT_FALSE(Contains(html, external)) << external;
}

// Dimensions labelled by variables show their labels: the column dimension's spans its categories,
// the row dimensions' head their label columns; a layer's line names its dimension. The table's data
// block carries the dimensions and the cells in ordinal order (the first dimension slowest), with
// numbers flagged and their marks apart.
TEST(HtmlRenderer, DimensionLabelsLayersAndTheTablesData) {
  auto table = std::make_unique<OmPivotTable>(OmStringCell("Crosstab"), OmStringCell("Crosstab"), false);
  const int region = table->AddDimension(OmVariable("region", "Region", OmCellText::kModeLabels));
  const int sex = table->AddDimension(OmVariable("sex", "Gender", OmCellText::kModeLabels));
  const int age = table->AddDimension(OmVariable("age", "Age group", OmCellText::kModeLabels));
  table->Rows().Set(0, static_cast<short>(region));
  table->Columns().Set(0, static_cast<short>(sex));
  table->Layers().Set(0, static_cast<short>(age));
  OmDimensionNode* group = Group(*table, region, &table->Dimension(region).Root(), OmStringCell("Mainland"));
  Category(*table, region, group, OmStringCell("North"));
  Category(*table, region, group, OmStringCell("South"));
  Category(*table, region, &table->Dimension(region).Root(), OmStringCell("Islands"));
  Category(*table, sex, &table->Dimension(sex).Root(), OmStringCell("Male"));
  Category(*table, sex, &table->Dimension(sex).Root(), OmStringCell("Female"));
  Category(*table, age, &table->Dimension(age).Root(), OmStringCell("Young"));
  Category(*table, age, &table->Dimension(age).Root(), OmStringCell("Old"));
  for (int r = 0; r < 3; ++r)
    for (int g = 0; g < 2; ++g)
      for (int l = 0; l < 2; ++l)
        Number(*table, {r, g, l}, 100 * l + 10 * r + g);
  const int note = table->Footnote(OmFootnote(nullptr, OmStringCell("Small")));
  table->Cell({1, 1, 0})->Footnote(note);
  table->Cell({1, 1, 0})->addMarker("*");
  OmOutputTree tree;
  WithProcedure(tree, std::move(table));
  const std::string html = omf::render::HtmlRenderer().Render(tree);

  EXPECT_TRUE(Contains(html,
                       "<table class=\"layer on\">\n<caption><span class=\"title\">Crosstab</span>"
                       "<span class=\"layer-name\">Age group: Young</span></caption>\n<thead>\n"
                       "<tr><td class=\"corner\" colspan=\"2\"></td><th scope=\"colgroup\" class=\"dim\" "
                       "colspan=\"2\">Gender</th></tr>\n"
                       "<tr><th scope=\"col\" class=\"stub\" colspan=\"2\">Region</th><th scope=\"col\">Male"
                       "</th><th scope=\"col\">Female</th></tr>\n</thead>\n<tbody>\n"
                       "<tr><th scope=\"rowgroup\" rowspan=\"2\">Mainland</th><th scope=\"row\">North</th>"
                       "<td class=\"num\">0</td><td class=\"num\">1</td></tr>\n"
                       "<tr><th scope=\"row\">South</th><td class=\"num\">10</td><td class=\"num\">11"
                       "<span class=\"fn\">*<sup>a</sup></span></td></tr>\n"
                       "<tr><th scope=\"row\" colspan=\"2\">Islands</th>"))
      << html;
  EXPECT_TRUE(Contains(html, "<table class=\"layer\">\n<caption><span class=\"title\">Crosstab</span>"
                             "<span class=\"layer-name\">Age group: Old</span></caption>"));

  const nlohmann::json data = TableData(html);
  ASSERT_TRUE(data.is_object()) << html;
  EXPECT_EQ(data["d"][0]["l"], "Region");
  EXPECT_EQ(data["d"][0]["s"], 1);
  EXPECT_EQ(data["d"][0]["c"],
            nlohmann::json::parse(R"([{"g":"Mainland","c":["North","South"]},"Islands"])"));
  EXPECT_EQ(data["r"], nlohmann::json::parse("[0]"));
  EXPECT_EQ(data["c"], nlohmann::json::parse("[1]"));
  EXPECT_EQ(data["y"], nlohmann::json::parse("[2]"));
  EXPECT_EQ(data["k"], nullptr);
  ASSERT_EQ(data["v"].size(), 12u);
  for (int r = 0; r < 3; ++r)
    for (int g = 0; g < 2; ++g)
      for (int l = 0; l < 2; ++l)
        EXPECT_EQ(data["v"][static_cast<std::size_t>(4 * r + 2 * g + l)],
                  std::to_string(100 * l + 10 * r + g));
  EXPECT_EQ(data["n"], "111111111111");
  EXPECT_EQ(data["f"], nlohmann::json::parse(R"({"6":["*","a"]})"));
}

// A table with more places than a page holds as it opens writes its first rows and says how many; the
// page's script draws the rest from the table's data, which holds every cell.
TEST(HtmlRenderer, LongTablesWriteTheirFirstRows) {
  auto table = std::make_unique<OmPivotTable>(OmStringCell("Long"), OmStringCell("Long"), false);
  const int rows = table->AddDimension(OmStringCell("Rows"));
  const int columns = table->AddDimension(OmStringCell("Columns"));
  table->Rows().Set(0, static_cast<short>(rows));
  table->Columns().Set(0, static_cast<short>(columns));
  constexpr int kRows = 3000;
  for (int r = 0; r < kRows; ++r)
    Category(*table, rows, &table->Dimension(rows).Root(),
             OmStringCell(Named("r", static_cast<std::size_t>(r))));
  Category(*table, columns, &table->Dimension(columns).Root(), OmStringCell("value"));
  for (int r = 0; r < kRows; ++r)
    Number(*table, {r, 0}, r);
  OmOutputTree tree;
  WithProcedure(tree, std::move(table));
  const std::string html = omf::render::HtmlRenderer().Render(tree);

  // Two columns a row: the label and the cell.
  const std::size_t drawn = omf::render::kMaxFirstDrawnPlaces / 2;
  EXPECT_TRUE(Contains(html, Named("<table class=\"layer on\" data-drawn=\"", drawn) + "\">"));
  EXPECT_TRUE(Contains(html, Named("<th scope=\"row\">r", drawn - 1) + "</th>"));
  EXPECT_FALSE(Contains(html, Named("<th scope=\"row\">r", drawn) + "</th>"));
  const nlohmann::json data = TableData(html);
  ASSERT_EQ(data["v"].size(), static_cast<std::size_t>(kRows));
  EXPECT_EQ(data["v"][kRows - 1], std::to_string(kRows - 1));
  EXPECT_TRUE(Contains(html, Named("{\"first\":", omf::render::kMaxFirstDrawnPlaces) + ","));
}
