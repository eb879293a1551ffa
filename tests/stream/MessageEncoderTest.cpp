#include <omf/stream/MessageEncoder.h>

#include <gtest/gtest.h>

#include "stream/Generators.h"

using namespace omf;

using namespace omf::stream;
using omf::stream::testing::AllRows;
using omf::stream::testing::FieldGenerator;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Encode(short type, const std::vector<FieldValue>& values, ByteOrder order) {
  return EncodeMessage(*FindMessageSpec(type), values, order);
}

FieldValue I(std::int64_t v) {
  return FieldValue::Int(v);
}
FieldValue R(double v) {
  return FieldValue::Real(v);
}
FieldValue B(std::string v) {
  return FieldValue::Bytes(std::move(v));
}
const FieldValue kUnset{};

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes Text(std::string_view s) {
  return Bytes(s.begin(), s.end());
}

} // namespace

// Every row, in both byte orders: what the encoder writes, the decoder reads back, lengths included; and
// the decoder's in-place swapping turns the big-endian payload into the little-endian one, so exactly
// the row's swapped fields were written in the other order.
TEST(MessageEncoder, EveryRowRoundTripsThroughTheDecoderInBothByteOrders) {
  FieldGenerator gen(20261205);
  for (const MessageSpec* spec : AllRows()) {
    for (int round = 0; round < 24; ++round) {
      const std::vector<FieldValue> values = gen.Values(*spec, round % 2 == 1);
      const std::vector<FieldValue> expected = FieldGenerator::WithLengths(*spec, values);
      const Bytes native = EncodeMessage(*spec, values, kNativeOrder);
      for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        SCOPED_TRACE(std::string(spec->name) + (order == ByteOrder::Big ? " big" : " little") + " round " +
                     std::to_string(round));
        Bytes payload = EncodeMessage(*spec, values, order);
        const DecodedMessage decoded = DecodeMessage(*spec, payload.data(), payload.size(), NeedsSwap(order));
        EXPECT_EQ(FieldValuesOf(decoded), expected);
        EXPECT_EQ(payload, native);
      }
    }
  }
}

// The layouts below are written out by hand from the message descriptions, independently of the rows.
TEST(MessageEncoder, PayloadsMatchTheProtocolByteForByte) {
  const std::uint32_t f82 = 2 | 8 << 8 | 5 << 16; // F8.2: decimals, width, type
  struct Case {
    const char* what;
    short type;
    std::vector<FieldValue> values;
    ByteOrder order;
    Bytes expected;
  };
  const Case cases[] = {
      {"number, little-endian",
       256,
       {R(1.5), I(f82), I(7)},
       ByteOrder::Little,
       {0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 2, 8, 5, 0, 7, 0, 0, 0}},
      {"number, big-endian",
       256,
       {R(1.5), I(f82), I(7)},
       ByteOrder::Big,
       {0x3F, 0xF8, 0, 0, 0, 0, 0, 0, 0, 5, 8, 2, 0, 0, 0, 7}},
      {"string, big-endian",
       258,
       {kUnset, I(3), I(1), B("Valid")},
       ByteOrder::Big,
       Cat({{0, 0, 0, 5, 0, 0, 0, 3, 0, 0, 0, 1}, Text("Valid")})},
      {"numeric value, big-endian: s = 0 and the double before the label",
       309,
       {I(1), I(0), I(f82), kUnset, kUnset, kUnset, B("age"), R(2.0), B("Adult")},
       ByteOrder::Big,
       Cat({{0, 0, 0, 1, 0, 0, 0, 0, 0, 5, 8, 2, 0, 0, 0, 3, 0, 0, 0, 5, 0, 0},
            Text("age"),
            {0x40, 0, 0, 0, 0, 0, 0, 0},
            Text("Adult")})},
      {"string value, big-endian: s bytes of value",
       309,
       {I(1), I(2), I(0), kUnset, kUnset, kUnset, B("sex"), B("f"), B("female")},
       ByteOrder::Big,
       Cat({{0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 6, 0, 1}, Text("sexffemale")})},
      {"display: key at 16, value at 32, both NUL-terminated",
       34,
       {B("OLANG"), B("German")},
       ByteOrder::Big,
       Cat({Bytes(16, 0), Text("OLANG"), Bytes(11, 0), Text("German"), {0}})},
      {"setting: value, length byte, name",
       27,
       {I(9), kUnset, B("ABCD")},
       ByteOrder::Big,
       Cat({{9, 4}, Text("ABCD")})},
      {"answer tree fields are never swapped, so they stay in this machine's order",
       312,
       {I(1), I(2), I(3), I(4), B("xy")},
       ByteOrder::Big,
       Cat({{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0}, Text("xy")})},
      {"byte-order probe is not swapped", 59, {I(1)}, ByteOrder::Big, {1, 0, 0, 0}},
      // An explicit length is written as given: the way to build a payload whose text runs past its end.
      {"string with an explicit length",
       258,
       {I(10), I(1), I(0), B("ab")},
       ByteOrder::Little,
       Cat({{10, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, Text("ab")})},
      {"setting: a name longer than the receiver keeps is sent whole",
       27,
       {I(1), kUnset, B(std::string(20, 'n'))},
       ByteOrder::Little,
       Cat({{1, 20}, Text(std::string(20, 'n'))})},
      {"page title: lengths, title, separator byte, subtitle",
       305,
       {kUnset, kUnset, B("Ti"), I(0), B("Sub")},
       ByteOrder::Big,
       Cat({{0, 0, 0, 2, 0, 0, 0, 3}, Text("Ti"), {0}, Text("Sub")})},
      {"marker: bytes 0 to 7 are zero", 316, {I(9)}, ByteOrder::Big, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9}},
      {"background: bytes 8 to 11 are zero",
       314,
       {I(0), kUnset, B("red")},
       ByteOrder::Little,
       Cat({{0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0}, Text("red")})},
      {"procedure begin: 8-byte number",
       276,
       {I(3), kUnset, B("a=b")},
       ByteOrder::Big,
       Cat({{0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 3}, Text("a=b")})},
      {"table begin: tcid and continuation are single bytes",
       268,
       {I(2), I(1), I(5), I(1)},
       ByteOrder::Big,
       {2, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1}},
  };
  static_assert(kNativeOrder == ByteOrder::Little,
                "the expected bytes are written for a little-endian machine");
  for (const Case& c : cases)
    EXPECT_EQ(Encode(c.type, c.values, c.order), c.expected) << c.what;
}

TEST(MessageEncoder, RefusesValuesTheRowCannotCarry) {
  struct Case {
    short type;
    std::vector<FieldValue> values;
    const char* message;
  };
  const Case cases[] = {
      {268, {I(256)}, "type 268, tcid: value 256 is outside 0 to 255"},
      {268, {I(-1)}, "type 268, tcid: value -1 is outside 0 to 255"},
      {256, {R(0), I(-1)}, "type 256, format: value -1 is outside 0 to 4294967295"},
      {256,
       {R(0), I(0), I(2147483648LL)},
       "type 256, slot: value 2147483648 is outside -2147483648 to 2147483647"},
      {256, {I(1)}, "type 256, value: expects a real number, not an integer"},
      {258, {kUnset, B("1")}, "type 258, slot: expects an integer, not text"},
      {258, {kUnset, I(0), I(0), I(5)}, "type 258, text: expects text, not an integer"},
      {34, {B(std::string("a\0b", 3))}, "type 34, key: text holds a NUL, which would end it early"},
      {34,
       {B("ONUMBERS-LONGKEY"), B("1")},
       "type 34, key: ends at byte 33, past the start of value at byte 32"},
      {309,
       {I(0), I(0), I(0), kUnset, kUnset, kUnset, B("v"), B("")},
       "type 309, value: an empty text cannot be sent: a length of 0 announces a number"},
      {309,
       {I(0), I(0), I(0), kUnset, kUnset, kUnset, B("v"), B(std::string(40000, 'x'))},
       "type 309, value: text of 40000 bytes is longer than its length field string-length can count "
       "(32767)"},
      {27,
       {I(1), kUnset, B(std::string(256, 'N'))},
       "type 27, name: text of 256 bytes is longer than its length field length can count (255)"},
      {256, {R(0), I(0), I(0), I(0)}, "type 256: 4 values given for 3 fields"},
  };
  for (const Case& c : cases) {
    try {
      Encode(c.type, c.values, ByteOrder::Little);
      ADD_FAILURE() << "no error for: " << c.message;
    } catch (const EncodeError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
      EXPECT_EQ(e.Type(), c.type);
    }
  }
}

// Values are compared by their bits and kind, so that the round trips above catch a lost sign of zero or
// a number read back as another kind.
TEST(MessageEncoder, FieldValuesCompareByBitsAndKind) {
  EXPECT_FALSE(FieldValue::Real(0.0) == FieldValue::Real(-0.0));
  EXPECT_FALSE(FieldValue::Int(1) == FieldValue::Real(1.0));
}
