#include <omf/render/HtmlRenderer.h>

#include <cassert>
#include <sstream>
#include <string>
#include <vector>

#include <omf/model/OutputTree.h>
#include <omf/model/PivotTable.h>
#include <omf/platform/strings/PlatformStrings.h>
#include <omf/render/CellDisplay.h>
#include <omf/render/FootnoteMarks.h>
#include <omf/render/Limits.h>
#include <omf/render/RenderWalk.h>
#include <omf/render/TableLayout.h>
#include <omf/render/TextGrid.h>

namespace omf {

namespace render {

namespace {

constexpr const char* kStyle = "body{font-family:sans-serif;margin:2em}"
                               ".outline div{white-space:pre}"
                               "table{border-collapse:collapse;margin:.5em 0}"
                               "th,td{border:1px solid #999;padding:2px 6px;vertical-align:top}"
                               "th{background:#eee;font-weight:normal}"
                               "td.num{text-align:right}"
                               ".title{font-weight:bold;margin-top:1em}"
                               ".hidden{color:#999}"
                               "pre{margin:.2em 0}";

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
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
  return out;
}

std::string Html(const ShownText& shown) {
  std::string out = Escape(shown.text) + Escape(shown.markers);
  if (!shown.marks.empty()) {
    out += "<sup>";
    for (std::size_t i = 0; i < shown.marks.size(); ++i) {
      if (i != 0) out += ',';
      out += Escape(shown.marks[i]);
    }
    out += "</sup>";
  }
  return out;
}

void Footnotes(const FootnoteMarks& marks, std::ostream& out) {
  for (const FootnoteMarks::Listed& f : marks.Listing())
    out << "<p class=\"footnote\"><sup>" << Escape(f.mark) << "</sup> " << Escape(f.text) << "</p>\n";
}

std::size_t Digits(int n) {
  return std::to_string(n).size();
}

// A grid measured for writing as a <table>.
class HtmlGrid {
public:
  explicit HtmlGrid(const TableGrid& grid) : _grid(grid) {
    _texts.reserve(grid.texts.size());
    for (const ShownText& t : grid.texts)
      _texts.push_back(Html(t));
    // What Draw writes: the table's and its sections' tags, a row's tags, and each block's.
    _bytes = 17 + (grid.headerRows > 0 ? 17 : 0) + (grid.rows > grid.headerRows ? 17 : 0) +
             10 * static_cast<std::size_t>(grid.rows);
    for (const GridBlock& b : grid.blocks) {
      std::size_t tags = 9;
      if (b.kind == GridBlock::kCell && grid.Text(b).numeric) tags += 12;
      if (b.rowSpan > 1) tags += 11 + Digits(b.rowSpan);
      if (b.columnSpan > 1) tags += 11 + Digits(b.columnSpan);
      _bytes = SaturatingAdd(_bytes, tags + _texts[b.text].size());
    }
  }

  std::size_t Bytes() const { return _bytes; }

  // Blocks by top row, then left column.
  void Draw(std::ostream& out) const {
    const TableGrid& grid = _grid;
#ifndef NDEBUG
    const std::streamoff start = out.tellp();
#endif
    out << "<table>\n";
    for (int r = 0; r < grid.rows; ++r) {
      if (r == 0 && grid.headerRows > 0) out << "<thead>\n";
      if (r == grid.headerRows) out << "<tbody>\n";
      out << "<tr>";
      for (int c = 0; c < grid.columns; ++c) {
        const GridBlock& block = grid.blocks[static_cast<std::size_t>(grid.BlockAt(r, c))];
        if (block.row != r || block.column != c) continue;
        const bool cell = block.kind == GridBlock::kCell;
        out << (cell ? "<td" : "<th");
        if (cell && grid.Text(block).numeric) out << " class=\"num\"";
        if (block.rowSpan > 1) out << " rowspan=\"" << block.rowSpan << '"';
        if (block.columnSpan > 1) out << " colspan=\"" << block.columnSpan << '"';
        out << '>' << _texts[block.text] << (cell ? "</td>" : "</th>");
      }
      out << "</tr>\n";
      if (r + 1 == grid.headerRows) out << "</thead>\n";
    }
    if (grid.rows > grid.headerRows) out << "</tbody>\n";
    out << "</table>\n";
#ifndef NDEBUG
    // A device such as /dev/null keeps no position: there is nothing to compare.
    assert(
        (start < 0 || out.tellp() <= start || out.tellp() - start == static_cast<std::streamoff>(_bytes)) &&
        "an HTML grid writes the bytes it measured");
#endif
  }

private:
  const TableGrid& _grid;
  std::vector<std::string> _texts; // per grid text
  std::size_t _bytes = 0;
};

// Writes the page: the outline, then each visible part.
class HtmlEmitter final : public Emitter {
public:
  explicit HtmlEmitter(std::ostream& out) : _out(out) {}

  std::vector<std::string> TakeOmitted() { return std::move(_omitted); }

  void BeginDocument() override {
    _out << "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>Output</title>\n<style>"
         << kStyle << "</style>\n</head>\n<body>\n<div class=\"outline\">\n";
  }

  void OutlineEntry(const OmOutputPart& part, int level, std::string_view codePage) override {
    _out << (part.IsVisible() ? "<div>" : "<div class=\"hidden\">") << OutlineIndent(level)
         << Escape(DisplayText(part.Title(), codePage)) << (part.IsVisible() ? "" : " [hidden]")
         << "</div>\n";
  }

  void EndOutline() override { _out << "</div>\n"; }
  void EndDocument() override { _out << "</body>\n</html>\n"; }

  void Procedure(const OmProcedure& procedure, const Place& at) override { Heading(procedure, at, "h1"); }
  void Heading(const OmHeading& heading, const Place& at) override { Heading(heading, at, "h2"); }

  void TextBlock(const OmTextBlock& block, const Place& at) override {
    if (block.Lines().empty()) {
      _out << "<p>" << Escape(DisplayText(block.Title(), at.codePage)) << "</p>\n";
      return;
    }
    _out << "<pre>";
    for (const std::string& line : block.Lines())
      _out << Escape(omf::platform::ToUtf8(line, at.codePage)) << '\n';
    _out << "</pre>\n";
  }

  void PageTitle(const OmPageTitle& title, const Place& at) override {
    for (const std::string& line : title.Lines())
      _out << "<p class=\"title\">" << Escape(omf::platform::ToUtf8(line, at.codePage)) << "</p>\n";
  }

  void Content(const OmContentPart& part, const Place& at) override {
    _out << "<p>" << ContentName(at.kind) << ": " << Escape(DisplayText(part.Title(), at.codePage))
         << "</p>\n";
    for (const auto& [slot, bytes] : part.Content())
      _out << "<p>content slot " << slot << ": " << bytes.size() << " bytes</p>\n";
  }

  void Table(const OmPivotTable& table, const Place& at) override {
    const TableLayout layout(table, at.codePage);
    const ShownText title = layout.Title();
    _out << "<div class=\"table\">\n<p class=\"title\">" << Html(title) << "</p>\n";
    if (!layout.TooLarge().empty()) Omit(Omitted(PlainText(title), 0, 0, layout.TooLarge()));
    std::size_t budget = kMaxTableBytes;
    for (std::size_t layer = 0; layer < layout.LayerCount(); ++layer) {
      std::string labels;
      for (const ShownText& label : layout.LayerLabels(layer))
        labels += "<p>Layer: " + Html(label) + "</p>\n";
      const TableGrid grid = layout.Grid(layer);
      const HtmlGrid html(grid);
      const std::size_t bytes = SaturatingAdd(labels.size(), html.Bytes());
      if (bytes > budget) {
        Omit(Omitted(PlainText(title), layer, layout.LayerCount(), TableLayout::TooManyBytes()));
        break;
      }
      budget -= bytes;
      _out << labels;
      html.Draw(_out);
    }
    if (const auto caption = layout.Caption()) _out << "<p class=\"caption\">" << Html(*caption) << "</p>\n";
    Footnotes(layout.Marks(), _out);
    _out << "</div>\n";
  }

private:
  void Heading(const OmHeading& heading, const Place& at, const char* tag) {
    const FootnoteMarks marks = FootnoteMarks::ForHeading(heading, at.codePage);
    _out << '<' << tag << '>' << Html(marks.Show(heading.Title())) << "</" << tag << ">\n";
    Footnotes(marks, _out);
  }

  // A notice in place of grids not shown, and the line that tells the caller.
  void Omit(const Omission& omission) {
    _out << "<p class=\"notice\">" << Escape(omission.notice) << "</p>\n";
    _omitted.push_back(omission.line);
  }

  std::ostream& _out;
  std::vector<std::string> _omitted;
};

} // namespace

std::vector<std::string> HtmlRenderer::Render(const OmOutputTree& tree, std::ostream& out) const {
  HtmlEmitter emitter(out);
  RenderWalk(tree, emitter, Parts::kVisible);
  return emitter.TakeOmitted();
}

std::string HtmlRenderer::Render(const OmOutputTree& tree) const {
  std::ostringstream out;
  Render(tree, out);
  return out.str();
}

} // namespace render

} // namespace omf
