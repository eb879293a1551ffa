#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace omf::tool {

OutputFile::OutputFile(const std::string& path) : _path(path) {
  _fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (_fd < 0) throw std::runtime_error(path + ": cannot open for writing: " + std::strerror(errno));
  struct stat st {};
  _regular = ::fstat(_fd, &st) == 0 && S_ISREG(st.st_mode);
  _current.bytes.reset(new char[kBlockBytes]);
  setp(_current.bytes.get(), _current.bytes.get() + kBlockBytes);
}

OutputFile::~OutputFile() {
  if (_fd < 0) return;
  try {
    Finish();
  } catch (...) {
    // Nothing to report to from a destructor; what was written stays.
  }
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
  HandOver();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

std::streamsize OutputFile::xsputn(const char* s, std::streamsize n) {
  std::streamsize done = 0;
  while (done < n) {
    if (pptr() == epptr()) HandOver();
    const auto room = static_cast<std::streamsize>(epptr() - pptr());
    const std::streamsize k = std::min(room, n - done);
    std::memcpy(pptr(), s + done, static_cast<std::size_t>(k));
    pbump(static_cast<int>(k));
    done += k;
  }
  return n;
}

void OutputFile::HandOver() {
  _current.used = static_cast<std::size_t>(pptr() - pbase());
  if (!_writer.joinable()) {
    // A small document is written as it comes, from one block: a thread would cost more than it saves.
    if (_written + _current.used < kThreadAfterBytes || _finished) {
      _written += Write(_current);
      _current.used = 0;
      setp(_current.bytes.get(), _current.bytes.get() + kBlockBytes);
      return;
    }
    _writer = std::thread([this] { Run(); });
  }
  std::unique_lock lock(_mutex);
  _changed.wait(lock, [this] { return _waiting.size() < kBlocksWaiting; });
  if (_current.used == 0) {
    setp(_current.bytes.get(), _current.bytes.get() + kBlockBytes);
    return;
  }
  _waiting.push_back(std::move(_current));
  if (!_spare.empty()) {
    _current = std::move(_spare.back());
    _spare.pop_back();
  } else {
    _current = Block{};
  }
  lock.unlock();
  _changed.notify_all();
  if (!_current.bytes) _current.bytes.reset(new char[kBlockBytes]);
  _current.used = 0;
  setp(_current.bytes.get(), _current.bytes.get() + kBlockBytes);
}

void OutputFile::Run() {
  std::unique_lock lock(_mutex);
  for (;;) {
    _changed.wait(lock, [this] { return !_waiting.empty() || _closing; });
    if (_waiting.empty()) return;
    Block block = std::move(_waiting.front());
    _waiting.pop_front();
    const bool failed = _error != 0;
    lock.unlock();
    _changed.notify_all();
    const std::size_t at = failed ? 0 : Write(block);
    lock.lock();
    _written += at;
    _spare.push_back(std::move(block));
  }
}

std::size_t OutputFile::Write(const Block& block) {
  std::size_t at = 0;
  while (_error == 0 && at < block.used) {
    const ssize_t n = ::write(_fd, block.bytes.get() + at, block.used - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      _error = n < 0 ? errno : EIO;
      break;
    }
    at += static_cast<std::size_t>(n);
  }
  return at;
}

void OutputFile::Finish() {
  if (_finished) return;
  _finished = true; // what is left is written here, without a thread
  HandOver();
  if (_writer.joinable()) {
    {
      std::lock_guard lock(_mutex);
      _closing = true;
    }
    _changed.notify_all();
    _writer.join();
  }
  // The old contents past the new end go.
  if (_regular && ::ftruncate(_fd, static_cast<off_t>(_written)) != 0 && _error == 0) _error = errno;
}

} // namespace omf::tool
