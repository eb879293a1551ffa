// The loop that runs the passes of the finish step: what it drops and inserts, who visits what, and how
// far each pass got when one fails.
#include <omf/procedure/FinishPass.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <new>

#include <omf/diagnostics/FaultInjection.h>
#include <omf/selection/FactorySelector.h>
#include <omf/selection/RequestText.h>

using namespace omf;

namespace {

using Strings = std::vector<std::string>;
using omf::detail::FaultPoint;

OmStringCell Title(const std::string& text) {
  return OmStringCell(text);
}
std::unique_ptr<OmOutputPart> Heading(const std::string& title) {
  return std::make_unique<OmHeading>(Title(title));
}
std::unique_ptr<OmOutputPart> Block(const std::string& title) {
  return std::make_unique<OmTextBlock>(Title(title), "UTF-8");
}
std::unique_ptr<OmOutputPart> Table(const std::string& title) {
  return std::make_unique<OmPivotTable>(Title(title), Title(title), false);
}

std::string TitleOf(const OmOutputPart& part) {
  return part.Title().AsString();
}

Strings Outline(const OmOutputTree& tree) {
  Strings out;
  for (std::size_t n = 1; n < tree.Count(); ++n)
    out.push_back(std::to_string(tree.Level(n)) + ":" + TitleOf(*tree.Part(n)));
  return out;
}

// Hears of every part the tree destroys and makes selection forget it, as the procedure factory does.
struct Listener : OmOutputTree::RemovalListener {
  explicit Listener(OmFactorySelector* selector = nullptr) : selector(selector) {}
  void Removing(const OmOutputPart& part) noexcept override {
    removed.push_back(TitleOf(part));
    if (selector) selector->Forget(&part);
  }
  OmFactorySelector* selector;
  Strings removed;
};

// Records what it visits; drops the parts titled in `drop` and inserts after those titled in `insert`.
class Recorder : public OmFinishPass {
public:
  Recorder(Strings& visits, std::string name, std::map<std::string, Strings> insert = {}, Strings drop = {})
      : _visits(visits), _name(std::move(name)), _insert(std::move(insert)), _drop(std::move(drop)) {}
  void Begin(OmOutputTree&) override { _visits.push_back(_name + " begins"); }
  Verdict Visit(OmOutputPart& part, Insertions& after) override {
    const std::string title = TitleOf(part);
    _visits.push_back(_name + " " + title);
    if (const auto found = _insert.find(title); found != _insert.end())
      for (const std::string& block : found->second)
        after.push_back(Block(block));
    return std::find(_drop.begin(), _drop.end(), title) != _drop.end() ? Verdict::kDrop : Verdict::kKeep;
  }

private:
  Strings& _visits;
  std::string _name;
  std::map<std::string, Strings> _insert;
  Strings _drop;
};

// Procedure
//   Heading
//     Drop me
//       Inside
//     Keep
//   Source
//   Last
void Fill(OmOutputTree& tree) {
  const std::size_t procedure = tree.Append(0, Heading("Procedure"));
  const std::size_t heading = tree.Append(procedure, Heading("Heading"));
  tree.Append(tree.Append(heading, Heading("Drop me")), Block("Inside"));
  tree.Append(heading, Table("Keep"));
  tree.Append(procedure, Table("Source"));
  tree.Append(procedure, Block("Last"));
}

TEST(FinishPasses, DropAndInsertOncePassHasVisitedEveryPartAndLaterPassesSeeTheResult) {
  const auto requests = omf::selection::ParseRequestText("select headings if instances last end");
  OmFactorySelector selector(requests);
  Listener listener(&selector);
  OmOutputTree tree;
  tree.SetRemovalListener(&listener);
  Fill(tree);
  // Selection counts "Drop me" as the last heading so far: when it goes, selection must let go of it.
  tree.Part(3)->Accept(selector);

  Strings visits;
  OmFinishPasses passes;
  passes.Add(std::make_unique<Recorder>(visits, "first",
                                        std::map<std::string, Strings>{{"Source", {"Note 1", "Note 2"}},
                                                                       {"Heading", {"After heading"}},
                                                                       {"Keep", {"After keep"}}},
                                        Strings{"Drop me"}));
  passes.Add(std::make_unique<Recorder>(visits, "second"));
  passes.Run(tree);

  // Parts inserted after the heading and after its last child meet at one position; the child's stay
  // inside the heading.
  EXPECT_EQ(Outline(tree), (Strings{"1:Procedure", "2:Heading", "3:Keep", "3:After keep", "2:After heading",
                                    "2:Source", "2:Note 1", "2:Note 2", "2:Last"}));
  EXPECT_EQ(listener.removed, (Strings{"Drop me", "Inside"}));
  // A pass does not visit what it inserts, nor what lies below a part it drops; the next pass sees
  // the tree as the first one left it.
  EXPECT_EQ(visits, (Strings{"first begins", "first Procedure", "first Heading", "first Drop me",
                             "first Keep", "first Source", "first Last", "second begins", "second Procedure",
                             "second Heading", "second Keep", "second After keep", "second After heading",
                             "second Source", "second Note 1", "second Note 2", "second Last"}));

  // The next heading is the last instance; had selection kept the dropped one, it would reach freed memory.
  OmHeading later(Title("Later"));
  later.Accept(selector);
  EXPECT_TRUE(later.IsVisible());
  tree.SetRemovalListener(nullptr);
}

int gFailAt = 0; // the visit that fails, counted from 1 over all passes; 0 for none

TEST(FinishPasses, AfterAFailureAndARewindEachPassVisitsWhatItHasNotSeen) {
  // Three passes over the three parts; a failure at one visit, then the output from node 2 on is
  // replaced (as closing with a note does) and the run resumes.
  struct Case {
    int failAt;
    Strings resumed; // the visits of the second run
  };
  const Case cases[] = {
      {1,
       {"a Procedure", "a Note", "b begins", "b Procedure", "b Note", "c begins", "c Procedure", "c Note"}},
      {2, {"a Note", "b begins", "b Procedure", "b Note", "c begins", "c Procedure", "c Note"}},
      {4, {"a Note", "b Procedure", "b Note", "c begins", "c Procedure", "c Note"}},
      {9, {"a Note", "b Note", "c Note"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("failing at visit " + std::to_string(c.failAt));
    OmOutputTree tree;
    const std::size_t procedure = tree.Append(0, Heading("Procedure"));
    tree.Append(procedure, Table("One"));
    tree.Append(procedure, Table("Two"));
    Strings visits;
    OmFinishPasses passes;
    for (const char* name : {"a", "b", "c"})
      passes.Add(std::make_unique<Recorder>(visits, name));
    gFailAt = c.failAt;
    omf::detail::SetFaultHook([](FaultPoint point) {
      if (point == FaultPoint::kFinishPart && --gFailAt == 0) throw std::bad_alloc();
    });
    EXPECT_THROW(passes.Run(tree), std::bad_alloc);
    omf::detail::SetFaultHook(nullptr);

    tree.Amputate(1, Title("Note"), "UTF-8");
    passes.Rewind(2);
    visits.clear();
    passes.Run(tree);
    EXPECT_EQ(visits, c.resumed);
  }
}

} // namespace
