#pragma once
// The message catalogue: every message type of the protocol as a row giving its payload fields in order,
// their offsets, kinds and whether they are byte-swapped when the stream comes from a machine of the
// other byte order. The rows come from protocol/Messages.def, the one table of message types. One decoder
// reads any payload through its row, checking that every field lies inside the payload; the message
// writer and the readable script encode through the same rows.
//
// For each type the namespace msg holds a struct of the same name (msg::Cell for MessageType::Cell) with
// its row and an enumeration of its fields, so that code reads a field by its name (msg::Cell::kCategory)
// and the compiler rejects a field that the message does not have.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string_view>
#include <utility>

#include <omf/protocol/MessageType.h>

namespace omf {

enum class FieldKind : std::uint8_t {
  U8,
  I16,
  I32,
  U32,
  I64,
  F64,
  Text,      // `length` bytes, the length read from the field named by `lengthOf`
  CText,     // bytes up to a NUL, which must lie inside the payload (and inside the field's width)
  Skip,      // one byte that is not read (a separator)
  Rest,      // every byte from here to the end of the payload
  NumOrText, // an F64 when the field named by `lengthOf` is 0, else that many text bytes
};

constexpr std::int16_t kFollows = -1; // the field starts where the previous one ends

// A word that scripts write for a value of a code field ("rows" for axis 0).
struct CodeWord {
  const char* word;
  std::int32_t value;
};

// Room for a field's word and its NUL.
constexpr std::size_t kMaxFieldName = 24;

struct FieldSpec {
  char name[kMaxFieldName] = {}; // the word of scripts and errors ("title-length")
  FieldKind kind = FieldKind::I32;
  std::int16_t offset = kFollows;
  bool swapped = false;
  std::int8_t lengthOf = -1; // for Text and NumOrText: index of the field holding the length
  // For Text: longer lengths are cut to this and written back. For CText: the width of a fixed field,
  // whose NUL must lie within it. 0: none.
  std::uint16_t maxLength = 0;
  std::span<const CodeWord> words; // the words for its values, for a code field
};

constexpr std::size_t kMaxFields = 10;

struct MessageSpec {
  std::int16_t type = 0;
  const char* name = nullptr; // the script's name of the message
  std::uint8_t fieldCount = 0;
  std::array<FieldSpec, kMaxFields> fields{};
};

// The row of a message type, or null for a type the protocol does not have.
const MessageSpec* FindMessageSpec(short type);
const MessageSpec& FindMessageSpec(MessageType type);
// The row named so in scripts, or null.
const MessageSpec* FindMessageSpec(std::string_view name);
// Every row, in type order.
const MessageSpec* MessageSpecs(std::size_t& count);

// A payload read through its row. Numbers are read (after swapping in place when asked), texts are
// views into the payload.
// A decoder writes every field of the row whole, and nothing past the row: a message costs what its
// fields cost.
struct DecodedField {
  std::int64_t i;
  double f;
  std::string_view text;
  bool isNumber; // for NumOrText: which of f and text holds the value
};

class DecodedMessage {
public:
  const MessageSpec& Spec() const { return *_spec; }
  std::int32_t I32(std::size_t k) const { return static_cast<std::int32_t>(_v[k].i); }
  std::uint32_t U32(std::size_t k) const { return static_cast<std::uint32_t>(_v[k].i); }
  std::int64_t I64(std::size_t k) const { return _v[k].i; }
  double F64(std::size_t k) const { return _v[k].f; }
  std::string_view Text(std::size_t k) const { return _v[k].text; }
  const DecodedField& Field(std::size_t k) const { return _v[k]; }
  // Where the field starts in the payload (for writers of in-place changes).
  std::size_t Offset(std::size_t k) const { return _offsets[k]; }
  // The payload that was read, as it stands after the decoder's swapping.
  unsigned char* Payload() const { return _data; }
  std::size_t Length() const { return _length; }

  // Reads a payload through its row. With swap set, the row's swapped fields are reversed in place in
  // the payload before they are read. Throws ProtocolError naming the field when a field does not fit in
  // the payload or a length is negative.
  DecodedMessage(const MessageSpec& spec, unsigned char* data, std::size_t length, bool swap);

private:
  template <class M> friend DecodedMessage DecodeMessageOf(unsigned char*, std::size_t, bool);
  DecodedMessage(const MessageSpec& spec, unsigned char* data, std::size_t length)
      : _spec(&spec), _data(data), _length(length) {}
  // Reads field k at `at` and moves `at` past it. Inlined where the row is a constant, so that a
  // message of a type known when compiling is read with no loop and no switch over kinds.
  [[gnu::always_inline]] inline void Read(const FieldSpec& f, std::size_t k, std::size_t& at, bool swap);

  const MessageSpec* _spec;
  unsigned char* _data;
  std::size_t _length;
  // Only the row's fields are written.
  std::array<DecodedField, kMaxFields> _v;
  std::array<std::size_t, kMaxFields> _offsets;
};

inline DecodedMessage DecodeMessage(const MessageSpec& spec, unsigned char* data, std::size_t length,
                                    bool swap) {
  return DecodedMessage(spec, data, length, swap);
}

// Reverses n bytes in place.
void ReverseBytes(unsigned char* p, std::size_t n);
// The size in bytes of a fixed-size field kind (0 for the variable ones).
std::size_t FieldSize(FieldKind kind);

// ---- the rows of protocol/Messages.def ----------------------------------------------------------------

namespace msg {

// The words of a code table (none for the fields that have no table).
template <class Codes> inline constexpr std::span<const CodeWord> kCodeWords{};

// Each code table as an enumeration of its codes (msg::code::Axis::Rows), and its words.
namespace code {
#define OMF_CODE(Enumerator, word, value) Enumerator = value,
#define OMF_CODES(Table, codes) enum class Table : std::int32_t { codes };
#include <omf/protocol/Messages.def>

#define OMF_CODE(Enumerator, word, value) {word, value},
#define OMF_CODES(Table, codes) inline constexpr CodeWord k##Table##Words[] = {codes};
#include <omf/protocol/Messages.def>
} // namespace code

#define OMF_CODES(Table, codes)                                                                              \
  template <> inline constexpr std::span<const CodeWord> kCodeWords<code::Table> = code::k##Table##Words;
#include <omf/protocol/Messages.def>

namespace detail {

// A field of a row: `ident` is its name in code ("kTitleLength"), whose word is "title-length".
constexpr FieldSpec MakeField(const char* ident, FieldKind kind, std::int16_t offset, bool swapped,
                              int lengthOf, std::uint16_t maxLength, std::span<const CodeWord> words) {
  if (ident[0] != 'k') throw "a field's name in code starts with k";
  FieldSpec f;
  std::size_t n = 0;
  for (const char* p = ident + 1; *p != '\0'; ++p) {
    const bool capital = *p >= 'A' && *p <= 'Z';
    if (capital && p != ident + 1) f.name[n++] = '-';
    f.name[n++] = capital ? static_cast<char>(*p - 'A' + 'a') : *p;
  }
  f.name[n] = '\0'; // a name too long for the array is a compile-time error here
  f.kind = kind;
  f.offset = offset;
  f.swapped = swapped;
  f.lengthOf = static_cast<std::int8_t>(lengthOf);
  f.maxLength = maxLength;
  f.words = words;
  return f;
}

constexpr MessageSpec MakeSpec(MessageType type, const char* word, std::initializer_list<FieldSpec> fields) {
  MessageSpec m{TypeNumber(type), word, static_cast<std::uint8_t>(fields.size()), {}};
  std::size_t i = 0;
  for (const FieldSpec& f : fields)
    m.fields[i++] = f;
  return m;
}

// The names of each message's fields, in payload order.
#define OMF_FIELD(Kind, name, offset, swapped, lengthField, maxLength, Codes) name,
#define OMF_MESSAGE(Enumerator, number, word, fields)                                                        \
  struct Enumerator {                                                                                        \
    enum Field : std::uint8_t { fields };                                                                    \
  };
#include <omf/protocol/Messages.def>

} // namespace detail

#define OMF_FIELD(Kind, name, offset, swapped, lengthField, maxLength, Codes)                                \
  detail::MakeField(#name, FieldKind::Kind, offset, swapped, lengthField, maxLength, kCodeWords<Codes>),
#define OMF_MESSAGE(Enumerator, number, word, fields)                                                        \
  struct Enumerator : detail::Enumerator {                                                                   \
    static constexpr MessageType kType = MessageType::Enumerator;                                            \
    static constexpr MessageSpec kSpec = detail::MakeSpec(kType, word, {fields});                            \
  };
#include <omf/protocol/Messages.def>

} // namespace msg

// The word of a field of message M, as errors name it.
template <class M> constexpr const char* FieldName(typename M::Field field) {
  return M::kSpec.fields[field].name;
}

// A decoded message of type M, its fields read by name: Get<msg::Cell::kCategory>() is the category
// slot of a cell message, typed by the field's kind (std::int32_t for I32, std::string_view for texts).
template <class M> class Decoded {
public:
  using Field = typename M::Field;
  static constexpr MessageType kType = M::kType;

  explicit Decoded(const DecodedMessage& message) : _m(message) {}

  template <Field F> auto Get() const {
    constexpr FieldKind kind = M::kSpec.fields[F].kind;
    if constexpr (kind == FieldKind::U8 || kind == FieldKind::Skip)
      return static_cast<std::uint8_t>(_m.I64(F));
    else if constexpr (kind == FieldKind::I16)
      return static_cast<std::int16_t>(_m.I64(F));
    else if constexpr (kind == FieldKind::I32)
      return _m.I32(F);
    else if constexpr (kind == FieldKind::U32)
      return _m.U32(F);
    else if constexpr (kind == FieldKind::I64)
      return _m.I64(F);
    else if constexpr (kind == FieldKind::F64)
      return _m.F64(F);
    else if constexpr (kind == FieldKind::NumOrText)
      return _m.Field(F); // a DecodedField: isNumber tells which of f and text holds the value
    else
      return _m.Text(F);
  }
  // Where the field starts in the payload.
  std::size_t Offset(Field f) const { return _m.Offset(f); }
  static constexpr const char* Name(Field f) { return FieldName<M>(f); }
  const DecodedMessage& Message() const { return _m; }

private:
  const DecodedMessage& _m;
};

namespace detail {
[[noreturn]] void ShortField(const MessageSpec& spec, const FieldSpec& f, std::size_t need,
                             std::size_t length);
[[noreturn]] void NegativeLength(const MessageSpec& spec, const FieldSpec& lengthField, std::int64_t n);
[[noreturn]] void MissingNul(const MessageSpec& spec, const FieldSpec& f, std::size_t at, std::size_t window);
} // namespace detail

inline void DecodedMessage::Read(const FieldSpec& f, std::size_t k, std::size_t& at, bool swap) {
  if (f.offset != kFollows) at = static_cast<std::size_t>(f.offset);
  _offsets[k] = at;
  DecodedField& v = _v[k];
  v = DecodedField{0, 0, {}, true};
  unsigned char* const data = _data;
  const std::size_t length = _length;
  const auto fixed = [&]<class T>() __attribute__((always_inline)) {
    if (at + sizeof(T) > length) detail::ShortField(*_spec, f, at + sizeof(T), length);
    if (swap && f.swapped) ReverseBytes(data + at, sizeof(T));
    T x;
    std::memcpy(&x, data + at, sizeof x);
    at += sizeof x;
    return x;
  };
  const auto counted = [&]() __attribute__((always_inline)) -> std::int64_t {
    const std::int64_t n = _v[static_cast<std::size_t>(f.lengthOf)].i;
    if (n < 0) detail::NegativeLength(*_spec, _spec->fields[static_cast<std::size_t>(f.lengthOf)], n);
    return n;
  };
  const auto text = [&](std::int64_t n) __attribute__((always_inline)) {
    if (static_cast<std::uint64_t>(n) > length - std::min(at, length))
      detail::ShortField(*_spec, f, at + static_cast<std::size_t>(n), length);
    v.text = std::string_view(reinterpret_cast<const char*>(data + at), static_cast<std::size_t>(n));
    at += static_cast<std::size_t>(n);
  };
  switch (f.kind) {
  case FieldKind::U8:
  case FieldKind::Skip:
    if (at + 1 > length) detail::ShortField(*_spec, f, at + 1, length);
    v.i = data[at];
    at += 1;
    break;
  case FieldKind::I16:
    v.i = fixed.template operator()<std::int16_t>();
    break;
  case FieldKind::I32:
    v.i = fixed.template operator()<std::int32_t>();
    break;
  case FieldKind::U32:
    v.i = fixed.template operator()<std::uint32_t>();
    break;
  case FieldKind::I64:
    v.i = fixed.template operator()<std::int64_t>();
    break;
  case FieldKind::F64:
    v.f = fixed.template operator()<double>();
    break;
  case FieldKind::Text: {
    std::int64_t n = counted();
    if (f.maxLength != 0 && n > f.maxLength) {
      // A longer name is cut, and the cut length is written back for whoever reads the buffer next.
      n = f.maxLength;
      data[_offsets[static_cast<std::size_t>(f.lengthOf)]] = static_cast<unsigned char>(n);
      _v[static_cast<std::size_t>(f.lengthOf)].i = n;
    }
    text(n);
    break;
  }
  case FieldKind::CText: {
    if (at >= length) detail::ShortField(*_spec, f, at + 1, length);
    const std::size_t window =
        f.maxLength != 0 ? std::min<std::size_t>(f.maxLength, length - at) : length - at;
    const void* nul = std::memchr(data + at, 0, window);
    if (nul == nullptr) detail::MissingNul(*_spec, f, at, window);
    const std::size_t n = static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - (data + at));
    v.text = std::string_view(reinterpret_cast<const char*>(data + at), n);
    at += f.maxLength != 0 ? f.maxLength : n + 1;
    break;
  }
  case FieldKind::Rest:
    if (at > length) detail::ShortField(*_spec, f, at, length);
    v.text = std::string_view(reinterpret_cast<const char*>(data + at), length - at);
    at = length;
    break;
  case FieldKind::NumOrText: {
    const std::int64_t n = counted();
    if (n == 0) {
      v.f = fixed.template operator()<double>();
      v.isNumber = true;
    } else {
      text(n);
      v.isNumber = false;
    }
    break;
  }
  }
}

// The same as DecodeMessage for a type known when compiling, whose row the compiler then reads.
template <class M> DecodedMessage DecodeMessageOf(unsigned char* data, std::size_t length, bool swap) {
  DecodedMessage out(M::kSpec, data, length);
  std::size_t at = 0;
  [&]<std::size_t... K>(std::index_sequence<K...>) __attribute__((always_inline)) {
    (out.Read(M::kSpec.fields[K], K, at, swap), ...);
  }
  (std::make_index_sequence<M::kSpec.fieldCount>());
  return out;
}

} // namespace omf
