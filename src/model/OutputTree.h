#pragma once
// The output tree: parts in pre-order with levels under a root at level 0. The tree owns its parts.
#include <memory>
#include <string>

#include "model/OutputPart.h"
#include "tables/ListTree.h"

class OmOutputTree : public ListTree<OmOutputPart*> {
public:
  OmOutputTree() = default;
  virtual ~OmOutputTree();
  OmOutputTree(const OmOutputTree&) = delete;
  OmOutputTree& operator=(const OmOutputTree&) = delete;

  OmOutputPart* Part(std::size_t node) const { return (*this)[node].value; }

  // Adds a part as the last child of parent; returns its node.
  std::size_t Append(std::size_t parent, std::unique_ptr<OmOutputPart> part);
  // Adds a part at a position with a level (the caller keeps the pre-order valid).
  std::size_t InsertAt(std::size_t pos, std::unique_ptr<OmOutputPart> part, int level);
  // Removes one node and destroys its part; its descendants move up one level into its place.
  void Erase(std::size_t node);
  // Removes one node without destroying its part, which the caller now owns; descendants move up.
  std::unique_ptr<OmOutputPart> Unlink(std::size_t node);
  // Removes a node with its subtree and destroys their parts.
  void Prune(std::size_t node);
  // Replaces the node's descendants by one text block titled by the text and returns its node.
  std::size_t Amputate(std::size_t node, const OmCellText& text, const std::string& codePage);
};
