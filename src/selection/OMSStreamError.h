#pragma once
// The error raised when a serialized selection request cannot be read: the bytes are cut short, a count
// cannot fit in what is left, a text lacks its terminating NUL, a value is out of range.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace omf {

class OMSStreamError : public std::runtime_error {
public:
  // `field` names what was being read ("IF set, command 2"), `offset` the byte where it starts.
  OMSStreamError(std::string field, std::uint64_t offset, std::string problem);

  const std::string& Field() const { return _field; }
  std::uint64_t Offset() const { return _offset; }
  const std::string& Problem() const { return _problem; }

private:
  std::string _field;
  std::uint64_t _offset;
  std::string _problem;
};

} // namespace omf
