#include <omf/stream/MessageSink.h>

#include <utility>

namespace omf {

namespace stream {

void RecordingSink::Send(short type, std::vector<unsigned char>& payload) {
  _records.push_back({type, payload, _records.size() + 1, _nextOffset});
  _nextOffset += kRecordHeaderBytes + payload.size();
}

std::vector<StreamRecord> RecordingSink::Take() {
  _nextOffset = kStreamHeaderBytes;
  return std::exchange(_records, {});
}

} // namespace stream

} // namespace omf
