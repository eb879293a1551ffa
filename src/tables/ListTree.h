#pragma once
// A tree kept as one vector of nodes in pre-order, each node a value and a level (root at level 0).
// The subtree of a node is the node and the nodes after it of greater level; its children are the
// nodes one level deeper within that subtree. Node handles are positions and change when nodes are
// inserted or removed before them.
#include <cassert>
#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

template <class T> class ListTree {
public:
  struct Node {
    T value;
    int level;
  };
  static constexpr std::size_t npos = std::numeric_limits<std::size_t>::max();

  explicit ListTree(T rootValue = T{}) { _nodes.push_back(Node{std::move(rootValue), 0}); }

  std::size_t Count() const { return _nodes.size(); }
  bool Empty() const { return _nodes.size() <= 1; } // only the root
  Node& operator[](std::size_t i) { return _nodes[i]; }
  const Node& operator[](std::size_t i) const { return _nodes[i]; }
  T& Value(std::size_t i) { return _nodes[i].value; }
  const T& Value(std::size_t i) const { return _nodes[i].value; }
  int Level(std::size_t i) const { return _nodes[i].level; }

  // One past the last node of i's subtree.
  std::size_t SubtreeEnd(std::size_t i) const {
    std::size_t j = i + 1;
    while (j < _nodes.size() && _nodes[j].level > _nodes[i].level)
      ++j;
    return j;
  }
  std::size_t Parent(std::size_t i) const {
    if (i == 0 || i >= _nodes.size()) return npos;
    std::size_t j = i;
    while (j-- > 0)
      if (_nodes[j].level < _nodes[i].level) return j;
    return npos;
  }
  std::size_t FirstChild(std::size_t i) const {
    return (i + 1 < _nodes.size() && _nodes[i + 1].level == _nodes[i].level + 1) ? i + 1 : npos;
  }
  // The next node of the same parent, or npos.
  std::size_t NextSibling(std::size_t i) const {
    const std::size_t j = SubtreeEnd(i);
    return (j < _nodes.size() && _nodes[j].level == _nodes[i].level) ? j : npos;
  }
  bool HasChildren(std::size_t i) const { return FirstChild(i) != npos; }
  std::vector<std::size_t> Children(std::size_t i) const {
    std::vector<std::size_t> out;
    for (std::size_t c = FirstChild(i); c != npos; c = NextSibling(c))
      out.push_back(c);
    return out;
  }

  // Inserts a node at position pos with the given level (the caller keeps the pre-order valid).
  std::size_t Insert(std::size_t pos, T value, int level) {
    assert(pos >= 1 && pos <= _nodes.size() && "insertion after the root");
    _nodes.insert(_nodes.begin() + static_cast<std::ptrdiff_t>(pos), Node{std::move(value), level});
    return pos;
  }
  // Appends a node as the last child of parent and returns its position.
  std::size_t AppendChild(std::size_t parent, T value) {
    return Insert(SubtreeEnd(parent), std::move(value), _nodes[parent].level + 1);
  }

  // Removes node i and gives back its value; its descendants move up one level into its place.
  T TakeOut(std::size_t i) {
    assert(i > 0 && "the root stays");
    const std::size_t end = SubtreeEnd(i);
    for (std::size_t j = i + 1; j < end; ++j)
      --_nodes[j].level;
    T value = std::move(_nodes[i].value);
    _nodes.erase(_nodes.begin() + static_cast<std::ptrdiff_t>(i));
    return value;
  }
  // Removes node i with its subtree and gives back their values in pre-order.
  std::vector<T> TakeSubtree(std::size_t i) {
    assert(i > 0 && "the root stays");
    const std::size_t end = SubtreeEnd(i);
    std::vector<T> out;
    out.reserve(end - i);
    for (std::size_t j = i; j < end; ++j)
      out.push_back(std::move(_nodes[j].value));
    _nodes.erase(_nodes.begin() + static_cast<std::ptrdiff_t>(i),
                 _nodes.begin() + static_cast<std::ptrdiff_t>(end));
    return out;
  }
  // Moves the nodes [from, to) of another tree to position pos of this one, shifting their levels by
  // levelShift. The other tree loses them.
  void MoveRangeFrom(ListTree& other, std::size_t from, std::size_t to, std::size_t pos, int levelShift) {
    assert(from >= 1 && from <= to && to <= other._nodes.size());
    std::vector<Node> moved;
    moved.reserve(to - from);
    for (std::size_t j = from; j < to; ++j)
      moved.push_back(Node{std::move(other._nodes[j].value), other._nodes[j].level + levelShift});
    other._nodes.erase(other._nodes.begin() + static_cast<std::ptrdiff_t>(from),
                       other._nodes.begin() + static_cast<std::ptrdiff_t>(to));
    _nodes.insert(_nodes.begin() + static_cast<std::ptrdiff_t>(pos), std::make_move_iterator(moved.begin()),
                  std::make_move_iterator(moved.end()));
  }

private:
  std::vector<Node> _nodes;
};
