#pragma once
// The display-mode fixer: gives every variable and data value placed without a display mode of its own
// the setting in force when it is placed. Texts placed earlier keep theirs.
#include <omf/model/CellText.h>

namespace omf {

class OmModeFixer : public OmCellText::Visitor {
public:
  // The settings are read at each visit, so a fixer follows later changes of them.
  OmModeFixer(const OmCellText::ModeType* variables, const OmCellText::ModeType* values)
      : _variables(variables), _values(values) {}
  void Visit(OmComposite& composite) override;
  void Visit(OmStringDataValue& value) override;
  void Visit(OmNumDataValue& value) override;
  void Visit(OmVariable& variable) override;

private:
  const OmCellText::ModeType* _variables;
  const OmCellText::ModeType* _values;
};

} // namespace omf
