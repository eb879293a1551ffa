// Numbers shown through their format word. Every format type is one row of kFormatRows; one formatter
// walks the row, so a type differs from another only in the fields of its row.
//
// Rounding: a number rounds as its shortest round-trip decimal form reads, half away from zero. So
// 2.675 with two decimals shows as "2.68" although the nearest double lies just below 2.675: the user
// typed or computed "2.675", and printing the binary expansion would show "2.67".
#include <omf/model/CellText.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace omf {

namespace {

enum class Notation {
  kFixed,      // integer part, decimal point, the format's decimals
  kShortest,   // as many decimals as the shortest round-trip form needs; the decimals byte is ignored
  kZeroPadded, // as kFixed, the integer part padded with zeros to the width
  kScientific, // one digit, the decimals, "E", exponent sign and at least two exponent digits
};

struct FormatRow {
  unsigned type;
  const char* name; // as message scripts and the JSON export write the type
  Notation notation;
  char separator;     // thousands separator, '\0' for none
  char point;         // decimal point
  const char* prefix; // between the sign and the digits
  const char* suffix;
};

constexpr unsigned kFallbackType = 5; // types without a row show as this one

constexpr std::array kFormatRows{
    //       type  name   notation               sep   point prefix suffix
    FormatRow{1, "A", Notation::kShortest, '\0', '.', "", ""},    // a string format, number as it reads
    FormatRow{3, "COMMA", Notation::kFixed, ',', '.', "", ""},    // 1,234.50
    FormatRow{4, "DOLLAR", Notation::kFixed, ',', '.', "$", ""},  // $1,234.50
    FormatRow{5, "F", Notation::kFixed, '\0', '.', "", ""},       // 1234.50
    FormatRow{16, "N", Notation::kZeroPadded, '\0', '.', "", ""}, // 001234
    FormatRow{17, "E", Notation::kScientific, '\0', '.', "", ""}, // 1.23E+03
    FormatRow{31, "PCT", Notation::kFixed, '\0', '.', "", "%"},   // 12.50%
    FormatRow{32, "DOT", Notation::kFixed, '.', ',', "", ""},     // 1.234,50
};

// The row of every type, looked up once per number.
constexpr auto kRowOfType = [] {
  std::array<const FormatRow*, 256> rows{};
  const FormatRow* fallback = nullptr;
  for (const FormatRow& r : kFormatRows)
    if (r.type == kFallbackType) fallback = &r;
  for (const FormatRow*& r : rows)
    r = fallback;
  for (const FormatRow& r : kFormatRows)
    rows[r.type] = &r;
  return rows;
}();

const FormatRow& RowOf(unsigned type) {
  return *kRowOfType[type & 0xFFu];
}

// A non-negative number in decimal: value = 0.d1d2d3... x 10^point. Digits carry no leading or trailing
// zeros; zero has no digits. A double's shortest form has at most 17 digits, and rounding adds at most
// one in front.
struct Decimal {
  std::array<char, 24> digits{};
  long count = 0;
  long point = 0;

  bool IsZero() const { return count == 0; }
  // The digit at a position counted from the first digit (negative or past the end: 0).
  char At(long i) const { return i >= 0 && i < count ? digits[static_cast<std::size_t>(i)] : '0'; }
  void TrimZeros() {
    while (count > 0 && digits[static_cast<std::size_t>(count - 1)] == '0')
      --count;
  }
};

// The shortest decimal form that reads back as the same double.
Decimal ShortestDecimal(double magnitude) {
  Decimal d;
  if (magnitude == 0) return d;
  // Whole numbers below 2^53 (counts, most of what tables hold) are their own shortest form: every
  // integer there is a double, so a decimal with fewer digits would be another number.
  if (magnitude < 9007199254740992.0 && magnitude == std::floor(magnitude)) {
    const auto whole = static_cast<std::uint64_t>(magnitude);
    d.count = std::to_chars(d.digits.data(), d.digits.data() + d.digits.size(), whole).ptr - d.digits.data();
    d.point = d.count;
    d.TrimZeros();
    return d;
  }
  std::array<char, 64> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude, std::chars_format::scientific);
  const char* p = buffer.data(); // "d.ddde+XX"
  for (; p != result.ptr && *p != 'e'; ++p)
    if (*p != '.') d.digits[static_cast<std::size_t>(d.count++)] = *p;
  ++p; // past 'e'
  const bool negativeExponent = *p == '-';
  ++p; // the sign is always written
  long value = 0;
  std::from_chars(p, result.ptr, value);
  d.point = (negativeExponent ? -value : value) + 1;
  d.TrimZeros();
  return d;
}

// Keeps the first `keep` digits, rounding half away from zero (the value is a magnitude).
void RoundToDigits(Decimal& d, long keep) {
  if (keep >= d.count) return;
  if (keep < 0) {
    d.count = 0;
    return;
  }
  const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
  d.count = keep;
  if (up) {
    long i = d.count;
    while (i > 0 && d.digits[static_cast<std::size_t>(i - 1)] == '9')
      d.digits[static_cast<std::size_t>(--i)] = '0';
    if (i == 0) {
      std::copy_backward(d.digits.begin(), d.digits.begin() + d.count, d.digits.begin() + d.count + 1);
      d.digits[0] = '1';
      ++d.count;
      ++d.point;
    } else {
      ++d.digits[static_cast<std::size_t>(i - 1)];
    }
  }
  d.TrimZeros();
}

// Where a number's text goes: a buffer of fixed size, or a string for the rare text longer than that
// (a zero-padded number of a huge width).
class Out {
public:
  Out(char* begin, std::size_t room) : _p(begin), _end(begin + room) {}
  explicit Out(std::string& text) : _text(&text) {}

  void Put(char c) {
    if (_text != nullptr)
      _text->push_back(c);
    else if (_p != _end)
      *_p++ = c;
    else
      _overflow = true;
  }
  void Put(std::string_view s) {
    if (_text != nullptr) {
      _text->append(s);
    } else if (static_cast<std::size_t>(_end - _p) >= s.size()) {
      _p = std::copy(s.begin(), s.end(), _p);
    } else {
      _overflow = true;
    }
  }
  void Fill(char c, std::size_t n) {
    if (_text != nullptr) {
      _text->append(n, c);
    } else if (static_cast<std::size_t>(_end - _p) >= n) {
      _p = std::fill_n(_p, n, c);
    } else {
      _overflow = true;
    }
  }
  bool Overflow() const { return _overflow; }
  char* End() const { return _p; }

private:
  std::string* _text = nullptr;
  char* _p = nullptr;
  char* _end = nullptr;
  bool _overflow = false;
};

// Rounds the digits as the notation shows them.
void Round(const FormatRow& row, Decimal& d, long decimals) {
  switch (row.notation) {
  case Notation::kShortest:
    break;
  case Notation::kScientific:
    if (!d.IsZero()) RoundToDigits(d, decimals + 1);
    break;
  case Notation::kFixed:
  case Notation::kZeroPadded:
    RoundToDigits(d, d.point + decimals);
    break;
  }
}

// The integer part, grouped, padded with zeros to `width` when asked.
void IntegerPart(Out& out, const Decimal& d, char separator, std::size_t padTo) {
  const long length = d.IsZero() || d.point <= 0 ? 1 : d.point;
  const long shown = length + (separator != '\0' ? (length - 1) / 3 : 0);
  if (static_cast<std::size_t>(shown) < padTo) out.Fill('0', padTo - static_cast<std::size_t>(shown));
  if (d.IsZero() || d.point <= 0) {
    out.Put('0');
    return;
  }
  if (separator == '\0') {
    const long kept = std::min(length, d.count);
    out.Put(std::string_view(d.digits.data(), static_cast<std::size_t>(kept)));
    out.Fill('0', static_cast<std::size_t>(length - kept));
    return;
  }
  for (long i = 0; i < length; ++i) {
    if (separator != '\0' && i > 0 && (length - i) % 3 == 0) out.Put(separator);
    out.Put(d.At(i));
  }
}

// `n` digits from position `from` on (zeros where the number has none).
void DigitsFrom(Out& out, const Decimal& d, long from, long n) {
  const long begin = std::max(from, 0L), end = std::min(from + n, d.count);
  if (begin >= end) return out.Fill('0', static_cast<std::size_t>(n));
  out.Fill('0', static_cast<std::size_t>(begin - from));
  out.Put(std::string_view(d.digits.data() + begin, static_cast<std::size_t>(end - begin)));
  out.Fill('0', static_cast<std::size_t>(from + n - end));
}

// The digits of a finite, rounded number without sign, prefix or suffix.
void Digits(Out& out, const FormatRow& row, const Decimal& d, long decimals, unsigned width) {
  switch (row.notation) {
  case Notation::kShortest: {
    IntegerPart(out, d, '\0', 0);
    const long shown = std::max(0L, d.count - d.point);
    if (shown > 0) out.Put(row.point);
    DigitsFrom(out, d, d.point, shown);
    return;
  }
  case Notation::kScientific: {
    const long exponent = d.IsZero() ? 0 : d.point - 1;
    out.Put(d.At(0));
    if (decimals > 0) out.Put(row.point);
    DigitsFrom(out, d, 1, decimals);
    out.Put('E');
    out.Put(exponent < 0 ? '-' : '+');
    std::array<char, 8> magnitude{};
    const auto end = std::to_chars(magnitude.data(), magnitude.data() + magnitude.size(),
                                   exponent < 0 ? -exponent : exponent)
                         .ptr;
    if (end - magnitude.data() < 2) out.Put('0');
    out.Put(std::string_view(magnitude.data(), static_cast<std::size_t>(end - magnitude.data())));
    return;
  }
  case Notation::kFixed:
  case Notation::kZeroPadded:
    IntegerPart(out, d, row.separator, row.notation == Notation::kZeroPadded ? width : 0);
    if (decimals > 0) out.Put(row.point);
    DigitsFrom(out, d, d.point, decimals);
    return;
  }
}

void Format(Out& out, double value, std::uint32_t format) {
  if (value == kSysmis) return out.Put('.');
  if (std::isnan(value)) return out.Put("NaN");
  if (std::isinf(value)) return out.Put(value < 0 ? "-Inf" : "Inf");

  const FormatRow& row = RowOf(FormatType(format));
  const long decimals = FormatDecimals(format);
  Decimal d = ShortestDecimal(std::fabs(value));
  Round(row, d, decimals);
  // A value that rounds to zero shows without its sign: never "-0.00".
  if (value < 0 && !d.IsZero()) out.Put('-');
  out.Put(row.prefix);
  Digits(out, row, d, decimals, FormatWidth(format));
  out.Put(row.suffix);
}

} // namespace

std::string_view FormatTypeName(unsigned type) {
  return RowOf(type).name;
}

std::size_t FormatNumberInto(double value, std::uint32_t format, NumberText& text) {
  Out out(text.data(), text.size());
  Format(out, value, format);
  return out.Overflow() ? std::string_view::npos : static_cast<std::size_t>(out.End() - text.data());
}

std::string FormatNumber(double value, std::uint32_t format) {
  NumberText buffer;
  const std::size_t length = FormatNumberInto(value, format, buffer);
  if (length != std::string_view::npos) return std::string(buffer.data(), length);
  std::string text;
  Out out(text);
  Format(out, value, format);
  return text;
}

} // namespace omf
