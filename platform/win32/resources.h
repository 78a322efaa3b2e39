// Resource modules of the host build. cmake/resources.cmake compiles a
// program's .rc with windres into a .res image and generates a source file
// that registers those bytes under a module name at start-up; a program
// started with that module (ProgramSpec::module) finds them through
// FindResourceA, LoadResource, DialogBoxParamA, LoadIconA and the rest, as
// a Windows program finds the resources linked into its image.
#pragma once

#include "platform/win32/win_user.h"

#include <cstddef>
#include <string>

namespace platform::win32 {

// One static object per generated file.
class ResourceModuleRegistration {
public:
    ResourceModuleRegistration(const char* module, const unsigned char* data, size_t size);
};

// The instance handle of a registered module (the same in every process of
// that program), or a handle with no resources for "" or an unknown name.
HINSTANCE ModuleInstance(const std::string& module);

} // namespace platform::win32

namespace platform::win32::detail {

using platform::win32::ModuleInstance;

// A resource found by type and name: bytes inside the module's image.
struct ResourceEntry {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

// Looks a resource up in a module (nullptr: the calling process's module).
// Names follow FindResourceA: MAKEINTRESOURCE ordinals, "#123", or text
// compared without regard to case.
const ResourceEntry* FindModuleResource(HINSTANCE module, LPCSTR name, LPCSTR type);

// The calling process's instance.
HINSTANCE CallerInstance();

} // namespace platform::win32::detail
