#include "platform/pooling/MPFactory.h"

#include "platform/pooling/RubinPoolCalculator.h"

IMPPoolCalculator* MPFactory::CreateMPCompAlgorithm() {
  return new omf::pooling::RubinPoolCalculator();
}
