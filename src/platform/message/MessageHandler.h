#pragma once
// Assembles multipart messages sent as fragments, and reads the parts of the assembled body.
// Fragment: u32 total size T of the body, u32 offset of this fragment's bytes, then the bytes.
// Body: parts of i32 kind, u8 flag, i32 number, u32 text length m, m text bytes (little-endian).
// A fragment of length 0 is a whole message holding one empty part.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace omf {

class MessageProtocolError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class MessageHandler {
public:
  // Largest body accepted; a fragment announcing more is a protocol error. The body grows only with
  // the bytes that arrive, so the announced size costs nothing until they do.
  static constexpr std::uint32_t kMaxBody = 256u * 1024u * 1024u;

  // Takes one fragment; true when the body is complete. Throws MessageProtocolError for a fragment
  // that is too short, out of order, runs past the announced size or disagrees with it.
  bool receiveMessage(const void* data, std::size_t length);
  // The next part of a complete body; false after the last. Throws MessageProtocolError when a part
  // runs past the end of the body.
  bool getNextPart(std::int32_t& kind, std::uint8_t& flag, std::int32_t& number, std::string& text);
  bool Complete() const { return _complete; }

private:
  std::vector<unsigned char> _body;
  std::uint32_t _total = 0;
  std::size_t _received = 0;
  std::size_t _read = 0;
  bool _started = false;
  bool _complete = false;
};

// Builds a body from parts, and splits a body into fragments: for senders and tests.
struct MessagePart {
  std::int32_t kind = 0;
  std::uint8_t flag = 0;
  std::int32_t number = 0;
  std::string text;
};
std::vector<unsigned char> EncodeMessageBody(const std::vector<MessagePart>& parts);
std::vector<std::vector<unsigned char>> SplitIntoFragments(const std::vector<unsigned char>& body,
                                                           std::size_t fragmentBytes);

// The multiple-imputation display flags: whether to show the original data, the imputations, the
// pooled results and the pooling diagnostics. Read from the settings MIORIGINAL, MIIMPUTATIONS,
// MIPOOLED and MIDIAGNOSTICS: a value other than 0 is true, a setting never made reads as true.
void MiOutputSettings(bool* showOriginal, bool* showImputations, bool* showPooled, bool* showDiagnostics);

} // namespace omf
