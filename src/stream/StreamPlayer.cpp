#include "stream/StreamPlayer.h"

#include <exception>

#include "factory/Factory.h"
#include "stream/StreamFile.h"

namespace omf::stream {

void FactorySink::Send(short type, std::vector<unsigned char>& payload) {
  // An empty payload still gets a writable byte to point at.
  unsigned char none = 0;
  _factory.Message(type, static_cast<unsigned int>(payload.size()), payload.empty() ? &none : payload.data());
}

StreamPlayError::StreamPlayError(std::uint64_t index, short type, std::uint64_t offset, std::string problem)
    : std::runtime_error("record " + std::to_string(index) + " (type " + std::to_string(type) + ") at byte " +
                         std::to_string(offset) + ": " + problem),
      _index(index), _type(type), _offset(offset), _problem(std::move(problem)) {}

std::uint64_t PlayStream(StreamReader& reader, OmFactory& factory) {
  FactorySink sink(factory);
  StreamRecord record;
  std::uint64_t played = 0;
  while (reader.Next(record)) {
    try {
      sink.Send(record.type, record.payload);
    } catch (const std::exception& e) {
      // ProtocolError, OmError, MessageProtocolError and whatever else the factory lets through.
      throw StreamPlayError(record.index, record.type, record.offset, e.what());
    }
    ++played;
  }
  return played;
}

} // namespace omf::stream
