// The output tree: pre-order nodes with levels, and the operations that move and remove them.
#include <gtest/gtest.h>

#include "model/OutputTree.h"
#include "tables/ListTree.h"

namespace {

using Strings = std::vector<std::string>;

// "level:title" of every node but the root.
Strings Shape(const OmOutputTree& tree) {
  Strings out;
  for (std::size_t n = 1; n < tree.Count(); ++n)
    out.push_back(std::to_string(tree.Level(n)) + ":" + tree.Part(n)->Title().AsString());
  return out;
}

std::unique_ptr<OmOutputPart> Heading(const std::string& title) {
  return std::make_unique<OmHeading>(OmStringCell(title));
}

// root
//   A
//     B
//       C
//     D
//   E
void Build(OmOutputTree& t) {
  const std::size_t a = t.Append(0, Heading("A"));
  const std::size_t b = t.Append(a, Heading("B"));
  t.Append(b, Heading("C"));
  t.Append(a, Heading("D"));
  t.Append(0, Heading("E"));
}

TEST(OutputTree, NavigatesInPreOrder) {
  OmOutputTree t;
  EXPECT_TRUE(t.Empty());
  Build(t);
  EXPECT_EQ(Shape(t), (Strings{"1:A", "2:B", "3:C", "2:D", "1:E"}));
  EXPECT_EQ(t.SubtreeEnd(1), 5u);
  EXPECT_EQ(t.Children(1), (std::vector<std::size_t>{2, 4}));
  EXPECT_EQ(t.Parent(3), 2u);
  EXPECT_EQ(t.Parent(5), 0u);
  EXPECT_EQ(t.NextSibling(1), 5u);
  EXPECT_EQ(t.NextSibling(5), OmOutputTree::npos);
  EXPECT_EQ(t.FirstChild(3), OmOutputTree::npos);
}

TEST(OutputTree, EraseLiftsChildrenPruneTakesTheSubtree) {
  OmOutputTree erased;
  Build(erased);
  erased.Erase(2); // B: C moves up into its place
  EXPECT_EQ(Shape(erased), (Strings{"1:A", "2:C", "2:D", "1:E"}));
  OmOutputTree pruned;
  Build(pruned);
  pruned.Prune(1); // A with B, C, D
  EXPECT_EQ(Shape(pruned), (Strings{"1:E"}));
  OmOutputTree unlinked;
  Build(unlinked);
  std::unique_ptr<OmOutputPart> part = unlinked.Unlink(2);
  EXPECT_EQ(part->Title().AsString(), "B");
  EXPECT_EQ(Shape(unlinked), (Strings{"1:A", "2:C", "2:D", "1:E"}));
}

TEST(OutputTree, AmputateLeavesOneNote) {
  OmOutputTree t;
  Build(t);
  const std::size_t note = t.Amputate(1, OmStringCell("Output Missing"), "UTF-8");
  EXPECT_EQ(Shape(t), (Strings{"1:A", "2:Output Missing", "1:E"}));
  EXPECT_EQ(note, 2u);
  EXPECT_NE(dynamic_cast<OmTextBlock*>(t.Part(note)), nullptr);
  // A leaf gets its note too.
  const std::size_t leaf = t.Amputate(3, OmStringCell("x"), "UTF-8");
  EXPECT_EQ(Shape(t), (Strings{"1:A", "2:Output Missing", "1:E", "2:x"}));
  EXPECT_EQ(leaf, 4u);
}

TEST(OutputTree, MovesRangesBetweenTrees) {
  OmOutputTree from, to;
  Build(from);
  to.Append(0, Heading("Output"));
  to.MoveRangeFrom(from, 1, from.SubtreeEnd(1), to.SubtreeEnd(1), 1);
  EXPECT_EQ(Shape(to), (Strings{"1:Output", "2:A", "3:B", "4:C", "3:D"}));
  EXPECT_EQ(Shape(from), (Strings{"1:E"}));
}

TEST(OutputTree, PartsKeepTheirFlagsAndContent) {
  OmProcedure p(OmStringCell("Frequencies"), "English", "UTF-8", "en_US");
  EXPECT_EQ(p.Command(), "Frequencies");
  p.setOutlineText(OmStringCell("outline"));
  ASSERT_NE(p.OutlineText(), nullptr);
  p.SetDisplayModes(OmCellText::kModeNames, OmCellText::kModeBoth, OmCellText::kModeLabels,
                    OmCellText::kModeNames);
  EXPECT_EQ(p.OutlineValueMode(), OmCellText::kModeBoth);
  OmPageTitle page("UTF-8");
  page.AddLine("Title");
  page.AddLine("Sub");
  EXPECT_EQ(page.Title().AsString(), "Title");
  OmChart chart(OmStringCell("Chart"), "UTF-8");
  chart.SetContent(1, "abc", 3);
  chart.SetMapInfo("xy", 2);
  EXPECT_EQ(chart.Content().at(1).size(), 3u);
  EXPECT_EQ(chart.Content().at(OmChart::kMapInfoSlot).size(), 2u);
  // A procedure is a heading to visitors that do not handle procedures.
  struct Headings : OmOutputPart::Visitor {
    int seen = 0;
    void Visit(OmHeading&) override { ++seen; }
  } v;
  p.Accept(v);
  EXPECT_EQ(v.seen, 1);
}

} // namespace
