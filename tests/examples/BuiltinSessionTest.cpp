// The built-in example session plays without error and gives the output a reader expects of it.
#include <gtest/gtest.h>

#include "examples/BuiltinSession.h"
#include "support/FactoryHarness.h"

using omf::testing::CellText;
using omf::testing::Harness;

namespace {

using Strings = std::vector<std::string>;

std::vector<std::string> Labels(const OmDimensionNode& node) {
  std::vector<std::string> out;
  for (const auto& c : node.Children())
    out.push_back(c->Label().AsString());
  return out;
}

TEST(BuiltinSession, PlaysIntoTheExpectedTree) {
  Harness h;
  omf::examples::WriteBuiltinSession(h.w);
  const Strings outline = h.Outline();
  for (const char* part : {"2:Log", "2:Survey 2026", "2:Frequencies", "3:Statistics", "3:Gender", "3:Region",
                           "2:Crosstabs", "3:Region * Gender * Age group", "2:Descriptives"})
    EXPECT_NE(std::find(outline.begin(), outline.end(), part), outline.end()) << part;
  // The request marker line is not logged.
  const auto* log = h.Find<OmTextBlock>("Log");
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(log->Lines().front(), "GET FILE='survey.sav'.");
}

TEST(BuiltinSession, SplitTablesHoldEveryGroupUnderItsSplitValues) {
  Harness h;
  omf::examples::WriteBuiltinSession(h.w);
  OmPivotTable* t = h.Find<OmPivotTable>("Descriptive Statistics");
  ASSERT_NE(t, nullptr);
  // Split dimensions outermost in the rows, the newest split variable first: region, then sex.
  ASSERT_EQ(t->Rows().size(), 3u);
  EXPECT_EQ(t->Dimension(t->Rows()[0]).Label().AsString(), "Region");
  EXPECT_EQ(t->Dimension(t->Rows()[1]).Label().AsString(), "Gender");
  EXPECT_EQ(t->Dimension(t->Rows()[2]).Label().AsString(), "Variables");
  const OmDimension& region = t->Dimension(t->Rows()[0]);
  // Region values arrived South first; later split variables are sorted ascending.
  EXPECT_EQ(Labels(region.Root()), (Strings{"North", "South"}));
  const OmDimension& sex = t->Dimension(t->Rows()[1]);
  EXPECT_EQ(Labels(sex.Root()), (Strings{"Male", "Female"}));
  // Female (subscript 1), North: mean 39.5 at the "Mean" statistic.
  const int stats = t->FindDimension(OmStringCell("Statistics"));
  ASSERT_GE(stats, 0);
  std::vector<int> at(static_cast<std::size_t>(t->NDimensions()), 0);
  const int north = region.Root().Child(0).Subscript();
  at[static_cast<std::size_t>(t->Rows()[1])] = sex.Root().Child(1).Subscript();
  at[static_cast<std::size_t>(t->Rows()[0])] = north;
  for (const auto& c : t->Dimension(stats).Root().Children())
    if (c->Label().AsString() == "Mean") at[static_cast<std::size_t>(stats)] = c->Subscript();
  EXPECT_EQ(CellText(*t, at), "39.50");
}

} // namespace
