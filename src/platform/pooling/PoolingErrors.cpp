#include <omf/platform/pooling/PoolingErrors.h>

#include <array>

namespace omf {

namespace {

// Indexed by the error code.
constexpr std::array<const char*, omf::pooling::kMPLastErrorCode + 1> kTexts = {
    "Pooling completed without error.",
    "Pooling needs at least two imputations.",
    "The number of parameters differs between imputations.",
    "Standard errors must be given one for each estimate.",
    "A standard error is missing, negative or not finite.",
    "A parameter estimate is missing or not finite.",
    "This pooled result needs standard errors, but only estimates were given.",
    "Pooled results were requested before the imputations were pooled.",
    "Some imputations give standard errors and others do not.",
    "The parameters were given in an unknown mode.",
    "An imputation has no parameter estimates.",
    "The test values must be given once or once for each parameter.",
    "The confidence level must lie between 0 and 1.",
};

} // namespace

const char* GetPoolingErrorString(long code) {
  if (code < 0 || code > omf::pooling::kMPLastErrorCode) return "Pooling failed for an unknown reason.";
  return kTexts[static_cast<std::size_t>(code)];
}

} // namespace omf
