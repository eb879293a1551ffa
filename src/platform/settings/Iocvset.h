#pragma once
// The process-wide table of named integer settings that the back end sets with settings records.
// Code 2: record = i32 value, then at offset 4 a NUL-terminated name; stores the value under the name.
// Code 3: record = two i32; stores the second under the key "#<first>".
#include <optional>
#include <string>

namespace omf {

void IOCVSET(const int* code, const void* record);

namespace platform {
// The value stored under a name, if any.
std::optional<int> SettingValue(const std::string& name);
// Forgets every setting (tests start from a clean table).
void ClearSettings();
} // namespace platform

} // namespace omf
