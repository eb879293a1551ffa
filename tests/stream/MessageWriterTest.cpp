#include "stream/MessageWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "platform/message/MessageHandler.h"
#include "platform/settings/BackendSettings.h"
#include "stream/Generators.h"

using namespace omf::stream;

namespace {

FieldValue I(std::int64_t v) {
  return FieldValue::Int(v);
}
FieldValue R(double v) {
  return FieldValue::Real(v);
}
FieldValue B(std::string v) {
  return FieldValue::Bytes(std::move(v));
}

// The fields of a record by name, read as the receiver reads them.
std::map<std::string, FieldValue> Fields(const StreamRecord& r, ByteOrder order) {
  const MessageSpec& spec = *FindMessageSpec(r.type);
  std::vector<unsigned char> copy = r.payload;
  const std::vector<FieldValue> values =
      FieldValuesOf(DecodeMessage(spec, copy.data(), copy.size(), NeedsSwap(order)));
  std::map<std::string, FieldValue> out;
  for (std::size_t k = 0; k < spec.fieldCount; ++k)
    out[spec.fields[k].name] = values[k];
  return out;
}

std::vector<StreamRecord> Write(ByteOrder order, const std::function<void(MessageWriter&)>& call) {
  RecordingSink sink;
  MessageWriter w(sink, order);
  call(w);
  return sink.Take();
}

// Feeds fragments to a message handler as the receiver does; the parts once complete.
std::vector<MessagePart> Reassemble(const std::vector<StreamRecord>& fragments) {
  MessageHandler handler;
  for (std::size_t i = 0; i < fragments.size(); ++i) {
    const bool complete = handler.receiveMessage(fragments[i].payload.data(), fragments[i].payload.size());
    EXPECT_EQ(complete, i + 1 == fragments.size()) << "fragment " << i;
  }
  std::vector<MessagePart> parts;
  MessagePart p;
  while (handler.getNextPart(p.kind, p.flag, p.number, p.text))
    parts.push_back(p);
  return parts;
}

constexpr std::uint32_t kF82 = 2 | 8 << 8 | 5 << 16;

} // namespace

// Each method's parameters land in the fields its message's row names, in both byte orders.
TEST(MessageWriter, EveryMethodFillsTheFieldsOfItsMessage) {
  ProcedureSettings settings;
  settings.procedure = "Frequencies";
  struct Case {
    std::function<void(MessageWriter&)> call;
    short type;
    std::map<std::string, FieldValue> fields;
  };
  // clang-format off
  const Case cases[] = {
    {[](MessageWriter& w) { w.Setting("MXLOOPS", 40); }, 27, {{"value", I(40)}, {"length", I(7)}, {"name", B("MXLOOPS")}}},
    {[](MessageWriter& w) { w.Display("OVARS", "LABELS"); }, 34, {{"key", B("OVARS")}, {"value", B("LABELS")}}},
    {[](MessageWriter& w) { w.SettingPair(7, -3); }, 56, {{"first", I(7)}, {"second", I(-3)}}},
    {[](MessageWriter& w) { w.Swap(true); }, 304, {{"swap", I(1)}}},
    {[](MessageWriter& w) { w.Number(3, 12.5, WireFormat{5, 8, 2}); }, 256, {{"value", R(12.5)}, {"format", I(kF82)}, {"slot", I(3)}}},
    {[](MessageWriter& w) { w.Integer(4, -7, WireFormat{1, 44, 1}); }, 257,
     {{"value", I(-7)}, {"format", I(1 | 44 << 8 | 1 << 16)}, {"slot", I(4)}}},
    {[](MessageWriter& w) { w.String(5, "Valid", true); }, 258, {{"length", I(5)}, {"slot", I(5)}, {"literal", I(1)}, {"text", B("Valid")}}},
    {[](MessageWriter& w) { w.String(5, "Valid"); }, 258, {{"literal", I(0)}}},
    {[](MessageWriter& w) { w.Variable(6, "age", "Age in years", kModeLabels); }, 308,
     {{"slot", I(6)}, {"mode", I(1)}, {"name-length", I(3)}, {"label-length", I(12)}, {"name", B("age")}, {"label", B("Age in years")}}},
    {[](MessageWriter& w) { w.NumValue(7, "sex", 1.0, WireFormat::Fixed(3, 0), "male", kModeNames); }, 309,
     {{"slot", I(7)}, {"mode", I(0)}, {"format", I(3 << 8 | 5 << 16)}, {"string-length", I(0)}, {"variable", B("sex")},
      {"value", R(1.0)}, {"label", B("male")}}},
    {[](MessageWriter& w) { w.StringValue(8, "city", "Bern", WireFormat{1, 8, 0}, "Capital"); }, 309,
     {{"mode", I(2)}, {"string-length", I(4)}, {"value", B("Bern")}, {"label", B("Capital")}}},
    {[](MessageWriter& w) { w.Composite(9, 10); }, 259, {{"slot", I(9)}, {"template", I(10)}}},
    {[](MessageWriter& w) { w.RepeatBegin(); }, 261, {}},
    {[](MessageWriter& w) { w.RepeatEnd(); }, 262, {}},
    {[](MessageWriter& w) { w.CompositeAdd(11); }, 263, {{"slot", I(11)}}},
    {[](MessageWriter& w) { w.Free(12); }, 286, {{"slot", I(12)}}},
    {[](MessageWriter& w) { w.Copy(1, 2); }, 287, {{"source", I(1)}, {"target", I(2)}}},
    {[](MessageWriter& w) { w.TableBegin(3, 1, 2, true); }, 268, {{"tcid", I(3)}, {"label", I(1)}, {"subtype", I(2)}, {"continuation", I(1)}}},
    {[](MessageWriter& w) { w.Category(3, 4, 5); }, 269, {{"tcid", I(3)}, {"category", I(4)}, {"dimension", I(5)}}},
    {[](MessageWriter& w) { w.Group(3, 4, 5); }, 270, {{"tcid", I(3)}, {"group", I(4)}, {"dimension", I(5)}}},
    {[](MessageWriter& w) { w.GroupEnd(3, 5); }, 271, {{"tcid", I(3)}, {"dimension", I(5)}}},
    {[](MessageWriter& w) { w.CellDimension(3, 5); }, 272, {{"tcid", I(3)}, {"dimension", I(5)}}},
    {[](MessageWriter& w) { w.Cell(3, 6, 7); }, 273, {{"tcid", I(3)}, {"cell", I(6)}, {"category", I(7)}}},
    {[](MessageWriter& w) { w.CellCategory(3, 7); }, 274, {{"tcid", I(3)}, {"category", I(7)}}},
    {[](MessageWriter& w) { w.TableEnd(3); }, 275, {{"tcid", I(3)}}},
    {[](MessageWriter& w) { w.Dimension(3, 5); }, 282, {{"tcid", I(3)}, {"dimension", I(5)}}},
    {[](MessageWriter& w) { w.Place(3, 5, 2, Axis::Layers, true); }, 284,
     {{"tcid", I(3)}, {"dimension", I(5)}, {"position", I(2)}, {"axis", I(2)}, {"first", I(1)}, {"second", I(0)}}},
    {[](MessageWriter& w) { w.GroupSort(3, 1); }, 288, {{"tcid", I(3)}, {"value", I(1)}}},
    {[](MessageWriter& w) { w.DimensionSort(3, 0); }, 289, {{"tcid", I(3)}, {"value", I(0)}}},
    {[](MessageWriter& w) { w.GroupSortMark(3, 7); }, 290, {{"tcid", I(3)}, {"value", I(7)}}},
    {[](MessageWriter& w) { w.GroupMark(3); }, 297, {{"tcid", I(3)}}},
    {[](MessageWriter& w) { w.Corner(3, 8); }, 298, {{"tcid", I(3)}, {"slot", I(8)}}},
    {[](MessageWriter& w) { w.ClearAuxiliary(3); }, 299, {{"tcid", I(3)}}},
    {[](MessageWriter& w) { w.Option(3, TableOption::OptionNumber, 9); }, 302, {{"tcid", I(3)}, {"option", I(2)}, {"slot", I(9)}}},
    {[](MessageWriter& w) { w.ColumnWidths(3, WidthLimits::Both, 10, 40); }, 310,
     {{"tcid", I(3)}, {"which", I(3)}, {"minimum", I(10)}, {"maximum", I(40)}}},
    {[](MessageWriter& w) { w.Scratch(1); }, 267, {{"slot", I(1)}}},
    {[](MessageWriter& w) { w.Footnote(FootnoteTarget::Cell, 2); }, 280, {{"target", I(5)}, {"text", I(2)}}},
    {[](MessageWriter& w) { w.FootnoteWithMarker(FootnoteTarget::Caption, 2, 3); }, 285,
     {{"target", I(7)}, {"text", I(2)}, {"marker", I(3)}}},
    {[](MessageWriter& w) { w.Bold(); }, 313, {}},
    {[](MessageWriter& w) { w.Background("#ff0000"); }, 314, {{"unused", I(0)}, {"length", I(7)}, {"colour", B("#ff0000")}}},
    {[](MessageWriter& w) { w.TextColour("blue"); }, 315, {{"length", I(4)}, {"colour", B("blue")}}},
    {[](MessageWriter& w) { w.Marker(4); }, 316, {{"slot", I(4)}}},
    {[&](MessageWriter& w) { w.ProcedureBegin(5, settings); }, 276, {{"number", I(5)}, {"settings", B(settings.Text())}}},
    {[](MessageWriter& w) { w.ProcedureBegin(-1, "procedure=X"); }, 276, {{"number", I(-1)}, {"length", I(11)}}},
    {[](MessageWriter& w) { w.Heading(1); }, 278, {{"slot", I(1)}}},
    {[](MessageWriter& w) { w.HeadingEnd(); }, 279, {}},
    {[](MessageWriter& w) { w.TextBlock(2); }, 296, {{"slot", I(2)}}},
    {[](MessageWriter& w) { w.Split(3, 4); }, 281, {{"variable", I(3)}, {"value", I(4)}}},
    {[](MessageWriter& w) { w.Text("line", 3); }, 292, {{"lines", I(3)}, {"length", I(4)}, {"text", B("line")}}},
    {[](MessageWriter& w) { w.Text("line"); }, 292, {{"lines", I(1)}}},
    {[](MessageWriter& w) { w.Log("\x01REQUEST x", -1); }, 293, {{"lines", I(-1)}, {"text", B("\x01REQUEST x")}}},
    {[](MessageWriter& w) { w.LogEnd(); }, 295, {}},
    {[](MessageWriter& w) { w.Signal(); }, 300, {}},
    {[](MessageWriter& w) { w.PageTitle("Title", "Sub"); }, 305,
     {{"title-length", I(5)}, {"subtitle-length", I(3)}, {"title", B("Title")}, {"separator", I(0)}, {"subtitle", B("Sub")}}},
    {[](MessageWriter& w) { w.Outline("Frequencies"); }, 317, {{"length", I(11)}, {"text", B("Frequencies")}}},
    {[](MessageWriter& w) { w.Chart(2, kChartCreate, "Bar chart"); }, 307,
     {{"chart", I(2)}, {"operation", I(0)}, {"a", I(9)}, {"b", I(0)}, {"data", B("Bar chart")}}},
    {[](MessageWriter& w) { w.AnswerTree(1, kAnswerTreeCreate, "Tree"); }, 312,
     {{"tree", I(1)}, {"operation", I(1)}, {"a", I(4)}, {"data", B("Tree")}}},
  };
  // clang-format on
  for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
    for (const Case& c : cases) {
      SCOPED_TRACE("type " + std::to_string(c.type) + (order == ByteOrder::Big ? " big" : " little"));
      const std::vector<StreamRecord> records = Write(order, c.call);
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(records[0].type, c.type);
      const auto fields = Fields(records[0], order);
      for (const auto& [name, value] : c.fields) {
        ASSERT_TRUE(fields.count(name)) << name;
        EXPECT_EQ(fields.at(name), value) << name;
      }
    }
  }
}

TEST(MessageWriter, ProbeIsWrittenInTheWritersByteOrder) {
  using Bytes = std::vector<unsigned char>;
  EXPECT_EQ(Write(ByteOrder::Little, [](MessageWriter& w) { w.ByteOrderProbe(); })[0].payload,
            (Bytes{1, 0, 0, 0}));
  EXPECT_EQ(Write(ByteOrder::Big, [](MessageWriter& w) { w.ByteOrderProbe(); })[0].payload,
            (Bytes{0, 0, 0, 1}));
  // A writer switched to the other order writes what follows in that order.
  const auto records = Write(ByteOrder::Little, [](MessageWriter& w) {
    w.SetOrder(ByteOrder::Big);
    EXPECT_EQ(w.Order(), ByteOrder::Big);
    w.Free(1);
  });
  EXPECT_EQ(records[0].payload, (Bytes{0, 0, 0, 1}));
}

// The end of a procedure and a model are fragments of one multipart body; the message library puts
// them together again.
TEST(MessageWriter, MultipartMessagesReassemble) {
  const std::string spec = "level=95\nsamples=1000\nmethod=0\njackknife=1:1 1:2 1:3\nsegments=3\n";
  for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
    const auto whole = Write(order, [&](MessageWriter& w) { w.ProcedureEnd(spec); });
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].type, 291);
    auto parts = Reassemble(whole);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].kind, 0);
    EXPECT_EQ(parts[0].text, spec);

    const auto pieces = Write(order, [&](MessageWriter& w) { w.ProcedureEnd(spec, 20); });
    const std::size_t body = 13 + spec.size();
    EXPECT_EQ(pieces.size(), (body + 19) / 20);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      const auto& p = pieces[i].payload;
      EXPECT_EQ(p[0] | p[1] << 8, static_cast<int>(body)) << "total, little-endian in either order";
      EXPECT_EQ(p[4] | p[5] << 8, static_cast<int>(20 * i)) << "offset";
    }
    parts = Reassemble(pieces);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].text, spec);

    const auto empty = Write(order, [](MessageWriter& w) { w.ProcedureEnd(); });
    parts = Reassemble(empty);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].text, "");

    const auto model = Write(order, [](MessageWriter& w) {
      w.Model("Model Viewer", {"xml", "png"}, "Sub", 7);
    });
    EXPECT_GT(model.size(), 1u);
    for (const auto& r : model)
      EXPECT_EQ(r.type, 311);
    parts = Reassemble(model);
    ASSERT_EQ(parts.size(), 4u);
    const std::pair<int, std::string> expected[] = {{0, "Model Viewer"}, {1, "xml"}, {2, "png"}, {5, "Sub"}};
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(parts[i].kind, expected[i].first);
      EXPECT_EQ(parts[i].text, expected[i].second);
    }
  }
}

TEST(MessageWriter, ProcedureSettingsReadBackThroughTheSettingsLibrary) {
  ProcedureSettings s;
  s.procedure = "Regression";
  s.translated = "Regression (de)";
  s.language = "German";
  s.codepage = "windows-1252";
  s.locale = "de_DE";
  s.bootstrap = true;
  s.fastTables = 1;
  const BackendSettings read(s.Text());
  EXPECT_EQ(read.getProcedureName(), "Regression");
  EXPECT_EQ(read.getTranslatedProcedureName(), "Regression (de)");
  EXPECT_EQ(read.getLanguage(), "German");
  EXPECT_EQ(read.getCodePage(), "windows-1252");
  EXPECT_EQ(read.getLocale(), "de_DE");
  EXPECT_TRUE(read.getBootstrapped());
  EXPECT_TRUE(read.getFastTables());
  EXPECT_FALSE(BackendSettings(ProcedureSettings{}.Text()).getBootstrapped());
}

TEST(MessageWriter, WireFormatWordsAndNames) {
  EXPECT_EQ((WireFormat{5, 8, 2}).Word(), 0x00050802u);
  EXPECT_EQ(WireFormat::FromWord(0xFF050802u), (WireFormat{5, 8, 2})); // byte 3 dropped
  struct Case {
    const char* text;
    std::optional<WireFormat> parsed;
  };
  const Case cases[] = {
      {"F8.2", WireFormat{5, 8, 2}},
      {"f8", WireFormat{5, 8, 0}},
      {"COMMA12.3", WireFormat{3, 12, 3}},
      {"DOLLAR9", WireFormat{4, 9, 0}},
      {"PCT5.1", WireFormat{31, 5, 1}},
      {"DOT6.2", WireFormat{32, 6, 2}},
      {"E10.3", WireFormat{17, 10, 3}},
      {"N4", WireFormat{16, 4, 0}},
      {"A20", WireFormat{1, 20, 0}},
      {"F", std::nullopt},
      {"F8.", std::nullopt},
      {"F256", std::nullopt},
      {"X8.2", std::nullopt},
      {"F8.2x", std::nullopt},
      {"F-1", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WireFormat::Parse(c.text), c.parsed) << c.text;
  EXPECT_EQ((WireFormat{5, 8, 2}).Name(), "F8.2");
  EXPECT_EQ((WireFormat{31, 5, 0}).Name(), "PCT5");
  EXPECT_EQ((WireFormat{99, 5, 0}).Name(), std::nullopt);
}
