#include <omf/stream/StreamFile.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <streambuf>

#include <unistd.h>

#include <omf/stream/MessageWriter.h>

using namespace omf;

using namespace omf::stream;

namespace {

using Bytes = std::vector<unsigned char>;

// Input that cannot seek (as a pipe) and hands out at most three bytes at a time.
class TrickleBuffer : public std::streambuf {
public:
  explicit TrickleBuffer(const Bytes& bytes) : _bytes(bytes) {}

protected:
  int_type underflow() override {
    if (_at >= _bytes.size()) return traits_type::eof();
    const std::size_t n = std::min<std::size_t>(3, _bytes.size() - _at);
    std::memcpy(_piece, _bytes.data() + _at, n);
    _at += n;
    setg(_piece, _piece, _piece + n);
    return traits_type::to_int_type(_piece[0]);
  }

private:
  const Bytes& _bytes;
  std::size_t _at = 0;
  char _piece[3];
};

// A small stream whose records have payloads of 16, 0, 21 and 1 bytes.
std::vector<StreamRecord> Sample() {
  RecordingSink sink;
  MessageWriter w(sink);
  w.Number(1, 2.5, WireFormat::Fixed(8, 2));
  w.Signal();
  w.String(2, "Frequency");
  w.Swap(false);
  return sink.Take();
}

std::filesystem::path TempPath(const std::string& name) {
  return std::filesystem::temp_directory_path() /
         ("omf-stream-test-" + std::to_string(getpid()) + "-" + name);
}

// What a reader of the first `length` bytes of `file` reports: the records before the error, and the
// error's text.
struct Outcome {
  std::vector<StreamRecord> records;
  std::string error;
};

template <class MakeReader> Outcome Read(MakeReader make) {
  Outcome out;
  try {
    StreamReader reader = make();
    StreamRecord r;
    while (reader.Next(r))
      out.records.push_back(r);
  } catch (const StreamFormatError& e) {
    out.error = e.what();
  }
  return out;
}

} // namespace

TEST(StreamFile, HeaderAndRecordsAreLittleEndian) {
  std::ostringstream os;
  StreamFileWriter writer(os);
  std::vector<unsigned char> payload{0xAA, 0xBB, 0xCC};
  writer.Send(-2, payload);
  writer.Flush();
  const std::string s = os.str();
  const Bytes bytes(s.begin(), s.end());
  EXPECT_EQ(bytes, (Bytes{'O', 'M', 'F', 'S', 1, 0, 0, 0, 0xFE, 0xFF, 3, 0, 0, 0, 0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(StreamBytes({StreamRecord{-2, payload}}), bytes);
}

namespace {

// A stream larger than the blocks that input of known size is read in, with records cut by the blocks'
// edges at every place and a payload larger than a block.
std::vector<StreamRecord> Large() {
  RecordingSink sink;
  Bytes payload;
  for (int i = 0; i < 60000; ++i) {
    payload.assign(static_cast<std::size_t>(i % 41), static_cast<unsigned char>(i));
    sink.Send(static_cast<short>(256 + i % 7), payload);
    if (i == 30000) {
      payload.assign(std::size_t{3} << 20, 0x5A);
      payload[12345] = 1;
      sink.Send(258, payload);
    }
  }
  return sink.Take();
}

} // namespace

// The same records come back from memory, from a seekable stream, from input that cannot seek and from a
// file, each numbered from 1 and placed at its header's byte.
TEST(StreamFile, EveryKindOfInputReadsTheSameRecords) {
  const std::pair<const char*, std::vector<StreamRecord>> samples[] = {{"small", Sample()},
                                                                       {"large", Large()}};
  for (const auto& [sample, records] : samples) {
    const Bytes bytes = StreamBytes(records);
    const std::string text(bytes.begin(), bytes.end());
    const std::filesystem::path path = TempPath("sample.omfs");
    WriteStreamFile(path.string(), records);

    std::istringstream seekable(text);
    TrickleBuffer trickle(bytes);
    std::istream pipe(&trickle);
    const std::vector<std::pair<const char*, std::vector<StreamRecord>>> reads = {
        {"span", StreamReader(std::span<const unsigned char>(bytes)).ReadAll()},
        {"owned", StreamReader(Bytes(bytes)).ReadAll()},
        {"seekable", StreamReader(seekable).ReadAll()},
        {"pipe", StreamReader(pipe).ReadAll()},
        {"file", ReadStreamFile(path.string())},
    };
    std::filesystem::remove(path);
    for (const auto& [what, got] : reads) {
      ASSERT_EQ(got.size(), records.size()) << sample << " " << what;
      for (std::size_t i = 0; i < got.size(); ++i) {
        ASSERT_TRUE(SameMessage(got[i], records[i])) << sample << " " << what << " record " << i + 1;
        ASSERT_EQ(got[i].index, i + 1) << sample << " " << what;
        ASSERT_EQ(got[i].offset, records[i].offset) << sample << " " << what;
      }
    }
  }
  const std::uint64_t offsets[] = {8, 30, 36, 63};
  const std::vector<StreamRecord> small = Sample();
  for (std::size_t i = 0; i < small.size(); ++i)
    EXPECT_EQ(small[i].offset, offsets[i]) << "the recording sink places records as the file does";
}

// A file cut at any byte: the reader returns the whole records before the cut, then names the record
// that was cut, where it starts and how much of it is there. Checked for memory, for input of unknown size
// and for input of known size (a seekable stream and a file), which take different paths.
TEST(StreamFile, TruncationAtEveryByteNamesTheRecordThatWasCut) {
  const std::vector<StreamRecord> records = Sample();
  const Bytes whole = StreamBytes(records);
  for (std::size_t length = 0; length < whole.size(); ++length) {
    const Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    std::string expected;
    std::size_t complete = 0;
    if (length < 8) {
      expected = "byte 0: truncated file header: " + std::to_string(length) + " of 8 bytes";
    } else {
      for (const StreamRecord& r : records) {
        const std::size_t start = r.offset, end = r.offset + 6 + r.payload.size();
        if (end <= length) {
          ++complete;
          continue;
        }
        if (start >= length) break;
        const std::size_t have = length - start;
        const std::string where = "record " + std::to_string(r.index) +
                                  (have >= 2 ? " (type " + std::to_string(r.type) + ")" : "") + " at byte " +
                                  std::to_string(start) + ": ";
        expected = where + (have < 6 ? "truncated record header: " + std::to_string(have) + " of 6 bytes"
                                     : "truncated payload: " + std::to_string(have - 6) + " of " +
                                           std::to_string(r.payload.size()) + " bytes");
        break;
      }
    }
    TrickleBuffer trickle(prefix);
    std::istream pipe(&trickle);
    std::istringstream seekable(std::string(prefix.begin(), prefix.end()));
    const std::filesystem::path path = TempPath("cut.omfs");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(prefix.data()), static_cast<std::streamsize>(prefix.size()));
    const Outcome outcomes[] = {
        Read([&] { return StreamReader(std::span<const unsigned char>(prefix)); }),
        Read([&] { return StreamReader(pipe); }),
        Read([&] { return StreamReader(seekable); }),
        Read([&] { return StreamReader::OpenFile(path.string()); }),
    };
    std::filesystem::remove(path);
    for (const Outcome& o : outcomes) {
      EXPECT_EQ(o.error, expected) << "cut at " << length;
      EXPECT_EQ(o.records.size(), complete) << "cut at " << length;
    }
  }
}

TEST(StreamFile, BadHeadersAndLengthsAreRefusedWithoutLargeAllocations) {
  struct Case {
    const char* what;
    Bytes bytes;
    const char* error; // empty: reads
  };
  const Case cases[] = {
      {"wrong magic",
       {'O', 'M', 'F', 'X', 1, 0, 0, 0},
       "byte 0: bad magic \"OMFX\", expected \"OMFS\": not a recorded stream"},
      {"binary magic",
       {0x7F, 'E', 'L', 'F', 1, 0, 0, 0},
       "byte 0: bad magic \"\\x7fELF\", expected \"OMFS\": not a recorded stream"},
      {"version 2",
       {'O', 'M', 'F', 'S', 2, 0, 0, 0},
       "byte 4: unsupported format version 2 (this reader reads 1)"},
      {"version written big-endian",
       {'O', 'M', 'F', 'S', 0, 1, 0, 0},
       "byte 4: unsupported format version 256 (this reader reads 1)"},
      {"reserved bytes are not checked", {'O', 'M', 'F', 'S', 1, 0, 7, 7}, ""},
      {"a length near 4 GiB",
       {'O', 'M', 'F', 'S', 1, 0, 0, 0, 0x00, 0x01, 0xF0, 0xFF, 0xFF, 0xFF, 1, 2, 3},
       "record 1 (type 256) at byte 8: truncated payload: 3 of 4294967280 bytes"},
  };
  for (const Case& c : cases) {
    TrickleBuffer trickle(c.bytes);
    std::istream pipe(&trickle);
    EXPECT_EQ(Read([&] { return StreamReader(std::span<const unsigned char>(c.bytes)); }).error, c.error)
        << c.what;
    EXPECT_EQ(Read([&] { return StreamReader(pipe); }).error, c.error) << c.what << " (pipe)";
  }
  try {
    StreamReader::OpenFile(TempPath("missing.omfs").string());
    ADD_FAILURE() << "opened a missing file";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("cannot open"), std::string::npos) << e.what();
  }
  EXPECT_THROW(StreamFileWriter("/nonexistent-directory/x.omfs"), std::runtime_error);
}
