#pragma once
// OmMIPattern: one pooling rule of the multiple-imputation catalogue. A rule names the procedure and the
// table it pools; the subclasses know where in the table the statistics stand and how to combine the
// values of the imputations into the "Pooled" category of the imputation dimension.
#include <omf/model/CellText.h>

namespace omf {

class OmOutputTree;
class OmPivotTable;

class OmMIPattern {
public:
  OmMIPattern(const char* procedure, const char* table);
  virtual ~OmMIPattern() = default;
  OmMIPattern(const OmMIPattern&) = delete;
  OmMIPattern& operator=(const OmMIPattern&) = delete;

  // The procedure title (the untranslated command name) equals the rule's procedure name.
  virtual bool MatchesProcedure(const OmCellText& procedureTitle) const;
  // Whether the rule is offered this table; Pool may still find that it has nothing to do.
  virtual bool AppliesTo(OmPivotTable& table) const = 0;
  // Writes pooled values into the table; true when something was pooled. `owner` is the procedure's
  // tree, handed through for patterns that need it. Failures of the pooling library become footnotes.
  virtual bool Pool(OmPivotTable& table, OmOutputTree* owner) const = 0;

  const OmStringCell& ProcedureName() const { return _procedure; }
  const OmStringCell& TableName() const { return _table; }

protected:
  // The table's template name equals the rule's table name.
  bool NamesTable(const OmPivotTable& table) const;

private:
  OmStringCell _procedure;
  OmStringCell _table;
};

} // namespace omf
