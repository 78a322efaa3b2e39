// The installed host seams and the per-system registry layout. Private to
// the setup library.
#pragma once

#include "platform/setupapi/host.h"

#include <string>

namespace platform::setupapi::detail {

FileAccess& Files();
DeviceTree* Tree(); // nullptr: devices live in the registry only

bool IsNt();
// Below HKEY_LOCAL_MACHINE. 98: "Enum", "System\CurrentControlSet\Services\Class";
// NT: "SYSTEM\CurrentControlSet\Enum", "SYSTEM\CurrentControlSet\Control\Class".
std::string EnumRoot();
std::string ClassRoot();
std::string ServicesRoot();

// "{4D36E96F-E325-11CE-BFC1-08002BE10318}"
std::string GuidText(const GUID& guid);
bool ParseGuid(const std::string& text, GUID* guid);

// Registry helpers on HKEY_LOCAL_MACHINE paths.
void SetString(HKEY key, const char* name, const std::string& value);
std::string QueryString(HKEY key, const char* name);
// Deletes the key with its subkeys; false when it did not exist.
bool DeleteTree(HKEY root, const std::string& path);

// Emits "<ms> <text>" on the machine's trace.
void Trace(const std::string& text);

} // namespace platform::setupapi::detail
