#include "model/OutputTree.h"

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

std::size_t OmOutputTree::Amputate(std::size_t node, const OmCellText& text, const std::string& codePage) {
  auto block = std::make_unique<OmTextBlock>(text, codePage);
  // The descendants go in one range; with one of them gone the insertion reuses its room and cannot fail
  // (without any, a failed insertion has changed nothing).
  RemoveRange(node + 1, SubtreeEnd(node), [this](OmOutputPart* part) { Destroy(part); });
  return InsertAt(node + 1, std::move(block), Level(node) + 1);
}
