// Fuzz target: selection request files in both forms, with round trips.
//
// - Readable text that compiles: compiling it, showing the result and compiling that again gives the same
//   binary file, and the binary reader reads the compiled file back to the same bytes.
// - A binary file (starting with "OMSR") that the reader accepts: it shows as text that compiles back to
//   the binary the accepted requests write, and that binary reads back to itself.
//
// Refusals (RequestSyntaxError, OMSStreamError, and std::invalid_argument from the writer for more
// requests than a file holds) are the documented answers to bad input; any other exception, and any
// round trip that changes the bytes, is a finding.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include <omf/selection/OMSObjectSelector.h>
#include <omf/selection/RequestFile.h>
#include <omf/selection/RequestText.h>

using namespace omf;

namespace {

using omf::fuzz::Finding;
using Requests = std::vector<OMSObjectSelector>;

std::string Binary(const Requests& requests) {
  std::ostringstream out;
  omf::selection::WriteBinaryRequests(out, requests);
  return out.str();
}

Requests ReadBinary(const std::string& bytes) {
  std::istringstream in(bytes);
  return omf::selection::ReadBinaryRequests(in);
}

std::string Printable(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes.substr(0, 400)) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      static const char hex[] = "0123456789abcdef";
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// Where two byte strings part, for telling findings apart.
std::string FirstDifference(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i])
    ++i;
  return " (from byte " + std::to_string(i) + ": \"" + Printable(std::string_view(a).substr(i, 24)) +
         "\" against \"" + Printable(std::string_view(b).substr(i, 24)) + "\")";
}

// The checks that hold for requests that one of the two forms accepted.
void RoundTrip(const Requests& requests, const char* from) {
  std::string compiled;
  try {
    compiled = Binary(requests);
  } catch (const std::invalid_argument&) {
    return; // more requests than a file can hold
  }
  const std::string shown = omf::selection::FormatRequestText(requests);
  Requests again;
  try {
    again = omf::selection::ParseRequestText(shown);
  } catch (const omf::selection::RequestSyntaxError& e) {
    Finding(std::string(from) + " requests show as text that does not compile: " + e.what() +
            "; text: " + Printable(shown));
  }
  const std::string recompiled = Binary(again);
  if (recompiled != compiled)
    Finding(std::string(from) + " requests, shown and compiled again, give other bytes" +
            FirstDifference(compiled, recompiled) + "; text: " + Printable(shown));
  Requests read;
  try {
    read = ReadBinary(compiled);
  } catch (const OMSStreamError& e) {
    Finding(std::string(from) + " requests compile to a file the binary reader refuses: " + e.what());
  }
  if (Binary(read) != compiled)
    Finding(std::string(from) + " requests compile to a file that reads back to other requests");
  if (omf::selection::FormatRequestText(again) != shown)
    Finding(std::string(from) + " requests show differently after a round trip; text: " + Printable(shown));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  Requests requests;
  const bool binary = omf::selection::IsBinaryRequestData(input);
  try {
    requests = binary ? ReadBinary(input) : omf::selection::ParseRequestText(input);
  } catch (const omf::selection::RequestSyntaxError&) {
    return 0;
  } catch (const OMSStreamError&) {
    return 0;
  } catch (const std::exception& e) {
    Finding(std::string(binary ? "the binary reader" : "the request parser") + " let through " +
            omf::fuzz::Describe(e));
  }
  RoundTrip(requests, binary ? "binary" : "readable");
  return 0;
}
