// Pivot tables: dimension trees, cells by subscript, placement lists, footnotes and the walk over
// combinations of categories.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <omf/model/PivotTable.h>
#include <omf/tables/MultiBase.h>

using namespace omf;

namespace {

using Strings = std::vector<std::string>;

OmStringCell S(const std::string& s) {
  return OmStringCell(s);
}
OmNumber N(double v) {
  return OmNumber(v, MakeFormat(8, 5, 0));
}

struct Fixture {
  OmPivotTable t{S("Title"), S("Statistics"), false};
  OmDimension& Dim(int d) { return t.Dimension(d); }
};

TEST(PivotTable, ChildrenAreFoundByLabelAndGroupFlag) {
  Fixture f;
  const int d = f.t.AddDimension(S("D"));
  OmDimension& dim = f.Dim(d);
  OmDimensionNode* root = &dim.Root();
  // Enough children that the lookup goes through the label index.
  for (int i = 0; i < 40; ++i)
    dim.Child(root, N(i), dim.Size(), false);
  OmDimensionNode* group = dim.Child(root, S("7"), OmDimensionNode::kNoSubscript, true);
  dim.Child(root, S("7"), dim.Size(), false);
  EXPECT_EQ(dim.FindChild(root, N(7), false), 7);
  EXPECT_EQ(dim.FindChild(root, N(7.5), false), -1);
  EXPECT_EQ(dim.FindChild(root, S("7"), true), 40);   // same label, a group
  EXPECT_EQ(dim.FindChild(root, S("7"), false), 41);  // same label, a category
  EXPECT_EQ(dim.FindChild(root, S("7 "), false), -1); // labels are exact
  EXPECT_TRUE(group->IsGroup());
  EXPECT_EQ(group->Subscript(), OmDimensionNode::kNoSubscript);
  EXPECT_EQ(dim.Size(), 41);
  // After a reorder the index still answers.
  std::reverse(root->Children().begin(), root->Children().end());
  EXPECT_EQ(dim.FindChild(root, N(0), false), 41);
}

// Lookups in the order the children came try the next child first; the answer is still the first child
// with the label, also once two children share one.
TEST(PivotTable, LookupsInArrivalOrderFindTheFirstMatch) {
  // Appended rather than prefixed: GCC 12 warns wrongly about "c" + std::string.
  const auto C = [](int i) {
    std::string label = "c";
    label += std::to_string(i);
    return S(label);
  };
  Fixture f;
  const int d = f.t.AddDimension(S("D"));
  OmDimension& dim = f.Dim(d);
  OmDimensionNode* root = &dim.Root();
  for (int i = 0; i < 30; ++i)
    dim.Child(root, C(i), dim.Size(), false);
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < 30; ++i)
      ASSERT_EQ(dim.FindChild(root, C(i), false), i);
  EXPECT_EQ(dim.FindChild(root, S("c3"), false), 3); // a jump back
  EXPECT_EQ(dim.FindChild(root, S("c3"), true), -1); // the same label as a group
  // A later child with an earlier child's label, added through the index, then renamed into one.
  dim.Child(root, S("c5"), dim.Size(), false);
  EXPECT_EQ(dim.FindChild(root, S("c4"), false), 4);
  EXPECT_EQ(dim.FindChild(root, S("c5"), false), 5);
  root->Child(20).SetLabel(CloneText(S("c8")));
  EXPECT_EQ(dim.FindChild(root, S("c7"), false), 7);
  EXPECT_EQ(dim.FindChild(root, S("c8"), false), 8);
  EXPECT_EQ(dim.FindChild(root, S("c19"), false), 19);
  EXPECT_EQ(dim.FindChild(root, S("c8"), false), 8);
  EXPECT_EQ(dim.FindChild(root, S("c20"), false), -1);
}

TEST(PivotTable, CellsByCoordinates) {
  Fixture f;
  f.t.AddDimension(S("Rows"));
  f.t.AddDimension(S("Columns"));
  EXPECT_EQ(f.t.Cell({0, 0}), nullptr);
  for (int r = 0; r < 50; ++r)
    for (int c = 0; c < 50; ++c)
      f.t.SetCell({r, c}, CloneText(N(r * 100 + c)));
  EXPECT_EQ(f.t.CellCount(), 2500u);
  EXPECT_EQ(f.t.Cell({12, 34})->AsString(), "1234");
  f.t.Cell({12, 34}, nullptr); // clearing
  EXPECT_EQ(f.t.Cell({12, 34}), nullptr);
  EXPECT_EQ(f.t.CellCount(), 2499u);
  const OmNumber replaced = N(-1);
  f.t.Cell({0, 0}, &replaced);
  EXPECT_EQ(f.t.Cell({0, 0})->AsString(), "-1");
  // Every other cell is still where it was after the removal reshuffled the storage.
  for (int r = 0; r < 50; ++r)
    for (int c = 0; c < 50; ++c) {
      if ((r == 12 && c == 34) || (r == 0 && c == 0)) continue;
      ASSERT_EQ(f.t.Cell({r, c})->AsString(), std::to_string(r * 100 + c));
    }
  std::size_t seen = 0;
  for (auto it = f.t.FirstCell(); it.Cell() != nullptr; ++it)
    ++seen;
  EXPECT_EQ(seen, 2499u);
}

TEST(PivotTable, AddingADimensionKeepsTheCells) {
  Fixture f;
  f.t.AddDimension(S("A"));
  f.t.SetCell({3}, CloneText(N(3)));
  f.t.AddDimension(S("B")); // existing cells stand at subscript 0 of the new dimension
  EXPECT_EQ(f.t.Cell({3, 0})->AsString(), "3");
  f.t.SetCell({3, 1}, CloneText(N(31)));
  EXPECT_EQ(f.t.Cell({3, 1})->AsString(), "31");
}

TEST(PivotTable, DeletingCategoriesTakesTheirCells) {
  Fixture f;
  const int d = f.t.AddDimension(S("D"));
  f.t.AddDimension(S("E"));
  OmDimension& dim = f.Dim(d);
  OmDimensionNode* g = dim.Child(&dim.Root(), S("g"), OmDimensionNode::kNoSubscript, true);
  dim.Child(g, S("a"), dim.Size(), false);
  dim.Child(g, S("b"), dim.Size(), false);
  dim.Child(&dim.Root(), S("c"), dim.Size(), false);
  for (int s = 0; s < 3; ++s)
    for (int e = 0; e < 2; ++e)
      f.t.SetCell({s, e}, CloneText(N(s * 10 + e)));
  dim.Delete(g);
  EXPECT_EQ(dim.Root().ChildCount(), 1u);
  EXPECT_EQ(f.t.CellCount(), 2u);
  EXPECT_EQ(f.t.Cell({0, 1}), nullptr);
  EXPECT_EQ(f.t.Cell({2, 1})->AsString(), "21");
  EXPECT_EQ(dim.Size(), 3); // subscripts are not given out again
}

// Plain numbers are kept compactly and every other text as itself; whichever store a cell is in, it is
// found, replaced, removed and walked the same, and a walk in subscript order merges both.
TEST(PivotTable, CompactNumbersAndTextsShareTheCellSpace) {
  const auto noted = [] {
    auto n = CloneText(N(5));
    n->Footnote(0);
    return n;
  };
  const struct {
    const char* name;
    std::vector<std::pair<std::vector<int>, OmCellTextPtr (*)()>> cells; // in the order stored
    Strings inOrder;                                                     // "r,c=text" in subscript order
  } cases[] = {
      {"numbers only",
       {{{1, 1}, [] { return CloneText(N(11)); }}, {{0, 2}, [] { return CloneText(N(2)); }}},
       {"0,2=2", "1,1=11"}},
      {"texts between numbers",
       {{{0, 0}, [] { return CloneText(N(0)); }},
        {{0, 1}, [] { return CloneText(S("t")); }},
        {{2, 0}, [] { return CloneText(N(20)); }},
        {{1, 5}, [] { return CloneText(S("u")); }}},
       {"0,0=0", "0,1=t", "1,5=u", "2,0=20"}},
      {"a text replaces a number and a number a text",
       {{{0, 0}, [] { return CloneText(N(1)); }},
        {{0, 0}, [] { return CloneText(S("x")); }},
        {{0, 1}, [] { return CloneText(S("y")); }},
        {{0, 1}, [] { return CloneText(N(2)); }}},
       {"0,0=x", "0,1=2"}},
      {"a cell far from the rest (a sparse space)",
       {{{0, 0}, [] { return CloneText(N(1)); }}, {{5000000, 7000000}, [] { return CloneText(N(2)); }}},
       {"0,0=1", "5000000,7000000=2"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    f.t.AddDimension(S("R"));
    f.t.AddDimension(S("C"));
    for (const auto& [at, make] : c.cells)
      f.t.SetCell(at, make());
    Strings seen;
    f.t.ForEachCellInOrder([&](const int* at, std::size_t n, const OmCellText& cell) {
      ASSERT_EQ(n, 2u);
      seen.push_back(std::to_string(at[0]) + "," + std::to_string(at[1]) + "=" + cell.AsString());
    });
    EXPECT_EQ(seen, c.inOrder);
    EXPECT_EQ(f.t.CellCount(), c.inOrder.size());
    std::size_t walked = 0;
    for (auto it = f.t.FirstCell(); it; ++it)
      walked += it.Cell() != nullptr && f.t.Cell(it.At()) == it.Cell() ? 1 : 0;
    EXPECT_EQ(walked, c.inOrder.size());
  }

  // A number handed out by Cell() keeps the changes made through it; a noted number is kept as a text.
  Fixture f;
  f.t.AddDimension(S("R"));
  for (int r = 0; r < 300; ++r)
    f.t.SetNumber({r}, r, MakeFormat(8, 5, static_cast<unsigned>(r % 3)));
  f.t.SetCell({300}, noted());
  static_cast<OmNumber*>(f.t.Cell({7}))->SetValue(70);
  f.t.Cell({8})->Footnote(1);
  OmNumber scratch(0, 0);
  EXPECT_EQ(f.t.Peek({7}, scratch)->AsString(), "70.0");
  EXPECT_EQ(f.t.Peek({8}, scratch)->Footnotes(), std::vector<int>{1});
  EXPECT_EQ(f.t.Peek({300}, scratch)->Footnotes(), std::vector<int>{0});
  EXPECT_EQ(f.t.Peek({299}, scratch)->AsString(), "299.00");
  EXPECT_EQ(f.t.Peek({301}, scratch), nullptr);
  // More formats than the compact store indexes: the further ones are kept as texts, all readable.
  for (int r = 0; r < 600; ++r)
    f.t.SetNumber({r}, r, MakeFormat(static_cast<unsigned>(10 + r), 5, 0));
  for (int r = 0; r < 600; ++r)
    ASSERT_EQ(FormatWidth(static_cast<const OmNumber*>(f.t.Peek({r}, scratch))->Format()),
              static_cast<unsigned>(10 + r));
  EXPECT_EQ(f.t.CellCount(), 600u);

  // Deleting categories of a dimension with long runs of places (the samples of a bootstrapped table)
  // takes exactly their cells.
  Fixture g;
  const int d = g.t.AddDimension(S("Sample"));
  g.t.AddDimension(S("Cell"));
  OmDimension& samples = g.Dim(d);
  for (int s = 0; s < 5; ++s)
    samples.Child(&samples.Root(), N(s), s, false);
  for (int s = 0; s < 5; ++s)
    for (int c = 0; c < 100; ++c)
      if ((s + c) % 7 != 0) g.t.SetNumber({s, c}, s * 1000 + c, MakeFormat(8, 5, 0));
  const std::size_t before = g.t.CellCount();
  std::size_t inFirst = 0;
  for (int c = 0; c < 100; ++c)
    inFirst += c % 7 != 0 ? 1 : 0;
  std::vector<OmDimensionNode*> doomed;
  for (std::size_t i = 1; i < samples.Root().ChildCount(); ++i)
    doomed.push_back(&samples.Root().Child(i));
  samples.Delete(doomed);
  EXPECT_EQ(g.t.CellCount(), inFirst) << "of " << before;
  for (int c = 0; c < 100; ++c) {
    const OmCellText* cell = g.t.Peek({0, c}, scratch);
    ASSERT_EQ(cell != nullptr, c % 7 != 0) << c;
    if (cell) {
      EXPECT_EQ(cell->AsString(), std::to_string(c));
    }
  }
}

TEST(PivotTable, CopiesDimensionsAndFindsCounterparts) {
  Fixture f;
  const int d = f.t.AddDimension(S("Split"));
  OmDimension& dim = f.Dim(d);
  OmDimensionNode* g = dim.Child(&dim.Root(), S("g"), OmDimensionNode::kNoSubscript, true);
  OmDimensionNode* a = dim.Child(g, S("a"), dim.Size(), false);
  dim.Root().SetSortMode(OmDimensionNode::kSortAscending);
  OmPivotTable copy(S("Copy"), S("X"), true);
  copy.CopyDimensions(f.t);
  ASSERT_EQ(copy.NDimensions(), 1);
  OmDimension& c = copy.Dimension(0);
  EXPECT_EQ(c.Label().AsString(), "Split");
  EXPECT_EQ(c.Root().SortMode(), OmDimensionNode::kSortAscending);
  EXPECT_EQ(c.Size(), 1);
  OmDimensionNode* ca = c.Counterpart(a);
  ASSERT_NE(ca, nullptr);
  EXPECT_EQ(ca->Label().AsString(), "a");
  EXPECT_EQ(ca->Dimension(), &c);
  EXPECT_EQ(c.Counterpart(g)->Label().AsString(), "g");
  EXPECT_EQ(c.Counterpart(&dim.Root()), &c.Root());
}

TEST(PivotTable, NodeOrderFollowsValuesThenCollation) {
  Fixture f;
  f.t.TableLocale("de");
  const int d = f.t.AddDimension(S("D"));
  OmDimension& dim = f.Dim(d);
  OmDimensionNode* two = dim.Child(&dim.Root(), N(2), 0, false);
  OmDimensionNode* ten =
      dim.Child(&dim.Root(), OmNumDataValue("x", 10, 0, "ten", OmCellText::kModeLabels), 1, false);
  OmDimensionNode* apfel = dim.Child(&dim.Root(), S("Äpfel"), 2, false);
  OmDimensionNode* birne = dim.Child(&dim.Root(), S("Birne"), 3, false);
  EXPECT_TRUE(*two < *ten);     // by value, though "ten" reads after "2"
  EXPECT_TRUE(*ten < *apfel);   // values before texts
  EXPECT_TRUE(*apfel < *birne); // collation, not bytes
  EXPECT_FALSE(*birne < *apfel);
  EXPECT_TRUE(*apfel == *dim.Child(&dim.Root(), S("Äpfel"), 4, false));
}

TEST(PivotTable, PlacementListsFillWithGaps) {
  Fixture f;
  PuppetVector<short>& cols = f.t.Columns();
  cols.Set(3, 5);
  EXPECT_EQ(cols.Items(), (std::vector<short>{-1, -1, -1, 5}));
  EXPECT_EQ(cols.Placed(), (std::vector<short>{5}));
  EXPECT_TRUE(cols.RemoveFirst(5));
  EXPECT_FALSE(cols.RemoveFirst(5));
}

TEST(PivotTable, FootnotesAreFoundByTheirTextsAsTheyStandNow) {
  Fixture f;
  const OmStringCell star("*");
  const auto note = [](const OmCellText& text, const OmCellText* marker = nullptr) {
    return OmFootnote(nullptr, text, marker);
  };
  // Indexes go past the range of a short, and equal footnotes are found among all of them.
  for (int i = 0; i < 40000; ++i)
    ASSERT_EQ(f.t.Footnote(note(S("note " + std::to_string(i)))), i);
  EXPECT_EQ(f.t.Footnote(note(S("note 39999"))), 39999);
  EXPECT_EQ(f.t.Footnote(note(S("note 39999"), &star)), 40000);
  EXPECT_EQ(f.t.Footnote(note(S("note 7"), &star), true), 40001);
  EXPECT_EQ(f.t.Footnote(note(S("note 7"), &star)), 40001);
  EXPECT_EQ(f.t.Footnote(note(S("note 7")), true), 40002);
  EXPECT_EQ(f.t.Footnote(note(S("note 7"))), 7); // the first of equal footnotes
  EXPECT_EQ(f.t.Footnotes()[7].references, 2);
  // Kinds other than strings: composites by template and arguments, numbers by value (any NaN).
  OmComposite cases(OmStringCell("^1 cases"));
  cases.Add(OmNumber(12, MakeFormat(4, 5, 0)));
  OmComposite otherCases(OmStringCell("^1 cases"));
  otherCases.Add(OmNumber(13, MakeFormat(4, 5, 0)));
  const int c12 = f.t.Footnote(note(cases));
  EXPECT_NE(f.t.Footnote(note(otherCases)), c12);
  EXPECT_EQ(f.t.Footnote(note(*CloneText(cases))), c12);
  const int nan = f.t.Footnote(note(OmNumber(std::nan("1"), MakeFormat(4, 5, 0))));
  EXPECT_EQ(f.t.Footnote(note(OmNumber(std::nan("2"), MakeFormat(4, 5, 0)))), nan);
  // A text changed through the table (as translation does) is found by its new text.
  static_cast<OmStringCell&>(*f.t.Footnotes()[3].text).SetText("Anmerkung 3");
  EXPECT_EQ(f.t.Footnote(note(S("Anmerkung 3"))), 3);
  const int again = f.t.Footnote(note(S("note 3")));
  EXPECT_EQ(again, static_cast<int>(f.t.Footnotes().size()) - 1);
}

TEST(PivotTable, DeepTreesAreCopiedWalkedAndDestroyedWithoutRecursion) {
  // Far deeper than a stream may nest groups, so that a walk by recursion would run out of stack.
  constexpr int kDepth = 100000;
  Fixture f;
  OmDimension& dim = f.t.Dimension(f.t.AddDimension(S("D")));
  OmDimensionNode* node = &dim.Root();
  OmDimensionNode* top = nullptr;
  for (int i = 0; i < kDepth; ++i) {
    node = dim.Child(node, S("g"), OmDimensionNode::kNoSubscript, true);
    if (top == nullptr) top = node;
  }
  dim.Child(node, S("c"), 0, false);
  dim.Child(&dim.Root(), S("d"), 1, false);
  f.t.SetCell({0}, CloneText(N(1)));
  f.t.SetCell({1}, CloneText(N(2)));

  OmPivotTable copy(S("Copy"), S("Statistics"), false);
  copy.CopyDimensions(f.t);
  const std::vector<const OmDimensionNode*> copied = copy.Dimension(0).Categories();
  ASSERT_EQ(copied.size(), 2u);
  EXPECT_EQ(copied[0]->Label().AsString(), "c");
  EXPECT_EQ(copied[1]->Label().AsString(), "d");
  int depth = 0;
  for (const OmDimensionNode* n = copied[0]; n != &copy.Dimension(0).Root(); n = n->Parent())
    ++depth;
  EXPECT_EQ(depth, kDepth + 1);

  dim.Delete(top); // takes the cell of "c" with it
  EXPECT_EQ(f.t.CellCount(), 1u);
  ASSERT_EQ(dim.Categories().size(), 1u);
  EXPECT_EQ(dim.Categories()[0]->Label().AsString(), "d");
}

// Deleting most categories of a dimension sweeps their cells out in one pass; the cells that stay keep
// their subscripts and the table takes new cells as before.
TEST(PivotTable, DeletingMostCategoriesKeepsTheRest) {
  Fixture f;
  OmDimension& dim = f.t.Dimension(f.t.AddDimension(S("Run")));
  OmDimension& other = f.t.Dimension(f.t.AddDimension(S("Value")));
  constexpr int kRuns = 500, kValues = 20;
  std::vector<OmDimensionNode*> runs;
  for (int r = 0; r < kRuns; ++r)
    runs.push_back(dim.Child(&dim.Root(), N(r), r, false));
  for (int v = 0; v < kValues; ++v)
    other.Child(&other.Root(), N(v), v, false);
  for (int r = 0; r < kRuns; ++r)
    for (int v = 0; v < kValues; ++v)
      f.t.SetCell({r, v}, CloneText(N(r * 100 + v)));
  for (int r = 0; r < kRuns; ++r)
    if (r % 100 != 7) dim.Delete(runs[static_cast<std::size_t>(r)]);
  EXPECT_EQ(f.t.CellCount(), 5u * kValues);
  for (int r = 7; r < kRuns; r += 100)
    for (int v = 0; v < kValues; ++v)
      ASSERT_EQ(f.t.Cell({r, v})->AsString(), N(r * 100 + v).AsString()) << r << " " << v;
  EXPECT_EQ(f.t.Cell({8, 0}), nullptr);
  f.t.SetCell({8, 0}, CloneText(N(1)));
  EXPECT_EQ(f.t.CellCount(), 5u * kValues + 1);
  EXPECT_NE(f.t.Cell({8, 0}), nullptr);
}

TEST(PivotTable, ScratchEmptiesTheTable) {
  Fixture f;
  f.t.AddDimension(S("D"));
  f.t.SetCell({0}, CloneText(N(1)));
  f.t.Footnote(OmFootnote(nullptr, S("n")));
  const OmStringCell caption("caption");
  f.t.Caption(&caption);
  f.t.Scratch();
  EXPECT_EQ(f.t.NDimensions(), 0);
  EXPECT_EQ(f.t.CellCount(), 0u);
  EXPECT_TRUE(f.t.Footnotes().empty());
  EXPECT_EQ(f.t.Caption(), nullptr);
  EXPECT_TRUE(f.t.IsScratched());
}

TEST(MultiBase, WalksCombinationsLastDimensionFastest) {
  MultiBase walk({2, 3});
  std::vector<std::vector<int>> seen;
  for (; !walk.Done(); walk.Next())
    seen.push_back(walk.Current());
  EXPECT_EQ(seen, (std::vector<std::vector<int>>{{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 2}}));
  EXPECT_EQ(walk.Count(), 6u);

  MultiBase held({2, 3, 2});
  held.Fix(1, 2);
  seen.clear();
  std::vector<std::size_t> ordinals;
  for (; !held.Done(); held.Next()) {
    seen.push_back(held.Current());
    ordinals.push_back(held.Ordinal());
  }
  EXPECT_EQ(seen, (std::vector<std::vector<int>>{{0, 2, 0}, {0, 2, 1}, {1, 2, 0}, {1, 2, 1}}));
  EXPECT_EQ(ordinals, (std::vector<std::size_t>{0, 1, 2, 3}));
  EXPECT_EQ(held.Count(), 4u);

  MultiBase empty({3, 0});
  EXPECT_TRUE(empty.Done()); // a free dimension without categories: no combination
  EXPECT_EQ(empty.Count(), 0u);
  MultiBase allFixed({3, 0});
  allFixed.Fix(0, 1);
  allFixed.Fix(1, 0);
  EXPECT_FALSE(allFixed.Done()); // every dimension held: exactly one combination
  EXPECT_FALSE(allFixed.Next());
  MultiBase none({});
  EXPECT_FALSE(none.Done());
  EXPECT_FALSE(none.Next());
}

} // namespace
