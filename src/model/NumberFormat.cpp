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

const FormatRow& RowOf(unsigned type) {
  const auto byType = [](unsigned t) {
    return std::find_if(kFormatRows.begin(), kFormatRows.end(),
                        [t](const FormatRow& r) { return r.type == t; });
  };
  const auto row = byType(type);
  return row != kFormatRows.end() ? *row : *byType(kFallbackType);
}

// A non-negative number in decimal: value = 0.d1d2d3... x 10^point. Digits carry no leading or trailing
// zeros; zero has no digits.
struct Decimal {
  std::string digits;
  long point = 0;

  bool IsZero() const { return digits.empty(); }
  // The digit at a position counted from the first digit (negative or past the end: 0).
  char At(long i) const { return i >= 0 && i < static_cast<long>(digits.size()) ? digits[i] : '0'; }
};

// The shortest decimal form that reads back as the same double.
Decimal ShortestDecimal(double magnitude) {
  Decimal d;
  if (magnitude == 0) return d;
  std::array<char, 64> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude, std::chars_format::scientific);
  const std::string_view text(buffer.data(), result.ptr - buffer.data()); // "d.ddde+XX"
  const std::size_t e = text.find('e');
  for (char c : text.substr(0, e))
    if (c != '.') d.digits += c;
  std::string_view exponent = text.substr(e + 1);
  const bool negativeExponent = exponent.front() == '-';
  exponent.remove_prefix(1); // the sign is always written
  long value = 0;
  std::from_chars(exponent.data(), exponent.data() + exponent.size(), value);
  d.point = (negativeExponent ? -value : value) + 1;
  while (!d.digits.empty() && d.digits.back() == '0')
    d.digits.pop_back();
  return d;
}

// Keeps the first `keep` digits, rounding half away from zero (the value is a magnitude).
void RoundToDigits(Decimal& d, long keep) {
  if (keep >= static_cast<long>(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    return;
  }
  const bool up = d.digits[keep] >= '5';
  d.digits.resize(keep);
  if (up) {
    std::size_t i = d.digits.size();
    while (i > 0 && d.digits[i - 1] == '9')
      d.digits[--i] = '0';
    if (i == 0) {
      d.digits.insert(d.digits.begin(), '1');
      ++d.point;
    } else {
      ++d.digits[i - 1];
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0')
    d.digits.pop_back();
}

std::string IntegerPart(const Decimal& d) {
  if (d.IsZero() || d.point <= 0) return "0";
  std::string out;
  out.reserve(d.point);
  for (long i = 0; i < d.point; ++i)
    out += d.At(i);
  return out;
}

std::string FractionPart(const Decimal& d, long decimals) {
  std::string out;
  out.reserve(decimals);
  for (long i = 0; i < decimals; ++i)
    out += d.At(d.point + i);
  return out;
}

std::string Grouped(const std::string& integer, char separator) {
  if (separator == '\0') return integer;
  std::string out;
  out.reserve(integer.size() + integer.size() / 3);
  for (std::size_t i = 0; i < integer.size(); ++i) {
    if (i > 0 && (integer.size() - i) % 3 == 0) out += separator;
    out += integer[i];
  }
  return out;
}

// The digits of a finite number without sign, prefix or suffix; `d` is left rounded as shown.
std::string Digits(const FormatRow& row, Decimal& d, long decimals, unsigned width) {
  switch (row.notation) {
  case Notation::kShortest: {
    const long shown = std::max(0L, static_cast<long>(d.digits.size()) - d.point);
    const std::string fraction = FractionPart(d, shown);
    return IntegerPart(d) + (fraction.empty() ? "" : row.point + fraction);
  }
  case Notation::kScientific: {
    long exponent = 0;
    if (!d.IsZero()) {
      RoundToDigits(d, decimals + 1);
      exponent = d.point - 1;
    }
    std::string out(1, d.At(0));
    if (decimals > 0) out += row.point;
    for (long i = 1; i <= decimals; ++i)
      out += d.At(i);
    const std::string magnitude = std::to_string(exponent < 0 ? -exponent : exponent);
    return out + 'E' + (exponent < 0 ? '-' : '+') + (magnitude.size() < 2 ? "0" : "") + magnitude;
  }
  case Notation::kFixed:
  case Notation::kZeroPadded: {
    RoundToDigits(d, d.point + decimals);
    std::string integer = Grouped(IntegerPart(d), row.separator);
    if (row.notation == Notation::kZeroPadded && integer.size() < width)
      integer.insert(0, width - integer.size(), '0');
    return decimals > 0 ? integer + row.point + FractionPart(d, decimals) : integer;
  }
  }
  return {};
}

} // namespace

std::string_view FormatTypeName(unsigned type) {
  return RowOf(type).name;
}

std::string FormatNumber(double value, std::uint32_t format) {
  if (value == kSysmis) return ".";
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";

  const FormatRow& row = RowOf(FormatType(format));
  Decimal d = ShortestDecimal(std::fabs(value));
  const std::string digits = Digits(row, d, FormatDecimals(format), FormatWidth(format));
  // A value that rounds to zero shows without its sign: never "-0.00".
  const bool negative = value < 0 && !d.IsZero();
  std::string out;
  out.reserve(digits.size() + 4);
  if (negative) out += '-';
  out.append(row.prefix).append(digits).append(row.suffix);
  return out;
}

} // namespace omf
