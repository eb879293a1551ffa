#pragma once
// A file that a renderer writes into through one block of memory.
//
// An existing file is written over in place and cut to the new length at the end, instead of being
// emptied first: the system then reuses the file's pages rather than freeing and allocating them all
// again (on this kind of machine that was a good part of writing a big document). What was written
// before a failure stays, and nothing after it.
//
// A thread of its own that wrote the blocks while the renderer went on was tried: on two cores it
// saved nothing on average and made the time of a big render vary by a fifth.
#include <cstddef>
#include <memory>
#include <streambuf>
#include <string>

namespace omf::tool {

class OutputFile final : public std::streambuf {
public:
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 15;

  // Throws std::runtime_error naming the path and the system's reason when it cannot be opened.
  explicit OutputFile(const std::string& path);
  // Without Close: keeps what was written and cuts the rest.
  ~OutputFile() override;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Writes what is left, cuts the file to what was written and closes it; throws std::runtime_error
  // naming the path and the reason when any write failed.
  void Close();

protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;

private:
  // Writes the block's bytes, or `n` bytes from `s`, unless a write failed before (then _error is set).
  void Drain();
  void Write(const char* s, std::size_t n);
  void Finish();

  std::string _path;
  int _fd = -1;
  bool _regular = false;
  bool _finished = false;
  std::unique_ptr<char[]> _block; // never zero-filled
  int _error = 0;                 // errno of the first failed write
  std::size_t _written = 0;       // bytes in the file
};

} // namespace omf::tool
