#include <omf/presentation/Translator.h>

#include <omf/platform/stringtable/FacSTDictionary.h>

namespace omf {

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
// Every label of a dimension, from a stack of its own so that the depth of the tree costs no call depth.
void TranslateNode(OmDimensionNode& root, OmCellText::Visitor& translator) {
  std::vector<OmDimensionNode*> pending{&root};
  while (!pending.empty()) {
    OmDimensionNode* node = pending.back();
    pending.pop_back();
    node->Label().Accept(translator);
    // Through the changing accessor: the children's labels change, so the node's label index must be
    // rebuilt before it is used again.
    auto& children = node->Children();
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      pending.push_back(it->get());
  }
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
  table.ForEachText([this](OmCellText& cell) { cell.Accept(_cells); });
}

} // namespace omf
