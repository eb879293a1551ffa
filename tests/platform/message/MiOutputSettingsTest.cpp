// The multiple-imputation display flags come from settings records the back end sends (message 27):
// a flag is off only when its setting was made with the value 0. Each flag turned off on its own is
// played through the pooler by its tests; here the reading of the records.
#include <gtest/gtest.h>

#include "support/FactoryHarness.h"
#include <omf/platform/message/MessageHandler.h>
#include <omf/platform/settings/Iocvset.h>

using namespace omf;

namespace {

struct Flags {
  bool original, imputations, pooled, diagnostics;
  bool operator==(const Flags&) const = default;
};

Flags Read() {
  Flags f{};
  MiOutputSettings(&f.original, &f.imputations, &f.pooled, &f.diagnostics);
  return f;
}

TEST(MiOutputSettings, FlagsFollowTheSettingsRecordsAndDefaultToOn) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, int>> settings;
    Flags expected;
  };
  const std::vector<Case> cases = {
      {"nothing set", {}, {true, true, true, true}},
      {"any other value is on", {{"MIPOOLED", 7}, {"MIDIAGNOSTICS", 1}}, {true, true, true, true}},
      {"names compare exactly", {{"mipooled", 0}, {"MIPOOLED ", 0}}, {true, true, true, true}},
      {"the last record wins", {{"MIORIGINAL", 0}, {"MIORIGINAL", 1}}, {true, true, true, true}},
      {"all off",
       {{"MIORIGINAL", 0}, {"MIIMPUTATIONS", 0}, {"MIPOOLED", 0}, {"MIDIAGNOSTICS", 0}},
       {false, false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    omf::platform::ClearSettings();
    omf::fixtures::Harness h;
    for (const auto& [name, value] : c.settings)
      h.w.Setting(name, static_cast<std::uint8_t>(value));
    EXPECT_TRUE(Read() == c.expected);
  }
  omf::platform::ClearSettings();
}

} // namespace
