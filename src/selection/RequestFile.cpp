#include <omf/selection/RequestFile.h>

#include <omf/selection/SelectionStream.h>

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace omf {

namespace selection {

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
  // Encoded in full first: requests that cannot be written fail before the file is touched.
  std::ostringstream encoded;
  WriteBinaryRequests(encoded, requests);
  const std::string bytes = std::move(encoded).str();

  // A regular file (or none yet) is replaced whole: written beside it under another name, then renamed
  // over it, so that a failed write leaves the old file, or no file, and never a cut one. Anything else
  // (a device, a pipe) is written in place.
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path target = path;
  if (fs::is_symlink(path, error)) target = fs::weakly_canonical(path, error);
  const fs::file_status status = fs::status(target, error);
  const bool inPlace = fs::exists(status) && !fs::is_regular_file(status);
  fs::path written = target;
  if (!inPlace) {
    static std::atomic<unsigned> serial{0};
    std::random_device random;
    written += ".tmp" + std::to_string(random()) + "-" + std::to_string(serial++);
  }
  const auto fail = [&](const char* what) {
    const std::string reason = std::strerror(errno);
    if (!inPlace) fs::remove(written, error);
    throw std::runtime_error(std::string(what) + " " + path.string() + ": " + reason);
  };
  {
    std::ofstream file(written, std::ios::binary | std::ios::trunc);
    if (!file) fail("cannot create");
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) fail("cannot write");
  }
  if (inPlace) return;
  if (fs::exists(status)) fs::permissions(written, status.permissions(), error);
  fs::rename(written, target, error);
  if (error) {
    errno = error.value();
    fail("cannot write");
  }
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

} // namespace selection

} // namespace omf
