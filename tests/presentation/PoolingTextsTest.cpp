// The pooling library's error texts become footnotes, which are translated: every language has them.
#include <gtest/gtest.h>

#include <omf/platform/path/PathFinder.h>
#include <omf/platform/pooling/PoolingErrors.h>
#include <omf/platform/stringtable/FacSTDictionary.h>
#include <omf/presentation/Language.h>

using namespace omf;

namespace {

TEST(PoolingTexts, EveryLanguageTranslatesEveryErrorText) {
  std::size_t count = 0;
  const OutputLanguage* languages = OutputLanguages(count);
  for (std::size_t l = 0; l < count; ++l) {
    auto finder = PathFactory::getPathInstance(3);
    finder->SetRelativePath(languages[l].directory);
    FacSTDictionary dictionary(finder->Path());
    icuTracker tracker;
    dictionary.setICUTracker(&tracker);
    // One code past each end gives the text for an unknown code.
    for (long code = -1; code <= omf::pooling::kMPLastErrorCode + 1; ++code)
      dictionary.LookUp(GetPoolingErrorString(code));
    EXPECT_TRUE(tracker.missingKeys.empty())
        << languages[l].directory << " lacks \"" << tracker.missingKeys.front() << "\"";
  }
}

} // namespace
