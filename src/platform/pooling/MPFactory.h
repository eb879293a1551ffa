#pragma once
// Makes pool calculators. The caller owns the calculator and deletes it. This is the pooling library's
// chief header: it brings the calculator interface, the parameter container and the error texts.
#include <omf/platform/pooling/IMPPoolCalculator.h>
#include <omf/platform/pooling/PoolingErrors.h>

namespace omf {

class MPFactory {
public:
  // A new calculator that pools by Rubin's rules.
  static IMPPoolCalculator* CreateMPCompAlgorithm();
};

} // namespace omf
