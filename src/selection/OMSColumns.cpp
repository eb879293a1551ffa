#include "selection/OMSColumns.h"

#include "platform/strings/PlatformStrings.h"
#include "selection/Precondition.h"
#include "selection/SelectionStream.h"

#include <algorithm>
#include <istream>
#include <ostream>

using omf::selection::detail::Require;
using omf::selection::detail::StreamReader;
using omf::selection::detail::StreamWriter;

struct OMSColumns::Impl {
  COLUMNSFORM _columnsForm = kNONE;
  std::vector<OmParsedColumn> _sequences;
  std::vector<std::string> _dimNames;
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
  _my->_dimNames.emplace_back(name);
  _my->_columnsForm = kDIMNAMES;
}

void OMSColumns::AddColumn(const OmParsedColumn& column) {
  Require(!HasColumn(column), "!HasColumn(pc)");
  Require(column.IsValidToken(), "pc.IsValidToken()");
  _my->_sequences.push_back(column);
  _my->_columnsForm = kSEQUENCE;
}

bool OMSColumns::HasColumn(std::string_view name) const {
  Require(_my->_columnsForm != kSEQUENCE, kNotSequence);
  return std::any_of(_my->_dimNames.begin(), _my->_dimNames.end(),
                     [&](const std::string& stored) { return VEXAMBstricmp_A(stored, name) == 0; });
}

bool OMSColumns::HasColumn(const OmParsedColumn& column) const {
  Require(_my->_columnsForm != kDIMNAMES, kNotDimNames);
  return std::find(_my->_sequences.begin(), _my->_sequences.end(), column) != _my->_sequences.end();
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
                      [](const std::string& a, const std::string& b) { return VEXAMBstricmp_A(a, b) == 0; });
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
  out.Int32(_my->_columnsForm);
  out.Int32(static_cast<std::int32_t>(_my->_sequences.size()));
  for (const OmParsedColumn& c : _my->_sequences)
    c.WriteTo(out);
  out.Int32(static_cast<std::int32_t>(_my->_dimNames.size()));
  for (const std::string& name : _my->_dimNames)
    out.Text(name, "column dimension name");
}

void OMSColumns::ReadFrom(StreamReader& in) {
  const bool swap = _my->_swapBytes;
  const std::uint64_t formAt = in.Offset();
  const std::int32_t form = in.Int32("form", swap);
  if (form < kNONE || form > kSEQUENCE)
    in.Fail("form", formAt, "the form " + std::to_string(form) + " is none of 0, 1 and 2");

  // Entries are appended as they are read, so a count the input cannot back never allocates ahead.
  std::vector<OmParsedColumn> sequences;
  const std::int32_t tokens = in.Count("token count", swap, kTokenMinimumBytes);
  for (std::int32_t i = 0; i < tokens; ++i) {
    StreamReader::Scope scope(in, "token " + std::to_string(i + 1));
    OmParsedColumn& c = sequences.emplace_back("");
    c.SwapBytes(swap);
    c.ReadFrom(in);
  }
  std::vector<std::string> names;
  const std::int32_t nameCount = in.Count("dimension name count", swap, kNameMinimumBytes);
  for (std::int32_t i = 0; i < nameCount; ++i)
    names.push_back(in.Text("dimension name " + std::to_string(i + 1)));

  _my->_columnsForm = static_cast<COLUMNSFORM>(form);
  _my->_sequences = std::move(sequences);
  _my->_dimNames = std::move(names);
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
