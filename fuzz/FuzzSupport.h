#pragma once
// What every fuzz target shares: reporting a finding, and an output stream that keeps at most a given
// number of bytes (renderers write into it without growing memory with the output).
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <streambuf>
#include <string>
#include <typeinfo>

namespace omf {

namespace fuzz {

// A broken rule the sanitizers cannot see (a round trip that differs, an exception nobody documents):
// one line on standard error and an abort, which libFuzzer records as a crash with its input.
[[noreturn]] inline void Finding(const std::string& what) {
  std::fprintf(stderr, "finding: %s\n", what.c_str());
  std::abort();
}

template <class E> std::string Describe(const E& e) {
  return std::string(typeid(e).name()) + ": " + e.what();
}

// Keeps the first `keep` bytes written and counts the rest.
class CappedBuffer : public std::streambuf {
public:
  explicit CappedBuffer(std::size_t keep) : _keep(keep) {}
  const std::string& Text() const { return _text; }
  bool Overflowed() const { return _written > _keep; }
  std::size_t Written() const { return _written; }

protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) {
      const char ch = traits_type::to_char_type(c);
      xsputn(&ch, 1);
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const auto count = static_cast<std::size_t>(n);
    if (_text.size() < _keep) _text.append(s, std::min(count, _keep - _text.size()));
    _written += count;
    return n;
  }

private:
  std::size_t _keep;
  std::size_t _written = 0;
  std::string _text;
};

} // namespace fuzz

} // namespace omf
