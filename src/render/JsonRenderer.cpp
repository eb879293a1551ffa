#include <omf/render/JsonRenderer.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

#include <omf/model/CellText.h>
#include <omf/model/OutputTree.h>
#include <omf/model/PivotTable.h>
#include <omf/platform/strings/PlatformStrings.h>
#include <omf/render/CellDisplay.h>
#include <omf/render/JsonWriter.h>
#include <omf/render/RenderWalk.h>

namespace omf {

namespace render {

namespace {

// The type of each kind of part, in the order of PartKind.
constexpr const char* kTypeNames[] = {"procedure", "heading", "text",       "pagetitle",
                                      "chart",     "model",   "answertree", "table"};

// Writes every part as an object that holds its children under "parts", each part starting on a line of
// its own and a table's cells one a line.
class JsonEmitter final : public Emitter {
public:
  explicit JsonEmitter(std::ostream& out) : _json(out) {}

  void BeginDocument() override {
    _json.BeginObject().Key("omf").Number(1).Key("parts").BeginArray(JsonWriter::Layout::kLines);
  }

  void EndDocument() override {
    CloseParts(1);
    _json.EndArray().EndObject();
    _json.Finish();
  }

  // A part stays open until the walk reaches a part that is not below it, so that the parts of its
  // subtree can go, in order, under its own "parts" key.
  void BeginPart(const OmOutputPart& part, const Place& at) override {
    CloseParts(at.level);
    if (!_open.empty() && !_open.back().hasChildren) {
      _json.Key("parts").BeginArray(JsonWriter::Layout::kLines);
      _open.back().hasChildren = true;
    }
    _open.push_back({at.level, false});
    _codePage = at.codePage;
    _json.BeginObject().Key("level").Number(at.level).Key("type").String(
        kTypeNames[static_cast<int>(at.kind)]);
    _json.Key("title").String(Text(part.Title())).Key("visible").Bool(part.IsVisible());
  }

  void Procedure(const OmProcedure& procedure, const Place&) override {
    _json.Key("command").String(Utf8(procedure.Command())).Key("name").String(Utf8(procedure.Name()));
    _json.Key("outline");
    OptionalText(procedure.OutlineText());
    _json.Key("language").String(procedure.Language()).Key("codepage").String(procedure.CodePage());
    _json.Key("locale").String(procedure.Locale()).Key("display").BeginObject();
    _json.Key("outlineVariables").Number(static_cast<int>(procedure.OutlineVarMode()));
    _json.Key("outlineValues").Number(static_cast<int>(procedure.OutlineValueMode()));
    _json.Key("tableVariables").Number(static_cast<int>(procedure.TableVarMode()));
    _json.Key("tableValues").Number(static_cast<int>(procedure.TableValueMode()));
    _json.Key("outlineVariablesName").String(VariableModeName(procedure.OutlineVarMode()));
    _json.Key("outlineValuesName").String(ValueModeName(procedure.OutlineValueMode()));
    _json.Key("tableVariablesName").String(VariableModeName(procedure.TableVarMode()));
    _json.Key("tableValuesName").String(ValueModeName(procedure.TableValueMode()));
    _json.EndObject();
  }

  void Heading(const OmHeading& heading, const Place&) override {
    _json.Key("footnotes").BeginArray();
    for (const OmFootnote& f : heading.Footnotes())
      _json.String(f.text ? Text(*f.text) : std::string());
    _json.EndArray();
  }

  void TextBlock(const OmTextBlock& block, const Place&) override {
    Lines(block.Lines());
    _json.Key("log").Bool(block.IsLog());
  }

  void PageTitle(const OmPageTitle& title, const Place&) override { Lines(title.Lines()); }

  void Content(const OmContentPart& part, const Place&) override {
    _json.Key("content").BeginObject();
    for (const auto& [slot, bytes] : part.Content())
      _json.Key(std::to_string(slot)).Number(bytes.size());
    _json.EndObject();
  }

  void Table(const OmPivotTable& table, const Place&) override {
    _json.Key("subtype").String(Text(table.Subtype())).Key("tableTitle").String(Text(table.TableTitle()));
    _json.Key("caption");
    OptionalText(table.Caption());
    _json.Key("corner");
    OptionalText(table.CornerText());
    _json.Key("id").Number(table.TableId()).Key("locale").String(table.TableLocale());
    _json.Key("template").String(Text(table.TemplateName()));
    _json.Key("dimensions").BeginArray();
    for (int d = 0; d < table.NDimensions(); ++d) {
      const OmDimension& dim = table.Dimension(d);
      _json.BeginObject().Key("label").String(Text(dim.Label())).Key("categories");
      Categories(dim.Root());
      Footnotes(dim.Label());
      _json.EndObject();
    }
    _json.EndArray();
    Placed("rows", table.Rows());
    Placed("columns", table.Columns());
    Placed("layers", table.Layers());
    _json.Key("cells").BeginArray(JsonWriter::Layout::kLines);
    // In the lexicographic order of the subscripts, which the compact numbers are stored in.
    table.ForEachCellInOrder(
        [this](const int* at, std::size_t width, const OmCellText& cell) { Cell(at, width, cell); });
    _json.EndArray();
    _json.Key("footnotes").BeginArray();
    for (const OmFootnote& f : table.Footnotes()) {
      _json.BeginObject().Key("text").String(f.text ? Text(*f.text) : std::string()).Key("marker");
      OptionalText(f.marker.get());
      _json.EndObject();
    }
    _json.EndArray().Key("titleFootnotes").BeginArray();
    if (table.TableTitle().HasMetaData())
      for (int index : table.TableTitle().Footnotes())
        _json.Number(index);
    _json.EndArray();
  }

private:
  struct OpenPart {
    int level;
    bool hasChildren;
  };

  // Ends every open part of this level or deeper.
  void CloseParts(int level) {
    while (!_open.empty() && _open.back().level >= level) {
      if (_open.back().hasChildren) _json.EndArray();
      _json.EndObject();
      _open.pop_back();
    }
  }

  std::string Utf8(const std::string& text) const { return omf::platform::ToUtf8(text, _codePage); }
  std::string Text(const OmCellText& text) const { return DisplayText(text, _codePage); }

  void OptionalText(const OmCellText* text) {
    if (text != nullptr)
      _json.String(Text(*text));
    else
      _json.Null();
  }

  void Lines(const std::vector<std::string>& lines) {
    _json.Key("lines").BeginArray();
    for (const std::string& line : lines)
      _json.String(Utf8(line));
    _json.EndArray();
  }

  void Placed(const char* key, const PuppetVector<short>& places) {
    _json.Key(key).BeginArray();
    for (short d : places.Placed())
      _json.Number(d);
    _json.EndArray();
  }

  // The footnotes key of a label that carries footnotes.
  void Footnotes(const OmCellText& label) {
    if (!label.HasMetaData() || label.Footnotes().empty()) return;
    _json.Key("footnotes").BeginArray();
    for (int index : label.Footnotes())
      _json.Number(index);
    _json.EndArray();
  }

  // The children of a dimension's root, groups holding theirs. Groups nest as deep as the stream made
  // them, so the walk keeps its own stack instead of recursing.
  void Categories(const OmDimensionNode& root) {
    std::vector<std::pair<const OmDimensionNode*, std::size_t>> stack{{&root, 0}}; // node, next child
    _json.BeginArray();
    while (!stack.empty()) {
      const auto [node, next] = stack.back();
      if (next == node->ChildCount()) {
        _json.EndArray();
        stack.pop_back();
        if (node != &root) {
          Footnotes(node->Label());
          _json.EndObject();
        }
        continue;
      }
      ++stack.back().second;
      const OmDimensionNode& child = node->Child(next);
      _json.BeginObject().Key("label").String(Text(child.Label()));
      if (child.IsGroup()) {
        _json.Key("group").Bool(true).Key("children").BeginArray();
        stack.emplace_back(&child, 0);
      } else {
        _json.Key("index").Number(child.Subscript());
        Footnotes(child.Label());
        _json.EndObject();
      }
    }
  }

  void Cell(const int* at, std::size_t width, const OmCellText& cell) {
    if (cell.OrderCode() == OmCellText::kOrderNumber && !cell.HasMetaData() && width <= kMaxPlainWidth &&
        PlainNumber(at, width, static_cast<const OmNumber&>(cell)))
      return;
    _json.BeginObject().Key("at").BeginArray();
    for (std::size_t d = 0; d < width; ++d)
      _json.Number(at[d]);
    _json.EndArray().Key("kind").String(KindName(cell)).Key("text").String(Text(cell));
    if (cell.OrderCode() == OmCellText::kOrderNumber) {
      const auto& number = static_cast<const OmNumber&>(cell);
      _json.Key("value");
      if (number.Value() == kSysmis)
        _json.Null();
      else
        _json.Number(number.Value());
      _json.Key("format").BeginArray().Number(FormatWidth(number.Format()));
      _json.Number(FormatType(number.Format())).Number(FormatDecimals(number.Format())).EndArray();
      _json.Key("formatName").String(FormatTypeName(FormatType(number.Format())));
    }
    Footnotes(cell);
    if (cell.HasMetaData() && !cell.Markers().empty()) {
      _json.Key("markers").BeginArray();
      for (const std::string& marker : cell.Markers())
        _json.String(Utf8(marker));
      _json.EndArray();
    }
    _json.EndObject();
  }

  // The line of a number without footnotes or markers, written in one go: what the general path writes
  // for it, byte for byte, without a string per key and value. False when the number cannot go this way.
  bool PlainNumber(const int* at, std::size_t width, const OmNumber& number) {
    if (!AsciiKept()) return false;
    if (WholeNumber(at, width, number)) return true;
    const std::size_t length = FormatNumberInto(number.Value(), number.Format(), _number);
    if (length == std::string_view::npos) return false;
    const double value = number.Value();
    NumberLine(
        at, width, number.Format(), length,
        [&](char* w) { return Put(w, std::string_view(_number.data(), length)); },
        [&](char* w) {
          return value == kSysmis || !std::isfinite(value) ? Put(w, "null") : JsonWriter::Shortest(w, value);
        });
    return true;
  }

  // The same for a whole number in an F format (counts, most of what crosstabs and frequency tables
  // hold): its digits serve both its text and its value, and no decimal conversion is needed.
  bool WholeNumber(const int* at, std::size_t width, const OmNumber& number) {
    const double value = number.Value();
    const double magnitude = std::fabs(value);
    if (FormatType(number.Format()) != kFixedType || !(magnitude >= 1 && magnitude < 1e15) ||
        magnitude != std::floor(magnitude))
      return false;
    char digits[20];
    const auto n = static_cast<std::size_t>(
        std::to_chars(digits, digits + sizeof digits, static_cast<std::uint64_t>(magnitude)).ptr - digits);
    std::size_t significant = n;
    while (significant > 1 && digits[significant - 1] == '0')
      --significant;
    // As JsonWriter::Shortest: the plain form unless the scientific one is shorter.
    if (n > significant + (significant > 1 ? 1 : 0) + 4) return false;
    const std::string_view shown(digits, n);
    const unsigned decimals = FormatDecimals(number.Format());
    const auto signedDigits = [&](char* w) {
      if (value < 0) *w++ = '-';
      return Put(w, shown);
    };
    NumberLine(
        at, width, number.Format(), n + 2 + decimals,
        [&](char* w) {
          w = signedDigits(w);
          if (decimals > 0) {
            *w++ = '.';
            w = std::fill_n(w, decimals, '0');
          }
          return w;
        },
        signedDigits);
    return true;
  }

  // Writes a number's line; text(at) and value(at) write the text's characters (at most textBytes) and
  // the value, and return where they end.
  template <class Text, class Value>
  void NumberLine(const int* at, std::size_t width, std::uint32_t format, std::size_t textBytes, Text&& text,
                  Value&& value) {
    if (format != _tailFormat) SetTail(format);
    const std::size_t most = 64 + width * 12 + textBytes + JsonWriter::kNumberBytes + _tail.size();
    _json.Raw(most, [&](char* w) {
      w = Put(w, "{\"at\":[");
      for (std::size_t d = 0; d < width; ++d) {
        if (d > 0) *w++ = ',';
        w = std::to_chars(w, w + 12, at[d]).ptr;
      }
      w = text(Put(w, "],\"kind\":\"number\",\"text\":\""));
      w = value(Put(w, "\",\"value\":"));
      return Put(w, _tail);
    });
  }

  static char* Put(char* w, std::string_view s) {
    std::memcpy(w, s.data(), s.size());
    return w + s.size();
  }

  void SetTail(std::uint32_t format) {
    _tailFormat = format;
    const unsigned type = FormatType(format);
    _tail = ",\"format\":[" + std::to_string(FormatWidth(format)) + "," + std::to_string(type) + "," +
            std::to_string(FormatDecimals(format)) + "],\"formatName\":\"" +
            std::string(FormatTypeName(type)) + "\"}";
  }

  // Whether the part's code page leaves the characters of number texts as they are (every code page
  // that extends ASCII), so that those texts need no conversion and, being printable ASCII without
  // quotes or backslashes, no escaping.
  bool AsciiKept() {
    if (_asciiCodePage != _codePage || !_asciiKnown) {
      static constexpr std::string_view kNumberCharacters = "0123456789.,-+$%EInfNa";
      _asciiKept = omf::platform::ToUtf8(std::string(kNumberCharacters), _codePage) == kNumberCharacters;
      _asciiCodePage = _codePage;
      _asciiKnown = true;
    }
    return _asciiKept;
  }

  // Tables wider than this take the general path (their lines are long anyway).
  static constexpr std::size_t kMaxPlainWidth = 256;
  // The plain fixed-point format, F: digits, the point and the decimals, nothing else.
  static constexpr unsigned kFixedType = 5;

  JsonWriter _json;
  NumberText _number;              // the text of the plain number being written
  std::uint32_t _tailFormat = ~0u; // the format whose line end is in _tail
  std::string _tail;               // a plain number's line after its value
  std::string _asciiCodePage;      // the code page _asciiKept was found for
  bool _asciiKnown = false;
  bool _asciiKept = false;
  std::string_view _codePage;  // of the part being written
  std::vector<OpenPart> _open; // the parts whose subtree is being written, outermost first
};

} // namespace

void JsonRenderer::Render(const OmOutputTree& tree, std::ostream& out) const {
  JsonEmitter emitter(out);
  RenderWalk(tree, emitter, Parts::kAll);
}

std::string JsonRenderer::Render(const OmOutputTree& tree) const {
  std::ostringstream out;
  Render(tree, out);
  return out.str();
}

} // namespace render

} // namespace omf
