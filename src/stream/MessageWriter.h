#pragma once
// MessageWriter: what a back end sends, one method per message type, named as the type is in MessageType
// or close to it (ByteOrderProbe sends ByteOrder, Option TableOption, ClearAuxiliary AuxClear, TextColour
// Color, FootnoteWithMarker FootnoteMarker, NumValue and StringValue both Value). Each method encodes its
// payload through the message's catalogue row, in the writer's byte order, and hands it to a sink (a stream
// file, a factory, memory). A writer set to big-endian emits exactly the bytes a big-endian back end sends:
// fields that the receiver swaps are big-endian, the others stay in this machine's order.
//
// Slots are the factory's numbered parameter cells: parameter messages fill them, the messages that use
// a cell take it out again, so one slot can be refilled for every message.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <omf/platform/message/MessageHandler.h>
#include <omf/stream/MessageEncoder.h>
#include <omf/stream/MessageSink.h>
#include <omf/stream/WireFormat.h>

namespace omf {

namespace stream {

// The settings text that opens a procedure, one `key=value` line each.
struct ProcedureSettings {
  std::string procedure;  // command name, untranslated
  std::string translated; // translated name, may be empty
  std::string language = "English";
  std::string codepage = "UTF-8";
  std::string locale = "en_US";
  bool bootstrap = false;
  int fastTables = 0;

  std::string Text() const;
};

// Display-mode codes of variables and values: 0 names (or values), 2 not set (the factory's display
// setting applies), any other value labels.
enum ModeCode : std::int32_t { kModeNames = 0, kModeLabels = 1, kModeUnset = 2 };

// The codes of code fields, with the words that scripts write for them (protocol/Messages.def).
using Axis = msg::code::Axis;
using FootnoteTarget = msg::code::FootnoteTarget;
using TableOption = msg::code::TableOption;
using WidthLimits = msg::code::WidthLimits;

// Chart sub-operations with a fixed meaning; 1 to 4, 7 and 8 set numbered content.
enum ChartOperation : std::int32_t { kChartCreate = 0, kChartSubtitle = 9, kChartMapInfo = 10 };
// Answer-tree sub-operation 1 creates the tree; 0 and 2 to 6 set numbered content.
enum AnswerTreeOperation : std::int32_t { kAnswerTreeCreate = 1 };

class MessageWriter {
public:
  explicit MessageWriter(MessageSink& sink, ByteOrder order = kNativeOrder);
  ~MessageWriter();
  MessageWriter(const MessageWriter&) = delete;
  MessageWriter& operator=(const MessageWriter&) = delete;

  ByteOrder Order() const;
  // Changes the order of the messages that follow (a back end that announces its order sends ByteOrder
  // or Swap first, and then writes in that order).
  void SetOrder(ByteOrder order);

  // Any message through its row, values in the row's field order (see EncodeMessage).
  void Send(const MessageSpec& spec, const std::vector<FieldValue>& values);
  // A payload as it stands, for types outside the catalogue and for malformed input.
  void SendRaw(short type, std::vector<unsigned char> payload);

  // ---- settings
  void Setting(std::string_view name, std::uint8_t value);
  void Display(std::string_view key, std::string_view value);
  void SettingPair(std::int32_t first, std::int32_t second);
  void ByteOrderProbe();
  void Swap(bool swap);

  // ---- parameter slots
  void Number(int slot, double value, WireFormat format);
  void Integer(int slot, std::int32_t value, WireFormat format);
  void String(int slot, std::string_view text, bool literal = false);
  void Variable(int slot, std::string_view name, std::string_view label, int modeCode = kModeUnset);
  void NumValue(int slot, std::string_view variable, double value, WireFormat format, std::string_view label,
                int modeCode = kModeUnset);
  // The value must not be empty: a value of length 0 announces a number.
  void StringValue(int slot, std::string_view variable, std::string_view value, WireFormat format,
                   std::string_view label, int modeCode = kModeUnset);
  void Composite(int slot, int templateSlot);
  void RepeatBegin();
  void RepeatEnd();
  void CompositeAdd(int slot);
  void Free(int slot);
  void Copy(int sourceSlot, int targetSlot);

  // ---- tables; `tcid` names the table the message addresses
  void TableBegin(std::uint8_t tcid, int labelSlot, int subtypeSlot, bool continuation = false);
  void Category(std::uint8_t tcid, int categorySlot, int dimensionSlot);
  void Group(std::uint8_t tcid, int groupSlot, int dimensionSlot);
  void GroupEnd(std::uint8_t tcid, int dimensionSlot);
  void CellDimension(std::uint8_t tcid, int dimensionSlot);
  void Cell(std::uint8_t tcid, int cellSlot, int categorySlot);
  void CellCategory(std::uint8_t tcid, int categorySlot);
  void TableEnd(std::uint8_t tcid);
  void Dimension(std::uint8_t tcid, int dimensionSlot);
  // `position` counts from 1.
  void Place(std::uint8_t tcid, int dimensionSlot, int position, Axis axis, bool first = false,
             bool second = false);
  void GroupSort(std::uint8_t tcid, std::uint32_t mode);
  void DimensionSort(std::uint8_t tcid, std::uint32_t mode);
  void GroupSortMark(std::uint8_t tcid, std::uint32_t mode);
  void GroupMark(std::uint8_t tcid);
  void Corner(std::uint8_t tcid, int slot);
  void ClearAuxiliary(std::uint8_t tcid);
  void Option(std::uint8_t tcid, TableOption option, int slot);
  void ColumnWidths(std::uint8_t tcid, WidthLimits which, int minimum, int maximum);
  void Scratch(int labelSlot);
  void Footnote(FootnoteTarget target, int textSlot);
  // A marker slot of 0 means no marker.
  void FootnoteWithMarker(FootnoteTarget target, int textSlot, int markerSlot);
  // The next four address the current category or cell of the last table addressed.
  void Bold();
  void Background(std::string_view colour);
  void TextColour(std::string_view colour);
  void Marker(int slot);

  // ---- procedures, text and pages
  void ProcedureBegin(std::int64_t number, const ProcedureSettings& settings);
  void ProcedureBegin(std::int64_t number, std::string_view settingsText);
  // One part holding the serialized bootstrap specification (empty without bootstrapping), sent as one
  // fragment, or as fragments of at most `fragmentBytes` body bytes each.
  void ProcedureEnd(std::string_view bootstrapSpec = "", std::size_t fragmentBytes = 0);
  void Heading(int labelSlot);
  void HeadingEnd();
  void TextBlock(int titleSlot);
  void Split(int variableSlot, int valueSlot);
  // `lines` - 1 empty lines come before the text; -1 puts a form-feed line before it.
  void Text(std::string_view text, int lines = 1);
  void Log(std::string_view text, int lines = 1);
  void LogEnd();
  void Signal();
  void PageTitle(std::string_view title, std::string_view subtitle = "");
  void Outline(std::string_view text);
  void Chart(int chart, int operation, std::string_view data);
  void AnswerTree(int tree, int operation, std::string_view data);
  // A model: part kind 0 its title, kinds 1 to 4 its content, kind 5 the title's second text.
  void Model(const std::vector<MessagePart>& parts, std::size_t fragmentBytes = 0);
  void Model(std::string_view title, const std::vector<std::string>& contents = {},
             std::string_view subtitle = "", std::size_t fragmentBytes = 0);

  struct Impl;

private:
  std::unique_ptr<Impl> _my;
};

} // namespace stream

} // namespace omf
