// Criterion sets and object selectors: list matching, criterion tests, instances, notes tables and the
// preconditions.
#include <omf/selection/OMSObjectSelector.h>

#include <gtest/gtest.h>

#include <functional>

using namespace omf;

namespace {

enum class List { kCommand, kSubtype, kName };

bool Matches(List list, const char* pattern, const char* candidate) {
  OMSSelector set;
  switch (list) {
  case List::kCommand:
    set.AddCommands(pattern);
    return set.GetHasCommand(candidate);
  case List::kSubtype:
    set.AddSubtypes(pattern);
    return set.GetHasSubtype(candidate);
  default:
    set.AddNames(pattern);
    return set.GetHasName(candidate);
  }
}

// A criterion set of these commands, subtypes and labels.
OMSSelector Criteria(std::initializer_list<const char*> commands,
                     std::initializer_list<const char*> subtypes = {},
                     std::initializer_list<const char*> labels = {}) {
  OMSSelector set;
  for (const char* c : commands)
    set.AddCommands(c);
  for (const char* t : subtypes)
    set.AddSubtypes(t);
  for (const char* l : labels)
    set.AddNames(l);
  return set;
}

} // namespace

TEST(OMSSelector, ListMatching) {
  struct Case {
    List list;
    const char* pattern;
    const char* candidate;
    bool match;
  };
  const Case cases[] = {
      {List::kCommand, "REG*", "Regression", true},
      {List::kCommand, "REG*", "REGRESSION", true},
      {List::kCommand, "REG*", "REG", true},
      {List::kCommand, "REG*", "RE", false},
      {List::kCommand, "Cross Tabs", "CROSSTABS", true}, // blanks go on both sides
      {List::kCommand, "CROSSTABS", "Cross-Tabs", true}, // and hyphens
      {List::kCommand, "Cross\tTabs", "crosstabs", true},
      {List::kSubtype, "Case Processing*", "Case-processing summary", true},
      {List::kSubtype, "Statistics", "Statistic", false},
      {List::kName, "My Table", "MyTable", false}, // names keep their blanks
      {List::kName, "My Table", "my table", true},
      {List::kName, "My-Table", "My Table", false},
      {List::kName, "Größe", "GRÖSSE", true}, // stored and compared upper-cased, full mapping
      {List::kName, "*", "", true},
      {List::kName, "*", "anything at all", true},
      {List::kName, "A*B", "AXB", false}, // a '*' that is not last is a character
      {List::kName, "A*B", "a*b", true},
      {List::kName, "A**", "A*xyz", true},
      {List::kName, "A**", "Axyz", false},
      // A byte that is not UTF-8 matches only itself, never another one or a character.
      {List::kCommand, "Caf\xE9", "CAF\xE9", true},
      {List::kCommand, "Caf\xE9", "Caf\xE8", false},
      {List::kCommand, "Caf\xE9", "Caf\xEF\xBF\xBD", false}, // U+FFFD, what a bad byte decodes as
      {List::kCommand, "Caf\xC3\xA9", "Caf\xE9", false},
      {List::kName, "caf\xE9*", "CAF\xE9 au lait", true},
      {List::kName, "Caf*", "caf\xE9", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Matches(c.list, c.pattern, c.candidate), c.match) << c.pattern << " / " << c.candidate;

  EXPECT_FALSE(OMSSelector().GetHasCommand("Anything"));
  const OMSSelector two = Criteria({"Means", "freq*"});
  EXPECT_TRUE(two.GetHasCommand("Frequencies")); // any pattern of the list
  EXPECT_EQ(two.GetCommands(), (std::vector<std::string>{"MEANS", "FREQ*"}));
}

TEST(OMSObjectSelector, ObjectSelection) {
  // A request without types selects nothing, notes tables included, until notes are specified.
  OMSObjectSelector none;
  EXPECT_FALSE(none.IsObjectSelected(16, "Frequencies", "Notes", "Notes"));
  none.ShowNotesTables(true);
  EXPECT_TRUE(none.IsObjectSelected(16, "Frequencies", "Notes", "Notes"));
  EXPECT_FALSE(
      none.IsObjectSelected(16, "Frequencies", "notes", "Notes")); // the subtype must be exactly Notes

  OMSObjectSelector hide;
  hide.SelectType(511);
  hide.ShowNotesTables(false);
  EXPECT_FALSE(hide.IsObjectSelected(16, "Frequencies", "Notes", "Notes"));
  EXPECT_TRUE(hide.IsObjectSelected(16, "Frequencies", "Statistics", "Statistics"));
  EXPECT_TRUE(hide.IsObjectSelected(1, "Frequencies", "Notes", "")); // only tables are notes tables

  // IF subtypes concern tables only; other types pass the subtype test.
  OMSObjectSelector tables;
  tables.SelectType(OMSObjectSelector::kTABLE | OMSObjectSelector::kCHART);
  tables.AddIfOption(Criteria({"Freq*"}, {"Statistics"}));
  EXPECT_TRUE(tables.IsObjectSelected(16, "Frequencies", "Statistics", "Statistics"));
  EXPECT_FALSE(tables.IsObjectSelected(16, "Frequencies", "Frequencies", "Sex"));
  EXPECT_TRUE(tables.IsObjectSelected(1, "Frequencies", "", "Bar chart"));
  EXPECT_FALSE(tables.IsObjectSelected(1, "Means", "", "Bar chart"));
  EXPECT_FALSE(tables.IsObjectSelected(2, "Frequencies", "", "")); // type not selected

  // EXCEPTIF subtypes apply to every type: a chart has none, so it escapes an EXCEPTIF that lists some.
  OMSObjectSelector charts;
  charts.SelectType(OMSObjectSelector::kCHART | OMSObjectSelector::kTABLE);
  charts.AddExceptIfOption(Criteria({"Regression"}, {"Coefficients"}));
  EXPECT_TRUE(charts.IsObjectSelected(1, "Regression", "", "Scatter"));
  EXPECT_FALSE(charts.IsObjectSelected(16, "Regression", "Coefficients", "Coefficients"));
  EXPECT_TRUE(charts.IsObjectSelected(16, "Regression", "ANOVA", "ANOVA"));
  charts.AddExceptIfOption(Criteria({"Regression"}));
  EXPECT_FALSE(charts.IsObjectSelected(1, "Regression", "", "Scatter"));

  // EXCEPTIF labels.
  OMSObjectSelector labels;
  labels.SelectType(OMSObjectSelector::kTABLE);
  labels.AddExceptIfOption(Criteria({}, {}, {"Case Processing*"}));
  EXPECT_FALSE(labels.IsObjectSelected(16, "Means", "Case Processing Summary", "Case Processing Summary"));
  EXPECT_TRUE(labels.IsObjectSelected(16, "Means", "Report", "Report"));
}

TEST(OMSObjectSelector, InstanceSelection) {
  struct Case {
    std::vector<int> ifInstances;
    bool ifLast;
    std::vector<int> exceptInstances;
    std::vector<bool> selected; // for instances 1, 2, 3, 4
  };
  const Case cases[] = {
      {{}, false, {}, {true, true, true, true}},
      {{1, 3}, false, {}, {true, false, true, false}},
      {{}, false, {3}, {true, true, false, true}},
      {{}, true, {}, {false, false, false, false}}, // LAST is the selection visitor's business
      {{1}, true, {1}, {false, false, false, false}},
  };
  for (const Case& c : cases) {
    OMSObjectSelector s;
    OMSSelector ifSet, exceptSet;
    for (int i : c.ifInstances)
      ifSet.AddInstances(i);
    if (c.ifLast) ifSet.AddLastInstance();
    for (int i : c.exceptInstances)
      exceptSet.AddInstances(i);
    s.AddIfOption(ifSet);
    s.AddExceptIfOption(exceptSet);
    for (int n = 1; n <= 4; ++n)
      EXPECT_EQ(s.IsInstanceSelected(n), c.selected[static_cast<std::size_t>(n - 1)]) << "instance " << n;
    EXPECT_EQ(s.IsLastInstanceSelected(), c.ifLast);
  }
  OMSObjectSelector s;
  OMSSelector lastExcluded;
  lastExcluded.AddLastInstance();
  s.AddExceptIfOption(lastExcluded);
  EXPECT_TRUE(s.IsLastInstanceExcluded());
  EXPECT_TRUE(s.IsInstanceSelected(1));
}

TEST(OMSObjectSelector, AnEmptyCriterionSetChangesNothingAnotherReplacesTheWholeSet) {
  OMSObjectSelector s;
  s.AddIfOption(Criteria({"Means"}));
  s.AddIfOption(OMSSelector());
  EXPECT_EQ(s.GetIfOption().GetCommands(), std::vector<std::string>{"MEANS"});
  OMSSelector instances;
  instances.AddInstances(2);
  s.AddIfOption(instances);
  EXPECT_FALSE(s.GetIfOption().HasCommands());
}

TEST(Selection, PreconditionsThrowWithTheBrokenCondition) {
  struct Case {
    const char* condition;
    std::function<void()> call;
  };
  const Case cases[] = {
      {"inst > 0", [] { OMSSelector().AddInstances(0); }},
      {"inst > 0", [] { OMSSelector().AddInstances(-2); }},
      {"tag.length() > 0", [] { OMSObjectSelector().SetOMSTag(""); }},
      {"!HasColumn(str)",
       [] {
         OMSColumns c;
         c.AddColumn("Statistics");
         c.AddColumn("STATISTICS");
       }},
      {"!HasColumn(pc)",
       [] {
         OMSColumns c;
         c.AddColumn(OmParsedColumn("R1"));
         c.AddColumn(OmParsedColumn("r1"));
       }},
      {"_my._columnsForm != OMSColumns::kSEQUENCE",
       [] {
         OMSColumns c;
         c.AddColumn(OmParsedColumn("R1"));
         c.AddColumn("Statistics");
       }},
      {"_my._columnsForm != OMSColumns::kDIMNAMES",
       [] {
         OMSColumns c;
         c.AddColumn("Statistics");
         c.AddColumn(OmParsedColumn("R1"));
       }},
      {"_my._columnsForm != OMSColumns::kDIMNAMES",
       [] {
         OMSColumns c;
         c.AddColumn("Statistics");
         (void)c.HasAxis(OmParsedColumn::kROW);
       }},
      {"pc.IsValidToken()", [] { OMSColumns().AddColumn(OmParsedColumn("R0")); }},
  };
  for (const Case& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "no exception for " << c.condition;
    } catch (const std::logic_error& e) {
      EXPECT_STREQ(e.what(), c.condition);
    }
  }
}
