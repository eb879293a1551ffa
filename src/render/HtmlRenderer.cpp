#include "render/HtmlRenderer.h"

#include <sstream>

#include "model/OutputTree.h"
#include "model/PivotTable.h"
#include "platform/strings/PlatformStrings.h"
#include "render/CellDisplay.h"
#include "render/FootnoteMarks.h"
#include "render/TableLayout.h"

namespace omf::render {

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

void Grid(const TableGrid& grid, std::ostream& out) {
  out << "<table>\n";
  std::size_t b = 0;
  for (int r = 0; r < grid.rows; ++r) {
    if (r == 0 && grid.headerRows > 0) out << "<thead>\n";
    if (r == grid.headerRows) out << "<tbody>\n";
    out << "<tr>";
    for (; b < grid.blocks.size() && grid.blocks[b].row == r; ++b) {
      const GridBlock& block = grid.blocks[b];
      const bool cell = block.kind == GridBlock::kCell;
      out << (cell ? "<td" : "<th");
      if (cell && block.text.numeric) out << " class=\"num\"";
      if (block.rowSpan > 1) out << " rowspan=\"" << block.rowSpan << '"';
      if (block.columnSpan > 1) out << " colspan=\"" << block.columnSpan << '"';
      out << '>' << Html(block.text) << (cell ? "</td>" : "</th>");
    }
    out << "</tr>\n";
    if (r + 1 == grid.headerRows) out << "</thead>\n";
  }
  if (grid.rows > grid.headerRows) out << "</tbody>\n";
  out << "</table>\n";
}

// Writes one part; runs once per visible part, in tree order.
class PartWriter final : public OmOutputPart::Visitor {
public:
  PartWriter(std::ostream& out, std::string_view codePage) : _out(out), _codePage(codePage) {}

  void Visit(OmProcedure& procedure) override { Heading(procedure, "h1"); }
  void Visit(OmHeading& heading) override { Heading(heading, "h2"); }

  void Visit(OmTextBlock& block) override {
    if (block.Lines().empty()) {
      _out << "<p>" << Escape(DisplayText(block.Title(), _codePage)) << "</p>\n";
      return;
    }
    _out << "<pre>";
    for (const std::string& line : block.Lines())
      _out << Escape(omf::platform::ToUtf8(line, _codePage)) << '\n';
    _out << "</pre>\n";
  }

  void Visit(OmPageTitle& title) override {
    for (const std::string& line : title.Lines())
      _out << "<p class=\"title\">" << Escape(omf::platform::ToUtf8(line, _codePage)) << "</p>\n";
  }

  void Visit(OmChart& chart) override { Content("Chart", chart); }
  void Visit(OmModel& model) override { Content("Model", model); }
  void Visit(OmAnswerTree& tree) override { Content("Answer tree", tree); }

  void Visit(OmPivotTable& table) override {
    const TableLayout layout(table, _codePage);
    _out << "<div class=\"table\">\n<p class=\"title\">" << Html(layout.Title()) << "</p>\n";
    for (std::size_t layer = 0; layer < layout.LayerCount(); ++layer) {
      for (const ShownText& label : layout.LayerLabels(layer))
        _out << "<p>Layer: " << Html(label) << "</p>\n";
      Grid(layout.Grid(layer), _out);
    }
    if (const auto caption = layout.Caption()) _out << "<p class=\"caption\">" << Html(*caption) << "</p>\n";
    Footnotes(layout.Marks(), _out);
    _out << "</div>\n";
  }

private:
  void Heading(OmHeading& heading, const char* tag) {
    const FootnoteMarks marks = FootnoteMarks::ForHeading(heading, _codePage);
    _out << '<' << tag << '>' << Html(marks.Show(heading.Title())) << "</" << tag << ">\n";
    Footnotes(marks, _out);
  }

  void Content(const char* kind, const OmContentPart& part) {
    _out << "<p>" << kind << ": " << Escape(DisplayText(part.Title(), _codePage)) << "</p>\n";
    for (const auto& [slot, bytes] : part.Content())
      _out << "<p>content slot " << slot << ": " << bytes.size() << " bytes</p>\n";
  }

  std::ostream& _out;
  std::string_view _codePage;
};

} // namespace

void HtmlRenderer::Render(const OmOutputTree& tree, std::ostream& out) const {
  out << "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>Output</title>\n<style>" << kStyle
      << "</style>\n</head>\n<body>\n<div class=\"outline\">\n";
  for (std::size_t node = 1; node < tree.Count(); ++node) {
    const OmOutputPart* part = tree.Part(node);
    if (part == nullptr) continue;
    const std::size_t indent = tree.Level(node) > 1 ? 2 * static_cast<std::size_t>(tree.Level(node) - 1) : 0;
    out << (part->IsVisible() ? "<div>" : "<div class=\"hidden\">") << std::string(indent, ' ')
        << Escape(DisplayText(part->Title(), CodePageOf(tree, node)))
        << (part->IsVisible() ? "" : " [hidden]") << "</div>\n";
  }
  out << "</div>\n";
  for (std::size_t node = 1; node < tree.Count(); ++node) {
    OmOutputPart* part = tree.Part(node);
    if (part == nullptr || !part->IsVisible()) continue;
    PartWriter writer(out, CodePageOf(tree, node));
    part->Accept(writer);
  }
  out << "</body>\n</html>\n";
}

std::string HtmlRenderer::Render(const OmOutputTree& tree) const {
  std::ostringstream out;
  Render(tree, out);
  return out.str();
}

} // namespace omf::render
