#include <omf/platform/message/MessageHandler.h>

#include <cstring>

#include <omf/platform/settings/Iocvset.h>

namespace omf {

namespace {
std::uint32_t ReadU32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
void PutU32(std::vector<unsigned char>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
} // namespace

bool MessageHandler::receiveMessage(const void* data, std::size_t length) {
  if (length == 0 && !_started) {
    // A whole message holding one empty part.
    _body = EncodeMessageBody({MessagePart{}});
    _total = static_cast<std::uint32_t>(_body.size());
    _received = _body.size();
    _started = _complete = true;
    return true;
  }
  if (_complete) throw MessageProtocolError("a fragment arrived after the message was complete");
  if (length < 8)
    throw MessageProtocolError("fragment of " + std::to_string(length) +
                               " bytes is shorter than its 8-byte header");
  const auto* bytes = static_cast<const unsigned char*>(data);
  const std::uint32_t total = ReadU32(bytes);
  const std::uint32_t offset = ReadU32(bytes + 4);
  const std::size_t n = length - 8;
  if (!_started) {
    if (total > kMaxBody)
      throw MessageProtocolError("announced size " + std::to_string(total) + " is larger than the " +
                                 std::to_string(kMaxBody) + " bytes a message may have");
    // The body grows with the bytes that arrive: the announced size is only a claim until they do.
    _total = total;
    _started = true;
  } else if (total != _total) {
    throw MessageProtocolError("fragment announces size " + std::to_string(total) + " but the message has " +
                               std::to_string(_total));
  }
  if (offset != _received)
    throw MessageProtocolError("fragment at offset " + std::to_string(offset) +
                               " arrived out of order (expected " + std::to_string(_received) + ")");
  if (n > _total - _received)
    throw MessageProtocolError("fragment runs past the announced size " + std::to_string(_total));
  _body.insert(_body.end(), bytes + 8, bytes + 8 + n);
  _received += n;
  _complete = _received == _total;
  return _complete;
}

bool MessageHandler::getNextPart(std::int32_t& kind, std::uint8_t& flag, std::int32_t& number,
                                 std::string& text) {
  if (!_complete || _read >= _body.size()) return false;
  if (_body.size() - _read < 13)
    throw MessageProtocolError("part header at byte " + std::to_string(_read) + " is cut short");
  const unsigned char* p = _body.data() + _read;
  kind = static_cast<std::int32_t>(ReadU32(p));
  flag = p[4];
  number = static_cast<std::int32_t>(ReadU32(p + 5));
  const std::uint32_t m = ReadU32(p + 9);
  if (m > _body.size() - _read - 13)
    throw MessageProtocolError("part text of " + std::to_string(m) + " bytes at byte " +
                               std::to_string(_read) + " runs past the end of the message");
  text.assign(reinterpret_cast<const char*>(p + 13), m);
  _read += 13 + m;
  return true;
}

std::vector<unsigned char> EncodeMessageBody(const std::vector<MessagePart>& parts) {
  std::vector<unsigned char> out;
  for (const MessagePart& part : parts) {
    PutU32(out, static_cast<std::uint32_t>(part.kind));
    out.push_back(part.flag);
    PutU32(out, static_cast<std::uint32_t>(part.number));
    PutU32(out, static_cast<std::uint32_t>(part.text.size()));
    out.insert(out.end(), part.text.begin(), part.text.end());
  }
  return out;
}

std::vector<std::vector<unsigned char>> SplitIntoFragments(const std::vector<unsigned char>& body,
                                                           std::size_t fragmentBytes) {
  std::vector<std::vector<unsigned char>> out;
  if (fragmentBytes == 0) fragmentBytes = body.size() ? body.size() : 1;
  std::size_t at = 0;
  do {
    const std::size_t n = std::min(fragmentBytes, body.size() - at);
    std::vector<unsigned char> f;
    PutU32(f, static_cast<std::uint32_t>(body.size()));
    PutU32(f, static_cast<std::uint32_t>(at));
    f.insert(f.end(), body.begin() + static_cast<std::ptrdiff_t>(at),
             body.begin() + static_cast<std::ptrdiff_t>(at + n));
    out.push_back(std::move(f));
    at += n;
  } while (at < body.size());
  return out;
}

void MiOutputSettings(bool* showOriginal, bool* showImputations, bool* showPooled, bool* showDiagnostics) {
  const auto flag = [](const char* name) {
    const auto v = omf::platform::SettingValue(name);
    return !v || *v != 0;
  };
  if (showOriginal) *showOriginal = flag("MIORIGINAL");
  if (showImputations) *showImputations = flag("MIIMPUTATIONS");
  if (showPooled) *showPooled = flag("MIPOOLED");
  if (showDiagnostics) *showDiagnostics = flag("MIDIAGNOSTICS");
}

} // namespace omf
