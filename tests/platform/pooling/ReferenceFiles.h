#pragma once
// Reads the independently computed reference values (used by the pooling and bootstrap tests). OMF_DATA_DIR
// is the repository root; the shared folder with the reference files lies beside it.
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

inline nlohmann::json LoadReference(const std::string& name) {
  const char* root = std::getenv("OMF_DATA_DIR");
  const std::filesystem::path dir = root && *root
                                        ? std::filesystem::path(root) / ".." / "shared" / "reference"
                                        : std::filesystem::path("/work/shared/reference");
  std::ifstream in(dir / name);
  if (!in) throw std::runtime_error("cannot open reference file " + (dir / name).string());
  return nlohmann::json::parse(in);
}
