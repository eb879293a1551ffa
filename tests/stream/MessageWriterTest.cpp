#include <omf/stream/MessageWriter.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include <omf/platform/message/MessageHandler.h>
#include <omf/platform/settings/BackendSettings.h>
#include "stream/Generators.h"

using namespace omf;

using namespace omf::stream;

namespace {

FieldValue I(std::int64_t v) {
  return FieldValue::Int(v);
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

} // namespace

// Each method's parameters land in the fields its message's row names, in both byte orders. Methods whose
// fields the factory tests observe, or that the golden script of MessageScriptTest pins field by field,
// are not repeated here.
TEST(MessageWriter, EveryMethodFillsTheFieldsOfItsMessage) {
  struct Case {
    std::function<void(MessageWriter&)> call;
    short type;
    std::map<std::string, FieldValue> fields;
  };
  // clang-format off
  const Case cases[] = {
    {[](MessageWriter& w) { w.Setting("MXLOOPS", 40); }, 27, {{"value", I(40)}, {"length", I(7)}, {"name", B("MXLOOPS")}}},
    {[](MessageWriter& w) { w.Swap(true); }, 304, {{"swap", I(1)}}},
    {[](MessageWriter& w) { w.String(5, "Valid", true); }, 258, {{"length", I(5)}, {"slot", I(5)}, {"literal", I(1)}, {"text", B("Valid")}}},
    {[](MessageWriter& w) { w.RepeatBegin(); }, 261, {}},
    {[](MessageWriter& w) { w.RepeatEnd(); }, 262, {}},
    {[](MessageWriter& w) { w.Free(12); }, 286, {{"slot", I(12)}}},
    {[](MessageWriter& w) { w.TableBegin(3, 1, 2, true); }, 268, {{"tcid", I(3)}, {"label", I(1)}, {"subtype", I(2)}, {"continuation", I(1)}}},
    {[](MessageWriter& w) { w.CellCategory(3, 7); }, 274, {{"tcid", I(3)}, {"category", I(7)}}},
    {[](MessageWriter& w) { w.Place(3, 5, 2, Axis::Layers, true); }, 284,
     {{"tcid", I(3)}, {"dimension", I(5)}, {"position", I(2)}, {"axis", I(2)}, {"first", I(1)}, {"second", I(0)}}},
    {[](MessageWriter& w) { w.GroupSortMark(3, 7); }, 290, {{"tcid", I(3)}, {"value", I(7)}}},
    {[](MessageWriter& w) { w.GroupMark(3); }, 297, {{"tcid", I(3)}}},
    {[](MessageWriter& w) { w.ClearAuxiliary(3); }, 299, {{"tcid", I(3)}}},
    {[](MessageWriter& w) { w.Scratch(1); }, 267, {{"slot", I(1)}}},
    {[](MessageWriter& w) { w.ProcedureBegin(-1, "procedure=X"); }, 276, {{"number", I(-1)}, {"length", I(11)}}},
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

// The end of a procedure is a multipart body, whole or in fragments that all carry the body's size and
// their offset, little-endian in either order; the message library puts them together again. (Models
// are fragmented the same way; the factory tests play them.)
TEST(MessageWriter, MultipartMessagesReassemble) {
  const std::string spec = "level=95\nsamples=1000\nmethod=0\njackknife=1:1 1:2 1:3\nsegments=3\n";
  const std::size_t body = 13 + spec.size();
  for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
    for (const std::size_t fragmentBytes : {std::size_t{0}, std::size_t{20}}) {
      SCOPED_TRACE(fragmentBytes);
      const auto pieces = Write(order, [&](MessageWriter& w) { w.ProcedureEnd(spec, fragmentBytes); });
      EXPECT_EQ(pieces.size(), fragmentBytes ? (body + 19) / 20 : 1u);
      for (std::size_t i = 0; i < pieces.size(); ++i) {
        const auto& p = pieces[i].payload;
        EXPECT_EQ(pieces[i].type, 291);
        EXPECT_EQ(p[0] | p[1] << 8, static_cast<int>(body)) << "total";
        EXPECT_EQ(p[4] | p[5] << 8, static_cast<int>(20 * i)) << "offset";
      }
      const auto parts = Reassemble(pieces);
      ASSERT_EQ(parts.size(), 1u);
      EXPECT_EQ(parts[0].kind, 0);
      EXPECT_EQ(parts[0].text, spec);
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
