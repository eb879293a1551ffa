#include <omf/procedure/FinishPass.h>

#include <algorithm>
#include <limits>

#include <omf/diagnostics/FaultInjection.h>

namespace omf {

namespace {
// The marker of a pass that has visited every node.
constexpr std::size_t kFinished = std::numeric_limits<std::size_t>::max();
} // namespace

void OmFinishPasses::Add(std::unique_ptr<OmFinishPass> pass) {
  _passes.push_back({std::move(pass), 0});
}

void OmFinishPasses::Run(OmOutputTree& tree) {
  for (Entry& entry : _passes)
    RunOne(entry, tree);
}

void OmFinishPasses::Rewind(std::size_t node) {
  for (Entry& entry : _passes)
    entry.next = std::min(entry.next, node);
}

void OmFinishPasses::RunOne(Entry& entry, OmOutputTree& tree) {
  if (entry.next == 0) {
    entry.pass->Begin(tree);
    entry.next = 1;
  }
  // Drops and insertions wait for the end of the pass, so that the tree changes in one sweep however
  // many parts the pass drops or adds.
  std::vector<bool> doomed;
  std::vector<OmOutputTree::Insertion> insertions;
  OmFinishPass::Insertions after;
  const std::size_t count = tree.Count();
  for (std::size_t n = entry.next; n < count; entry.next = n) {
    omf::detail::RunFaultHook(omf::detail::FaultPoint::kFinishPart);
    const bool drop = entry.pass->Visit(*tree.Part(n), after) == OmFinishPass::Verdict::kDrop;
    const std::size_t end = drop || !after.empty() ? tree.SubtreeEnd(n) : n + 1;
    for (auto& part : after)
      insertions.push_back({end, tree.Level(n), std::move(part)});
    after.clear();
    if (drop) {
      doomed.resize(count, false);
      doomed[n] = true;
    }
    n = drop ? end : n + 1;
  }
  entry.next = kFinished;
  if (doomed.empty() && insertions.empty()) return;
  doomed.resize(count, false);
  // Parts inserted after a part and after one of its last descendants meet at one position: the
  // descendant's, which are deeper, go first.
  std::stable_sort(insertions.begin(), insertions.end(), [](const auto& a, const auto& b) {
    return a.pos != b.pos ? a.pos < b.pos : a.level > b.level;
  });
  tree.Splice(doomed, insertions);
}

} // namespace omf
