#include "model/OutputTree.h"

OmOutputTree::~OmOutputTree() {
  for (std::size_t i = 0; i < Count(); ++i)
    delete (*this)[i].value;
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
  delete TakeOut(node);
}

std::unique_ptr<OmOutputPart> OmOutputTree::Unlink(std::size_t node) {
  return std::unique_ptr<OmOutputPart>(TakeOut(node));
}

void OmOutputTree::Prune(std::size_t node) {
  for (OmOutputPart* part : TakeSubtree(node))
    delete part;
}

std::size_t OmOutputTree::Amputate(std::size_t node, const OmCellText& text, const std::string& codePage) {
  while (HasChildren(node))
    Prune(node + 1);
  return Append(node, std::make_unique<OmTextBlock>(text, codePage));
}
