#include <omf/procedure/ProcedureFactory.h>

#include <gtest/gtest.h>

#include "support/DimensionTrees.h"

using namespace omf;

namespace {

constexpr std::int32_t kAscending = OmDimensionNode::kSortAscending;
constexpr std::int32_t kDescending = OmDimensionNode::kSortDescending;
constexpr std::int32_t kArrival = OmDimensionNode::kSortNone;

std::shared_ptr<const OmCellText> Number(double value) {
  return Shared(new OmNumber(value, MakeFormat(8, 5, 0)));
}
std::shared_ptr<const OmCellText> Value(double value, const std::string& label) {
  return Shared(new OmNumDataValue("v", value, MakeFormat(8, 5, 0), label, OmCellText::kModeLabels));
}

// The display order of a node's children, groups with theirs in parentheses: "z(y x S(p q)) a".
std::string Outline(const OmDimensionNode& node) {
  std::string out;
  for (std::size_t i = 0; i < node.ChildCount(); ++i) {
    const OmDimensionNode& child = node.Child(i);
    if (i) out += ' ';
    out += child.Label().AsString();
    if (child.IsGroup()) out += '(' + Outline(child) + ')';
  }
  return out;
}

std::string CellOf(const OmDimensionNode& category) {
  return "cell of " + category.Label().AsString();
}

// Gives every category of a one-dimensional table a cell naming it.
void FillCells(OmPivotTable& table, const OmDimensionNode& node) {
  for (std::size_t i = 0; i < node.ChildCount(); ++i) {
    const OmDimensionNode& child = node.Child(i);
    if (child.IsGroup())
      FillCells(table, child);
    else
      table.SetCell({child.Subscript()}, OmCellTextPtr(new OmStringCell(CellOf(child))));
  }
}

// Every child points at its parent, and every category still finds its own cell.
void ExpectAttached(const OmPivotTable& table, const OmDimensionNode& node) {
  for (std::size_t i = 0; i < node.ChildCount(); ++i) {
    const OmDimensionNode& child = node.Child(i);
    EXPECT_EQ(child.Parent(), &node) << child.Label().AsString();
    if (child.IsGroup()) {
      ExpectAttached(table, child);
    } else {
      const OmCellText* cell = table.Cell({child.Subscript()});
      ASSERT_NE(cell, nullptr) << child.Label().AsString();
      EXPECT_EQ(cell->AsString(), CellOf(child));
    }
  }
}

TEST(Sorting, DimensionsAndGroupsBySortMode) {
  const struct {
    const char* what;
    std::int32_t rootMode;
    std::vector<TreeSpec> tree;
    std::string locale;
    std::string expected;
  } cases[] = {
      {"descending", kDescending, {Leaf("b"), Leaf("a"), Leaf("c")}, "", "c b a"},
      {"ascending", kAscending, {Leaf("b"), Leaf("a"), Leaf("c")}, "", "a b c"},
      {"arrival order", kArrival, {Leaf("b"), Leaf("a"), Leaf("c")}, "", "b a c"},
      {"an unknown mode keeps arrival order", 7, {Leaf("b"), Leaf("a"), Leaf("c")}, "", "b a c"},
      {"a subgroup is sorted below a group that keeps its order",
       kArrival,
       {WithSortMode(
            Group("z", {Leaf("y"), Leaf("x"), WithSortMode(Group("S", {Leaf("q"), Leaf("p")}), kAscending)}),
            kArrival),
        Leaf("a")},
       "",
       "z(y x S(p q)) a"},
      {"groups move with their children, which keep their order",
       kAscending,
       {Group("G2", {Leaf("d"), Leaf("c")}), Leaf("G3"), Group("G1", {Leaf("b"), Leaf("a")})},
       "",
       "G1(b a) G2(d c) G3"},
      {"numbers by value",
       kAscending,
       {Leaf(Number(10)), Leaf(Number(9)), Leaf(Number(100))},
       "",
       "9 10 100"},
      {"data values by value, not by their labels",
       kAscending,
       {Leaf(Value(2, "two")), Leaf(Value(10, "ten")), Leaf(Value(-1, "minus one"))},
       "",
       "minus one two ten"},
      {"numbers before texts", kAscending, {Leaf("a"), Leaf(Number(5))}, "", "5 a"},
      {"numbers after texts, descending", kDescending, {Leaf(Number(5)), Leaf("a")}, "", "a 5"},
      {"texts by the collation of the table's locale",
       kAscending,
       {Leaf("Zitronen"), Leaf("Birnen"), Leaf("Äpfel")},
       "de",
       "Äpfel Birnen Zitronen"},
      {"a locale whose alphabet ends with Ä",
       kAscending,
       {Leaf("Zitronen"), Leaf("Birnen"), Leaf("Äpfel")},
       "sv",
       "Birnen Zitronen Äpfel"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto table = EmptyTable();
    table->TableLocale(c.locale);
    const int d = AddDimension(*table, "Dimension", c.tree);
    table->Dimension(d).Root().SetSortMode(c.rootMode);
    FillCells(*table, table->Dimension(d).Root());
    OmFactorySorter sorter;
    table->Accept(sorter);
    EXPECT_EQ(Outline(table->Dimension(d).Root()), c.expected);
    ExpectAttached(*table, table->Dimension(d).Root());
  }
}

TEST(Sorting, EveryDimensionByItsOwnModeWithCellsAttached) {
  auto table = EmptyTable();
  AddDimension(*table, "Rows", {Leaf("b"), Leaf("a"), Leaf("c")});
  AddDimension(*table, "Columns", {Leaf("y"), Leaf("z"), Leaf("x")});
  table->Dimension(0).Root().SetSortMode(kDescending);
  table->Dimension(1).Root().SetSortMode(kAscending);
  const OmDimensionNode& rows = table->Dimension(0).Root();
  const OmDimensionNode& columns = table->Dimension(1).Root();
  // Each cell names its row and column: "by".
  const auto at = [&](std::size_t r, std::size_t c) {
    return std::vector<int>{rows.Child(r).Subscript(), columns.Child(c).Subscript()};
  };
  const auto labels = [&](std::size_t r, std::size_t c) {
    return rows.Child(r).Label().AsString() + columns.Child(c).Label().AsString();
  };
  for (std::size_t r = 0; r < 3; ++r)
    for (std::size_t c = 0; c < 3; ++c)
      table->SetCell(at(r, c), OmCellTextPtr(new OmStringCell(labels(r, c))));

  OmFactorySorter sorter;
  table->Accept(sorter);
  EXPECT_EQ(Outline(rows), "c b a");
  EXPECT_EQ(Outline(columns), "x y z");
  for (std::size_t r = 0; r < 3; ++r)
    for (std::size_t c = 0; c < 3; ++c)
      EXPECT_EQ(table->Cell(at(r, c))->AsString(), labels(r, c));
}

TEST(Sorting, TableWithoutDimensionsStaysAsItIs) {
  auto table = EmptyTable();
  OmFactorySorter sorter;
  table->Accept(sorter);
  EXPECT_EQ(table->NDimensions(), 0);
  EXPECT_EQ(table->CellCount(), 0u);
}

} // namespace
