#pragma once
// Caller preconditions of the exported selection classes. They stay active in release builds and throw
// instead of aborting, so that a caller who breaks one learns which: the message is the broken condition.
#include <stdexcept>

namespace omf {

namespace selection::detail {

inline void Require(bool holds, const char* condition) {
  if (!holds) throw std::logic_error(condition);
}

} // namespace selection::detail

} // namespace omf
