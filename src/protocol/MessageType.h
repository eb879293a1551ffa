#pragma once

namespace omf {

// The message types of the protocol, named; the numbers are those of protocol/Messages.def.

enum class MessageType : short {
#define OMF_MESSAGE(Enumerator, number, word, fields) Enumerator = number,
#include <omf/protocol/Messages.def>
};

// The number that a stream carries for the type.
constexpr short TypeNumber(MessageType type) {
  return static_cast<short>(type);
}

} // namespace omf
