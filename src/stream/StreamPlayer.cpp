#include <omf/stream/StreamPlayer.h>

#include <exception>

#include <omf/stream/StreamFile.h>

namespace omf {

namespace stream {

StreamPlayError::StreamPlayError(std::uint64_t index, short type, std::uint64_t offset, std::string problem)
    : std::runtime_error("record " + std::to_string(index) + " (type " + std::to_string(type) + ") at byte " +
                         std::to_string(offset) + ": " + problem),
      _index(index), _type(type), _offset(offset), _problem(std::move(problem)) {}

std::uint64_t PlayStream(StreamReader& reader, MessageSink& sink) {
  RecordView record;
  std::uint64_t played = 0;
  while (reader.Next(record)) {
    try {
      sink.SendBytes(record.type, record.payload, record.length);
    } catch (const std::exception& e) {
      // For a factory: ProtocolError, OmError, MessageProtocolError and whatever else it lets through.
      throw StreamPlayError(record.index, record.type, record.offset, e.what());
    }
    ++played;
  }
  return played;
}

} // namespace stream

} // namespace omf
