#pragma once
// Reads the independently computed reference values (used by the pooling and bootstrap tests). They are
// kept in the repository, in tests/data/reference; the build names that folder in
// OMF_TEST_REFERENCE_DIR for the tests that read it.
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace omf {

#ifndef OMF_TEST_REFERENCE_DIR
#error "OMF_TEST_REFERENCE_DIR must name tests/data/reference of the source tree"
#endif

inline nlohmann::json LoadReference(const std::string& name) {
  const std::filesystem::path file = std::filesystem::path(OMF_TEST_REFERENCE_DIR) / name;
  std::ifstream in(file);
  if (!in) throw std::runtime_error("cannot open reference file " + file.string());
  return nlohmann::json::parse(in);
}

} // namespace omf
