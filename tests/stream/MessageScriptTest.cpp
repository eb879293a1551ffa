#include <omf/stream/MessageScript.h>

#include <gtest/gtest.h>

#include "stream/Generators.h"
#include <omf/stream/MessageWriter.h>

using namespace omf;

using namespace omf::stream;
using omf::stream::testing::AllRows;
using omf::stream::testing::FieldGenerator;

namespace {

std::vector<StreamRecord> Written(ByteOrder order, const std::function<void(MessageWriter&)>& call) {
  RecordingSink sink;
  MessageWriter w(sink, order);
  call(w);
  return sink.Take();
}

void ExpectSameMessages(const std::vector<StreamRecord>& got, const std::vector<StreamRecord>& want,
                        const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].type, want[i].type) << what << ", record " << i + 1;
    EXPECT_EQ(got[i].payload, want[i].payload) << what << ", record " << i + 1;
    EXPECT_EQ(got[i].index, i + 1);
    EXPECT_EQ(got[i].offset, want[i].offset);
  }
}

bool HasRawLine(const std::string& text) {
  return text.find("raw ") != std::string::npos;
}

const char* const kGolden = R"(string slot=1 literal=0 text="Valid"
number value=12.5 format=F8.2 slot=2
cell tcid=0 cell=2 category=1
place tcid=0 dimension=3 position=1 axis=columns first=0 second=0
variable slot=4 mode=labels name="age" label="Age"
value slot=5 mode=values format=F3 variable="sex" value=1 label="male"
value slot=6 mode=unset format=A8 variable="city" value="Bern" label="Capital \"city\""
integer value=-7 format=99,4,0 slot=7
footnote-marker target=cell text=6 marker=0
procedure-end part=0,""
log lines=2 text="a\tb\x01 café"
display key="OLANG" value="German"
byte-order probe=1
chart chart=1 operation=0 a=3 b=0 data="Pie"
model part=0,"Model" part=1,x"00ff0102"
)";

void GoldenCalls(MessageWriter& w) {
  w.String(1, "Valid");
  w.Number(2, 12.5, WireFormat::Fixed(8, 2));
  w.Cell(0, 2, 1);
  w.Place(0, 3, 1, Axis::Columns);
  w.Variable(4, "age", "Age", kModeLabels);
  w.NumValue(5, "sex", 1, WireFormat::Fixed(3, 0), "male", kModeNames);
  w.StringValue(6, "city", "Bern", WireFormat{WireFormat::kString, 8, 0}, "Capital \"city\"");
  w.Integer(7, -7, WireFormat{99, 4, 0});
  w.FootnoteWithMarker(FootnoteTarget::Cell, 6, 0);
  w.ProcedureEnd();
  w.Log("a\tb\x01 caf\xc3\xa9", 2);
  w.Display("OLANG", "German");
  w.ByteOrderProbe();
  w.Chart(1, kChartCreate, "Pie");
  w.Model({MessagePart{0, 0, 0, "Model"}, MessagePart{1, 0, 0, std::string("\x00\xff\x01\x02", 4)}});
}

} // namespace

TEST(MessageScript, WriterOutputReadsAsTheGoldenScriptAndBack) {
  const std::vector<StreamRecord> records = Written(kNativeOrder, GoldenCalls);
  EXPECT_EQ(DisassembleRecords(records), kGolden);
  ExpectSameMessages(AssembleScript(kGolden), records, "golden");
}

TEST(MessageScript, BigEndianStreamsAnnounceTheirOrder) {
  const auto records = Written(ByteOrder::Big, [](MessageWriter& w) {
    w.ByteOrderProbe();
    w.Number(2, 12.5, WireFormat::Fixed(8, 2));
    w.Swap(false);
    w.SetOrder(ByteOrder::Little);
    w.Free(3);
  });
  const char* expected = "byte-order big\n"
                         "byte-order probe=1\n"
                         "number value=12.5 format=F8.2 slot=2\n"
                         "byte-order little\n"
                         "swap swap=0\n"
                         "free slot=3\n";
  EXPECT_EQ(DisassembleRecords(records), expected);
  ExpectSameMessages(AssembleScript(expected), records, "big-endian");
  // A stream known to start in the other order says so on its first line.
  const auto noProbe = Written(ByteOrder::Big, [](MessageWriter& w) { w.Free(3); });
  EXPECT_EQ(DisassembleRecords(noProbe, ByteOrder::Big), "byte-order big\nfree slot=3\n");
  ExpectSameMessages(AssembleScript("free slot=3", ByteOrder::Big), noProbe, "start order");
}

// Every row with values drawn at random, in both byte orders: each message gets its named form (no raw
// line), and the script assembles to the same bytes. Then all of them as one stream, whose own messages
// 59 and 304 switch the order on the way.
TEST(MessageScript, EveryRowRoundTripsThroughTheScript) {
  FieldGenerator gen(7);
  std::vector<StreamRecord> all;
  for (const MessageSpec* spec : AllRows()) {
    for (int round = 0; round < 12; ++round) {
      for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        StreamRecord r;
        r.type = spec->type;
        r.payload = EncodeMessage(*spec, gen.Values(*spec, round % 2 == 1), order);
        const std::string text = DisassembleRecords({r}, order);
        EXPECT_FALSE(HasRawLine(text)) << text;
        const std::vector<StreamRecord> back = AssembleScript(text, order);
        ASSERT_EQ(back.size(), 1u) << text;
        EXPECT_TRUE(SameMessage(back[0], r)) << text;
        all.push_back(r);
      }
    }
  }
  RecordingSink numbered;
  for (StreamRecord& r : all)
    numbered.Send(r.type, r.payload);
  const std::vector<StreamRecord> stream = numbered.Take();
  ExpectSameMessages(AssembleScript(DisassembleRecords(stream)), stream, "whole stream");
}

// Payloads the named form cannot give back (short, damaged, of unknown types) are written raw, so that
// every stream survives the round trip byte for byte.
TEST(MessageScript, DamagedPayloadsRoundTripAsRawLines) {
  FieldGenerator gen(11);
  RecordingSink sink;
  std::vector<short> types = {260, 266, 283, 1000, -5, 0};
  for (const MessageSpec* spec : AllRows())
    types.push_back(spec->type);
  for (short type : types) {
    for (int round = 0; round < 20; ++round) {
      const std::string bytes = gen.Bytes(round < 10 ? 12 : 40, true);
      std::vector<unsigned char> payload(bytes.begin(), bytes.end());
      sink.Send(type, payload);
    }
  }
  const std::vector<StreamRecord> stream = sink.Take();
  for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
    const std::string text = DisassembleRecords(stream, order);
    EXPECT_TRUE(HasRawLine(text));
    ExpectSameMessages(AssembleScript(text, order), stream, "damaged payloads");
  }
  // A setting whose name is longer than the receiver keeps cannot be named: its length byte would not
  // survive.
  std::vector<unsigned char> longName = {1, 20};
  longName.resize(22, 'n');
  EXPECT_EQ(DisassembleRecords({StreamRecord{27, longName}}),
            "raw type=27 payload=\"\\x01\\x14nnnnnnnnnnnnnnnnnnnn\"\n");
}

// The conveniences stand for plain field values, and leaving a field out writes 0, an empty text or the
// text's length.
TEST(MessageScript, ConveniencesMeanTheirPlainValues) {
  struct Case {
    const char* script;
    std::function<void(MessageWriter&)> same;
  };
  const auto f82 = WireFormat::Fixed(8, 2);
  const Case cases[] = {
      {"number value=12.5 format=5,8,2 slot=2", [&](MessageWriter& w) { w.Number(2, 12.5, f82); }},
      {"number value=12.5 format=329730 slot=2", [&](MessageWriter& w) { w.Number(2, 12.5, f82); }},
      {"number value=12.5 format=f8.2 slot=0x2", [&](MessageWriter& w) { w.Number(2, 12.5, f82); }},
      {"place tcid=1 dimension=3 position=2 axis=2",
       [](MessageWriter& w) { w.Place(1, 3, 2, Axis::Layers); }},
      {"footnote target=set-caption text=1",
       [](MessageWriter& w) { w.Footnote(FootnoteTarget::SetCaption, 1); }},
      {"column-widths tcid=1 which=maximum minimum=0 maximum=30",
       [](MessageWriter& w) { w.ColumnWidths(1, WidthLimits::Maximum, 0, 30); }},
      {"table-option tcid=0 option=rotate-rows slot=1",
       [](MessageWriter& w) { w.Option(0, TableOption::RotateRowLabels, 1); }},
      {"variable slot=1 mode=names name=\"x\"", [](MessageWriter& w) { w.Variable(1, "x", "", kModeNames); }},
      {"table-end", [](MessageWriter& w) { w.TableEnd(0); }},
      {"string slot=1 text=\"a\\\"b\\\\c\\n\\x41\"", [](MessageWriter& w) { w.String(1, "a\"b\\c\nA"); }},
      {"string slot=1 text=x\"41 42\"", [](MessageWriter& w) { w.String(1, "AB"); }},
      {"value slot=1 variable=\"v\" value=-0.5 format=F4.1",
       [](MessageWriter& w) { w.NumValue(1, "v", -0.5, WireFormat::Fixed(4, 1), "", kModeNames); }},
      {"procedure-end part=0,\"level=90\"", [](MessageWriter& w) { w.ProcedureEnd("level=90"); }},
      {"byte-order big\nbyte-order",
       [](MessageWriter& w) {
         w.SetOrder(ByteOrder::Big);
         w.ByteOrderProbe();
       }},
      {"  # a comment\n\nsignal   # after a message\r\n\r\n", [](MessageWriter& w) { w.Signal(); }},
      {"raw type=300", [](MessageWriter& w) { w.Signal(); }},
      {"raw type=256 payload=x\"00\"", [](MessageWriter& w) { w.SendRaw(256, {0}); }},
      {"procedure-end", [](MessageWriter& w) { w.SendRaw(291, {}); }},
      {"procedure-end fragment=x\"0102\"",
       [](MessageWriter& w) {
         w.SendRaw(291, {1, 2});
       }},
      {"model total=10 offset=4 data=\"abc\"",
       [](MessageWriter& w) {
         w.SendRaw(311, {10, 0, 0, 0, 4, 0, 0, 0, 'a', 'b', 'c'});
       }},
      {"model offset=2 data=\"x\"",
       [](MessageWriter& w) {
         w.SendRaw(311, {3, 0, 0, 0, 2, 0, 0, 0, 'x'});
       }},
      {"model part=1,2,3,\"t\"",
       [](MessageWriter& w) {
         w.Model({MessagePart{1, 2, 3, "t"}});
       }},
      // An explicit length is written as given.
      {"string slot=1 length=9 text=\"ab\"",
       [](MessageWriter& w) {
         w.SendRaw(258, {9, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 'a', 'b'});
       }},
  };
  for (const Case& c : cases) {
    ExpectSameMessages(AssembleScript(c.script), Written(kNativeOrder, c.same), c.script);
  }
}

TEST(MessageScript, ErrorsNameLineColumnAndWhatWasExpected) {
  struct Case {
    const char* script;
    std::size_t line, column;
    const char* problem;
  };
  const Case cases[] = {
      {"numbr slot=1", 1, 1, "unknown message \"numbr\""},
      {"= slot", 1, 1, "expected a message name, found \"=\""},
      {"\"text\"", 1, 1, "expected a message name, found a quoted string"},
      {"number slt=1", 1, 8, "unknown field \"slt\" of number (its fields: value, format, slot)"},
      {"signal x=1", 1, 8, "unknown field \"x\" of signal (it has no fields)"},
      {"number slot 1", 1, 13, "expected \"=\" after field name \"slot\", found \"1\""},
      {"number slot=", 1, 13, "expected a value for field \"slot\", found the end of the line"},
      {"number slot=abc", 1, 13, "field \"slot\" expects an integer, found \"abc\""},
      {"number slot=1.5", 1, 13, "field \"slot\" expects an integer, found \"1.5\""},
      {"number slot=1,2", 1, 15, "field \"slot\" takes one value, found 2"},
      {"number value=x", 1, 14, "field \"value\" expects a number, found \"x\""},
      {"number value=\"1\"", 1, 14, "field \"value\" expects a number, found a quoted string"},
      {"number format=Q8", 1, 15,
       "field \"format\" expects a format such as F8.2, a triple type,width,decimals or the word as an "
       "integer, "
       "found \"Q8\""},
      {"number format=5,300,2", 1, 17, "field \"format\": 300 does not fit a byte"},
      {"number slot=1 slot=2", 1, 15, "field \"slot\" given twice"},
      {"string text=\"abc", 1, 13, "string not closed"},
      {"string text=\"a\\qb\"", 1, 15, "unknown escape \"\\q\" (known: \\n \\r \\t \\\\ \\\" \\xHH)"},
      {"string text=\"\\x4\"", 1, 14, "\"\\x\" needs two hex digits"},
      {"string text=\"ab\\", 1, 16, "string not closed"}, // a backslash ends the line
      {"string text=x\"abc\"", 1, 13, "hex bytes need an even number of digits"},
      {"string text=x\"zz\"", 1, 15, "\"z\" is not a hex digit"},
      {"string text=x\"00", 1, 13, "hex bytes not closed"},
      {"string text=12", 1, 13, "field \"text\" expects a quoted string or x\"hex\", found \"12\""},
      {"byte-order middle", 1, 12, "byte-order expects \"big\" or \"little\", found \"middle\""},
      {"byte-order big little", 1, 16, "expected the end of the line, found \"little\""},
      {"table-begin tcid=256", 1, 18, "field \"tcid\": value 256 is outside 0 to 255"},
      {"display key=\"ONUMBERS-LONGKEY\" value=\"1\"", 1, 13,
       "field \"key\": ends at byte 33, past the start of value at byte 32"},
      {"value variable=\"v\" value=\"\"", 1, 26,
       "field \"value\": an empty text cannot be sent: a length of 0 announces a number"},
      {"raw payload=x\"\"", 1, 1, "raw needs the message type: raw type=T payload=..."},
      {"raw type=70000", 1, 10, "field \"type\" value 70000 is outside -32768 to 32767"},
      {"raw kind=1", 1, 5, "unknown field \"kind\" of raw (its fields: type, payload)"},
      {"procedure-end part=0,\"a\" total=3", 1, 26, "field \"total\" cannot be combined with parts"},
      {"procedure-end part=1", 1, 20,
       "field \"part\" expects KIND,\"text\" or KIND,FLAG,NUMBER,\"text\"; found 1 values"},
      {"model part=1,300,0,\"t\"", 1, 14, "field \"part\": 300 is outside 0 to 255"},
      {"model fragment=x\"\" data=\"\"", 1, 7,
       "field \"fragment\" gives the whole payload and cannot be combined with others"},
      {"model bytes=1", 1, 7,
       "unknown field \"bytes\" of model (its fields: fragment, part, total, offset, data)"},
      {"signal\n# fine\n\nnumbr", 4, 1, "unknown message \"numbr\""},
  };
  for (const Case& c : cases) {
    try {
      AssembleScript(c.script);
      ADD_FAILURE() << "no error for: " << c.script;
    } catch (const ScriptError& e) {
      EXPECT_EQ(e.Problem(), c.problem) << c.script;
      EXPECT_EQ(e.Line(), c.line) << c.script;
      EXPECT_EQ(e.Column(), c.column) << c.script;
      EXPECT_EQ(std::string(e.what()),
                "line " + std::to_string(c.line) + ", column " + std::to_string(c.column) + ": " + c.problem);
    }
  }
}

// Which bytes a quoted text escapes is pinned by tests/text/EscapesTest.cpp; the script writes hex instead
// when more than a quarter of the bytes would be escaped.
TEST(MessageScript, QuotingPicksTheReadableForm) {
  EXPECT_EQ(QuoteBytes("caf\xe9"), "\"caf\\xe9\"");                   // a quarter: quoted
  EXPECT_EQ(QuoteBytes("\xc2\x85"), "x\"c285\"");                     // an invisible character is escaped
  EXPECT_EQ(QuoteBytes("\xed\xa0\x80!"), "x\"eda08021\"");            // so is an encoded surrogate
  EXPECT_EQ(QuoteBytes(std::string("\0\1\2\3", 4)), "x\"00010203\""); // binary reads better as hex
}
