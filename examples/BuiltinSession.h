#pragma once
// The session that `omf render` plays when it is given no stream: what a back end sends for a short
// analysis, written with MessageWriter so that it reads as the back end's side of the protocol.
#include <omf/stream/MessageWriter.h>

namespace omf {

namespace examples {

// Writes the whole session: log lines, a page title and the procedures.
void WriteBuiltinSession(omf::stream::MessageWriter& w);

} // namespace examples

} // namespace omf
