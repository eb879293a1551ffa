// Display modes and the output language through the factory: variables and values take the setting in
// force where they are placed (outline or table), cells with a mode of their own keep it, and "OLANG"
// translates the procedures that follow.
#include <gtest/gtest.h>

#include "support/FactoryHarness.h"
#include <omf/selection/OMSObjectSelector.h>
#include <omf/selection/OMSSelector.h>

using namespace omf;

using omf::fixtures::Harness;
using omf::stream::WireFormat;

namespace {

using Strings = std::vector<std::string>;

// A table whose outline label is the variable `outline` and whose one category is the variable "income" or
// a value of "sex".
void VariableTable(Harness& h, std::uint8_t tcid, int modeCode, bool value = false,
                   const std::string& outline = "income") {
  h.w.Variable(1, outline, "Household income", modeCode);
  h.w.String(2, "X");
  h.w.TableBegin(tcid, 1, 2);
  if (value)
    h.w.NumValue(1, "sex", 1, WireFormat::Fixed(4, 0), "Male", modeCode);
  else
    h.w.Variable(1, "income", "Household income", modeCode);
  h.w.String(2, "Variables");
  h.w.Category(tcid, 1, 2);
  h.w.Number(3, 1, WireFormat::Fixed(4, 0));
  h.w.String(4, "N");
  h.w.String(5, "Statistics");
  h.w.CellDimension(tcid, 5);
  h.w.Cell(tcid, 3, 4);
  h.w.TableEnd(tcid);
}

std::string CategoryOf(const OmPivotTable& t) {
  const int d = t.FindDimension(OmStringCell("Variables"));
  return t.Dimension(d).Root().Child(0).Label().AsString();
}

TEST(Display, TablesFollowTheTableSettingsAndTheOutlineItsOwn) {
  Harness h;
  h.w.Display("TVARS", "Both");
  h.w.Display("OVARS", "Names");
  h.Open("Descriptives");
  VariableTable(h, 0, omf::stream::kModeUnset); // display-mode code 2: the setting decides
  h.w.Display("TVARS", "Labels");
  h.w.Display("OVARS", "Labels");
  h.End();
  const auto* t = dynamic_cast<const OmPivotTable*>(h.tree.Part(4));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Title().AsString(), "income");                         // outline: names
  EXPECT_EQ(CategoryOf(*t), "Household income [income]");             // table: both
  EXPECT_EQ(t->TableTitle().AsString(), "Household income [income]"); // the table title is a table text
  const auto* procedure = dynamic_cast<const OmProcedure*>(h.tree.Part(2));
  ASSERT_NE(procedure, nullptr);
  EXPECT_EQ(procedure->TableVarMode(), OmCellText::kModeLabels); // the settings at the finish
}

TEST(Display, CellsWithTheirOwnModeKeepIt) {
  Harness h;
  h.w.Display("TVARS", "Names");
  h.Open("Descriptives");
  VariableTable(h, 0, omf::stream::kModeLabels); // display-mode code 1: labels whatever the settings
  h.End();
  const auto* t = h.Find<OmPivotTable>("Household income");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(CategoryOf(*t), "Household income");
}

TEST(Display, ChangingValueModesBetweenTablesGivesThemDifferentModes) {
  Harness h;
  h.Open("Frequencies");
  h.w.Display("TNUMBERS", "Values");
  VariableTable(h, 0, omf::stream::kModeUnset, true);
  h.w.Display("TNUMBERS", "Both");
  VariableTable(h, 1, omf::stream::kModeUnset, true, "other"); // a second table, another outline label
  h.End();
  EXPECT_EQ(CategoryOf(*dynamic_cast<const OmPivotTable*>(h.tree.Part(4))), "1");
  EXPECT_EQ(CategoryOf(*dynamic_cast<const OmPivotTable*>(h.tree.Part(5))), "1 Male");
}

TEST(Display, OutputLanguageTranslatesLaterProceduresAndSelectionMatchesTranslatedTitles) {
  // A request for tables labelled with the German title keeps the table.
  std::vector<OMSObjectSelector> requests(1);
  requests[0].SelectType(16);
  OMSSelector label;
  label.AddNames("Statistiken");
  requests[0].AddIfOption(label);
  Harness h(requests);
  h.w.Display("OLANG", "German");
  h.Open("Frequencies");
  h.Table(0, "Statistics", "Statistics", {"Mean"}, {"Value"}, {2});
  h.Table(0, "Other", "Other", {"Mean"}, {"Value"}, {2});
  h.End();
  const Strings outline = h.Outline();
  ASSERT_EQ(outline.size(), 3u);
  EXPECT_EQ(outline[2], "3:Statistiken");
  const auto* t = dynamic_cast<const OmPivotTable*>(h.tree.Part(3));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Dimension(t->FindDimension(OmStringCell("Rows"))).Root().Child(0).Label().AsString(),
            "Mittelwert");
}

} // namespace
