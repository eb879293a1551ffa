#include <omf/builder/DespookDimension.h>

#include <algorithm>
#include <cassert>
#include <utility>
#include <vector>

#include <omf/tables/MultiBase.h>

namespace omf {

namespace {

// The children of both nodes have equal labels pairwise, and below every group of `first` the same holds.
bool SameTree(const OmDimensionNode& first, const OmDimensionNode& other) {
  if (first.ChildCount() != other.ChildCount()) return false;
  for (std::size_t i = 0; i < first.ChildCount(); ++i) {
    if (!(first.Child(i) == other.Child(i))) return false;
    if (first.Child(i).IsGroup() && !SameTree(first.Child(i), other.Child(i))) return false;
  }
  return true;
}

void CollectSubscripts(const OmDimensionNode& node, std::vector<int>& out) {
  if (node.Subscript() != OmDimensionNode::kNoSubscript) out.push_back(node.Subscript());
  for (std::size_t i = 0; i < node.ChildCount(); ++i)
    CollectSubscripts(node.Child(i), out);
}

// Moves the cells of repeated groups onto the categories of the first one. A cell address is
// (subscript in d, subscript in e, other combination); the other combinations are walked with d and e
// held fixed, so their order is the mixed-radix order of the remaining dimensions.
class Folder {
public:
  Folder(OmPivotTable& table, int d, int e)
      : _table(table), _d(static_cast<std::size_t>(d)), _e(static_cast<std::size_t>(e)),
        _slice(table.SizeVector()), _eSize(table.Size(e)) {}

  // Merges the source group into the target group, child by child; false when a category of the
  // source, at any depth, has no cell to move (the remaining children are merged all the same).
  bool Merge(OmDimensionNode& target, OmDimensionNode& source) {
    bool merged = true;
    for (std::size_t i = 0; i < source.ChildCount() && i < target.ChildCount(); ++i) {
      OmDimensionNode& to = target.Child(i);
      OmDimensionNode& from = source.Child(i);
      if (to.IsGroup()) {
        merged = from.IsGroup() && Merge(to, from) && merged;
        continue;
      }
      const int u = to.Subscript();
      const int v = from.Subscript();
      from.SetSubscript(u);
      _renumbered.emplace_back(&from, v);
      merged = MoveCells(u, v) && merged;
    }
    return merged;
  }

  // Before the repeated groups are deleted: deleting a category removes the cells under its subscript,
  // and the merged categories now carry the first group's subscripts, whose cells must stay. They get
  // their own subscripts back (so that any cells left under those go with them), or none where their
  // own is also one of the first group's.
  void GiveBackSubscripts(const OmDimensionNode& kept) {
    std::vector<int> keep;
    CollectSubscripts(kept, keep);
    std::sort(keep.begin(), keep.end());
    for (auto& [node, own] : _renumbered)
      node->SetSubscript(std::binary_search(keep.begin(), keep.end(), own) ? OmDimensionNode::kNoSubscript
                                                                           : own);
  }

private:
  // Moves, for every subscript of e, the cells of one other combination from category v to category u:
  // the first combination k (by e-subscript, then by number) in which v has a cell. False when v has
  // no cell at all.
  bool MoveCells(int u, int v) {
    OmNumber scratch(0.0, 0);
    std::vector<int> at;
    for (int j = 0; j < _eSize && at.empty(); ++j) {
      _slice.Fix(_d, v);
      _slice.Fix(_e, j);
      for (; !_slice.Done(); _slice.Next())
        if (_table.Peek(_slice.Current(), scratch)) {
          at = _slice.Current();
          break;
        }
    }
    if (at.empty()) return false;
    if (u == v) return true; // already in place; moving would clear it
    for (int j = 0; j < _eSize; ++j) {
      at[_e] = j;
      at[_d] = v;
      std::vector<int> from = at;
      at[_d] = u;
      _table.Cell(at, _table.Peek(from, scratch));
      _table.Cell(from, nullptr);
    }
    return true;
  }

  OmPivotTable& _table;
  std::size_t _d, _e;
  MultiBase _slice;
  int _eSize;
  std::vector<std::pair<OmDimensionNode*, int>> _renumbered; // merged source category, its own subscript
};

} // namespace

bool DespookDimension(OmPivotTable& table, int d, int e) {
  assert(d != e && "the folded dimension and its companion are different dimensions");
  assert(d >= 0 && d < table.NDimensions() && e >= 0 && e < table.NDimensions() && "dimensions exist");
  OmDimension& dimension = table.Dimension(d);
  OmDimensionNode& root = dimension.Root();
  const std::size_t groups = root.ChildCount();
  for (std::size_t g = 0; g < groups; ++g)
    if (!root.Child(g).IsGroup()) return false;
  for (std::size_t g = 1; g < groups; ++g)
    if (!SameTree(root.Child(0), root.Child(g))) return false;

  Folder folder(table, d, e);
  for (std::size_t g = 1; g < groups; ++g)
    if (!folder.Merge(root.Child(0), root.Child(g))) return false;
  if (groups > 1) {
    folder.GiveBackSubscripts(root.Child(0));
    while (root.ChildCount() > 1)
      dimension.Delete(&root.Child(1));
  }
  return true;
}

} // namespace omf
