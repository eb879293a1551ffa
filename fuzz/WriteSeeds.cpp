// Writes the recorded streams of the seed corpora: the built-in example session, the extra sessions, and
// the bootstrapped procedure under a request that picks the last heading and table.
// Usage: fuzz_seeds DIRECTORY
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "examples/BuiltinSession.h"
#include "fuzz/ExtraSession.h"
#include "fuzz/Records.h"

using namespace omf;

namespace {

using omf::fuzz::Record;
using omf::fuzz::RecordsOf;

Record Requests(const char* text) {
  return {omf::fuzz::kRequestsRecord, std::vector<std::uint8_t>(text, text + std::strlen(text))};
}

bool Save(const std::string& path, const std::vector<Record>& records) {
  const std::vector<std::uint8_t> bytes = omf::fuzz::StreamFileBytes(records);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds DIRECTORY\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::vector<Record> last = RecordsOf(&omf::fuzz::WriteBootstrapSession);
  last.insert(last.begin(), Requests("select headings tables if instances last end"));
  std::vector<Record> bare = RecordsOf(&omf::fuzz::WriteExtraSession);
  bare.insert(bare.begin(), Record{omf::fuzz::kBareTreeRecord, {}});
  const bool ok = Save(dir + "/builtin.omfs", RecordsOf(&omf::examples::WriteBuiltinSession)) &&
                  Save(dir + "/extra.omfs", RecordsOf(&omf::fuzz::WriteExtraSession)) &&
                  Save(dir + "/bootstrap-last.omfs", last) && Save(dir + "/extra-bare-tree.omfs", bare);
  if (!ok) std::fprintf(stderr, "fuzz_seeds: cannot write to %s\n", dir.c_str());
  return ok ? 0 : 2;
}
