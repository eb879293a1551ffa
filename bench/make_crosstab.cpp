// Writes the stream of one N x N "Crosstabs" table (bench/Crosstab.h) to a file, for timing the omf command
// on it: make_crosstab N -o FILE.omfs
#include <charconv>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include <omf/stream/StreamFile.h>

#include "Crosstab.h"

namespace {

// 10000 x 10000 cells would be a 7 GB stream: more than a benchmark needs.
constexpr int kMaxSide = 5000;

int Usage() {
  std::fprintf(stderr, "usage: make_crosstab N -o FILE.omfs   (an N x N crosstab, 1 <= N <= %d)\n", kMaxSide);
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 4 || std::string_view(argv[2]) != "-o") return Usage();
  const std::string_view side = argv[1];
  int n = 0;
  const auto [end, error] = std::from_chars(side.data(), side.data() + side.size(), n);
  if (error != std::errc() || end != side.data() + side.size() || n < 1 || n > kMaxSide) return Usage();
  try {
    omf::stream::StreamFileWriter writer{std::string(argv[3])};
    omf::bench::WriteCrosstab(writer, n);
    writer.Flush();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_crosstab: %s\n", e.what());
    return 2;
  }
  return 0;
}
