#pragma once
// MessageVisitor: calls the handler of a decoded message's type. A class derives from
// MessageVisitor<Itself> and declares Handle<Type>(const Decoded<msg::Type>&) for the types it acts on
// (HandleCell for MessageType::Cell); every other type reaches a handler that does nothing. The switch
// and the defaults come from protocol/Messages.def, so a new row needs no change here.
#include <omf/protocol/MessageCatalogue.h>

namespace omf {

template <class Derived> class MessageVisitor {
public:
  // `message` must have been decoded through its catalogue row.
  void Visit(const DecodedMessage& message) {
    Derived& self = static_cast<Derived&>(*this);
    switch (static_cast<MessageType>(message.Spec().type)) {
#define OMF_MESSAGE(Enumerator, number, word, fields)                                                        \
  case MessageType::Enumerator:                                                                              \
    self.Handle##Enumerator(Decoded<msg::Enumerator>(message));                                              \
    return;
#include <omf/protocol/Messages.def>
    }
  }

  // Decodes a payload through the row of its type, read by the compiler, calls before(message) and then
  // the type's handler. False, with nothing called, for a type the protocol does not have.
  template <class Before>
  bool Play(short type, unsigned char* data, std::size_t length, bool swap, Before&& before) {
    Derived& self = static_cast<Derived&>(*this);
    switch (type) {
#define OMF_MESSAGE(Enumerator, number, word, fields)                                                        \
  case number: {                                                                                             \
    const DecodedMessage message = DecodeMessageOf<msg::Enumerator>(data, length, swap);                     \
    before(message);                                                                                         \
    self.Handle##Enumerator(Decoded<msg::Enumerator>(message));                                              \
    return true;                                                                                             \
  }
#include <omf/protocol/Messages.def>
    default:
      return false;
    }
  }

#define OMF_MESSAGE(Enumerator, number, word, fields)                                                        \
  void Handle##Enumerator(const Decoded<msg::Enumerator>&) {}
#include <omf/protocol/Messages.def>
};

} // namespace omf
