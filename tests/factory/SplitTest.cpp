// Split files through the factory: split tables take the split dimensions and put every group's results
// under its split values; other tables ignore splits.
#include <gtest/gtest.h>

#include "support/FactoryHarness.h"

using namespace omf;

using omf::fixtures::CellText;
using omf::fixtures::Harness;
using omf::stream::Axis;
using omf::stream::WireFormat;

namespace {

using Strings = std::vector<std::string>;

Strings Labels(const OmDimension& d) {
  Strings out;
  for (const auto& c : d.Root().Children())
    out.push_back(c->Label().AsString());
  return out;
}

void Split(Harness& h, const std::string& variable, const std::string& value) {
  h.w.String(1, variable);
  h.w.String(2, value);
  h.w.Split(1, 2);
}

void Table(Harness& h, const std::string& title, bool splits, double value) {
  h.w.String(1, title);
  h.w.String(2, "X");
  h.w.TableBegin(0, 1, 2, splits);
  h.w.String(1, "Statistics");
  h.w.CellDimension(0, 1);
  h.w.Number(3, value, WireFormat::Fixed(5, 0));
  h.w.String(4, "Mean");
  h.w.Cell(0, 3, 4);
  h.w.TableEnd(0);
}

TEST(Splits, SplitTablesCollectEveryGroup) {
  Harness h;
  h.Open("Means");
  const std::pair<const char*, const char*> groups[] = {{"x2", "b"}, {"x2", "a"}, {"x1", "c"}, {"x1", "a"}};
  double value = 1;
  for (const auto& [a, b] : groups) {
    Split(h, "A", a);
    Split(h, "B", b);
    Table(h, "Split", true, value);
    Table(h, "Plain", false, value);
    ++value;
  }
  Split(h, "A", "x2"); // a value seen again reuses its category
  h.End();
  OmPivotTable* t = h.Find<OmPivotTable>("Split");
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(t->NDimensions(), 3);
  // A is dimension 0, B dimension 1; B stands before A in the rows.
  EXPECT_EQ(t->Dimension(0).Label().AsString(), "A");
  EXPECT_EQ(t->Rows().Items(), (std::vector<short>{2, 1, 0}));
  EXPECT_EQ(Labels(t->Dimension(0)), (Strings{"x2", "x1"})); // the first split variable keeps arrival order
  EXPECT_EQ(Labels(t->Dimension(1)), (Strings{"a", "b", "c"})); // later ones are sorted ascending
  EXPECT_EQ(t->Dimension(0).Root().SortMode(), OmDimensionNode::kSortNone);
  // Each group's value under its split categories: A=x1 is subscript 1; B=c is subscript 2.
  EXPECT_EQ(CellText(*t, {1, 2, 0}), "3");
  EXPECT_EQ(CellText(*t, {0, 0, 0}), "1");
  EXPECT_EQ(CellText(*t, {1, 1, 0}), "4");
  // A table without the split flag ignores splits: its one cell was overwritten by each group.
  OmPivotTable* plain = h.Find<OmPivotTable>("Plain");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->NDimensions(), 1);
  EXPECT_EQ(CellText(*plain, {0}), "4");
}

} // namespace
