#pragma once
// A tree kept as one vector of nodes in pre-order, each node a value and a level (root at level 0).
// The subtree of a node is the node and the nodes after it of greater level; its children are the
// nodes one level deeper within that subtree. Node handles are positions and change when nodes are
// inserted or removed before them.
#include <algorithm>
#include <cassert>
#include <cstddef>
#include <iterator>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

namespace omf {

template <class T> class ListTree {
  // Moving values must not throw, so that the operations below that reserve first can promise to leave
  // both trees as they were when they fail.
  static_assert(std::is_nothrow_move_constructible_v<T> && std::is_nothrow_move_assignable_v<T>);

public:
  struct Node {
    T value;
    int level;
  };
  static constexpr std::size_t npos = std::numeric_limits<std::size_t>::max();

  explicit ListTree(T rootValue = T{}) { _nodes.push_back(Node{std::move(rootValue), 0}); }

  std::size_t Count() const { return _nodes.size(); }
  bool Empty() const { return _nodes.size() <= 1; } // only the root
  // Levels change only through the operations below, which keep the count of top nodes.
  const Node& operator[](std::size_t i) const { return _nodes[i]; }
  T& Value(std::size_t i) { return _nodes[i].value; }
  const T& Value(std::size_t i) const { return _nodes[i].value; }
  int Level(std::size_t i) const { return _nodes[i].level; }

  // One past the last node of i's subtree. Without a scan for the root, and for a top node that is the
  // only one (a document node that holds everything): the case of every graft into a caller's tree.
  std::size_t SubtreeEnd(std::size_t i) const {
    if (i == 0 || (_nodes[i].level == 1 && _topNodes == 1)) return _nodes.size();
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
    if (level == 1) ++_topNodes;
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
    if (_nodes[i].level == 1) --_topNodes;
    for (std::size_t j = i + 1; j < end; ++j)
      if (--_nodes[j].level == 1) ++_topNodes;
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
    for (std::size_t j = i; j < end; ++j) {
      if (_nodes[j].level == 1) --_topNodes;
      out.push_back(std::move(_nodes[j].value));
    }
    _nodes.erase(_nodes.begin() + static_cast<std::ptrdiff_t>(i),
                 _nodes.begin() + static_cast<std::ptrdiff_t>(end));
    return out;
  }
  // Moves the nodes [from, to) of another tree to position pos of this one, shifting their levels by
  // levelShift. The other tree loses them. The one allocation comes first: when it fails, neither tree
  // has changed.
  void MoveRangeFrom(ListTree& other, std::size_t from, std::size_t to, std::size_t pos, int levelShift) {
    assert(from >= 1 && from <= to && to <= other._nodes.size() && &other != this);
    assert(pos >= 1 && pos <= _nodes.size());
    const std::size_t n = to - from;
    if (_nodes.capacity() - _nodes.size() < n) {
      std::vector<Node> grown;
      grown.reserve(_nodes.size() + std::max(n, _nodes.size()));
      grown.insert(grown.end(), std::make_move_iterator(_nodes.begin()),
                   std::make_move_iterator(_nodes.end()));
      _nodes.swap(grown);
    }
    const auto at = _nodes.begin() + static_cast<std::ptrdiff_t>(pos);
    const auto first = other._nodes.begin() + static_cast<std::ptrdiff_t>(from);
    const auto last = other._nodes.begin() + static_cast<std::ptrdiff_t>(to);
    _nodes.insert(at, std::make_move_iterator(first), std::make_move_iterator(last));
    for (std::size_t j = pos; j < pos + n; ++j) {
      if (_nodes[j].level == 1) --other._topNodes;
      if ((_nodes[j].level += levelShift) == 1) ++_topNodes;
    }
    other._nodes.erase(first, last);
  }

  // Removes the nodes [from, to) after handing each value to dispose, in order; the caller keeps the
  // pre-order valid. Nothing is allocated.
  template <class Dispose> void RemoveRange(std::size_t from, std::size_t to, Dispose dispose) {
    assert(from >= 1 && from <= to && to <= _nodes.size() && "the root stays");
    for (std::size_t j = from; j < to; ++j) {
      if (_nodes[j].level == 1) --_topNodes;
      dispose(_nodes[j].value);
    }
    _nodes.erase(_nodes.begin() + static_cast<std::ptrdiff_t>(from),
                 _nodes.begin() + static_cast<std::ptrdiff_t>(to));
  }
  // Removes, in one pass, every node whose flag in `doomed` (one per node) is set, together with its
  // subtree, handing each removed value to dispose in pre-order. Nothing is allocated.
  template <class Dispose> void RemoveSubtrees(const std::vector<bool>& doomed, Dispose dispose) {
    assert(doomed.size() == _nodes.size() && !doomed[0] && "the root stays");
    std::size_t write = 1;
    for (std::size_t i = 1; i < _nodes.size();) {
      if (!doomed[i]) {
        if (write != i) _nodes[write] = std::move(_nodes[i]);
        ++write;
        ++i;
        continue;
      }
      const int level = _nodes[i].level;
      do {
        if (_nodes[i].level == 1) --_topNodes;
        dispose(_nodes[i++].value);
      } while (i < _nodes.size() && _nodes[i].level > level);
    }
    _nodes.erase(_nodes.begin() + static_cast<std::ptrdiff_t>(write), _nodes.end());
  }
  // In one pass, removes every node flagged in `doomed` (one flag per node) with its subtree, handing
  // each removed value to dispose in pre-order, and inserts the nodes of `added` before the nodes at
  // their positions (the node count for the end), taking their values. Positions and flags refer to the
  // tree as it stands; `added` is ordered by position, nodes at one position go in their order, and
  // one that falls inside a removed subtree goes where the subtree was. The caller keeps the pre-order
  // valid. The one allocation comes first: when it fails, nothing has changed.
  template <class Dispose>
  void Splice(const std::vector<bool>& doomed, std::vector<std::pair<std::size_t, Node>>& added,
              Dispose dispose) {
    assert(doomed.size() == _nodes.size() && !doomed[0] && "the root stays");
    std::vector<Node> next;
    next.reserve(_nodes.size() + added.size());
    next.push_back(std::move(_nodes[0]));
    std::size_t top = 0;
    const auto keep = [&next, &top](Node&& node) {
      top += node.level == 1 ? 1 : 0;
      next.push_back(std::move(node));
    };
    auto a = added.begin();
    for (std::size_t i = 1;;) {
      for (; a != added.end() && a->first <= i; ++a)
        keep(std::move(a->second));
      if (i == _nodes.size()) break;
      if (!doomed[i]) {
        keep(std::move(_nodes[i++]));
        continue;
      }
      const int level = _nodes[i].level;
      do {
        dispose(_nodes[i++].value);
      } while (i < _nodes.size() && _nodes[i].level > level);
    }
    _nodes.swap(next);
    _topNodes = top;
  }
  // Puts the nodes in a new order with new levels: entry k names the present position of the node that
  // goes to position k + 1, and its level there. Every node but the root is named once; the caller keeps
  // the pre-order valid. When the one allocation fails, nothing has changed.
  void Rearrange(const std::vector<std::pair<std::size_t, int>>& order) {
    assert(order.size() + 1 == _nodes.size());
    std::vector<Node> next;
    next.reserve(_nodes.size());
    next.push_back(std::move(_nodes[0]));
    std::size_t top = 0;
    for (const auto& [at, level] : order) {
      assert(at >= 1 && at < _nodes.size());
      next.push_back(Node{std::move(_nodes[at].value), level});
      top += level == 1 ? 1 : 0;
    }
    _nodes.swap(next);
    _topNodes = top;
  }

private:
  std::vector<Node> _nodes;
  std::size_t _topNodes = 0; // nodes of level 1
};

} // namespace omf
