#include "presentation/Translator.h"

#include "platform/stringtable/FacSTDictionary.h"

void OmCellTextTranslator::Visit(OmStringCell& text) {
  if (!text.IsTranslatable() || _dictionary == nullptr) return;
  _dictionary->setICUTracker(text.getICUTracker());
  std::string first, second;
  std::string translated = _dictionary->LookUp(text.Text(), first, second);
  text.SetText(std::move(translated));
  text.SetFurtherText(std::move(first));
  text.SetSecondText(std::move(second));
}

namespace {
void TranslateArguments(std::vector<OmComposite::Node>& nodes, icuTracker* parentTracker,
                        OmCellText::Visitor& translator) {
  for (OmComposite::Node& node : nodes) {
    icuTracker* tracker = parentTracker;
    if (node.text) {
      node.text->setICUTracker(parentTracker);
      node.text->Accept(translator);
      tracker = node.text->getICUTracker();
    }
    TranslateArguments(node.children, tracker, translator);
  }
}
} // namespace

void OmCellTextTranslator::Visit(OmComposite& composite) {
  if (_dictionary) _dictionary->setICUTracker(composite.getICUTracker());
  composite.Template().setICUTracker(composite.getICUTracker());
  composite.Template().Accept(*this);
  TranslateArguments(composite.Arguments(), composite.Template().getICUTracker(), *this);
  composite.Substitute(nullptr, _substitute);
}

namespace {
void TranslateNode(OmDimensionNode& node, OmCellText::Visitor& translator) {
  node.Label().Accept(translator);
  for (auto& child : node.Children())
    TranslateNode(*child, translator);
}
} // namespace

void OmOutputTreeTranslator::Visit(OmPivotTable& table) {
  table.TableTitle().Accept(_cells);
  if (OmCellText* caption = table.Caption()) caption->Accept(_cells);
  if (OmCellText* corner = table.CornerText()) corner->Accept(_cells);
  for (int d = 0; d < table.NDimensions(); ++d)
    TranslateNode(table.Dimension(d).Root(), _cells);
  for (OmFootnote& footnote : table.Footnotes()) {
    if (footnote.marker) footnote.marker->Accept(_cells);
    if (footnote.text) footnote.text->Accept(_cells);
  }
  for (auto it = table.FirstCell(); it.Cell() != nullptr; ++it)
    it.Cell()->Accept(_cells);
}
