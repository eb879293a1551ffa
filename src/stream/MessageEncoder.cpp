#include <omf/stream/MessageEncoder.h>

#include <array>
#include <cstring>
#include <limits>
#include <string_view>

namespace omf {

namespace stream {

namespace {

struct Range {
  std::int64_t low;
  std::int64_t high;
};

Range RangeOf(FieldKind kind) {
  switch (kind) {
  case FieldKind::U8:
  case FieldKind::Skip:
    return {0, 255};
  case FieldKind::I16:
    return {std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()};
  case FieldKind::I32:
    return {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
  case FieldKind::U32:
    return {0, std::numeric_limits<std::uint32_t>::max()};
  default:
    return {std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()};
  }
}

bool IsNumberKind(FieldKind kind) {
  switch (kind) {
  case FieldKind::U8:
  case FieldKind::Skip:
  case FieldKind::I16:
  case FieldKind::I32:
  case FieldKind::U32:
  case FieldKind::I64:
    return true;
  default:
    return false;
  }
}

const char* HoldsName(FieldValue::Holds h) {
  switch (h) {
  case FieldValue::Holds::Integer:
    return "an integer";
  case FieldValue::Holds::Real:
    return "a real number";
  case FieldValue::Holds::Bytes:
    return "text";
  default:
    return "nothing";
  }
}

// Writes the low n bytes of `bits` at `at`, most significant first when `big`.
void Put(std::vector<unsigned char>& out, std::size_t at, std::uint64_t bits, std::size_t n, bool big) {
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t shift = 8 * (big ? n - 1 - i : i);
    out[at + i] = static_cast<unsigned char>(bits >> shift);
  }
}

class Encoder {
public:
  Encoder(const MessageSpec& spec, const std::vector<FieldValue>& values, ByteOrder order)
      : _spec(spec), _order(order) {
    if (values.size() > spec.fieldCount)
      throw EncodeError(spec.type, spec.fieldCount, "",
                        std::to_string(values.size()) + " values given for " +
                            std::to_string(spec.fieldCount) + " fields");
    for (std::size_t k = 0; k < values.size(); ++k)
      _v[k] = values[k];
  }

  std::vector<unsigned char> Run() {
    FillLengths();
    std::size_t at = 0;
    for (std::size_t k = 0; k < _spec.fieldCount; ++k) {
      const FieldSpec& f = _spec.fields[k];
      if (f.offset != kFollows) {
        const auto start = static_cast<std::size_t>(f.offset);
        if (start < at)
          Fail(k - 1, "ends at byte " + std::to_string(at) + ", past the start of " + _spec.fields[k].name +
                          " at byte " + std::to_string(start));
        at = start;
      }
      if (_out.size() < at) _out.resize(at, 0);
      at = Write(k, at);
    }
    return std::move(_out);
  }

private:
  [[noreturn]] void Fail(std::size_t k, const std::string& problem) const {
    throw EncodeError(_spec.type, k, _spec.fields[k].name, problem);
  }

  void Expect(std::size_t k, FieldValue::Holds wanted) const {
    if (_v[k].holds != wanted && _v[k].holds != FieldValue::Holds::Nothing)
      Fail(k, std::string("expects ") + HoldsName(wanted) + ", not " + HoldsName(_v[k].holds));
  }

  // Unset length fields take the length of their text; the value of a number-or-text field is a number
  // exactly when its length is 0.
  void FillLengths() {
    for (std::size_t k = 0; k < _spec.fieldCount; ++k) {
      const FieldSpec& f = _spec.fields[k];
      if (f.kind != FieldKind::Text && f.kind != FieldKind::NumOrText) continue;
      const auto j = static_cast<std::size_t>(f.lengthOf);
      std::int64_t length = 0;
      if (f.kind == FieldKind::Text) {
        Expect(k, FieldValue::Holds::Bytes);
        length = static_cast<std::int64_t>(_v[k].bytes.size());
      } else if (_v[k].holds == FieldValue::Holds::Bytes) {
        if (_v[k].bytes.empty()) Fail(k, "an empty text cannot be sent: a length of 0 announces a number");
        length = static_cast<std::int64_t>(_v[k].bytes.size());
      } else {
        Expect(k, FieldValue::Holds::Real);
      }
      if (_v[j].holds != FieldValue::Holds::Nothing) continue;
      const Range r = RangeOf(_spec.fields[j].kind);
      if (length > r.high)
        Fail(k, "text of " + std::to_string(length) + " bytes is longer than its length field " +
                    _spec.fields[j].name + " can count (" + std::to_string(r.high) + ")");
      _v[j] = FieldValue::Int(length);
    }
  }

  std::size_t Write(std::size_t k, std::size_t at) {
    const FieldSpec& f = _spec.fields[k];
    const FieldValue& v = _v[k];
    // The receiver reverses swapped fields when the sender's order is not its own, and reads the others
    // as they stand.
    const bool big = (f.swapped ? _order : kNativeOrder) == ByteOrder::Big;
    if (IsNumberKind(f.kind)) {
      Expect(k, FieldValue::Holds::Integer);
      const Range r = RangeOf(f.kind);
      if (v.integer < r.low || v.integer > r.high)
        Fail(k, "value " + std::to_string(v.integer) + " is outside " + std::to_string(r.low) + " to " +
                    std::to_string(r.high));
      const std::size_t n = FieldSize(f.kind);
      _out.resize(at + n, 0);
      Put(_out, at, static_cast<std::uint64_t>(v.integer), n, big);
      return at + n;
    }
    switch (f.kind) {
    case FieldKind::F64:
      Expect(k, FieldValue::Holds::Real);
      return PutReal(v.real, at, big);
    case FieldKind::NumOrText:
      if (v.holds == FieldValue::Holds::Bytes) return PutBytes(v.bytes, at);
      return PutReal(v.real, at, big);
    case FieldKind::Text:
    case FieldKind::Rest:
      Expect(k, FieldValue::Holds::Bytes);
      return PutBytes(v.bytes, at);
    case FieldKind::CText:
      Expect(k, FieldValue::Holds::Bytes);
      if (v.bytes.find('\0') != std::string::npos) Fail(k, "text holds a NUL, which would end it early");
      at = PutBytes(v.bytes, at);
      _out.resize(at + 1, 0);
      return at + 1;
    default:
      return at;
    }
  }

  std::size_t PutReal(double value, std::size_t at, bool big) {
    _out.resize(at + 8, 0);
    Put(_out, at, std::bit_cast<std::uint64_t>(value), 8, big);
    return at + 8;
  }

  std::size_t PutBytes(const std::string& bytes, std::size_t at) {
    _out.resize(at + bytes.size(), 0);
    if (!bytes.empty()) std::memcpy(_out.data() + at, bytes.data(), bytes.size());
    return at + bytes.size();
  }

  const MessageSpec& _spec;
  ByteOrder _order;
  std::array<FieldValue, kMaxFields> _v{};
  std::vector<unsigned char> _out;
};

} // namespace

bool FieldValue::operator==(const FieldValue& other) const {
  if (holds != other.holds) return false;
  switch (holds) {
  case Holds::Integer:
    return integer == other.integer;
  case Holds::Real:
    return std::bit_cast<std::uint64_t>(real) == std::bit_cast<std::uint64_t>(other.real);
  case Holds::Bytes:
    return bytes == other.bytes;
  default:
    return true;
  }
}

EncodeError::EncodeError(short type, std::size_t field, std::string fieldName, const std::string& problem)
    : std::invalid_argument("type " + std::to_string(type) + (fieldName.empty() ? "" : ", " + fieldName) +
                            ": " + problem),
      _type(type), _field(field), _fieldName(std::move(fieldName)), _problem(problem) {}

std::vector<unsigned char> EncodeMessage(const MessageSpec& spec, const std::vector<FieldValue>& values,
                                         ByteOrder order) {
  return Encoder(spec, values, order).Run();
}

std::vector<FieldValue> FieldValuesOf(const DecodedMessage& message) {
  const MessageSpec& spec = message.Spec();
  std::vector<FieldValue> out;
  out.reserve(spec.fieldCount);
  for (std::size_t k = 0; k < spec.fieldCount; ++k) {
    const DecodedField& d = message.Field(k);
    switch (spec.fields[k].kind) {
    case FieldKind::F64:
      out.push_back(FieldValue::Real(d.f));
      break;
    case FieldKind::Text:
    case FieldKind::CText:
    case FieldKind::Rest:
      out.push_back(FieldValue::Bytes(std::string(d.text)));
      break;
    case FieldKind::NumOrText:
      out.push_back(d.isNumber ? FieldValue::Real(d.f) : FieldValue::Bytes(std::string(d.text)));
      break;
    default:
      out.push_back(FieldValue::Int(d.i));
      break;
    }
  }
  return out;
}

bool IsLengthField(const MessageSpec& spec, std::size_t k) {
  for (std::size_t m = 0; m < spec.fieldCount; ++m) {
    const FieldSpec& f = spec.fields[m];
    if ((f.kind == FieldKind::Text || f.kind == FieldKind::NumOrText) && f.lengthOf == static_cast<int>(k))
      return true;
  }
  return false;
}

int FieldIndex(const MessageSpec& spec, std::string_view name) {
  for (std::size_t k = 0; k < spec.fieldCount; ++k)
    if (name == spec.fields[k].name) return static_cast<int>(k);
  return -1;
}

std::int32_t ByteOrderProbe(ByteOrder order) {
  // 1 written in the other order reads as 2^24 whichever order this machine has.
  return order == kNativeOrder ? 1 : 0x01000000;
}

} // namespace stream

} // namespace omf
