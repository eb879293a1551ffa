#include <omf/mipool/MIPattern.h>

#include <omf/model/PivotTable.h>

namespace omf {

OmMIPattern::OmMIPattern(const char* procedure, const char* table) : _procedure(procedure), _table(table) {}

bool OmMIPattern::MatchesProcedure(const OmCellText& procedureTitle) const {
  return procedureTitle.Equals(_procedure);
}

bool OmMIPattern::NamesTable(const OmPivotTable& table) const {
  return table.TemplateName().Equals(_table);
}

} // namespace omf
