#include "render/TextRenderer.h"

#include <algorithm>
#include <sstream>

#include "model/OutputTree.h"
#include "model/PivotTable.h"
#include "platform/strings/PlatformStrings.h"
#include "render/CellDisplay.h"
#include "render/FootnoteMarks.h"
#include "render/Limits.h"
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
  PartWriter(std::ostream& out, std::string_view codePage, std::vector<std::string>& omitted)
      : _out(out), _codePage(codePage), _omitted(omitted) {}

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
    const std::string title = PlainText(layout.Title());
    _out << title << '\n';
    if (!layout.TooLarge().empty()) Omit(Omitted(title, 0, 0, layout.TooLarge()));
    std::size_t budget = kMaxTableBytes;
    for (std::size_t layer = 0; layer < layout.LayerCount(); ++layer) {
      std::string labels = layer != 0 ? "\n" : "";
      for (const ShownText& label : layout.LayerLabels(layer))
        labels += "Layer: " + PlainText(label) + '\n';
      const TableGrid grid = layout.Grid(layer);
      const TextGrid drawing(grid);
      const std::size_t bytes = SaturatingAdd(labels.size(), drawing.Bytes());
      if (bytes > budget) {
        Omit(Omitted(title, layer, layout.LayerCount(), TableLayout::TooManyBytes()));
        break;
      }
      budget -= bytes;
      _out << labels;
      drawing.Draw(_out);
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

  // A notice in place of grids not shown, and the line that tells the caller.
  void Omit(const Omission& omission) {
    _out << '[' << omission.notice << "]\n";
    _omitted.push_back(omission.line);
  }

  std::ostream& _out;
  std::string_view _codePage;
  std::vector<std::string>& _omitted;
};

} // namespace

std::vector<std::string> TextRenderer::Render(const OmOutputTree& tree, std::ostream& out) const {
  out << "Outline\n";
  CodePages outlinePages(tree);
  for (std::size_t node = 1; node < tree.Count(); ++node) {
    const OmOutputPart* part = tree.Part(node);
    if (part == nullptr) continue;
    out << OutlineIndent(tree.Level(node)) << PlainText(DisplayText(part->Title(), outlinePages.Of(node)))
        << (part->IsVisible() ? "" : " [hidden]") << '\n';
  }
  std::vector<std::string> omitted;
  CodePages pages(tree);
  for (std::size_t node = 1; node < tree.Count(); ++node) {
    OmOutputPart* part = tree.Part(node);
    if (part == nullptr || !part->IsVisible()) continue;
    out << '\n';
    PartWriter writer(out, pages.Of(node), omitted);
    part->Accept(writer);
  }
  return omitted;
}

std::string TextRenderer::Render(const OmOutputTree& tree) const {
  std::ostringstream out;
  Render(tree, out);
  return out.str();
}

} // namespace omf::render
