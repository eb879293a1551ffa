#pragma once
// Fuzz inputs of the stream targets are recorded streams (.omfs). These helpers read and write them
// leniently (a record cut short at the end is left out), and hold the pool of records that the mutator
// inserts.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <omf/stream/MessageWriter.h>

namespace omf {

namespace fuzz {

struct Record {
  short type = 0;
  std::vector<std::uint8_t> payload;
};

// Records that are not messages: the stream target reads them before it plays the stream, and the
// factory ignores them (their types are outside the protocol), so `omf render` replays such a file too.
// The payload is selection requests, in the readable syntax or the binary form.
constexpr short kRequestsRecord = -2;
// Present anywhere: the caller's tree holds only its root, not a top heading.
constexpr short kBareTreeRecord = -3;

// The file header and the header of each record.
constexpr std::size_t kFileHeaderBytes = 8;
std::size_t RecordBytes(const Record& record);
std::size_t StreamSize(const std::vector<Record>& records);

// The whole records of a stream file, in order; false when the file does not start as a stream.
bool ParseRecords(const std::uint8_t* data, std::size_t size, std::vector<Record>& records);
// A stream file of the records, leaving out the records after the last one that fits in `maxSize`.
std::size_t WriteRecords(const std::vector<Record>& records, std::uint8_t* out, std::size_t maxSize);
std::vector<std::uint8_t> StreamFileBytes(const std::vector<Record>& records);

// The records a writer function sends.
std::vector<Record> RecordsOf(void (*write)(omf::stream::MessageWriter&));
// Records to insert: the built-in example session, the extra sessions and some request records.
const std::vector<Record>& RecordPool();

} // namespace fuzz

} // namespace omf
