#pragma once
// Encoding a message payload through its catalogue row: the inverse of DecodeMessage. Each field is laid
// out at its offset (a field that follows starts where the previous one ends, gaps are zero bytes),
// numbers in the sender's byte order, texts as their bytes. A length field left unset is filled from its
// text, so a payload built here always agrees with itself unless the caller asks otherwise.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <omf/protocol/MessageCatalogue.h>

namespace omf {

namespace stream {

enum class ByteOrder : std::uint8_t { Little, Big };

constexpr ByteOrder kNativeOrder =
    std::endian::native == std::endian::little ? ByteOrder::Little : ByteOrder::Big;

// A receiver on this machine swaps the fields of a stream sent in `order` when this is true.
constexpr bool NeedsSwap(ByteOrder order) {
  return order != kNativeOrder;
}

// The value of one payload field: what the encoder writes, and what a decoded payload held.
struct FieldValue {
  enum class Holds : std::uint8_t { Nothing, Integer, Real, Bytes };

  Holds holds = Holds::Nothing;
  std::int64_t integer = 0;
  double real = 0;
  std::string bytes;

  static FieldValue Int(std::int64_t v) { return {Holds::Integer, v, 0, {}}; }
  static FieldValue Real(double v) { return {Holds::Real, 0, v, {}}; }
  static FieldValue Bytes(std::string v) { return {Holds::Bytes, 0, 0, std::move(v)}; }

  // Reals compare by their bits, so that a payload's exact value is what round trips.
  bool operator==(const FieldValue& other) const;
};

// A value the row cannot carry: wrong kind, out of the field's range, a text that would run into the next
// field or that holds a NUL where a NUL ends it.
class EncodeError : public std::invalid_argument {
public:
  EncodeError(short type, std::size_t field, std::string fieldName, const std::string& problem);
  short Type() const { return _type; }
  std::size_t FieldIndex() const { return _field; }
  const std::string& Field() const { return _fieldName; }
  const std::string& Problem() const { return _problem; }

private:
  short _type;
  std::size_t _field;
  std::string _fieldName;
  std::string _problem;
};

// Encodes `values` (in the row's field order; missing trailing values are unset) as the payload that a
// back end of byte order `order` sends. Fields the row marks swapped are written in `order`; the others
// are written in this machine's order, because the receiver reads them as they stand. Unset numbers are 0,
// unset texts empty, unset length fields the length of their text. A length given explicitly is written
// as given, even when it disagrees with the text (for building malformed input on purpose).
std::vector<unsigned char> EncodeMessage(const MessageSpec& spec, const std::vector<FieldValue>& values,
                                         ByteOrder order);

// The values of a decoded payload, in the row's field order: what EncodeMessage needs to give the payload
// back.
std::vector<FieldValue> FieldValuesOf(const DecodedMessage& message);

// True when field k of the row holds the length of a later text.
bool IsLengthField(const MessageSpec& spec, std::size_t k);

// The index of the row's field with that name, or -1.
int FieldIndex(const MessageSpec& spec, std::string_view name);

// The probe of the byte-order message as the field holds it when a sender of byte order `order` writes
// the value 1: the probe is the one field that tells the receiver which order the sender has, so it is
// written in the sender's order although the receiver never swaps it.
std::int32_t ByteOrderProbe(ByteOrder order);

} // namespace stream

} // namespace omf
