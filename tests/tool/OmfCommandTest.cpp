// The omf command run as a user runs it: rendering, conversions, and one clear line with status 2 for
// a broken input.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = 0;
  std::string out, err;
};

// Runs omf with the arguments (a shell command line fragment).
Outcome Omf(const std::string& args) {
  static int counter = 0;
  const fs::path dir = fs::temp_directory_path();
  const fs::path out = dir / ("omf-test-out-" + std::to_string(::getpid()) + "-" + std::to_string(counter));
  const fs::path err = dir / ("omf-test-err-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  const std::string command =
      std::string(OMF_BINARY) + " " + args + " >" + out.string() + " 2>" + err.string();
  const int raw = std::system(command.c_str());
  Outcome r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  const auto slurp = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  };
  r.out = slurp(out);
  r.err = slurp(err);
  fs::remove(out);
  fs::remove(err);
  return r;
}

fs::path Temp(const std::string& name) {
  return fs::temp_directory_path() / ("omf-test-" + std::to_string(::getpid()) + "-" + name);
}

void WriteFile(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

const char* kScript = R"(# one table of one cell
procedure-begin number=7 settings="procedure=Means\nlanguage=English\n"
string slot=1 text="Means"
text-block slot=1
text lines=1 text="Means"
string slot=1 text="Report"
string slot=2 text="Report"
table-begin tcid=0 label=1 subtype=2
string slot=1 text="Statistics"
cell-dimension tcid=0 dimension=1
number slot=3 value=41.25 format=F8.2
string slot=4 text="Mean"
cell tcid=0 cell=3 category=4
table-end tcid=0
procedure-end
)";

TEST(OmfCommand, RendersTheBuiltInSessionAsTextAndJson) {
  const Outcome text = Omf("render");
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Frequencies"), std::string::npos);
  EXPECT_NE(text.out.find("Valid Percent"), std::string::npos);
  const Outcome json = Omf("render --format json");
  ASSERT_EQ(json.status, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["omf"], 1);
  bool table = false;
  for (const auto& part : doc["parts"])
    table = table || part["type"] == "table";
  EXPECT_TRUE(table);
  const Outcome german = Omf("render --lang German");
  EXPECT_EQ(german.status, 0) << german.err;
  EXPECT_NE(german.out.find("Mittelwert"), std::string::npos);
  const Outcome unknown = Omf("render --lang Klingon");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("omf: unknown output language"), std::string::npos) << unknown.err;
}

TEST(OmfCommand, AssemblesPlaysAndDisassemblesStreams) {
  const fs::path script = Temp("s.txt"), stream = Temp("s.omfs"), again = Temp("again.omfs");
  WriteFile(script, kScript);
  const Outcome assembled = Omf("assemble " + script.string() + " -o " + stream.string());
  ASSERT_EQ(assembled.status, 0) << assembled.err;
  const Outcome rendered = Omf("render " + stream.string());
  EXPECT_EQ(rendered.status, 0) << rendered.err;
  EXPECT_NE(rendered.out.find("41.25"), std::string::npos) << rendered.out;
  const Outcome listing = Omf("disassemble " + stream.string());
  ASSERT_EQ(listing.status, 0) << listing.err;
  WriteFile(script, listing.out);
  ASSERT_EQ(Omf("assemble " + script.string() + " -o " + again.string()).status, 0);
  std::ifstream a(stream, std::ios::binary), b(again, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(a), {}),
            std::string(std::istreambuf_iterator<char>(b), {}));
  for (const fs::path& p : {script, stream, again})
    fs::remove(p);
}

TEST(OmfCommand, BrokenStreamsFailWithOneLine) {
  const fs::path script = Temp("b.txt"), stream = Temp("b.omfs"), cut = Temp("cut.omfs");
  // Record 12 takes a cell from an empty slot.
  std::string broken = kScript;
  broken.replace(broken.find("number slot=3"), 13, "number slot=8");
  WriteFile(script, broken);
  ASSERT_EQ(Omf("assemble " + script.string() + " -o " + stream.string()).status, 0);
  const Outcome bad = Omf("render " + stream.string());
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << bad.err;
  EXPECT_NE(bad.err.find("omf: " + stream.string() + ": record 12 (type 273) at byte "), std::string::npos)
      << bad.err;
  EXPECT_NE(bad.err.find("slot 3 is empty"), std::string::npos) << bad.err;
  // A valid file cut inside its last record.
  WriteFile(script, kScript);
  ASSERT_EQ(Omf("assemble " + script.string() + " -o " + stream.string()).status, 0);
  std::ifstream in(stream, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  WriteFile(cut, bytes.substr(0, bytes.size() - 3));
  const Outcome truncated = Omf("render " + cut.string());
  EXPECT_EQ(truncated.status, 2);
  EXPECT_NE(truncated.err.find("omf: " + cut.string() + ": record 14"), std::string::npos) << truncated.err;
  const Outcome missing = Omf("render " + Temp("none.omfs").string());
  EXPECT_EQ(missing.status, 2);
  for (const fs::path& p : {script, stream, cut})
    fs::remove(p);
}

TEST(OmfCommand, SelectionRequestFilesBothWays) {
  const fs::path text = Temp("r.txt"), binary = Temp("r.omsr"), again = Temp("r2.txt");
  WriteFile(text, "select tables\n  if subtypes \"Statistics\"\nend\n");
  ASSERT_EQ(Omf("select --compile " + text.string() + " -o " + binary.string()).status, 0);
  const Outcome shown = Omf("select --show " + binary.string());
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("STATISTICS"), std::string::npos) << shown.out;
  const Outcome selected = Omf("render --select " + binary.string());
  ASSERT_EQ(selected.status, 0) << selected.err;
  EXPECT_NE(selected.out.find("Statistics"), std::string::npos);
  EXPECT_EQ(selected.out.find("Cumulative Percent"), std::string::npos)
      << "frequency tables are not selected";
  WriteFile(again, "select tables\n  if subtypes\nend\n");
  const Outcome bad = Omf("render --select " + again.string());
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find(again.string()), std::string::npos) << bad.err;
  for (const fs::path& p : {text, binary, again})
    fs::remove(p);
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(OmfCommand, RequestFilesKeepTheirBytesAndFailWithoutLeavingAFile) {
  const fs::path text = Temp("bytes.txt"), binary = Temp("bytes.omsr"), again = Temp("again.omsr");
  // A byte given as an escape stays that byte in the binary form and in the written form.
  WriteFile(text, "select tables if commands \"Caf\\xe9\" columns dimnames \"Stat\" \"Xtat\" end\n");
  const Outcome compiled = Omf("select --compile " + text.string() + " -o " + binary.string());
  ASSERT_EQ(compiled.status, 0) << compiled.err;
  const std::string bytes = ReadFile(binary);
  EXPECT_NE(bytes.find(std::string("CAF\xE9\0", 5)), std::string::npos);
  const Outcome shown = Omf("select --show " + binary.string() + " -o " + text.string());
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(ReadFile(text).find("commands \"CAF\\xE9\""), std::string::npos) << ReadFile(text);
  ASSERT_EQ(Omf("select --compile " + text.string() + " -o " + again.string()).status, 0);
  EXPECT_EQ(ReadFile(again), bytes);

  // A binary file naming one dimension twice has no written form: it is refused.
  std::string twice = bytes;
  twice.replace(twice.find("Xtat"), 4, "STAT");
  WriteFile(again, twice);
  const Outcome refused = Omf("select --show " + again.string());
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
  EXPECT_NE(refused.err.find("columns, dimension name 2 at byte "), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("the name is given twice"), std::string::npos) << refused.err;

  // Requests that fail to compile leave the output file as it was, and make none that was not there.
  for (const std::string& bad : {std::string("select tables columns R") + std::string(1100, '0') + "1 end",
                                 std::string("select tables chartsize 1.") + std::string(1100, '0') + " end",
                                 std::string("select tables tag \"x\" tag \"y\" end")}) {
    WriteFile(text, bad);
    const Outcome failed = Omf("select --compile " + text.string() + " -o " + binary.string());
    EXPECT_EQ(failed.status, 2);
    EXPECT_EQ(std::count(failed.err.begin(), failed.err.end(), '\n'), 1) << failed.err;
    EXPECT_EQ(ReadFile(binary), bytes);
    fs::remove(again);
    EXPECT_EQ(Omf("select --compile " + text.string() + " -o " + again.string()).status, 2);
    EXPECT_FALSE(fs::exists(again));
  }
  for (const fs::path& p : {text, binary, again})
    fs::remove(p);
}

} // namespace
