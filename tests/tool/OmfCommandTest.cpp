// The omf command run as a user runs it: rendering, conversions, and one clear line with status 2 for
// a broken input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <nlohmann/json.hpp>

#include "RunOmf.h"
#include "bench/Crosstab.h"
#include "tools/omf/OutputFile.h"
#include <omf/stream/StreamFile.h>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = 0;
  std::string out, err;
};

// Runs a shell command, its output and errors caught.
Outcome RunShell(const std::string& shellCommand) {
  static int counter = 0;
  const fs::path dir = fs::temp_directory_path();
  const fs::path out = dir / ("omf-test-out-" + std::to_string(::getpid()) + "-" + std::to_string(counter));
  const fs::path err = dir / ("omf-test-err-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  const std::string command = shellCommand + " >" + out.string() + " 2>" + err.string();
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

// Runs omf with the arguments (a shell command line fragment).
Outcome Omf(const std::string& args) {
  return RunShell(std::string(OMF_BINARY) + " " + args);
}

fs::path Temp(const std::string& name) {
  return fs::temp_directory_path() / ("omf-test-" + std::to_string(::getpid()) + "-" + name);
}

void WriteFile(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

// The start of a script: procedure `name` with its title block.
std::string ProcedureStart(const std::string& name) {
  return "procedure-begin number=7 settings=\"procedure=" + name +
         "\\nlanguage=English\\n\"\nstring slot=1 text=\"" + name +
         "\"\ntext-block slot=1\ntext lines=1 text=\"" + name + "\"\n";
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

// A procedure holding table "Big", of `dimensions` dimensions of `categories` categories each, with one
// cell, and then a small table "After". The labels of the first dimension, which the table builder
// nests innermost, are padded to `labelBytes`.
std::string BigTableScript(int dimensions, int categories, std::size_t labelBytes = 0) {
  std::ostringstream s;
  s << ProcedureStart("Big")
    << "string slot=1 text=\"Big\"\nstring slot=2 text=\"Big\"\ntable-begin tcid=0 label=1 subtype=2\n";
  for (int d = 0; d < dimensions; ++d) {
    for (int k = 0; k < categories; ++k) {
      std::string label = "c";
      label += std::to_string(k);
      if (d == 0 && label.size() < labelBytes) label.resize(labelBytes, 'x');
      s << "string slot=1 text=\"" << label << "\"\nstring slot=2 text=\"D" << d
        << "\"\ncategory tcid=0 category=1 dimension=2\n";
    }
  }
  s << "string slot=1 text=\"Stat\"\ncell-dimension tcid=0 dimension=1\n"
       "number slot=3 value=41.25 format=F8.2\nstring slot=4 text=\"Mean\"\ncell tcid=0 cell=3 category=4\n"
       "table-end tcid=0\n"
       "string slot=1 text=\"After\"\nstring slot=2 text=\"After\"\ntable-begin tcid=1 label=1 subtype=2\n"
       "string slot=1 text=\"Statistics\"\ncell-dimension tcid=1 dimension=1\n"
       "number slot=3 value=17.5 format=F8.2\nstring slot=4 text=\"Median\"\ncell tcid=1 cell=3 category=4\n"
       "table-end tcid=1\nprocedure-end\n";
  return s.str();
}

// Assembles a script into a stream file.
fs::path Assembled(const std::string& name, const std::string& script) {
  const fs::path text = Temp(name + ".txt"), stream = Temp(name + ".omfs");
  WriteFile(text, script);
  const Outcome assembled = Omf("assemble " + text.string() + " -o " + stream.string());
  EXPECT_EQ(assembled.status, 0) << assembled.err;
  fs::remove(text);
  return stream;
}

// The built-in session in every format and in languages given by code is pinned below; here every way
// of naming a language, and values that name none: those fail with one line that lists the valid values.
TEST(OmfCommand, OutputLanguagesByKeywordNameOrCode) {
  const std::pair<const char*, const char*> named[] = {
      {"German", "Gliederung\n"},
      {"GERMAN", "Gliederung\n"},
      {"de", "Gliederung\n"},
      {"de_DE", "Gliederung\n"},
      {"de-at", "Gliederung\n"},
      {"zh_CN", "\xE5\xA4\xA7\xE7\xBA\xB2\n"},
      {"zh-cn", "\xE5\xA4\xA7\xE7\xBA\xB2\n"},
      {"zh", "\xE5\xA4\xA7\xE7\xBA\xB2\n"},
      {"Chinese", "\xE5\xA4\xA7\xE7\xBA\xB2\n"},
      {"zh_TW", "\xE5\xA4\xA7\xE7\xB6\xB1\n"},
      {"'Traditional Chinese'", "\xE5\xA4\xA7\xE7\xB6\xB1\n"},
      {"pt", "Estrutura\n"},
      {"pt-BR", "Estrutura\n"},
      {"Portuguese", "Estrutura\n"},
      {"en-GB", "Outline\n"},
  };
  for (const auto& [value, firstLine] : named) {
    SCOPED_TRACE(value);
    const Outcome run = Omf(std::string("render --lang ") + value);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), firstLine);
  }
  for (const char* value : {"DEFAULT", "Polynesian", "Koala", "Klingon", "ger", "zh-US", "de-", "\"\""}) {
    SCOPED_TRACE(value);
    const Outcome run = Omf(std::string("render --lang ") + value);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.err.rfind("omf: unknown output language", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("German (GERMAN, de)"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Brazilian Portuguese (BPORTUGU, pt-BR)"), std::string::npos) << run.err;
  }
}

// The built-in session's output in every format is pinned byte for byte: reshaping the code that plays
// and renders it must not change a character. A deliberate change of output updates these files.
TEST(OmfCommand, BuiltInSessionOutputIsUnchanged) {
  const struct {
    const char* args;
    const char* file;
  } cases[] = {{"render", "builtin.txt"},
               {"render --format json", "builtin.json"},
               {"render --format html", "builtin.html"},
               {"render --lang de", "builtin.de.txt"},
               {"render --lang ja", "builtin.ja.txt"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome run = Omf(c.args);
    ASSERT_EQ(run.status, 0) << run.err;
    std::ifstream in(fs::path(OMF_TEST_GOLDEN_DIR) / c.file, std::ios::binary);
    ASSERT_TRUE(in) << c.file;
    const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(run.out == expected) << "omf " << c.args << " differs from tests/data/golden/" << c.file;
  }
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

// Category counts multiply: grids beyond the place limit, or whose texts would write more than the byte
// limit, are shown as one notice while the rest of the document is rendered; the command then fails
// with one line naming the table. The JSON export writes only the stored cells and shows everything.
TEST(OmfCommand, TablesTooLargeToLayOutAreNoticesAndTheRestIsRendered) {
  const std::string places = "its grids would hold ",
                    bytes = "its grids would write more than 268435456 bytes";
  struct Case {
    const char* name;
    int dimensions, categories;
    std::size_t labelBytes;
    std::string reason;
  };
  const Case cases[] = {
      // 2^64 places wrap around to 0 in 64 bits.
      {"wrapping", 64, 2, 0, places + "more than 2^64 places; at most 10000000 are laid out"},
      // 1000^3 rows and 5 columns: one cell in 5 billion places.
      {"cube", 3, 1000, 0, places + "5000000000 places; at most 10000000 are laid out"},
      // 90,000 rows, within the place limit, each repeating a 3,200 byte label.
      {"long labels", 2, 300, 3200, bytes + "; at most that many are written"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path stream = Assembled("big", BigTableScript(c.dimensions, c.categories, c.labelBytes));
    const std::string error = "omf: table \"Big\" not shown: " + c.reason + "\n";
    const Outcome text = Omf("render " + stream.string());
    EXPECT_EQ(text.status, 2);
    EXPECT_EQ(text.err, error);
    EXPECT_NE(text.out.find("\nBig\n[Table not shown: " + c.reason + "]\n"), std::string::npos)
        << text.out.substr(0, 400);
    EXPECT_NE(text.out.find("| Median | 17.50 |"), std::string::npos) << "the table after it is rendered";

    const Outcome html = Omf("render --format html " + stream.string());
    EXPECT_EQ(html.status, 2);
    EXPECT_EQ(html.err, error);
    EXPECT_NE(html.out.find("<p class=\"notice\">Table not shown: " + c.reason + "</p>"), std::string::npos);
    EXPECT_NE(html.out.find("<th scope=\"row\">Median</th><td class=\"num\">17.50</td>"), std::string::npos);
    EXPECT_NE(html.out.find("</html>\n"), std::string::npos);

    const Outcome json = Omf("render --format json " + stream.string());
    ASSERT_EQ(json.status, 0) << json.err;
    const auto doc = nlohmann::json::parse(json.out);
    int tables = 0;
    for (const auto& part : omf_test::PartsOfType(doc, "table")) {
      if (part["title"] != "Big") continue;
      ++tables;
      EXPECT_EQ(part["dimensions"].size(), static_cast<std::size_t>(c.dimensions) + 1);
      ASSERT_EQ(part["cells"].size(), 1u);
      EXPECT_EQ(part["cells"][0]["text"], "41.25");
    }
    EXPECT_EQ(tables, 1);
    fs::remove(stream);
  }
}

// Running out of memory while rendering is reported in one line, with what was written before it kept,
// and never aborts. Both dimensions stand on the columns, so the grid is one row of 3.24 million columns
// whose labels are laid out as blocks: more than 150 MB, more than the command is given here. (The
// sanitizers reserve more address space than any such limit, so they skip this.)
TEST(OmfCommand, RunningOutOfMemoryIsOneLineAndTheOutputBeforeItStays) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "address space limits do not work under the address sanitizer";
#else
  std::ostringstream script;
  script
      << ProcedureStart("Big")
      << "string slot=1 text=\"Sparse\"\nstring slot=2 text=\"Big\"\ntable-begin tcid=0 label=1 subtype=2\n"
         "string slot=1 text=\"Columns\"\nplace tcid=0 dimension=1 position=1 axis=columns\n"
         "string slot=1 text=\"Rows\"\nplace tcid=0 dimension=1 position=2 axis=columns\n";
  for (int r = 0; r < 1800; ++r)
    script << "string slot=1 text=\"r" << r
           << "\"\nstring slot=2 text=\"Rows\"\ncategory tcid=0 category=1 dimension=2\n";
  script << "string slot=1 text=\"Columns\"\ncell-dimension tcid=0 dimension=1\n";
  for (int c = 0; c < 1800; ++c)
    script << "number slot=3 value=1 format=F8.2\nstring slot=4 text=\"c" << c
           << "\"\ncell tcid=0 cell=3 category=4\n";
  script << "table-end tcid=0\nprocedure-end\n";
  const fs::path stream = Assembled("sparse", script.str()), out = Temp("sparse.txt");
  const Outcome limited = RunShell("(ulimit -v 150000; " + std::string(OMF_BINARY) + " render " +
                                   stream.string() + " -o " + out.string() + ")");
  EXPECT_EQ(limited.status, 2);
  EXPECT_EQ(limited.err, "omf: out of memory\n");
  std::ifstream in(out, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(written.rfind("Outline\nOutput\n  Big\n    Big\n    Sparse\n", 0), 0u) << written.substr(0, 200);
  fs::remove(stream);
  fs::remove(out);
#endif
}

// A data directory of its own for one test: an empty one, or one holding some of the repository's
// languages (copied from the data directory the tests run with).
struct DataDirectory {
  explicit DataDirectory(const std::string& name, std::initializer_list<const char*> languages = {})
      : path(Temp(name)) {
    fs::remove_all(path);
    fs::create_directories(path / "lang");
    const char* source = std::getenv("OMF_DATA_DIR");
    for (const char* language : languages)
      fs::copy(fs::path(source) / "lang" / language, path / "lang" / language, fs::copy_options::recursive);
  }
  ~DataDirectory() { fs::remove_all(path); }
  // Runs omf with this directory as the data directory of the environment.
  Outcome Omf(const std::string& args) const {
    return RunShell("OMF_DATA_DIR=" + path.string() + " " + std::string(OMF_BINARY) + " " + args);
  }
  fs::path path;
};

// Texts that the back end sends by a short name read as English with no string table in reach: the
// English table is compiled in. The output is the same as with the repository's data.
TEST(OmfCommand, EnglishNeedsNoDataDirectory) {
  std::string script = ProcedureStart("T-Test") + R"(string slot=1 text="One-Sample Test"
string slot=2 text="One-Sample Test"
table-begin tcid=0 label=1 subtype=2
string slot=1 text="Statistics"
cell-dimension tcid=0 dimension=1
number slot=3 value=0.0123 format=F8.3
string slot=4 text="Sig(2-tailed)..."
cell tcid=0 cell=3 category=4
number slot=3 value=1.5 format=F8.3
string slot=4 text="Std. Error Diff..."
cell tcid=0 cell=3 category=4
table-end tcid=0
procedure-end
)";
  const fs::path stream = Assembled("english", script);
  const DataDirectory empty("empty-data");
  for (const std::string& lang : {std::string(), std::string(" --lang English")}) {
    SCOPED_TRACE(lang);
    const Outcome bare = empty.Omf("render" + lang + " " + stream.string());
    ASSERT_EQ(bare.status, 0) << bare.err;
    EXPECT_EQ(bare.err, "");
    EXPECT_NE(bare.out.find("| Sig. (2-tailed) "), std::string::npos) << bare.out;
    EXPECT_NE(bare.out.find("| Std. Error Difference "), std::string::npos) << bare.out;
    EXPECT_EQ(bare.out.find("Sig(2-tailed)"), std::string::npos) << bare.out;
    EXPECT_EQ(bare.out.find("Diff..."), std::string::npos) << bare.out;
    const Outcome full = Omf("render" + lang + " " + stream.string());
    ASSERT_EQ(full.status, 0) << full.err;
    EXPECT_EQ(bare.out, full.out);
  }
  fs::remove(stream);
}

// An output language whose table is missing, asked for by --lang or by the stream, leaves the output in
// the language in use with one warning line, and the stream goes on to its end.
TEST(OmfCommand, ALanguageWithoutItsTableIsAWarning) {
  const DataDirectory germanOnly("german-only", {"de"});
  const Outcome french = germanOnly.Omf("render --lang fr");
  ASSERT_EQ(french.status, 0) << french.err;
  EXPECT_EQ(french.out.rfind("Outline\nOutput\n  Log\n", 0), 0u) << french.out.substr(0, 100);
  EXPECT_EQ(french.err.rfind("omf: warning: output language French: ", 0), 0u) << french.err;
  EXPECT_EQ(std::count(french.err.begin(), french.err.end(), '\n'), 1) << french.err;

  const std::string before = "display key=\"OLANG\" value=\"German\"\n" + ProcedureStart("First") +
                             "string slot=1 text=\"Mean\"\ntext-block slot=1\ntext lines=1 text=\"x\"\n"
                             "procedure-end\n";
  const std::string after = "display key=\"OLANG\" value=\"Japanese\"\n" + ProcedureStart("Second") +
                            "string slot=1 text=\"Mean\"\ntext-block slot=1\ntext lines=1 text=\"y\"\n"
                            "procedure-end\n";
  const fs::path stream = Assembled("switch", before + after);
  const Outcome played = germanOnly.Omf("render " + stream.string());
  ASSERT_EQ(played.status, 0) << played.err;
  EXPECT_EQ(played.err.rfind("omf: warning: output language Japanese: ", 0), 0u) << played.err;
  EXPECT_EQ(std::count(played.err.begin(), played.err.end(), '\n'), 1) << played.err;
  // Both procedures are there, the second still in German.
  EXPECT_NE(played.out.find("\n    Mittelwert\n  Second\n    Second\n    Mittelwert\n"), std::string::npos)
      << played.out;
  fs::remove(stream);
}

// The document's own words (outline heading, document, log blocks, layer and chart labels) are in the
// language that --lang names, in text and HTML; the text output is pinned by the golden files.
TEST(OmfCommand, TheDocumentsOwnWordsAreTranslated) {
  const Outcome html = Omf("render --lang de --format html");
  ASSERT_EQ(html.status, 0) << html.err;
  for (const char* expected :
       {"<html lang=\"de\">", ">Ausgabe</a>", ">Protokoll</a>", "<p class=\"outline-head\">Gliederung</p>",
        "Ausgeblendete Teile zeigen", "\"Layer:\":\"Schicht:\"",
        "\"Reset the table\":\"Zur\xC3\xBC"
        "cksetzen\"",
        "<figcaption>Diagramm: Bar chart of Region by Gender</figcaption>"})
    EXPECT_NE(html.out.find(expected), std::string::npos) << expected;
  for (const char* english : {"Chart:", ">Output<", ">Log<", "Show hidden parts", ":\"Reset the table\""})
    EXPECT_EQ(html.out.find(english), std::string::npos) << english;
}

// Streams from standard input, the format from the output file's name, the version, the data directory
// after the subcommand, and the list of languages.
TEST(OmfCommand, CommandLineConveniences) {
  for (const char* args : {"--version", "render --version"}) {
    const Outcome version = Omf(args);
    EXPECT_EQ(version.status, 0) << args;
    EXPECT_EQ(version.out, std::string("omf ") + OMF_VERSION + "\n") << args;
  }

  const fs::path stream = Assembled("stdin", kScript);
  const Outcome fromFile = Omf("render " + stream.string());
  const Outcome fromInput = Omf("render - < " + stream.string());
  ASSERT_EQ(fromInput.status, 0) << fromInput.err;
  EXPECT_EQ(fromInput.out, fromFile.out);
  const Outcome piped = RunShell("cat " + stream.string() + " | " + OMF_BINARY + " render -");
  EXPECT_EQ(piped.out, fromFile.out);
  fs::remove(stream);

  const struct {
    const char* args;
    const char* file;
    const char* start;
  } formats[] = {
      {"", "out.json", "{\"omf\":"},
      {"", "out.HTML", "<!DOCTYPE html>"},
      {"", "out.htm", "<!DOCTYPE html>"},
      {"", "out.txt", "Outline\n"},
      {"", "out.data", "Outline\n"},
      {"", "out", "Outline\n"},
      {"--format text", "out.json", "Outline\n"},
      {"--format json", "out.html", "{\"omf\":"},
  };
  for (const auto& f : formats) {
    SCOPED_TRACE(std::string(f.args) + " " + f.file);
    const fs::path out = Temp(f.file);
    const Outcome run = Omf(std::string("render ") + f.args + " -o " + out.string());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(out).rfind(f.start, 0), 0u);
    fs::remove(out);
  }

  const DataDirectory empty("no-tables");
  const std::string repository = std::getenv("OMF_DATA_DIR");
  for (const std::string& args :
       {"--data-dir " + repository + " render --lang de", "render --data-dir " + repository + " --lang de",
        "render --lang de --data-dir " + repository}) {
    const Outcome run = empty.Omf(args);
    EXPECT_EQ(run.status, 0) << args << ": " << run.err;
    EXPECT_EQ(run.out.rfind("Gliederung\nAusgabe\n", 0), 0u) << args;
  }

  const Outcome all = Omf("languages");
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 13) << all.out;
  EXPECT_NE(all.out.find("\nGERMAN    de     German                found\n"), std::string::npos) << all.out;
  EXPECT_NE(all.out.find("\nTCHINESE  zh-TW  Traditional Chinese   found\n"), std::string::npos) << all.out;
  const DataDirectory germanOnly("languages", {"de"});
  const Outcome some = germanOnly.Omf("languages");
  ASSERT_EQ(some.status, 0) << some.err;
  EXPECT_NE(some.out.find("\nGERMAN    de     German                found\n"), std::string::npos) << some.out;
  EXPECT_NE(some.out.find("\nENGLISH   en     English               built in\n"), std::string::npos)
      << some.out;
  EXPECT_NE(some.out.find("\nFRENCH    fr     French                missing: "), std::string::npos)
      << some.out;
}

// Output files are written over in place and cut to length: an older, longer file keeps nothing of
// its own, a document of many blocks arrives whole and in order, and a failed write is one line.
TEST(OmfCommand, OutputFilesHoldExactlyTheDocument) {
  const Outcome expected = Omf("render --format json");
  ASSERT_EQ(expected.status, 0) << expected.err;
  const fs::path out = Temp("over.json");
  {
    std::ofstream older(out, std::ios::binary);
    older << std::string(3 * expected.out.size() + 12345, 'x');
  }
  ASSERT_EQ(Omf("render --format json -o " + out.string()).status, 0);
  EXPECT_TRUE(ReadFile(out) == expected.out);
  fs::remove(out);

  // A crosstab whose JSON export takes many of the writer's blocks.
  const fs::path stream = Temp("big.omfs"), big = Temp("big.json");
  {
    omf::stream::StreamFileWriter writer(stream.string());
    omf::bench::WriteCrosstab(writer, 400); // 11 MB: the reader lets windows of the mapped file go
    writer.Flush();
  }
  const Outcome piped = Omf("render --quiet --format json " + stream.string());
  ASSERT_GT(piped.out.size(), 2 * omf::tool::OutputFile::kBlockBytes);
  ASSERT_EQ(Omf("render --quiet --format json -o " + big.string() + " " + stream.string()).status, 0);
  EXPECT_TRUE(ReadFile(big) == piped.out);
  fs::remove(stream);
  fs::remove(big);

  if (fs::exists("/dev/full")) {
    const Outcome full = Omf("render -o /dev/full");
    EXPECT_EQ(full.status, 2);
    EXPECT_EQ(full.err, "omf: /dev/full: cannot write: " + std::string(std::strerror(ENOSPC)) + "\n");
  }
}

// Inputs that are no readable file fail with one line and write nothing.
TEST(OmfCommand, UnreadableInputsFailWithOneLine) {
  const fs::path dir = Temp("a-directory"), out = Temp("not-written");
  fs::create_directories(dir);
  fs::remove(out);
  const std::string d = dir.string(), o = out.string();
  for (const std::string& args :
       {"assemble " + d + " -o " + o, "disassemble " + d + " -o " + o, "select --compile " + d + " -o " + o,
        "select --show " + d + " -o " + o, "assemble " + Temp("missing.txt").string() + " -o " + o}) {
    SCOPED_TRACE(args);
    const Outcome run = Omf(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.err.rfind("omf: ", 0), 0u) << run.err;
    EXPECT_FALSE(fs::exists(out));
  }
  const Outcome assembled = Omf("assemble " + d + " -o " + o);
  EXPECT_EQ(assembled.err, "omf: " + d + ": is a directory, not a file\n");
  for (const std::string& args : {"render " + d, "render --select " + d}) {
    const Outcome run = Omf(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_EQ(run.err, "omf: " + d + ": is a directory, not a file\n") << args;
  }
  fs::remove_all(dir);
}

// The built-in session written out as a stream plays as the built-in session does, and written as a
// script assembles back to the same stream.
TEST(OmfCommand, TheExampleSessionWrittenOut) {
  const fs::path stream = Temp("example.omfs"), script = Temp("example.txt"), again = Temp("again.omfs");
  ASSERT_EQ(Omf("example --format omfs -o " + stream.string()).status, 0);
  ASSERT_EQ(Omf("example --format script -o " + script.string()).status, 0);
  EXPECT_EQ(ReadFile(stream).rfind("OMFS", 0), 0u);
  EXPECT_NE(ReadFile(script).find("procedure-begin "), std::string::npos);
  ASSERT_EQ(Omf("assemble " + script.string() + " -o " + again.string()).status, 0);
  EXPECT_TRUE(ReadFile(again) == ReadFile(stream)) << "the script assembles to another stream";
  const Outcome builtin = Omf("render"), played = Omf("render " + stream.string());
  ASSERT_EQ(played.status, 0) << played.err;
  EXPECT_TRUE(played.out == builtin.out);
  // Without --format the name decides; to standard output the script is the default.
  fs::remove(stream);
  ASSERT_EQ(Omf("example -o " + stream.string()).status, 0);
  EXPECT_TRUE(ReadFile(stream) == ReadFile(again));
  const Outcome listed = Omf("example");
  EXPECT_TRUE(listed.out == ReadFile(script));
  EXPECT_EQ(Omf("example --format xml").status, 2);
  for (const fs::path& p : {stream, script, again})
    fs::remove(p);
}

// A procedure whose only part is its title shows nothing: omf says how many there were, unless --quiet.
TEST(OmfCommand, ProceduresWithoutOutputAreCounted) {
  // The table comes first, so it is taken as the title: nothing is left to show.
  std::string untitled = kScript;
  untitled.erase(
      untitled.find("string slot=1 text=\"Means\"\ntext-block"),
      std::string("string slot=1 text=\"Means\"\ntext-block slot=1\ntext lines=1 text=\"Means\"\n").size());
  const fs::path lost = Assembled("untitled", untitled), kept = Assembled("titled", kScript);
  const struct {
    std::string args, err;
  } cases[] = {
      {"render " + lost.string(),
       "omf: 1 procedure produced no output (a procedure's first part is its title)\n"},
      {"render " + lost.string() + " " + kept.string() + " " + lost.string(),
       "omf: 2 procedures produced no output (a procedure's first part is its title)\n"},
      {"render --quiet " + lost.string(), ""},
      {"render -q --format json " + lost.string(), ""},
      {"render " + kept.string(), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome run = Omf(c.args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, c.err);
  }
  fs::remove(lost);
  fs::remove(kept);
}

} // namespace
