#pragma once
// The finish step of a procedure as an ordered list of passes. Each pass goes over the whole procedure
// tree before the next one begins, so that a pass sees the tree as every earlier pass left it.
#include <cstddef>
#include <memory>
#include <vector>

#include <omf/model/OutputTree.h>

namespace omf {

class OmFinishPass {
public:
  enum class Verdict { kKeep, kDrop };
  // Parts to place right after the visited one (after its subtree), at its level, in this order.
  using Insertions = std::vector<std::unique_ptr<OmOutputPart>>;

  virtual ~OmFinishPass() = default;
  // Runs once, before the pass visits any part; it may change the tree, whose removal listener hears of
  // every part that goes.
  virtual void Begin(OmOutputTree&) {}
  // Visits one part. A part dropped goes with its subtree, whose parts this pass then does not visit.
  // Parts given in `after` are not visited by this pass, but by every pass that comes after it.
  virtual Verdict Visit(OmOutputPart& part, Insertions& after) = 0;
};

// Runs a list of passes over a tree and remembers how far each got. The parts that passes drop or insert
// leave or join the tree when the pass has visited every part, through the tree's own operations, so
// that whoever listens for removals hears of every part that goes.
class OmFinishPasses {
public:
  void Add(std::unique_ptr<OmFinishPass> pass);
  // Runs the passes in order. A pass that has finished visits nothing again, and one that has not yet
  // begun begins first. When a pass fails, the passes before it have finished and it has visited the
  // nodes before the one it failed on, but the drops and insertions it asked for are lost: the caller
  // replaces the output from some node on and rewinds to that node before running again.
  void Run(OmOutputTree& tree);
  // Every pass visits the nodes from `node` on (again) on the next run; a pass that has not begun still
  // begins first.
  void Rewind(std::size_t node);

private:
  struct Entry {
    std::unique_ptr<OmFinishPass> pass;
    // The first node that the pass has yet to visit; 0 before it begins.
    std::size_t next = 0;
  };
  void RunOne(Entry& entry, OmOutputTree& tree);

  std::vector<Entry> _passes;
};

} // namespace omf
