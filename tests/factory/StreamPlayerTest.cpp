#include <omf/factory/FactorySink.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/FactoryHarness.h"
#include <omf/stream/MessageScript.h>
#include <omf/stream/StreamFile.h>
#include <omf/stream/TableWriter.h>

using namespace omf;

using namespace omf::stream;
using omf::fixtures::CellText;
using omf::fixtures::Harness;

namespace {

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
// same table: texts, numbers, the procedure number of 8 bytes in the table's id, and the footnote.
TEST(StreamPlayer, WriterSessionsBuildTheSameTableWhicheverWayTheyArrive) {
  Harness direct({}, kNativeOrder, /*seed=*/false);
  Session(direct.w);
  for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
    Harness played({}, kNativeOrder, /*seed=*/false);
    StreamReader reader(Recorded(order));
    EXPECT_GT(PlayStream(reader, played.factory), 20u);
    for (const Harness* h : {&direct, &played}) {
      const OmPivotTable* t = h->Find<OmPivotTable>("Descriptive Statistics");
      ASSERT_NE(t, nullptr);
      EXPECT_EQ(CellText(*t, {0, 0}), "20");
      EXPECT_EQ(CellText(*t, {1, 0}), "41.25");
      EXPECT_EQ(CellText(*t, {0, 1}), "19");
      EXPECT_EQ(CellText(*t, {1, 1}), "n/a");
      EXPECT_EQ(t->TableId(), (4ull << 20) + 1);
      EXPECT_EQ(t->Footnotes().at(0).text->AsString(), "Rounded.");
    }
    EXPECT_EQ(played.Outline(), direct.Outline());
  }
}

TEST(StreamPlayer, TheDocumentedExampleBuildsItsTable) {
  const std::string script = DocumentedExample();
  ASSERT_FALSE(script.empty()) << "docs/message-script.md lost its example";
  Harness h;
  StreamReader reader(StreamBytes(AssembleScript(script)));
  PlayStream(reader, h.factory);
  const OmPivotTable* t = h.Find<OmPivotTable>("Gender");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(CellText(*t, {0, 0}), "12");
  EXPECT_EQ(CellText(*t, {1, 0}), "54.5");
  EXPECT_EQ(CellText(*t, {0, 1}), "10");
  EXPECT_EQ(CellText(*t, {1, 1}), "45.5");
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
    Harness h;
    StreamReader reader(StreamBytes(records));
    try {
      PlayStream(reader, h.factory);
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
  Harness h;
  StreamReader reader(cut);
  EXPECT_THROW(PlayStream(reader, h.factory), StreamFormatError);
  EXPECT_EQ(h.Outline(), (std::vector<std::string>{"1:Output", "2:Log"})) << "the first log line arrived";
}
