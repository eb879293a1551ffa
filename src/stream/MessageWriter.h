#pragma once
// MessageWriter: what a back end sends, one method per message type. Each method encodes its payload
// through the message's catalogue row, in the writer's byte order, and hands it to a sink (a stream file,
// a factory, memory). A writer set to big-endian emits exactly the bytes a big-endian back end sends:
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

#include "platform/message/MessageHandler.h"
#include "stream/MessageEncoder.h"
#include "stream/MessageSink.h"
#include "stream/WireFormat.h"

namespace omf::stream {

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

enum class Axis : std::int32_t { Rows = 0, Columns = 1, Layers = 2 };

// What a footnote is attached to. Heading goes to the current heading and its tables; the others to the
// table that the last table message addressed.
enum class FootnoteTarget : std::int32_t {
  Heading = 0,
  Title = 1,
  Dimension = 2,
  Group = 3,
  Category = 4,
  Cell = 5,
  SetCaption = 6, // the footnote's text becomes the table's caption
  Caption = 7,
};

enum class TableOption : std::int32_t {
  RotateRowLabels = 0,    // the slot holds a number, not 0 rotates
  RotateColumnLabels = 1, // likewise
  OptionNumber = 2,       // the slot holds the number
  DimensionOption = 3,    // the slot holds a dimension label
};

enum class WidthLimits : std::int32_t { Minimum = 1, Maximum = 2, Both = 3 };

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
  // Changes the order of the messages that follow (a back end that announces its order sends 59 or 304
  // first, and then writes in that order).
  void SetOrder(ByteOrder order);

  // Any message through its row, values in the row's field order (see EncodeMessage).
  void Send(const MessageSpec& spec, const std::vector<FieldValue>& values);
  // A payload as it stands, for types outside the catalogue and for malformed input.
  void SendRaw(short type, std::vector<unsigned char> payload);

  // ---- settings
  void Setting(std::string_view name, std::uint8_t value);    // 27
  void Display(std::string_view key, std::string_view value); // 34
  void SettingPair(std::int32_t first, std::int32_t second);  // 56
  void ByteOrderProbe();                                      // 59
  void Swap(bool swap);                                       // 304

  // ---- parameter slots
  void Number(int slot, double value, WireFormat format);                                            // 256
  void Integer(int slot, std::int32_t value, WireFormat format);                                     // 257
  void String(int slot, std::string_view text, bool literal = false);                                // 258
  void Variable(int slot, std::string_view name, std::string_view label, int modeCode = kModeUnset); // 308
  void NumValue(int slot, std::string_view variable, double value, WireFormat format, std::string_view label,
                int modeCode = kModeUnset); // 309
  // The value must not be empty: a value of length 0 announces a number.
  void StringValue(int slot, std::string_view variable, std::string_view value, WireFormat format,
                   std::string_view label, int modeCode = kModeUnset); // 309
  void Composite(int slot, int templateSlot);                          // 259
  void RepeatBegin();                                                  // 261
  void RepeatEnd();                                                    // 262
  void CompositeAdd(int slot);                                         // 263
  void Free(int slot);                                                 // 286
  void Copy(int sourceSlot, int targetSlot);                           // 287

  // ---- tables; `tcid` names the table the message addresses
  void TableBegin(std::uint8_t tcid, int labelSlot, int subtypeSlot, bool continuation = false); // 268
  void Category(std::uint8_t tcid, int categorySlot, int dimensionSlot);                         // 269
  void Group(std::uint8_t tcid, int groupSlot, int dimensionSlot);                               // 270
  void GroupEnd(std::uint8_t tcid, int dimensionSlot);                                           // 271
  void CellDimension(std::uint8_t tcid, int dimensionSlot);                                      // 272
  void Cell(std::uint8_t tcid, int cellSlot, int categorySlot);                                  // 273
  void CellCategory(std::uint8_t tcid, int categorySlot);                                        // 274
  void TableEnd(std::uint8_t tcid);                                                              // 275
  void Dimension(std::uint8_t tcid, int dimensionSlot);                                          // 282
  // `position` counts from 1.
  void Place(std::uint8_t tcid, int dimensionSlot, int position, Axis axis, bool first = false,
             bool second = false);                                                   // 284
  void GroupSort(std::uint8_t tcid, std::uint32_t mode);                             // 288
  void DimensionSort(std::uint8_t tcid, std::uint32_t mode);                         // 289
  void GroupSortMark(std::uint8_t tcid, std::uint32_t mode);                         // 290
  void GroupMark(std::uint8_t tcid);                                                 // 297
  void Corner(std::uint8_t tcid, int slot);                                          // 298
  void ClearAuxiliary(std::uint8_t tcid);                                            // 299
  void Option(std::uint8_t tcid, TableOption option, int slot);                      // 302
  void ColumnWidths(std::uint8_t tcid, WidthLimits which, int minimum, int maximum); // 310
  void Scratch(int labelSlot);                                                       // 267
  void Footnote(FootnoteTarget target, int textSlot);                                // 280
  // A marker slot of 0 means no marker.
  void FootnoteWithMarker(FootnoteTarget target, int textSlot, int markerSlot); // 285
  // The next four address the current category or cell of the last table addressed.
  void Bold();                              // 313
  void Background(std::string_view colour); // 314
  void TextColour(std::string_view colour); // 315
  void Marker(int slot);                    // 316

  // ---- procedures, text and pages
  void ProcedureBegin(std::int64_t number, const ProcedureSettings& settings); // 276
  void ProcedureBegin(std::int64_t number, std::string_view settingsText);     // 276
  // One part holding the serialized bootstrap specification (empty without bootstrapping), sent as one
  // fragment, or as fragments of at most `fragmentBytes` body bytes each.
  void ProcedureEnd(std::string_view bootstrapSpec = "", std::size_t fragmentBytes = 0); // 291
  void Heading(int labelSlot);                                                           // 278
  void HeadingEnd();                                                                     // 279
  void TextBlock(int titleSlot);                                                         // 296
  void Split(int variableSlot, int valueSlot);                                           // 281
  // `lines` - 1 empty lines come before the text; -1 puts a form-feed line before it.
  void Text(std::string_view text, int lines = 1);                        // 292
  void Log(std::string_view text, int lines = 1);                         // 293
  void LogEnd();                                                          // 295
  void Signal();                                                          // 300
  void PageTitle(std::string_view title, std::string_view subtitle = ""); // 305
  void Outline(std::string_view text);                                    // 317
  void Chart(int chart, int operation, std::string_view data);            // 307
  void AnswerTree(int tree, int operation, std::string_view data);        // 312
  // A model: part kind 0 its title, kinds 1 to 4 its content, kind 5 the title's second text.
  void Model(const std::vector<MessagePart>& parts, std::size_t fragmentBytes = 0); // 311
  void Model(std::string_view title, const std::vector<std::string>& contents = {},
             std::string_view subtitle = "", std::size_t fragmentBytes = 0); // 311

  struct Impl;

private:
  std::unique_ptr<Impl> _my;
};

} // namespace omf::stream
