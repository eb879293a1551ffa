// The life of a procedure in the factory: where its parts go while it is open, what the finish step
// removes and selection forgets, where the graft puts it in the caller's tree, and how it is closed when
// the stream breaks or memory runs out on the way.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "support/FactoryHarness.h"
#include <omf/diagnostics/FaultInjection.h>
#include <omf/diagnostics/InternalError.h>
#include <omf/protocol/ProtocolError.h>
#include <omf/selection/RequestText.h>

using namespace omf;

using omf::detail::FaultPoint;
using omf::fixtures::Harness;
using omf::selection::ParseRequestText;
using omf::stream::WireFormat;

namespace {

using Strings = std::vector<std::string>;
using Bytes = std::vector<unsigned char>;

void EmptyHeading(Harness& h, const std::string& title) {
  h.w.String(1, title);
  h.w.Heading(1);
  h.w.HeadingEnd();
}

TEST(ProcedureLifecycle, PartsThatTheFinishStepDestroysAreForgottenBySelection) {
  // A LAST request counts the empty heading, which the finish step then prunes; tables of a bootstrapped
  // procedure meet selection only after that pruning and must not reach the destroyed heading.
  struct Case {
    const char* what;
    std::function<void(Harness&)> play;
    Strings outline;
  };
  const Case cases[] = {
      {"an empty heading before the table",
       [](Harness& h) {
         EmptyHeading(h, "Empty");
         h.Table(0, "Statistics", "X", {"r"}, {"c"}, {1});
       },
       {"1:Output", "2:Frequencies", "3:Statistics"}},
      {"a heading holding only an empty heading",
       [](Harness& h) {
         h.Table(0, "Statistics", "X", {"r"}, {"c"}, {1});
         h.w.String(1, "Outer");
         h.w.Heading(1);
         EmptyHeading(h, "Inner");
         h.w.HeadingEnd();
         h.Table(1, "Second", "X", {"r"}, {"c"}, {1});
       },
       {"1:Output", "2:Frequencies", "3:Second"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h(ParseRequestText("select headings tables if instances last end"));
    h.Open("Frequencies", 1, /*bootstrap=*/true);
    c.play(h);
    h.End("level=95\n");
    EXPECT_EQ(h.Outline(), c.outline);
  }
}

TEST(ProcedureLifecycle, OutputGoesAtLevelOneInATreeWithoutAHeadingOfItsOwn) {
  // Log lines, two procedures and a page title, in this order.
  const auto play = [](Harness& h) {
    h.w.Log("a");
    h.Open("Frequencies");
    h.Table(0, "Statistics", "X", {"r"}, {"c"}, {1});
    h.End();
    h.w.PageTitle("Page");
    h.w.Log("b");
    h.Open("Crosstabs", 2);
    h.Table(0, "Counts", "X", {"r"}, {"c"}, {1});
    h.End();
    h.w.Log("c");
  };
  struct Case {
    bool seed;
    Strings outline;
  };
  const Case cases[] = {
      {true,
       {"1:Output", "2:Log", "2:Frequencies", "3:Frequencies", "3:Statistics", "2:Page", "2:Log",
        "2:Crosstabs", "3:Crosstabs", "3:Counts", "2:Log"}},
      {false,
       {"1:Log", "1:Frequencies", "2:Frequencies", "2:Statistics", "1:Page", "1:Log", "1:Crosstabs",
        "2:Crosstabs", "2:Counts", "1:Log"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seed ? "a seeded tree" : "a tree of its root alone");
    Harness h({}, omf::stream::kNativeOrder, c.seed);
    play(h);
    EXPECT_EQ(h.Outline(), c.outline);
    EXPECT_EQ(h.Find<OmTextBlock>("Log", 0)->Lines(), (Strings{"a"}));
    EXPECT_EQ(h.Find<OmTextBlock>("Log", 1)->Lines(), (Strings{"b"}));
    EXPECT_EQ(h.Find<OmTextBlock>("Log", 2)->Lines(), (Strings{"c"}));
  }
}

int gFailures = 0; // how many times the fault hook still fails

TEST(ProcedureLifecycle, RunningOutOfMemoryAfterTheMessagesClosesTheProcedureWithANote) {
  struct Case {
    const char* what;
    FaultPoint point;
  };
  const Case cases[] = {
      {"translating the first part", FaultPoint::kFinishPart},
      {"moving the procedure into the caller's tree", FaultPoint::kGraft},
  };
  static FaultPoint failing;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    h.Open("Frequencies");
    h.w.String(1, "Heading");
    h.w.Heading(1);
    h.Table(0, "Statistics", "X", {"r"}, {"c"}, {1});
    failing = c.point;
    gFailures = 1;
    omf::detail::SetFaultHook([](FaultPoint point) {
      if (point == failing && gFailures > 0) {
        --gFailures;
        throw std::bad_alloc();
      }
    });
    EXPECT_NO_THROW(h.End());
    omf::detail::SetFaultHook(nullptr);
    EXPECT_EQ(gFailures, 0);
    EXPECT_EQ(h.Outline(), (Strings{"1:Output", "2:Frequencies", "3:Output Missing"}));
    EXPECT_EQ(h.Find<OmTextBlock>("Output Missing")->Lines(), (Strings{"Out of memory collecting output."}));
    EXPECT_TRUE(h.PlayValidProcedure("Next")) << "the factory stays usable";
  }
}

TEST(ProcedureLifecycle, RunningOutOfMemoryAgainWhileClosingDropsTheProcedureAndTellsTheCaller) {
  Harness h;
  h.Open("Frequencies");
  h.Table(0, "Statistics", "X", {"r"}, {"c"}, {1});
  omf::detail::SetFaultHook([](FaultPoint point) {
    if (point == FaultPoint::kFinishPart) throw std::bad_alloc();
  });
  EXPECT_THROW(h.End(), std::bad_alloc);
  omf::detail::SetFaultHook(nullptr);
  EXPECT_EQ(h.Outline(), (Strings{"1:Output"}));
  EXPECT_TRUE(h.PlayValidProcedure("Next")) << "the factory stays usable";
}

TEST(ProcedureLifecycle, ABrokenEndFragmentKeepsTheOutputCollectedSoFar) {
  Harness h(ParseRequestText("select tables if instances last end"));
  h.Open("Frequencies", 1, /*bootstrap=*/true);
  h.Table(0, "First", "X", {"r"}, {"c"}, {1});
  h.Table(1, "Second", "X", {"r"}, {"c"}, {1});
  // A fragment that claims to continue at byte 4 of a message of 20 bytes that never began.
  Bytes fragment{20, 0, 0, 0, 4, 0, 0, 0, 1, 2};
  try {
    h.factory.Message(291, static_cast<unsigned>(fragment.size()), fragment.data());
    ADD_FAILURE() << "no error";
  } catch (const ProtocolError& e) {
    EXPECT_EQ(e.Type(), 291);
  }
  // Finished without a bootstrap specification: the tables still met selection.
  EXPECT_EQ(h.Outline(), (Strings{"1:Output", "2:Frequencies", "3:Second"}));
  EXPECT_EQ(h.observer.calls, (Strings{"finished", "keep?", "changed"}));
  h.End(); // falls on no procedure
  EXPECT_TRUE(h.PlayValidProcedure("Next")) << "the factory stays usable";
}

// Faults of the stream become ProtocolErrors (tests/factory/BadInputTest.cpp); a logic error from inside
// the factory is its own fault and reaches the caller as it was thrown.
TEST(ProcedureLifecycle, OnlyStreamFaultsBecomeProtocolErrors) {
  const auto thrown = [](void (*hook)(short)) -> std::string {
    Harness h;
    h.Begin("Frequencies");
    omf::detail::SetDispatchHook(hook);
    std::string what;
    try {
      h.w.String(1, "x");
    } catch (const ProtocolError&) {
      what = "ProtocolError";
    } catch (const InternalError&) {
      what = "InternalError";
    } catch (const std::out_of_range&) {
      what = "out_of_range";
    }
    omf::detail::SetDispatchHook(nullptr);
    return what;
  };
  EXPECT_EQ(thrown([](short) { throw InternalError("a broken invariant"); }), "InternalError");
  EXPECT_EQ(thrown([](short) { throw std::out_of_range("an index"); }), "out_of_range");
}

TEST(ProcedureLifecycle, HeadingsAreFoundByTitleAmongManySiblings) {
  Harness h;
  h.Open("Frequencies");
  // Many siblings, then a return to the first: its new content goes under it, before the others.
  for (int i = 0; i < 2000; ++i)
    EmptyHeading(h, std::string("H").append(std::to_string(i)));
  h.w.String(1, "H0");
  h.w.Heading(1);
  h.w.String(1, "Inside H0");
  h.w.TextBlock(1);
  h.w.HeadingEnd();
  // Titles of different kinds are different headings; numbers are equal by value, whatever the format.
  h.w.String(1, "H1");
  h.w.Heading(1);
  h.w.Number(1, 1, WireFormat::Fixed(8, 0));
  h.w.Heading(1);
  h.w.String(1, "number one");
  h.w.TextBlock(1);
  h.w.HeadingEnd();
  h.w.String(1, "1");
  h.w.Heading(1);
  h.w.String(1, "text one");
  h.w.TextBlock(1);
  h.w.HeadingEnd();
  h.w.Number(1, 1, WireFormat::Fixed(8, 2));
  h.w.Heading(1);
  h.w.String(1, "number one again");
  h.w.TextBlock(1);
  h.w.HeadingEnd();
  h.w.HeadingEnd();
  h.End();
  // Empty headings are pruned; H0 and H1 stay with what went into them.
  EXPECT_EQ(h.Outline(), (Strings{"1:Output", "2:Frequencies", "3:Frequencies", "3:H0", "4:Inside H0", "3:H1",
                                  "4:1", "5:number one", "5:number one again", "4:1", "5:text one"}));
}

TEST(ProcedureLifecycle, HeadingsNestAtMostAHundredLevels) {
  Harness h;
  h.Open("Frequencies");
  for (int i = 1; i <= 100; ++i) {
    h.w.String(1, std::string("L").append(std::to_string(i)));
    h.w.Heading(1);
  }
  h.w.String(1, "deepest");
  h.w.TextBlock(1);
  h.w.String(1, "L101");
  try {
    h.w.Heading(1);
    ADD_FAILURE() << "no error";
  } catch (const ProtocolError& e) {
    EXPECT_EQ(e.Type(), 278);
    EXPECT_EQ(e.Problem(), "headings nest more than 100 levels deep");
  }
  // The refused heading changed nothing: the output goes on at the hundredth level.
  h.w.String(1, "still deepest");
  h.w.TextBlock(1);
  h.End();
  const Strings outline = h.Outline();
  ASSERT_EQ(outline.size(), 105u);
  EXPECT_EQ(outline[102], "102:L100");
  EXPECT_EQ(outline[103], "103:deepest");
  EXPECT_EQ(outline[104], "103:still deepest");
  EXPECT_TRUE(h.PlayValidProcedure("Next")) << "the factory stays usable";
}

} // namespace
