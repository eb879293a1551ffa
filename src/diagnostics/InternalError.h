#pragma once
// A broken invariant of the factory itself: a state that no message stream can bring about, so a bug.
// It is kept apart from ProtocolError (a malformed stream) and passes through OmFactory::Message
// unchanged. The checks stay in release builds because they are cheap and what follows a broken one
// would be undefined.
#include <stdexcept>

namespace omf {

class InternalError : public std::logic_error {
public:
  using std::logic_error::logic_error;
};

namespace detail {
// The text names the condition that should have held.
inline void Invariant(bool holds, const char* condition) {
  if (!holds) throw InternalError(condition);
}
} // namespace detail

} // namespace omf
