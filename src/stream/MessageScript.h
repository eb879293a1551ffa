#pragma once
// The message script: a recorded stream written as text, one message per line, so that a person can
// write and read streams. A line is the message's name followed by its fields as `name=value`:
//
//   string slot=1 literal=0 text="Valid"
//   number value=12.5 format=F8.2 slot=2
//   cell tcid=0 cell=2 category=1
//
// Length fields are left out (they follow from their texts), `#` starts a comment, and `byte-order big`
// or `byte-order little` sets the byte order of the lines that follow.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <omf/stream/MessageEncoder.h>
#include <omf/stream/MessageSink.h>
#include <omf/stream/StreamRecord.h>

namespace omf {

namespace stream {

// A script that cannot be assembled: "line 4, column 17: field "slot" expects an integer, found "x"".
class ScriptError : public std::runtime_error {
public:
  ScriptError(std::size_t line, std::size_t column, std::string problem);
  std::size_t Line() const { return _line; }
  std::size_t Column() const { return _column; }
  const std::string& Problem() const { return _problem; }

private:
  std::size_t _line;
  std::size_t _column;
  std::string _problem;
};

// Assembles a script into its messages, numbered and placed as a stream file holds them. `order` is the
// byte order before the first `byte-order` line: that of this machine unless the stream is known to come
// from the other kind.
std::vector<StreamRecord> AssembleScript(std::string_view text, ByteOrder order = kNativeOrder);
// Sends each message to `sink` as its line is read.
void AssembleScript(std::string_view text, MessageSink& sink, ByteOrder order = kNativeOrder);

// Writes messages as a script that assembles to the same bytes. The byte order starts as `order` and
// follows the stream's own byte-order and swap messages, as a receiver's swap flag would. A payload that
// the named form cannot give back exactly (a short or damaged payload, a type outside the catalogue) is
// written as `raw type=T payload=...`.
std::string DisassembleRecords(const std::vector<StreamRecord>& records, ByteOrder order = kNativeOrder);

// Bytes as the script writes them: a quoted string with escapes, or x"..." hex for binary data.
std::string QuoteBytes(std::string_view bytes);

} // namespace stream

} // namespace omf
