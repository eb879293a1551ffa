// Sorting at the finish step, through the factory: tables anywhere in the procedure are sorted, cells
// move with their categories, and the order is that of the labels in the output language.
#include <gtest/gtest.h>

#include "support/FactoryHarness.h"

using namespace omf;

namespace {

constexpr std::int32_t kAscending = OmDimensionNode::kSortAscending;

// Plays a procedure whose heading holds a table "Statistics" of one dimension, sorted ascending, with the
// categories in the order given; each cell holds the position in which its category came (from 1).
void PlaySortedTable(omf::fixtures::Harness& h, const std::vector<std::string>& categories) {
  h.Open("Descriptives");
  h.w.String(1, "Statistics heading");
  h.w.Heading(1);
  h.w.String(1, "Statistics");
  h.w.String(2, "Statistics");
  h.w.TableBegin(0, 1, 2);
  for (std::size_t i = 0; i < categories.size(); ++i) {
    h.w.String(2, "Statistics");
    h.w.CellDimension(0, 2);
    h.w.Number(3, static_cast<double>(i + 1), omf::stream::WireFormat::Fixed(8, 0));
    h.w.String(4, categories[i]);
    h.w.Cell(0, 3, 4);
  }
  h.w.DimensionSort(0, static_cast<std::uint32_t>(kAscending));
  h.w.TableEnd(0);
  h.w.HeadingEnd();
  h.End();
}

// The categories in display order, each with its cell: "a=3".
std::vector<std::string> CategoriesWithCells(const omf::fixtures::Harness& h) {
  std::vector<std::string> out;
  const OmPivotTable* t = nullptr;
  for (std::size_t n = 1; n < h.tree.Count() && t == nullptr; ++n)
    t = dynamic_cast<const OmPivotTable*>(h.tree.Part(n));
  if (t == nullptr || t->NDimensions() != 1) return out;
  const OmDimensionNode& root = t->Dimension(0).Root();
  for (std::size_t i = 0; i < root.ChildCount(); ++i)
    out.push_back(root.Child(i).Label().AsString() + "=" +
                  omf::fixtures::CellText(*t, {root.Child(i).Subscript()}));
  return out;
}

TEST(Sorting, TheFinishSortsTablesBelowHeadingsTooWithTheirCells) {
  omf::fixtures::Harness h;
  PlaySortedTable(h, {"b", "c", "a"});
  EXPECT_EQ(h.Outline(), (std::vector<std::string>{"1:Output", "2:Descriptives", "3:Descriptives",
                                                   "3:Statistics heading", "4:Statistics"}));
  EXPECT_EQ(CategoriesWithCells(h), (std::vector<std::string>{"a=3", "b=1", "c=2"}));
}

TEST(Sorting, TheFinishSortsTheTranslatedLabels) {
  // In English the order is Range, Skewness, Valid; in German Gültig (Valid), Schiefe (Skewness),
  // Spannweite (Range): sorted before translating, the German labels would come out backwards.
  omf::fixtures::Harness h;
  h.w.Display("OLANG", "German");
  PlaySortedTable(h, {"Valid", "Range", "Skewness"});
  EXPECT_EQ(CategoriesWithCells(h), (std::vector<std::string>{"Gültig=1", "Schiefe=3", "Spannweite=2"}));
}

} // namespace
