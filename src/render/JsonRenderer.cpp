#include "render/JsonRenderer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <sstream>

#include <nlohmann/json.hpp>

#include "model/OutputTree.h"
#include "model/PivotTable.h"
#include "platform/strings/PlatformStrings.h"
#include "render/CellDisplay.h"

namespace omf::render {

namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json FootnoteList(const OmCellText& text) {
  Json list = Json::array();
  if (text.HasMetaData())
    for (int index : text.Footnotes())
      list.push_back(index);
  return list;
}

bool HasFootnotes(const OmCellText& text) {
  return text.HasMetaData() && !text.Footnotes().empty();
}

Json PlacedList(const PuppetVector<short>& list) {
  Json out = Json::array();
  for (short d : list.Placed())
    out.push_back(d);
  return out;
}

// ---- cells, written by hand: a table may hold millions --------------------------------------------------

void Escaped(std::string& out, std::string_view text) {
  omf::platform::AppendQuoted(out, text, omf::platform::ControlEscape::kJson);
}

template <class T> void Number(std::string& out, T value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void Value(std::string& out, double value) {
  if (value == kSysmis || !std::isfinite(value))
    out += "null";
  else
    Number(out, value);
}

struct CellEntry {
  std::uint64_t ordinal;
  std::size_t entry;
};

// The stored cells of a table with their subscripts (one per dimension), in lexicographic order of the
// subscripts.
class SortedCells {
public:
  explicit SortedCells(const OmPivotTable& table) : _width(static_cast<std::size_t>(table.NDimensions())) {
    std::vector<long long> radix(_width, 1);
    bool natural = true; // every subscript at least 0
    for (auto it = table.FirstCell(); it; ++it) {
      const std::vector<int> at = it.At();
      for (std::size_t d = 0; d < _width; ++d) {
        const int s = d < at.size() ? at[d] : 0;
        _keys.push_back(s);
        natural = natural && s >= 0;
        if (s >= radix[d]) radix[d] = static_cast<long long>(s) + 1;
      }
      _cells.push_back(it.Cell());
    }
    _order.resize(_cells.size());
    std::iota(_order.begin(), _order.end(), 0);
    // Mixed-radix ordinals sort like the subscripts when they fit in 64 bits; else compare the keys.
    long double span = 1;
    for (long long r : radix)
      span *= static_cast<long double>(r);
    if (natural && span < 1.8e19L) {
      std::vector<CellEntry> entries(_cells.size());
      for (std::size_t e = 0; e < _cells.size(); ++e) {
        std::uint64_t ordinal = 0;
        for (std::size_t d = 0; d < _width; ++d)
          ordinal = ordinal * static_cast<std::uint64_t>(radix[d]) +
                    static_cast<std::uint64_t>(_keys[e * _width + d]);
        entries[e] = CellEntry{ordinal, e};
      }
      std::sort(entries.begin(), entries.end(),
                [](const CellEntry& a, const CellEntry& b) { return a.ordinal < b.ordinal; });
      for (std::size_t i = 0; i < entries.size(); ++i)
        _order[i] = entries[i].entry;
    } else {
      std::sort(_order.begin(), _order.end(), [this](std::size_t a, std::size_t b) {
        return std::lexicographical_compare(Key(a), Key(a) + _width, Key(b), Key(b) + _width);
      });
    }
  }

  std::size_t Size() const { return _order.size(); }
  const int* KeyAt(std::size_t i) const { return Key(_order[i]); }
  const OmCellText& CellAt(std::size_t i) const { return *_cells[_order[i]]; }
  std::size_t Width() const { return _width; }

private:
  const int* Key(std::size_t entry) const { return _keys.data() + entry * _width; }
  std::size_t _width;
  std::vector<int> _keys;
  std::vector<const OmCellText*> _cells;
  std::vector<std::size_t> _order;
};

void WriteCell(std::string& out, const int* at, std::size_t width, const OmCellText& cell,
               std::string_view codePage) {
  out += "{\"at\":[";
  for (std::size_t d = 0; d < width; ++d) {
    if (d != 0) out += ',';
    Number(out, at[d]);
  }
  out += "],\"kind\":\"";
  out += KindName(cell);
  out += "\",\"text\":";
  Escaped(out, DisplayText(cell, codePage));
  if (cell.OrderCode() == OmCellText::kOrderNumber) {
    const auto& number = static_cast<const OmNumber&>(cell);
    out += ",\"value\":";
    Value(out, number.Value());
    out += ",\"format\":[";
    Number(out, FormatWidth(number.Format()));
    out += ',';
    Number(out, FormatType(number.Format()));
    out += ',';
    Number(out, FormatDecimals(number.Format()));
    out += ']';
  }
  if (cell.HasMetaData() && !cell.Footnotes().empty()) {
    out += ",\"footnotes\":[";
    for (std::size_t i = 0; i < cell.Footnotes().size(); ++i) {
      if (i != 0) out += ',';
      Number(out, cell.Footnotes()[i]);
    }
    out += ']';
  }
  if (cell.HasMetaData() && !cell.Markers().empty()) {
    out += ",\"markers\":[";
    for (std::size_t i = 0; i < cell.Markers().size(); ++i) {
      if (i != 0) out += ',';
      Escaped(out, omf::platform::ToUtf8(cell.Markers()[i], codePage));
    }
    out += ']';
  }
  out += '}';
}

// ---- parts ----------------------------------------------------------------------------------------------

// Writes one part as one line (a table's cells one a line); runs once per node, in tree order.
class PartWriter final : public OmOutputPart::Visitor {
public:
  PartWriter(std::ostream& out, const OmOutputPart& part, int level, std::string_view codePage)
      : _out(out), _codePage(codePage) {
    _json["level"] = level;
    _json["type"] = nullptr; // keeps its place in the key order; every Visit sets it
    _json["title"] = Text(part.Title());
    _json["visible"] = part.IsVisible();
  }

  void Visit(OmProcedure& procedure) override {
    _json["type"] = "procedure";
    _json["command"] = Utf8(procedure.Command());
    _json["name"] = Utf8(procedure.Name());
    _json["outline"] = procedure.OutlineText() ? Json(Text(*procedure.OutlineText())) : Json(nullptr);
    _json["language"] = procedure.Language();
    _json["codepage"] = procedure.CodePage();
    _json["locale"] = procedure.Locale();
    _json["display"] = Json{{"outlineVariables", static_cast<int>(procedure.OutlineVarMode())},
                            {"outlineValues", static_cast<int>(procedure.OutlineValueMode())},
                            {"tableVariables", static_cast<int>(procedure.TableVarMode())},
                            {"tableValues", static_cast<int>(procedure.TableValueMode())}};
    Finish();
  }

  void Visit(OmHeading& heading) override {
    _json["type"] = "heading";
    Json& footnotes = _json["footnotes"] = Json::array();
    for (const OmFootnote& f : heading.Footnotes())
      footnotes.push_back(f.text ? Text(*f.text) : std::string());
    Finish();
  }

  void Visit(OmTextBlock& block) override {
    _json["type"] = "text";
    _json["lines"] = Lines(block.Lines());
    _json["log"] = block.IsLog();
    Finish();
  }

  void Visit(OmPageTitle& title) override {
    _json["type"] = "pagetitle";
    _json["lines"] = Lines(title.Lines());
    Finish();
  }

  void Visit(OmChart& chart) override { Content("chart", chart); }
  void Visit(OmModel& model) override { Content("model", model); }
  void Visit(OmAnswerTree& tree) override { Content("answertree", tree); }

  void Visit(OmPivotTable& table) override {
    _json["type"] = "table";
    _json["subtype"] = Text(table.Subtype());
    _json["tableTitle"] = Text(table.TableTitle());
    _json["caption"] = table.Caption() ? Json(Text(*table.Caption())) : Json(nullptr);
    _json["corner"] = table.CornerText() ? Json(Text(*table.CornerText())) : Json(nullptr);
    _json["id"] = table.TableId();
    _json["locale"] = table.TableLocale();
    _json["template"] = Text(table.TemplateName());
    Json placement;
    placement["rows"] = PlacedList(table.Rows());
    placement["columns"] = PlacedList(table.Columns());
    placement["layers"] = PlacedList(table.Layers());

    Json tail;
    Json& footnotes = tail["footnotes"] = Json::array();
    for (const OmFootnote& f : table.Footnotes())
      footnotes.push_back(Json{{"text", f.text ? Text(*f.text) : std::string()},
                               {"marker", f.marker ? Json(Text(*f.marker)) : Json(nullptr)}});
    tail["titleFootnotes"] = FootnoteList(table.TableTitle());

    // The head without its closing brace, the dimensions, their placement without its braces, the
    // cells, then the tail without its opening brace.
    std::string head = Dump(_json);
    head.pop_back();
    _out << head << ",\"dimensions\":[";
    for (int d = 0; d < table.NDimensions(); ++d) {
      const OmDimension& dim = table.Dimension(d);
      std::string entry = d == 0 ? "{\"label\":" : ",{\"label\":";
      Escaped(entry, Text(dim.Label()));
      entry += ",\"categories\":";
      _out << entry;
      Categories(dim.Root());
      entry.clear();
      Footnotes(entry, dim.Label());
      _out << entry << '}';
    }
    const std::string places = Dump(placement);
    _out << "]," << std::string_view(places).substr(1, places.size() - 2) << ",\"cells\":[";
    const SortedCells cells(table);
    std::string line;
    for (std::size_t i = 0; i < cells.Size(); ++i) {
      line.assign(i == 0 ? "\n" : ",\n");
      WriteCell(line, cells.KeyAt(i), cells.Width(), cells.CellAt(i), _codePage);
      _out << line;
    }
    _out << (cells.Size() == 0 ? "]," : "\n],") << Dump(tail).substr(1);
    _written = true;
  }

  // Writes the common keys of a part that no Visit handled (its type stays null).
  void Close() {
    if (!_written) Finish();
  }

private:
  std::string Utf8(const std::string& text) const { return omf::platform::ToUtf8(text, _codePage); }
  std::string Text(const OmCellText& text) const { return DisplayText(text, _codePage); }

  Json Lines(const std::vector<std::string>& lines) const {
    Json out = Json::array();
    for (const std::string& line : lines)
      out.push_back(Utf8(line));
    return out;
  }

  // Writes the children of a dimension's root as a JSON array, groups holding theirs. Groups nest as
  // deep as the stream made them, so the walk keeps its own stack instead of recursing.
  void Categories(const OmDimensionNode& root) {
    std::vector<std::pair<const OmDimensionNode*, std::size_t>> stack{{&root, 0}}; // node, next child
    std::string out = "[";
    while (!stack.empty()) {
      const auto [node, next] = stack.back();
      if (next == node->ChildCount()) {
        out += ']';
        stack.pop_back();
        if (node != &root) {
          Footnotes(out, node->Label());
          out += '}';
        }
      } else {
        ++stack.back().second;
        const OmDimensionNode& child = node->Child(next);
        if (next != 0) out += ',';
        out += "{\"label\":";
        Escaped(out, Text(child.Label()));
        if (child.IsGroup()) {
          out += ",\"group\":true,\"children\":[";
          stack.emplace_back(&child, 0);
        } else {
          out += ",\"index\":";
          Number(out, child.Subscript());
          Footnotes(out, child.Label());
          out += '}';
        }
      }
      if (out.size() >= 4096) {
        _out << out;
        out.clear();
      }
    }
    _out << out;
  }

  // The footnotes key of a label that carries footnotes.
  static void Footnotes(std::string& out, const OmCellText& label) {
    if (!HasFootnotes(label)) return;
    out += ",\"footnotes\":[";
    for (std::size_t i = 0; i < label.Footnotes().size(); ++i) {
      if (i != 0) out += ',';
      Number(out, label.Footnotes()[i]);
    }
    out += ']';
  }

  void Content(const char* type, const OmContentPart& part) {
    _json["type"] = type;
    Json& content = _json["content"] = Json::object();
    for (const auto& [slot, bytes] : part.Content())
      content[std::to_string(slot)] = bytes.size();
    Finish();
  }

  void Finish() {
    _out << Dump(_json);
    _written = true;
  }

  std::ostream& _out;
  std::string_view _codePage;
  Json _json;
  bool _written = false;
};

} // namespace

void JsonRenderer::Render(const OmOutputTree& tree, std::ostream& out) const {
  out << "{\"omf\":1,\"parts\":[";
  bool first = true;
  CodePages pages(tree);
  for (std::size_t node = 1; node < tree.Count(); ++node) {
    OmOutputPart* part = tree.Part(node);
    if (part == nullptr) continue;
    out << (first ? "\n" : ",\n");
    first = false;
    PartWriter writer(out, *part, tree.Level(node), pages.Of(node));
    part->Accept(writer);
    writer.Close();
  }
  out << (first ? "]}\n" : "\n]}\n");
}

std::string JsonRenderer::Render(const OmOutputTree& tree) const {
  std::ostringstream out;
  Render(tree, out);
  return out.str();
}

} // namespace omf::render
