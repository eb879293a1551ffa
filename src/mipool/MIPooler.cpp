#include <omf/mipool/MIPooler.h>

#include <utility>
#include <vector>

#include <omf/lookups/PoolingLookups.h>
#include <omf/mipool/MICatalogue.h>
#include <omf/model/PivotTable.h>
#include <omf/platform/message/MessageHandler.h>

namespace omf {

struct OmMIPooler::State {
  OmOutputTree* owner = nullptr;
  std::vector<const OmMIPattern*> patterns; // the catalogue rows of this procedure, in catalogue order
  bool showOriginal = true;
  bool showImputations = true;
  bool showPooled = true;
};

OmMIPooler::OmMIPooler(const OmCellText& procedureTitle, OmOutputTree* owner)
    : _my(std::make_unique<State>()) {
  _my->owner = owner;
  bool showDiagnostics = true; // read again by the patterns each time they pool
  MiOutputSettings(&_my->showOriginal, &_my->showImputations, &_my->showPooled, &showDiagnostics);
  _my->patterns = omf::mipool::MIPatternsOf(procedureTitle);
}

OmMIPooler::~OmMIPooler() = default;

void OmMIPooler::Visit(OmPivotTable& table) {
  drop = false;
  for (const OmMIPattern* pattern : _my->patterns)
    if (pattern->AppliesTo(table)) pattern->Pool(table, _my->owner);
  const int d = FindImputationDimension(table);
  if (d == -1) return;
  drop = Prune(table, d, _my->showOriginal, _my->showImputations, _my->showPooled);
}

bool OmMIPooler::Prune(OmPivotTable& table, int d, bool showOriginal, bool showImputations, bool showPooled) {
  OmDimension& dimension = table.Dimension(d);
  const auto keep = [&](const OmCellText& label) {
    if (label.OrderCode() != OmCellText::kOrderNumDataValue) return showPooled; // "Pooled" and the like
    return static_cast<const OmNumDataValue&>(label).Value() == 0 ? showOriginal : showImputations;
  };
  // Depth first from a stack of its own. Groups are entered only while nothing has been kept so far;
  // leaves are judged wherever they stand. Which leaves go does not depend on the removal of others, so
  // they are found first and removed together.
  bool everythingRemoved = true;
  std::vector<OmDimensionNode*> doomed;
  std::vector<std::pair<OmDimensionNode*, std::size_t>> pending{{&dimension.Root(), 0}};
  while (!pending.empty()) {
    auto& [node, next] = pending.back();
    if (next >= node->ChildCount()) {
      pending.pop_back();
      continue;
    }
    OmDimensionNode& child = node->Child(next++);
    if (child.IsGroup()) {
      if (everythingRemoved) pending.emplace_back(&child, 0);
    } else if (!keep(child.Label())) {
      doomed.push_back(&child);
    } else {
      everythingRemoved = false;
    }
  }
  dimension.Delete(doomed);
  return everythingRemoved;
}

} // namespace omf
