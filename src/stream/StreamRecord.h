#pragma once
// One message of a recorded stream: its type and payload as the back end sent them, and where it stands
// in the stream.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace omf {

namespace stream {

// A stream file starts with "OMFS", the format version and two reserved bytes; each record with its
// i16 type and u32 payload length.
constexpr std::uint64_t kStreamHeaderBytes = 8;
constexpr std::uint64_t kRecordHeaderBytes = 6;

struct StreamRecord {
  short type = 0;
  std::vector<unsigned char> payload;
  // Counted from 1: the first record of a stream is record 1.
  std::uint64_t index = 0;
  // Byte offset of the record's header in the stream file (the first record starts at byte 8).
  std::uint64_t offset = 0;
};

// A record handed out where it lies, for playing millions of them without a copy each. The payload is
// the receiver's to change (a factory reverses swapped fields in place) until the next record is read.
struct RecordView {
  short type = 0;
  unsigned char* payload = nullptr;
  std::size_t length = 0;
  std::uint64_t index = 0;
  std::uint64_t offset = 0;
};

// Records are equal when their type and payload are; where they stand is not compared.
inline bool SameMessage(const StreamRecord& a, const StreamRecord& b) {
  return a.type == b.type && a.payload == b.payload;
}

} // namespace stream

} // namespace omf
