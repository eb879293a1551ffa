#pragma once
// One axis token of a column specification, such as R1 (row dimension 1), c12 (column dimension 12) or
// LALL (every layer dimension), parsed when constructed. Exported and streamed between processes.
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace omf {

namespace selection::detail {
class StreamReader;
class StreamWriter;
} // namespace selection::detail

class OmParsedColumn {
public:
  enum COLUMNAXIS : std::int32_t { kNONE = 0, kROW = 1, kCOLUMN = 2, kLAYER = 3 };
  static constexpr std::int32_t kNO_NUMBER = -1; // no usable dimension number
  static constexpr std::int32_t kALL = -100;     // the number of a token that names all dimensions

  // Parses the token. A token that cannot be parsed is kept, with axis kNONE or number kNO_NUMBER.
  explicit OmParsedColumn(std::string_view token);
  OmParsedColumn(const OmParsedColumn& other);
  OmParsedColumn& operator=(const OmParsedColumn& other);
  ~OmParsedColumn();

  COLUMNAXIS GetAxis() const;
  std::int32_t GetNumber() const;
  const std::string& GetColumnToken() const;
  bool IsAll() const;
  // An axis, and a dimension number of at least 1 or ALL.
  bool IsValidToken() const;

  // Same axis, number and ALL flag; the token text is not compared ("r1" equals "R1").
  bool operator==(const OmParsedColumn& other) const;

  // Byte-reverse the 4-byte values of the next read (data written with the other byte order).
  void SwapBytes(bool swap);

  // Stream block: axis (4), token text + NUL, number (4), ALL flag (1). A read that fails raises
  // OMSStreamError and leaves the token unchanged.
  friend std::ostream& operator<<(std::ostream& os, const OmParsedColumn& column);
  friend std::istream& operator>>(std::istream& is, OmParsedColumn& column);

private:
  friend class OMSColumns;
  void WriteTo(omf::selection::detail::StreamWriter& out) const;
  void ReadFrom(omf::selection::detail::StreamReader& in);

  struct Impl;
  std::unique_ptr<Impl> _my;
};

} // namespace omf
