#pragma once
// Messages written or played straight into an OmFactory: FactorySink for a MessageWriter, PlayStream for
// a recorded stream.
#include <cstdint>
#include <vector>

#include <omf/stream/MessageSink.h>
#include <omf/stream/StreamPlayer.h>

namespace omf {

class OmFactory;

namespace stream {

// Hands each message to OmFactory::Message; what the factory throws passes to the caller.
class FactorySink : public MessageSink {
public:
  explicit FactorySink(OmFactory& factory) : _factory(factory) {}
  void Send(short type, std::vector<unsigned char>& payload) override;
  void SendBytes(short type, unsigned char* payload, std::size_t length) override;

private:
  OmFactory& _factory;
};

// Plays every record of the stream into the factory (see PlayStream over a sink).
std::uint64_t PlayStream(StreamReader& reader, OmFactory& factory);

} // namespace stream

} // namespace omf
