// The output tree: pre-order nodes with levels, and the operations that move and remove them.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include <omf/model/OutputTree.h>
#include <omf/tables/ListTree.h>

using namespace omf;

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

// Splices with the flags given, inserting headings: (position, level, title) each.
void Splice(OmOutputTree& t, const std::vector<bool>& doomed,
            const std::vector<std::tuple<std::size_t, int, std::string>>& added) {
  std::vector<OmOutputTree::Insertion> insertions;
  for (const auto& [pos, level, title] : added)
    insertions.push_back({pos, level, Heading(title)});
  t.Splice(doomed, insertions);
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

TEST(OutputTree, EveryRemovalIsToldToTheListenerBeforeThePartGoes) {
  struct Recorder : OmOutputTree::RemovalListener {
    Strings told;
    void Removing(const OmOutputPart& part) noexcept override { told.push_back(part.Title().AsString()); }
  };
  struct Case {
    const char* what;
    std::function<void(OmOutputTree&)> remove;
    Strings told;
    Strings left;
  };
  const Case cases[] = {
      {"erase", [](OmOutputTree& t) { t.Erase(2); }, {"B"}, {"1:A", "2:C", "2:D", "1:E"}},
      {"unlink",
       [](OmOutputTree& t) { EXPECT_EQ(t.Unlink(4)->Title().AsString(), "D"); },
       {"D"},
       {"1:A", "2:B", "3:C", "1:E"}},
      {"prune", [](OmOutputTree& t) { t.Prune(2); }, {"B", "C"}, {"1:A", "2:D", "1:E"}},
      {"amputate",
       [](OmOutputTree& t) { t.Amputate(1, OmStringCell("note"), "UTF-8"); },
       {"B", "C", "D"},
       {"1:A", "2:note", "1:E"}},
      // B with its subtree, and E; the flag on C is moot, as C goes with B.
      {"prune flagged subtrees in one pass",
       [](OmOutputTree& t) {
         t.PruneAll({false, false, true, true, false, true});
       },
       {"B", "C", "E"},
       {"1:A", "2:D"}},
      // X before B, which goes; Y and Z at the end, in their order.
      {"splice",
       [](OmOutputTree& t) {
         Splice(t, {false, false, true, false, false, true}, {{2, 2, "X"}, {6, 1, "Y"}, {6, 2, "Z"}});
       },
       {"B", "C", "E"},
       {"1:A", "2:X", "2:D", "1:Y", "2:Z"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder recorder;
    OmOutputTree t;
    Build(t);
    t.SetRemovalListener(&recorder);
    c.remove(t);
    EXPECT_EQ(recorder.told, c.told);
    EXPECT_EQ(Shape(t), c.left);
  }
  Recorder recorder;
  {
    OmOutputTree t;
    Build(t);
    t.SetRemovalListener(&recorder);
  }
  EXPECT_EQ(recorder.told, (Strings{"A", "B", "C", "D", "E"})) << "the destructor tells too";
}

TEST(OutputTree, RearrangesNodesAndGrowsWhenMovingRanges) {
  OmOutputTree t;
  Build(t);
  // E first, then A holding D, then B holding C.
  t.Rearrange({{5, 1}, {1, 1}, {4, 2}, {2, 2}, {3, 3}});
  EXPECT_EQ(Shape(t), (Strings{"1:E", "1:A", "2:D", "2:B", "3:C"}));
  // Many moves into one tree: each lands where it is asked, the source keeps its root.
  OmOutputTree to;
  to.Append(0, Heading("Output"));
  for (int i = 0; i < 100; ++i) {
    OmOutputTree from;
    const std::size_t p = from.Append(0, Heading(std::string("P").append(std::to_string(i))));
    from.Append(p, Heading("child"));
    to.MoveRangeFrom(from, 1, from.Count(), to.Count(), 1);
    EXPECT_EQ(from.Count(), 1u);
  }
  ASSERT_EQ(to.Count(), 202u);
  EXPECT_EQ(Shape(to)[199], "2:P99");
  EXPECT_EQ(Shape(to)[200], "3:child");
}

TEST(OutputTree, SubtreeEndsStayRightAsTopNodesComeAndGo) {
  // The end of a top node's subtree is found without a scan while it is the only top node; every change
  // of the top nodes must keep that shortcut true.
  const auto check = [](const OmOutputTree& t) {
    for (std::size_t i = 1; i < t.Count(); ++i) {
      std::size_t end = i + 1;
      while (end < t.Count() && t.Level(end) > t.Level(i))
        ++end;
      EXPECT_EQ(t.SubtreeEnd(i), end) << "node " << i;
    }
  };
  OmOutputTree t, other;
  Build(t);
  const std::vector<std::function<void()>> steps = {
      [&] { t.Prune(5); },                // E goes: A is the only top node
      [&] { t.Append(0, Heading("F")); }, // a second top node
      [&] { t.Erase(1); },                // A goes, B and D move up beside F
      [&] { t.Unlink(1).reset(); },       // B goes, C moves up
      [&] {
        t.PruneAll({false, true, false, false});
      }, // C goes
      [&] { t.Amputate(1, OmStringCell("note"), "UTF-8"); },
      [&] { other.MoveRangeFrom(t, 1, t.SubtreeEnd(1), 1, 0); }, // D and its note leave
      [&] {
        t.Rearrange({{1, 1}});
      },
      [&] { t.MoveRangeFrom(other, 1, other.Count(), t.Count(), 1); },
      [&] {
        Splice(t, {false, false, false, false}, {{4, 1, "G"}});
      }, // a second top node
      [&] {
        Splice(t, {false, false, false, false, true}, {{2, 2, "H"}});
      }, // G goes
  };
  for (std::size_t k = 0; k < steps.size(); ++k) {
    SCOPED_TRACE("step " + std::to_string(k));
    steps[k]();
    check(t);
    check(other);
  }
  EXPECT_EQ(Shape(t), (Strings{"1:F", "2:H", "2:D", "3:note"}));
}

TEST(OutputTree, AProcedureIsAHeadingToVisitorsThatDoNotHandleProcedures) {
  OmProcedure p(OmStringCell("Frequencies"), "English", "UTF-8", "en_US");
  struct Headings : OmOutputPart::Visitor {
    int seen = 0;
    void Visit(OmHeading&) override { ++seen; }
  } v;
  p.Accept(v);
  EXPECT_EQ(v.seen, 1);
}

} // namespace
