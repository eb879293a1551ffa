// The omf command: plays recorded message streams through the output factory and renders the output
// tree; converts between streams and readable message scripts, and between the two forms of selection
// request files.
//
// Exit codes: 0 success; 2 for any problem, told in one line on standard error, such as
// "omf: session.omfs: record 12 (type 273) at byte 301: type 273, cell: slot 9 is empty". Running out
// of memory is such a problem too ("omf: out of memory"), never an abort.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "examples/BuiltinSession.h"
#include <omf/factory/Factory.h>
#include <omf/factory/FactorySink.h>
#include <omf/model/OutputTree.h>
#include <omf/platform/path/PathFinder.h>
#include <omf/presentation/Language.h>
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

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CommandError(std::string("cannot open: ") + std::strerror(errno));
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
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
std::vector<std::string> RenderTo(const OmOutputTree& tree, const std::string& format, std::ostream& out) {
  if (format == "json") {
    omf::render::JsonRenderer().Render(tree, out);
    return {};
  }
  if (format == "html") return omf::render::HtmlRenderer().Render(tree, out);
  return omf::render::TextRenderer().Render(tree, out);
}

// Renders straight into the file (or standard output), so that a large tree is never held twice; what
// was written before a failure stays.
std::vector<std::string> Render(const OmOutputTree& tree, const std::string& format,
                                const std::string& path) {
  if (path.empty() || path == "-") {
    auto omitted = RenderTo(tree, format, std::cout);
    std::cout.flush();
    if (!std::cout) throw CommandError("cannot write to standard output");
    return omitted;
  }
  std::ofstream file(path, std::ios::binary);
  if (!file) throw CommandError(path + ": cannot open for writing: " + std::strerror(errno));
  auto omitted = RenderTo(tree, format, file);
  file.close();
  if (!file) throw CommandError(path + ": cannot write");
  return omitted;
}

// The command keeps every procedure the factory finishes.
struct KeepEverything : OmFactory::Observer {
  bool KeepProcedure() override { return true; }
};

// Display settings named as a person says them.
unsigned Mode(const std::string& word) {
  if (word == "names" || word == "values") return OmCellText::kModeNames;
  if (word == "labels") return OmCellText::kModeLabels;
  return OmCellText::kModeBoth;
}

struct RenderOptions {
  std::vector<std::string> streams;
  std::string format = "text";
  std::string output;
  std::string language;
  std::string variables;
  std::string values;
  std::string select;
};

int RenderCommand(const RenderOptions& o) {
  std::vector<OMSObjectSelector> requests;
  if (!o.select.empty())
    requests = ForFile(o.select, [&] { return omf::selection::ReadRequestFile(o.select); });
  OmOutputTree tree;
  // The document node under which procedures and logs are placed.
  tree.Append(0, std::make_unique<OmHeading>(OmStringCell("Output", nullptr, true)));
  OmFactory factory(&tree, "", "UTF-8", requests);
  KeepEverything keep;
  factory.Register(&keep);
  omf::stream::FactorySink sink(factory);
  omf::stream::MessageWriter writer(sink);
  if (!o.language.empty()) {
    if (!FindOutputLanguage(o.language)) throw CommandError("unknown output language '" + o.language + "'");
    writer.Display("OLANG", o.language); // as the back end sends the output language
  }
  if (!o.variables.empty()) factory.TableVarDisplay(Mode(o.variables));
  if (!o.values.empty()) factory.TableValueDisplay(Mode(o.values));

  std::string failure;
  if (o.streams.empty()) omf::examples::WriteBuiltinSession(writer);
  for (const std::string& path : o.streams) {
    try {
      ForFile(path, [&] {
        omf::stream::StreamReader reader = omf::stream::StreamReader::OpenFile(path);
        omf::stream::PlayStream(reader, factory);
      });
    } catch (const CommandError& e) {
      // What was played so far is still rendered; the problem is reported and the command fails.
      failure = e.what();
      break;
    }
  }
  // The first problem is the one reported: one that comes later may be its consequence.
  std::vector<std::string> omitted;
  try {
    omitted = Render(tree, o.format, o.output);
  } catch (const std::exception& e) {
    throw CommandError(failure.empty() ? Problem(e) : failure);
  }
  if (!failure.empty()) throw CommandError(failure);
  // Tables too large for the format are shown as notices and the rest is rendered; the command still
  // fails, since its output does not show everything that was played.
  if (!omitted.empty())
    throw CommandError(omitted.front() +
                       (omitted.size() > 1 ? " (and " + std::to_string(omitted.size() - 1) + " more)" : ""));
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  CLI::App app{"omf: plays recorded output message streams and renders the output tree"};
  app.require_subcommand(1);
  std::string dataDir;
  app.add_option("--data-dir", dataDir,
                 "Directory of the string tables and message files (default: installed)");

  RenderOptions render;
  CLI::App* renderCmd =
      app.add_subcommand("render", "Play streams (or the built-in session) and render the tree");
  renderCmd->add_option("streams", render.streams, "Recorded streams (.omfs), played in order into one tree");
  renderCmd->add_option("--format", render.format, "text, json or html")
      ->check(CLI::IsMember({"text", "json", "html"}));
  renderCmd->add_option("-o,--output", render.output, "Write to this file instead of standard output");
  renderCmd->add_option("--lang", render.language, "Output language: a keyword (German) or locale code (de)");
  renderCmd->add_option("--variables", render.variables, "Variables in tables: names, labels or both")
      ->check(CLI::IsMember({"names", "labels", "both"}));
  renderCmd->add_option("--values", render.values, "Values in tables: values, labels or both")
      ->check(CLI::IsMember({"values", "labels", "both"}));
  renderCmd->add_option("--select", render.select, "Selection requests (readable or .omsr)");
  renderCmd->footer("Pooled output of multiply imputed data: which categories of the imputation dimension "
                    "are shown is set by settings records in the stream, MIORIGINAL, MIIMPUTATIONS, "
                    "MIPOOLED and MIDIAGNOSTICS (0 hides, any other value or none shows), e.g. the script "
                    "line: setting value=0 name=\"MIIMPUTATIONS\"");

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

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e); // --help
    std::cerr << "omf: " << e.what() << '\n';
    return kFailure;
  }

  try {
    if (!dataDir.empty()) omf::platform::SetDataDirectory(dataDir);
    if (renderCmd->parsed()) return RenderCommand(render);
    if (assemble->parsed()) {
      const auto records = ForFile(script, [&] { return omf::stream::AssembleScript(ReadText(script)); });
      ForFile(assembled, [&] { omf::stream::WriteStreamFile(assembled, records); });
      return 0;
    }
    if (disassemble->parsed()) {
      const auto records = ForFile(streamFile, [&] { return omf::stream::ReadStreamFile(streamFile); });
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
      const auto requests = ForFile(show, [&] { return omf::selection::ReadRequestFile(show); });
      Write(omf::selection::FormatRequestText(requests), compiled);
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
