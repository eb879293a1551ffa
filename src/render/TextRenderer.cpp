#include "render/TextRenderer.h"

#include <algorithm>
#include <sstream>

#include "model/OutputTree.h"
#include "model/PivotTable.h"
#include "platform/strings/PlatformStrings.h"
#include "render/CellDisplay.h"
#include "render/FootnoteMarks.h"
#include "render/TableLayout.h"
#include "render/TextGrid.h"

namespace omf::render {

namespace {

void Footnotes(const FootnoteMarks& marks, std::ostream& out) {
  for (const FootnoteMarks::Listed& f : marks.Listing())
    out << PlainText(f.mark + ". " + f.text) << '\n';
}

void Underlined(const std::string& title, char rule, std::ostream& out) {
  out << title << '\n'
      << std::string(std::max<std::size_t>(omf::platform::DisplayWidth(title), 1), rule) << '\n';
}

// Writes one part; runs once per visible part, in tree order.
class PartWriter final : public OmOutputPart::Visitor {
public:
  PartWriter(std::ostream& out, std::string_view codePage) : _out(out), _codePage(codePage) {}

  void Visit(OmProcedure& procedure) override { Heading(procedure, '='); }
  void Visit(OmHeading& heading) override { Heading(heading, '-'); }

  void Visit(OmTextBlock& block) override {
    if (block.Lines().empty()) {
      _out << PlainText(DisplayText(block.Title(), _codePage)) << '\n';
      return;
    }
    for (const std::string& line : block.Lines())
      _out << omf::platform::ToUtf8(line, _codePage) << '\n';
  }

  void Visit(OmPageTitle& title) override {
    for (const std::string& line : title.Lines())
      _out << omf::platform::ToUtf8(line, _codePage) << '\n';
  }

  void Visit(OmChart& chart) override { Content("Chart", chart); }
  void Visit(OmModel& model) override { Content("Model", model); }
  void Visit(OmAnswerTree& tree) override { Content("Answer tree", tree); }

  void Visit(OmPivotTable& table) override {
    const TableLayout layout(table, _codePage);
    _out << PlainText(layout.Title()) << '\n';
    for (std::size_t layer = 0; layer < layout.LayerCount(); ++layer) {
      if (layer != 0) _out << '\n';
      for (const ShownText& label : layout.LayerLabels(layer))
        _out << "Layer: " << PlainText(label) << '\n';
      DrawTextGrid(layout.Grid(layer), _out);
    }
    if (const auto caption = layout.Caption()) _out << PlainText(*caption) << '\n';
    Footnotes(layout.Marks(), _out);
  }

private:
  void Heading(OmHeading& heading, char rule) {
    const FootnoteMarks marks = FootnoteMarks::ForHeading(heading, _codePage);
    Underlined(PlainText(marks.Show(heading.Title())), rule, _out);
    Footnotes(marks, _out);
  }

  void Content(const char* kind, const OmContentPart& part) {
    _out << kind << ": " << PlainText(DisplayText(part.Title(), _codePage)) << '\n';
    for (const auto& [slot, bytes] : part.Content())
      _out << "  content slot " << slot << ": " << bytes.size() << " bytes\n";
  }

  std::ostream& _out;
  std::string_view _codePage;
};

} // namespace

void TextRenderer::Render(const OmOutputTree& tree, std::ostream& out) const {
  out << "Outline\n";
  for (std::size_t node = 1; node < tree.Count(); ++node) {
    const OmOutputPart* part = tree.Part(node);
    if (part == nullptr) continue;
    const std::size_t indent = tree.Level(node) > 1 ? 2 * static_cast<std::size_t>(tree.Level(node) - 1) : 0;
    out << std::string(indent, ' ') << PlainText(DisplayText(part->Title(), CodePageOf(tree, node)))
        << (part->IsVisible() ? "" : " [hidden]") << '\n';
  }
  for (std::size_t node = 1; node < tree.Count(); ++node) {
    OmOutputPart* part = tree.Part(node);
    if (part == nullptr || !part->IsVisible()) continue;
    out << '\n';
    PartWriter writer(out, CodePageOf(tree, node));
    part->Accept(writer);
  }
}

std::string TextRenderer::Render(const OmOutputTree& tree) const {
  std::ostringstream out;
  Render(tree, out);
  return out.str();
}

} // namespace omf::render
