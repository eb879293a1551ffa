#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace omf::tool {

OutputFile::OutputFile(const std::string& path) : _path(path), _block(new char[kBlockBytes]) {
  _fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (_fd < 0) throw std::runtime_error(path + ": cannot open for writing: " + std::strerror(errno));
  struct stat st {};
  _regular = ::fstat(_fd, &st) == 0 && S_ISREG(st.st_mode);
  setp(_block.get(), _block.get() + kBlockBytes);
}

OutputFile::~OutputFile() {
  if (_fd < 0) return;
  Finish();
  ::close(_fd);
}

void OutputFile::Close() {
  Finish();
  const int error = _error;
  const bool closed = ::close(_fd) == 0;
  const int closeError = errno;
  _fd = -1;
  if (error != 0) throw std::runtime_error(_path + ": cannot write: " + std::strerror(error));
  if (!closed) throw std::runtime_error(_path + ": cannot write: " + std::strerror(closeError));
}

OutputFile::int_type OutputFile::overflow(int_type c) {
  Drain();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

std::streamsize OutputFile::xsputn(const char* s, std::streamsize n) {
  const auto count = static_cast<std::size_t>(n);
  if (count >= kBlockBytes) {
    // A big piece goes straight to the file, after what the block holds.
    Drain();
    Write(s, count);
    return n;
  }
  if (static_cast<std::size_t>(epptr() - pptr()) < count) Drain();
  std::memcpy(pptr(), s, count);
  pbump(static_cast<int>(count));
  return n;
}

void OutputFile::Drain() {
  Write(pbase(), static_cast<std::size_t>(pptr() - pbase()));
  setp(_block.get(), _block.get() + kBlockBytes);
}

void OutputFile::Write(const char* s, std::size_t n) {
  std::size_t at = 0;
  while (_error == 0 && at < n) {
    const ssize_t k = ::write(_fd, s + at, n - at);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) {
      _error = k < 0 ? errno : EIO;
      break;
    }
    at += static_cast<std::size_t>(k);
  }
  _written += at;
}

void OutputFile::Finish() {
  if (_finished) return;
  _finished = true;
  Drain();
  // The old contents past the new end go.
  if (_regular && ::ftruncate(_fd, static_cast<off_t>(_written)) != 0 && _error == 0) _error = errno;
}

} // namespace omf::tool
