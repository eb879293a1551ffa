// Output selection applied by the factory: requests decide which parts stay, instances are counted per
// request and per procedure, hidden parts are pruned when the procedure finishes.
#include <gtest/gtest.h>

#include "support/FactoryHarness.h"
#include <omf/selection/OMSObjectSelector.h>
#include <omf/selection/OMSSelector.h>

using namespace omf;

using omf::fixtures::Harness;

namespace {

using Strings = std::vector<std::string>;

struct Request {
  std::uint32_t types = 0;
  OMSSelector ifSet, exceptSet;
  int showNotes = -1; // -1: not specified
  OMSObjectSelector Build() const {
    OMSObjectSelector r;
    r.SelectType(types);
    r.AddIfOption(ifSet);
    r.AddExceptIfOption(exceptSet);
    if (showNotes >= 0) r.ShowNotesTables(showNotes != 0);
    return r;
  }
};

// Two procedures, each a title, a notes table, three tables "A", "B", "C" (subtypes "Sa", "Sb", "Sc")
// and a heading holding one text block; returns the outline of the caller's tree, with " (hidden)" after
// the parts that stay in it hidden when `markHidden` (headings stay as long as they hold something).
Strings Play(const std::vector<Request>& requests, bool markHidden = false) {
  std::vector<OMSObjectSelector> built;
  for (const Request& r : requests)
    built.push_back(r.Build());
  Harness h(built);
  for (const char* procedure : {"Frequencies", "Crosstabs"}) {
    h.Open(procedure);
    h.Table(0, "Notes", "Notes", {"r"}, {"c"}, {1});
    h.Table(0, std::string("A ") + procedure, "Sa", {"r"}, {"c"}, {1});
    h.Table(0, std::string("B ") + procedure, "Sb", {"r"}, {"c"}, {1});
    h.Table(0, std::string("C ") + procedure, "Sc", {"r"}, {"c"}, {1});
    h.w.String(1, "Heading");
    h.w.Heading(1);
    h.w.String(1, "Remark");
    h.w.TextBlock(1);
    h.w.Text("words");
    h.w.HeadingEnd();
    h.End();
  }
  Strings out = h.Outline();
  for (std::size_t n = 1; n < h.tree.Count(); ++n)
    if (markHidden && !h.tree.Part(n)->IsVisible()) out[n - 1] += " (hidden)";
  out.erase(out.begin()); // the seeded "Output" node
  return out;
}

OMSSelector Instances(std::initializer_list<int> numbers, bool last = false) {
  OMSSelector s;
  for (int n : numbers)
    s.AddInstances(n);
  if (last) s.AddLastInstance();
  return s;
}

TEST(Selection, WithoutRequestsEverythingStays) {
  // Every part, visible, where it was made.
  const Strings everything = {"2:Frequencies",   "3:Frequencies",   "3:Notes",   "3:A Frequencies",
                              "3:B Frequencies", "3:C Frequencies", "3:Heading", "4:Remark",
                              "2:Crosstabs",     "3:Crosstabs",     "3:Notes",   "3:A Crosstabs",
                              "3:B Crosstabs",   "3:C Crosstabs",   "3:Heading", "4:Remark"};
  EXPECT_EQ(Play({}, true), everything);
}

TEST(Selection, InstancesOfTablesPerProcedure) {
  Request second{16, Instances({2})};
  // Notes tables are pivot tables too: "A" is the second table of each procedure.
  EXPECT_EQ(Play({second}), (Strings{"2:Frequencies", "3:A Frequencies", "2:Crosstabs", "3:A Crosstabs"}));
  Request notesHidden = second;
  notesHidden.showNotes = 0; // hidden notes tables are not counted
  EXPECT_EQ(Play({notesHidden}),
            (Strings{"2:Frequencies", "3:B Frequencies", "2:Crosstabs", "3:B Crosstabs"}));
  Request last{16, Instances({}, true)};
  EXPECT_EQ(Play({last}), (Strings{"2:Frequencies", "3:C Frequencies", "2:Crosstabs", "3:C Crosstabs"}));
  Request firstAndLast{16, Instances({1}, true)};
  EXPECT_EQ(Play({firstAndLast}), (Strings{"2:Frequencies", "3:Notes", "3:C Frequencies", "2:Crosstabs",
                                           "3:Notes", "3:C Crosstabs"}));
}

TEST(Selection, ExceptIfExcludes) {
  OMSSelector commands;
  commands.AddCommands("cross tabs"); // blanks do not count, case does not matter
  Request noCrosstabs{16, {}, commands, 0};
  EXPECT_EQ(Play({noCrosstabs}),
            (Strings{"2:Frequencies", "3:A Frequencies", "3:B Frequencies", "3:C Frequencies"}));

  OMSSelector onlyB;
  onlyB.AddSubtypes("SB");
  Request notB{16, onlyB, {}, 0};
  EXPECT_EQ(Play({notB}), (Strings{"2:Frequencies", "3:B Frequencies", "2:Crosstabs", "3:B Crosstabs"}));

  OMSSelector labels;
  labels.AddNames("C Frequencies");
  Request noC{16, {}, labels, 0};
  EXPECT_EQ(Play({noC}), (Strings{"2:Frequencies", "3:A Frequencies", "3:B Frequencies", "2:Crosstabs",
                                  "3:A Crosstabs", "3:B Crosstabs", "3:C Crosstabs"}));

  Request notSecond{16, {}, Instances({2}), 0};
  EXPECT_EQ(Play({notSecond}), (Strings{"2:Frequencies", "3:A Frequencies", "3:C Frequencies", "2:Crosstabs",
                                        "3:A Crosstabs", "3:C Crosstabs"}));
}

TEST(Selection, HeadingsEmptiedBySelectionDisappear) {
  // Text blocks only: the heading keeps its block, procedures keep their titles.
  Request texts{2};
  EXPECT_EQ(Play({texts}), (Strings{"2:Frequencies", "3:Frequencies", "3:Heading", "4:Remark", "2:Crosstabs",
                                    "3:Crosstabs", "3:Heading", "4:Remark"}));
  // Headings only: a heading whose children were all hidden is pruned, and so is the procedure.
  Request headings{32};
  EXPECT_EQ(Play({headings}), Strings{});
}

TEST(Selection, ASecondRequestCountsOnlyWhatTheFirstLeft) {
  OMSSelector a;
  a.AddSubtypes("Sa");
  Request first{16, a, {}, 0};
  Request second{16, Instances({2}), {}, 0}; // counts B (1) and C (2)
  EXPECT_EQ(Play({first, second}), (Strings{"2:Frequencies", "3:A Frequencies", "3:C Frequencies",
                                            "2:Crosstabs", "3:A Crosstabs", "3:C Crosstabs"}));
}

TEST(Selection, LogsAndPageTitlesOutsideProcedures) {
  const auto play = [](std::uint32_t types) {
    std::vector<OMSObjectSelector> requests(1);
    requests[0].SelectType(types);
    Harness h(requests);
    h.w.Log("line");
    h.w.PageTitle("Page");
    h.w.Log("more");
    Strings out = h.Outline();
    out.erase(out.begin());
    return out;
  };
  EXPECT_EQ(play(4), (Strings{"2:Log", "2:Log"}));
  EXPECT_EQ(play(64), (Strings{"2:Page"}));
  EXPECT_EQ(play(4 | 64), (Strings{"2:Log", "2:Page", "2:Log"}));
}

} // namespace
