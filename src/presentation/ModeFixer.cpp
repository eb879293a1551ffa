#include "factory/Factory.h"

// A text that arrived without a display mode of its own (mode 0) takes the setting in force when it is
// placed; texts placed earlier keep theirs.

void OmFactory::ModeFixer::Visit(OmComposite& composite) {
  composite.Template().Accept(*this);
  struct Walk {
    static void Nodes(std::vector<OmComposite::Node>& nodes, ModeFixer& fixer) {
      for (OmComposite::Node& node : nodes) {
        if (node.text) node.text->Accept(fixer);
        Nodes(node.children, fixer);
      }
    }
  };
  Walk::Nodes(composite.Arguments(), *this);
}

void OmFactory::ModeFixer::Visit(OmStringDataValue& value) {
  if (value.Mode() == OmCellText::kModeNotSet) value.SetMode(*_values);
}

void OmFactory::ModeFixer::Visit(OmNumDataValue& value) {
  if (value.Mode() == OmCellText::kModeNotSet) value.SetMode(*_values);
}

void OmFactory::ModeFixer::Visit(OmVariable& variable) {
  if (variable.Mode() == OmCellText::kModeNotSet) variable.SetMode(*_variables);
}
