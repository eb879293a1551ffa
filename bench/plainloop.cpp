// What the machine allows for the 1000 x 1000 crosstab stream (bench/Crosstab.h) written to a file and
// exported as JSON, beside what omf takes for the same work:
// - the plain loop maps the file, walks its records, decodes the four message types the table needs at
//   their catalogue offsets, looks each category label up in a flat hash, stores the numbers with their
//   formats in dense rows, and writes every cell as the JSON export's line with std::to_chars into one
//   large buffer;
// - omf reads the same file with its stream reader, plays it through OmFactory and renders the tree
//   with the JSON renderer into a buffer.
// BM_OmfJson times both in every iteration, one after the other under the same load, and reports
// omf / plain loop as the counter `ratio`.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <ostream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include <omf/factory/Factory.h>
#include <omf/factory/FactorySink.h>
#include <omf/model/OutputTree.h>
#include <omf/protocol/MessageCatalogue.h>
#include <omf/render/JsonRenderer.h>
#include <omf/selection/OMSObjectSelector.h>
#include <omf/stream/StreamFile.h>
#include <omf/stream/StreamPlayer.h>
#include <omf/stream/WireFormat.h>

#include "Crosstab.h"

using namespace omf;

namespace {

constexpr int kSide = 1000;

// The stream file, written once per process into the temporary directory and removed at exit.
struct StreamFile {
  std::string path;
  StreamFile() {
    const char* dir = std::getenv("TMPDIR");
    path = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/omf_plainloop_" +
           std::to_string(getpid()) + ".omfs";
    stream::StreamFileWriter writer(path);
    bench::WriteCrosstab(writer, kSide);
    writer.Flush();
  }
  ~StreamFile() { std::remove(path.c_str()); }
};

const std::string& StreamPath() {
  static const StreamFile file;
  return file.path;
}

// ---- the plain loop

class MappedFile {
public:
  explicit MappedFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    struct stat st {};
    fstat(fd, &st);
    _size = static_cast<std::size_t>(st.st_size);
    void* p = mmap(nullptr, _size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    close(fd);
    if (p == MAP_FAILED) throw std::runtime_error("cannot map " + path);
    madvise(p, _size, MADV_SEQUENTIAL);
    _data = static_cast<const unsigned char*>(p);
  }
  ~MappedFile() { munmap(const_cast<unsigned char*>(_data), _size); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  const unsigned char* Data() const { return _data; }
  std::size_t Size() const { return _size; }

private:
  const unsigned char* _data = nullptr;
  std::size_t _size = 0;
};

// Anonymous memory that the kernel zero-fills as it is first touched, in huge pages where it offers
// them, so that a large array costs one fault per 2 MB instead of one per 4 KB; it grows without copying
// (the kernel moves the pages).
class Pages {
public:
  explicit Pages(std::size_t bytes) : _size(bytes) {
    void* p = mmap(nullptr, _size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    madvise(p, _size, MADV_HUGEPAGE);
    _data = static_cast<char*>(p);
  }
  ~Pages() { munmap(_data, _size); }
  Pages(const Pages&) = delete;
  Pages& operator=(const Pages&) = delete;
  char* Data() const { return _data; }
  std::size_t Size() const { return _size; }
  void Swap(Pages& other) {
    std::swap(_data, other._data);
    std::swap(_size, other._size);
  }
  void Grow(std::size_t bytes) {
    void* p = mremap(_data, _size, bytes, MREMAP_MAYMOVE);
    if (p == MAP_FAILED) throw std::bad_alloc();
    madvise(p, bytes, MADV_HUGEPAGE);
    _data = static_cast<char*>(p);
    _size = bytes;
  }

private:
  char* _data = nullptr;
  std::size_t _size = 0;
};

// Open addressing with linear probing; labels are views into the mapped file. Ordinals count from 0 in
// the order labels are first seen, as categories are numbered.
class FlatIndex {
public:
  FlatIndex() : _slots(1024) {}

  std::uint32_t Find(std::string_view label) {
    std::size_t i = Hash(label) & (_slots.size() - 1);
    for (;; i = (i + 1) & (_slots.size() - 1)) {
      Slot& s = _slots[i];
      if (s.ordinal == kEmpty) {
        s.label = label;
        s.ordinal = _count++;
        const std::uint32_t ordinal = s.ordinal;
        if (_count * 2 > _slots.size()) Grow();
        return ordinal;
      }
      if (s.label == label) return s.ordinal;
    }
  }

private:
  static constexpr std::uint32_t kEmpty = ~0u;
  struct Slot {
    std::string_view label;
    std::uint32_t ordinal = kEmpty;
  };
  static std::size_t Hash(std::string_view s) {
    std::uint64_t h = 1469598103934665603ull; // FNV-1a
    for (unsigned char c : s)
      h = (h ^ c) * 1099511628211ull;
    return static_cast<std::size_t>(h ^ (h >> 29));
  }
  void Grow() {
    std::vector<Slot> old(_slots.size() * 2);
    old.swap(_slots);
    for (const Slot& s : old) {
      if (s.ordinal == kEmpty) continue;
      std::size_t i = Hash(s.label) & (_slots.size() - 1);
      while (_slots[i].ordinal != kEmpty)
        i = (i + 1) & (_slots.size() - 1);
      _slots[i] = s;
    }
  }

  std::vector<Slot> _slots;
  std::uint32_t _count = 0;
};

template <class T> T Load(const unsigned char* payload, std::size_t length, std::int16_t offset) {
  if (offset < 0 || static_cast<std::size_t>(offset) + sizeof(T) > length)
    throw std::runtime_error("short payload");
  T v;
  std::memcpy(&v, payload + offset, sizeof v);
  return v;
}

template <class M> constexpr std::int16_t At(typename M::Field f) {
  return M::kSpec.fields[f].offset;
}

// Zero bytes are an absent cell.
struct StoredNumber {
  double value;
  std::uint32_t format;
  bool present;
};

// The numbers of a table, row after row, each row `stride` cells wide (a power of two that grows as
// columns appear, which moves the rows stored so far).
class DenseCells {
public:
  DenseCells() : _pages(kStart * sizeof(StoredNumber)) {}
  StoredNumber& At(std::uint32_t row, std::uint32_t column) {
    if (column >= _stride) Widen(column);
    const std::size_t ordinal = std::size_t{row} * _stride + column;
    // Whole rows, so that Row() can be read to the stride.
    while ((std::size_t{row} + 1) * _stride * sizeof(StoredNumber) > _pages.Size())
      _pages.Grow(_pages.Size() * 2);
    _rows = std::max(_rows, row + 1);
    return Cells()[ordinal];
  }
  const StoredNumber* Row(std::uint32_t row) const { return Cells() + std::size_t{row} * _stride; }
  std::uint32_t Rows() const { return _rows; }

private:
  static constexpr std::size_t kStart = 1 << 16;
  StoredNumber* Cells() const { return reinterpret_cast<StoredNumber*>(_pages.Data()); }
  void Widen(std::uint32_t column) {
    std::uint32_t stride = _stride;
    while (stride <= column)
      stride *= 2;
    Pages wider(std::max(_pages.Size(), std::size_t{_rows} * stride * sizeof(StoredNumber)));
    for (std::uint32_t r = 0; r < _rows; ++r)
      std::memcpy(wider.Data() + std::size_t{r} * stride * sizeof(StoredNumber), Row(r),
                  _stride * sizeof(StoredNumber));
    _pages.Swap(wider);
    _stride = stride;
  }

  Pages _pages;
  std::uint32_t _stride = 16;
  std::uint32_t _rows = 0;
};

struct Parameter {
  double value = 0;
  std::uint32_t format = 0;
  std::string_view text;
};

// The constant tail of a cell's line for one format: `,"format":[8,5,0],"formatName":"F"}`.
std::string FormatTail(std::uint32_t word) {
  const stream::WireFormat f = stream::WireFormat::FromWord(word);
  std::string name = f.Name().value_or("F");
  name.erase(name.find_first_of("0123456789"));
  return ",\"format\":[" + std::to_string(f.width) + "," + std::to_string(f.type) + "," +
         std::to_string(f.decimals) + "],\"formatName\":\"" + name + "\"}";
}

// Walk, decode, store, print; returns the bytes written.
std::size_t PlainLoop(const std::string& path) {
  const MappedFile file(path);
  const unsigned char* p = file.Data();
  const unsigned char* const end = p + file.Size();
  p += stream::kStreamHeaderBytes;

  std::vector<Parameter> slots(16);
  FlatIndex rowIndex;
  FlatIndex columnIndex;
  DenseCells cells;
  std::size_t stored = 0;
  std::uint32_t row = 0;
  std::uint32_t columns = 0;
  auto slot = [&slots](std::int32_t k) -> Parameter& {
    if (k < 0 || k > 1 << 20) throw std::runtime_error("slot out of range");
    if (static_cast<std::size_t>(k) >= slots.size()) slots.resize(static_cast<std::size_t>(k) + 1);
    return slots[static_cast<std::size_t>(k)];
  };

  while (end - p >= static_cast<std::ptrdiff_t>(stream::kRecordHeaderBytes)) {
    std::int16_t type;
    std::uint32_t length;
    std::memcpy(&type, p, 2);
    std::memcpy(&length, p + 2, 4);
    const unsigned char* payload = p + stream::kRecordHeaderBytes;
    if (static_cast<std::size_t>(end - payload) < length) throw std::runtime_error("truncated record");
    p = payload + length;
    switch (type) {
    case TypeNumber(msg::Number::kType): {
      Parameter& s = slot(Load<std::int32_t>(payload, length, At<msg::Number>(msg::Number::kSlot)));
      s.value = Load<double>(payload, length, At<msg::Number>(msg::Number::kValue));
      s.format = Load<std::uint32_t>(payload, length, At<msg::Number>(msg::Number::kFormat));
      break;
    }
    case TypeNumber(msg::String::kType): {
      const auto n = Load<std::int32_t>(payload, length, At<msg::String>(msg::String::kLength));
      const std::int16_t at = At<msg::String>(msg::String::kText);
      if (n < 0 || static_cast<std::size_t>(at) + static_cast<std::size_t>(n) > length)
        throw std::runtime_error("short text");
      slot(Load<std::int32_t>(payload, length, At<msg::String>(msg::String::kSlot))).text =
          std::string_view(reinterpret_cast<const char*>(payload + at), static_cast<std::size_t>(n));
      break;
    }
    case TypeNumber(msg::Category::kType): {
      const auto k = Load<std::int32_t>(payload, length, At<msg::Category>(msg::Category::kCategory));
      row = rowIndex.Find(slot(k).text);
      break;
    }
    case TypeNumber(msg::Cell::kType): {
      const Parameter& number = slot(Load<std::int32_t>(payload, length, At<msg::Cell>(msg::Cell::kCell)));
      const auto k = Load<std::int32_t>(payload, length, At<msg::Cell>(msg::Cell::kCategory));
      const std::uint32_t column = columnIndex.Find(slot(k).text);
      columns = std::max(columns, column + 1);
      StoredNumber& cell = cells.At(row, column);
      stored += !cell.present;
      cell = {number.value, number.format, true};
      break;
    }
    default:
      break;
    }
  }

  // Cells in the order of their subscripts: the column dimension was defined first.
  // A fixed-point number has at most 309 digits before the point and 255 after it.
  constexpr std::size_t kLongestLine = 1024; // without the format's tail
  constexpr std::size_t kTypicalLine = 128;
  Pages out(std::max<std::size_t>(stored * kTypicalLine, 1 << 21));
  std::uint32_t lastFormat = ~0u;
  std::string tail;
  char* w = out.Data();
  auto put = [&w](std::string_view s) {
    std::memcpy(w, s.data(), s.size());
    w += s.size();
  };
  for (std::uint32_t c = 0; c < columns; ++c)
    for (std::uint32_t r = 0; r < cells.Rows(); ++r) {
      const StoredNumber& cell = cells.Row(r)[c];
      if (!cell.present) continue;
      if (cell.format != lastFormat) {
        tail = FormatTail(cell.format);
        lastFormat = cell.format;
      }
      const std::size_t used = static_cast<std::size_t>(w - out.Data());
      if (out.Size() - used < kLongestLine + tail.size()) {
        out.Grow(out.Size() * 2);
        w = out.Data() + used;
      }
      char* const limit = out.Data() + out.Size();
      put("{\"at\":[");
      w = std::to_chars(w, limit, c).ptr;
      *w++ = ',';
      w = std::to_chars(w, limit, r).ptr;
      put("],\"kind\":\"number\",\"text\":\"");
      w = std::to_chars(w, limit, cell.value, std::chars_format::fixed, cell.format & 0xff).ptr;
      put("\",\"value\":");
      w = std::to_chars(w, limit, cell.value).ptr;
      put(tail);
      put(",\n");
    }
  benchmark::DoNotOptimize(out.Data());
  return static_cast<std::size_t>(w - out.Data());
}

// ---- omf

// Collects the rendered bytes in one growing buffer of pages, as the plain loop does.
class PagesBuffer final : public std::streambuf {
public:
  PagesBuffer() : _pages(1 << 21) {}
  std::size_t Size() const { return _used; }

protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) {
      const char ch = static_cast<char>(c);
      xsputn(&ch, 1);
    }
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const auto k = static_cast<std::size_t>(n);
    while (_pages.Size() - _used < k)
      _pages.Grow(_pages.Size() * 2);
    std::memcpy(_pages.Data() + _used, s, k);
    _used += k;
    return n;
  }

private:
  Pages _pages;
  std::size_t _used = 0;
};

struct Keep : OmFactory::Observer {
  bool KeepProcedure() override { return true; }
};

std::size_t OmfJson(const std::string& path) {
  OmOutputTree tree;
  tree.Append(0, std::make_unique<OmHeading>(OmStringCell("Output", nullptr, true)));
  const std::vector<OMSObjectSelector> none;
  OmFactory factory(&tree, "", "UTF-8", none);
  Keep keep;
  factory.Register(&keep);
  stream::FactorySink sink(factory);
  stream::StreamReader reader = stream::StreamReader::OpenFile(path);
  stream::PlayStream(reader, sink);
  PagesBuffer buffer;
  std::ostream out(&buffer);
  render::JsonRenderer().Render(tree, out);
  return buffer.Size();
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

void BM_PlainLoop(benchmark::State& state) {
  const std::string& path = StreamPath();
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = PlainLoop(path);
  }
  state.counters["output_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_PlainLoop)->Unit(benchmark::kMillisecond)->Iterations(5);

// The measured time is omf's; the plain loop runs right before it in every iteration.
void BM_OmfJson(benchmark::State& state) {
  const std::string& path = StreamPath();
  double omf = 0;
  double plain = 0;
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(PlainLoop(path));
    auto t1 = std::chrono::steady_clock::now();
    bytes = OmfJson(path);
    auto t2 = std::chrono::steady_clock::now();
    plain += Seconds(t1 - t0);
    omf += Seconds(t2 - t1);
    state.SetIterationTime(Seconds(t2 - t1));
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["plain_ms"] = plain / n * 1e3;
  state.counters["omf_ms"] = omf / n * 1e3;
  state.counters["ratio"] = omf / plain;
  state.counters["output_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_OmfJson)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
