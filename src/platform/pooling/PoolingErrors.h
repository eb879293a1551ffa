#pragma once

namespace omf {

// The error codes of the pool calculators and their texts.

namespace pooling {

enum MPErrorCode : long {
  kMPNoError = 0,
  kMPTooFewImputations = 1,     // Pool with fewer than two imputations
  kMPParameterCountDiffers = 2, // an imputation's parameter count differs from the first imputation's
  kMPStdErrorCountMismatch = 3, // mode 2, but not one standard error per estimate
  kMPInvalidStdError = 4,       // a standard error that is missing, negative or not finite
  kMPInvalidEstimate = 5,       // an estimate that is missing or not finite
  kMPNoStdErrors = 6,           // a result that needs standard errors, after pooling estimates only
  kMPNotPooled = 7,             // a result asked for before Pool (or after a later AddImputation)
  kMPModeDiffers = 8,           // an imputation's mode differs from the first imputation's
  kMPUnknownMode = 9,           // a mode field other than 1 or 2
  kMPNoEstimates = 10,          // an imputation without estimates
  kMPNullValueCount = 11,       // test values neither one nor one per parameter
  kMPInvalidLevel = 12,         // a confidence level outside (0, 1)
};

// The largest code that has a text of its own.
inline constexpr long kMPLastErrorCode = kMPInvalidLevel;

} // namespace pooling

// A sentence that tells a person what went wrong; it is also the key under which the string tables
// translate it. Code 0 and unknown codes have texts too. Never null.
const char* GetPoolingErrorString(long code);

} // namespace omf
