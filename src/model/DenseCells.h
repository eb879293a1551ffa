#pragma once
// The compact store of a pivot table's plain numbers (no footnote, marker, colour or bold): a value and a
// small index into the table's list of formats per place, places addressed by the mixed-radix ordinal of
// the subscripts (the first dimension most significant, so places run in the lexicographic order of the
// subscripts), and a bitmap of the places that hold a cell. Cells that do not fit (text, annotations,
// negative subscripts, a space that would be too sparse or too big) stay in the table's general store.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace omf {

// Frees a block of the compact store: pages mapped for it, or heap memory.
struct OmFreeBlock {
  std::size_t mapped = 0; // bytes mapped, 0 for a block from the heap
  template <class T> void operator()(T* p) const {
    if (mapped != 0)
      Unmap(p, mapped);
    else
      delete[] p;
  }
  static void Unmap(void* p, std::size_t bytes);
};
template <class T> using OmBlock = std::unique_ptr<T[], OmFreeBlock>;

class OmDenseCells {
public:
  static constexpr std::uint64_t npos = ~std::uint64_t{0};
  // The places never outnumber the stored cells by more than this factor plus kFreePlaces: a space
  // sparser than that keeps its further cells in the general store, so that a few cells far apart
  // never cost the places between them.
  static constexpr std::uint64_t kPlacesPerCell = 4;
  static constexpr std::uint64_t kFreePlaces = std::uint64_t{1} << 16;
  // At most this many places (ordinals stay far inside 64 bits, and no table gets near it).
  static constexpr std::uint64_t kMaxPlaces = std::uint64_t{1} << 32;
  // Past this many cells the store is laid out again only when the first dimension grows.
  static constexpr std::size_t kMaxRelayoutCells = std::size_t{1} << 22;
  // An empty store takes the places of the categories already declared, up to this many.
  static constexpr std::uint64_t kMaxDeclaredPlaces = std::uint64_t{1} << 25;
  // Distinct formats a table's compact numbers may use; a number of a further format is stored as a text.
  static constexpr std::size_t kMaxFormats = 255;

  enum class Fit { kStored, kOutside, kNever };

  OmDenseCells() = default;
  OmDenseCells(const OmDenseCells&) = delete;
  OmDenseCells& operator=(const OmDenseCells&) = delete;

  std::size_t Count() const { return _count; }
  bool Empty() const { return _count == 0; }
  // Subscripts per key (the table's dimension count once a cell was stored), 0 before.
  std::size_t Width() const { return _radix.size(); }
  std::uint64_t Places() const { return _places; }
  // The places a dimension spans (subscripts 0 to Extent - 1 have one) and the ordinal step of its
  // subscript, for reads that walk the places along one dimension.
  std::uint64_t Extent(std::size_t d) const { return _radix[d]; }
  std::uint64_t Stride(std::size_t d) const { return _stride[d]; }

  // A dimension appended to the table: its subscript is 0 in every stored cell, so the places stay.
  void AddDimension();
  // The place of `count` subscripts in a table of `width` dimensions (missing ones 0, extra ones
  // ignored), or npos outside the places.
  std::uint64_t Place(const int* at, std::size_t count, std::size_t width) const;
  bool Has(std::uint64_t place) const {
    return place < _places && ((_bits[place >> 6] >> (place & 63)) & 1u) != 0;
  }
  double Value(std::uint64_t place) const { return _values[place]; }
  // Asks for a place's value and bit to be brought into cache ahead of a read (a walk across the places
  // in long steps, which the processor cannot foresee).
  void Prefetch(std::uint64_t place) const {
    if (place >= _places) return;
    __builtin_prefetch(_values.get() + place);
    __builtin_prefetch(_bits.get() + (place >> 6));
  }
  std::uint32_t Format(std::uint64_t place) const { return _formatList[_formats[place]]; }
  // The subscripts of a place, Width() of them.
  void Decode(std::uint64_t place, int* key) const;
  // The first place at or after `from` that holds a cell, or Places().
  std::uint64_t Next(std::uint64_t from) const;

  // Stores a number in a table of `width` dimensions. kOutside: the subscripts lie outside the places
  // (Grow may make room); kNever: the number cannot be kept here.
  Fit Put(const int* at, std::size_t count, std::size_t width, double value, std::uint32_t format);
  // Widens the places to take the subscripts, given the dimension sizes as a hint of what is coming;
  // false when the space would become too sparse or too big. Either way the stored cells stay.
  bool Grow(const int* at, std::size_t count, const std::vector<int>& sizes);
  void Erase(std::uint64_t place);
  void Clear();
  // Removes the cells under subscripts flagged in `dead` (one list per dimension).
  void Sweep(const std::vector<std::vector<bool>>& dead);

  // Calls visit(place, key, value, format) for every cell in place order; `key` holds Width() subscripts.
  template <class Visit> void ForEach(Visit&& visit) const {
    if (_count == 0) return;
    std::vector<int> key(_radix.size(), 0);
    std::uint64_t at = 0;
    const std::size_t words = static_cast<std::size_t>((_places + 63) / 64);
    for (std::size_t w = 0; w < words; ++w) {
      for (std::uint64_t bits = _bits[w]; bits != 0; bits &= bits - 1) {
        const std::uint64_t place = (std::uint64_t{w} << 6) + static_cast<unsigned>(__builtin_ctzll(bits));
        Advance(key, place - at);
        at = place;
        visit(place, static_cast<const int*>(key.data()), _values[place], _formatList[_formats[place]]);
      }
    }
  }

private:
  // Moves a key forward by `delta` places.
  void Advance(std::vector<int>& key, std::uint64_t delta) const {
    for (std::size_t d = _radix.size(); delta != 0 && d-- > 0;) {
      const std::uint64_t v = static_cast<std::uint64_t>(key[d]) + delta;
      if (v < _radix[d]) {
        key[d] = static_cast<int>(v);
        return;
      }
      key[d] = static_cast<int>(v % _radix[d]);
      delta = v / _radix[d];
    }
  }
  int FormatIndex(std::uint32_t format);
  // Empties `length` places from `begin`.
  void ClearRange(std::uint64_t begin, std::uint64_t length);

  std::vector<std::uint64_t> _radix;  // places per dimension
  std::vector<std::uint64_t> _stride; // the ordinal step of each dimension's subscript
  std::uint64_t _places = 0;
  std::size_t _count = 0;
  // Values and format indexes are left unwritten until a cell takes their place, so that the pages of
  // places never used are never touched.
  OmBlock<double> _values;
  OmBlock<std::uint8_t> _formats;
  OmBlock<std::uint64_t> _bits;
  std::vector<std::uint32_t> _formatList;
  std::uint32_t _lastFormat = 0;
  int _lastIndex = -1;
};

} // namespace omf
