#include <omf/factory/FactorySink.h>

#include <omf/factory/Factory.h>

namespace omf {

namespace stream {

void FactorySink::Send(short type, std::vector<unsigned char>& payload) {
  // An empty payload still gets a writable byte to point at.
  unsigned char none = 0;
  _factory.Message(type, static_cast<unsigned int>(payload.size()), payload.empty() ? &none : payload.data());
}

void FactorySink::SendBytes(short type, unsigned char* payload, std::size_t length) {
  unsigned char none = 0;
  _factory.Message(type, static_cast<unsigned int>(length), length == 0 ? &none : payload);
}

std::uint64_t PlayStream(StreamReader& reader, OmFactory& factory) {
  FactorySink sink(factory);
  return PlayStream(reader, static_cast<MessageSink&>(sink));
}

} // namespace stream

} // namespace omf
