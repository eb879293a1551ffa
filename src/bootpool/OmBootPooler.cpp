#include <omf/bootpool/OmBootPooler.h>

#include <omf/bootpool/BootCatalogue.h>
#include <omf/lookups/PoolingLookups.h>
#include <omf/platform/bootspec/SvrBootstrapSpecs.h>

namespace omf {

struct OmBootPooler::Impl {
  OmCellTextPtr _title;
  OmOutputTree& _tree;
  std::vector<OmBootPattern*> _patterns;
  const SvrBootstrapSpecs* _specs;
  OmBootPattern::NewParts _made;

  Impl(const OmCellText& title, OmOutputTree& tree, const SvrBootstrapSpecs* specs)
      : _title(CloneText(title)), _tree(tree), _specs(specs) {}
  void RemoveSamples(std::size_t procedure);
  void Collapse(std::size_t procedure);
};

namespace {

// A sample's output: its title carries a split value of 1 or more.
bool IsSampleOutput(const OmOutputPart& part) {
  return BootstrapSampleNumber(part.Title()) >= 1;
}

// A table with no cell at all and no footnote, or a bootstrapped table without a cell of the observed
// sample, has nothing to show.
bool HasNothingToShow(const OmPivotTable& table) {
  if (!table.FirstCell()) return table.Footnotes().empty();
  const int split = FindBootstrapDimension(table);
  if (split < 0) return false;
  for (auto it = table.FirstCell(); it; ++it) {
    const std::vector<int> at = it.At();
    if (static_cast<std::size_t>(split) >= at.size() || at[static_cast<std::size_t>(split)] == 0)
      return false;
  }
  return true;
}

} // namespace

// The procedure's own node stays whatever its title says: the finish step needs it.
void OmBootPooler::Impl::RemoveSamples(std::size_t procedure) {
  const int level = _tree.Level(procedure);
  std::size_t n = procedure + 1;
  while (n < _tree.Count() && _tree.Level(n) > level) {
    OmOutputPart& part = *_tree.Part(n);
    const auto* table = dynamic_cast<const OmPivotTable*>(&part);
    if (IsSampleOutput(part) || (table != nullptr && HasNothingToShow(*table)))
      _tree.Prune(n);
    else
      ++n;
  }
}

// A node whose one child is the observed sample's part (and has no children of its own) gives way to
// it; a table that takes its place takes its title too.
void OmBootPooler::Impl::Collapse(std::size_t procedure) {
  const int level = _tree.Level(procedure);
  std::size_t n = procedure + 1;
  while (n < _tree.Count() && _tree.Level(n) > level) {
    const int l = _tree.Level(n);
    const bool oneChild = n + 1 < _tree.Count() && _tree.Level(n + 1) == l + 1 &&
                          (n + 2 >= _tree.Count() || _tree.Level(n + 2) <= l);
    if (!oneChild || BootstrapSampleNumber(_tree.Part(n + 1)->Title()) != 0) {
      ++n;
      continue;
    }
    if (auto* table = dynamic_cast<OmPivotTable*>(_tree.Part(n + 1))) {
      const OmCellText& title = _tree.Part(n)->Title();
      table->SetTitle(title);
      table->SetTableTitle(title);
    }
    _tree.Erase(n);
  }
}

OmBootPooler::OmBootPooler(const OmCellText& procedureTitle, OmOutputTree& tree, std::size_t procedureNode,
                           const SvrBootstrapSpecs* specs)
    : _my(std::make_unique<Impl>(procedureTitle, tree, specs)) {
  if (specs == nullptr) return;
  for (OmBootPattern* p : BootCatalogue())
    if (p->MatchesProcedure(*_my->_title)) _my->_patterns.push_back(p);
  _my->RemoveSamples(procedureNode);
  _my->Collapse(procedureNode);
}

OmBootPooler::~OmBootPooler() = default;

OmBootPattern::NewParts& OmBootPooler::NewParts() {
  return _my->_made;
}

void OmBootPooler::Visit(OmPivotTable& table) {
  // Tables of a visit that failed part way are not kept for the next one.
  _my->_made.clear();
  if (_my->_specs == nullptr) return;
  for (OmBootPattern* p : _my->_patterns)
    if (p->AppliesTo(table)) p->Pool(table, _my->_made, *_my->_specs);
  RemoveBootstrapSamples(table);
}

namespace {

// Every category of the split dimension but the observed sample's, at any depth (groups stay).
void CollectSampleCategories(OmDimensionNode& node, std::vector<OmDimensionNode*>& out) {
  for (std::size_t i = 0; i < node.ChildCount(); ++i) {
    OmDimensionNode& child = node.Child(i);
    if (child.IsGroup()) {
      CollectSampleCategories(child, out);
      continue;
    }
    const OmCellText& label = child.Label();
    if (label.OrderCode() != OmCellText::kOrderNumDataValue ||
        static_cast<const OmNumDataValue&>(label).Value() != 0)
      out.push_back(&child);
  }
}

void RemoveSampleFootnotes(OmPivotTable& table, OmCellText* text) {
  if (text == nullptr || !text->HasMetaData()) return;
  const std::vector<int> marks = text->Footnotes();
  for (int f : marks) {
    if (f < 0 || static_cast<std::size_t>(f) >= table.Footnotes().size()) continue;
    const OmFootnote& footnote =
        static_cast<const OmPivotTable&>(table).Footnotes()[static_cast<std::size_t>(f)];
    if (footnote.text && BootstrapSampleNumber(*footnote.text) > 0) {
      text->RemoveFootnote(f);
      table.RemovedFootnotes(true);
    }
  }
}

void RemoveSampleFootnotes(OmPivotTable& table, OmDimensionNode& node) {
  for (std::size_t i = 0; i < node.ChildCount(); ++i) {
    RemoveSampleFootnotes(table, &node.Child(i).Label());
    RemoveSampleFootnotes(table, node.Child(i));
  }
}

} // namespace

void RemoveBootstrapSamples(OmPivotTable& table) {
  const int split = FindBootstrapDimension(table);
  if (split < 0) return;
  OmDimension& dim = table.Dimension(split);
  std::vector<OmDimensionNode*> samples;
  CollectSampleCategories(dim.Root(), samples);
  // One deletion for all of them: one by one, each would scan what is left of the dimension.
  dim.Delete(samples);
  dim.Root().SetMark(true);
  dim.Root().SetSecondFlag(true);

  RemoveSampleFootnotes(table, &table.Title());
  RemoveSampleFootnotes(table, &table.TableTitle());
  RemoveSampleFootnotes(table, table.CornerText());
  RemoveSampleFootnotes(table, table.Caption());
  for (int d = 0; d < table.NDimensions(); ++d) {
    OmDimensionNode& root = table.Dimension(d).Root();
    RemoveSampleFootnotes(table, &root.Label());
    RemoveSampleFootnotes(table, root);
  }
}

} // namespace omf
