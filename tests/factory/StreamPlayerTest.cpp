#include "factory/FactorySink.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "factory/Factory.h"
#include "model/OutputTree.h"
#include "model/PivotTable.h"
#include "selection/OMSObjectSelector.h"
#include "stream/MessageScript.h"
#include "stream/StreamFile.h"
#include "stream/TableWriter.h"

using namespace omf::stream;

namespace {

class Keep : public OmFactory::Observer {
public:
  bool KeepProcedure() override { return true; }
};

// A factory over its own tree that keeps every procedure.
struct Player {
  Player() : factory(&tree, "", "UTF-8", selectors) { factory.Register(&keep); }

  const OmPivotTable* Table(const std::string& title) const {
    for (std::size_t n = 1; n < tree.Count(); ++n)
      if (auto* t = dynamic_cast<const OmPivotTable*>(tree.Part(n)); t && t->Title().AsString() == title)
        return t;
    return nullptr;
  }
  std::string Cell(const std::string& table, const std::vector<int>& at) const {
    const OmPivotTable* t = Table(table);
    if (t == nullptr) return "<no table>";
    const OmCellText* c = t->Cell(at);
    return c ? c->AsString() : "<none>";
  }

  OmOutputTree tree;
  std::vector<OMSObjectSelector> selectors;
  Keep keep;
  OmFactory factory;
};

// A procedure with one table written through the table helper.
void Session(MessageWriter& w) {
  ProcedureSettings s;
  s.procedure = "Descriptives";
  w.ProcedureBegin(4, s);
  // A procedure holding nothing but its first child is dropped.
  w.String(1, "Descriptives");
  w.TextBlock(1);
  w.Text("Descriptives");
  TableWriter t(w, 2);
  t.Begin("Descriptive Statistics", "Descriptive Statistics");
  t.Place("Statistics", Axis::Columns, 1);
  t.CellDimension("Statistics");
  t.Category("Variables", "age");
  t.Cell("N", 20, WireFormat::Fixed(5, 0));
  t.Cell("Mean", 41.25, WireFormat::Fixed(8, 2));
  t.Footnote(FootnoteTarget::Cell, "Rounded.", "a");
  t.Category("Variables", "income");
  t.Cell("N", 19, WireFormat::Fixed(5, 0));
  t.Cell("Mean", "n/a");
  t.End();
  w.ProcedureEnd();
}

std::vector<unsigned char> Recorded(ByteOrder order) {
  RecordingSink sink;
  MessageWriter w(sink, order);
  if (order != kNativeOrder) w.ByteOrderProbe();
  Session(w);
  return StreamBytes(sink.Take());
}

// The example script of docs/message-script.md, the fenced block after its marker.
std::string DocumentedExample() {
  // The tests run with OMF_DATA_DIR set to the source tree.
  const char* root = std::getenv("OMF_DATA_DIR");
  if (root == nullptr) return "";
  const auto path = std::filesystem::path(root) / "docs/message-script.md";
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string doc = ss.str();
  const std::size_t marker = doc.find("<!-- example: small-table -->");
  if (marker == std::string::npos) return "";
  const std::size_t start = doc.find("```\n", marker) + 4;
  return doc.substr(start, doc.find("```", start) - start);
}

} // namespace

// The same session straight into a factory, and recorded and played in either byte order, builds the
// same table.
TEST(StreamPlayer, WriterSessionsBuildTheSameTableWhicheverWayTheyArrive) {
  Player direct;
  FactorySink sink(direct.factory);
  MessageWriter w(sink);
  Session(w);
  for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
    Player played;
    StreamReader reader(Recorded(order));
    EXPECT_GT(PlayStream(reader, played.factory), 20u);
    for (const Player* p : {&direct, &played}) {
      EXPECT_EQ(p->Cell("Descriptive Statistics", {0, 0}), "20");
      EXPECT_EQ(p->Cell("Descriptive Statistics", {1, 0}), "41.25");
      EXPECT_EQ(p->Cell("Descriptive Statistics", {0, 1}), "19");
      EXPECT_EQ(p->Cell("Descriptive Statistics", {1, 1}), "n/a");
    }
    EXPECT_EQ(played.tree.Count(), direct.tree.Count());
  }
}

TEST(StreamPlayer, TheDocumentedExampleBuildsItsTable) {
  const std::string script = DocumentedExample();
  ASSERT_FALSE(script.empty()) << "docs/message-script.md lost its example";
  Player p;
  StreamReader reader(StreamBytes(AssembleScript(script)));
  PlayStream(reader, p.factory);
  const OmPivotTable* t = p.Table("Gender");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(p.Cell("Gender", {0, 0}), "12");
  EXPECT_EQ(p.Cell("Gender", {1, 0}), "54.5");
  EXPECT_EQ(p.Cell("Gender", {0, 1}), "10");
  EXPECT_EQ(p.Cell("Gender", {1, 1}), "45.5");
  EXPECT_EQ(t->Cell({1, 1})->Footnotes().size(), 1u);
}

// Whatever the factory throws for a record comes back as one error naming the record; the records
// before it stay played, and a cut file reports the cut record the same way.
TEST(StreamPlayer, RefusedRecordsAreNamedWithTheFactorysReason) {
  struct Case {
    const char* script;
    std::uint64_t index;
    short type;
    const char* contains;
  };
  const Case cases[] = {
      {"signal\ncell tcid=0 cell=9 category=8", 2, 273, "slot"},
      {"procedure-begin settings=\"procedure=X\"\nprocedure-begin settings=\"procedure=Y\"", 2, 276, "open"},
      {"raw type=256 payload=x\"0000\"", 1, 256, "needs bytes up to 8 but the payload has 2"},
      {"procedure-begin settings=\"procedure=X\"\nprocedure-end total=100 offset=50 data=\"x\"", 2, 291,
       "out of order"},
      {"procedure-begin settings=\"procedure=X\"\ntable-end tcid=4", 2, 275, ""},
  };
  for (const Case& c : cases) {
    const std::vector<StreamRecord> records = AssembleScript(c.script);
    Player p;
    StreamReader reader(StreamBytes(records));
    try {
      PlayStream(reader, p.factory);
      ADD_FAILURE() << "played: " << c.script;
    } catch (const StreamPlayError& e) {
      const StreamRecord& r = records[c.index - 1];
      EXPECT_EQ(e.Index(), c.index) << c.script;
      EXPECT_EQ(e.Type(), c.type) << c.script;
      EXPECT_EQ(e.Offset(), r.offset) << c.script;
      const std::string prefix = "record " + std::to_string(c.index) + " (type " + std::to_string(c.type) +
                                 ") at byte " + std::to_string(r.offset) + ": ";
      EXPECT_EQ(std::string(e.what()).substr(0, prefix.size()), prefix) << e.what();
      EXPECT_NE(e.Problem().find(c.contains), std::string::npos) << e.what();
      EXPECT_FALSE(e.Problem().empty());
    }
  }
  std::vector<unsigned char> cut = StreamBytes(AssembleScript("log text=\"one\"\nlog text=\"two\""));
  cut.pop_back();
  Player p;
  StreamReader reader(cut);
  EXPECT_THROW(PlayStream(reader, p.factory), StreamFormatError);
  EXPECT_EQ(p.tree.Count(), 2u) << "the first log line arrived";
}
