// The pooler as the finish step runs it: patterns of the procedure's catalogue rows pool the tables, then
// the display flags decide which imputation categories stay, and a table left with none is dropped.
#include <gtest/gtest.h>

#include "mipool/MiStreams.h"
#include "support/DimensionTrees.h"
#include <omf/mipool/MIPooler.h>

using namespace omf;

namespace {

using namespace omf::fixtures;
using Strings = std::vector<std::string>;

// A Frequencies "Statistics" table over the original data and two imputations, a text block after it and
// a table without imputations.
void PlayFrequencies(Harness& h, const std::string& procedure = "Frequencies") {
  h.Open(procedure);
  MiTable t(h.w, 0, "Statistics", "Statistics", {kImputation, "Statistics"});
  for (int i = 0; i <= 2; ++i) {
    const std::string imp = std::to_string(i);
    t.Cell({imp, "N#Valid"}, 20 + i, omf::stream::WireFormat::Fixed(8, 0));
    t.Cell({imp, "Mean"}, 1.5 + i);
    t.Cell({imp, "Std. Error of Mean"}, 0.25);
  }
  t.End();
  h.w.String(1, "Notes after");
  h.w.TextBlock(1);
  h.w.Text("kept");
  h.Table(1, "Plain", "Plain", {"r"}, {"c"}, {1});
  h.End();
}

TEST(MIPooler, DisplayFlagsKeepOrRemoveImputationCategories) {
  struct Case {
    const char* what;
    bool original, imputations, pooled;
    Strings categories; // of the imputation dimension; empty: the table is dropped
  };
  const std::vector<Case> cases = {
      {"all shown", true, true, true, {"0", "1", "2", "Pooled"}},
      {"original data hidden", false, true, true, {"1", "2", "Pooled"}},
      {"imputations hidden", true, false, true, {"0", "Pooled"}},
      {"pooled hidden: the category just filled goes again", true, true, false, {"0", "1", "2"}},
      {"only pooled", false, false, true, {"Pooled"}},
      {"all hidden", false, false, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MiFlagsReset reset;
    Harness h;
    SetMiFlags(h.w, c.original, c.imputations, c.pooled, true);
    PlayFrequencies(h);
    const auto* table = h.Find<OmPivotTable>("Statistics");
    if (c.categories.empty()) {
      EXPECT_EQ(table, nullptr);
    } else {
      ASSERT_NE(table, nullptr);
      EXPECT_EQ(Labels(*table, kImputation), c.categories);
      EXPECT_EQ(NumberAt(*table, {{kImputation, "Pooled"}, {"Statistics", "Mean"}}).has_value(), c.pooled);
    }
    // Parts after a dropped table, and tables without imputations, stay.
    EXPECT_NE(h.Find<OmTextBlock>("Notes after"), nullptr);
    EXPECT_NE(h.Find<OmPivotTable>("Plain"), nullptr);
  }
}

TEST(MIPooler, ProcedureWithoutCatalogueRowsIsOnlyPruned) {
  for (bool original : {true, false}) {
    MiFlagsReset reset;
    Harness h;
    SetMiFlags(h.w, original, true, true, true);
    PlayFrequencies(h, "Not Pooled");
    const auto* table = h.Find<OmPivotTable>("Statistics");
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(Labels(*table, kImputation), original ? Strings({"0", "1", "2"}) : Strings({"1", "2"}));
  }
}

TEST(MIPooler, PruneWalksGroupsOnlyWhileNothingIsKept) {
  // Imputation categories under groups: leaves anywhere are judged; a group is entered only while the
  // walk has kept nothing, and groups themselves stay.
  auto table = std::make_unique<OmPivotTable>(OmStringCell("T"), OmStringCell("T"), false);
  const int d = table->AddDimension(OmVariable(kImputation, "", OmCellText::kModeNotSet));
  OmDimension& dim = table->Dimension(d);
  const auto value = [](double v) { return OmNumDataValue(kImputation, v, MakeFormat(8, 5, 0), "", {}); };
  OmDimensionNode* first = dim.Child(&dim.Root(), OmStringCell("first"), -1, true);
  dim.Child(first, value(0), dim.Size(), false);
  dim.Child(first, value(1), dim.Size(), false);
  dim.Child(&dim.Root(), value(2), dim.Size(), false);
  OmDimensionNode* second = dim.Child(&dim.Root(), OmStringCell("second"), -1, true);
  dim.Child(second, value(3), dim.Size(), false);
  dim.Child(&dim.Root(), OmStringCell("Pooled"), dim.Size(), false);

  // Original data and pooled hidden: "0" goes, "1" is kept, so the later group is left alone.
  EXPECT_FALSE(OmMIPooler::Prune(*table, d, false, true, false));
  EXPECT_EQ(ChildLabels(dim.Root()), Strings({"first", "2", "second"}));
  EXPECT_EQ(ChildLabels(dim.Root().Child(0)), Strings({"1"}));
  EXPECT_EQ(ChildLabels(dim.Root().Child(2)), Strings({"3"}));

  // Everything hidden: every leaf goes, the emptied groups stay, and the verdict is "nothing left".
  EXPECT_TRUE(OmMIPooler::Prune(*table, d, false, false, false));
  EXPECT_EQ(ChildLabels(dim.Root()), Strings({"first", "second"}));
}

TEST(MIPooler, TwoRowsOfOneTablePoolInCatalogueOrder) {
  // "UNIANOVA" / "Descriptive Statistics" has two identical rows: both pool, the second to the same values.
  MiFlagsReset reset;
  Harness h;
  h.Open("UNIANOVA");
  MiTable t(h.w, 0, "Descriptive Statistics", "Descriptive Statistics", {kImputation, "Group", "Statistics"});
  for (int i = 1; i <= 4; ++i)
    for (const char* g : {"a", "b"}) {
      t.Cell({std::to_string(i), g, "Mean"}, i * 1.0 + (g[0] == 'b'));
      t.Cell({std::to_string(i), g, "N"}, 10 + i % 2, omf::stream::WireFormat::Fixed(8, 0));
    }
  t.End();
  h.End();
  const auto* table = h.Find<OmPivotTable>("Descriptive Statistics");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(NumberAt(*table, {{kImputation, "Pooled"}, {"Group", "a"}, {"Statistics", "Mean"}}), 2.5);
  EXPECT_EQ(NumberAt(*table, {{kImputation, "Pooled"}, {"Group", "b"}, {"Statistics", "Mean"}}), 3.5);
  EXPECT_EQ(NumberAt(*table, {{kImputation, "Pooled"}, {"Group", "b"}, {"Statistics", "N"}}), 10.5);
  EXPECT_EQ(Labels(*table, kImputation), Strings({"1", "2", "3", "4", "Pooled"}));
}

// A table of two long but sparse dimensions would have its patterns walk 10^8 positions per imputation:
// it is left unpooled with a title footnote, and the factory goes on.
TEST(MIPooler, TablesTooLargeToPoolAreLeftWithAFootnote) {
  MiFlagsReset reset;
  Harness h;
  h.Open("Frequencies");
  h.w.String(1, "Frequencies");
  h.w.String(2, "Frequencies");
  h.w.TableBegin(0, 1, 2);
  for (const char* dim : {"A", "B"})
    for (int k = 0; k < 10000; ++k) {
      h.w.String(1, std::to_string(k));
      h.w.String(2, dim);
      h.w.Category(0, 1, 2);
    }
  MiTable t(h.w, 0, "Frequencies", "Frequencies", {"A", "B", kImputation, "Statistics"});
  t.Cell({"0", "0", "1", "Frequency"}, 3);
  t.Cell({"0", "0", "2", "Frequency"}, 4);
  t.End();
  h.End();
  const auto* table = h.Find<OmPivotTable>("Frequencies");
  ASSERT_NE(table, nullptr);
  EXPECT_FALSE(
      NumberAt(*table, {{"A", "0"}, {"B", "0"}, {kImputation, "Pooled"}, {"Statistics", "Frequency"}}));
  std::vector<std::string> notes;
  for (int i : table->TableTitle().Footnotes())
    notes.push_back(table->Footnotes()[static_cast<std::size_t>(i)].text->AsString());
  EXPECT_EQ(notes, Strings{"Not pooled: the table has too many cells to pool."});
  EXPECT_TRUE(h.PlayValidProcedure("After"));
}

// Hiding the imputations of a table with 100,000 of them removes them all in one sweep.
TEST(MIPooler, HidingManyImputationsRemovesThemTogether) {
  MiFlagsReset reset;
  Harness h;
  SetMiFlags(h.w, true, false, true, true);
  h.Open("Not Pooled");
  MiTable t(h.w, 0, "Many", "Many", {kImputation, "Statistics"});
  for (int i = 0; i <= 100000; ++i)
    t.Cell({std::to_string(i), "Mean"}, i);
  t.End();
  h.End();
  const auto* table = h.Find<OmPivotTable>("Many");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(Labels(*table, kImputation), Strings{"0"});
  EXPECT_EQ(table->CellCount(), 1u);
}

} // namespace
