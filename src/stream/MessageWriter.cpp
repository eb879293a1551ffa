#include <omf/stream/MessageWriter.h>

namespace omf {

namespace stream {

namespace {

// A field's value as a writer method gives it: texts are views of the method's arguments, which outlive
// the encoding.
struct Arg {
  FieldValue::Holds holds = FieldValue::Holds::Nothing;
  std::int64_t integer = 0;
  double real = 0;
  std::string_view bytes;

  FieldValue Value() const {
    switch (holds) {
    case FieldValue::Holds::Integer:
      return FieldValue::Int(integer);
    case FieldValue::Holds::Real:
      return FieldValue::Real(real);
    case FieldValue::Holds::Bytes:
      return FieldValue::Bytes(std::string(bytes));
    default:
      return FieldValue{};
    }
  }
};

Arg Int(std::int64_t v) {
  return {FieldValue::Holds::Integer, v, 0, {}};
}
Arg Real(double v) {
  return {FieldValue::Holds::Real, 0, v, {}};
}
Arg Bytes(std::string_view v) {
  return {FieldValue::Holds::Bytes, 0, 0, v};
}

// For each message type a struct of its field values, named as its fields are named, so that a writer
// method sets them with designated initializers (.kSlot = Int(slot)) checked by the compiler against the
// row. Fields left out are unset: 0, an empty text, or the length of their text.
namespace values {
#define OMF_FIELD(Kind, name, offset, swapped, lengthField, maxLength, Codes) Arg name;
#define OMF_MESSAGE(Enumerator, number, word, fields)                                                        \
  struct Enumerator {                                                                                        \
    fields                                                                                                   \
  };
#include <omf/protocol/Messages.def>
} // namespace values

// A message's row and its values in the row's field order.
struct Row {
  const MessageSpec& spec;
  std::vector<FieldValue> values;
};

#define OMF_FIELD(Kind, name, offset, swapped, lengthField, maxLength, Codes) v.name.Value(),
#define OMF_MESSAGE(Enumerator, number, word, fields)                                                        \
  [[maybe_unused]] Row RowOf([[maybe_unused]] const values::Enumerator& v) {                                 \
    return {msg::Enumerator::kSpec, {fields}};                                                               \
  }
#include <omf/protocol/Messages.def>

} // namespace

std::string ProcedureSettings::Text() const {
  return "procedure=" + procedure + "\nprocedure.translated=" + translated + "\nlanguage=" + language +
         "\ncodepage=" + codepage + "\nlocale=" + locale + "\nbootstrap=" + (bootstrap ? "1" : "0") +
         "\nfasttables=" + std::to_string(fastTables) + "\n";
}

struct MessageWriter::Impl {
  MessageSink* _sink;
  ByteOrder _order;

  template <class Values> void Emit(const Values& values) {
    const Row row = RowOf(values);
    Send(row.spec, row.values);
  }

  void Send(const MessageSpec& spec, const std::vector<FieldValue>& values) {
    std::vector<unsigned char> payload = EncodeMessage(spec, values, _order);
    _sink->Send(spec.type, payload);
  }

  // A multipart message: fragments of a body whose integers are little-endian whatever the sender's
  // order, because the receiver's message library reads them so.
  void Multipart(MessageType type, const std::vector<MessagePart>& parts, std::size_t fragmentBytes) {
    for (std::vector<unsigned char>& fragment : SplitIntoFragments(EncodeMessageBody(parts), fragmentBytes))
      _sink->Send(TypeNumber(type), fragment);
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
  _my->Emit(values::Setting{.kValue = Int(value), .kName = Bytes(name)});
}
void MessageWriter::Display(std::string_view key, std::string_view value) {
  _my->Emit(values::Display{.kKey = Bytes(key), .kValue = Bytes(value)});
}
void MessageWriter::SettingPair(std::int32_t first, std::int32_t second) {
  _my->Emit(values::SettingPair{.kFirst = Int(first), .kSecond = Int(second)});
}
void MessageWriter::ByteOrderProbe() {
  _my->Emit(values::ByteOrder{.kProbe = Int(omf::stream::ByteOrderProbe(_my->_order))});
}
void MessageWriter::Swap(bool swap) {
  _my->Emit(values::Swap{.kSwap = Int(swap ? 1 : 0)});
}

// ---- parameter slots

void MessageWriter::Number(int slot, double value, WireFormat format) {
  _my->Emit(values::Number{.kValue = Real(value), .kFormat = Int(format.Word()), .kSlot = Int(slot)});
}
void MessageWriter::Integer(int slot, std::int32_t value, WireFormat format) {
  _my->Emit(values::Integer{.kValue = Int(value), .kFormat = Int(format.Word()), .kSlot = Int(slot)});
}
void MessageWriter::String(int slot, std::string_view text, bool literal) {
  _my->Emit(values::String{.kSlot = Int(slot), .kLiteral = Int(literal ? 1 : 0), .kText = Bytes(text)});
}
void MessageWriter::Variable(int slot, std::string_view name, std::string_view label, int modeCode) {
  _my->Emit(values::Variable{
      .kSlot = Int(slot), .kMode = Int(modeCode), .kName = Bytes(name), .kLabel = Bytes(label)});
}
void MessageWriter::NumValue(int slot, std::string_view variable, double value, WireFormat format,
                             std::string_view label, int modeCode) {
  _my->Emit(values::Value{.kSlot = Int(slot),
                          .kMode = Int(modeCode),
                          .kFormat = Int(format.Word()),
                          .kVariable = Bytes(variable),
                          .kValue = Real(value),
                          .kLabel = Bytes(label)});
}
void MessageWriter::StringValue(int slot, std::string_view variable, std::string_view value,
                                WireFormat format, std::string_view label, int modeCode) {
  _my->Emit(values::Value{.kSlot = Int(slot),
                          .kMode = Int(modeCode),
                          .kFormat = Int(format.Word()),
                          .kVariable = Bytes(variable),
                          .kValue = Bytes(value),
                          .kLabel = Bytes(label)});
}
void MessageWriter::Composite(int slot, int templateSlot) {
  _my->Emit(values::Composite{.kSlot = Int(slot), .kTemplate = Int(templateSlot)});
}
void MessageWriter::RepeatBegin() {
  _my->Emit(values::RepeatBegin{});
}
void MessageWriter::RepeatEnd() {
  _my->Emit(values::RepeatEnd{});
}
void MessageWriter::CompositeAdd(int slot) {
  _my->Emit(values::CompositeAdd{.kSlot = Int(slot)});
}
void MessageWriter::Free(int slot) {
  _my->Emit(values::Free{.kSlot = Int(slot)});
}
void MessageWriter::Copy(int sourceSlot, int targetSlot) {
  _my->Emit(values::Copy{.kSource = Int(sourceSlot), .kTarget = Int(targetSlot)});
}

// ---- tables

void MessageWriter::TableBegin(std::uint8_t tcid, int labelSlot, int subtypeSlot, bool continuation) {
  _my->Emit(values::TableBegin{.kTcid = Int(tcid),
                               .kLabel = Int(labelSlot),
                               .kSubtype = Int(subtypeSlot),
                               .kContinuation = Int(continuation ? 1 : 0)});
}
void MessageWriter::Category(std::uint8_t tcid, int categorySlot, int dimensionSlot) {
  _my->Emit(
      values::Category{.kTcid = Int(tcid), .kCategory = Int(categorySlot), .kDimension = Int(dimensionSlot)});
}
void MessageWriter::Group(std::uint8_t tcid, int groupSlot, int dimensionSlot) {
  _my->Emit(values::Group{.kTcid = Int(tcid), .kGroup = Int(groupSlot), .kDimension = Int(dimensionSlot)});
}
void MessageWriter::GroupEnd(std::uint8_t tcid, int dimensionSlot) {
  _my->Emit(values::GroupEnd{.kTcid = Int(tcid), .kDimension = Int(dimensionSlot)});
}
void MessageWriter::CellDimension(std::uint8_t tcid, int dimensionSlot) {
  _my->Emit(values::CellDimension{.kTcid = Int(tcid), .kDimension = Int(dimensionSlot)});
}
void MessageWriter::Cell(std::uint8_t tcid, int cellSlot, int categorySlot) {
  _my->Emit(values::Cell{.kTcid = Int(tcid), .kCell = Int(cellSlot), .kCategory = Int(categorySlot)});
}
void MessageWriter::CellCategory(std::uint8_t tcid, int categorySlot) {
  _my->Emit(values::CellCategory{.kTcid = Int(tcid), .kCategory = Int(categorySlot)});
}
void MessageWriter::TableEnd(std::uint8_t tcid) {
  _my->Emit(values::TableEnd{.kTcid = Int(tcid)});
}
void MessageWriter::Dimension(std::uint8_t tcid, int dimensionSlot) {
  _my->Emit(values::Dimension{.kTcid = Int(tcid), .kDimension = Int(dimensionSlot)});
}
void MessageWriter::Place(std::uint8_t tcid, int dimensionSlot, int position, Axis axis, bool first,
                          bool second) {
  _my->Emit(values::Place{.kTcid = Int(tcid),
                          .kDimension = Int(dimensionSlot),
                          .kPosition = Int(position),
                          .kAxis = Int(static_cast<std::int32_t>(axis)),
                          .kFirst = Int(first ? 1 : 0),
                          .kSecond = Int(second ? 1 : 0)});
}
void MessageWriter::GroupSort(std::uint8_t tcid, std::uint32_t mode) {
  _my->Emit(values::GroupSort{.kTcid = Int(tcid), .kValue = Int(mode)});
}
void MessageWriter::DimensionSort(std::uint8_t tcid, std::uint32_t mode) {
  _my->Emit(values::DimensionSort{.kTcid = Int(tcid), .kValue = Int(mode)});
}
void MessageWriter::GroupSortMark(std::uint8_t tcid, std::uint32_t mode) {
  _my->Emit(values::GroupSortMark{.kTcid = Int(tcid), .kValue = Int(mode)});
}
void MessageWriter::GroupMark(std::uint8_t tcid) {
  _my->Emit(values::GroupMark{.kTcid = Int(tcid)});
}
void MessageWriter::Corner(std::uint8_t tcid, int slot) {
  _my->Emit(values::Corner{.kTcid = Int(tcid), .kSlot = Int(slot)});
}
void MessageWriter::ClearAuxiliary(std::uint8_t tcid) {
  _my->Emit(values::AuxClear{.kTcid = Int(tcid)});
}
void MessageWriter::Option(std::uint8_t tcid, TableOption option, int slot) {
  _my->Emit(values::TableOption{
      .kTcid = Int(tcid), .kOption = Int(static_cast<std::int32_t>(option)), .kSlot = Int(slot)});
}
void MessageWriter::ColumnWidths(std::uint8_t tcid, WidthLimits which, int minimum, int maximum) {
  _my->Emit(values::ColumnWidths{.kTcid = Int(tcid),
                                 .kWhich = Int(static_cast<std::int32_t>(which)),
                                 .kMinimum = Int(minimum),
                                 .kMaximum = Int(maximum)});
}
void MessageWriter::Scratch(int labelSlot) {
  _my->Emit(values::Scratch{.kSlot = Int(labelSlot)});
}
void MessageWriter::Footnote(FootnoteTarget target, int textSlot) {
  _my->Emit(values::Footnote{.kTarget = Int(static_cast<std::int32_t>(target)), .kText = Int(textSlot)});
}
void MessageWriter::FootnoteWithMarker(FootnoteTarget target, int textSlot, int markerSlot) {
  _my->Emit(values::FootnoteMarker{
      .kTarget = Int(static_cast<std::int32_t>(target)), .kText = Int(textSlot), .kMarker = Int(markerSlot)});
}
void MessageWriter::Bold() {
  _my->Emit(values::Bold{});
}
void MessageWriter::Background(std::string_view colour) {
  _my->Emit(values::Background{.kColour = Bytes(colour)});
}
void MessageWriter::TextColour(std::string_view colour) {
  _my->Emit(values::Color{.kColour = Bytes(colour)});
}
void MessageWriter::Marker(int slot) {
  _my->Emit(values::Marker{.kSlot = Int(slot)});
}

// ---- procedures, text and pages

void MessageWriter::ProcedureBegin(std::int64_t number, const ProcedureSettings& settings) {
  ProcedureBegin(number, settings.Text());
}
void MessageWriter::ProcedureBegin(std::int64_t number, std::string_view settingsText) {
  _my->Emit(values::ProcedureBegin{.kNumber = Int(number), .kSettings = Bytes(settingsText)});
}
void MessageWriter::ProcedureEnd(std::string_view bootstrapSpec, std::size_t fragmentBytes) {
  _my->Multipart(MessageType::ProcedureEnd, {MessagePart{0, 0, 0, std::string(bootstrapSpec)}},
                 fragmentBytes);
}
void MessageWriter::Heading(int labelSlot) {
  _my->Emit(values::Heading{.kSlot = Int(labelSlot)});
}
void MessageWriter::HeadingEnd() {
  _my->Emit(values::HeadingEnd{});
}
void MessageWriter::TextBlock(int titleSlot) {
  _my->Emit(values::TextBlock{.kSlot = Int(titleSlot)});
}
void MessageWriter::Split(int variableSlot, int valueSlot) {
  _my->Emit(values::Split{.kVariable = Int(variableSlot), .kValue = Int(valueSlot)});
}
void MessageWriter::Text(std::string_view text, int lines) {
  _my->Emit(values::Text{.kLines = Int(lines), .kText = Bytes(text)});
}
void MessageWriter::Log(std::string_view text, int lines) {
  _my->Emit(values::Log{.kLines = Int(lines), .kText = Bytes(text)});
}
void MessageWriter::LogEnd() {
  _my->Emit(values::LogEnd{});
}
void MessageWriter::Signal() {
  _my->Emit(values::Signal{});
}
void MessageWriter::PageTitle(std::string_view title, std::string_view subtitle) {
  _my->Emit(values::PageTitle{.kTitle = Bytes(title), .kSubtitle = Bytes(subtitle)});
}
void MessageWriter::Outline(std::string_view text) {
  _my->Emit(values::Outline{.kText = Bytes(text)});
}
// The receiver takes field 8 as the length of the data.
void MessageWriter::Chart(int chart, int operation, std::string_view data) {
  _my->Emit(values::Chart{.kChart = Int(chart),
                          .kOperation = Int(operation),
                          .kA = Int(static_cast<std::int64_t>(data.size())),
                          .kData = Bytes(data)});
}
void MessageWriter::AnswerTree(int tree, int operation, std::string_view data) {
  _my->Emit(values::AnswerTree{.kTree = Int(tree),
                               .kOperation = Int(operation),
                               .kA = Int(static_cast<std::int64_t>(data.size())),
                               .kData = Bytes(data)});
}
void MessageWriter::Model(const std::vector<MessagePart>& parts, std::size_t fragmentBytes) {
  _my->Multipart(MessageType::Model, parts, fragmentBytes);
}
void MessageWriter::Model(std::string_view title, const std::vector<std::string>& contents,
                          std::string_view subtitle, std::size_t fragmentBytes) {
  std::vector<MessagePart> parts{MessagePart{0, 0, 0, std::string(title)}};
  for (std::size_t i = 0; i < contents.size(); ++i)
    parts.push_back(MessagePart{static_cast<std::int32_t>(i + 1), 0, 0, contents[i]});
  if (!subtitle.empty()) parts.push_back(MessagePart{5, 0, 0, std::string(subtitle)});
  Model(parts, fragmentBytes);
}

} // namespace stream

} // namespace omf
