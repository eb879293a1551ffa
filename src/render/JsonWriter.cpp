#include <omf/render/JsonWriter.h>

#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace omf {

namespace render {

namespace {

// The bytes that a string keeps as they are without looking further: printable ASCII but the quote and
// the backslash.
constexpr auto kPlain = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x80; ++c)
    plain[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
  return plain;
}();

// The UTF-8 sequence that starts with a byte from 0x80 up at text[0]. Returns its length when it is
// well formed; else, as a negative number, the length of its longest prefix that could still have
// become well formed (at least 1), which is replaced as a whole.
int Utf8Sequence(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  int length;
  unsigned char low = 0x80, high = 0xBF; // the range of the second byte; later ones are always 80..BF
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;  // shorter forms of these code points
    if (lead == 0xED) high = 0x9F; // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;  // shorter forms
    if (lead == 0xF4) high = 0x8F; // beyond U+10FFFF
  } else {
    return -1; // a continuation byte, or a lead byte that no well-formed text holds
  }
  for (int i = 1; i < length; ++i) {
    if (static_cast<std::size_t>(i) >= text.size() || byte(i) < low || byte(i) > high) return -i;
    low = 0x80;
    high = 0xBF;
  }
  return length;
}

} // namespace

JsonWriter::JsonWriter(std::ostream& out) : _out(out), _buffer(new char[kBufferBytes]) {}

JsonWriter& JsonWriter::BeginObject() {
  BeforeValue();
  Put('{');
  _open.push_back(Open{false, false, true});
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  assert(!_open.empty() && !_open.back().array && !_afterKey && "an object ends where one is open");
  _open.pop_back();
  Put('}');
  return *this;
}

JsonWriter& JsonWriter::BeginArray(Layout layout) {
  BeforeValue();
  Put('[');
  _open.push_back(Open{true, layout == Layout::kLines, true});
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  assert(!_open.empty() && _open.back().array && "an array ends where one is open");
  if (_open.back().lines && !_open.back().empty) Put('\n');
  _open.pop_back();
  Put(']');
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
  assert(!_open.empty() && !_open.back().array && !_afterKey && "a key stands in an object, before a value");
  if (!_open.back().empty) Put(',');
  _open.back().empty = false;
  Quoted(key);
  Put(':');
  _afterKey = true;
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
  BeforeValue();
  Quoted(text);
  return *this;
}

JsonWriter& JsonWriter::Number(double value) {
  if (!std::isfinite(value)) return Null();
  BeforeValue();
  char* room = Room(kNumberBytes);
  _used += static_cast<std::size_t>(Shortest(room, value) - room);
  return *this;
}

char* JsonWriter::Shortest(char* at, double value) {
  const double magnitude = std::fabs(value);
  if (magnitude >= 1 && magnitude < 9007199254740992.0 && magnitude == std::floor(magnitude)) {
    char digits[20];
    const auto whole = static_cast<std::uint64_t>(magnitude);
    const auto n =
        static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, whole).ptr - digits);
    std::size_t significant = n;
    while (significant > 1 && digits[significant - 1] == '0')
      --significant;
    // to_chars takes the shorter of the plain and the scientific form, the plain one on a tie; below
    // 2^53 the exponent has two digits ("d.ddde+XX").
    const std::size_t scientific = significant + (significant > 1 ? 1 : 0) + 4;
    if (n <= scientific) {
      if (value < 0) *at++ = '-';
      std::memcpy(at, digits, n);
      return at + n;
    }
  }
  return std::to_chars(at, at + kNumberBytes, value).ptr;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  Put(value ? std::string_view("true") : std::string_view("false"));
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  Put(std::string_view("null"));
  return *this;
}

void JsonWriter::Finish() {
  assert(_open.empty() && "every object and array is closed");
  Put('\n');
  Drain();
}

void JsonWriter::BeforeValue() {
  if (_afterKey) {
    _afterKey = false;
    return;
  }
  if (_open.empty()) return;
  Open& open = _open.back();
  assert(open.array && "a value in an object follows its key");
  if (!open.empty) Put(',');
  if (open.lines) Put('\n');
  open.empty = false;
}

void JsonWriter::Drain() {
  _out.write(_buffer.get(), static_cast<std::streamsize>(_used));
  _used = 0;
}

void JsonWriter::Put(std::string_view text) {
  if (text.size() > kBufferBytes - _used) {
    Drain();
    if (text.size() > kBufferBytes) {
      _out.write(text.data(), static_cast<std::streamsize>(text.size()));
      return;
    }
  }
  std::memcpy(_buffer.get() + _used, text.data(), text.size());
  _used += text.size();
}

void JsonWriter::Quoted(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  Put('"');
  std::size_t kept = 0; // text[kept, i) is written as it stands
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (kPlain[c]) {
      ++i;
      continue;
    }
    int length = 1;
    if (c >= 0x80) {
      length = Utf8Sequence(text.substr(i));
      if (length > 0) {
        i += static_cast<std::size_t>(length);
        continue;
      }
      length = -length;
    }
    Put(text.substr(kept, i - kept));
    switch (c) {
    case '"':
      Put(std::string_view("\\\""));
      break;
    case '\\':
      Put(std::string_view("\\\\"));
      break;
    case '\b':
      Put(std::string_view("\\b"));
      break;
    case '\f':
      Put(std::string_view("\\f"));
      break;
    case '\n':
      Put(std::string_view("\\n"));
      break;
    case '\r':
      Put(std::string_view("\\r"));
      break;
    case '\t':
      Put(std::string_view("\\t"));
      break;
    default:
      if (c < 0x20) {
        const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
        Put(std::string_view(escape, sizeof escape));
      } else {
        Put(std::string_view("\xEF\xBF\xBD")); // U+FFFD
      }
    }
    i += static_cast<std::size_t>(length);
    kept = i;
  }
  Put(text.substr(kept));
  Put('"');
}

} // namespace render

} // namespace omf
