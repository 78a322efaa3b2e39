# Script mode (cmake -P): writes OUT, a C++ file that registers the bytes of
# the .res file RES as resource module MODULE. Used by add_host_resources.
file(READ ${RES} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
file(WRITE ${OUT}
"// Generated from ${RES}: do not edit.
#include \"platform/win32/resources.h\"

namespace {

alignas(4) const unsigned char kResources[${size}] = {
    ${bytes}
};

const platform::win32::ResourceModuleRegistration kRegistration(\"${MODULE}\", kResources,
                                                                 sizeof kResources);

} // namespace
")
