#include <omf/model/OutputTree.h>

namespace omf {

OmOutputTree::~OmOutputTree() {
  for (std::size_t i = 1; i < Count(); ++i)
    Destroy((*this)[i].value);
}

void OmOutputTree::Destroy(OmOutputPart* part) noexcept {
  if (_listener) _listener->Removing(*part);
  delete part;
}

std::size_t OmOutputTree::Append(std::size_t parent, std::unique_ptr<OmOutputPart> part) {
  const std::size_t node = AppendChild(parent, part.get());
  part.release();
  return node;
}

std::size_t OmOutputTree::InsertAt(std::size_t pos, std::unique_ptr<OmOutputPart> part, int level) {
  const std::size_t node = Insert(pos, part.get(), level);
  part.release();
  return node;
}

void OmOutputTree::Erase(std::size_t node) {
  Destroy(TakeOut(node));
}

std::unique_ptr<OmOutputPart> OmOutputTree::Unlink(std::size_t node) {
  if (_listener) _listener->Removing(*Part(node));
  return std::unique_ptr<OmOutputPart>(TakeOut(node));
}

void OmOutputTree::Prune(std::size_t node) {
  RemoveRange(node, SubtreeEnd(node), [this](OmOutputPart* part) { Destroy(part); });
}

void OmOutputTree::PruneAll(const std::vector<bool>& doomed) {
  RemoveSubtrees(doomed, [this](OmOutputPart* part) { Destroy(part); });
}

void OmOutputTree::Splice(const std::vector<bool>& doomed, std::vector<Insertion>& insertions) {
  std::vector<std::pair<std::size_t, Node>> added;
  added.reserve(insertions.size());
  for (const Insertion& i : insertions)
    added.emplace_back(i.pos, Node{i.part.get(), i.level});
  ListTree::Splice(doomed, added, [this](OmOutputPart* part) { Destroy(part); });
  for (Insertion& i : insertions)
    static_cast<void>(i.part.release());
}

std::size_t OmOutputTree::Amputate(std::size_t node, const OmCellText& text, const std::string& codePage) {
  auto block = std::make_unique<OmTextBlock>(text, codePage);
  // The descendants go in one range; with one of them gone the insertion reuses its room and cannot fail
  // (without any, a failed insertion has changed nothing).
  RemoveRange(node + 1, SubtreeEnd(node), [this](OmOutputPart* part) { Destroy(part); });
  return InsertAt(node + 1, std::move(block), Level(node) + 1);
}

} // namespace omf
