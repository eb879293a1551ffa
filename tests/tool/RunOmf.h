#pragma once
// The omf command run from the tests: its standard output, and the parts of a JSON export.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <nlohmann/json.hpp>

namespace omf_test {

// What omf writes to standard output for the arguments (a shell command line fragment); the command
// must succeed.
inline std::string OmfOutput(const std::string& args) {
  const std::string command = std::string(OMF_BINARY) + " " + args;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return {};
  }
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    out.append(buffer, n);
  const int status = ::pclose(pipe);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
  return out;
}

// The JSON export of a message script of tests/data/streams, with further arguments of omf render.
inline nlohmann::json ScriptExport(const std::string& script, const std::string& args = "") {
  namespace fs = std::filesystem;
  const fs::path stream =
      fs::temp_directory_path() / ("omf-test-" + std::to_string(::getpid()) + "-" + script);
  OmfOutput("assemble " + (fs::path(OMF_TEST_STREAMS_DIR) / script).string() + " -o " + stream.string());
  const std::string json = OmfOutput("render --format json " + args + " " + stream.string());
  fs::remove(stream);
  return nlohmann::json::parse(json);
}

// The parts of a JSON export of a type, depth first.
inline std::vector<nlohmann::json> PartsOfType(const nlohmann::json& doc, const std::string& type) {
  std::vector<nlohmann::json> found;
  const auto walk = [&](const nlohmann::json& parts, const auto& self) -> void {
    for (const auto& part : parts) {
      if (part["type"] == type) found.push_back(part);
      if (part.contains("parts")) self(part["parts"], self);
    }
  };
  walk(doc["parts"], walk);
  return found;
}

} // namespace omf_test
