// The omf command. `omf render` renders the built-in example output tree as text, JSON or HTML.
// Exit codes: 0 success, 2 for any problem, which is told in one line "omf: <problem>" on stderr.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>

#include <CLI/CLI.hpp>

#include "ExampleTree.h"
#include "model/OutputTree.h"
#include "render/HtmlRenderer.h"
#include "render/JsonRenderer.h"
#include "render/TextRenderer.h"

namespace {

constexpr int kFailure = 2;

std::string Rendered(const OmOutputTree& tree, const std::string& format) {
  std::ostringstream out;
  if (format == "json")
    omf::render::JsonRenderer().Render(tree, out);
  else if (format == "html")
    omf::render::HtmlRenderer().Render(tree, out);
  else
    omf::render::TextRenderer().Render(tree, out);
  return out.str();
}

void Write(const std::string& text, const std::string& path) {
  if (path.empty() || path == "-") {
    std::cout << text << std::flush;
    if (!std::cout) throw std::runtime_error("cannot write to standard output");
    return;
  }
  std::ofstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot open " + path + " for writing: " + std::strerror(errno));
  file << text;
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path);
}

} // namespace

int main(int argc, char** argv) {
  CLI::App app{"omf: the output factory's command line"};
  app.require_subcommand(1);
  std::string format = "text", output;
  CLI::App* render = app.add_subcommand("render", "Render the built-in example output tree");
  render->add_option("--format", format, "Output format")->check(CLI::IsMember({"text", "json", "html"}));
  render->add_option("-o,--output", output, "Write to this file instead of standard output");

  // Without this, a misspelt command reads as no command at all.
  if (argc > 1 && argv[1][0] != '-' && std::string(argv[1]) != "render") {
    std::cerr << "omf: unknown command '" << argv[1] << "' (the commands: render)\n";
    return kFailure;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e); // --help
    std::cerr << "omf: " << e.what() << '\n';
    return kFailure;
  }

  try {
    OmOutputTree tree;
    BuildExampleTree(tree);
    Write(Rendered(tree, format), output);
  } catch (const std::exception& e) {
    std::cerr << "omf: " << e.what() << '\n';
    return kFailure;
  }
  return 0;
}
