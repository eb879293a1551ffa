#pragma once
// Playing messages into an OmFactory: FactorySink for a MessageWriter that writes straight into a
// factory, PlayStream for a recorded stream.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "stream/MessageSink.h"

class OmFactory;

namespace omf::stream {

class StreamReader;

// Hands each message to OmFactory::Message; what the factory throws passes to the caller.
class FactorySink : public MessageSink {
public:
  explicit FactorySink(OmFactory& factory) : _factory(factory) {}
  void Send(short type, std::vector<unsigned char>& payload) override;

private:
  OmFactory& _factory;
};

// A record that the factory refused: "record 12 (type 273) at byte 301: type 273, cell: slot 9 is empty".
class StreamPlayError : public std::runtime_error {
public:
  StreamPlayError(std::uint64_t index, short type, std::uint64_t offset, std::string problem);
  std::uint64_t Index() const { return _index; }
  short Type() const { return _type; }
  std::uint64_t Offset() const { return _offset; }
  const std::string& Problem() const { return _problem; }

private:
  std::uint64_t _index;
  short _type;
  std::uint64_t _offset;
  std::string _problem;
};

// Feeds every record of the stream to the factory, in order, and returns the number of records played.
// Stops at the first record the factory throws for, with a StreamPlayError naming the record and carrying
// the factory's text; a stream that cannot be read raises the reader's StreamFormatError, which names the
// record in the same way. Records before the failing one stay played.
std::uint64_t PlayStream(StreamReader& reader, OmFactory& factory);

} // namespace omf::stream
