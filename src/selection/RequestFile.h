#pragma once
// Selection request files. The binary form is "OMSR", one byte giving the byte order of what follows
// (0 little-endian, 1 big-endian), three zero bytes, a 4-byte request count in that order, then the
// requests in their stream format. The readable form is the request syntax of RequestText.h. A file is
// binary exactly when it starts with "OMSR".
#include <omf/selection/OMSObjectSelector.h>
#include <omf/selection/OMSStreamError.h>
#include <omf/selection/RequestText.h>

#include <filesystem>
#include <iosfwd>
#include <string_view>
#include <vector>

namespace omf {

namespace selection {

// Writes the binary form in this machine's byte order. Requests that a reader would not take back
// (texts too long or holding a NUL, columns whose form disagrees with their lists, a chart size that is
// not finite) throw std::invalid_argument.
void WriteBinaryRequests(std::ostream& os, const std::vector<OMSObjectSelector>& requests);
// The same into a file, which is left as it was (or not made) when the requests or the writing fail.
void WriteBinaryRequestFile(const std::filesystem::path& path,
                            const std::vector<OMSObjectSelector>& requests);

// Reads the binary form written on a machine of either byte order; the whole input must be the file.
// Errors: OMSStreamError naming the request, the field and the byte. Every request read has a readable
// form: writing the requests as text and compiling that text gives the same bytes again (for a file in
// this machine's byte order; one of the other order comes back in this machine's order).
std::vector<OMSObjectSelector> ReadBinaryRequests(std::istream& is);

bool IsBinaryRequestData(std::string_view bytes);

// Reads a request file of either form. Errors: OMSStreamError (binary form), RequestSyntaxError (readable
// form), std::runtime_error when the file cannot be read. Messages do not name the file.
std::vector<OMSObjectSelector> ReadRequestFile(const std::filesystem::path& path);

} // namespace selection

} // namespace omf
