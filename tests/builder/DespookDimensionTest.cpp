#include <omf/builder/DespookDimension.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>

#include "support/DimensionTrees.h"

using namespace omf;

namespace {

// The repeated tree of a parameter table's term dimension: three categories, two of them in a group.
std::vector<TreeSpec> Terms(const std::string& factor = "Factor", const std::string& last = "f2") {
  return {Leaf("(Constant)"), Group(factor, {Leaf("f1"), Leaf(last)})};
}
constexpr int kTerms = 3;

double Estimate(int imputation, int term, int statistic) {
  return 100 * imputation + 10 * term + statistic;
}

double ValueAt(const OmPivotTable& table, const std::vector<int>& at) {
  const OmCellText* cell = table.Cell(at);
  return cell ? static_cast<const OmNumber*>(cell)->Value() : -1;
}

void Put(OmPivotTable& table, const std::vector<int>& at, double value) {
  table.SetCell(at, OmCellTextPtr(new OmNumber(value, MakeFormat(8, 5, 0))));
}

// Every stored cell by its address.
std::map<std::vector<int>, double> Cells(const OmPivotTable& table) {
  std::map<std::vector<int>, double> cells;
  for (auto it = table.FirstCell(); it; ++it)
    cells[it.At()] = static_cast<const OmNumber*>(it.Cell())->Value();
  return cells;
}

// The subscripts of a node's categories, depth first.
std::vector<int> Subscripts(const OmDimensionNode& node) {
  std::vector<int> out;
  for (const OmDimensionNode* c : node.Dimension()->Categories())
    for (const OmDimensionNode* p = c; p; p = p->Parent())
      if (p == &node) out.push_back(c->Subscript());
  return out;
}

// A parameter table as one model sends it: the term dimension repeats its tree once per imputation,
// and group g holds the cells of imputation g only. The three dimensions stand in the order given.
enum Role { kTerm, kStatistic, kImputation };
struct ParameterTable {
  std::unique_ptr<OmPivotTable> table = EmptyTable();
  std::array<int, 3> index{}; // dimension index of each role

  ParameterTable(std::array<Role, 3> order, int imputations) {
    for (int position = 0; position < 3; ++position) {
      switch (order[position]) {
      case kTerm: {
        std::vector<TreeSpec> groups;
        for (int g = 0; g < imputations; ++g)
          groups.push_back(Group("Imputation " + std::to_string(g + 1), Terms()));
        index[kTerm] = AddDimension(*table, "Parameter", groups);
        break;
      }
      case kStatistic:
        index[kStatistic] = AddDimension(*table, "Statistics", {Leaf("B"), Leaf("Std. Error")});
        break;
      case kImputation: {
        std::vector<TreeSpec> values;
        for (int g = 0; g < imputations; ++g)
          values.push_back(Leaf(std::to_string(g + 1)));
        index[kImputation] = AddDimension(*table, "Imputation", values);
        break;
      }
      }
    }
    for (int g = 0; g < imputations; ++g)
      for (int t = 0; t < kTerms; ++t)
        for (int j = 0; j < 2; ++j)
          Put(*table, At(g * kTerms + t, j, g), Estimate(g, t, j));
  }

  std::vector<int> At(int term, int statistic, int imputation) const {
    std::vector<int> at(3);
    at[static_cast<std::size_t>(index[kTerm])] = term;
    at[static_cast<std::size_t>(index[kStatistic])] = statistic;
    at[static_cast<std::size_t>(index[kImputation])] = imputation;
    return at;
  }
  OmDimensionNode& TermRoot() { return table->Dimension(index[kTerm]).Root(); }
  bool Fold() { return DespookDimension(*table, index[kTerm], index[kStatistic]); }
};

TEST(DespookDimension, IdenticalGroupsFoldIntoTheFirstWhateverTheDimensionOrder) {
  const std::array<Role, 3> orders[] = {
      {kImputation, kTerm, kStatistic}, {kTerm, kStatistic, kImputation}, {kStatistic, kImputation, kTerm},
      {kTerm, kImputation, kStatistic}, {kStatistic, kTerm, kImputation}, {kImputation, kStatistic, kTerm},
  };
  for (const auto& order : orders) {
    SCOPED_TRACE(testing::Message() << "dimension order " << order[0] << order[1] << order[2]);
    ParameterTable p(order, 3);
    p.table->Cell(p.At(4, 1, 1))->Footnote(2);
    ASSERT_TRUE(p.Fold());
    ASSERT_EQ(p.TermRoot().ChildCount(), 1u);
    EXPECT_EQ(ChildLabels(p.TermRoot()), std::vector<std::string>{"Imputation 1"});
    EXPECT_EQ(ChildLabels(p.TermRoot().Child(0)), (std::vector<std::string>{"(Constant)", "Factor"}));
    EXPECT_EQ(Subscripts(p.TermRoot()), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(p.table->CellCount(), 3u * kTerms * 2);
    for (int g = 0; g < 3; ++g)
      for (int t = 0; t < kTerms; ++t)
        for (int j = 0; j < 2; ++j)
          EXPECT_EQ(ValueAt(*p.table, p.At(t, j, g)), Estimate(g, t, j)) << g << t << j;
    const OmCellText* marked = p.table->Cell(p.At(1, 1, 1));
    ASSERT_NE(marked, nullptr);
    EXPECT_EQ(marked->Footnotes(), std::vector<int>{2}); // marks move along
  }
}

TEST(DespookDimension, OneGroupIsAlreadyFolded) {
  ParameterTable p({kTerm, kStatistic, kImputation}, 1);
  const auto before = Cells(*p.table);
  EXPECT_TRUE(p.Fold());
  EXPECT_EQ(p.TermRoot().ChildCount(), 1u);
  EXPECT_EQ(Cells(*p.table), before);
}

TEST(DespookDimension, ADifferenceLeavesTheTableAlone) {
  const struct {
    const char* what;
    std::vector<TreeSpec> second; // the top level of the term dimension after the first group
  } cases[] = {
      {"a label deep down", {Group("Imputation 2", Terms("Factor", "f3"))}},
      {"a group's label", {Group("Imputation 2", Terms("factor"))}},
      {"labels that differ in case only", {Group("Imputation 2", Terms("Factor", "F2"))}},
      {"one category more",
       {Group("Imputation 2", {Leaf("(Constant)"), Group("Factor", {Leaf("f1"), Leaf("f2")}), Leaf("x")})}},
      {"one category fewer", {Group("Imputation 2", {Leaf("(Constant)"), Group("Factor", {Leaf("f1")})})}},
      {"a top-level category", {Group("Imputation 2", Terms()), Leaf("Total")}},
      {"a third group that differs", {Group("Imputation 2", Terms()), Group("Imputation 3", Terms("F"))}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto table = EmptyTable();
    std::vector<TreeSpec> groups = {Group("Imputation 1", Terms())};
    groups.insert(groups.end(), c.second.begin(), c.second.end());
    const int d = AddDimension(*table, "Parameter", groups);
    const int e = AddDimension(*table, "Statistics", {Leaf("B")});
    AddDimension(*table, "Imputation", {Leaf("1"), Leaf("2"), Leaf("3")});
    for (int s = 0; s < table->Size(d); ++s)
      Put(*table, {s, 0, s / kTerms}, s);
    const auto before = Cells(*table);

    EXPECT_FALSE(DespookDimension(*table, d, e));
    EXPECT_EQ(table->Dimension(d).Root().ChildCount(), groups.size());
    EXPECT_EQ(Cells(*table), before);
    std::vector<int> unchanged(static_cast<std::size_t>(table->Size(d)));
    for (int s = 0; s < table->Size(d); ++s)
      unchanged[static_cast<std::size_t>(s)] = s;
    EXPECT_EQ(Subscripts(table->Dimension(d).Root()), unchanged);
  }

  // A dimension whose top level holds a category that is no group.
  auto table = EmptyTable();
  const int d = AddDimension(*table, "Parameter", {Leaf("(Constant)")});
  const int e = AddDimension(*table, "Statistics", {Leaf("B")});
  Put(*table, {0, 0}, 1);
  EXPECT_FALSE(DespookDimension(*table, d, e));
  EXPECT_EQ(ChildLabels(table->Dimension(d).Root()), std::vector<std::string>{"(Constant)"});
  EXPECT_EQ(ValueAt(*table, {0, 0}), 1);
}

TEST(DespookDimension, ACategoryWithoutCellsStopsTheFoldAfterItsGroup) {
  // Group 2's f1 (subscript 4) has no cells: the fold fails, but the rest of group 2 has already moved
  // onto group 1's categories and points at their subscripts; group 3 is never merged.
  ParameterTable p({kTerm, kStatistic, kImputation}, 3);
  p.table->SetCell(p.At(4, 0, 1), nullptr);
  p.table->SetCell(p.At(4, 1, 1), nullptr);

  EXPECT_FALSE(p.Fold());
  ASSERT_EQ(p.TermRoot().ChildCount(), 3u);
  EXPECT_EQ(Subscripts(p.TermRoot().Child(0)), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(Subscripts(p.TermRoot().Child(1)), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(Subscripts(p.TermRoot().Child(2)), (std::vector<int>{6, 7, 8}));
  for (int j = 0; j < 2; ++j) {
    SCOPED_TRACE(j);
    EXPECT_EQ(ValueAt(*p.table, p.At(0, j, 0)), Estimate(0, 0, j)); // the target's own cells stay
    EXPECT_EQ(ValueAt(*p.table, p.At(0, j, 1)), Estimate(1, 0, j)); // moved before f1
    EXPECT_EQ(ValueAt(*p.table, p.At(3, j, 1)), -1);
    EXPECT_EQ(ValueAt(*p.table, p.At(1, j, 1)), -1);                // f1 had nothing to move
    EXPECT_EQ(ValueAt(*p.table, p.At(2, j, 1)), Estimate(1, 2, j)); // moved after f1
    EXPECT_EQ(ValueAt(*p.table, p.At(5, j, 1)), -1);
    EXPECT_EQ(ValueAt(*p.table, p.At(6, j, 2)), Estimate(2, 0, j)); // group 3 untouched
    EXPECT_EQ(ValueAt(*p.table, p.At(2, j, 2)), -1);
  }
}

TEST(DespookDimension, OnlyTheFirstCombinationHoldingACellMoves) {
  // Term, statistic, then two further dimensions A and C (C varies fastest in the numbering of the
  // other combinations: (a0,c0)=0, (a0,c1)=1, (a1,c0)=2). The source category has cells in three
  // combinations; the first by statistic, then by number, is (a0,c1) for B.
  auto table = EmptyTable();
  const int d = AddDimension(*table, "Parameter", {Group("G1", {Leaf("x")}), Group("G2", {Leaf("x")})});
  const int e = AddDimension(*table, "Statistics", {Leaf("B"), Leaf("Std. Error")});
  AddDimension(*table, "A", {Leaf("a0"), Leaf("a1")});
  AddDimension(*table, "C", {Leaf("c0"), Leaf("c1")});
  Put(*table, {0, 0, 0, 0}, 1);
  Put(*table, {0, 1, 0, 0}, 2);
  Put(*table, {1, 1, 0, 0}, 30); // Std. Error in combination 0: found only if statistics were scanned last
  Put(*table, {1, 0, 1, 0}, 40); // B in combination 2
  Put(*table, {1, 0, 0, 1}, 50); // B in combination 1: the one that moves
  Put(*table, {1, 1, 0, 1}, 51);

  ASSERT_TRUE(DespookDimension(*table, d, e));
  EXPECT_EQ(ChildLabels(table->Dimension(d).Root()), std::vector<std::string>{"G1"});
  const std::map<std::vector<int>, double> expected = {
      {{0, 0, 0, 0}, 1}, {{0, 1, 0, 0}, 2}, {{0, 0, 0, 1}, 50}, {{0, 1, 0, 1}, 51}};
  EXPECT_EQ(Cells(*table), expected); // the cells left under the deleted group go with it
}

TEST(DespookDimension, AnEmptyStatisticReachesTheTargetAsAnEmptyCell) {
  // Every statistic of the chosen combination is copied, an empty one included.
  auto table = EmptyTable();
  const int d = AddDimension(*table, "Parameter", {Group("G1", {Leaf("x")}), Group("G2", {Leaf("x")})});
  const int e = AddDimension(*table, "Statistics", {Leaf("B"), Leaf("Std. Error")});
  Put(*table, {0, 0}, 1);
  Put(*table, {0, 1}, 2);
  Put(*table, {1, 0}, 10);
  ASSERT_TRUE(DespookDimension(*table, d, e));
  const std::map<std::vector<int>, double> expected = {{{0, 0}, 10}};
  EXPECT_EQ(Cells(*table), expected);
}

} // namespace
