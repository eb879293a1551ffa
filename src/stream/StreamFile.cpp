#include <omf/stream/StreamFile.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <limits>
#include <memory>
#include <ostream>

namespace omf {

namespace stream {

namespace {

constexpr char kMagic[4] = {'O', 'M', 'F', 'S'};
// Input of unknown size is read in pieces of this size, so that memory grows only with bytes that exist.
constexpr std::size_t kChunk = 1u << 20;
// Input of known size is read in blocks of this size and records are handed out of them: one read call
// per block instead of two per record.
constexpr std::size_t kBlock = 1u << 20;

std::uint32_t ReadLe(const unsigned char* p, std::size_t n) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < n; ++i)
    v |= std::uint32_t{p[i]} << (8 * i);
  return v;
}

// A record header's type and length, read in one go on little-endian machines.
void ReadRecordHeader(const unsigned char* p, short& type, std::uint32_t& length) {
  if constexpr (std::endian::native == std::endian::little) {
    std::uint16_t t;
    std::memcpy(&t, p, 2);
    std::memcpy(&length, p + 2, 4);
    type = static_cast<short>(t);
  } else {
    type = static_cast<short>(ReadLe(p, 2));
    length = ReadLe(p + 2, 4);
  }
}

void PutLe(unsigned char* p, std::uint32_t v, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::string Printable(const unsigned char* p, std::size_t n) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] >= 0x20 && p[i] < 0x7f && p[i] != '"' && p[i] != '\\') {
      out += static_cast<char>(p[i]);
    } else {
      out += "\\x";
      out += kHex[p[i] >> 4];
      out += kHex[p[i] & 15];
    }
  }
  return out + "\"";
}

std::string Describe(std::uint64_t index, std::optional<short> type, std::uint64_t offset,
                     const std::string& problem) {
  std::string where;
  if (index == 0) {
    where = "byte " + std::to_string(offset);
  } else {
    where = "record " + std::to_string(index);
    if (type) where += " (type " + std::to_string(*type) + ")";
    where += " at byte " + std::to_string(offset);
  }
  return where + ": " + problem;
}

std::string OfBytes(const char* what, std::uint64_t got, std::uint64_t wanted) {
  return std::string("truncated ") + what + ": " + std::to_string(got) + " of " + std::to_string(wanted) +
         " bytes";
}

} // namespace

StreamFormatError::StreamFormatError(std::uint64_t index, std::optional<short> type, std::uint64_t offset,
                                     std::string problem)
    : std::runtime_error(Describe(index, type, offset, problem)), _index(index), _type(type), _offset(offset),
      _problem(std::move(problem)) {}

// ---- reading

// A regular file mapped into memory, so that records are read where they lie instead of being copied
// through a stream. The mapping takes the file's size when it is opened; a file that a producer goes on
// appending to is read as far as it was then.
class MappedFile {
public:
  // Null when the path is not a regular file that can be mapped (a pipe, a device, an empty file): the
  // caller then reads it as a stream.
  static std::unique_ptr<MappedFile> Open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    void* p = MAP_FAILED;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
      p = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (p == MAP_FAILED) return nullptr;
    // A page that a receiver changes (swapped fields reversed in place) becomes a private copy; the file
    // stays as it is.
    return std::unique_ptr<MappedFile>(
        new MappedFile(static_cast<unsigned char*>(p), static_cast<std::size_t>(st.st_size)));
  }
  ~MappedFile() { ::munmap(_bytes.data(), _bytes.size()); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  std::span<unsigned char> Bytes() const { return _bytes; }

  // Called as reading reaches `offset`: the pages of windows read past are let go, so that the file
  // never counts in the process's memory more than a few windows' worth (the kernel maps the pages
  // ahead in runs as they are first read).
  void Reached(std::uint64_t offset) {
    if (offset < _next) return;
    const std::uint64_t begin = offset / kWindow * kWindow;
    if (begin > kWindow) {
      const std::uint64_t done = begin - kWindow; // the window before the current one may hold the record
      (void)::madvise(_bytes.data() + _released, static_cast<std::size_t>(done - _released), MADV_DONTNEED);
      _released = done;
    }
    _next = begin + kWindow;
  }

private:
  static constexpr std::uint64_t kWindow = std::uint64_t{2} << 20; // a multiple of the page size
  MappedFile(unsigned char* data, std::size_t size) : _bytes(data, size) {}
  std::span<unsigned char> _bytes;
  std::uint64_t _next = 0;     // the offset at which windows are let go again
  std::uint64_t _released = 0; // let go up to here
};

struct StreamReader::Impl {
  std::unique_ptr<MappedFile> _mapped;
  std::vector<unsigned char> _owned;
  bool _writable = false;                // _bytes may be changed in place (a mapped file, _owned)
  StreamRecord _scratch;                 // for records handed out by view from input that must not change
  std::span<const unsigned char> _bytes; // memory input
  std::unique_ptr<std::istream> _ownedStream;
  std::istream* _in = nullptr;        // stream input when set
  std::optional<std::uint64_t> _size; // bytes of input, when known
  std::uint64_t _offset = 0;          // bytes consumed
  std::uint64_t _index = 0;           // records returned

  std::vector<unsigned char> _block; // stream input of known size is read in blocks of kBlock bytes
  std::size_t _blockAt = 0;          // next byte of _block to hand out
  std::size_t _blockEnd = 0;         // bytes of _block that hold input

  // Up to n of the next input bytes where they lie (in memory, the block, or `scratch`), without
  // consuming them; empty at the end of the input.
  std::span<const unsigned char> Peek(std::size_t n, unsigned char* scratch) {
    if (_in == nullptr) {
      const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, _bytes.size() - _offset));
      return {_bytes.data() + _offset, k};
    }
    // Input of unknown size may be a producer that is still writing: ask only for the bytes needed.
    if (!_size) {
      _in->read(reinterpret_cast<char*>(scratch), static_cast<std::streamsize>(n));
      return {scratch, static_cast<std::size_t>(_in->gcount())};
    }
    if (_blockAt == _blockEnd) {
      _block.resize(kBlock);
      _in->read(reinterpret_cast<char*>(_block.data()), static_cast<std::streamsize>(kBlock));
      _blockAt = 0;
      _blockEnd = static_cast<std::size_t>(_in->gcount());
    }
    return {_block.data() + _blockAt, std::min(n, _blockEnd - _blockAt)};
  }

  void Consume(std::size_t k) {
    _offset += k;
    if (_in != nullptr && _size) _blockAt += k;
  }

  // Up to n bytes into `to`; the count read.
  std::size_t Read(unsigned char* to, std::size_t n) {
    std::size_t have = 0;
    while (have < n) {
      const std::span<const unsigned char> piece = Peek(n - have, to + have);
      if (piece.empty()) break;
      if (piece.data() != to + have) std::memcpy(to + have, piece.data(), piece.size());
      Consume(piece.size());
      have += piece.size();
    }
    return have;
  }

  void MeasureStream() {
    const std::istream::pos_type start = _in->tellg();
    if (start == std::istream::pos_type(-1)) return;
    _in->seekg(0, std::ios::end);
    const std::istream::pos_type end = _in->tellg();
    _in->seekg(start);
    if (end == std::istream::pos_type(-1) || !*_in || end < start) {
      _in->clear();
      return;
    }
    _size = static_cast<std::uint64_t>(end - start);
  }

  void ReadFileHeader() {
    unsigned char h[kStreamHeaderBytes];
    const std::size_t got = Read(h, sizeof h);
    if (got < sizeof h) throw StreamFormatError(0, std::nullopt, 0, OfBytes("file header", got, sizeof h));
    if (std::memcmp(h, kMagic, 4) != 0)
      throw StreamFormatError(0, std::nullopt, 0,
                              "bad magic " + Printable(h, 4) + ", expected \"OMFS\": not a recorded stream");
    const std::uint32_t version = ReadLe(h + 4, 2);
    if (version != kStreamVersion)
      throw StreamFormatError(0, std::nullopt, 4,
                              "unsupported format version " + std::to_string(version) +
                                  " (this reader reads " + std::to_string(kStreamVersion) + ")");
  }

  // The next record when the input is in memory and holds it whole, the common case: its payload where
  // it lies, the record counted and consumed. Null otherwise (the end, a truncated record, stream input),
  // which the general path then reads or reports.
  const unsigned char* WholeRecord(short& type, std::uint32_t& length, std::uint64_t& index,
                                   std::uint64_t& offset) {
    if (_mapped) _mapped->Reached(_offset);
    if (_in != nullptr || _bytes.size() - _offset < kRecordHeaderBytes) return nullptr;
    const unsigned char* p = _bytes.data() + _offset;
    ReadRecordHeader(p, type, length);
    if (_bytes.size() - _offset - kRecordHeaderBytes < length) return nullptr;
    index = ++_index;
    offset = _offset;
    _offset += kRecordHeaderBytes + length;
    return p + kRecordHeaderBytes;
  }

  bool Next(RecordView& view) {
    if (_writable) {
      std::uint32_t n;
      if (const unsigned char* payload = WholeRecord(view.type, n, view.index, view.offset)) {
        view.payload = const_cast<unsigned char*>(payload); // memory this reader may change
        view.length = n;
        return true;
      }
    }
    if (!Next(_scratch)) return false;
    view.type = _scratch.type;
    view.payload = _scratch.payload.data();
    view.length = _scratch.payload.size();
    view.index = _scratch.index;
    view.offset = _scratch.offset;
    return true;
  }

  bool Next(StreamRecord& record) {
    std::uint32_t length;
    if (const unsigned char* payload = WholeRecord(record.type, length, record.index, record.offset)) {
      record.payload.assign(payload, payload + length);
      return true;
    }
    const std::uint64_t at = _offset;
    const std::uint64_t index = _index + 1;
    unsigned char h[kRecordHeaderBytes];
    const std::size_t got = Read(h, sizeof h);
    if (got == 0) return false;
    std::optional<short> type;
    if (got >= 2) type = static_cast<short>(ReadLe(h, 2));
    if (got < sizeof h) throw StreamFormatError(index, type, at, OfBytes("record header", got, sizeof h));
    const std::uint32_t n = ReadLe(h + 2, 4);
    // Check against what is left before allocating anything.
    const std::optional<std::uint64_t> left =
        _in == nullptr
            ? std::optional<std::uint64_t>(_bytes.size() - _offset)
            : (_size ? std::optional<std::uint64_t>(*_size - std::min(*_size, _offset)) : std::nullopt);
    if (left && *left < n) throw StreamFormatError(index, type, at, OfBytes("payload", *left, n));
    record.payload.clear();
    if (left) {
      // Appended from where the bytes lie, so that the payload is not zero-filled before it is copied.
      record.payload.reserve(n);
      std::size_t have = 0;
      while (have < n) {
        const std::span<const unsigned char> piece = Peek(n - have, nullptr);
        if (piece.empty()) throw StreamFormatError(index, type, at, OfBytes("payload", have, n));
        record.payload.insert(record.payload.end(), piece.begin(), piece.end());
        Consume(piece.size());
        have += piece.size();
      }
    } else {
      std::size_t have = 0;
      while (have < n) {
        const std::size_t piece = std::min<std::size_t>(kChunk, n - have);
        record.payload.resize(have + piece);
        const std::size_t k = Read(record.payload.data() + have, piece);
        have += k;
        if (k < piece) throw StreamFormatError(index, type, at, OfBytes("payload", have, n));
      }
    }
    record.type = *type;
    record.index = index;
    record.offset = at;
    _index = index;
    return true;
  }
};

StreamReader::StreamReader(std::unique_ptr<Impl> impl) : _my(std::move(impl)) {
  _my->ReadFileHeader();
}

StreamReader StreamReader::OpenFile(const std::string& path) {
  auto impl = std::make_unique<Impl>();
  if (std::unique_ptr<MappedFile> mapped = MappedFile::Open(path)) {
    impl->_bytes = mapped->Bytes();
    impl->_mapped = std::move(mapped);
    impl->_writable = true;
    return StreamReader(std::move(impl));
  }
  auto file = std::make_unique<std::ifstream>(path, std::ios::binary);
  if (!*file) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
  impl->_in = file.get();
  impl->_ownedStream = std::move(file);
  impl->MeasureStream();
  return StreamReader(std::move(impl));
}

StreamReader::StreamReader(std::istream& in)
    : StreamReader([&in] {
        auto impl = std::make_unique<Impl>();
        impl->_in = &in;
        impl->MeasureStream();
        return impl;
      }()) {}

StreamReader::StreamReader(std::span<const unsigned char> bytes)
    : StreamReader([bytes] {
        auto impl = std::make_unique<Impl>();
        impl->_bytes = bytes;
        return impl;
      }()) {}

StreamReader::StreamReader(std::vector<unsigned char> bytes)
    : StreamReader([&bytes] {
        auto impl = std::make_unique<Impl>();
        impl->_owned = std::move(bytes);
        impl->_bytes = impl->_owned;
        impl->_writable = true;
        return impl;
      }()) {}

StreamReader::~StreamReader() = default;
StreamReader::StreamReader(StreamReader&&) noexcept = default;
StreamReader& StreamReader::operator=(StreamReader&&) noexcept = default;

bool StreamReader::Next(StreamRecord& record) {
  return _my->Next(record);
}

bool StreamReader::Next(RecordView& record) {
  return _my->Next(record);
}

std::vector<StreamRecord> StreamReader::ReadAll() {
  std::vector<StreamRecord> out;
  StreamRecord r;
  while (Next(r))
    out.push_back(r);
  return out;
}

// ---- writing

StreamFileWriter::StreamFileWriter(std::ostream& out) : _out(&out) {
  WriteHeader();
}

StreamFileWriter::StreamFileWriter(const std::string& path)
    : _owned(std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc)), _out(_owned.get()),
      _path(path) {
  if (!*_out) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
  WriteHeader();
}

void StreamFileWriter::WriteHeader() {
  unsigned char h[kStreamHeaderBytes] = {};
  std::memcpy(h, kMagic, 4);
  PutLe(h + 4, kStreamVersion, 2);
  _out->write(reinterpret_cast<const char*>(h), sizeof h);
}

StreamFileWriter::~StreamFileWriter() {
  if (_out) _out->flush();
}

void StreamFileWriter::Send(short type, std::vector<unsigned char>& payload) {
  if (payload.size() > std::numeric_limits<std::uint32_t>::max())
    throw std::length_error("a payload of " + std::to_string(payload.size()) +
                            " bytes does not fit a stream record");
  unsigned char h[kRecordHeaderBytes];
  PutLe(h, static_cast<std::uint16_t>(type), 2);
  PutLe(h + 2, static_cast<std::uint32_t>(payload.size()), 4);
  _out->write(reinterpret_cast<const char*>(h), sizeof h);
  _out->write(reinterpret_cast<const char*>(payload.data()), static_cast<std::streamsize>(payload.size()));
}

void StreamFileWriter::Write(const StreamRecord& record) {
  std::vector<unsigned char> payload = record.payload;
  Send(record.type, payload);
}

void StreamFileWriter::Flush() {
  _out->flush();
  if (!*_out) throw std::runtime_error("cannot write " + (_path.empty() ? std::string("the stream") : _path));
}

std::vector<unsigned char> StreamBytes(const std::vector<StreamRecord>& records) {
  std::vector<unsigned char> out(kStreamHeaderBytes, 0);
  std::memcpy(out.data(), kMagic, 4);
  PutLe(out.data() + 4, kStreamVersion, 2);
  for (const StreamRecord& r : records) {
    const std::size_t at = out.size();
    out.resize(at + kRecordHeaderBytes);
    PutLe(out.data() + at, static_cast<std::uint16_t>(r.type), 2);
    PutLe(out.data() + at + 2, static_cast<std::uint32_t>(r.payload.size()), 4);
    out.insert(out.end(), r.payload.begin(), r.payload.end());
  }
  return out;
}

void WriteStreamFile(const std::string& path, const std::vector<StreamRecord>& records) {
  StreamFileWriter writer(path);
  for (const StreamRecord& r : records)
    writer.Write(r);
  writer.Flush();
}

std::vector<StreamRecord> ReadStreamFile(const std::string& path) {
  return StreamReader::OpenFile(path).ReadAll();
}

} // namespace stream

} // namespace omf
