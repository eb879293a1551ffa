#pragma once
// Recorded message streams (.omfs files): "OMFS", a 16-bit format version (1), two reserved bytes, then
// records back to back to the end of the file, each an i16 message type, a u32 payload length n and n
// payload bytes. The container's own fields are little-endian; payloads are in the sender's byte order
// and are kept exactly as stored.
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include <omf/stream/MessageSink.h>
#include <omf/stream/StreamRecord.h>

namespace omf {

namespace stream {

constexpr std::uint16_t kStreamVersion = 1;

// A stream file that cannot be read: bad magic or version, or a file that ends inside a record. The text
// names the record (counted from 1; 0 for the file header), its type when the header got that far, the
// byte where the record starts, and what is wrong: "record 3 (type 256) at byte 40: truncated payload:
// 12 of 16 bytes".
class StreamFormatError : public std::runtime_error {
public:
  StreamFormatError(std::uint64_t index, std::optional<short> type, std::uint64_t offset,
                    std::string problem);
  std::uint64_t Index() const { return _index; }
  std::optional<short> Type() const { return _type; }
  std::uint64_t Offset() const { return _offset; }
  const std::string& Problem() const { return _problem; }

private:
  std::uint64_t _index;
  std::optional<short> _type;
  std::uint64_t _offset;
  std::string _problem;
};

// Reads the records of a stream one at a time. The file header is checked on construction. A payload is
// allocated only once the input is known to hold it (or, for input of unknown size, as its bytes arrive),
// so a damaged length cannot make a huge allocation. Nothing of a truncated record is returned.
class StreamReader {
public:
  // Reads the file at `path`; throws std::runtime_error when it cannot be opened.
  static StreamReader OpenFile(const std::string& path);
  // Reads from `in`, which must outlive the reader. Input that cannot tell its size (a pipe) is read as it
  // comes.
  explicit StreamReader(std::istream& in);
  // Reads a byte buffer that must outlive the reader.
  explicit StreamReader(std::span<const unsigned char> bytes);
  // Reads a byte buffer that the reader keeps.
  explicit StreamReader(std::vector<unsigned char> bytes);
  ~StreamReader();
  StreamReader(StreamReader&&) noexcept;
  StreamReader& operator=(StreamReader&&) noexcept;

  // The next record, its payload buffer reused; false at the end of the stream.
  bool Next(StreamRecord& record);
  // The same where the record lies, when the reader holds its input in memory it may change (a file it
  // mapped, a buffer it keeps); else from a buffer of its own.
  bool Next(RecordView& record);
  // Every record that is left.
  std::vector<StreamRecord> ReadAll();

  struct Impl;

private:
  explicit StreamReader(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> _my;
};

// Writes a stream: the file header on construction, then one record per message sent.
class StreamFileWriter : public MessageSink {
public:
  // Writes to `out`, which must outlive the writer.
  explicit StreamFileWriter(std::ostream& out);
  // Creates the file at `path`; throws std::runtime_error when it cannot.
  explicit StreamFileWriter(const std::string& path);
  ~StreamFileWriter() override;

  void Send(short type, std::vector<unsigned char>& payload) override;
  void Write(const StreamRecord& record);
  // Throws std::runtime_error when the output reported a failure.
  void Flush();

private:
  void WriteHeader();

  std::unique_ptr<std::ostream> _owned;
  std::ostream* _out;
  std::string _path;
};

// A whole stream as bytes, and back.
std::vector<unsigned char> StreamBytes(const std::vector<StreamRecord>& records);
void WriteStreamFile(const std::string& path, const std::vector<StreamRecord>& records);
std::vector<StreamRecord> ReadStreamFile(const std::string& path);

} // namespace stream

} // namespace omf
