#pragma once
// Output gathered in a buffer and handed to the stream a block at a time: a big table writes millions of
// short pieces (a cell, its padding, a line), which cost a copy each this way rather than a stream call
// each.
#include <charconv>
#include <cstddef>
#include <cstring>
#include <memory>
#include <ostream>
#include <string_view>

namespace omf {

namespace render {

class OutBuffer {
public:
  // Bytes gathered before they go to the stream: enough that a stream write is rare, few enough to stay
  // in cache.
  static constexpr std::size_t kBufferBytes = 64 * 1024;

  explicit OutBuffer(std::ostream& out)
      : _out(out), _buffer(std::make_unique_for_overwrite<char[]>(kBufferBytes)) {}
  OutBuffer(const OutBuffer&) = delete;
  OutBuffer& operator=(const OutBuffer&) = delete;
  // What is still buffered is not written: the owner calls Flush, where a failing stream may throw.
  ~OutBuffer() = default;

  OutBuffer& operator<<(std::string_view s) {
    if (s.size() > kBufferBytes - _used) {
      Flush();
      if (s.size() > kBufferBytes) {
        _out.write(s.data(), static_cast<std::streamsize>(s.size()));
        return *this;
      }
    }
    if (s.empty()) return *this; // an empty view may point nowhere, which memcpy must not be given
    std::memcpy(_buffer.get() + _used, s.data(), s.size());
    _used += s.size();
    return *this;
  }
  // A string literal, whose length is known when compiling.
  template <std::size_t N> OutBuffer& operator<<(const char (&s)[N]) {
    return *this << std::string_view(s, N - 1);
  }
  OutBuffer& operator<<(char c) {
    if (_used == kBufferBytes) Flush();
    _buffer[_used++] = c;
    return *this;
  }
  OutBuffer& operator<<(long long n) {
    char* at = Room(24);
    _used += static_cast<std::size_t>(std::to_chars(at, at + 24, n).ptr - at);
    return *this;
  }
  OutBuffer& operator<<(int n) { return *this << static_cast<long long>(n); }

  // `n` copies of `c`.
  void Fill(std::size_t n, char c) {
    while (n > 0) {
      if (_used == kBufferBytes) Flush();
      const std::size_t part = n < kBufferBytes - _used ? n : kBufferBytes - _used;
      std::memset(_buffer.get() + _used, c, part);
      _used += part;
      n -= part;
    }
  }

  // Room for `n` bytes (at most kBufferBytes) written straight into the buffer; Advance(end) then keeps
  // those up to `end`.
  char* Room(std::size_t n) {
    if (n > kBufferBytes - _used) Flush();
    return _buffer.get() + _used;
  }
  void Advance(const char* end) { _used = static_cast<std::size_t>(end - _buffer.get()); }

  void Flush() {
    if (_used != 0) _out.write(_buffer.get(), static_cast<std::streamsize>(_used));
    _used = 0;
  }

private:
  std::ostream& _out;
  std::unique_ptr<char[]> _buffer;
  std::size_t _used = 0;
};

} // namespace render

} // namespace omf
