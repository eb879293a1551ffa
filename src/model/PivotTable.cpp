#include <omf/model/PivotTable.h>

#include <unordered_set>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <unordered_set>

#include <omf/platform/strings/PlatformStrings.h>

namespace omf {

namespace {

std::size_t Mix(std::size_t h, std::size_t v) {
  return h ^ (v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
}

// Labels compare NaN equal to NaN whatever its bits, and 0 equal to -0: each hashes as one value.
std::size_t HashDouble(double v) {
  if (std::isnan(v)) return 0x7FF8;
  return std::hash<double>{}(v == 0.0 ? 0.0 : v);
}

std::size_t HashText(const OmCellText& t);

// Arguments compare as a tree: texts by Compare, repeat lists by length and then item by item.
std::size_t HashArguments(std::size_t h, const std::vector<OmComposite::Node>& nodes) {
  h = Mix(h, nodes.size());
  for (const OmComposite::Node& n : nodes)
    h = n.text ? Mix(h, HashText(*n.text)) : HashArguments(Mix(h, 1), n.children);
  return h;
}

// Label equality, with plain strings (most labels) compared without the general text comparison.
bool SameLabel(const OmCellText& a, const OmCellText& b) {
  if (a.OrderCode() == OmCellText::kOrderString && b.OrderCode() == OmCellText::kOrderString)
    return static_cast<const OmStringCell&>(a).Text() == static_cast<const OmStringCell&>(b).Text();
  return a.Equals(b);
}

// A hash that agrees with label equality: texts that compare equal hash alike.
std::size_t HashText(const OmCellText& t) {
  std::size_t h = static_cast<std::size_t>(t.OrderCode());
  const std::hash<std::string> hs;
  switch (t.OrderCode()) {
  case OmCellText::kOrderNumber:
    return Mix(h, HashDouble(static_cast<const OmNumber&>(t).Value()));
  case OmCellText::kOrderString:
    return Mix(h, hs(static_cast<const OmStringCell&>(t).Text()));
  case OmCellText::kOrderVariable: {
    const auto& v = static_cast<const OmVariable&>(t);
    return Mix(Mix(h, hs(v.Name())), hs(v.Label()));
  }
  case OmCellText::kOrderNumDataValue: {
    const auto& v = static_cast<const OmNumDataValue&>(t);
    return Mix(Mix(h, hs(v.VariableName())), HashDouble(v.Value()));
  }
  case OmCellText::kOrderStringDataValue: {
    const auto& v = static_cast<const OmStringDataValue&>(t);
    return Mix(Mix(h, hs(v.VariableName())), hs(v.Value()));
  }
  case OmCellText::kOrderComposite: {
    // Composites of one template differ by their arguments (footnotes such as "^1 cases" come in many).
    const auto& c = static_cast<const OmComposite&>(t);
    return HashArguments(Mix(h, HashText(c.Template())), c.Arguments());
  }
  default:
    return h;
  }
}

} // namespace

// Child indexes by a hash of their labels: open addressing over one flat array of (hash tag, child + 1)
// words, so that a lookup in a dimension of thousands of categories touches a cache line or two.
class OmLabelIndex {
public:
  explicit OmLabelIndex(std::size_t children) {
    std::size_t slots = 16;
    while (slots < children * 2)
      slots *= 2;
    _slots.assign(slots, 0);
  }
  void Insert(std::size_t hash, std::uint32_t child) {
    if ((_count + 1) * 2 > _slots.size()) Grow();
    Place(Tag(hash), child);
    ++_count;
  }
  // Calls found(child) for every child entered under a hash with the same tag.
  template <class Found> void Find(std::size_t hash, Found&& found) const {
    const std::uint64_t tag = Tag(hash);
    const std::size_t mask = _slots.size() - 1;
    for (std::size_t s = static_cast<std::size_t>(tag) & mask;; s = (s + 1) & mask) {
      const std::uint64_t e = _slots[s];
      if (e == 0) return;
      if ((e >> 32) == (tag & 0xFFFFFFFFu)) found(static_cast<std::uint32_t>(e & 0xFFFFFFFFu) - 1);
    }
  }

private:
  static std::uint64_t Tag(std::size_t hash) { return Mix(hash, 0x9E3779B97F4A7C15ull) & 0xFFFFFFFFu; }
  void Place(std::uint64_t tag, std::uint32_t child) {
    const std::size_t mask = _slots.size() - 1;
    std::size_t s = static_cast<std::size_t>(tag) & mask;
    while (_slots[s] != 0)
      s = (s + 1) & mask;
    _slots[s] = (tag << 32) | (std::uint64_t{child} + 1);
  }
  void Grow() {
    std::vector<std::uint64_t> old(_slots.size() * 2, 0);
    old.swap(_slots);
    for (std::uint64_t e : old)
      if (e != 0) Place(e >> 32, static_cast<std::uint32_t>(e & 0xFFFFFFFFu) - 1);
  }
  std::vector<std::uint64_t> _slots;
  std::size_t _count = 0;
};

namespace {

// Child lists shorter than this are searched by a scan; longer ones through the label index.
constexpr std::size_t kIndexThreshold = 16;

bool IsValueLike(const OmCellText& t) {
  return t.OrderCode() == OmCellText::kOrderNumber || t.OrderCode() == OmCellText::kOrderNumDataValue;
}

double ValueOf(const OmCellText& t) {
  return t.OrderCode() == OmCellText::kOrderNumber ? static_cast<const OmNumber&>(t).Value()
                                                   : static_cast<const OmNumDataValue&>(t).Value();
}

// Subscripts of neighbouring cells differ in their last place, and the back end sends cells in that
// order. The hash keeps a row's cells in neighbouring slots, so that filling and reading a large table
// walks memory in order; rows start at multiples of a golden-ratio constant, which spreads their runs
// evenly over the index instead of letting them pile onto each other.
std::size_t HashKey(const int* key, std::size_t width) {
  std::size_t h = 0;
  for (std::size_t i = 0; i < width; ++i)
    h = h * 0x9E3779B97F4A7C15ULL + static_cast<std::uint32_t>(key[i]);
  return h;
}

bool SameKey(const int* a, const int* b, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// The tree walks below keep a stack of their own rather than recursing, so that the depth of a tree
// costs no call depth.

void CopyTree(const OmDimensionNode& from, OmDimensionNode& to, OmDimension& dim) {
  std::vector<std::pair<const OmDimensionNode*, OmDimensionNode*>> pending{{&from, &to}};
  while (!pending.empty()) {
    const auto [source, target] = pending.back();
    pending.pop_back();
    for (const auto& child : source->Children()) {
      OmDimensionNode* made = dim.Child(target, child->Label(), child->Subscript(), child->IsGroup());
      made->SetSortMode(child->SortMode());
      made->SetMark(child->Mark());
      made->SetSecondFlag(child->SecondFlag());
      pending.emplace_back(child.get(), made);
    }
  }
}

// Subscripts of the node and everything below it, in no particular order.
void CollectSubscripts(const OmDimensionNode& node, std::vector<int>& out) {
  std::vector<const OmDimensionNode*> pending{&node};
  while (!pending.empty()) {
    const OmDimensionNode* n = pending.back();
    pending.pop_back();
    if (n->Subscript() != OmDimensionNode::kNoSubscript) out.push_back(n->Subscript());
    for (const auto& child : n->Children())
      pending.push_back(child.get());
  }
}

// Categories below the node in display order: depth first, children in order.
void CollectCategories(const OmDimensionNode& node, std::vector<const OmDimensionNode*>& out) {
  std::vector<const OmDimensionNode*> pending;
  const auto pushChildren = [&pending](const OmDimensionNode& n) {
    for (auto it = n.Children().rbegin(); it != n.Children().rend(); ++it)
      pending.push_back(it->get());
  };
  pushChildren(node);
  while (!pending.empty()) {
    const OmDimensionNode* n = pending.back();
    pending.pop_back();
    if (n->IsGroup())
      pushChildren(*n);
    else
      out.push_back(n);
  }
}

} // namespace

// ---- OmDimensionNode ------------------------------------------------------------------------------------

OmDimensionNode::OmDimensionNode(OmCellTextPtr label, int subscript, bool group, OmDimensionNode* parent,
                                 OmDimension* dimension)
    : _label(std::move(label)), _parent(parent), _dimension(dimension), _subscript(subscript), _group(group) {
}

OmDimensionNode::~OmDimensionNode() {
  // Destroys the subtree from a list of its own instead of through nested destructors.
  std::vector<std::unique_ptr<OmDimensionNode>> pending = std::move(_children);
  while (!pending.empty()) {
    std::unique_ptr<OmDimensionNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->_children)
      pending.push_back(std::move(child));
    node->_children.clear();
  }
}

void OmDimensionNode::SetLabel(OmCellTextPtr label) {
  _label = std::move(label);
  if (_parent) _parent->_indexDirty = true;
}

bool OmDimensionNode::operator<(const OmDimensionNode& other) const {
  const OmCellText& a = *_label;
  const OmCellText& b = *other._label;
  const bool an = IsValueLike(a), bn = IsValueLike(b);
  if (an && bn) {
    // NaN stands after every number (and level with another NaN), so that the order stays strict and
    // weak: a plain < would make NaN level with every number.
    const double x = ValueOf(a), y = ValueOf(b);
    if (std::isnan(x) || std::isnan(y)) return !std::isnan(x) && std::isnan(y);
    return x < y;
  }
  if (an != bn) return an; // values before texts
  const std::string locale = _dimension && _dimension->Table() ? _dimension->Table()->TableLocale() : "";
  if (a.OrderCode() == OmCellText::kOrderStringDataValue &&
      b.OrderCode() == OmCellText::kOrderStringDataValue)
    return omf::platform::Collate(locale, static_cast<const OmStringDataValue&>(a).Value(),
                                  static_cast<const OmStringDataValue&>(b).Value()) < 0;
  return omf::platform::Collate(locale, a.AsString(), b.AsString()) < 0;
}

// ---- OmDimension ----------------------------------------------------------------------------------------

OmDimension::OmDimension(OmPivotTable* table, OmCellTextPtr label)
    : _table(table), _root(std::make_unique<OmDimensionNode>(std::move(label), OmDimensionNode::kNoSubscript,
                                                             true, nullptr, this)) {}

void OmDimension::NoteSubscript(int subscript) {
  if (subscript >= _size) _size = subscript + 1;
}

OmDimensionNode* OmDimension::Child(OmDimensionNode* parent, const OmCellText& label, int subscript,
                                    bool group) {
  if (group) subscript = OmDimensionNode::kNoSubscript;
  auto node = std::make_unique<OmDimensionNode>(CloneText(label), subscript, group, parent, this);
  OmDimensionNode* made = node.get();
  const auto index = static_cast<std::uint32_t>(parent->_children.size());
  parent->_children.push_back(std::move(node));
  parent->_group = true;
  if (parent->_index && !parent->_indexDirty) {
    const std::size_t hash = HashText(made->Label());
    if (parent->_labelsUnique && IndexedMatch(*parent, hash, made->Label(), group) >= 0)
      parent->_labelsUnique = false;
    parent->_index->Insert(hash, index);
  }
  if (subscript != OmDimensionNode::kNoSubscript) {
    NoteSubscript(subscript);
    if (_table) _table->Revive(*this, subscript);
  }
  return made;
}

int OmDimension::FindChild(const OmDimensionNode* parent, const OmCellText& label, bool group) const {
  const auto& kids = parent->_children;
  if (kids.size() < kIndexThreshold) {
    for (std::size_t i = 0; i < kids.size(); ++i)
      if (kids[i]->_group == group && kids[i]->_label->Equals(label)) return static_cast<int>(i);
    return -1;
  }
  auto* p = const_cast<OmDimensionNode*>(parent);
  if (!p->_index || p->_indexDirty) {
    p->_index = std::make_unique<OmLabelIndex>(kids.size());
    p->_labelsUnique = true;
    for (std::size_t i = 0; i < kids.size(); ++i) {
      const std::size_t hash = HashText(*kids[i]->_label);
      if (p->_labelsUnique && IndexedMatch(*p, hash, *kids[i]->_label, kids[i]->_group) >= 0)
        p->_labelsUnique = false;
      p->_index->Insert(hash, static_cast<std::uint32_t>(i));
    }
    p->_indexDirty = false;
  }
  // Categories mostly come again in the order they first came (each row of a crosstab names its columns
  // in turn), so the child after the one found last, and that one, are tried before hashing. A match there is
  // the first one only when labels are unique.
  if (p->_labelsUnique)
    for (const std::uint32_t guess : {p->_lastFound + 1, p->_lastFound})
      if (guess < kids.size() && kids[guess]->_group == group && SameLabel(*kids[guess]->_label, label)) {
        p->_lastFound = guess;
        return static_cast<int>(guess);
      }
  const int found = IndexedMatch(*p, HashText(label), label, group);
  if (found >= 0) p->_lastFound = static_cast<std::uint32_t>(found);
  return found;
}

int OmDimension::IndexedMatch(const OmDimensionNode& parent, std::size_t hash, const OmCellText& label,
                              bool group) {
  int found = -1;
  parent._index->Find(hash, [&](std::uint32_t i) {
    const OmDimensionNode& k = *parent._children[i];
    if (k._group == group && k._label->Equals(label) && (found < 0 || static_cast<int>(i) < found))
      found = static_cast<int>(i);
  });
  return found;
}

void OmDimension::Delete(OmDimensionNode* node) {
  assert(node && node->_parent && "the root of a dimension cannot be deleted");
  std::vector<int> subscripts;
  CollectSubscripts(*node, subscripts);
  OmDimensionNode* parent = node->_parent;
  auto& kids = parent->_children;
  kids.erase(std::remove_if(kids.begin(), kids.end(), [node](const auto& k) { return k.get() == node; }),
             kids.end());
  parent->_indexDirty = true;
  if (_table && !subscripts.empty()) _table->Kill(*this, subscripts);
}

void OmDimension::Delete(const std::vector<OmDimensionNode*>& nodes) {
  if (nodes.empty()) return;
  std::vector<int> subscripts;
  std::unordered_set<const OmDimensionNode*> doomed;
  std::vector<OmDimensionNode*> parents;
  for (OmDimensionNode* node : nodes) {
    assert(node && node->_parent && "the root of a dimension cannot be deleted");
    CollectSubscripts(*node, subscripts);
    doomed.insert(node);
    parents.push_back(node->_parent);
  }
  std::sort(parents.begin(), parents.end());
  parents.erase(std::unique(parents.begin(), parents.end()), parents.end());
  for (OmDimensionNode* parent : parents) {
    auto& kids = parent->_children;
    kids.erase(
        std::remove_if(kids.begin(), kids.end(), [&](const auto& k) { return doomed.count(k.get()) != 0; }),
        kids.end());
    parent->_indexDirty = true;
  }
  if (_table && !subscripts.empty()) _table->Kill(*this, subscripts);
}

OmDimensionNode* OmDimension::Counterpart(const OmDimensionNode* other) const {
  std::vector<std::size_t> path;
  for (const OmDimensionNode* n = other; n && n->_parent; n = n->_parent) {
    const auto& kids = n->_parent->_children;
    const auto it = std::find_if(kids.begin(), kids.end(), [n](const auto& k) { return k.get() == n; });
    if (it == kids.end()) return nullptr;
    path.push_back(static_cast<std::size_t>(it - kids.begin()));
  }
  OmDimensionNode* at = _root.get();
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    if (*it >= at->_children.size()) return nullptr;
    at = at->_children[*it].get();
  }
  return at;
}

std::vector<const OmDimensionNode*> OmDimension::Categories() const {
  std::vector<const OmDimensionNode*> out;
  CollectCategories(*_root, out);
  return out;
}

// ---- PuppetVector ---------------------------------------------------------------------------------------

template <class T> bool PuppetVector<T>::RemoveFirst(T value) {
  const auto it = std::find(_items.begin(), _items.end(), value);
  if (it == _items.end()) return false;
  _items.erase(it);
  return true;
}

template <class T> std::vector<T> PuppetVector<T>::Placed() const {
  std::vector<T> out;
  for (T v : _items)
    if (v != _fill) out.push_back(v);
  return out;
}

template class PuppetVector<short>;

// ---- OmPivotTable ---------------------------------------------------------------------------------------

OmPivotTable::OmPivotTable(const OmCellText& title, const OmCellText& subtype, bool splits)
    : OmOutputPart(title), _subtype(CloneText(subtype)), _tableTitle(CloneText(title)), _splits(splits) {}

OmPivotTable::~OmPivotTable() {
  for (OmCellText* c : _cells)
    OmMemoryRegion::Release(c);
}

bool OmPivotTable::IsNotes() const {
  return _subtype->AsString() == "Notes";
}
bool OmPivotTable::IsWarnings() const {
  return _subtype->AsString() == "Warnings";
}

int OmPivotTable::AddDimension(const OmCellText& label) {
  _dims.push_back(std::make_unique<OmDimension>(this, CloneText(label)));
  _dead.emplace_back();
  _dense.AddDimension();
  if (_cellCount != 0) WidenKeys();
  return static_cast<int>(_dims.size()) - 1;
}

int OmPivotTable::FindDimension(const OmCellText& label) const {
  for (std::size_t d = 0; d < _dims.size(); ++d)
    if (_dims[d]->Label().Equals(label)) return static_cast<int>(d);
  return -1;
}

std::vector<int> OmPivotTable::SizeVector() const {
  std::vector<int> sizes;
  sizes.reserve(_dims.size());
  for (const auto& d : _dims)
    sizes.push_back(d->Size());
  return sizes;
}

void OmPivotTable::CopyDimensions(const OmPivotTable& other) {
  for (const auto& src : other._dims)
    AddDimension(*src);
}

int OmPivotTable::AddDimension(const OmDimension& src) {
  const int d = AddDimension(src.Label());
  OmDimension& dim = *_dims[static_cast<std::size_t>(d)];
  dim.Root().SetSortMode(src.Root().SortMode());
  dim.Root().SetMark(src.Root().Mark());
  dim.Root().SetSecondFlag(src.Root().SecondFlag());
  dim._option = src._option;
  CopyTree(src.Root(), dim.Root(), dim);
  dim._size = std::max(dim._size, src._size);
  return d;
}

void OmPivotTable::Scratch() {
  for (OmCellText* c : _cells)
    OmMemoryRegion::Release(c);
  _cells.clear();
  _keys.clear();
  _slots.clear();
  _cellCount = 0;
  _keyWidth = 0;
  _dense.Clear();
  _dims.clear();
  _dead.clear();
  _pendingKills = false;
  _rows.Items().clear();
  _columns.Items().clear();
  _layers.Items().clear();
  _footnotes.clear();
  _footnoteIndex.clear();
  _footnoteIndexStale = false;
  _caption.reset();
  _corner.reset();
  _scratched = true;
}

namespace {

bool SameFootnote(const OmFootnote& a, const OmFootnote& b) {
  const bool sameMarker = (!a.marker && !b.marker) || (a.marker && b.marker && a.marker->Equals(*b.marker));
  return sameMarker && a.text && b.text && a.text->Equals(*b.text);
}

std::size_t HashFootnote(const OmFootnote& f) {
  return Mix(HashText(*f.text), f.marker ? HashText(*f.marker) : 0);
}

} // namespace

int OmPivotTable::FindFootnote(const OmFootnote& footnote, std::size_t hash) const {
  const auto range = _footnoteIndex.equal_range(hash);
  for (auto it = range.first; it != range.second; ++it)
    if (SameFootnote(_footnotes[static_cast<std::size_t>(it->second)], footnote)) return it->second;
  return -1;
}

int OmPivotTable::Footnote(const OmFootnote& footnote, bool forceNew) {
  if (_footnoteIndexStale) {
    _footnoteIndex.clear();
    for (std::size_t i = 0; i < _footnotes.size(); ++i) {
      const OmFootnote& f = _footnotes[i];
      if (!f.text) continue;
      const std::size_t h = HashFootnote(f);
      if (FindFootnote(f, h) < 0) _footnoteIndex.emplace(h, static_cast<int>(i));
    }
    _footnoteIndexStale = false;
  }
  const std::size_t hash = footnote.text ? HashFootnote(footnote) : 0;
  const int equal = footnote.text ? FindFootnote(footnote, hash) : -1;
  if (equal >= 0 && !forceNew) {
    ++_footnotes[static_cast<std::size_t>(equal)].references;
    return equal;
  }
  // Footnote indexes are ints: no table that fits in memory gets near this, but an index must never
  // wrap.
  if (_footnotes.size() >= static_cast<std::size_t>(kMaxFootnotes))
    throw OmLimitError("footnote: a table holds at most " + std::to_string(kMaxFootnotes) + " footnotes");
  const int index = static_cast<int>(_footnotes.size());
  OmFootnote copy(footnote);
  copy.index = index;
  copy.references = 1;
  _footnotes.push_back(std::move(copy));
  if (footnote.text && equal < 0) _footnoteIndex.emplace(hash, index);
  return index;
}

void OmPivotTable::RemovedFootnotes(bool removed) {
  if (removed) ++_removedFootnotes;
}

// ---- cell storage ---------------------------------------------------------------------------------------
//
// Cells live in flat arrays (subscripts and text pointers, one entry per stored cell) with an
// open-addressing index of entry numbers, so a million cells cost a few dozen bytes each beyond their
// texts. Deleting categories only marks their subscripts dead; the cells under them are swept out once,
// before the storage is next used, so that removing many categories in a row costs one pass.

std::vector<int> OmPivotTable::KeyOf(const std::vector<int>& at) const {
  std::vector<int> key(_dims.size(), 0);
  std::copy_n(at.begin(), std::min(at.size(), key.size()), key.begin());
  return key;
}

std::size_t OmPivotTable::FindEntry(const int* key) const {
  if (_slots.empty()) return npos;
  const std::size_t mask = _slots.size() - 1;
  for (std::size_t s = HashKey(key, _keyWidth) & mask;; s = (s + 1) & mask) {
    const std::uint32_t e = _slots[s];
    if (e == 0) return npos;
    if (SameKey(key, (_keys.data() + ((e - 1) * _keyWidth)), _keyWidth)) return e - 1;
  }
}

namespace {
// The index of `count` keys of `width` ints over `slots` slots (a power of two).
std::vector<std::uint32_t> IndexKeys(const int* keys, std::size_t width, std::size_t count,
                                     std::size_t slots) {
  std::vector<std::uint32_t> index(slots, 0);
  const std::size_t mask = slots - 1;
  for (std::size_t e = 0; e < count; ++e) {
    std::size_t s = HashKey(keys + (e * width), width) & mask;
    while (index[s] != 0)
      s = (s + 1) & mask;
    index[s] = static_cast<std::uint32_t>(e + 1);
  }
  return index;
}
} // namespace

// Both build the new arrays before they change the table, so running out of memory leaves it whole.
void OmPivotTable::Rehash(std::size_t slots) {
  _slots = IndexKeys(_keys.data(), _keyWidth, _cellCount, slots);
}

void OmPivotTable::WidenKeys() {
  const std::size_t width = _dims.size();
  std::vector<int> keys(_cellCount * width, 0);
  for (std::size_t e = 0; e < _cellCount; ++e)
    std::copy_n((_keys.data() + (e * _keyWidth)), _keyWidth, (keys.data() + (e * width)));
  std::vector<std::uint32_t> index =
      IndexKeys(keys.data(), width, _cellCount, std::max<std::size_t>(_slots.size(), 16));
  _keys = std::move(keys);
  _keyWidth = width;
  _slots = std::move(index);
}

void OmPivotTable::RemoveEntry(std::size_t entry) {
  // Backward-shift deletion keeps every probe chain unbroken without tombstones.
  const std::size_t mask = _slots.size() - 1;
  std::size_t hole = HashKey((_keys.data() + (entry * _keyWidth)), _keyWidth) & mask;
  while (_slots[hole] != entry + 1)
    hole = (hole + 1) & mask;
  for (std::size_t j = (hole + 1) & mask; _slots[j] != 0; j = (j + 1) & mask) {
    const std::size_t home = HashKey(_keys.data() + (_slots[j] - 1) * _keyWidth, _keyWidth) & mask;
    const bool movable = hole <= j ? (home <= hole || home > j) : (home <= hole && home > j);
    if (movable) {
      _slots[hole] = _slots[j];
      hole = j;
    }
  }
  _slots[hole] = 0;
  OmMemoryRegion::Release(_cells[entry]);
  const std::size_t last = _cellCount - 1;
  if (entry != last) {
    // Move the last entry into the freed place and repoint its slot.
    std::size_t s = HashKey((_keys.data() + (last * _keyWidth)), _keyWidth) & mask;
    while (_slots[s] != last + 1)
      s = (s + 1) & mask;
    _slots[s] = static_cast<std::uint32_t>(entry + 1);
    std::copy_n((_keys.data() + (last * _keyWidth)), _keyWidth, (_keys.data() + (entry * _keyWidth)));
    _cells[entry] = _cells[last];
  }
  _cells.pop_back();
  _keys.resize(last * _keyWidth);
  --_cellCount;
}

void OmPivotTable::Kill(const OmDimension& dim, const std::vector<int>& subscripts) {
  const auto d = static_cast<std::size_t>(
      std::find_if(_dims.begin(), _dims.end(), [&](const auto& p) { return p.get() == &dim; }) -
      _dims.begin());
  if (d >= _dims.size()) return;
  auto& dead = _dead[d];
  for (int s : subscripts) {
    if (s < 0) continue;
    if (static_cast<std::size_t>(s) >= dead.size()) dead.resize(static_cast<std::size_t>(s) + 1, false);
    dead[static_cast<std::size_t>(s)] = true;
  }
  _pendingKills = _cellCount != 0 || !_dense.Empty();
  if (!_pendingKills)
    for (auto& v : _dead)
      v.clear();
}

void OmPivotTable::Revive(const OmDimension& dim, int subscript) {
  // A subscript given out again must not lose the cells that will be stored under it.
  if (!_pendingKills) return;
  for (std::size_t d = 0; d < _dims.size(); ++d)
    if (_dims[d].get() == &dim && static_cast<std::size_t>(subscript) < _dead[d].size() &&
        _dead[d][static_cast<std::size_t>(subscript)]) {
      Sweep();
      return;
    }
}

void OmPivotTable::Sweep() const {
  if (!_pendingKills) return;
  auto* self = const_cast<OmPivotTable*>(this);
  self->_pendingKills = false;
  // Survivors move forward in their order and the index is built again: one pass however many cells
  // go (a table that loses most of its categories loses most of its cells).
  // Usually the categories of one dimension went (a table losing its samples); then only its subscript
  // is tested, which halves a sweep over millions of cells.
  std::size_t killed = npos;
  bool several = false;
  for (std::size_t d = 0; d < _keyWidth; ++d)
    if (!_dead[d].empty()) {
      several = killed != npos;
      killed = several ? killed : d;
    }
  const auto deadIn = [this](const int* key, std::size_t d) {
    const int s = key[d];
    return s >= 0 && static_cast<std::size_t>(s) < _dead[d].size() && _dead[d][static_cast<std::size_t>(s)];
  };
  self->_dense.Sweep(_dead);
  std::size_t kept = 0;
  for (std::size_t e = 0; e < _cellCount; ++e) {
    const int* key = _keys.data() + e * _keyWidth;
    bool dead = false;
    if (!several) {
      dead = killed != npos && deadIn(key, killed);
    } else {
      for (std::size_t d = 0; d < _keyWidth && !dead; ++d)
        dead = deadIn(key, d);
    }
    if (dead) {
      OmMemoryRegion::Release(_cells[e]);
      continue;
    }
    if (kept != e) {
      std::copy_n(key, _keyWidth, self->_keys.data() + kept * _keyWidth);
      self->_cells[kept] = _cells[e];
    }
    ++kept;
  }
  for (auto& v : self->_dead)
    v.clear();
  if (kept == _cellCount) return;
  self->_cellCount = kept;
  self->_cells.resize(kept);
  self->_keys.resize(kept * _keyWidth);
  std::size_t slots = 16;
  while (slots < kept * 2)
    slots *= 2;
  slots = std::min(slots, _slots.size());
  try {
    self->Rehash(slots);
  } catch (const std::bad_alloc&) {
    // The index keeps its size, rebuilt in place.
    std::fill(self->_slots.begin(), self->_slots.end(), 0u);
    const std::size_t mask = _slots.size() - 1;
    for (std::size_t e = 0; e < kept; ++e) {
      std::size_t s = HashKey(_keys.data() + e * _keyWidth, _keyWidth) & mask;
      while (_slots[s] != 0)
        s = (s + 1) & mask;
      self->_slots[s] = static_cast<std::uint32_t>(e + 1);
    }
  }
}

std::uint64_t OmPivotTable::DensePlace(const std::vector<int>& at) const {
  if (_dense.Empty()) return OmDenseCells::npos;
  const std::uint64_t place = _dense.Place(at.data(), at.size(), _dims.size());
  return _dense.Has(place) ? place : OmDenseCells::npos;
}

OmCellText* OmPivotTable::MakeText(std::uint64_t place) {
  std::vector<int> key(_dims.size(), 0);
  _dense.Decode(place, key.data());
  OmCellTextPtr text(new OmNumber(_dense.Value(place), _dense.Format(place)));
  OmCellText* made = text.get();
  AddEntry(key, std::move(text));
  _dense.Erase(place);
  return made;
}

const OmCellText* OmPivotTable::Peek(const std::vector<int>& at, OmNumber& scratch) const {
  Sweep();
  if (const std::uint64_t place = DensePlace(at); place != OmDenseCells::npos) {
    scratch.SetValue(_dense.Value(place));
    scratch.SetFormat(_dense.Format(place));
    return &scratch;
  }
  if (_cellCount == 0) return nullptr;
  const std::size_t e = at.size() == _dims.size() ? FindEntry(at.data()) : FindEntry(KeyOf(at).data());
  return e == npos ? nullptr : _cells[e];
}

const OmCellText* OmPivotTable::Cell(const std::vector<int>& at) const {
  Sweep();
  // A compact number read as a text becomes one: a text handed out must stay valid and changeable.
  if (const std::uint64_t place = DensePlace(at); place != OmDenseCells::npos)
    return const_cast<OmPivotTable*>(this)->MakeText(place);
  if (_cellCount == 0) return nullptr;
  // Subscripts for every dimension are a key as they stand; poolers look up hundreds of thousands.
  const std::size_t e = at.size() == _dims.size() ? FindEntry(at.data()) : FindEntry(KeyOf(at).data());
  return e == npos ? nullptr : _cells[e];
}

OmCellText* OmPivotTable::Cell(const std::vector<int>& at) {
  return const_cast<OmCellText*>(static_cast<const OmPivotTable*>(this)->Cell(at));
}

void OmPivotTable::Cell(const std::vector<int>& at, const OmCellText* text) {
  SetCell(at, text ? CloneText(*text) : nullptr);
}

namespace {
// A number without footnotes, markers, colours, bold or a locale of its own: all it holds is a value and
// a format, so it can be kept compactly.
const OmNumber* PlainNumber(const OmCellText* text) {
  if (text == nullptr || text->OrderCode() != OmCellText::kOrderNumber || text->HasMetaData() ||
      text->getICUTracker() != nullptr)
    return nullptr;
  return dynamic_cast<const OmNumber*>(text);
}
} // namespace

void OmPivotTable::SetNumber(const std::vector<int>& at, double value, std::uint32_t format) {
  Sweep();
  const std::size_t width = _dims.size();
  OmDenseCells::Fit fit = _dense.Put(at.data(), at.size(), width, value, format);
  if (fit == OmDenseCells::Fit::kOutside && _dense.Grow(at.data(), at.size(), SizeVector()))
    fit = _dense.Put(at.data(), at.size(), width, value, format);
  if (fit != OmDenseCells::Fit::kStored) {
    StoreText(at, OmCellTextPtr(new OmNumber(value, format)));
    return;
  }
  // A text stored under the same subscripts before is replaced.
  if (_cellCount != 0) {
    if (_keyWidth != width) WidenKeys();
    const std::size_t e = at.size() == width ? FindEntry(at.data()) : FindEntry(KeyOf(at).data());
    if (e != npos) RemoveEntry(e);
  }
}

void OmPivotTable::SetCell(const std::vector<int>& at, OmCellTextPtr text) {
  if (const OmNumber* number = PlainNumber(text.get())) {
    SetNumber(at, number->Value(), number->Format());
    return;
  }
  StoreText(at, std::move(text));
}

void OmPivotTable::StoreText(const std::vector<int>& at, OmCellTextPtr text) {
  Sweep();
  if (const std::uint64_t place = DensePlace(at); place != OmDenseCells::npos) {
    // A key is in one store at a time; the compact number goes once its replacement is in.
    if (text) AddEntry(KeyOf(at), std::move(text));
    _dense.Erase(place);
    return;
  }
  if (_keyWidth != _dims.size()) {
    if (_cellCount == 0)
      _keyWidth = _dims.size();
    else
      WidenKeys();
  }
  const std::vector<int> key = KeyOf(at);
  const std::size_t e = FindEntry(key.data());
  if (e != npos) {
    if (text) {
      OmMemoryRegion::Release(_cells[e]);
      _cells[e] = text.release();
    } else {
      RemoveEntry(e);
    }
    return;
  }
  if (!text) return;
  AddEntry(key, std::move(text));
}

void OmPivotTable::AddEntry(const std::vector<int>& key, OmCellTextPtr text) {
  if (_keyWidth != _dims.size()) {
    if (_cellCount == 0)
      _keyWidth = _dims.size();
    else
      WidenKeys();
  }
  if ((_cellCount + 1) * 2 > _slots.size()) Rehash(std::max<std::size_t>(16, _slots.size() * 2));
  // Room first, so that running out of memory leaves the table as it was and the text with its owner.
  if (_cells.size() == _cells.capacity()) _cells.reserve(std::max<std::size_t>(16, _cells.size() * 2));
  if (_keys.capacity() - _keys.size() < key.size())
    _keys.reserve(std::max(_keys.size() * 2, _keys.size() + key.size()));
  _keys.insert(_keys.end(), key.begin(), key.end());
  _cells.push_back(text.release());
  const std::size_t mask = _slots.size() - 1;
  std::size_t s = HashKey(key.data(), _keyWidth) & mask;
  while (_slots[s] != 0)
    s = (s + 1) & mask;
  _slots[s] = static_cast<std::uint32_t>(_cellCount + 1);
  ++_cellCount;
}

std::size_t OmPivotTable::CellCount() const {
  Sweep();
  return _cellCount + _dense.Count();
}

std::vector<std::size_t> OmPivotTable::TextsInOrder() const {
  std::vector<std::size_t> order(_cellCount);
  for (std::size_t e = 0; e < _cellCount; ++e)
    order[e] = e;
  const std::size_t width = _dims.size();
  // Keys narrower than the table read as 0 in the dimensions added since.
  const auto at = [&](std::size_t e, std::size_t d) { return d < _keyWidth ? _keys[e * _keyWidth + d] : 0; };
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    for (std::size_t d = 0; d < width; ++d)
      if (at(a, d) != at(b, d)) return at(a, d) < at(b, d);
    return false;
  });
  return order;
}

OmPivotTable::Iterator OmPivotTable::FirstCell() const {
  Sweep();
  return Iterator(this);
}

OmPivotTable::Iterator::Iterator(const OmPivotTable* table) : _table(table) {
  if (_table->_cellCount == 0) {
    _compact = true;
    _place = _table->_dense.Next(0);
  }
}

OmPivotTable::Iterator::operator bool() const {
  if (!_compact) return _entry < _table->_cellCount;
  return _made != nullptr || _table->_dense.Has(_place);
}

OmCellText* OmPivotTable::Iterator::Cell() const {
  _table->Sweep();
  if (!_compact) return _entry < _table->_cellCount ? _table->_cells[_entry] : nullptr;
  if (_made == nullptr && _table->_dense.Has(_place))
    _made = const_cast<OmPivotTable*>(_table)->MakeText(_place);
  return _made;
}

std::vector<int> OmPivotTable::Iterator::At() const {
  std::vector<int> at;
  At(at);
  return at;
}

void OmPivotTable::Iterator::At(std::vector<int>& into) const {
  if (!*this) {
    into.clear();
    return;
  }
  if (_compact) {
    into.resize(_table->_dense.Width());
    _table->_dense.Decode(_place, into.data());
    return;
  }
  const auto* k = (_table->_keys.data() + (_entry * _table->_keyWidth));
  into.assign(k, k + _table->_keyWidth);
}

OmPivotTable::Iterator& OmPivotTable::Iterator::operator++() {
  if (!_compact) {
    if (++_entry < _table->_cellCount) return *this;
    _compact = true;
    _place = _table->_dense.Next(0);
    return *this;
  }
  _made = nullptr;
  _place = _table->_dense.Next(_place + 1);
  return *this;
}

} // namespace omf
