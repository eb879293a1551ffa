#pragma once
// A JSON document written front to back: objects, arrays, keys and values go through a buffer straight
// to the stream, and the writer places the commas and keeps the nesting itself, so a document of any
// size is never held in memory. Output is compact (no spaces); an array may put each element on a line
// of its own. Misuse (a key outside an object, an end that closes nothing) is a bug, caught by
// assertions.
#include <charconv>
#include <concepts>
#include <cstddef>
#include <memory>
#include <ostream>
#include <string_view>
#include <vector>

namespace omf {

namespace render {

class JsonWriter {
public:
  // How an array lays out its elements: all on the current line, or each after a line break, with a
  // line break before the closing bracket of an array that holds any.
  enum class Layout { kInline, kLines };

  explicit JsonWriter(std::ostream& out);
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;

  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray(Layout layout = Layout::kInline);
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view key);

  // Strings are UTF-8. Quotes, backslashes and control characters are escaped ("\b", "\f", "\n", "\r",
  // "\t", else "\u00xx"), everything else is kept as it is; a malformed UTF-8 sequence is replaced by
  // U+FFFD, one for each longest prefix of a sequence that cannot go on. Byte for byte this is how the
  // nlohmann library dumps strings without ensure_ascii and with invalid UTF-8 replaced, so documents
  // read the same whichever of the two wrote them.
  JsonWriter& String(std::string_view text);
  template <std::integral T>
  requires(!std::same_as<T, bool>) JsonWriter& Number(T value) {
    BeforeValue();
    char* room = Room(kNumberBytes);
    _used += static_cast<std::size_t>(std::to_chars(room, room + kNumberBytes, value).ptr - room);
    return *this;
  }
  // The shortest text that reads back as the same double ("5", "0.1", "1e+21"); null for infinities and
  // NaN, which JSON cannot hold.
  JsonWriter& Number(double value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();
  // Writes what std::to_chars writes for the shortest form of a finite double (room for kNumberBytes)
  // and returns the end. Whole numbers are written by their digits without the general conversion.
  static char* Shortest(char* at, double value);
  // A value the caller writes as JSON itself, in one go: write(at) puts at most `most` bytes (at most
  // kBufferBytes) from `at` on and returns where they end. For the millions of cells of a table.
  template <class Write> JsonWriter& Raw(std::size_t most, Write&& write) {
    BeforeValue();
    char* room = Room(most);
    _used += static_cast<std::size_t>(write(room) - room);
    return *this;
  }

  // Ends the document with a line break and writes out what is buffered.
  void Finish();

  // Bytes gathered before they go to the stream: enough that a stream write is rare, few enough to
  // stay in cache.
  static constexpr std::size_t kBufferBytes = 64 * 1024;
  // The most that one number may take: 20 digits and a sign for an integer, 24 characters for the
  // shortest form of a double.
  static constexpr std::size_t kNumberBytes = 32;

private:
  struct Open {
    bool array;
    bool lines;
    bool empty;
  };

  void BeforeValue();
  void Quoted(std::string_view text);
  void Drain();
  // Makes room for n bytes (n at most kBufferBytes) and returns where they go.
  char* Room(std::size_t n) {
    if (kBufferBytes - _used < n) Drain();
    return _buffer.get() + _used;
  }
  void Put(char c) {
    *Room(1) = c;
    ++_used;
  }
  void Put(std::string_view text);

  std::ostream& _out;
  std::unique_ptr<char[]> _buffer;
  std::size_t _used = 0;
  std::vector<Open> _open;
  bool _afterKey = false;
};

} // namespace render

} // namespace omf
