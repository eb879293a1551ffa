#include <omf/presentation/ModeFixer.h>

#include <vector>

namespace omf {

void OmModeFixer::Visit(OmComposite& composite) {
  composite.Template().Accept(*this);
  struct Walk {
    static void Nodes(std::vector<OmComposite::Node>& nodes, OmModeFixer& fixer) {
      for (OmComposite::Node& node : nodes) {
        if (node.text) node.text->Accept(fixer);
        Nodes(node.children, fixer);
      }
    }
  };
  Walk::Nodes(composite.Arguments(), *this);
}

namespace {
void Fix(OmDataValue& value, OmCellText::ModeType mode) {
  if (value.Mode() == OmCellText::kModeNotSet) value.SetMode(mode);
}
} // namespace

void OmModeFixer::Visit(OmStringDataValue& value) {
  Fix(value, *_values);
}

void OmModeFixer::Visit(OmNumDataValue& value) {
  Fix(value, *_values);
}

void OmModeFixer::Visit(OmVariable& variable) {
  if (variable.Mode() == OmCellText::kModeNotSet) variable.SetMode(*_variables);
}

} // namespace omf
