#include <omf/render/TextRenderer.h>

#include <gtest/gtest.h>

#include "Trees.h"
#include <omf/render/FootnoteMarks.h>

using namespace omf;

using namespace render_test;

namespace {

std::string Text(const OmOutputTree& tree) {
  return omf::render::TextRenderer().Render(tree);
}

// The rendering of the one table of a tree built by WithProcedure: everything after the procedure's title.
std::string TablePart(std::unique_ptr<OmPivotTable> table, const std::string& codePage = "UTF-8") {
  OmOutputTree tree;
  WithProcedure(tree, std::move(table), codePage);
  const std::string all = Text(tree);
  const std::string rule = "===========\n\n";
  return all.substr(all.find(rule) + rule.size());
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

} // namespace

TEST(TextRenderer, NestedColumnLabelsCornerCaptionAndFootnotes) {
  auto table = NestedTable();
  const OmStringCell corner("Variable"), caption("Weighted.");
  table->CornerText(&corner);
  table->Caption(&caption);
  table->TableTitle().Footnote(table->Footnote(OmFootnote(nullptr, OmStringCell("On the title"))));
  EXPECT_EQ(TablePart(std::move(table)), "Stats[a]\n"
                                         "+----------+-----------------+------+\n"
                                         "| Variable |        N        | Mean |\n"
                                         "|          +-------+---------+      |\n"
                                         "|          | Valid | Missing |      |\n"
                                         "+==========+=======+=========+======+\n"
                                         "| Age      |     0 |      10 |   20 |\n"
                                         "+----------+-------+---------+------+\n"
                                         "| Income   |     1 |      11 |   21 |\n"
                                         "+----------+-------+---------+------+\n"
                                         "Weighted.\n"
                                         "a. On the title\n");
}

TEST(TextRenderer, SeveralDimensionsNestFirstListedOutermost) {
  auto t = std::make_unique<OmPivotTable>(OmStringCell("Cross"), OmStringCell("Cross"), false);
  const int stat = t->AddDimension(OmStringCell("Stat")); // placed nowhere: stands on the rows, last
  const int sex = t->AddDimension(OmStringCell("Sex"));
  const int year = t->AddDimension(OmStringCell("Year"));
  const int region = t->AddDimension(OmStringCell("Region"));
  t->Columns().Set(0, static_cast<short>(sex));
  t->Columns().Set(1, static_cast<short>(year));
  t->Rows().Set(0, static_cast<short>(region));
  Category(*t, sex, &t->Dimension(sex).Root(), OmStringCell("M"));
  Category(*t, sex, &t->Dimension(sex).Root(), OmStringCell("F"));
  Category(*t, year, &t->Dimension(year).Root(), OmNumber(2020, MakeFormat(4, 5, 0)));
  Category(*t, year, &t->Dimension(year).Root(), OmNumber(2021, MakeFormat(4, 5, 0)));
  OmDimensionNode* north = Group(*t, region, &t->Dimension(region).Root(), OmStringCell("North"));
  Category(*t, region, north, OmStringCell("Oslo"));
  Category(*t, region, north, OmStringCell("Bergen"));
  Category(*t, region, &t->Dimension(region).Root(), OmStringCell("Elsewhere"));
  Category(*t, stat, &t->Dimension(stat).Root(), OmStringCell("Count"));
  Category(*t, stat, &t->Dimension(stat).Root(), OmStringCell("Row %"));
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b)
      for (int c = 0; c < 3; ++c)
        for (int d = 0; d < 2; ++d)
          Number(*t, {d, a, b, c}, a * 1000 + b * 100 + c * 10 + d);
  Number(*t, {0, 0, 0, 0}, -5); // right-aligned like every number

  EXPECT_EQ(TablePart(std::move(t)), "Cross\n"
                                     "+------------------------+-------------+-------------+\n"
                                     "|                        |      M      |      F      |\n"
                                     "|                        +------+------+------+------+\n"
                                     "|                        | 2020 | 2021 | 2020 | 2021 |\n"
                                     "+=======+========+=======+======+======+======+======+\n"
                                     "| North | Oslo   | Count |   -5 |  100 | 1000 | 1100 |\n"
                                     "|       |        +-------+------+------+------+------+\n"
                                     "|       |        | Row % |    1 |  101 | 1001 | 1101 |\n"
                                     "|       +--------+-------+------+------+------+------+\n"
                                     "|       | Bergen | Count |   10 |  110 | 1010 | 1110 |\n"
                                     "|       |        +-------+------+------+------+------+\n"
                                     "|       |        | Row % |   11 |  111 | 1011 | 1111 |\n"
                                     "+-------+--------+-------+------+------+------+------+\n"
                                     "| Elsewhere      | Count |   20 |  120 | 1020 | 1120 |\n"
                                     "|                +-------+------+------+------+------+\n"
                                     "|                | Row % |   21 |  121 | 1021 | 1121 |\n"
                                     "+----------------+-------+------+------+------+------+\n");
}

TEST(TextRenderer, OneGridPerLayerCategoryNamedAbove) {
  auto table = NestedTable();
  const int sex = table->AddDimension(OmStringCell("Sex"));
  table->Layers().Set(0, static_cast<short>(sex));
  Category(*table, sex, &table->Dimension(sex).Root(),
           OmNumDataValue("sex", 1, MakeFormat(1, 5, 0), "Male", OmCellText::kModeLabels));
  Category(*table, sex, &table->Dimension(sex).Root(),
           OmNumDataValue("sex", 2, MakeFormat(1, 5, 0), "Female", OmCellText::kModeLabels));
  Number(*table, {2, 1, 1}, 777); // only in the second layer
  const std::string text = TablePart(std::move(table));
  const std::size_t male = text.find("Sex: Male\n"), female = text.find("Sex: Female\n");
  ASSERT_NE(male, std::string::npos);
  ASSERT_NE(female, std::string::npos);
  EXPECT_LT(male, female);
  EXPECT_TRUE(Contains(text.substr(male, female - male), "|   21 |")); // cells without a layer subscript: 0
  EXPECT_FALSE(Contains(text.substr(male, female - male), "777"));
  EXPECT_TRUE(Contains(text.substr(female), "| Income |       |         |  777 |"));
}

// A dimension labelled by a variable shows its label: a column dimension's over its categories, a row
// dimension's heading its label columns under the corner; dimensions labelled otherwise do not.
TEST(TextRenderer, VariableDimensionsShowTheirLabels) {
  const struct {
    bool rowVariable, columnVariable, corner;
    const char* expected;
  } cases[] = {
      {false, false, false,
       "+----+---+---+\n"
       "|    | a | b |\n"
       "+====+===+===+\n"
       "| r1 | 1 | 2 |\n"},
      {true, true, false,
       "+------+---------+\n"
       "|      | Columns |\n"
       "+------+----+----+\n"
       "| Rows | a  | b  |\n"
       "+======+====+====+\n"
       "| r1   |  1 |  2 |\n"},
      {true, false, true,
       "+--------+---+---+\n"
       "| Corner |   |   |\n"
       "+--------+---+---+\n"
       "| Rows   | a | b |\n"
       "+========+===+===+\n"
       "| r1     | 1 | 2 |\n"},
      {false, true, false,
       "+----+---------+\n"
       "|    | Columns |\n"
       "|    +----+----+\n"
       "|    | a  | b  |\n"
       "+====+====+====+\n"
       "| r1 |  1 |  2 |\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    auto table = std::make_unique<OmPivotTable>(OmStringCell("T"), OmStringCell("T"), false);
    const auto label = [](bool variable, const char* name) -> std::unique_ptr<OmCellText> {
      if (variable) return std::make_unique<OmVariable>(name, name, OmCellText::kModeLabels);
      return std::make_unique<OmStringCell>(name);
    };
    const int rows = table->AddDimension(*label(c.rowVariable, "Rows"));
    const int columns = table->AddDimension(*label(c.columnVariable, "Columns"));
    table->Rows().Set(0, static_cast<short>(rows));
    table->Columns().Set(0, static_cast<short>(columns));
    Category(*table, rows, &table->Dimension(rows).Root(), OmStringCell("r1"));
    Category(*table, columns, &table->Dimension(columns).Root(), OmStringCell("a"));
    Category(*table, columns, &table->Dimension(columns).Root(), OmStringCell("b"));
    Number(*table, {0, 0}, 1);
    Number(*table, {0, 1}, 2);
    const OmStringCell corner("Corner");
    if (c.corner) table->CornerText(&corner);
    const std::string text = TablePart(std::move(table));
    EXPECT_TRUE(Contains(text, c.expected)) << text;
  }
}

TEST(TextRenderer, FootnoteLettersFollowTheListAndSkipUnreferred) {
  auto table = NestedTable();
  const auto add = [&](const char* text, const OmCellText* marker = nullptr) {
    return table->Footnote(OmFootnote(nullptr, OmStringCell(text), marker), true);
  };
  const OmStringCell dagger("\xE2\x80\xA0");
  const short unreferred = add("Nobody refers to me");
  const short onCell = add("On a cell");
  const short own = add("With its own marker", &dagger);
  const short onCaption = add("On the caption");
  const short removed = add("Removed again");
  const short onDimension = add("On a dimension label, which is not drawn");
  const short onGroup = add("On a group");
  const OmStringCell caption("Caption");
  table->Caption(&caption);
  table->Caption()->Footnote(onCaption);
  table->Cell({1, 1})->Footnote(onGroup); // a cell can refer to a footnote listed later
  table->Cell({1, 1})->Footnote(onCell);
  table->Cell({1, 1})->Footnote(onCell);
  table->TableTitle().Footnote(own);
  table->TableTitle().Footnote(removed);
  table->TableTitle().RemoveFootnote(removed);
  table->Dimension(1).Label().Footnote(onDimension);
  table->Dimension(0).Root().Child(0).Label().Footnote(onGroup);
  (void)unreferred;

  const std::string text = TablePart(std::move(table));
  EXPECT_TRUE(Contains(text, "Stats[\xE2\x80\xA0]\n"));
  EXPECT_TRUE(Contains(text, "|      N[c]       |")) << text;
  EXPECT_TRUE(Contains(text, "| 11[c,a] |"));
  EXPECT_TRUE(Contains(text, "\nCaption[b]\n"
                             "a. On a cell\n"
                             "\xE2\x80\xA0. With its own marker\n"
                             "b. On the caption\n"
                             "c. On a group\n"));
  EXPECT_FALSE(Contains(text, "Nobody"));
  EXPECT_FALSE(Contains(text, "Removed"));
  EXPECT_FALSE(Contains(text, "dimension label"));
}

TEST(TextRenderer, MarkersAfterTheTextBeforeTheMarks) {
  auto table = NestedTable();
  table->Cell({0, 0})->addMarker("*");
  table->Cell({0, 0})->addMarker("**");
  table->Cell({0, 0})->Footnote(table->Footnote(OmFootnote(nullptr, OmStringCell("Note"))));
  table->Dimension(1).Root().Child(1).Label().addMarker("!");
  const std::string text = TablePart(std::move(table));
  EXPECT_TRUE(Contains(text, "| 0*,**[a] |"));
  EXPECT_TRUE(Contains(text, "| Income! |"));
}

TEST(TextRenderer, FootnoteLettersAfterZ) {
  const struct {
    std::size_t n;
    const char* mark;
  } cases[] = {{0, "a"},   {1, "b"},   {25, "z"},   {26, "aa"},  {27, "ab"},
               {51, "az"}, {52, "ba"}, {701, "zz"}, {702, "aaa"}};
  for (const auto& c : cases)
    EXPECT_EQ(omf::render::FootnoteMarks::Letter(c.n), c.mark) << c.n;
}

TEST(TextRenderer, TextsShowInUtf8WhateverTheirCodePage) {
  // A table holds its procedure's texts, so it is read in the procedure's code page.
  auto table = NestedTable();
  table->Dimension(1).Root().Child(0).SetLabel(CloneText(OmStringCell("Gr\xF6\xDF"
                                                                      "e")));
  const std::string text = TablePart(std::move(table), "windows-1252");
  EXPECT_TRUE(Contains(text, "| Gr\xC3\xB6\xC3\x9F"
                             "e  |")); // four characters wide, so padded like "Income" minus two
  EXPECT_TRUE(Contains(text, "+========+"));

  OmOutputTree tree;
  auto block = std::make_unique<OmTextBlock>(OmStringCell("Text"), "windows-1252");
  block->Lines().push_back("Caf\xE9 \x80");
  WithProcedure(tree, std::move(block));
  EXPECT_TRUE(Contains(Text(tree), "\nCaf\xC3\xA9 \xE2\x82\xAC\n"));
}

TEST(TextRenderer, OutlineMarksHiddenPartsWhichAreNotShown) {
  OmOutputTree tree;
  const std::size_t table = WithProcedure(tree, NestedTable());
  auto notes = std::make_unique<OmPivotTable>(OmStringCell("Notes"), OmStringCell("Notes"), false);
  notes->SetVisible(false);
  const std::size_t hidden = tree.Append(tree.Parent(table), std::move(notes));
  auto log = std::make_unique<OmTextBlock>(OmStringCell("Log"), "UTF-8", true);
  log->Lines() = {"FREQUENCIES age.", "EXECUTE."};
  tree.Append(hidden, std::move(log));
  auto heading = std::make_unique<OmHeading>(OmStringCell("Section"));
  heading->Footnotes().emplace_back(nullptr, OmStringCell("About the section"));
  heading->Title().Footnote(0);
  tree.Append(0, std::move(heading));
  tree.Append(0, std::make_unique<OmTextBlock>(OmStringCell("Output Missing"), "UTF-8"));
  auto chart = std::make_unique<OmChart>(OmStringCell("Pie"), "UTF-8");
  const char bytes[3] = {1, 2, 3};
  chart->SetContent(4, bytes, 3);
  tree.Append(0, std::move(chart));
  auto page = std::make_unique<OmPageTitle>("UTF-8");
  page->AddLine("Page title");
  tree.Append(0, std::move(page));

  const std::string text = Text(tree);
  EXPECT_EQ(text.substr(0, text.find("\n\n")), "Outline\n"
                                               "Frequencies\n"
                                               "  Stats\n"
                                               "  Notes [hidden]\n"
                                               "    Log\n"
                                               "Section\n"
                                               "Output Missing\n"
                                               "Pie\n"
                                               "Page title");
  EXPECT_FALSE(Contains(text, "\nNotes\n"));
  EXPECT_TRUE(Contains(text, "\nFREQUENCIES age.\nEXECUTE.\n")); // a visible part under a hidden one
  EXPECT_TRUE(Contains(text, "\nSection[a]\n----------\na. About the section\n"));
  EXPECT_TRUE(Contains(text, "\nOutput Missing\n")); // a block without lines shows its title
  EXPECT_TRUE(Contains(text, "\nChart: Pie\n  content slot 4: 3 bytes\n"));
  EXPECT_TRUE(Contains(text, "\nPage title\n"));
}

TEST(TextRenderer, UnusualTables) {
  // A dimension without categories takes one place; a composite shows filled; texts stay on one line.
  auto table = std::make_unique<OmPivotTable>(OmStringCell("Odd"), OmStringCell("Odd"), false);
  table->AddDimension(OmStringCell("Empty"));
  const int d = table->AddDimension(OmStringCell("Columns"));
  table->Columns().Set(0, static_cast<short>(d));
  Category(*table, d, &table->Dimension(d).Root(), OmStringCell("Line\nbreak"));
  OmComposite composite(OmStringCell("^1 cases"));
  composite.Add(OmNumber(12, MakeFormat(2, 5, 0)));
  table->Cell({0, 0}, &composite);
  EXPECT_EQ(TablePart(std::move(table)), "Odd\n"
                                         "+------------+\n"
                                         "| Line break |\n"
                                         "+============+\n"
                                         "| 12 cases   |\n"
                                         "+------------+\n");

  auto bare = std::make_unique<OmPivotTable>(OmStringCell("Bare"), OmStringCell("Bare"), false);
  const OmStringCell corner("Corner");
  bare->CornerText(&corner);
  Number(*bare, {}, 1);
  EXPECT_EQ(TablePart(std::move(bare)), "Bare\n"
                                        "+--------+---+\n"
                                        "| Corner |   |\n"
                                        "+========+===+\n"
                                        "|        | 1 |\n"
                                        "+--------+---+\n");
}

TEST(TextRenderer, TablesReadTheCodePageOfTheNearestProcedureAbove) {
  OmOutputTree tree;
  const auto table = [](const char* label) {
    auto t = std::make_unique<OmPivotTable>(OmStringCell("T"), OmStringCell("T"), false);
    const int d = t->AddDimension(OmStringCell("D"));
    Category(*t, d, &t->Dimension(d).Root(), OmStringCell(label));
    return t;
  };
  const std::size_t western =
      tree.Append(0, std::make_unique<OmProcedure>(OmStringCell("One"), "English", "windows-1252", "en_US"));
  const std::size_t heading = tree.Append(western, std::make_unique<OmHeading>(OmStringCell("Section")));
  tree.Append(heading, table("Gr\xF6\xDF"
                             "e"));
  const std::size_t unicode =
      tree.Append(0, std::make_unique<OmProcedure>(OmStringCell("Two"), "English", "UTF-8", "en_US"));
  tree.Append(unicode, table("Gr\xC3\xB6\xC3\x9F"
                             "e"));
  const std::string text = Text(tree);
  const std::string shown = "| Gr\xC3\xB6\xC3\x9F"
                            "e |";
  const std::size_t first = text.find(shown);
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_NE(text.find(shown, first + 1), std::string::npos) << text;
}

// A layer dimension whose root carries both the node mark and the second flag (the bootstrap split left
// with its observed sample) gets no layer line; one flag alone does not hide it.
TEST(TextRenderer, LayersMarkedHiddenGetNoLayerLine) {
  for (const bool both : {true, false}) {
    SCOPED_TRACE(both);
    auto table = NestedTable();
    const int split = table->AddDimension(OmStringCell("Split"));
    table->Layers().Set(0, static_cast<short>(split));
    Category(*table, split, &table->Dimension(split).Root(), OmStringCell("0"));
    table->Dimension(split).Root().SetMark(true);
    table->Dimension(split).Root().SetSecondFlag(both);
    const std::string text = TablePart(std::move(table));
    EXPECT_EQ(Contains(text, "Split: 0\n"), !both) << text;
    EXPECT_TRUE(Contains(text, "|   21 |")) << text;
  }
}
