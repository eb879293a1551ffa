#pragma once
// A file that a renderer writes into. Once the document has grown past a few megabytes, a thread of its
// own hands the bytes to the system, so that copying them into the file costs the renderer nothing on a
// machine with a second core: the renderer fills blocks, the thread writes them in order, and a bounded
// number of blocks wait, so memory stays small however large the document.
//
// An existing file is written over in place and cut to the new length at the end, instead of being
// emptied first: the system then reuses the file's pages rather than freeing and allocating them all
// again. What was written before a failure stays, and nothing after it.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

namespace omf::tool {

class OutputFile final : public std::streambuf {
public:
  // Small enough that the blocks in use (at most kBlocksWaiting + 2) stay few pages each.
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 15;
  static constexpr std::size_t kBlocksWaiting = 2;
  // Documents up to this size are written by the renderer itself; the thread starts past it.
  static constexpr std::size_t kThreadAfterBytes = std::size_t{4} << 20;

  // Throws std::runtime_error naming the path and the system's reason when it cannot be opened.
  explicit OutputFile(const std::string& path);
  // Without Close: waits for the blocks handed over, keeps what was written and cuts the rest.
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
  struct Block;
  void HandOver();
  void Run();
  void Finish();
  // Writes a block whole unless a write fails (then _error is set); the bytes written. Only one thread
  // writes at a time: the renderer before the writer thread starts, the writer thread after.
  std::size_t Write(const Block& block);

  std::string _path;
  int _fd = -1;
  bool _regular = false;
  struct Block {
    std::unique_ptr<char[]> bytes; // kBlockBytes of them, never zero-filled
    std::size_t used = 0;
  };
  Block _current;
  std::mutex _mutex;
  std::condition_variable _changed;
  std::deque<Block> _waiting; // full blocks, oldest first
  std::vector<Block> _spare;  // written blocks, for reuse
  bool _closing = false;
  bool _finished = false;
  int _error = 0;           // errno of the first failed write
  std::size_t _written = 0; // bytes in the file
  std::thread _writer;
};

} // namespace omf::tool
