#pragma once
// Sessions that use the messages the built-in example session leaves out: composites and their repeat
// lists, copies, scratch labels, footnote markers, table options and column widths, sort messages,
// headings in headings, outline text, charts, answer trees, models, settings records, byte-order and
// swap messages, and a bootstrapped procedure whose tables are selected at the finish. The fuzz targets
// draw records from them, and the seed corpora hold them as recorded streams.
#include <omf/stream/MessageWriter.h>

namespace omf {

namespace fuzz {

void WriteExtraSession(omf::stream::MessageWriter& w);
// A bootstrapped procedure with one table and an empty heading: where selection and pruning meet.
void WriteBootstrapSession(omf::stream::MessageWriter& w);

} // namespace fuzz

} // namespace omf
