#pragma once
// Playing a recorded stream into a sink, record by record (factory/FactorySink.h plays into a factory).
#include <cstdint>
#include <stdexcept>
#include <string>

#include <omf/stream/MessageSink.h>

namespace omf {

namespace stream {

class StreamReader;

// A record that the sink refused: "record 12 (type 273) at byte 301: type 273, cell: slot 9 is empty".
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

// Feeds every record of the stream to the sink, in order, and returns the number of records played.
// Stops at the first record the sink throws for, with a StreamPlayError naming the record and carrying
// the sink's text; a stream that cannot be read raises the reader's StreamFormatError, which names the
// record in the same way. Records before the failing one stay played.
std::uint64_t PlayStream(StreamReader& reader, MessageSink& sink);

} // namespace stream

} // namespace omf
