#pragma once
// The message catalogue: every message type of the protocol declared once, as a row giving its
// payload fields in order, their offsets, kinds and whether they are byte-swapped when the stream comes
// from a machine of the other byte order. One decoder reads any payload through its row, checking that
// every field lies inside the payload; the message writer and the readable script encode through the
// same rows.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

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

struct FieldSpec {
  const char* name = nullptr;
  FieldKind kind = FieldKind::I32;
  std::int16_t offset = kFollows;
  bool swapped = false;
  std::int8_t lengthOf = -1; // for Text and NumOrText: index of the field holding the length
  // For Text: longer lengths are cut to this and written back. For CText: the width of a fixed field,
  // whose NUL must lie within it. 0: none.
  std::uint16_t maxLength = 0;
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
// The row named so in scripts, or null.
const MessageSpec* FindMessageSpec(std::string_view name);
// Every row, in type order.
const MessageSpec* MessageSpecs(std::size_t& count);

// A payload read through its row. Numbers are read (after swapping in place when asked), texts are
// views into the payload.
struct DecodedField {
  std::int64_t i = 0;
  double f = 0;
  std::string_view text;
  bool isNumber = true; // for NumOrText: which of f and text holds the value
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

private:
  friend DecodedMessage DecodeMessage(const MessageSpec&, unsigned char*, std::size_t, bool);
  const MessageSpec* _spec = nullptr;
  std::array<DecodedField, kMaxFields> _v{};
  std::array<std::size_t, kMaxFields> _offsets{};
};

// Reads a payload through its row. With swap set, the row's swapped fields are reversed in place in the
// payload before they are read. Throws ProtocolError naming the field when a field does not fit in the
// payload or a length is negative.
DecodedMessage DecodeMessage(const MessageSpec& spec, unsigned char* data, std::size_t length, bool swap);

// Reverses n bytes in place.
void ReverseBytes(unsigned char* p, std::size_t n);
// The size in bytes of a fixed-size field kind (0 for the variable ones).
std::size_t FieldSize(FieldKind kind);
