#include <omf/diagnostics/FaultInjection.h>

namespace omf {

namespace {
omf::detail::FaultHook gFaultHook = nullptr;
} // namespace

void omf::detail::SetFaultHook(FaultHook hook) {
  gFaultHook = hook;
}

void omf::detail::RunFaultHook(FaultPoint point) {
  if (gFaultHook) gFaultHook(point);
}

} // namespace omf
