#include <omf/selection/SelectionStream.h>

#include <omf/selection/OMSSelector.h>
#include <omf/selection/OMSStreamError.h>

#include <cstring>
#include <istream>
#include <ostream>
#include <stdexcept>

namespace omf {

namespace selection::detail {

void StreamWriter::Flag(bool value) {
  _os.put(value ? '\1' : '\0');
}

void StreamWriter::Int32(std::int32_t value) {
  char bytes[4];
  std::memcpy(bytes, &value, 4);
  _os.write(bytes, 4);
}

void StreamWriter::Int16In4(std::int16_t value) {
  char bytes[4] = {};
  std::memcpy(bytes, &value, 2);
  _os.write(bytes, 4);
}

void StreamWriter::Double(double value) {
  char bytes[8];
  std::memcpy(bytes, &value, 8);
  _os.write(bytes, 8);
}

void StreamWriter::Text(std::string_view text, std::string_view field) {
  if (text.size() > kMaxStreamText)
    throw std::invalid_argument("cannot stream " + std::string(field) + ": its " +
                                std::to_string(text.size()) + " bytes exceed the " +
                                std::to_string(kMaxStreamText) + " a reader accepts");
  if (text.find('\0') != std::string_view::npos)
    throw std::invalid_argument("cannot stream " + std::string(field) + ": it holds a NUL byte");
  _os.write(text.data(), static_cast<std::streamsize>(text.size()));
  _os.put('\0');
}

StreamReader::StreamReader(std::istream& is) : _is(is) {
  if (!_is.good()) return; // the first read reports it
  const std::istream::pos_type here = _is.tellg();
  if (here == std::istream::pos_type(-1)) return;
  _offset = static_cast<std::uint64_t>(static_cast<std::streamoff>(here));
  _is.seekg(0, std::ios::end);
  const std::istream::pos_type end = _is.tellg();
  if (end != std::istream::pos_type(-1) && end >= here)
    _end = static_cast<std::uint64_t>(static_cast<std::streamoff>(end));
  _is.clear();
  _is.seekg(here);
  if (!_is.good()) _end.reset();
}

StreamReader::Scope::Scope(StreamReader& reader, std::string name) : _reader(reader) {
  _reader._scopes.push_back(std::move(name));
}

StreamReader::Scope::~Scope() {
  _reader._scopes.pop_back();
}

std::optional<std::uint64_t> StreamReader::Remaining() const {
  if (!_end) return std::nullopt;
  return *_end > _offset ? *_end - _offset : 0;
}

void StreamReader::Fail(std::string_view field, std::uint64_t at, const std::string& problem) const {
  std::string where;
  for (const std::string& s : _scopes)
    where += s + ", ";
  where += field;
  try {
    _is.setstate(std::ios::failbit);
  } catch (const std::ios::failure&) {
    // The caller asked for stream exceptions; ours says more.
  }
  throw OMSStreamError(where, at, problem);
}

void StreamReader::Bytes(char* target, std::size_t count, std::string_view field) {
  const std::uint64_t start = _offset;
  std::streambuf* buffer = _is.good() ? _is.rdbuf() : nullptr;
  if (buffer == nullptr) Fail(field, start, "the input stream is not readable");
  const std::streamsize got = buffer->sgetn(target, static_cast<std::streamsize>(count));
  _offset += static_cast<std::uint64_t>(got);
  if (static_cast<std::size_t>(got) != count)
    Fail(field, start,
         "the input ends after " + std::to_string(got) + " of its " + std::to_string(count) + " bytes");
}

bool StreamReader::Flag(std::string_view field) {
  const std::uint64_t start = _offset;
  char byte = 0;
  Bytes(&byte, 1, field);
  // Writers put 0 or 1; any other byte would read as 1 and not be written back as it was.
  if (byte != 0 && byte != 1)
    Fail(field, start,
         "the flag is " + std::to_string(static_cast<unsigned char>(byte)) + "; a flag is 0 or 1");
  return byte != 0;
}

std::int32_t StreamReader::Int32(std::string_view field, bool swap) {
  char bytes[4];
  Bytes(bytes, 4, field);
  if (swap) OMSSelector::DoSwapBytes(bytes, 4);
  std::int32_t value;
  std::memcpy(&value, bytes, 4);
  return value;
}

std::uint32_t StreamReader::UInt32(std::string_view field, bool swap) {
  return static_cast<std::uint32_t>(Int32(field, swap));
}

std::int16_t StreamReader::Int16In4(std::string_view field) {
  const std::uint64_t start = _offset;
  char bytes[4];
  Bytes(bytes, 4, field);
  if (bytes[2] != 0 || bytes[3] != 0) Fail(field, start, "the two bytes after the 2-byte value must be zero");
  std::int16_t value;
  std::memcpy(&value, bytes, 2);
  return value;
}

double StreamReader::Double(std::string_view field) {
  char bytes[8];
  Bytes(bytes, 8, field);
  double value;
  std::memcpy(&value, bytes, 8);
  return value;
}

std::string StreamReader::Text(std::string_view field) {
  const std::uint64_t start = _offset;
  std::streambuf* buffer = _is.good() ? _is.rdbuf() : nullptr;
  if (buffer == nullptr) Fail(field, start, "the input stream is not readable");
  std::string text;
  for (;;) {
    const auto c = buffer->sbumpc();
    if (std::char_traits<char>::eq_int_type(c, std::char_traits<char>::eof()))
      Fail(field, start, "the text has no terminating NUL before the end of the input");
    ++_offset;
    if (c == 0) return text;
    if (text.size() == kMaxStreamText)
      Fail(field, start, "the text is longer than " + std::to_string(kMaxStreamText) + " bytes");
    text.push_back(std::char_traits<char>::to_char_type(c));
  }
}

std::int32_t StreamReader::Count(std::string_view field, bool swap, std::size_t minimumEntryBytes) {
  const std::uint64_t start = _offset;
  const std::int32_t count = Int32(field, swap);
  if (count < 0) Fail(field, start, "the count " + std::to_string(count) + " is negative");
  const std::optional<std::uint64_t> left = Remaining();
  if (left && static_cast<std::uint64_t>(count) * minimumEntryBytes > *left)
    Fail(field, start,
         "the count " + std::to_string(count) + " needs at least " +
             std::to_string(static_cast<std::uint64_t>(count) * minimumEntryBytes) +
             " more bytes, but only " + std::to_string(*left) + " remain");
  return count;
}

} // namespace selection::detail

} // namespace omf
