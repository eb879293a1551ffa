#include <omf/platform/pooling/MPFactory.h>

#include <omf/platform/pooling/RubinPoolCalculator.h>

namespace omf {

IMPPoolCalculator* MPFactory::CreateMPCompAlgorithm() {
  return new omf::pooling::RubinPoolCalculator();
}

} // namespace omf
