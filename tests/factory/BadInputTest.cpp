// Malformed messages raise a ProtocolError naming the message type and the field; the factory keeps
// what it had and accepts the next valid message. Out of memory inside a procedure closes it with a note.
#include <gtest/gtest.h>

#include <cstring>
#include <new>

#include "support/FactoryHarness.h"
#include <omf/diagnostics/FaultInjection.h>
#include <omf/protocol/ProtocolError.h>

using namespace omf;

using omf::fixtures::Harness;
using omf::stream::WireFormat;

namespace {

using Strings = std::vector<std::string>;
using Bytes = std::vector<unsigned char>;

Bytes I32s(std::initializer_list<std::int32_t> values) {
  Bytes out;
  for (std::int32_t v : values) {
    const auto* p = reinterpret_cast<const unsigned char*>(&v);
    out.insert(out.end(), p, p + 4);
  }
  return out;
}

struct Case {
  const char* what;
  std::function<void(Harness&)> send;
  short type;
  const char* inMessage; // a piece of the error's text
};

TEST(BadInput, MalformedMessagesRaiseProtocolErrorsAndTheFactoryGoesOn) {
  const auto raw = [](short type, Bytes payload) {
    return [type, payload](Harness& h) mutable {
      h.factory.Message(type, static_cast<unsigned>(payload.size()), payload.data());
    };
  };
  const Case cases[] = {
      {"payload shorter than its fields", raw(256, Bytes(10)), 256, "format"},
      {"text longer than the payload", raw(258, I32s({50, 1, 0})), 258, "text"},
      {"negative text length", raw(258, I32s({-1, 1, 0})), 258, "negative"},
      {"slot out of range", [](Harness& h) { h.w.CompositeAdd(-3); }, 263, "out of range"},
      {"huge slot", [](Harness& h) { h.w.String(1 << 30, "x"); }, 258, "out of range"},
      {"empty slot",
       [](Harness& h) {
         h.w.String(1, "D");
         h.w.Category(0, 9, 1);
       },
       269, "slot 9 is empty"},
      {"a number taken by a cell twice",
       [](Harness& h) {
         h.Table(0, "T", "T", {"r"}, {"c"}, {1});
         h.w.String(1, "T2");
         h.w.String(2, "T2");
         h.w.TableBegin(1, 1, 2);
         h.w.String(1, "D");
         h.w.CellDimension(1, 1);
         h.w.Number(3, 1, WireFormat::Fixed(4, 0));
         h.w.String(4, "a");
         h.w.Cell(1, 3, 4);
         h.w.String(4, "b");
         h.w.Cell(1, 3, 4);
       },
       273, "slot 3 is empty"},
      {"a freed number",
       [](Harness& h) {
         h.w.Number(3, 1, WireFormat::Fixed(4, 0));
         h.w.Free(3);
         h.w.String(1, "D");
         h.w.Category(0, 3, 1);
       },
       269, "slot 3 is empty"},
      {"table id without a table",
       [](Harness& h) {
         h.w.String(1, "c");
         h.w.String(2, "D");
         h.w.Category(7, 1, 2);
       },
       269, "table id 7"},
      {"cell dimension never set",
       [](Harness& h) {
         h.w.String(1, "T");
         h.w.String(2, "T");
         h.w.TableBegin(0, 1, 2);
         h.w.Number(1, 1, WireFormat::Fixed(4, 0));
         h.w.String(2, "c");
         h.w.Cell(0, 1, 2);
       },
       273, "cell dimension"},
      {"end of a group that is not open",
       [](Harness& h) {
         h.w.String(1, "T");
         h.w.String(2, "T");
         h.w.TableBegin(0, 1, 2);
         h.w.String(2, "D");
         h.w.GroupEnd(0, 2);
       },
       271, "no open group"},
      {"end of a heading that is not open", [](Harness& h) { h.w.HeadingEnd(); }, 279, "no heading is open"},
      {"fragment out of order", raw(291, Bytes{20, 0, 0, 0, 4, 0, 0, 0, 1, 2}), 291, "out of order"},
      {"fragment past the announced size", raw(291, Bytes{2, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3}), 291, "past"},
      {"model part cut short", raw(311, Bytes{3, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3}), 311, "cut short"},
      {"implausible line count", raw(292, I32s({1 << 30, 0})), 292, "line count"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    h.Open("Frequencies");
    try {
      c.send(h);
      ADD_FAILURE() << "no error";
    } catch (const ProtocolError& e) {
      EXPECT_EQ(e.Type(), c.type);
      EXPECT_NE(std::string(e.what()).find(c.inMessage), std::string::npos) << e.what();
    }
    h.End();
    EXPECT_TRUE(h.PlayValidProcedure("Next")) << "the factory stays usable";
  }
}

TEST(BadInput, OutOfMemoryInsideAProcedureLeavesANote) {
  Harness h;
  h.Open("Frequencies");
  h.Table(0, "Statistics", "X", {"r"}, {"c"}, {1});
  omf::detail::SetDispatchHook([](short type) {
    if (type == 269) throw std::bad_alloc();
  });
  h.Table(1, "Second", "X", {"r"}, {"c"}, {1}); // runs out of memory at its first category
  omf::detail::SetDispatchHook(nullptr);
  // The procedure was closed: its output replaced by the note, grafted for the observer.
  EXPECT_EQ(h.Outline(), (Strings{"1:Output", "2:Frequencies", "3:Output Missing"}));
  EXPECT_EQ(h.Find<OmTextBlock>("Output Missing")->Lines(), (Strings{"Out of memory collecting output."}));
  // Messages of the closed procedure fall on no procedure; the next procedure is played as usual.
  h.End();
  EXPECT_TRUE(h.PlayValidProcedure("Next")) << "the factory stays usable";
}

TEST(BadInput, OutOfMemoryOutsideAProcedureReachesTheCaller) {
  Harness h;
  omf::detail::SetDispatchHook([](short) { throw std::bad_alloc(); });
  EXPECT_THROW(h.w.Log("line"), std::bad_alloc);
  omf::detail::SetDispatchHook(nullptr);
  h.w.Log("line");
  EXPECT_EQ(h.Outline(), (Strings{"1:Output", "2:Log"}));
}

} // namespace
