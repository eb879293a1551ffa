#pragma once
// Translation of output into the output language through the string tables. The cell-text translator
// translates one text and the texts nested in it; the tree translator walks every text of a table.
// Both run in the finish step of each procedure; the selector uses the cell-text translator to match
// labels in the output language.
#include <omf/model/CellText.h>
#include <omf/model/PivotTable.h>

namespace omf {

class FacSTDictionary;

class OmCellTextTranslator : public OmCellText::Visitor {
public:
  explicit OmCellTextTranslator(FacSTDictionary* dictionary) : _dictionary(dictionary) {}
  // Replaces a translatable string by its entry in the string tables.
  void Visit(OmStringCell& text) override;
  // Translates the template and every argument, then fills the composite again.
  void Visit(OmComposite& composite) override;

private:
  FacSTDictionary* _dictionary;
  bool _substitute = false;
};

class OmOutputTreeTranslator : public OmOutputPart::Visitor {
public:
  explicit OmOutputTreeTranslator(FacSTDictionary* dictionary) : _cells(dictionary) {}
  OmCellTextTranslator& CellTextTranslator() { return _cells; }
  // Title, caption, corner text, dimension and category labels, footnotes and cells.
  void Visit(OmPivotTable& table) override;

private:
  OmCellTextTranslator _cells;
};

} // namespace omf
