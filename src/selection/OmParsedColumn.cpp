#include <omf/selection/OmParsedColumn.h>

#include <omf/platform/strings/PlatformStrings.h>
#include <omf/selection/SelectionStream.h>
#include <omf/selection/TextBytes.h>

#include <cstdlib>
#include <istream>
#include <limits>
#include <ostream>

namespace omf {

using omf::selection::detail::StreamReader;
using omf::selection::detail::StreamWriter;

struct OmParsedColumn::Impl {
  COLUMNAXIS _axis = kNONE;
  std::string _token;
  std::int32_t _number = kNO_NUMBER;
  bool _all = false;
  bool _swapBytes = false;
};

namespace {

struct AxisLetter {
  std::string_view letter;
  OmParsedColumn::COLUMNAXIS axis;
};
constexpr AxisLetter kAxisLetters[] = {
    {"R", OmParsedColumn::kROW}, {"C", OmParsedColumn::kCOLUMN}, {"L", OmParsedColumn::kLAYER}};

// The number part of a token: digits only, or ALL. Other text leaves the number absent.
void ParseNumber(std::string_view rest, std::int32_t& number, bool& all) {
  if (rest.find_first_not_of("0123456789") != std::string_view::npos) {
    if (VEXAMBstricmp_A(rest, "ALL") == 0) {
      all = true;
      number = OmParsedColumn::kALL;
    }
    return;
  }
  const std::string digits(rest);
  char* stop = nullptr;
  const double value = std::strtod(digits.c_str(), &stop);
  if (stop != digits.c_str() + digits.size()) return;
  // Numbers beyond the 32-bit range cannot be stored; they leave the token invalid like 0 does.
  if (value >= 1.0 && value <= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    number = static_cast<std::int32_t>(value);
}

} // namespace

OmParsedColumn::OmParsedColumn(std::string_view token) : _my(std::make_unique<Impl>()) {
  _my->_token = std::string(token);
  const std::size_t split = token.find_first_not_of("rRcClL");
  if (split == std::string_view::npos || split == 0) return;
  if (split == 1) {
    for (const AxisLetter& row : kAxisLetters)
      if (VEXAMBstricmp_A(token.substr(0, 1), row.letter) == 0) _my->_axis = row.axis;
  }
  ParseNumber(token.substr(split), _my->_number, _my->_all);
}

OmParsedColumn::OmParsedColumn(const OmParsedColumn& other) : _my(std::make_unique<Impl>(*other._my)) {}

OmParsedColumn& OmParsedColumn::operator=(const OmParsedColumn& other) {
  if (this != &other) *_my = *other._my;
  return *this;
}

OmParsedColumn::~OmParsedColumn() = default;

OmParsedColumn::COLUMNAXIS OmParsedColumn::GetAxis() const {
  return _my->_axis;
}
std::int32_t OmParsedColumn::GetNumber() const {
  return _my->_number;
}
const std::string& OmParsedColumn::GetColumnToken() const {
  return _my->_token;
}
bool OmParsedColumn::IsAll() const {
  return _my->_all;
}

bool OmParsedColumn::IsValidToken() const {
  return _my->_axis != kNONE && (_my->_number >= 1 || _my->_all);
}

bool OmParsedColumn::operator==(const OmParsedColumn& other) const {
  return _my->_axis == other._my->_axis && _my->_number == other._my->_number && _my->_all == other._my->_all;
}

void OmParsedColumn::SwapBytes(bool swap) {
  _my->_swapBytes = swap;
}

void OmParsedColumn::WriteTo(StreamWriter& out) const {
  out.Int32(_my->_axis);
  out.Text(_my->_token, "column token text");
  out.Int32(_my->_number);
  out.Flag(_my->_all);
}

void OmParsedColumn::ReadFrom(StreamReader& in) {
  const std::uint64_t start = in.Offset();
  const std::int32_t axis = in.Int32("axis", _my->_swapBytes);
  std::string token = in.Text("token text");
  const std::int32_t number = in.Int32("number", _my->_swapBytes);
  const bool all = in.Flag("ALL flag");

  // Consumers may use either the text or the parsed fields, so the two must agree and form a valid token.
  OmParsedColumn read(token);
  if (!read.IsValidToken() || read._my->_axis != axis || read._my->_number != number || read._my->_all != all)
    in.Fail("token " + omf::selection::detail::QuoteText(token), start,
            "axis " + std::to_string(axis) + ", number " + std::to_string(number) + " and ALL flag " +
                std::to_string(all ? 1 : 0) + " are not a valid column token matching its text");
  _my->_axis = read._my->_axis;
  _my->_token = std::move(token);
  _my->_number = number;
  _my->_all = all;
}

std::ostream& operator<<(std::ostream& os, const OmParsedColumn& column) {
  StreamWriter out(os);
  column.WriteTo(out);
  return os;
}

std::istream& operator>>(std::istream& is, OmParsedColumn& column) {
  StreamReader in(is);
  StreamReader::Scope scope(in, "column token");
  OmParsedColumn read(column);
  read.ReadFrom(in);
  column = read;
  return is;
}

} // namespace omf
