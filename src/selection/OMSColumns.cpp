#include <omf/selection/OMSColumns.h>

#include <omf/selection/Precondition.h>
#include <omf/selection/SelectionStream.h>
#include <omf/selection/TextBytes.h>

#include <algorithm>
#include <istream>
#include <ostream>
#include <set>
#include <stdexcept>
#include <tuple>

namespace omf {

using omf::selection::detail::Require;
using omf::selection::detail::StreamReader;
using omf::selection::detail::StreamWriter;

namespace {

// What makes two tokens the same column, and two names the same dimension.
using TokenKey = std::tuple<std::int32_t, std::int32_t, bool>;
TokenKey KeyOf(const OmParsedColumn& column) {
  return {column.GetAxis(), column.GetNumber(), column.IsAll()};
}
std::string KeyOf(std::string_view name) {
  return omf::selection::detail::UpperCase(name);
}

} // namespace

// The keys of the stored entries keep the search for a repeated one from growing with the list.
struct OMSColumns::Impl {
  COLUMNSFORM _columnsForm = kNONE;
  std::vector<OmParsedColumn> _sequences;
  std::vector<std::string> _dimNames;
  std::set<TokenKey> _tokenKeys;
  std::set<std::string, std::less<>> _nameKeys;
  bool _swapBytes = false;
};

namespace {
constexpr const char* kNotSequence = "_my._columnsForm != OMSColumns::kSEQUENCE";
constexpr const char* kNotDimNames = "_my._columnsForm != OMSColumns::kDIMNAMES";

// Smallest stream size of one entry: axis, empty text, number and flag; or an empty name.
constexpr std::size_t kTokenMinimumBytes = 4 + 1 + 4 + 1;
constexpr std::size_t kNameMinimumBytes = 1;
} // namespace

OMSColumns::OMSColumns() : _my(std::make_unique<Impl>()) {}
OMSColumns::OMSColumns(const OMSColumns& other) : _my(std::make_unique<Impl>(*other._my)) {}

OMSColumns& OMSColumns::operator=(const OMSColumns& other) {
  if (this != &other) *_my = *other._my;
  return *this;
}

OMSColumns::~OMSColumns() = default;

void OMSColumns::AddColumn(std::string_view name) {
  Require(!HasColumn(name), "!HasColumn(str)");
  _my->_nameKeys.insert(KeyOf(name));
  _my->_dimNames.emplace_back(name);
  _my->_columnsForm = kDIMNAMES;
}

void OMSColumns::AddColumn(const OmParsedColumn& column) {
  Require(!HasColumn(column), "!HasColumn(pc)");
  Require(column.IsValidToken(), "pc.IsValidToken()");
  _my->_tokenKeys.insert(KeyOf(column));
  _my->_sequences.push_back(column);
  _my->_columnsForm = kSEQUENCE;
}

bool OMSColumns::HasColumn(std::string_view name) const {
  Require(_my->_columnsForm != kSEQUENCE, kNotSequence);
  return _my->_nameKeys.contains(KeyOf(name));
}

bool OMSColumns::HasColumn(const OmParsedColumn& column) const {
  Require(_my->_columnsForm != kDIMNAMES, kNotDimNames);
  return _my->_tokenKeys.contains(KeyOf(column));
}

bool OMSColumns::HasAxis(OmParsedColumn::COLUMNAXIS axis) const {
  Require(_my->_columnsForm != kDIMNAMES, kNotDimNames);
  return std::any_of(_my->_sequences.begin(), _my->_sequences.end(),
                     [&](const OmParsedColumn& c) { return c.GetAxis() == axis; });
}

bool OMSColumns::HasAxisAll(OmParsedColumn::COLUMNAXIS axis) const {
  return std::any_of(_my->_sequences.begin(), _my->_sequences.end(),
                     [&](const OmParsedColumn& c) { return c.GetAxis() == axis && c.IsAll(); });
}

OMSColumns::COLUMNSFORM OMSColumns::GetColumnsForm() const {
  return _my->_columnsForm;
}
void OMSColumns::SetColumnsForm(COLUMNSFORM form) {
  _my->_columnsForm = form;
}
const std::vector<OmParsedColumn>& OMSColumns::GetSequences() const {
  return _my->_sequences;
}
const std::vector<std::string>& OMSColumns::GetDimNames() const {
  return _my->_dimNames;
}

bool OMSColumns::operator==(const OMSColumns& other) const {
  if (_my->_columnsForm != other._my->_columnsForm) return false;
  switch (_my->_columnsForm) {
  case kDIMNAMES:
    return std::equal(_my->_dimNames.begin(), _my->_dimNames.end(), other._my->_dimNames.begin(),
                      other._my->_dimNames.end(),
                      [](const std::string& a, const std::string& b) { return KeyOf(a) == KeyOf(b); });
  case kSEQUENCE:
    return _my->_sequences == other._my->_sequences;
  default:
    return true;
  }
}

void OMSColumns::SwapBytes(bool swap) {
  _my->_swapBytes = swap;
  for (OmParsedColumn& c : _my->_sequences)
    c.SwapBytes(swap);
}

void OMSColumns::WriteTo(StreamWriter& out) const {
  // The form and the lists must agree for a reader to take them back.
  const bool tokens = !_my->_sequences.empty(), names = !_my->_dimNames.empty();
  if (tokens != (_my->_columnsForm == kSEQUENCE) || names != (_my->_columnsForm == kDIMNAMES))
    throw std::invalid_argument("cannot stream the columns: the form " + std::to_string(_my->_columnsForm) +
                                " does not agree with " + std::to_string(_my->_sequences.size()) +
                                " tokens and " + std::to_string(_my->_dimNames.size()) + " names");
  out.Int32(_my->_columnsForm);
  out.Int32(static_cast<std::int32_t>(_my->_sequences.size()));
  for (const OmParsedColumn& c : _my->_sequences)
    c.WriteTo(out);
  out.Int32(static_cast<std::int32_t>(_my->_dimNames.size()));
  for (const std::string& name : _my->_dimNames)
    out.Text(name, "column dimension name");
}

// Only what AddColumn can build is read: the lists of the form and no other, not empty, no entry twice.
// Anything else has no written form, and would not be read back from it as it was.
void OMSColumns::ReadFrom(StreamReader& in) {
  const bool swap = _my->_swapBytes;
  const std::uint64_t formAt = in.Offset();
  const std::int32_t form = in.Int32("form", swap);
  if (form < kNONE || form > kSEQUENCE)
    in.Fail("form", formAt, "the form " + std::to_string(form) + " is none of 0, 1 and 2");
  const auto checkCount = [&](std::string_view field, std::uint64_t at, std::int32_t count, COLUMNSFORM owner,
                              const char* what) {
    if (form == owner && count == 0)
      in.Fail(field, at, "the form " + std::to_string(form) + " needs at least one " + what);
    if (form != owner && count != 0)
      in.Fail(field, at,
              "the form " + std::to_string(form) + " has no " + what + "s, but the count is " +
                  std::to_string(count));
  };

  // Entries are appended as they are read, so a count the input cannot back never allocates ahead.
  OMSColumns read;
  const std::uint64_t tokensAt = in.Offset();
  const std::int32_t tokens = in.Count("token count", swap, kTokenMinimumBytes);
  checkCount("token count", tokensAt, tokens, kSEQUENCE, "token");
  for (std::int32_t i = 0; i < tokens; ++i) {
    StreamReader::Scope scope(in, "token " + std::to_string(i + 1));
    const std::uint64_t at = in.Offset();
    OmParsedColumn c("");
    c.SwapBytes(swap);
    c.ReadFrom(in);
    if (read.HasColumn(c))
      in.Fail("token " + omf::selection::detail::QuoteText(c.GetColumnToken()), at,
              "the column is given twice");
    read.AddColumn(c);
  }
  const std::uint64_t namesAt = in.Offset();
  const std::int32_t nameCount = in.Count("dimension name count", swap, kNameMinimumBytes);
  checkCount("dimension name count", namesAt, nameCount, kDIMNAMES, "dimension name");
  for (std::int32_t i = 0; i < nameCount; ++i) {
    const std::string field = "dimension name " + std::to_string(i + 1);
    const std::uint64_t at = in.Offset();
    const std::string name = in.Text(field);
    if (read.HasColumn(name)) in.Fail(field, at, "the name is given twice (names are compared upper-cased)");
    read.AddColumn(name);
  }
  read._my->_columnsForm = static_cast<COLUMNSFORM>(form);
  read._my->_swapBytes = swap;
  *_my = std::move(*read._my);
}

std::ostream& operator<<(std::ostream& os, const OMSColumns& columns) {
  StreamWriter out(os);
  columns.WriteTo(out);
  return os;
}

std::istream& operator>>(std::istream& is, OMSColumns& columns) {
  StreamReader in(is);
  StreamReader::Scope scope(in, "columns");
  OMSColumns read(columns);
  read.ReadFrom(in);
  columns = read;
  return is;
}

} // namespace omf
