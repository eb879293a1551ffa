#pragma once
// Which table dimensions become columns when a selection request writes tables as data: either a list of
// dimension names or a sequence of axis tokens (R1, C2, LALL), never both. The library carries the
// specification (stores, compares and streams it) but does not apply it.
#include <omf/selection/OmParsedColumn.h>

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace omf {

class OMSColumns {
public:
  enum COLUMNSFORM : std::int32_t { kNONE = 0, kDIMNAMES = 1, kSEQUENCE = 2 };

  OMSColumns();
  OMSColumns(const OMSColumns& other);
  OMSColumns& operator=(const OMSColumns& other);
  ~OMSColumns();

  // Appends a dimension name; the form becomes kDIMNAMES. Throws std::logic_error when the name is
  // already there (ignoring case: names are the same when they are upper-cased) or tokens were added
  // before.
  void AddColumn(std::string_view name);
  // Appends an axis token; the form becomes kSEQUENCE. Throws std::logic_error when an equal token is
  // already there, names were added before, or the token is not valid.
  void AddColumn(const OmParsedColumn& column);

  // A stored name equal ignoring case. Not for a sequence of tokens (std::logic_error).
  bool HasColumn(std::string_view name) const;
  // A stored token equal by OmParsedColumn::operator==. Not for dimension names (std::logic_error).
  bool HasColumn(const OmParsedColumn& column) const;
  // Some stored token has the axis. Not for dimension names (std::logic_error).
  bool HasAxis(OmParsedColumn::COLUMNAXIS axis) const;
  // Some stored token has the axis and names all its dimensions.
  bool HasAxisAll(OmParsedColumn::COLUMNAXIS axis) const;

  COLUMNSFORM GetColumnsForm() const;
  void SetColumnsForm(COLUMNSFORM form);
  const std::vector<OmParsedColumn>& GetSequences() const;
  const std::vector<std::string>& GetDimNames() const;

  // Same form and, in order, names equal ignoring case or tokens equal; two empty specifications are equal.
  bool operator==(const OMSColumns& other) const;

  // Byte-reverse the 4-byte values of the next read, for these columns and every stored token.
  void SwapBytes(bool swap);

  // Stream block: form (4), token count (4), the tokens, name count (4), the names (text + NUL each).
  // Writing columns whose form does not agree with their lists (after SetColumnsForm) throws
  // std::invalid_argument. A read refuses such columns too, and names or tokens given twice: a read that
  // fails raises OMSStreamError and leaves the columns unchanged.
  friend std::ostream& operator<<(std::ostream& os, const OMSColumns& columns);
  friend std::istream& operator>>(std::istream& is, OMSColumns& columns);

private:
  friend class OMSObjectSelector;
  void WriteTo(omf::selection::detail::StreamWriter& out) const;
  void ReadFrom(omf::selection::detail::StreamReader& in);

  struct Impl;
  std::unique_ptr<Impl> _my;
};

} // namespace omf
