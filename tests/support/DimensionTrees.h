#pragma once
// Dimension trees for tests, written as nested lists: Group("N", {Leaf("Valid"), Leaf("Missing")}).
// Leaves take the next free subscript of their dimension in the order they are written.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <omf/model/PivotTable.h>

namespace omf {

struct TreeSpec {
  std::shared_ptr<const OmCellText> label;
  std::vector<TreeSpec> children;
  bool group = false;
  std::int32_t sortMode = OmDimensionNode::kSortNone;
};

inline std::shared_ptr<const OmCellText> Shared(OmCellText* text) {
  return std::shared_ptr<const OmCellText>(text, OmCellTextDeleter());
}
inline TreeSpec Leaf(std::shared_ptr<const OmCellText> label) {
  return {std::move(label), {}, false};
}
inline TreeSpec Leaf(const std::string& label) {
  return Leaf(Shared(new OmStringCell(label)));
}
inline TreeSpec Group(std::shared_ptr<const OmCellText> label, std::vector<TreeSpec> children) {
  return {std::move(label), std::move(children), true};
}
inline TreeSpec Group(const std::string& label, std::vector<TreeSpec> children) {
  return Group(Shared(new OmStringCell(label)), std::move(children));
}

inline TreeSpec WithSortMode(TreeSpec spec, std::int32_t mode) {
  spec.sortMode = mode;
  return spec;
}

inline void Grow(OmDimension& dimension, OmDimensionNode& parent, const std::vector<TreeSpec>& specs) {
  for (const TreeSpec& spec : specs) {
    OmDimensionNode* node =
        dimension.Child(&parent, *spec.label, spec.group ? -1 : dimension.Size(), spec.group);
    node->SetSortMode(spec.sortMode);
    Grow(dimension, *node, spec.children);
  }
}

inline int AddDimension(OmPivotTable& table, const OmCellText& label, const std::vector<TreeSpec>& specs) {
  const int d = table.AddDimension(label);
  Grow(table.Dimension(d), table.Dimension(d).Root(), specs);
  return d;
}
inline int AddDimension(OmPivotTable& table, const std::string& label, const std::vector<TreeSpec>& specs) {
  return AddDimension(table, OmStringCell(label), specs);
}

// The labels of a node's children as shown, in display order.
inline std::vector<std::string> ChildLabels(const OmDimensionNode& node) {
  std::vector<std::string> labels;
  for (std::size_t i = 0; i < node.ChildCount(); ++i)
    labels.push_back(node.Child(i).Label().AsString());
  return labels;
}

inline std::unique_ptr<OmPivotTable> EmptyTable() {
  return std::make_unique<OmPivotTable>(OmStringCell("Table"), OmStringCell("Table"), false);
}

} // namespace omf
