#include <omf/render/HtmlRenderer.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <omf/model/CellText.h>
#include <omf/model/OutputTree.h>
#include <omf/model/PivotTable.h>
#include <omf/platform/strings/PlatformStrings.h>
#include <omf/render/CellDisplay.h>
#include <omf/render/FootnoteMarks.h>
#include <omf/render/HtmlPage.h>
#include <omf/render/Limits.h>
#include <omf/render/OutBuffer.h>
#include <omf/render/RenderWalk.h>
#include <omf/render/TableLayout.h>

namespace omf {

namespace render {

namespace {

// The words the page's script shows, handed to it in the reader's language.
// Their keys are phrases that no back end sends, so that the string tables do not translate a table's
// own labels ("Rows", "Columns") through them.
constexpr const char* kScriptWords[] = {"Layer:",    "Pivot this table",      "In rows",        "In columns",
                                        "In layers", "Swap rows and columns", "Reset the table"};

void AppendEscaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    default:
      out += c;
    }
  }
}

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscaped(out, text);
  return out;
}

std::string Marks(const std::vector<std::string>& marks) {
  std::string out;
  for (std::size_t i = 0; i < marks.size(); ++i) {
    if (i != 0) out += ',';
    out += marks[i];
  }
  return out;
}

void AppendSup(std::string& out, const std::vector<std::string>& marks) {
  if (marks.empty()) return;
  out += "<sup>";
  AppendEscaped(out, Marks(marks));
  out += "</sup>";
}

// A text where it stands in a line: its markers straight after it, its footnote marks raised.
std::string Html(const ShownText& shown) {
  std::string out = Escape(shown.text);
  AppendEscaped(out, shown.markers);
  AppendSup(out, shown.marks);
  return out;
}

// A number in a cell: its markers and marks stand apart in the cell's right padding, so that the
// numbers of a column line up on their decimals whatever marks they carry.
std::string NumberHtml(const ShownText& shown) {
  std::string out = Escape(shown.text);
  if (shown.markers.empty() && shown.marks.empty()) return out;
  out += "<span class=\"fn\">";
  AppendEscaped(out, shown.markers);
  AppendSup(out, shown.marks);
  out += "</span>";
  return out;
}

// A JSON string; '<' and '>' are escaped too, so that no text can close the script element holding it.
void AppendJson(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || c == '<' || c == '>' || c == '&') {
      out += "\\u00";
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  out += '"';
}

// A label in a table's data: its text with its markers, or [text, marks] when it carries marks.
void AppendJsonLabel(std::string& out, const ShownText& shown) {
  if (shown.marks.empty()) {
    AppendJson(out, shown.text + shown.markers);
    return;
  }
  out += '[';
  AppendJson(out, shown.text + shown.markers);
  out += ',';
  AppendJson(out, Marks(shown.marks));
  out += ']';
}

void Footnotes(const FootnoteMarks& marks, std::ostream& out) {
  for (const FootnoteMarks::Listed& f : marks.Listing())
    out << "<p class=\"footnote\"><sup>" << Escape(f.mark) << "</sup> " << Escape(f.text) << "</p>\n";
}

// Counts what a grid would write without writing it.
struct ByteCounter {
  std::size_t bytes = 0;
  ByteCounter& operator<<(std::string_view s) {
    bytes = SaturatingAdd(bytes, s.size());
    return *this;
  }
  template <std::size_t N> ByteCounter& operator<<(const char (&s)[N]) {
    return *this << std::string_view(s, N - 1);
  }
  ByteCounter& operator<<(char) {
    bytes = SaturatingAdd(bytes, 1);
    return *this;
  }
  ByteCounter& operator<<(int n) {
    std::size_t digits = n < 0 ? 2 : 1;
    for (long long m = n < 0 ? -static_cast<long long>(n) : n; m >= 10; m /= 10)
      ++digits;
    bytes = SaturatingAdd(bytes, digits);
    return *this;
  }
};

// A grid as a <table>: the caption holds the title and the layer's categories, the column labels stand
// in <thead> and the caption line and footnotes in <tfoot>. The page's script draws a pivoted table the
// same way, to the byte.
class HtmlGrid {
public:
  // Writes the header rows and the first `drawnRows` rows below them.
  HtmlGrid(const TableGrid& grid, const std::string& caption, const std::string& foot, bool on, int drawnRows)
      : _grid(grid), _caption(caption), _foot(foot), _on(on), _drawnRows(drawnRows) {
    _texts.reserve(grid.texts.size());
    for (const ShownText& t : grid.texts)
      _texts.push_back(Html(t));
    ByteCounter counter;
    Draw(counter, grid.rows - grid.headerRows);
    _bytes = counter.bytes;
  }

  // What the whole grid would write, all its rows drawn.
  std::size_t Bytes() const { return _bytes; }

  void Draw(std::ostream& out) const {
    OutBuffer buffer(out);
    Draw(buffer, _drawnRows);
    buffer.Flush();
  }

private:
  template <class Out> void Draw(Out& out, int drawnRows) const {
    const TableGrid& grid = _grid;
    const int rows = grid.headerRows + drawnRows;
    out << (_on ? "<table class=\"layer on\"" : "<table class=\"layer\"");
    if (rows < grid.rows) out << " data-drawn=\"" << drawnRows << '"';
    out << ">\n<caption>" << std::string_view(_caption) << "</caption>\n";
    // The label block last found in each label column: one spanning rows below stands for them there.
    std::vector<GridBlock> labels(static_cast<std::size_t>(std::max(grid.headerColumns, 0)),
                                  GridBlock{GridBlock::kRowLabel, 0, 0, 0, 0, 0});
    for (int r = 0; r < rows; ++r) {
      if (r == 0 && grid.headerRows > 0) out << "<thead>\n";
      if (r == grid.headerRows) out << "<tbody>\n";
      out << "<tr>";
      for (int c = 0; c < grid.columns; ++c) {
        if (grid.IsCell(r, c)) {
          Cell(r, c, out);
          continue;
        }
        GridBlock block;
        if (r < grid.headerRows) {
          block = grid.Covering(r, c);
        } else {
          GridBlock& last = labels[static_cast<std::size_t>(c)];
          if (last.row + last.rowSpan <= r) last = grid.Covering(r, c);
          block = last;
        }
        if (block.row != r || block.column != c) continue;
        Block(block, out);
      }
      out << "</tr>\n";
      if (r + 1 == grid.headerRows) out << "</thead>\n";
    }
    if (grid.rows > grid.headerRows) out << (drawnRows == 0 ? "<tbody>\n</tbody>\n" : "</tbody>\n");
    if (!_foot.empty())
      out << "<tfoot>\n<tr><td colspan=\"" << grid.columns << "\">" << std::string_view(_foot)
          << "</td></tr>\n</tfoot>\n";
    out << "</table>\n";
  }

  template <class Out> void Spans(const GridBlock& block, Out& out) const {
    if (block.rowSpan > 1) out << " rowspan=\"" << block.rowSpan << '"';
    if (block.columnSpan > 1) out << " colspan=\"" << block.columnSpan << '"';
  }

  template <class Out> void Cell(int r, int c, Out& out) const {
    const OmCellText* cell = _grid.Cell(r, c, _scratch);
    if (cell == nullptr) {
      out << "<td></td>";
      return;
    }
    const std::size_t length = _grid.layout->PlainNumber(*cell, _number);
    if (length != std::string_view::npos) {
      out << "<td class=\"num\">" << std::string_view(_number.data(), length) << "</td>";
      return;
    }
    Cell(_grid.layout->Marks().Show(*cell), out);
  }

  template <class Out> void Cell(const ShownText& shown, Out& out) const {
    if (shown.numeric)
      out << "<td class=\"num\">" << std::string_view(NumberHtml(shown)) << "</td>";
    else
      out << "<td>" << std::string_view(Html(shown)) << "</td>";
  }

  template <class Out> void Block(const GridBlock& block, Out& out) const {
    if (block.kind == GridBlock::kCorner || block.text == 0) {
      out << (block.kind == GridBlock::kCorner ? "<td class=\"corner\"" : "<td class=\"blank\"");
      Spans(block, out);
      out << '>' << std::string_view(_texts[block.text]) << "</td>";
      return;
    }
    switch (block.kind) {
    case GridBlock::kRowLabel:
      out << (block.rowSpan > 1 ? "<th scope=\"rowgroup\"" : "<th scope=\"row\"");
      break;
    case GridBlock::kStubHead:
      out << "<th scope=\"col\" class=\"stub\"";
      break;
    default:
      out << (block.columnSpan > 1 ? "<th scope=\"colgroup\"" : "<th scope=\"col\"");
      if (block.kind == GridBlock::kDimensionLabel) out << " class=\"dim\"";
    }
    Spans(block, out);
    out << '>' << std::string_view(_texts[block.text]) << "</th>";
  }

  const TableGrid& _grid;
  const std::string& _caption;
  const std::string& _foot;
  bool _on;
  int _drawnRows;
  mutable OmNumber _scratch{0.0, 0}; // the cells are read from the table as they are drawn
  mutable NumberText _number;        // the text of the plain number being drawn
  std::vector<std::string> _texts;   // per grid text
  std::size_t _bytes = 0;
};

// A table's data is gathered in pieces of about this many bytes, so that the data of a big table grows
// without copying what it holds or reserving twice its size.
constexpr std::size_t kDataPieceBytes = std::size_t{1} << 20;

// The table's data for the page's script: dimensions and cell texts in ordinal order, in pieces to be
// written one after the other. Empty when it would take more than `budget` bytes; the table then cannot
// be pivoted or change layers in the page.
std::vector<std::string> TableData(const OmPivotTable& table, const TableLayout& layout, std::size_t budget) {
  const FootnoteMarks& marks = layout.Marks();
  const int n = table.NDimensions();
  std::string out = "{\"d\":[";
  // Per dimension: the subscript of each category in display order, and the count of its places.
  std::vector<std::vector<int>> subscripts(static_cast<std::size_t>(n));
  std::vector<std::size_t> counts(static_cast<std::size_t>(n), 1);
  for (int d = 0; d < n; ++d) {
    const OmDimensionNode& root = table.Dimension(d).Root();
    if (d != 0) out += ',';
    out += "{\"l\":";
    AppendJsonLabel(out, marks.Show(root.Label()));
    out += TableLayout::ShowsLabel(table, d) ? ",\"s\":1" : ",\"s\":0";
    out += root.Mark() && root.SecondFlag() ? ",\"h\":1,\"c\":[" : ",\"h\":0,\"c\":[";
    // Groups as {"g": label, "c": [children]}, categories as labels; depth first with a stack of its own.
    std::vector<std::pair<const OmDimensionNode*, std::size_t>> stack{{&root, 0}};
    std::size_t categories = 0;
    auto& list = subscripts[static_cast<std::size_t>(d)];
    while (!stack.empty()) {
      auto& [node, next] = stack.back();
      if (next == node->ChildCount()) {
        stack.pop_back();
        out += "]}";
        continue;
      }
      const OmDimensionNode& child = node->Child(next);
      if (next++ != 0) out += ',';
      if (child.IsGroup()) {
        out += "{\"g\":";
        AppendJsonLabel(out, marks.Show(child.Label()));
        out += ",\"c\":[";
        stack.emplace_back(&child, 0);
        continue;
      }
      AppendJsonLabel(out, marks.Show(child.Label()));
      subscripts[static_cast<std::size_t>(d)].push_back(child.Subscript());
      ++categories;
      if (out.size() > budget) return {};
    }
    if (categories == 0) list.push_back(0); // the stand-in place of a dimension without categories
    counts[static_cast<std::size_t>(d)] = std::max<std::size_t>(categories, 1);
  }
  const TableLayout::Placement placed = layout.Placed();
  const auto axis = [&out](const char* name, const std::vector<int>& dims) {
    out += name;
    for (std::size_t i = 0; i < dims.size(); ++i) {
      if (i != 0) out += ',';
      out += std::to_string(dims[i]);
    }
    out += ']';
  };
  out += ']';
  axis(",\"r\":[", placed.rows);
  axis(",\"c\":[", placed.columns);
  axis(",\"y\":[", placed.layers);
  out += ",\"k\":";
  if (table.CornerText() != nullptr)
    AppendJsonLabel(out, marks.Show(*table.CornerText()));
  else
    out += "null";

  // The cells by ordinal: the places are bounded by the layout, which has laid this table out.
  std::size_t places = 1;
  for (std::size_t c : counts)
    places = SaturatingMul(places, c);
  if (places > kMaxGridPlaces) return {};
  // Each place's cell is read from the table as its text is written: the categories of the place, the
  // last dimension varying fastest, give the subscripts; a category without a subscript shows none.
  std::vector<std::size_t> category(static_cast<std::size_t>(n), 0);
  std::vector<int> at(static_cast<std::size_t>(n), 0);
  OmNumber scratch(0.0, 0);
  NumberText number;
  const auto cellAt = [&]() -> const OmCellText* {
    for (std::size_t d = 0; d < at.size(); ++d) {
      at[d] = subscripts[d][category[d]];
      if (at[d] < 0) return nullptr;
    }
    return table.Peek(at, scratch);
  };
  const auto advance = [&]() {
    for (std::size_t d = category.size(); d-- > 0;) {
      if (++category[d] < counts[d]) return;
      category[d] = 0;
    }
  };
  std::string numeric(places, '0'), footnotes;
  std::vector<std::string> pieces;
  std::size_t done = 0; // the bytes of the pieces before `out`
  out += ",\"v\":[";
  for (std::size_t p = 0; p < places; ++p) {
    if (out.size() >= kDataPieceBytes) {
      done += out.size();
      pieces.push_back(std::move(out));
      out = std::string();
      out.reserve(kDataPieceBytes + kDataPieceBytes / 8);
    }
    if (p != 0) out += ',';
    const OmCellText* cell = cellAt();
    advance();
    if (cell == nullptr) {
      out += "\"\"";
      continue;
    }
    if (const std::size_t length = layout.PlainNumber(*cell, number); length != std::string_view::npos) {
      out += '"';
      out.append(number.data(), length);
      out += '"';
      numeric[p] = '1';
      if (done + out.size() + footnotes.size() + places > budget) return {};
      continue;
    }
    const ShownText shown = marks.Show(*cell);
    AppendJson(out, shown.text);
    if (shown.numeric) numeric[p] = '1';
    if (!shown.markers.empty() || !shown.marks.empty()) {
      footnotes += footnotes.empty() ? "\"" : ",\"";
      footnotes += std::to_string(p) + "\":[";
      AppendJson(footnotes, shown.markers);
      footnotes += ',';
      AppendJson(footnotes, Marks(shown.marks));
      footnotes += ']';
    }
    if (done + out.size() + footnotes.size() + places > budget) return {};
  }
  out += "],\"n\":\"";
  pieces.push_back(std::move(out));
  pieces.push_back(std::move(numeric));
  pieces.push_back("\",\"f\":{" + footnotes + "}}");
  return pieces;
}

// Writes the page: the outline pane, then every part in the content pane, hidden ones marked.
class HtmlEmitter final : public Emitter {
public:
  HtmlEmitter(std::ostream& out, const Words& words) : _out(out), _words(words) {}

  std::vector<std::string> TakeOmitted() { return std::move(_omitted); }

  void OutlineEntry(const OmOutputPart& part, int level, std::string_view codePage) override {
    if (_title.empty() && dynamic_cast<const OmProcedure*>(&part) != nullptr)
      _title = DisplayText(part.Title(), codePage);
    // Lists nest down to the deepest indented level, like the text outline's lines; deeper entries stay
    // at that level and name their own, so that the page stays in proportion to the tree.
    std::string title = DisplayText(part.Title(), codePage);
    if (level > kMaxOutlineIndentLevel) title = "(level " + std::to_string(level) + ") " + title;
    _entries.push_back(Entry{std::move(title), std::min(level, kMaxOutlineIndentLevel), part.IsVisible()});
  }

  void EndOutline() override {
    // The string tables give the page's language code; without one the page's own words are English.
    std::string lang = Word(_words, "Language code");
    if (lang == "Language code") lang = "en";
    _out << "<!DOCTYPE html>\n<html lang=\"" << Escape(lang) << "\">\n<head>\n"
         << "<meta charset=\"utf-8\">\n<meta name=\"viewport\" content=\"width=device-width, "
            "initial-scale=1\">\n"
         << "<title>" << Escape(_title.empty() ? Word(_words, "Output") : _title) << "</title>\n<style>"
         << kHtmlStyle << "</style>\n</head>\n<body>\n";
    const std::string outline = Escape(Word(_words, "Outline"));
    _out << "<nav class=\"outline\" aria-label=\"" << outline << "\">\n<p class=\"outline-head\">" << outline
         << "</p>\n<label class=\"switch\"><input type=\"checkbox\" id=\"show-hidden\"> "
         << Escape(Word(_words, "Show hidden parts")) << "</label>\n";
    Tree();
    _out << "</nav>\n<main>\n";
    _entries.clear();
    _entries.shrink_to_fit();
  }

  void EndDocument() override {
    _out << "</main>\n<script type=\"application/json\" id=\"omf-page\">{\"first\":" << kMaxFirstDrawnPlaces
         << ",\"words\":{";
    std::string words;
    for (const char* word : kScriptWords) {
      if (!words.empty()) words += ',';
      AppendJson(words, word);
      words += ':';
      AppendJson(words, Word(_words, word));
    }
    _out << words << "}}</script>\n<script>" << kHtmlScript << "</script>\n</body>\n</html>\n";
  }

  void BeginPart(const OmOutputPart& part, const Place& at) override {
    static constexpr const char* kKinds[] = {"procedure", "heading", "text", "page-title",
                                             "chart",     "model",   "tree", "table"};
    _out << "<div class=\"part " << kKinds[static_cast<int>(at.kind)] << (part.IsVisible() ? "" : " hidden")
         << "\" id=\"p" << ++_parts << "\">\n";
  }

  void EndPart(const OmOutputPart&, const Place& at) override {
    _out << "</div>\n";
    if (at.kind != PartKind::kProcedure) _procedureTitle.reset();
  }

  void Procedure(const OmProcedure& procedure, const Place& at) override {
    Heading(procedure, at);
    _procedureTitle = std::make_pair(DisplayText(procedure.Title(), at.codePage), at.level);
  }

  void Heading(const OmHeading& heading, const Place& at) override {
    // Heading levels follow the tree but never skip one: a heading is one level below the nearest
    // heading above it in the tree.
    while (!_headings.empty() && _headings.back() >= at.level)
      _headings.pop_back();
    const int h = std::min(static_cast<int>(_headings.size()) + 1, 6);
    _headings.push_back(at.level);
    const FootnoteMarks marks = FootnoteMarks::ForHeading(heading, at.codePage);
    _out << "<h" << h << '>' << Html(marks.Show(heading.Title())) << "</h" << h << ">\n";
    Footnotes(marks, _out);
  }

  void TextBlock(const OmTextBlock& block, const Place& at) override {
    // A procedure's first part is its title, which its heading already shows.
    if (_procedureTitle && at.level == _procedureTitle->second + 1 && block.Lines().size() == 1 &&
        omf::platform::ToUtf8(block.Lines()[0], at.codePage) == _procedureTitle->first)
      return;
    if (block.Lines().empty()) {
      _out << "<p>" << Escape(DisplayText(block.Title(), at.codePage)) << "</p>\n";
      return;
    }
    _out << (block.IsLog() ? "<pre class=\"log\">" : "<pre>");
    for (const std::string& line : block.Lines())
      _out << Escape(omf::platform::ToUtf8(line, at.codePage)) << '\n';
    _out << "</pre>\n";
  }

  void PageTitle(const OmPageTitle& title, const Place& at) override {
    for (const std::string& line : title.Lines())
      _out << "<p class=\"page-title\">" << Escape(omf::platform::ToUtf8(line, at.codePage)) << "</p>\n";
  }

  // The page cannot draw a chart, a model or an answer tree from the back end's content; it names them.
  void Content(const OmContentPart& part, const Place& at) override {
    _out << "<figure class=\"chart\"><figcaption>" << Escape(Word(_words, ContentLabel(at.kind))) << ' '
         << Escape(DisplayText(part.Title(), at.codePage)) << "</figcaption></figure>\n";
  }

  void Table(const OmPivotTable& table, const Place& at) override {
    const TableLayout layout(table, at.codePage);
    const ShownText title = layout.Title();
    _out << "<div class=\"omf-table\">\n";
    if (!layout.TooLarge().empty()) {
      _out << "<p class=\"page-title\">" << Html(title) << "</p>\n";
      Omit(Omitted(PlainTitle(title), 0, 0, layout.TooLarge()));
    }
    std::string foot;
    if (const auto caption = layout.Caption()) foot += "<p class=\"caption\">" + Html(*caption) + "</p>";
    for (const FootnoteMarks::Listed& f : layout.Marks().Listing())
      foot += "<p class=\"footnote\"><sup>" + Escape(f.mark) + "</sup> " + Escape(f.text) + "</p>";
    const std::string titleHtml = "<span class=\"title\">" + Html(title) + "</span>";
    const std::vector<ShownText> names = layout.LayerNames();
    const std::string layerWord = Escape(Word(_words, "Layer:"));
    if (layout.LayerCount() > 0) {
      // The data first: a table whose data is too large to write is drawn whole, since the page could
      // not draw the rows it leaves out.
      const std::vector<std::string> data = TableData(table, layout, kMaxTableBytes);
      std::size_t budget = kMaxTableBytes, room = data.empty() ? kSaturated : kMaxFirstDrawnPlaces;
      _out << "<div class=\"layers\">";
      for (std::size_t layer = 0; layer < layout.LayerCount(); ++layer) {
        std::string caption = titleHtml;
        const std::vector<ShownText> categories = layout.LayerLabels(layer);
        for (std::size_t j = 0; j < categories.size(); ++j)
          caption += "<span class=\"layer-name\">" +
                     (names[j].text.empty() ? layerWord : Html(names[j]) + ':') + ' ' + Html(categories[j]) +
                     "</span>";
        const TableGrid grid = layout.Grid(layer);
        // The rows drawn at first, reckoned as the script does: as many as the room left allows, at
        // least one while there is room.
        const auto columns = static_cast<std::size_t>(std::max(grid.columns, 1));
        const auto body = static_cast<std::size_t>(grid.rows - grid.headerRows);
        const std::size_t rows = room == 0 ? 0 : std::min(body, std::max<std::size_t>(room / columns, 1));
        if (room != kSaturated) room -= std::min(room, rows * columns);
        const HtmlGrid html(grid, caption, foot, layer == 0, static_cast<int>(rows));
        if (html.Bytes() > budget) {
          _out << "</div>\n";
          Omit(Omitted(PlainTitle(title), layer, layout.LayerCount(), TableLayout::TooManyBytes()));
          break;
        }
        budget -= html.Bytes();
        html.Draw(_out);
        if (layer + 1 == layout.LayerCount()) _out << "</div>\n";
      }
      if (!data.empty()) {
        _out << "<script type=\"application/json\" class=\"omf-data\">";
        for (const std::string& piece : data)
          _out << piece;
        _out << "</script>\n";
      }
    }
    _out << "</div>\n";
  }

private:
  struct Entry {
    std::string title;
    int level;
    bool visible;
  };

  static std::string PlainTitle(const ShownText& title) {
    std::string out = title.text + title.markers;
    for (char& c : out)
      if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return out;
  }

  // The outline as nested lists of links; an entry with entries below it has a button that collapses
  // them. Entry n links to part n of the content pane.
  void Tree() {
    _out << "<ul class=\"tree\">\n";
    std::vector<int> open; // the levels of the entries whose lists are open
    for (std::size_t i = 0; i < _entries.size(); ++i) {
      const Entry& e = _entries[i];
      while (!open.empty() && open.back() >= e.level) {
        open.pop_back();
        _out << "</ul></li>\n";
      }
      const bool parent = i + 1 < _entries.size() && _entries[i + 1].level > e.level;
      const char* cls = parent ? (e.visible ? "" : " class=\"hidden\"")
                               : (e.visible ? " class=\"leaf\"" : " class=\"leaf hidden\"");
      _out << "<li" << cls << '>';
      if (parent)
        _out << "<button type=\"button\" class=\"tw\" aria-expanded=\"true\" aria-label=\""
             << Escape(Word(_words, "Collapse or expand")) << "\"></button>";
      _out << "<a href=\"#p" << i + 1 << "\">" << Escape(e.title) << "</a>";
      if (!e.visible) _out << "<span class=\"tag\">" << Escape(Word(_words, "hidden part")) << "</span>";
      if (parent) {
        _out << "\n<ul>\n";
        open.push_back(e.level);
      } else {
        _out << "</li>\n";
      }
    }
    for (; !open.empty(); open.pop_back())
      _out << "</ul></li>\n";
    _out << "</ul>\n";
  }

  // A notice in place of grids not shown, and the line that tells the caller.
  void Omit(const Omission& omission) {
    _out << "<p class=\"notice\">" << Escape(omission.notice) << "</p>\n";
    _omitted.push_back(omission.line);
  }

  std::ostream& _out;
  const Words& _words;
  std::vector<Entry> _entries;
  std::string _title;
  std::size_t _parts = 0;
  std::vector<int> _headings; // the tree levels of the headings above the current part
  // The title and level of the procedure just begun, until its first part.
  std::optional<std::pair<std::string, int>> _procedureTitle;
  std::vector<std::string> _omitted;
};

} // namespace

std::vector<std::string> HtmlRenderer::Render(const OmOutputTree& tree, std::ostream& out) const {
  HtmlEmitter emitter(out, _words);
  RenderWalk(tree, emitter, Parts::kAll);
  return emitter.TakeOmitted();
}

std::string HtmlRenderer::Render(const OmOutputTree& tree) const {
  std::ostringstream out;
  Render(tree, out);
  return out.str();
}

} // namespace render

} // namespace omf
