// omf export run as a user runs it: the forms it writes, the columns clause of a request file, and the
// one-line errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status;
  std::string out, err;
};

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ExportCommand : public ::testing::Test {
protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("omf-export-test-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Runs omf with the arguments, after `environment` (NAME=VALUE words) when given.
  Outcome Omf(const std::string& args, const std::string& environment = "") const {
    const std::string command = (environment.empty() ? "" : "env " + environment + " ") +
                                std::string(OMF_BINARY) + " " + args + " >" + (dir / "stdout").string() +
                                " 2>" + (dir / "stderr").string();
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(dir / "stdout"), Read(dir / "stderr")};
  }
  fs::path Write(const std::string& name, const std::string& text) const {
    std::ofstream(dir / name, std::ios::binary) << text;
    return dir / name;
  }

  fs::path dir;
};

TEST_F(ExportCommand, TheColumnsClauseOfTheSelectingRequestShapesItsTables) {
  const std::string crosstab =
      "Age group,Gender,North,South\r\nUnder 40,Male,7,17\r\nUnder 40,Female,12,9\r\n"
      "40 and over,Male,14,11\r\n40 and over,Female,19,16\r\n";
  for (const std::string& columns : {std::string("columns R1"), std::string("columns dimnames \"Region\"")}) {
    SCOPED_TRACE(columns);
    const fs::path requests =
        Write("requests.txt", "select tables\n  if subtypes \"Crosstabulation\"\n  " + columns + "\nend\n");
    const Outcome run =
        Omf("export --select " + requests.string() + " --per-table -o " + (dir / "out").string());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read(dir / "out" / "index.csv"),
              "table,procedure,title,subtype,file\r\n2097154,Crosstabs,Region * Gender * Age group "
              "Crosstabulation,Crosstabulation,table-1.csv\r\n");
    EXPECT_EQ(Read(dir / "out" / "table-1.csv"), crosstab);
  }
}

TEST_F(ExportCommand, EveryTableInOneFileOrOneFileEach) {
  const Outcome one = Omf("export");
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.out.substr(0, one.out.find(',', 6)), "table,Notes");
  EXPECT_NE(one.out.find("\r\n1048579,,,,Valid / Male,,47,47,47.95918367346939,47.95918367346939,"),
            std::string::npos);

  const Outcome each = Omf("export --per-table -o " + (dir / "each").string());
  ASSERT_EQ(each.status, 0) << each.err;
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir / "each"))
    files += entry.path().extension() == ".csv";
  EXPECT_EQ(files, 19u); // 18 tables and the index
  EXPECT_EQ(Read(dir / "each" / "table-03.csv").substr(0, 58),
            "Gender,Frequency,Percent,Valid Percent,Cumulative Percent\r");

  const Outcome book = Omf("export -o " + (dir / "book.xlsx").string());
  ASSERT_EQ(book.status, 0) << book.err;
  EXPECT_EQ(Read(dir / "book.xlsx").substr(0, 2), "PK"); // a zip container; tests/python reads it back
}

TEST_F(ExportCommand, ProblemsAreOneLineAndWriteNothing) {
  const fs::path unknown = Write("unknown.txt", "select tables\n  columns dimnames \"Income\"\nend\n");
  const fs::path broken = Write("broken.omfs", "OMFS\x01");
  struct Case {
    std::string args;
    std::string error;
    std::string output; // must not exist afterwards
  } cases[] = {
      {"export --select " + unknown.string() + " -o " + (dir / "a.csv").string(),
       "omf: table \"Notes\" has no dimension \"Income\"; its dimensions are \"Notes\", \"Values\"\n",
       "a.csv"},
      {"export --select " + unknown.string() + " -o " + (dir / "a.xlsx").string(),
       "omf: table \"Notes\" has no dimension \"Income\"; its dimensions are \"Notes\", \"Values\"\n",
       "a.xlsx"},
      {"export --format xlsx", "omf: export --format xlsx: give -o FILE.xlsx\n", ""},
      {"export --per-table", "omf: export --per-table: give -o DIRECTORY (CSV files only)\n", ""},
      {"export --lang Klingon -o " + (dir / "k.csv").string(), "omf: unknown output language \"Klingon\"",
       "k.csv"},
      {"export " + dir.string() + " -o " + (dir / "d.csv").string(), "is a directory, not a file\n", "d.csv"},
      {"export " + (dir / "none.omfs").string() + " -o " + (dir / "n.csv").string(),
       "none.omfs: cannot open: ", "n.csv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome run = Omf(c.args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    if (!c.output.empty()) {
      EXPECT_FALSE(fs::exists(dir / c.output));
    }
  }
  // A broken stream: what was played before it is written, and the command fails.
  const Outcome run = Omf("export " + broken.string());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find(broken.string()), std::string::npos) << run.err;
}

// libxlsxwriter is loaded only when a workbook is written: a machine without it (or with something else
// under its name) still exports CSV, and a workbook fails in one line that names the library and the
// loader's reason, leaving no file.
TEST_F(ExportCommand, AWorkbookWithoutItsLibraryFailsInOneLine) {
  struct Case {
    std::string library; // what OMF_XLSXWRITER_LIBRARY names in place of libxlsxwriter
    std::string output;
    int status;
    std::string error;  // how standard error starts (empty: it is empty)
    std::string reason; // the loader's reason, further on the line
  } cases[] = {
      {"libomf-absent.so.0", "a.xlsx", 2,
       "omf: cannot write workbooks: libomf-absent.so.0 cannot be loaded: ",
       "libomf-absent.so.0: cannot open shared object file"},
      {"libc.so.6", "b.xlsx", 2,
       "omf: cannot write workbooks: libc.so.6 cannot be loaded: ", "undefined symbol: workbook_new_opt\n"},
      {"libomf-absent.so.0", "c.csv", 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.library + " " + c.output);
    const Outcome run = Omf("export -o " + (dir / c.output).string(), "OMF_XLSXWRITER_LIBRARY=" + c.library);
    EXPECT_EQ(run.status, c.status);
    if (c.error.empty()) {
      EXPECT_EQ(run.err, "");
      EXPECT_TRUE(fs::exists(dir / c.output));
    } else {
      EXPECT_EQ(run.err.substr(0, c.error.size()), c.error);
      EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
      EXPECT_FALSE(fs::exists(dir / c.output));
    }
  }
}

} // namespace
