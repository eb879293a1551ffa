#include "mipool/MIPattern.h"

#include "model/PivotTable.h"

OmMIPattern::OmMIPattern(const char* procedure, const char* table) : _procedure(procedure), _table(table) {}

bool OmMIPattern::MatchesProcedure(const OmCellText& procedureTitle) const {
  return procedureTitle.Equals(_procedure);
}

bool OmMIPattern::NamesTable(const OmPivotTable& table) const {
  return table.TemplateName().Equals(_table);
}
