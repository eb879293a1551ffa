#pragma once
// Values for every field of a catalogue row, drawn from a seeded generator, with the extremes of each
// kind mixed in: what the round-trip tests of the encoder and the script feed through every row.
#include <cstdint>
#include <ostream>

#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <omf/protocol/MessageCatalogue.h>
#include <omf/stream/MessageEncoder.h>
#include <omf/stream/StreamRecord.h>

namespace omf {

namespace stream {
// Shows a field value in failure messages.
inline void PrintTo(const FieldValue& v, std::ostream* os) {
  switch (v.holds) {
  case FieldValue::Holds::Integer:
    *os << "Int(" << v.integer << ")";
    break;
  case FieldValue::Holds::Real:
    *os << "Real(" << v.real << ")";
    break;
  case FieldValue::Holds::Bytes:
    *os << "Bytes(" << ::testing::PrintToString(v.bytes) << ")";
    break;
  default:
    *os << "Nothing";
    break;
  }
}
} // namespace stream

namespace stream::testing {

class FieldGenerator {
public:
  explicit FieldGenerator(std::uint32_t seed) : _rng(seed) {}

  // Values for the row with every length field unset; `wantText` picks the text form of a value that may
  // be a number or a text.
  std::vector<FieldValue> Values(const MessageSpec& spec, bool wantText) {
    std::vector<FieldValue> v(spec.fieldCount);
    for (std::size_t k = 0; k < spec.fieldCount; ++k) {
      const FieldSpec& f = spec.fields[k];
      if (IsLengthField(spec, k)) continue;
      switch (f.kind) {
      case FieldKind::U8:
      case FieldKind::Skip:
        v[k] = FieldValue::Int(Pick<std::int64_t>({0, 1, 255}, 0, 255));
        break;
      case FieldKind::I16:
        v[k] = FieldValue::Int(Pick<std::int64_t>({-32768, 0, 32767}, -32768, 32767));
        break;
      case FieldKind::I32:
        v[k] = FieldValue::Int(Pick<std::int64_t>({INT32_MIN, -1, 0, 1, INT32_MAX}, INT32_MIN, INT32_MAX));
        break;
      case FieldKind::U32:
        v[k] = FieldValue::Int(Pick<std::int64_t>({0, 1, UINT32_MAX}, 0, UINT32_MAX));
        break;
      case FieldKind::I64:
        v[k] = FieldValue::Int(Pick<std::int64_t>({INT64_MIN, 0, INT64_MAX}, INT64_MIN, INT64_MAX));
        break;
      case FieldKind::F64:
        v[k] = FieldValue::Real(Real());
        break;
      case FieldKind::Text:
        v[k] = FieldValue::Bytes(Bytes(f.maxLength ? f.maxLength : 24, true));
        break;
      // The key of message 34 must end before the value's offset.
      case FieldKind::CText:
        v[k] = FieldValue::Bytes(Bytes(spec.type == 34 && k == 0 ? 15 : 24, false));
        break;
      case FieldKind::Rest:
        v[k] = FieldValue::Bytes(Bytes(40, true));
        break;
      case FieldKind::NumOrText:
        v[k] = wantText ? FieldValue::Bytes(Bytes(24, true, 1)) : FieldValue::Real(Real());
        break;
      }
    }
    return v;
  }

  // The values as a decoder gives them back: length fields hold the length of their text.
  static std::vector<FieldValue> WithLengths(const MessageSpec& spec, std::vector<FieldValue> v) {
    for (std::size_t k = 0; k < spec.fieldCount; ++k) {
      const FieldSpec& f = spec.fields[k];
      if (f.kind != FieldKind::Text && f.kind != FieldKind::NumOrText) continue;
      const std::int64_t n =
          v[k].holds == FieldValue::Holds::Bytes ? static_cast<std::int64_t>(v[k].bytes.size()) : 0;
      v[static_cast<std::size_t>(f.lengthOf)] = FieldValue::Int(n);
    }
    return v;
  }

  // Random bytes of random length below `max` (at least `min`), with or without NULs.
  std::string Bytes(std::size_t max, bool nul, std::size_t min = 0) {
    const std::size_t n = std::uniform_int_distribution<std::size_t>(min, max)(_rng);
    std::string s;
    const int style = std::uniform_int_distribution<int>(0, 2)(_rng);
    for (std::size_t i = 0; i < n; ++i) {
      int c = std::uniform_int_distribution<int>(0, 255)(_rng);
      if (style == 0) c = "Valid Percent \xc3\xa9\"\\\n"[i % 19]; // readable text with escapes
      if (!nul && c == 0) c = 'z';
      s += static_cast<char>(c);
    }
    return s;
  }

  double Real() {
    static const double kSpecial[] = {0.0,
                                      -0.0,
                                      1.5,
                                      -std::numeric_limits<double>::max(),
                                      std::numeric_limits<double>::denorm_min(),
                                      std::numeric_limits<double>::infinity(),
                                      0.1,
                                      1e300};
    if (std::uniform_int_distribution<int>(0, 2)(_rng) == 0)
      return kSpecial[std::uniform_int_distribution<std::size_t>(0, std::size(kSpecial) - 1)(_rng)];
    return std::uniform_real_distribution<double>(-1e6, 1e6)(_rng);
  }

  std::mt19937& Rng() { return _rng; }

private:
  template <class T> T Pick(std::initializer_list<T> special, T low, T high) {
    if (std::uniform_int_distribution<int>(0, 3)(_rng) == 0)
      return special.begin()[std::uniform_int_distribution<std::size_t>(0, special.size() - 1)(_rng)];
    return std::uniform_int_distribution<T>(low, high)(_rng);
  }

  std::mt19937 _rng;
};

// Every row of the catalogue.
inline std::vector<const MessageSpec*> AllRows() {
  std::size_t n = 0;
  const MessageSpec* rows = MessageSpecs(n);
  std::vector<const MessageSpec*> out;
  for (std::size_t i = 0; i < n; ++i)
    out.push_back(rows + i);
  return out;
}

inline bool HasNumOrText(const MessageSpec& spec) {
  for (std::size_t k = 0; k < spec.fieldCount; ++k)
    if (spec.fields[k].kind == FieldKind::NumOrText) return true;
  return false;
}

} // namespace stream::testing

} // namespace omf
