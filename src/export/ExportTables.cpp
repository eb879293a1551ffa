#include <omf/export/ExportTables.h>

#include <omf/model/OutputTree.h>
#include <omf/model/PivotTable.h>
#include <omf/render/CellDisplay.h>
#include <omf/selection/OMSObjectSelector.h>

namespace omf::data {

namespace {

// Instance numbers are not looked at: the instances a request counted are gone from the finished tree,
// and a table still there was kept by its request.
const OMSColumns* ColumnsFor(const OmPivotTable& table, const std::string& command,
                             const std::vector<OMSObjectSelector>& requests) {
  const short type = table.IsWarnings() ? static_cast<short>(OMSObjectSelector::kWARNINGS)
                                        : static_cast<short>(OMSObjectSelector::kTABLE);
  const std::string subtype = table.TemplateName().AsString();
  const std::string label = table.Title().AsString();
  for (const OMSObjectSelector& request : requests)
    if (request.IsObjectSelected(type, command, subtype, label))
      return request.GetColumn().GetColumnsForm() == OMSColumns::kNONE ? nullptr : &request.GetColumn();
  return nullptr;
}

} // namespace

std::vector<ExportTable> ExportTables(const OmOutputTree& tree,
                                      const std::vector<OMSObjectSelector>& requests) {
  std::vector<ExportTable> tables;
  render::CodePages codePages(tree);
  // The procedures above the current node, outermost first, with their levels.
  std::vector<std::pair<int, const OmProcedure*>> above;
  for (std::size_t node = 1; node < tree.Count(); ++node) {
    const OmOutputPart* part = tree.Part(node);
    const int level = tree.Level(node);
    while (!above.empty() && above.back().first >= level)
      above.pop_back();
    if (const auto* procedure = dynamic_cast<const OmProcedure*>(part)) {
      above.emplace_back(level, procedure);
      continue;
    }
    const auto* table = dynamic_cast<const OmPivotTable*>(part);
    if (table == nullptr || !table->IsVisible()) continue;
    ExportTable t;
    t.table = table;
    t.node = node;
    t.codePage = std::string(codePages.Of(node));
    const OmProcedure* procedure = above.empty() ? nullptr : above.back().second;
    if (procedure != nullptr) t.procedure = render::DisplayText(procedure->Title(), procedure->CodePage());
    t.title = render::DisplayText(table->TableTitle(), t.codePage);
    t.subtype = render::DisplayText(table->Subtype(), t.codePage);
    t.id = table->TableId();
    t.columns = ColumnsFor(*table, procedure != nullptr ? procedure->Command() : std::string(), requests);
    tables.push_back(std::move(t));
  }
  return tables;
}

} // namespace omf::data
