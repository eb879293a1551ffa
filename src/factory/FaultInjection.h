#pragma once
// A hook that runs before each message reaches the message switch, so that tests can make a message
// fail the way the machine would (e.g. throw std::bad_alloc) and check the factory's recovery.
namespace omf::detail {
using DispatchHook = void (*)(short type);
void SetDispatchHook(DispatchHook hook);
} // namespace omf::detail
