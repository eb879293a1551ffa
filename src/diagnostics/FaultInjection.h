#pragma once

namespace omf {

// Hooks that tests use to make the factory fail the way the machine would (e.g. throw std::bad_alloc)
// at chosen points, and check its recovery. Unset, they cost one test of a pointer.
namespace detail {
// Runs before each message reaches the message switch.
using DispatchHook = void (*)(short type);
void SetDispatchHook(DispatchHook hook);

// Points after the message switch: the finish step before one of its passes visits a part, and the
// graft before it moves a finished procedure into the caller's tree.
enum class FaultPoint { kFinishPart, kGraft };
using FaultHook = void (*)(FaultPoint point);
void SetFaultHook(FaultHook hook);
void RunFaultHook(FaultPoint point);
} // namespace detail

} // namespace omf
