#include "selection/RequestFile.h"

#include "selection/SelectionStream.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace omf::selection {

namespace {

constexpr std::string_view kMagic = "OMSR";
constexpr char kLittleEndian = 0;
constexpr char kBigEndian = 1;
constexpr char kNativeOrder = std::endian::native == std::endian::big ? kBigEndian : kLittleEndian;

} // namespace

bool IsBinaryRequestData(std::string_view bytes) {
  return bytes.substr(0, kMagic.size()) == kMagic;
}

void WriteBinaryRequests(std::ostream& os, const std::vector<OMSObjectSelector>& requests) {
  if (requests.size() > static_cast<std::size_t>(INT32_MAX))
    throw std::invalid_argument("too many selection requests for one file: " +
                                std::to_string(requests.size()));
  const char header[8] = {kMagic[0], kMagic[1], kMagic[2], kMagic[3], kNativeOrder, 0, 0, 0};
  os.write(header, sizeof header);
  detail::StreamWriter(os).Int32(static_cast<std::int32_t>(requests.size()));
  for (const OMSObjectSelector& request : requests)
    os << request;
}

void WriteBinaryRequestFile(const std::filesystem::path& path,
                            const std::vector<OMSObjectSelector>& requests) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) throw std::runtime_error("cannot create " + path.string() + ": " + std::strerror(errno));
  WriteBinaryRequests(file, requests);
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path.string() + ": " + std::strerror(errno));
}

std::vector<OMSObjectSelector> ReadBinaryRequests(std::istream& is) {
  detail::StreamReader in(is);
  detail::StreamReader::Scope scope(in, "request file");

  const std::uint64_t magicAt = in.Offset();
  char magic[4];
  in.Bytes(magic, sizeof magic, "magic");
  if (std::string_view(magic, sizeof magic) != kMagic)
    in.Fail("magic", magicAt, "the file does not start with the bytes \"OMSR\"");
  const std::uint64_t orderAt = in.Offset();
  char order = 0;
  in.Bytes(&order, 1, "byte order");
  if (order != kLittleEndian && order != kBigEndian)
    in.Fail("byte order", orderAt,
            "the byte order " + std::to_string(static_cast<unsigned char>(order)) +
                " is neither 0 (little-endian) nor 1 (big-endian)");
  const std::uint64_t reservedAt = in.Offset();
  char reserved[3];
  in.Bytes(reserved, sizeof reserved, "reserved bytes");
  if (reserved[0] != 0 || reserved[1] != 0 || reserved[2] != 0)
    in.Fail("reserved bytes", reservedAt, "the three bytes after the byte order must be zero");

  const bool swap = order != kNativeOrder;
  const std::uint64_t countAt = in.Offset();
  const std::uint32_t count = in.UInt32("request count", swap);
  const std::optional<std::uint64_t> left = in.Remaining();
  if (left && std::uint64_t{count} * detail::kObjectSelectorMinimumBytes > *left)
    in.Fail("request count", countAt,
            "the count " + std::to_string(count) + " needs at least " +
                std::to_string(std::uint64_t{count} * detail::kObjectSelectorMinimumBytes) +
                " more bytes, but only " + std::to_string(*left) + " remain");

  // Appended as read: a count that the input cannot back fails at the end of the input, not in an allocation.
  std::vector<OMSObjectSelector> requests;
  for (std::uint32_t i = 0; i < count; ++i) {
    detail::StreamReader::Scope request(in, "request " + std::to_string(i + 1));
    OMSObjectSelector& selector = requests.emplace_back();
    selector.SwapBytes(swap);
    detail::ReadObjectSelector(in, selector);
    selector.SwapBytes(false);
  }
  if (left) {
    if (const std::uint64_t extra = in.Remaining().value_or(0); extra > 0)
      in.Fail("trailing bytes", in.Offset(), std::to_string(extra) + " bytes follow the last request");
  } else if (!std::char_traits<char>::eq_int_type(is.rdbuf()->sgetc(), std::char_traits<char>::eof())) {
    in.Fail("trailing bytes", in.Offset(), "bytes follow the last request");
  }
  return requests;
}

std::vector<OMSObjectSelector> ReadRequestFile(const std::filesystem::path& path) {
  // A directory opens like a file but reads as nothing, which would pass for an empty request list.
  std::error_code error;
  if (std::filesystem::is_directory(path, error))
    throw std::runtime_error("cannot read " + path.string() + ": it is a directory");
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot open " + path.string() + ": " + std::strerror(errno));
  std::ostringstream content;
  content << file.rdbuf();
  if (file.bad()) throw std::runtime_error("cannot read " + path.string() + ": " + std::strerror(errno));
  const std::string bytes = std::move(content).str();
  if (IsBinaryRequestData(bytes)) {
    std::istringstream binary(bytes);
    return ReadBinaryRequests(binary);
  }
  return ParseRequestText(bytes);
}

} // namespace omf::selection
