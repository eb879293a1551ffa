#pragma once
// OmMIPooler: the multiple-imputation pass of a procedure's finish step. For every table it runs the
// catalogue's patterns that fit the procedure and the table, which write pooled values into a "Pooled"
// category of the imputation dimension, and then removes the imputation categories that the display
// flags hide (original data, imputations, pooled results). A table left without any imputation category
// has nothing to show: the visit then sets `drop`, and the caller unlinks the table.
#include <memory>

#include <omf/model/OutputPart.h>

namespace omf {

class OmOutputTree;

class OmMIPooler : public OmOutputPart::Visitor {
public:
  // The procedure's title (its untranslated command name), which the catalogue rows are matched
  // against, and the procedure's tree. The display flags are read here, once.
  OmMIPooler(const OmCellText& procedureTitle, OmOutputTree* owner);
  ~OmMIPooler() override;
  OmMIPooler(const OmMIPooler&) = delete;
  OmMIPooler& operator=(const OmMIPooler&) = delete;

  void Visit(OmPivotTable& table) override;
  void Visit(OmModel&) override { drop = false; }
  void Visit(OmAnswerTree&) override { drop = false; }
  void Visit(OmChart&) override { drop = false; }
  void Visit(OmPageTitle&) override { drop = false; }
  void Visit(OmTextBlock&) override { drop = false; }
  void Visit(OmHeading&) override { drop = false; }
  void Visit(OmProcedure&) override { drop = false; }

  // The verdict of the last visit: the table lost every category of its imputation dimension.
  bool drop = false;

  // Removes the categories of the table's imputation dimension d that the flags hide; true when none is
  // left. Groups are never removed themselves.
  static bool Prune(OmPivotTable& table, int d, bool showOriginal, bool showImputations, bool showPooled);

private:
  struct State;
  std::unique_ptr<State> _my;
};

} // namespace omf
