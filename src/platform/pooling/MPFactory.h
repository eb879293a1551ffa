#pragma once
// Makes pool calculators. The caller owns the calculator and deletes it.
#include "platform/pooling/IMPPoolCalculator.h"

class MPFactory {
public:
  // A new calculator that pools by Rubin's rules.
  static IMPPoolCalculator* CreateMPCompAlgorithm();
};
