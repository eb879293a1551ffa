#include "stream/MessageWriter.h"

#include <initializer_list>
#include <stdexcept>

namespace omf::stream {

namespace {

// A field of a message named as its row names it.
struct Named {
  const char* name;
  FieldValue value;
};

Named Int(const char* name, std::int64_t v) {
  return {name, FieldValue::Int(v)};
}
Named Real(const char* name, double v) {
  return {name, FieldValue::Real(v)};
}
Named Bytes(const char* name, std::string_view v) {
  return {name, FieldValue::Bytes(std::string(v))};
}

} // namespace

std::string ProcedureSettings::Text() const {
  return "procedure=" + procedure + "\nprocedure.translated=" + translated + "\nlanguage=" + language +
         "\ncodepage=" + codepage + "\nlocale=" + locale + "\nbootstrap=" + (bootstrap ? "1" : "0") +
         "\nfasttables=" + std::to_string(fastTables) + "\n";
}

struct MessageWriter::Impl {
  MessageSink* _sink;
  ByteOrder _order;

  void Emit(short type, std::initializer_list<Named> fields) {
    const MessageSpec* spec = FindMessageSpec(type);
    if (spec == nullptr)
      throw std::logic_error("message type " + std::to_string(type) + " has no catalogue row");
    std::vector<FieldValue> values(spec->fieldCount);
    for (const Named& f : fields) {
      const int k = FieldIndex(*spec, f.name);
      if (k < 0)
        throw std::logic_error("the row of message " + std::to_string(type) + " has no field " + f.name);
      values[static_cast<std::size_t>(k)] = f.value;
    }
    Send(*spec, values);
  }

  void Send(const MessageSpec& spec, const std::vector<FieldValue>& values) {
    std::vector<unsigned char> payload = EncodeMessage(spec, values, _order);
    _sink->Send(spec.type, payload);
  }

  // A multipart message: fragments of a body whose integers are little-endian whatever the sender's
  // order, because the receiver's message library reads them so.
  void Multipart(short type, const std::vector<MessagePart>& parts, std::size_t fragmentBytes) {
    for (std::vector<unsigned char>& fragment : SplitIntoFragments(EncodeMessageBody(parts), fragmentBytes))
      _sink->Send(type, fragment);
  }
};

MessageWriter::MessageWriter(MessageSink& sink, ByteOrder order) : _my(new Impl{&sink, order}) {}
MessageWriter::~MessageWriter() = default;

ByteOrder MessageWriter::Order() const {
  return _my->_order;
}
void MessageWriter::SetOrder(ByteOrder order) {
  _my->_order = order;
}

void MessageWriter::Send(const MessageSpec& spec, const std::vector<FieldValue>& values) {
  _my->Send(spec, values);
}
void MessageWriter::SendRaw(short type, std::vector<unsigned char> payload) {
  _my->_sink->Send(type, payload);
}

// ---- settings

void MessageWriter::Setting(std::string_view name, std::uint8_t value) {
  _my->Emit(27, {Int("value", value), Bytes("name", name)});
}
void MessageWriter::Display(std::string_view key, std::string_view value) {
  _my->Emit(34, {Bytes("key", key), Bytes("value", value)});
}
void MessageWriter::SettingPair(std::int32_t first, std::int32_t second) {
  _my->Emit(56, {Int("first", first), Int("second", second)});
}
void MessageWriter::ByteOrderProbe() {
  _my->Emit(59, {Int("probe", omf::stream::ByteOrderProbe(_my->_order))});
}
void MessageWriter::Swap(bool swap) {
  _my->Emit(304, {Int("swap", swap ? 1 : 0)});
}

// ---- parameter slots

void MessageWriter::Number(int slot, double value, WireFormat format) {
  _my->Emit(256, {Real("value", value), Int("format", format.Word()), Int("slot", slot)});
}
void MessageWriter::Integer(int slot, std::int32_t value, WireFormat format) {
  _my->Emit(257, {Int("value", value), Int("format", format.Word()), Int("slot", slot)});
}
void MessageWriter::String(int slot, std::string_view text, bool literal) {
  _my->Emit(258, {Int("slot", slot), Int("literal", literal ? 1 : 0), Bytes("text", text)});
}
void MessageWriter::Variable(int slot, std::string_view name, std::string_view label, int modeCode) {
  _my->Emit(308, {Int("slot", slot), Int("mode", modeCode), Bytes("name", name), Bytes("label", label)});
}
void MessageWriter::NumValue(int slot, std::string_view variable, double value, WireFormat format,
                             std::string_view label, int modeCode) {
  _my->Emit(309, {Int("slot", slot), Int("mode", modeCode), Int("format", format.Word()),
                  Bytes("variable", variable), Real("value", value), Bytes("label", label)});
}
void MessageWriter::StringValue(int slot, std::string_view variable, std::string_view value,
                                WireFormat format, std::string_view label, int modeCode) {
  _my->Emit(309, {Int("slot", slot), Int("mode", modeCode), Int("format", format.Word()),
                  Bytes("variable", variable), Bytes("value", value), Bytes("label", label)});
}
void MessageWriter::Composite(int slot, int templateSlot) {
  _my->Emit(259, {Int("slot", slot), Int("template", templateSlot)});
}
void MessageWriter::RepeatBegin() {
  _my->Emit(261, {});
}
void MessageWriter::RepeatEnd() {
  _my->Emit(262, {});
}
void MessageWriter::CompositeAdd(int slot) {
  _my->Emit(263, {Int("slot", slot)});
}
void MessageWriter::Free(int slot) {
  _my->Emit(286, {Int("slot", slot)});
}
void MessageWriter::Copy(int sourceSlot, int targetSlot) {
  _my->Emit(287, {Int("source", sourceSlot), Int("target", targetSlot)});
}

// ---- tables

void MessageWriter::TableBegin(std::uint8_t tcid, int labelSlot, int subtypeSlot, bool continuation) {
  _my->Emit(268, {Int("tcid", tcid), Int("label", labelSlot), Int("subtype", subtypeSlot),
                  Int("continuation", continuation ? 1 : 0)});
}
void MessageWriter::Category(std::uint8_t tcid, int categorySlot, int dimensionSlot) {
  _my->Emit(269, {Int("tcid", tcid), Int("category", categorySlot), Int("dimension", dimensionSlot)});
}
void MessageWriter::Group(std::uint8_t tcid, int groupSlot, int dimensionSlot) {
  _my->Emit(270, {Int("tcid", tcid), Int("group", groupSlot), Int("dimension", dimensionSlot)});
}
void MessageWriter::GroupEnd(std::uint8_t tcid, int dimensionSlot) {
  _my->Emit(271, {Int("tcid", tcid), Int("dimension", dimensionSlot)});
}
void MessageWriter::CellDimension(std::uint8_t tcid, int dimensionSlot) {
  _my->Emit(272, {Int("tcid", tcid), Int("dimension", dimensionSlot)});
}
void MessageWriter::Cell(std::uint8_t tcid, int cellSlot, int categorySlot) {
  _my->Emit(273, {Int("tcid", tcid), Int("cell", cellSlot), Int("category", categorySlot)});
}
void MessageWriter::CellCategory(std::uint8_t tcid, int categorySlot) {
  _my->Emit(274, {Int("tcid", tcid), Int("category", categorySlot)});
}
void MessageWriter::TableEnd(std::uint8_t tcid) {
  _my->Emit(275, {Int("tcid", tcid)});
}
void MessageWriter::Dimension(std::uint8_t tcid, int dimensionSlot) {
  _my->Emit(282, {Int("tcid", tcid), Int("dimension", dimensionSlot)});
}
void MessageWriter::Place(std::uint8_t tcid, int dimensionSlot, int position, Axis axis, bool first,
                          bool second) {
  _my->Emit(284, {Int("tcid", tcid), Int("dimension", dimensionSlot), Int("position", position),
                  Int("axis", static_cast<std::int32_t>(axis)), Int("first", first ? 1 : 0),
                  Int("second", second ? 1 : 0)});
}
void MessageWriter::GroupSort(std::uint8_t tcid, std::uint32_t mode) {
  _my->Emit(288, {Int("tcid", tcid), Int("value", mode)});
}
void MessageWriter::DimensionSort(std::uint8_t tcid, std::uint32_t mode) {
  _my->Emit(289, {Int("tcid", tcid), Int("value", mode)});
}
void MessageWriter::GroupSortMark(std::uint8_t tcid, std::uint32_t mode) {
  _my->Emit(290, {Int("tcid", tcid), Int("value", mode)});
}
void MessageWriter::GroupMark(std::uint8_t tcid) {
  _my->Emit(297, {Int("tcid", tcid)});
}
void MessageWriter::Corner(std::uint8_t tcid, int slot) {
  _my->Emit(298, {Int("tcid", tcid), Int("slot", slot)});
}
void MessageWriter::ClearAuxiliary(std::uint8_t tcid) {
  _my->Emit(299, {Int("tcid", tcid)});
}
void MessageWriter::Option(std::uint8_t tcid, TableOption option, int slot) {
  _my->Emit(302, {Int("tcid", tcid), Int("option", static_cast<std::int32_t>(option)), Int("slot", slot)});
}
void MessageWriter::ColumnWidths(std::uint8_t tcid, WidthLimits which, int minimum, int maximum) {
  _my->Emit(310, {Int("tcid", tcid), Int("which", static_cast<std::int32_t>(which)), Int("minimum", minimum),
                  Int("maximum", maximum)});
}
void MessageWriter::Scratch(int labelSlot) {
  _my->Emit(267, {Int("slot", labelSlot)});
}
void MessageWriter::Footnote(FootnoteTarget target, int textSlot) {
  _my->Emit(280, {Int("target", static_cast<std::int32_t>(target)), Int("text", textSlot)});
}
void MessageWriter::FootnoteWithMarker(FootnoteTarget target, int textSlot, int markerSlot) {
  _my->Emit(285, {Int("target", static_cast<std::int32_t>(target)), Int("text", textSlot),
                  Int("marker", markerSlot)});
}
void MessageWriter::Bold() {
  _my->Emit(313, {});
}
void MessageWriter::Background(std::string_view colour) {
  _my->Emit(314, {Bytes("colour", colour)});
}
void MessageWriter::TextColour(std::string_view colour) {
  _my->Emit(315, {Bytes("colour", colour)});
}
void MessageWriter::Marker(int slot) {
  _my->Emit(316, {Int("slot", slot)});
}

// ---- procedures, text and pages

void MessageWriter::ProcedureBegin(std::int64_t number, const ProcedureSettings& settings) {
  ProcedureBegin(number, settings.Text());
}
void MessageWriter::ProcedureBegin(std::int64_t number, std::string_view settingsText) {
  _my->Emit(276, {Int("number", number), Bytes("settings", settingsText)});
}
void MessageWriter::ProcedureEnd(std::string_view bootstrapSpec, std::size_t fragmentBytes) {
  _my->Multipart(291, {MessagePart{0, 0, 0, std::string(bootstrapSpec)}}, fragmentBytes);
}
void MessageWriter::Heading(int labelSlot) {
  _my->Emit(278, {Int("slot", labelSlot)});
}
void MessageWriter::HeadingEnd() {
  _my->Emit(279, {});
}
void MessageWriter::TextBlock(int titleSlot) {
  _my->Emit(296, {Int("slot", titleSlot)});
}
void MessageWriter::Split(int variableSlot, int valueSlot) {
  _my->Emit(281, {Int("variable", variableSlot), Int("value", valueSlot)});
}
void MessageWriter::Text(std::string_view text, int lines) {
  _my->Emit(292, {Int("lines", lines), Bytes("text", text)});
}
void MessageWriter::Log(std::string_view text, int lines) {
  _my->Emit(293, {Int("lines", lines), Bytes("text", text)});
}
void MessageWriter::LogEnd() {
  _my->Emit(295, {});
}
void MessageWriter::Signal() {
  _my->Emit(300, {});
}
void MessageWriter::PageTitle(std::string_view title, std::string_view subtitle) {
  _my->Emit(305, {Bytes("title", title), Bytes("subtitle", subtitle)});
}
void MessageWriter::Outline(std::string_view text) {
  _my->Emit(317, {Bytes("text", text)});
}
// The receiver takes field 8 as the length of the data.
void MessageWriter::Chart(int chart, int operation, std::string_view data) {
  _my->Emit(307, {Int("chart", chart), Int("operation", operation),
                  Int("a", static_cast<std::int64_t>(data.size())), Bytes("data", data)});
}
void MessageWriter::AnswerTree(int tree, int operation, std::string_view data) {
  _my->Emit(312, {Int("tree", tree), Int("operation", operation),
                  Int("a", static_cast<std::int64_t>(data.size())), Bytes("data", data)});
}
void MessageWriter::Model(const std::vector<MessagePart>& parts, std::size_t fragmentBytes) {
  _my->Multipart(311, parts, fragmentBytes);
}
void MessageWriter::Model(std::string_view title, const std::vector<std::string>& contents,
                          std::string_view subtitle, std::size_t fragmentBytes) {
  std::vector<MessagePart> parts{MessagePart{0, 0, 0, std::string(title)}};
  for (std::size_t i = 0; i < contents.size(); ++i)
    parts.push_back(MessagePart{static_cast<std::int32_t>(i + 1), 0, 0, contents[i]});
  if (!subtitle.empty()) parts.push_back(MessagePart{5, 0, 0, std::string(subtitle)});
  Model(parts, fragmentBytes);
}

} // namespace omf::stream
