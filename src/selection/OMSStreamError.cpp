#include <omf/selection/OMSStreamError.h>

#include <utility>

namespace omf {

OMSStreamError::OMSStreamError(std::string field, std::uint64_t offset, std::string problem)
    : std::runtime_error("selection request stream: " + field + " at byte " + std::to_string(offset) + ": " +
                         problem),
      _field(std::move(field)), _offset(offset), _problem(std::move(problem)) {}

} // namespace omf
