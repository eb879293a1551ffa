#include "fuzz/Records.h"

#include <cstring>

#include "examples/BuiltinSession.h"
#include "fuzz/ExtraSession.h"
#include <omf/stream/MessageSink.h>
#include <omf/stream/StreamRecord.h>

namespace omf {

namespace fuzz {
namespace {

constexpr std::uint8_t kHeader[kFileHeaderBytes] = {'O', 'M', 'F', 'S', 1, 0, 0, 0};

// Requests that hide, count and pick the last instance, so that selection works on what is played.
const char* const kRequestTexts[] = {
    "select headings tables if instances last end",
    "select tables if instances 2 last end select all exceptif subtypes \"Notes\" end",
    "select charts texts logs pagetitles trees models headings if commands \"Freq*\" end",
    "select all exceptif labels \"Statistics\" instances 1 end",
    "select warnings tables notes hide if subtypes \"Statistics\" \"Crosstabulation\" end select all end",
    "select logs pagetitles end",
};

} // namespace

std::size_t RecordBytes(const Record& record) {
  return omf::stream::kRecordHeaderBytes + record.payload.size();
}

std::size_t StreamSize(const std::vector<Record>& records) {
  std::size_t n = kFileHeaderBytes;
  for (const Record& r : records)
    n += RecordBytes(r);
  return n;
}

std::vector<Record> RecordsOf(void (*write)(omf::stream::MessageWriter&)) {
  omf::stream::RecordingSink sink;
  omf::stream::MessageWriter w(sink);
  write(w);
  std::vector<Record> out;
  for (const omf::stream::StreamRecord& r : sink.Records())
    out.push_back({r.type, r.payload});
  return out;
}

bool ParseRecords(const std::uint8_t* data, std::size_t size, std::vector<Record>& records) {
  records.clear();
  if (size < sizeof kHeader || std::memcmp(data, kHeader, 4) != 0) return false;
  std::size_t at = sizeof kHeader;
  while (size - at >= omf::stream::kRecordHeaderBytes) {
    std::int16_t type;
    std::uint32_t length;
    std::memcpy(&type, data + at, 2);
    std::memcpy(&length, data + at + 2, 4);
    if (length > size - at - omf::stream::kRecordHeaderBytes) break;
    const std::uint8_t* p = data + at + omf::stream::kRecordHeaderBytes;
    records.push_back({type, std::vector<std::uint8_t>(p, p + length)});
    at += omf::stream::kRecordHeaderBytes + length;
  }
  return true;
}

std::size_t WriteRecords(const std::vector<Record>& records, std::uint8_t* out, std::size_t maxSize) {
  if (maxSize < sizeof kHeader) return 0;
  std::memcpy(out, kHeader, sizeof kHeader);
  std::size_t at = sizeof kHeader;
  for (const Record& r : records) {
    if (RecordBytes(r) > maxSize - at) break;
    const auto length = static_cast<std::uint32_t>(r.payload.size());
    std::memcpy(out + at, &r.type, 2);
    std::memcpy(out + at + 2, &length, 4);
    if (!r.payload.empty()) std::memcpy(out + at + 6, r.payload.data(), r.payload.size());
    at += RecordBytes(r);
  }
  return at;
}

std::vector<std::uint8_t> StreamFileBytes(const std::vector<Record>& records) {
  std::vector<std::uint8_t> out(StreamSize(records));
  out.resize(WriteRecords(records, out.data(), out.size()));
  return out;
}

const std::vector<Record>& RecordPool() {
  static const std::vector<Record> pool = [] {
    std::vector<Record> all;
    for (auto write : {&omf::examples::WriteBuiltinSession, &WriteExtraSession, &WriteBootstrapSession}) {
      std::vector<Record> part = RecordsOf(write);
      all.insert(all.end(), part.begin(), part.end());
    }
    for (const char* text : kRequestTexts)
      all.push_back({kRequestsRecord, std::vector<std::uint8_t>(text, text + std::strlen(text))});
    all.push_back({kBareTreeRecord, {}});
    return all;
  }();
  return pool;
}

} // namespace fuzz

} // namespace omf
