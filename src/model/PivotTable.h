#pragma once
// Pivot tables: dimensions, each a tree of categories and groups; cells addressed by one subscript per
// dimension; the placement of dimensions on rows, columns and layers; footnotes and options.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <omf/model/CellText.h>
#include <omf/model/DenseCells.h>
#include <omf/model/OutputPart.h>

namespace omf {

class OmDimension;
class OmPivotTable;
class OmLabelIndex;
class BackendSettings;

// One node of a dimension's tree: the dimension's root, a group or a category. Categories carry the
// subscript under which their cells are stored; groups and the root have none (-1).
class OmDimensionNode {
public:
  static constexpr int kNoSubscript = -1;
  // Sort modes: 0 ascending, 1 descending, anything else keeps arrival order (the default).
  static constexpr std::int32_t kSortAscending = 0;
  static constexpr std::int32_t kSortDescending = 1;
  static constexpr std::int32_t kSortNone = 2;

  OmDimensionNode(OmCellTextPtr label, int subscript, bool group, OmDimensionNode* parent,
                  OmDimension* dimension);
  OmDimensionNode(const OmDimensionNode&) = delete;
  OmDimensionNode& operator=(const OmDimensionNode&) = delete;
  ~OmDimensionNode();

  OmCellText& Label() { return *_label; }
  const OmCellText& Label() const { return *_label; }
  void SetLabel(OmCellTextPtr label);
  int Subscript() const { return _subscript; }
  void SetSubscript(int subscript) { _subscript = subscript; }
  bool IsGroup() const { return _group; }
  OmDimensionNode* Parent() const { return _parent; }
  void SetParent(OmDimensionNode* parent) { _parent = parent; }
  OmDimension* Dimension() const { return _dimension; }

  std::size_t ChildCount() const { return _children.size(); }
  OmDimensionNode& Child(std::size_t i) { return *_children[i]; }
  const OmDimensionNode& Child(std::size_t i) const { return *_children[i]; }
  // Children in display order; a sort may reorder this list (keep parents right afterwards).
  std::vector<std::unique_ptr<OmDimensionNode>>& Children() {
    _indexDirty = true;
    return _children;
  }
  const std::vector<std::unique_ptr<OmDimensionNode>>& Children() const { return _children; }

  std::int32_t SortMode() const { return _sortMode; }
  void SetSortMode(std::int32_t mode) { _sortMode = mode; }
  bool Mark() const { return _mark; }
  void SetMark(bool mark) { _mark = mark; }
  bool SecondFlag() const { return _second; }
  void SetSecondFlag(bool flag) { _second = flag; }

  // Label equality: equal length queries and Compare = 0.
  bool operator==(const OmDimensionNode& other) const { return _label->Equals(*other._label); }
  // Reading order of labels: numbers and data values by value, NaN after every other value (before
  // texts), texts by the collation of the table's locale.
  bool operator<(const OmDimensionNode& other) const;

private:
  friend class OmDimension;
  OmCellTextPtr _label;
  OmDimensionNode* _parent;
  OmDimension* _dimension;
  std::vector<std::unique_ptr<OmDimensionNode>> _children;
  // Children by label, for lookups in long child lists; rebuilt when the list has changed.
  std::unique_ptr<OmLabelIndex> _index;
  int _subscript;
  std::int32_t _sortMode = kSortNone;
  bool _group;
  bool _mark = false;
  bool _second = false;
  bool _indexDirty = true;
  // With the index: no two children share a label (and kind), so the first match is the only one.
  bool _labelsUnique = false;
  // The child that the last lookup through the index found.
  std::uint32_t _lastFound = 0;
};

class OmDimension {
public:
  OmDimension(OmPivotTable* table, OmCellTextPtr label);
  OmDimension(const OmDimension&) = delete;
  OmDimension& operator=(const OmDimension&) = delete;

  OmDimensionNode& Root() { return *_root; }
  const OmDimensionNode& Root() const { return *_root; }
  const OmCellText& Label() const { return _root->Label(); }
  OmCellText& Label() { return _root->Label(); }
  OmPivotTable* Table() const { return _table; }

  // Appends a child to parent and returns it. A category takes the given subscript (the caller passes
  // Size() for the next free one); a group takes none.
  OmDimensionNode* Child(OmDimensionNode* parent, const OmCellText& label, int subscript, bool group);
  // The index among parent's children of the child with an equal label and the same group flag, or -1.
  int FindChild(const OmDimensionNode* parent, const OmCellText& label, bool group) const;
  // Removes a node with its subtree; the cells stored under the removed categories go with them.
  void Delete(OmDimensionNode* node);
  // Removes several nodes (none inside another's subtree) in one pass over each parent's children, so
  // that removing most categories of a long dimension does not scan it once per category.
  void Delete(const std::vector<OmDimensionNode*>& nodes);
  // The node of this dimension at the same place (same child indexes from the root) as a node of a
  // dimension with the same structure, or null.
  OmDimensionNode* Counterpart(const OmDimensionNode* other) const;

  // Next free subscript: one more than the largest given out so far.
  int Size() const { return _size; }
  bool Option() const { return _option; }
  void SetOption(bool option) { _option = option; }

  // Every category (leaf with a subscript) in display order, depth first.
  std::vector<const OmDimensionNode*> Categories() const;

private:
  // The first child that the parent's index holds under `hash` with an equal label and group flag, or -1.
  static int IndexedMatch(const OmDimensionNode& parent, std::size_t hash, const OmCellText& label,
                          bool group);
  friend class OmPivotTable;
  void NoteSubscript(int subscript);
  OmPivotTable* _table;
  std::unique_ptr<OmDimensionNode> _root;
  int _size = 0;
  bool _option = false;
};

// A list of dimension indexes with a fill value for empty places.
template <class T> class PuppetVector {
public:
  explicit PuppetVector(T fill) : _fill(fill) {}
  std::size_t size() const { return _items.size(); }
  T operator[](std::size_t i) const { return _items[i]; }
  T Fill() const { return _fill; }
  void SetFill(T fill) { _fill = fill; }
  const std::vector<T>& Items() const { return _items; }
  std::vector<T>& Items() { return _items; }
  void Insert(std::size_t pos, T value) {
    _items.insert(_items.begin() + static_cast<std::ptrdiff_t>(pos), value);
  }
  // Stores value at pos, growing the list with the fill value as needed.
  void Set(std::size_t pos, T value) {
    if (pos >= _items.size()) _items.resize(pos + 1, _fill);
    _items[pos] = value;
  }
  // Removes the first entry equal to value; false when there is none.
  bool RemoveFirst(T value);
  // The entries that are not the fill value, in order.
  std::vector<T> Placed() const;

private:
  std::vector<T> _items;
  T _fill;
};

class OmPivotTable final : public OmOutputPart {
public:
  static constexpr short kEmptyPlace = static_cast<short>(0xFFFF);

  // A table with its outline title, its subtype (also its template name) and whether it takes the
  // procedure's split dimensions.
  OmPivotTable(const OmCellText& title, const OmCellText& subtype, bool splits);
  ~OmPivotTable() override;
  void Accept(Visitor& v) override { v.Visit(*this); }

  // Dimensions.
  int AddDimension(const OmCellText& label);
  // Appends a copy of a dimension (of this or another table): label, tree, flags and size.
  int AddDimension(const OmDimension& source);
  OmDimension& Dimension(int d) { return *_dims[static_cast<std::size_t>(d)]; }
  const OmDimension& Dimension(int d) const { return *_dims[static_cast<std::size_t>(d)]; }
  int NDimensions() const { return static_cast<int>(_dims.size()); }
  // The index of the first dimension whose label equals the text, or -1.
  int FindDimension(const OmCellText& label) const;
  int Size(int d) const { return _dims[static_cast<std::size_t>(d)]->Size(); }
  std::vector<int> SizeVector() const;
  // Appends copies of another table's dimensions (labels, trees, flags, sizes).
  void CopyDimensions(const OmPivotTable& other);

  PuppetVector<short>& Rows() { return _rows; }
  PuppetVector<short>& Columns() { return _columns; }
  PuppetVector<short>& Layers() { return _layers; }
  const PuppetVector<short>& Rows() const { return _rows; }
  const PuppetVector<short>& Columns() const { return _columns; }
  const PuppetVector<short>& Layers() const { return _layers; }

  // Cells, one subscript per dimension (missing trailing subscripts count as 0). Plain numbers (no
  // footnote, marker, colour or bold) are kept compactly, as a value and a format; Cell() hands such a
  // number out as a text of its own, made on the first call and kept from then on, so that callers may
  // change it.
  const OmCellText* Cell(const std::vector<int>& at) const;
  OmCellText* Cell(const std::vector<int>& at);
  // The cell for reading only: a compact number is written into `scratch`, which is returned; any other
  // cell is returned as stored; null when there is none. Makes no text, for lookups over millions of cells.
  const OmCellText* Peek(const std::vector<int>& at, OmNumber& scratch) const;
  // Stores a copy of the text (null clears the cell).
  void Cell(const std::vector<int>& at, const OmCellText* text);
  // Stores the text itself (null clears the cell).
  void SetCell(const std::vector<int>& at, OmCellTextPtr text);
  // Stores a plain number without making a text for it.
  void SetNumber(const std::vector<int>& at, double value, std::uint32_t format);
  std::size_t CellCount() const;

  class Iterator {
  public:
    // The current cell, or null past the end; a compact number becomes a text of its own (see Cell()).
    OmCellText* Cell() const;
    // The current cell's subscripts.
    std::vector<int> At() const;
    // The same into a vector the caller keeps, so that a walk over many cells allocates once.
    void At(std::vector<int>& into) const;
    Iterator& operator++();
    explicit operator bool() const;

  private:
    friend class OmPivotTable;
    explicit Iterator(const OmPivotTable* table);
    const OmPivotTable* _table;
    bool _compact = false;               // past the texts, walking the compact numbers
    std::size_t _entry = 0;              // the text's entry
    std::uint64_t _place = 0;            // the compact number's place
    mutable OmCellText* _made = nullptr; // the text made of the current compact number
  };
  // Iterates over the stored cells in storage order: the cells kept as texts in the order they were
  // stored, then the compact numbers in the order of their subscripts.
  Iterator FirstCell() const;
  // Calls visit(subscripts, count, cell) for every stored cell in storage order, for walks over millions
  // of cells: `subscripts` points at `count` subscripts, which may be fewer than NDimensions() (a
  // dimension added after the cell was stored counts as 0). A compact number is handed out in a scratch
  // text that lives until visit returns. The table must not change during the walk.
  template <class Visit> void ForEachCell(Visit&& visit) const {
    Sweep();
    for (std::size_t e = 0; e < _cellCount; ++e)
      visit(static_cast<const int*>(_keys.data() + e * _keyWidth), _keyWidth,
            static_cast<const OmCellText&>(*_cells[e]));
    OmNumber scratch(0.0, 0);
    _dense.ForEach([&](std::uint64_t, const int* key, double value, std::uint32_t format) {
      scratch.SetValue(value);
      scratch.SetFormat(format);
      visit(key, _dense.Width(), static_cast<const OmCellText&>(scratch));
    });
  }
  // The same in the lexicographic order of the subscripts (NDimensions() of them, missing ones 0),
  // without sorting the compact numbers, which are stored in that order.
  template <class Visit> void ForEachCellInOrder(Visit&& visit) const {
    Sweep();
    const std::size_t width = _dims.size();
    const std::vector<std::size_t> texts = TextsInOrder();
    std::vector<int> key(width, 0);
    std::size_t t = 0;
    const auto textKey = [&](std::size_t e) {
      std::fill(key.begin(), key.end(), 0);
      std::copy_n(_keys.data() + e * _keyWidth, std::min(_keyWidth, width), key.begin());
    };
    OmNumber scratch(0.0, 0);
    _dense.ForEach([&](std::uint64_t, const int* at, double value, std::uint32_t format) {
      for (; t < texts.size(); ++t) {
        textKey(texts[t]);
        if (!std::lexicographical_compare(key.begin(), key.end(), at, at + width)) break;
        visit(static_cast<const int*>(key.data()), width, static_cast<const OmCellText&>(*_cells[texts[t]]));
      }
      scratch.SetValue(value);
      scratch.SetFormat(format);
      visit(at, width, static_cast<const OmCellText&>(scratch));
    });
    for (; t < texts.size(); ++t) {
      textKey(texts[t]);
      visit(static_cast<const int*>(key.data()), width, static_cast<const OmCellText&>(*_cells[texts[t]]));
    }
  }
  // The compact store when it holds every stored cell (no cell is kept as a text), else null: readers of
  // millions of plain numbers may then walk it by place. The store lives as long as the table; its places
  // move when cells are added.
  const OmDenseCells* CompactOnly() const {
    Sweep();
    return _cellCount == 0 ? &_dense : nullptr;
  }
  // Calls visit(cell) for every cell kept as a text (compact numbers carry nothing a text visitor such as
  // a translation or a footnote walk looks at).
  template <class Visit> void ForEachText(Visit&& visit) {
    Sweep();
    for (std::size_t e = 0; e < _cellCount; ++e)
      visit(*_cells[e]);
  }
  template <class Visit> void ForEachText(Visit&& visit) const {
    Sweep();
    for (std::size_t e = 0; e < _cellCount; ++e)
      visit(static_cast<const OmCellText&>(*_cells[e]));
  }

  // Footnotes. Footnote() adds a copy and returns its index; unless forceNew, the first footnote with an
  // equal text and marker is reused. Each call counts one more reference to it. Footnotes are found
  // through an index of their texts, which the changing accessor below marks for rebuilding: texts
  // changed through it (translation) are found by their new text from the next Footnote() on.
  int Footnote(const OmFootnote& footnote, bool forceNew = false);
  static constexpr int kMaxFootnotes = std::numeric_limits<int>::max();
  std::vector<OmFootnote>& Footnotes() {
    _footnoteIndexStale = true;
    return _footnotes;
  }
  const std::vector<OmFootnote>& Footnotes() const { return _footnotes; }
  // Notes that a reference to a footnote was removed from a text (renderers then show only the
  // footnotes still referred to).
  void RemovedFootnotes(bool removed);
  int RemovedFootnoteCount() const { return _removedFootnotes; }

  // Titles and texts.
  const OmCellText& TableTitle() const { return *_tableTitle; }
  OmCellText& TableTitle() { return *_tableTitle; }
  void SetTableTitle(const OmCellText& title) { _tableTitle = CloneText(title); }
  const OmCellText& GetTableTitle() const { return *_tableTitle; }
  const OmCellText* Caption() const { return _caption.get(); }
  OmCellText* Caption() { return _caption.get(); }
  void Caption(const OmCellText* caption) { _caption = caption ? CloneText(*caption) : nullptr; }
  const OmCellText* CornerText() const { return _corner.get(); }
  OmCellText* CornerText() { return _corner.get(); }
  void CornerText(const OmCellText* corner) { _corner = corner ? CloneText(*corner) : nullptr; }
  const OmCellText& TemplateName() const { return *_subtype; }
  OmCellText& TemplateName() { return *_subtype; }
  const OmCellText& Subtype() const { return *_subtype; }

  // Options.
  std::uint64_t TableId() const { return _id; }
  void TableId(std::uint64_t id) { _id = id; }
  const std::string& TableLocale() const { return _tracker.locale; }
  void TableLocale(std::string locale) { _tracker.locale = std::move(locale); }
  int MinColumnWidth() const { return _minWidth; }
  void MinColumnWidth(int w) { _minWidth = w; }
  int MaxColumnWidth() const { return _maxWidth; }
  void MaxColumnWidth(int w) { _maxWidth = w; }
  int OptionNumber() const { return _option; }
  void OptionNumber(int n) { _option = n; }
  bool RotateRowLabels() const { return _rotateRows; }
  void RotateRowLabels(bool r) { _rotateRows = r; }
  bool RotateColumnLabels() const { return _rotateColumns; }
  void RotateColumnLabels(bool r) { _rotateColumns = r; }
  bool FastTable() const { return _fast; }
  void setFastTable(bool fast) { _fast = fast; }
  bool HasMarkers() const { return _hasMarkers; }
  void setHasMarkers() { _hasMarkers = true; }
  bool AuxiliaryFlag() const { return _auxiliary; }
  void SetAuxiliaryFlag(bool flag) { _auxiliary = flag; }
  void setBackendSettings(std::shared_ptr<const BackendSettings> settings) {
    _settings = std::move(settings);
  }
  const BackendSettings* getBackendSettings() const { return _settings.get(); }
  const std::shared_ptr<const BackendSettings>& BackendSettingsShared() const { return _settings; }
  icuTracker* getICUTracker() { return &_tracker; }

  bool IsNotes() const;
  bool IsWarnings() const;
  bool HasSplits() const { return _splits; }
  // Throws away what the table holds (dimensions, cells, footnotes, caption, corner text) so that it
  // can be built again.
  void Scratch();
  bool IsScratched() const { return _scratched; }
  void EndTable() { _ended = true; }
  bool IsEnded() const { return _ended; }

private:
  friend class OmDimension;
  friend class Iterator;
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);
  // Marks the cells under these subscripts of a dimension for removal.
  void Kill(const OmDimension& dim, const std::vector<int>& subscripts);
  // Called when a subscript is given to a category: sweeps first if its cells were marked.
  void Revive(const OmDimension& dim, int subscript);
  // Removes the marked cells.
  void Sweep() const;
  // Cell storage: an open-addressing hash index over flat arrays of subscripts and texts.
  std::size_t FindEntry(const int* key) const;
  void RemoveEntry(std::size_t entry);
  void Rehash(std::size_t slots);
  void WidenKeys(); // after a dimension was added to a table holding cells
  // The index of the first footnote equal to the given one under its hash, or -1.
  int FindFootnote(const OmFootnote& footnote, std::size_t hash) const;
  std::vector<int> KeyOf(const std::vector<int>& at) const;
  // The entries of the texts in the lexicographic order of their subscripts.
  std::vector<std::size_t> TextsInOrder() const;
  // Stores a text (null clears) in the store of texts, whatever it is.
  void StoreText(const std::vector<int>& at, OmCellTextPtr text);
  // Stores a text under a key absent from both stores.
  void AddEntry(const std::vector<int>& key, OmCellTextPtr text);
  // Moves the compact number at a place into the store of texts and returns its text.
  OmCellText* MakeText(std::uint64_t place);
  // The place of the compact number at `at`, or OmDenseCells::npos.
  std::uint64_t DensePlace(const std::vector<int>& at) const;

  std::vector<std::unique_ptr<OmDimension>> _dims;
  PuppetVector<short> _rows{kEmptyPlace}, _columns{kEmptyPlace}, _layers{kEmptyPlace};
  std::vector<OmFootnote> _footnotes;
  // Footnotes by a hash of text and marker; of several equal footnotes only the first is entered.
  std::unordered_multimap<std::size_t, int> _footnoteIndex;
  bool _footnoteIndexStale = false;
  OmCellTextPtr _subtype, _tableTitle, _caption, _corner;
  std::shared_ptr<const BackendSettings> _settings;
  icuTracker _tracker;

  std::size_t _keyWidth = 0;         // subscripts per stored key
  std::vector<int> _keys;            // entry i's subscripts at [i * _keyWidth, (i+1) * _keyWidth)
  std::vector<OmCellText*> _cells;   // entry i's text (owned)
  std::vector<std::uint32_t> _slots; // hash index: entry + 1, 0 empty
  std::size_t _cellCount = 0;
  OmDenseCells _dense;                  // plain numbers, apart from the texts above
  std::vector<std::vector<bool>> _dead; // per dimension: subscripts whose cells await the sweep
  bool _pendingKills = false;

  std::uint64_t _id = 0;
  int _minWidth = 0, _maxWidth = 0, _option = 0, _removedFootnotes = 0;
  bool _splits, _rotateRows = false, _rotateColumns = false, _fast = false, _hasMarkers = false;
  bool _auxiliary = true, _scratched = false, _ended = false;
};

} // namespace omf
