#pragma once
// A message that breaks the protocol: a payload shorter than its fields, a slot out of range or empty,
// a table message for a table id without a builder, and the like. The factory stays usable: the output
// already in the caller's tree is kept and the next valid message is accepted.
#include <stdexcept>
#include <string>

#include <omf/protocol/MessageType.h>

namespace omf {

class ProtocolError : public std::runtime_error {
public:
  ProtocolError(short type, std::string field, const std::string& problem)
      : std::runtime_error("type " + std::to_string(type) + (field.empty() ? "" : ", " + field) + ": " +
                           problem),
        _type(type), _field(std::move(field)), _problem(problem) {}
  ProtocolError(MessageType type, std::string field, const std::string& problem)
      : ProtocolError(TypeNumber(type), std::move(field), problem) {}
  short Type() const { return _type; }
  const std::string& Field() const { return _field; }
  const std::string& Problem() const { return _problem; }

private:
  short _type;
  std::string _field;
  std::string _problem;
};

} // namespace omf
