#pragma once

namespace omf {

// The outcome of a call into the statistics platform libraries, returned by value: OK, or a library's
// error code (never 0). The library that returned it turns the code into a text.

namespace MCCommon {

class MCStatus {
public:
  constexpr MCStatus() noexcept = default;
  // Code 0 is success; any other code makes the status not OK.
  constexpr explicit MCStatus(long errorCode) noexcept : _errorCode(errorCode) {}

  constexpr bool IsOK() const noexcept { return _errorCode == 0; }
  constexpr long GetErrorCode() const noexcept { return _errorCode; }

  friend constexpr bool operator==(const MCStatus&, const MCStatus&) noexcept = default;

private:
  long _errorCode = 0;
};

} // namespace MCCommon

} // namespace omf
