#pragma once
// Where a MessageWriter sends the messages it encodes: a stream file, a factory, or memory.
#include <cstddef>
#include <vector>

#include <omf/stream/StreamRecord.h>

namespace omf {

namespace stream {

class MessageSink {
public:
  virtual ~MessageSink() = default;
  // The payload is the sink's to change: a factory reverses swapped fields in place.
  virtual void Send(short type, std::vector<unsigned char>& payload) = 0;
  // The same for a payload where it lies, the sink's to change while the call lasts. Sinks that play
  // messages at once take it without a copy; the others get it through Send.
  virtual void SendBytes(short type, unsigned char* payload, std::size_t length) {
    std::vector<unsigned char> copy(payload, payload + length);
    Send(type, copy);
  }
};

// Keeps every message, numbered and placed as a stream file would hold them.
class RecordingSink : public MessageSink {
public:
  void Send(short type, std::vector<unsigned char>& payload) override;
  const std::vector<StreamRecord>& Records() const { return _records; }
  // Hands the records over and starts afresh.
  std::vector<StreamRecord> Take();

private:
  std::vector<StreamRecord> _records;
  std::uint64_t _nextOffset = kStreamHeaderBytes;
};

} // namespace stream

} // namespace omf
