#include <omf/model/DenseCells.h>

#include <algorithm>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace omf {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// A block left unwritten. A big block that will be mostly filled is mapped on whole huge pages where
// the kernel offers them, so that a million cells fault in a few pages rather than thousands (this is
// where most of the time of laying out a growing store went); a sparse one is not, since a huge page
// faulted in by one cell costs 2 MiB.
template <class T> OmBlock<T> Untouched(std::uint64_t n, bool filled, bool zeroed = false) {
  const std::size_t bytes = static_cast<std::size_t>(n) * sizeof(T);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (filled && bytes >= 2 * kHugePage) {
    // Room to start on a huge page boundary; the pages before it and after the block are given back.
    const std::size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw != MAP_FAILED) {
      const auto start = reinterpret_cast<std::uintptr_t>(raw);
      const std::uintptr_t aligned = (start + kHugePage - 1) & ~(std::uintptr_t{kHugePage} - 1);
      if (aligned > start) munmap(raw, aligned - start);
      munmap(reinterpret_cast<void*>(aligned + length), start + kHugePage - aligned);
      (void)madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
      // Fresh anonymous pages read as zeros.
      return OmBlock<T>(reinterpret_cast<T*>(aligned), OmFreeBlock{length});
    }
  }
#else
  (void)filled;
#endif
  T* block = zeroed ? new T[static_cast<std::size_t>(n)]() : new T[static_cast<std::size_t>(n)];
  return OmBlock<T>(block, OmFreeBlock{});
}

} // namespace

void OmFreeBlock::Unmap(void* p, std::size_t bytes) {
#if defined(__linux__)
  munmap(p, bytes);
#else
  (void)p;
  (void)bytes;
#endif
}

void OmDenseCells::AddDimension() {
  if (_radix.empty()) return;
  _radix.push_back(1);
  _stride.push_back(1);
}

std::uint64_t OmDenseCells::Place(const int* at, std::size_t count, std::size_t width) const {
  if (_radix.size() != width) return npos;
  std::uint64_t place = 0;
  const std::size_t given = std::min(count, width);
  for (std::size_t d = 0; d < given; ++d) {
    const int s = at[d];
    if (s < 0 || static_cast<std::uint64_t>(s) >= _radix[d]) return npos;
    place += static_cast<std::uint64_t>(s) * _stride[d];
  }
  return place;
}

void OmDenseCells::Decode(std::uint64_t place, int* key) const {
  for (std::size_t d = 0; d < _radix.size(); ++d) {
    key[d] = static_cast<int>(place / _stride[d]);
    place %= _stride[d];
  }
}

std::uint64_t OmDenseCells::Next(std::uint64_t from) const {
  if (from >= _places) return _places;
  std::size_t w = static_cast<std::size_t>(from >> 6);
  std::uint64_t bits = _bits[w] & (~std::uint64_t{0} << (from & 63));
  const std::size_t words = static_cast<std::size_t>((_places + 63) / 64);
  while (bits == 0) {
    if (++w >= words) return _places;
    bits = _bits[w];
  }
  return std::min<std::uint64_t>(_places,
                                 (std::uint64_t{w} << 6) + static_cast<unsigned>(__builtin_ctzll(bits)));
}

int OmDenseCells::FormatIndex(std::uint32_t format) {
  if (_lastIndex >= 0 && format == _lastFormat) return _lastIndex;
  auto index = static_cast<std::size_t>(std::find(_formatList.begin(), _formatList.end(), format) -
                                        _formatList.begin());
  if (index == _formatList.size()) {
    if (index >= kMaxFormats) return -1;
    _formatList.push_back(format);
  }
  _lastFormat = format;
  _lastIndex = static_cast<int>(index);
  return _lastIndex;
}

OmDenseCells::Fit OmDenseCells::Put(const int* at, std::size_t count, std::size_t width, double value,
                                    std::uint32_t format) {
  for (std::size_t d = 0; d < std::min(count, width); ++d)
    if (at[d] < 0) return Fit::kNever;
  if (_places == 0 || _radix.size() != width) return _count == 0 ? Fit::kOutside : Fit::kNever;
  const std::uint64_t place = Place(at, count, width);
  if (place == npos) return Fit::kOutside;
  const int f = FormatIndex(format);
  if (f < 0) return Fit::kNever;
  std::uint64_t& word = _bits[place >> 6];
  const std::uint64_t bit = std::uint64_t{1} << (place & 63);
  if ((word & bit) == 0) ++_count;
  word |= bit;
  _values[place] = value;
  _formats[place] = static_cast<std::uint8_t>(f);
  return Fit::kStored;
}

bool OmDenseCells::Grow(const int* at, std::size_t count, const std::vector<int>& sizes) {
  const std::size_t width = sizes.size();
  if (_count != 0 && _radix.size() != width) return false;
  // Candidates, roomiest first: room for every category already declared and for doubling (so that
  // filling a dimension one subscript at a time lays the places out a logarithmic number of times);
  // doubling capped at the declared categories; exactly what the new cell needs.
  std::vector<std::uint64_t> candidates[3];
  for (auto& c : candidates)
    c.assign(width, 0);
  for (std::size_t d = 0; d < width; ++d) {
    const std::uint64_t old = d < _radix.size() && _count != 0 ? _radix[d] : 0;
    const std::uint64_t need = std::max(old, d < count ? static_cast<std::uint64_t>(at[d]) + 1 : 1);
    const auto size = static_cast<std::uint64_t>(std::max(sizes[d], 1));
    const bool grows = need > old;
    candidates[0][d] = grows ? std::max({need, 2 * old, size}) : old;
    candidates[1][d] = grows ? std::max(need, std::min(2 * old, std::max(size, need))) : old;
    candidates[2][d] = need;
  }
  const std::uint64_t budget = std::min(kMaxPlaces, kPlacesPerCell * (_count + 1) + kFreePlaces);
  const std::uint64_t cap = std::max(budget, kMaxDeclaredPlaces);
  const auto placesOf = [cap](const std::vector<std::uint64_t>& r) -> std::uint64_t {
    std::uint64_t n = 1;
    for (std::uint64_t v : r) {
      if (v != 0 && n > cap / v) return cap + 1;
      n *= v;
    }
    return n;
  };
  // Laying out a big store again costs a pass over all its places: past kMaxRelayoutCells only the
  // first dimension (whose growth moves no cell) may grow, and cells beyond go to the general store.
  if (_count >= kMaxRelayoutCells)
    for (std::size_t d = 1; d < width; ++d)
      if (candidates[2][d] != _radix[d]) return false;
  std::size_t pick = 0;
  // An empty store may take the declared categories whole up to kMaxDeclaredPlaces: their cells usually
  // follow, and places never written cost no memory.
  const bool declared = _count == 0 && placesOf(candidates[0]) <= kMaxDeclaredPlaces;
  while (!declared && pick < 3 && placesOf(candidates[pick]) > budget)
    ++pick;
  if (pick == 3) return false;
  std::vector<std::uint64_t> radix = std::move(candidates[pick]);
  const std::uint64_t places = placesOf(radix);
  std::vector<std::uint64_t> stride(width, 1);
  for (std::size_t d = width; d-- > 1;)
    stride[d - 1] = stride[d] * radix[d];
  // The new arrays are complete before anything changes, so running out of memory leaves the store whole.
  // A store at least a quarter full (growth by doubling leaves it about half full) is given huge pages.
  const bool filled = places <= 4 * (_count + 1);
  auto values = Untouched<double>(places, filled);
  auto formats = Untouched<std::uint8_t>(places, filled);
  const std::size_t words = static_cast<std::size_t>((places + 63) / 64);
  auto bits = Untouched<std::uint64_t>(words, filled, true);
  if (_count != 0 && _radix.size() == width && 2 * _count >= _places) {
    // A mostly filled store: the places along the last dimension lie side by side in both layouts, so
    // each run of them moves in one copy.
    const std::uint64_t run = _radix.back();
    std::vector<std::uint64_t> prefix(width - 1, 0); // the subscripts of the run's other dimensions
    for (std::uint64_t from = 0; from < _places; from += run) {
      std::uint64_t to = 0;
      for (std::size_t d = 0; d + 1 < width; ++d)
        to += prefix[d] * stride[d];
      std::memcpy(values.get() + to, _values.get() + from, static_cast<std::size_t>(run) * sizeof(double));
      std::memcpy(formats.get() + to, _formats.get() + from, static_cast<std::size_t>(run));
      for (std::uint64_t i = 0; i < run; ++i)
        if (Has(from + i)) bits[(to + i) >> 6] |= std::uint64_t{1} << ((to + i) & 63);
      for (std::size_t d = width - 1; d-- > 0;) {
        if (++prefix[d] < _radix[d]) break;
        prefix[d] = 0;
      }
    }
  } else {
    ForEach([&](std::uint64_t old, const int* key, double, std::uint32_t) {
      std::uint64_t p = 0;
      for (std::size_t d = 0; d < width; ++d)
        p += static_cast<std::uint64_t>(key[d]) * stride[d];
      values[p] = _values[old];
      formats[p] = _formats[old];
      bits[p >> 6] |= std::uint64_t{1} << (p & 63);
    });
  }
  _radix = std::move(radix);
  _stride = std::move(stride);
  _places = places;
  _values = std::move(values);
  _formats = std::move(formats);
  _bits = std::move(bits);
  return true;
}

void OmDenseCells::Erase(std::uint64_t place) {
  if (!Has(place)) return;
  _bits[place >> 6] &= ~(std::uint64_t{1} << (place & 63));
  --_count;
}

void OmDenseCells::Clear() {
  _radix.clear();
  _stride.clear();
  _places = 0;
  _count = 0;
  _values.reset();
  _formats.reset();
  _bits.reset();
  _formatList.clear();
  _lastIndex = -1;
}

void OmDenseCells::ClearRange(std::uint64_t begin, std::uint64_t length) {
  std::uint64_t end = begin + length;
  while (begin < end) {
    const std::size_t w = static_cast<std::size_t>(begin >> 6);
    const unsigned from = static_cast<unsigned>(begin & 63);
    const std::uint64_t take = std::min<std::uint64_t>(64 - from, end - begin);
    const std::uint64_t mask = (take == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << take) - 1)) << from;
    _count -= static_cast<std::size_t>(__builtin_popcountll(_bits[w] & mask));
    _bits[w] &= ~mask;
    begin += take;
  }
}

void OmDenseCells::Sweep(const std::vector<std::vector<bool>>& dead) {
  if (_count == 0) return;
  std::vector<std::size_t> dims;
  for (std::size_t d = 0; d < std::min(dead.size(), _radix.size()); ++d)
    if (!dead[d].empty()) dims.push_back(d);
  if (dims.empty()) return;
  // The places of one subscript of a dimension are runs of its stride, one per combination of the
  // subscripts before it: runs of at least a word are cleared a word at a time.
  bool runs = true;
  for (std::size_t d : dims)
    runs = runs && _stride[d] >= 64;
  if (runs) {
    for (std::size_t d : dims) {
      const std::uint64_t block = _radix[d] * _stride[d];
      for (std::size_t s = 0; s < std::min<std::size_t>(dead[d].size(), _radix[d]); ++s) {
        if (!dead[d][s]) continue;
        for (std::uint64_t outer = 0; outer < _places; outer += block)
          ClearRange(outer + s * _stride[d], _stride[d]);
      }
    }
    return;
  }
  ForEach([&](std::uint64_t place, const int* key, double, std::uint32_t) {
    for (std::size_t d : dims) {
      const auto s = static_cast<std::size_t>(key[d]);
      if (s < dead[d].size() && dead[d][s]) {
        _bits[place >> 6] &= ~(std::uint64_t{1} << (place & 63));
        --_count;
        return;
      }
    }
  });
}

} // namespace omf
