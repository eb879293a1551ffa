#pragma once
// A factory over a tree, an observer that records what it is told, and a message writer that sends
// straight into the factory: what most end-to-end tests need.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <omf/factory/Factory.h>
#include <omf/factory/FactorySink.h>
#include <omf/model/OutputTree.h>
#include <omf/model/PivotTable.h>
#include <omf/selection/OMSObjectSelector.h>
#include <omf/stream/MessageWriter.h>

namespace omf {

namespace fixtures {

// Records the observer calls in order, as short words.
class RecordingObserver : public OmFactory::Observer {
public:
  explicit RecordingObserver(std::string name = "", bool keep = true) : name(std::move(name)), keep(keep) {}
  void ProcedureFinished(OmOutputTree&) override { calls.push_back(name + "finished"); }
  bool KeepProcedure() override {
    calls.push_back(name + "keep?");
    return keep;
  }
  void LogLine(const std::string& line) override { calls.push_back(name + "log:" + line); }
  void LogEnded() override { calls.push_back(name + "log-ended"); }
  void Signal() override { calls.push_back(name + "signal"); }
  void PageTitle(const std::string& t, const std::string& s) override {
    calls.push_back(name + "page:" + t + "/" + s);
  }
  void OutputTreeChanged(OmOutputTree&) override { calls.push_back(name + "changed"); }

  std::string name;
  bool keep;
  std::vector<std::string> calls;
};

struct Harness {
  // The caller's tree starts with one top node, "Output", under which procedures and logs are grafted
  // (as a viewer's document node), unless `seed` is false.
  explicit Harness(std::vector<OMSObjectSelector> requests = {},
                   omf::stream::ByteOrder order = omf::stream::kNativeOrder, bool seed = true)
      : selectors(std::move(requests)), factory(&tree, "", "UTF-8", selectors), sink(factory),
        w(sink, order) {
    if (seed) tree.Append(0, std::make_unique<OmHeading>(OmStringCell("Output")));
    factory.Register(&observer);
  }

  // Opens a procedure.
  void Begin(const std::string& procedure, std::int64_t number = 1, bool bootstrap = false) {
    omf::stream::ProcedureSettings s;
    s.procedure = procedure;
    s.bootstrap = bootstrap;
    w.ProcedureBegin(number, s);
  }
  void End(const std::string& bootstrapSpec = "") { w.ProcedureEnd(bootstrapSpec); }
  // Opens a procedure with its title block, as most procedures begin.
  void Open(const std::string& procedure, std::int64_t number = 1, bool bootstrap = false) {
    Begin(procedure, number, bootstrap);
    Title(procedure);
  }

  // A title text block, as procedures begin with.
  void Title(const std::string& text) {
    w.String(1, text);
    w.TextBlock(1);
    w.Text(text);
  }

  // Opens table `tcid` named `name` of subtype `subtype` with its first dimension: the cell dimension, or
  // with `cells` false a dimension placed as its categories come.
  void BeginTable(const std::string& name, const std::string& subtype, const std::string& dimension,
                  bool cells = true, std::uint8_t tcid = 0) {
    w.String(1, name);
    w.String(2, subtype);
    w.TableBegin(tcid, 1, 2);
    w.String(1, dimension);
    if (cells)
      w.CellDimension(tcid, 1);
    else
      w.Dimension(tcid, 1);
  }

  // A table `name` of subtype `subtype` with row categories and column categories of the dimensions
  // "Rows" and "Columns" and the cell values row by row.
  void Table(std::uint8_t tcid, const std::string& name, const std::string& subtype,
             const std::vector<std::string>& rows, const std::vector<std::string>& columns,
             const std::vector<double>& values, const std::function<void()>& beforeEnd = {}) {
    BeginTable(name, subtype, "Columns", false, tcid);
    std::size_t k = 0;
    for (const std::string& r : rows) {
      w.String(1, r);
      w.String(2, "Rows");
      w.Category(tcid, 1, 2);
      w.String(1, "Columns");
      w.CellDimension(tcid, 1);
      for (const std::string& c : columns) {
        w.Number(3, k < values.size() ? values[k] : 0.0, omf::stream::WireFormat::Fixed(8, 2));
        ++k;
        w.String(4, c);
        w.Cell(tcid, 3, 4);
      }
    }
    if (beforeEnd) beforeEnd();
    w.TableEnd(tcid);
  }

  // Plays one complete, valid procedure, as a check that the factory is still usable after a refusal:
  // true when its table reached the tree.
  bool PlayValidProcedure(const std::string& name) {
    Open(name);
    Table(0, name + " table", "X", {"r"}, {"c"}, {1});
    End();
    return Find<OmPivotTable>(name + " table") != nullptr;
  }

  // Nodes of the caller's tree as "level:title" strings.
  std::vector<std::string> Outline() const {
    std::vector<std::string> out;
    for (std::size_t n = 1; n < tree.Count(); ++n)
      out.push_back(std::to_string(tree.Level(n)) + ":" + tree.Part(n)->Title().AsString());
    return out;
  }
  template <class T> T* Find(const std::string& title, std::size_t nth = 0) const {
    for (std::size_t n = 1; n < tree.Count(); ++n)
      if (auto* p = dynamic_cast<T*>(tree.Part(n)); p && p->Title().AsString() == title && nth-- == 0)
        return p;
    return nullptr;
  }

  OmOutputTree tree;
  std::vector<OMSObjectSelector> selectors;
  OmFactory factory;
  omf::stream::FactorySink sink;
  omf::stream::MessageWriter w;
  RecordingObserver observer;
};

// The text of a table's cell at the given subscripts, or "<none>".
inline std::string CellText(const OmPivotTable& t, const std::vector<int>& at) {
  const OmCellText* c = t.Cell(at);
  return c ? c->AsString() : "<none>";
}

} // namespace fixtures

} // namespace omf
