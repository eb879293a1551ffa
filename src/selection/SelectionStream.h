#pragma once
// Reading and writing the binary stream of the selection classes. Values go out in the writer's native
// byte order; texts are their bytes and one NUL. The reader treats its input as untrusted: every failure
// raises OMSStreamError naming the field and the byte where it starts, and no count is trusted beyond what
// the input can still hold.
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace omf {

namespace selection::detail {

// The longest text a stream may carry: readers keep a buffer of 1024 bytes, NUL included.
inline constexpr std::size_t kMaxStreamText = 1023;

// The smallest stream of one object selector: every list empty, every text empty.
inline constexpr std::size_t kObjectSelectorMinimumBytes = 74;

class StreamWriter {
public:
  explicit StreamWriter(std::ostream& os) : _os(os) {}

  void Flag(bool value);
  void Int32(std::int32_t value);
  void Int16In4(std::int16_t value); // the value then two zero bytes
  void Double(double value);
  // Texts longer than kMaxStreamText or holding a NUL cannot be read back: std::invalid_argument.
  void Text(std::string_view text, std::string_view field);

private:
  std::ostream& _os;
};

class StreamReader {
public:
  // Offsets are those of the stream (tellg) when it can tell them, else counted from where reading began.
  explicit StreamReader(std::istream& is);

  // Names the object being read in error messages for as long as it lives ("IF set", "token 2").
  class Scope {
  public:
    Scope(StreamReader& reader, std::string name);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

  private:
    StreamReader& _reader;
  };

  bool Flag(std::string_view field);
  std::int32_t Int32(std::string_view field, bool swap);
  std::uint32_t UInt32(std::string_view field, bool swap);
  std::int16_t Int16In4(std::string_view field);
  double Double(std::string_view field);
  std::string Text(std::string_view field);
  void Bytes(char* target, std::size_t count, std::string_view field);
  // A list length: not negative, and no larger than the rest of the input can hold when each entry takes
  // at least `minimumEntryBytes`.
  std::int32_t Count(std::string_view field, bool swap, std::size_t minimumEntryBytes);

  std::uint64_t Offset() const { return _offset; }
  // Bytes left before the end of the input, when the stream can tell.
  std::optional<std::uint64_t> Remaining() const;
  [[noreturn]] void Fail(std::string_view field, std::uint64_t at, const std::string& problem) const;

private:
  std::istream& _is;
  std::uint64_t _offset = 0;
  std::optional<std::uint64_t> _end;
  std::vector<std::string> _scopes;
};

} // namespace selection::detail

} // namespace omf
