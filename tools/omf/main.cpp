// The omf command: plays recorded message streams through the output factory and renders the output
// tree; converts between streams and readable message scripts, and between the two forms of selection
// request files.
//
// Exit codes: 0 success; 2 for any problem, told in one line on standard error, such as
// "omf: session.omfs: record 12 (type 273) at byte 301: type 273, cell: slot 9 is empty". Running out
// of memory is such a problem too ("omf: out of memory"), never an abort. Problems that the command
// works around (an output language without its string table, procedures that produced no output) are
// told on standard error too, and the command still succeeds.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "OutputFile.h"
#include "examples/BuiltinSession.h"
#include <omf/export/Export.h>
#include <omf/export/Session.h>
#include <omf/factory/Factory.h>
#include <omf/factory/FactorySink.h>
#include <omf/model/OutputTree.h>
#include <omf/platform/path/PathFinder.h>
#include <omf/platform/stringtable/FacSTDictionary.h>
#include <omf/platform/stringtable/StringTable.h>
#include <omf/presentation/Language.h>
#include <omf/protocol/MessageType.h>
#include <omf/render/HtmlRenderer.h>
#include <omf/render/JsonRenderer.h>
#include <omf/render/TextRenderer.h>
#include <omf/selection/OMSObjectSelector.h>
#include <omf/selection/RequestFile.h>
#include <omf/selection/RequestText.h>
#include <omf/stream/MessageScript.h>
#include <omf/stream/MessageWriter.h>
#include <omf/stream/StreamFile.h>

using namespace omf;

namespace {

constexpr int kFailure = 2;
constexpr const char* kVersion = "omf " OMF_VERSION;

// A problem that the command reports as it stands.
struct CommandError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// What went wrong, in words: an exhausted memory says so rather than naming its exception class.
std::string Problem(const std::exception& e) {
  return dynamic_cast<const std::bad_alloc*>(&e) != nullptr ? "out of memory" : e.what();
}

// Runs `read` on a file, and names the file in front of any problem it reports (once: problems with
// opening a file name it already).
template <class Read> auto ForFile(const std::string& path, Read read) -> decltype(read()) {
  try {
    return read();
  } catch (const std::exception& e) {
    const std::string what = Problem(e);
    throw CommandError(what.find(path) != std::string::npos ? what : path + ": " + what);
  }
}

// A directory opens as a file on some systems and then reads as nothing: every input is checked first.
void CheckInput(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw CommandError("is a directory, not a file");
}

std::string ReadText(const std::string& path) {
  CheckInput(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CommandError(std::string("cannot open: ") + std::strerror(errno));
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw CommandError("cannot read");
  return text.str();
}

// The stream that `path` names: standard input for "-".
omf::stream::StreamReader OpenStream(const std::string& path) {
  if (path == "-") return omf::stream::StreamReader(std::cin);
  CheckInput(path);
  return omf::stream::StreamReader::OpenFile(path);
}

// How an input is named in problems.
std::string InputName(const std::string& path) {
  return path == "-" ? "standard input" : path;
}

void Write(const std::string& text, const std::string& path) {
  if (path.empty() || path == "-") {
    std::cout << text << std::flush;
    if (!std::cout) throw CommandError("cannot write to standard output");
    return;
  }
  std::ofstream file(path, std::ios::binary);
  if (!file) throw CommandError(path + ": cannot open for writing: " + std::strerror(errno));
  file << text;
  file.close();
  if (!file) throw CommandError(path + ": cannot write");
}

// Returns a line for each table that the format could not show in full.
std::vector<std::string> RenderTo(const OmOutputTree& tree, const std::string& format,
                                  const omf::render::Words& words, std::ostream& out) {
  if (format == "json") {
    omf::render::JsonRenderer().Render(tree, out);
    return {};
  }
  if (format == "html") return omf::render::HtmlRenderer(words).Render(tree, out);
  return omf::render::TextRenderer(words).Render(tree, out);
}

// Renders straight into the file (or standard output), so that a large tree is never held twice; what
// was written before a failure stays.
std::vector<std::string> Render(const OmOutputTree& tree, const std::string& format,
                                const omf::render::Words& words, const std::string& path) {
  if (path.empty() || path == "-") {
    auto omitted = RenderTo(tree, format, words, std::cout);
    std::cout.flush();
    if (!std::cout) throw CommandError("cannot write to standard output");
    return omitted;
  }
  std::unique_ptr<omf::tool::OutputFile> file;
  try {
    file = std::make_unique<omf::tool::OutputFile>(path);
  } catch (const std::runtime_error& e) {
    throw CommandError(e.what());
  }
  std::ostream out(file.get());
  auto omitted = RenderTo(tree, format, words, out);
  out.flush();
  try {
    file->Close();
  } catch (const std::runtime_error& e) {
    throw CommandError(e.what());
  }
  return omitted;
}

// The format that an output file's extension names, for when --format is not given.
std::string FormatOfFile(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".json") return "json";
  if (extension == ".html" || extension == ".htm") return "html";
  return "text";
}

// Display settings named as a person says them.
unsigned Mode(const std::string& word) {
  if (word == "names" || word == "values") return OmCellText::kModeNames;
  if (word == "labels") return OmCellText::kModeLabels;
  return OmCellText::kModeBoth;
}

struct RenderOptions {
  std::vector<std::string> streams;
  std::string format; // empty: from the output file's extension, else text
  std::string output;
  std::string language;
  bool languageGiven = false; // an empty --lang names no language and is refused
  std::string variables;
  std::string values;
  std::string select;
  bool quiet = false;
};

// The session that render and export play: requests, language and display modes from the options.
omf::data::Session OpenSession(const std::string& select, const std::string* language,
                               const std::string& variables, const std::string& values) {
  omf::data::SessionOptions options;
  if (!select.empty())
    options.requests = ForFile(select, [&] {
      CheckInput(select);
      return omf::selection::ReadRequestFile(select);
    });
  if (language != nullptr) options.language = *language;
  if (!variables.empty()) options.variables = Mode(variables);
  if (!values.empty()) options.values = Mode(values);
  try {
    return omf::data::Session(std::move(options));
  } catch (const std::invalid_argument& e) {
    throw CommandError(e.what());
  }
}

// Plays the streams (or the built-in session when none is given) and returns the first problem, or an
// empty text: what was played before a problem stays in the tree.
std::string Play(omf::data::Session& session, const std::vector<std::string>& streams) {
  if (streams.empty()) omf::examples::WriteBuiltinSession(session.Writer());
  for (const std::string& path : streams) {
    try {
      ForFile(InputName(path), [&] {
        if (path != "-") CheckInput(path);
        session.PlayFile(path);
      });
    } catch (const CommandError& e) {
      return e.what();
    }
  }
  return {};
}

// Ends the session and tells each warning the factory gave once.
void Finish(omf::data::Session& session) {
  session.Finish();
  for (const std::string& w : session.Warnings())
    std::cerr << "omf: warning: " << w << '\n';
}

int RenderCommand(const RenderOptions& o) {
  omf::data::Session session =
      OpenSession(o.select, o.languageGiven ? &o.language : nullptr, o.variables, o.values);
  // What was played before a problem is still rendered; the problem is reported and the command fails.
  const std::string failure = Play(session, o.streams);
  Finish(session);
  const omf::render::Words words = [&session](std::string_view english) {
    return session.Word(std::string(english));
  };
  const std::string format = !o.format.empty() ? o.format : FormatOfFile(o.output);
  // The first problem is the one reported: one that comes later may be its consequence.
  std::vector<std::string> omitted;
  try {
    omitted = Render(session.Tree(), format, words, o.output);
  } catch (const std::exception& e) {
    throw CommandError(failure.empty() ? Problem(e) : failure);
  }
  if (!failure.empty()) throw CommandError(failure);
  // Tables too large for the format are shown as notices and the rest is rendered; the command still
  // fails, since its output does not show everything that was played.
  if (!omitted.empty())
    throw CommandError(omitted.front() +
                       (omitted.size() > 1 ? " (and " + std::to_string(omitted.size() - 1) + " more)" : ""));
  // A procedure whose only part is its title (the first part it sends) shows nothing and is dropped
  // silently by the factory: a stream writer who left the title out learns of it here.
  const std::uint64_t begun = session.ProceduresBegun();
  if (const std::uint64_t silent = begun - std::min(begun, session.ProceduresFinished());
      silent > 0 && !o.quiet)
    std::cerr << "omf: " << silent << (silent == 1 ? " procedure" : " procedures")
              << " produced no output (a procedure's first part is its title)\n";
  return 0;
}

// One line per output language: keyword, locale code, English name, and whether its table is found in
// the data directory.
std::string LanguageList() {
  std::size_t count = 0;
  const OutputLanguage* languages = OutputLanguages(count);
  std::ostringstream out;
  const auto row = [&out](std::string_view keyword, std::string_view code, std::string_view name,
                          std::string_view table) {
    out << keyword << std::string(10 - keyword.size(), ' ') << code << std::string(7 - code.size(), ' ')
        << name << std::string(22 - name.size(), ' ') << table << '\n';
  };
  row("keyword", "code", "language", "string table");
  for (std::size_t k = 0; k < count; ++k) {
    const OutputLanguage& language = languages[k];
    auto finder = PathFactory::getPathInstance(3);
    finder->SetRelativePath(language.directory);
    std::string table;
    try {
      StringTable::Shared(finder->Path());
      table = "found";
    } catch (const StringTableError& e) {
      table = std::string_view(language.keyword) == "ENGLISH" ? "built in" : "missing: " + e.File();
    }
    row(language.keyword, OutputLanguageCode(language), language.name, table);
  }
  return out.str();
}

// The built-in session as a stream or as a message script.
void WriteExample(const std::string& format, const std::string& path) {
  omf::stream::RecordingSink sink;
  omf::stream::MessageWriter writer(sink);
  omf::examples::WriteBuiltinSession(writer);
  if (format == "omfs") {
    const std::vector<unsigned char> bytes = omf::stream::StreamBytes(sink.Records());
    Write(std::string(bytes.begin(), bytes.end()), path);
  } else {
    Write(omf::stream::DisassembleRecords(sink.Records()), path);
  }
}

struct ExportOptions {
  std::vector<std::string> streams;
  std::string format; // empty: from the output file's extension
  std::string output;
  std::string language;
  bool languageGiven = false;
  std::string variables;
  std::string values;
  std::string select;
  bool perTable = false;
};

// Plays the streams (or the built-in session) as omf render does and writes every visible table as data.
int ExportCommand(const ExportOptions& o) {
  std::string format = o.format;
  if (format.empty()) format = std::filesystem::path(o.output).extension() == ".xlsx" ? "xlsx" : "csv";
  if (format == "xlsx" && (o.output.empty() || o.output == "-"))
    throw CommandError("export --format xlsx: give -o FILE.xlsx");
  if (o.perTable && (format != "csv" || o.output.empty() || o.output == "-"))
    throw CommandError("export --per-table: give -o DIRECTORY (CSV files only)");
  omf::data::Session session =
      OpenSession(o.select, o.languageGiven ? &o.language : nullptr, o.variables, o.values);
  // An input that cannot be read stops the command before anything is written.
  for (const std::string& path : o.streams)
    if (path != "-")
      ForFile(path, [&] {
        CheckInput(path);
        if (!std::ifstream(path, std::ios::binary))
          throw CommandError(std::string("cannot open: ") + std::strerror(errno));
      });
  // What was played before a problem is still exported; the problem is reported and the command fails.
  const std::string failure = Play(session, o.streams);
  Finish(session);
  const auto tables = omf::data::ShapeTables(omf::data::ExportTables(session.Tree(), session.Requests()));
  const auto how = o.perTable         ? omf::data::ExportFormat::kCsvPerTable
                   : format == "xlsx" ? omf::data::ExportFormat::kXlsx
                                      : omf::data::ExportFormat::kCsv;
  omf::data::WriteExport(tables, how, o.output);
  if (!failure.empty()) throw CommandError(failure);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  // Asked alone, the version needs none of the command line's definitions, which cost more than the rest
  // of such a run; given with other arguments it is parsed as every option is.
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::cout << kVersion << std::endl;
    return 0;
  }
  CLI::App app{"omf: plays recorded output message streams and renders the output tree"};
  app.require_subcommand(1);
  app.footer("omf SUBCOMMAND --help shows the options of one command. Every command exits with 0 on "
             "success and 2 on any problem, told in one line on standard error.");
  // Options of the command as a whole are taken after the subcommand too.
  app.fallthrough();
  app.set_version_flag("--version", kVersion, "Print the version and exit");
  std::string dataDir;
  app.add_option("--data-dir", dataDir,
                 "Directory of the string tables and message files (default: installed); before or after "
                 "the subcommand");

  RenderOptions render;
  CLI::App* renderCmd =
      app.add_subcommand("render", "Play streams (or the built-in session) and render the tree");
  renderCmd->add_option("streams", render.streams,
                        "Recorded streams (.omfs), played in order into one tree; - reads standard input");
  renderCmd
      ->add_option("--format", render.format,
                   "text, json or html (default: from the -o file's extension, .json, .html or .htm, "
                   "else text)")
      ->check(CLI::IsMember({"text", "json", "html"}));
  renderCmd->add_option("-o,--output", render.output, "Write to this file instead of standard output");
  CLI::Option* langOption = renderCmd->add_option(
      "--lang", render.language,
      "Output language: a keyword (GERMAN, SCHINESE), an English name (German, Traditional "
      "Chinese) or a locale code (de, de-AT, zh_TW, pt-BR); see omf languages. zh and Chinese "
      "mean Simplified Chinese, Portuguese Brazilian Portuguese");
  renderCmd->add_option("--variables", render.variables, "Variables in tables: names, labels or both")
      ->check(CLI::IsMember({"names", "labels", "both"}));
  renderCmd->add_option("--values", render.values, "Values in tables: values, labels or both")
      ->check(CLI::IsMember({"values", "labels", "both"}));
  renderCmd->add_option("--select", render.select, "Selection requests (readable or .omsr)");
  renderCmd->add_flag("-q,--quiet", render.quiet, "Do not tell how many procedures produced no output");
  renderCmd->footer("A procedure's first part is taken as its title: a procedure that sends nothing after it "
                    "produces no output, and omf says on standard error how many did (\"omf: 2 procedures "
                    "produced no output ...\"; --quiet silences it). An output language whose string table "
                    "is missing leaves the output in the language in use, with a warning.\n\n"
                    "Pooled output of multiply imputed data: which categories of the imputation dimension "
                    "are shown is set by settings records in the stream, MIORIGINAL, MIIMPUTATIONS, "
                    "MIPOOLED and MIDIAGNOSTICS (0 hides, any other value or none shows), e.g. the script "
                    "line: setting value=0 name=\"MIIMPUTATIONS\"");

  ExportOptions exportOptions;
  CLI::App* exportCmd = app.add_subcommand(
      "export", "Play streams (or the built-in session) and write their tables as data: CSV or Excel");
  exportCmd->add_option("streams", exportOptions.streams,
                        "Recorded streams (.omfs), played in order into one tree; - reads standard input");
  exportCmd
      ->add_option("--format", exportOptions.format,
                   "csv or xlsx (default: xlsx when the -o file ends in .xlsx, else csv)")
      ->check(CLI::IsMember({"csv", "xlsx"}));
  exportCmd->add_option("-o,--output", exportOptions.output,
                        "Write to this file (a CSV file, or standard output when absent; the workbook); "
                        "with --per-table the directory of the files");
  exportCmd->add_flag("--per-table", exportOptions.perTable,
                      "One CSV file per table (table-1.csv, ...) and index.csv in the -o directory");
  CLI::Option* exportLang =
      exportCmd->add_option("--lang", exportOptions.language, "Output language, as for omf render");
  exportCmd->add_option("--variables", exportOptions.variables, "Variables in tables: names, labels or both")
      ->check(CLI::IsMember({"names", "labels", "both"}));
  exportCmd->add_option("--values", exportOptions.values, "Values in tables: values, labels or both")
      ->check(CLI::IsMember({"values", "labels", "both"}));
  exportCmd->add_option("--select", exportOptions.select,
                        "Selection requests (readable or .omsr): which tables, and their columns clause");
  exportCmd->footer(
      "Every visible table is written as data: the dimensions that the columns clause of the request "
      "selecting the table names (or else the table's own column dimensions) become columns, one per "
      "combination of their categories, headed by their labels joined with \" / \"; every other dimension "
      "becomes a key column, one row per combination of categories. Numbers are written as numbers, the "
      "system-missing value as an empty field. One CSV file starts with a column \"table\" holding each "
      "row's table id; a workbook has an index sheet and a sheet per table.");

  std::string script, assembled;
  CLI::App* assemble = app.add_subcommand("assemble", "Turn a message script into a recorded stream");
  assemble->add_option("script", script, "Message script")->required();
  assemble->add_option("-o,--output", assembled, "Stream file to write")->required();

  std::string streamFile, listing;
  CLI::App* disassemble = app.add_subcommand("disassemble", "Write a recorded stream as a message script");
  disassemble->add_option("stream", streamFile, "Recorded stream (.omfs)")->required();
  disassemble->add_option("-o,--output", listing, "Write to this file instead of standard output");

  std::string compile, show, compiled;
  CLI::App* select = app.add_subcommand("select", "Convert selection request files");
  select->add_option("--compile", compile, "Readable request file to compile");
  select->add_option("--show", show, "Request file (.omsr or readable) to write in the readable syntax");
  select->add_option("-o,--output", compiled, "Where to write");

  CLI::App* languages = app.add_subcommand(
      "languages",
      "List the output languages: keyword, locale code, name, and whether the string table is found");

  std::string exampleFormat, example;
  CLI::App* exampleCmd =
      app.add_subcommand("example", "Write the built-in example session as a stream or a message script");
  exampleCmd
      ->add_option("--format", exampleFormat,
                   "omfs (a recorded stream) or script (default: omfs when the -o file ends in .omfs, "
                   "else script)")
      ->check(CLI::IsMember({"omfs", "script"}));
  exampleCmd->add_option("-o,--output", example, "Write to this file instead of standard output");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e); // --help, --version
    std::cerr << "omf: " << e.what() << '\n';
    return kFailure;
  }

  try {
    if (!dataDir.empty()) omf::platform::SetDataDirectory(dataDir);
    if (renderCmd->parsed()) {
      render.languageGiven = langOption->count() > 0;
      return RenderCommand(render);
    }
    if (exportCmd->parsed()) {
      exportOptions.languageGiven = exportLang->count() > 0;
      return ExportCommand(exportOptions);
    }
    if (assemble->parsed()) {
      const auto records = ForFile(script, [&] { return omf::stream::AssembleScript(ReadText(script)); });
      ForFile(assembled, [&] { omf::stream::WriteStreamFile(assembled, records); });
      return 0;
    }
    if (disassemble->parsed()) {
      const auto records = ForFile(InputName(streamFile), [&] {
        omf::stream::StreamReader reader = OpenStream(streamFile);
        return reader.ReadAll();
      });
      Write(omf::stream::DisassembleRecords(records), listing);
      return 0;
    }
    if (select->parsed()) {
      if (compile.empty() == show.empty()) throw CommandError("select: give --compile FILE or --show FILE");
      if (!compile.empty()) {
        if (compiled.empty()) throw CommandError("select --compile: give -o FILE.omsr");
        const auto requests =
            ForFile(compile, [&] { return omf::selection::ParseRequestText(ReadText(compile)); });
        ForFile(compiled, [&] { omf::selection::WriteBinaryRequestFile(compiled, requests); });
        return 0;
      }
      const auto requests = ForFile(show, [&] {
        CheckInput(show);
        return omf::selection::ReadRequestFile(show);
      });
      Write(omf::selection::FormatRequestText(requests), compiled);
      return 0;
    }
    if (languages->parsed()) {
      Write(LanguageList(), "");
      return 0;
    }
    if (exampleCmd->parsed()) {
      const std::string format = !exampleFormat.empty()                                  ? exampleFormat
                                 : std::filesystem::path(example).extension() == ".omfs" ? "omfs"
                                                                                         : "script";
      WriteExample(format, example);
      return 0;
    }
  } catch (const std::bad_alloc&) {
    std::cerr << "omf: out of memory\n";
    return kFailure;
  } catch (const std::exception& e) {
    std::cerr << "omf: " << e.what() << '\n';
    return kFailure;
  } catch (...) {
    std::cerr << "omf: an unexpected failure\n";
    return kFailure;
  }
  return 0;
}
