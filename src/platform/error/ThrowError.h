#pragma once
// Errors that the caller of the factory must see: a message file name, a message number and the text
// that the message file gives for the number.
#include <stdexcept>
#include <string>

namespace omf {

class OmError : public std::runtime_error {
public:
  OmError(std::string file, int number, const std::string& text)
      : std::runtime_error(text), _file(std::move(file)), _number(number) {}
  const std::string& File() const { return _file; }
  int Number() const { return _number; }

private:
  std::string _file;
  int _number;
};

namespace ThrowError {
// Throws an OmError for message `number` of the message file `file` (looked up in the data directory).
[[noreturn]] void Simple(const std::string& file, int number);
// The text of a message: "<number> <text>" lines of the file; a missing file or number gives a text
// that says so.
std::string MessageText(const std::string& file, int number);
} // namespace ThrowError

} // namespace omf
