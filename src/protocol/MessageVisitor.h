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

#define OMF_MESSAGE(Enumerator, number, word, fields)                                                        \
  void Handle##Enumerator(const Decoded<msg::Enumerator>&) {}
#include <omf/protocol/Messages.def>
};

} // namespace omf
