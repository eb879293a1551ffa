#pragma once
// The output tree: parts in pre-order with levels under a root at level 0. The tree owns its parts.
#include <memory>
#include <string>
#include <vector>

#include <omf/model/OutputPart.h>
#include <omf/tables/ListTree.h>

namespace omf {

class OmOutputTree : public ListTree<OmOutputPart*> {
public:
  // Told of every part that the tree destroys or gives away, just before, while the part is whole, so
  // that whoever keeps a pointer to it lets go. Parts moved to another tree are not removals.
  class RemovalListener {
  public:
    virtual ~RemovalListener() = default;
    virtual void Removing(const OmOutputPart& part) noexcept = 0;
  };

  OmOutputTree() = default;
  virtual ~OmOutputTree();
  OmOutputTree(const OmOutputTree&) = delete;
  OmOutputTree& operator=(const OmOutputTree&) = delete;

  // One listener at most; null removes it. The listener must outlive the tree or be removed first.
  void SetRemovalListener(RemovalListener* listener) { _listener = listener; }

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
  // Removes, in one pass, every node flagged in `doomed` (one flag per node) with its subtree, and
  // destroys their parts.
  void PruneAll(const std::vector<bool>& doomed);
  // A part to insert before the node at `pos` (the node count for the end), with its level.
  struct Insertion {
    std::size_t pos;
    int level;
    std::unique_ptr<OmOutputPart> part;
  };
  // In one pass, removes every node flagged in `doomed` (one flag per node) with its subtree, destroying
  // their parts, and inserts the parts of `insertions`, which the tree then owns. Positions and flags
  // refer to the tree as it stands; insertions are ordered by position, those at one position go in
  // their order, and the caller keeps the pre-order valid. When an allocation fails, the tree is as it
  // was and the insertions keep their parts.
  void Splice(const std::vector<bool>& doomed, std::vector<Insertion>& insertions);
  // Replaces the node's descendants by one text block titled by the text and returns its node. When
  // making the block fails, the tree is as it was.
  std::size_t Amputate(std::size_t node, const OmCellText& text, const std::string& codePage);

private:
  void Destroy(OmOutputPart* part) noexcept;

  RemovalListener* _listener = nullptr;
};

} // namespace omf
