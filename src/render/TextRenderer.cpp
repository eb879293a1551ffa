#include <omf/render/TextRenderer.h>

#include <algorithm>
#include <sstream>

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

void Footnotes(const FootnoteMarks& marks, std::ostream& out) {
  for (const FootnoteMarks::Listed& f : marks.Listing())
    out << PlainText(f.mark + ". " + f.text) << '\n';
}

void Underlined(const std::string& title, char rule, std::ostream& out) {
  out << title << '\n'
      << std::string(std::max<std::size_t>(omf::platform::DisplayWidth(title), 1), rule) << '\n';
}

// A layer's line names its dimension, "Age group: Under 40"; a dimension without a label gets the word
// for a layer instead.
std::string LayerLine(const std::string& layerWord, const ShownText& name, const ShownText& category) {
  const std::string dimension = PlainText(name);
  return (dimension.empty() ? layerWord : dimension + ':') + ' ' + PlainText(category);
}

// Writes the outline, then each visible part after an empty line.
class TextEmitter final : public Emitter {
public:
  TextEmitter(std::ostream& out, const Words& words) : _out(out), _words(words) {}

  std::vector<std::string> TakeOmitted() { return std::move(_omitted); }

  void BeginDocument() override { _out << Word(_words, "Outline") << '\n'; }

  void OutlineEntry(const OmOutputPart& part, int level, std::string_view codePage) override {
    _out << OutlineIndent(level) << PlainText(DisplayText(part.Title(), codePage))
         << (part.IsVisible() ? "" : " [hidden]") << '\n';
  }

  void BeginPart(const OmOutputPart&, const Place&) override { _out << '\n'; }

  void Procedure(const OmProcedure& procedure, const Place& at) override { Heading(procedure, at, '='); }
  void Heading(const OmHeading& heading, const Place& at) override { Heading(heading, at, '-'); }

  void TextBlock(const OmTextBlock& block, const Place& at) override {
    if (block.Lines().empty()) {
      _out << PlainText(DisplayText(block.Title(), at.codePage)) << '\n';
      return;
    }
    Lines(block.Lines(), at);
  }

  void PageTitle(const OmPageTitle& title, const Place& at) override { Lines(title.Lines(), at); }

  void Content(const OmContentPart& part, const Place& at) override {
    _out << Word(_words, ContentLabel(at.kind)) << ' ' << PlainText(DisplayText(part.Title(), at.codePage))
         << '\n';
    for (const auto& [slot, bytes] : part.Content())
      _out << "  content slot " << slot << ": " << bytes.size() << " bytes\n";
  }

  void Table(const OmPivotTable& table, const Place& at) override {
    const TableLayout layout(table, at.codePage);
    const std::string title = PlainText(layout.Title());
    _out << title << '\n';
    if (!layout.TooLarge().empty()) Omit(Omitted(title, 0, 0, layout.TooLarge()));
    std::size_t budget = kMaxTableBytes;
    const std::string layerWord = Word(_words, "Layer:");
    const std::vector<ShownText> names = layout.LayerNames();
    for (std::size_t layer = 0; layer < layout.LayerCount(); ++layer) {
      std::string labels = layer != 0 ? "\n" : "";
      const std::vector<ShownText> categories = layout.LayerLabels(layer);
      for (std::size_t j = 0; j < categories.size(); ++j)
        labels += LayerLine(layerWord, names[j], categories[j]) + '\n';
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
  void Heading(const OmHeading& heading, const Place& at, char rule) {
    const FootnoteMarks marks = FootnoteMarks::ForHeading(heading, at.codePage);
    Underlined(PlainText(marks.Show(heading.Title())), rule, _out);
    Footnotes(marks, _out);
  }

  void Lines(const std::vector<std::string>& lines, const Place& at) {
    for (const std::string& line : lines)
      _out << omf::platform::ToUtf8(line, at.codePage) << '\n';
  }

  // A notice in place of grids not shown, and the line that tells the caller.
  void Omit(const Omission& omission) {
    _out << '[' << omission.notice << "]\n";
    _omitted.push_back(omission.line);
  }

  std::ostream& _out;
  const Words& _words;
  std::vector<std::string> _omitted;
};

} // namespace

std::vector<std::string> TextRenderer::Render(const OmOutputTree& tree, std::ostream& out) const {
  TextEmitter emitter(out, _words);
  RenderWalk(tree, emitter, Parts::kVisible);
  return emitter.TakeOmitted();
}

std::string TextRenderer::Render(const OmOutputTree& tree) const {
  std::ostringstream out;
  Render(tree, out);
  return out.str();
}

} // namespace render

} // namespace omf
