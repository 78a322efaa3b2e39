# Compile settings shared by every kernel-mode driver, on both targets.
# add_driver_library(NAME SOURCES...): the driver's code as a static library
# (host: linked into tests and the machine against the kernel stand-in;
# Windows: linked into the .sys image).
set(TOUCH_DRIVER_FLAGS -fno-exceptions -fno-rtti -Wall -Wextra -Werror)

if(TOUCH_TARGET_WINDOWS)
    set(TOUCH_DDK_INCLUDE "${CMAKE_FIND_ROOT_PATH}/include/ddk")
    if(NOT EXISTS "${TOUCH_DDK_INCLUDE}/ntddk.h")
        set(TOUCH_DDK_INCLUDE "/usr/share/mingw-w64/include/ddk")
    endif()
endif()

function(add_driver_library name)
    add_library(${name} STATIC ${ARGN})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE ${TOUCH_DRIVER_FLAGS})
    if(TOUCH_TARGET_WINDOWS)
        target_compile_features(${name} PRIVATE cxx_std_17)
        target_include_directories(${name} SYSTEM PUBLIC ${TOUCH_DDK_INCLUDE})
        target_compile_definitions(${name} PUBLIC _WIN32_WINNT=0x0500 NTDDI_VERSION=0x05000000)
        target_compile_options(${name} PRIVATE -ffreestanding -fno-asynchronous-unwind-tables
                                               -fno-threadsafe-statics)
    else()
        target_link_libraries(${name} PUBLIC platform_kernel platform_usb)
    endif()
endfunction()

# add_driver_image(NAME LIBRARY IMPORTS...): links NAME.sys as a native image
# with entry DriverEntry, importing only from the given import libraries.
function(add_driver_image name library)
    if(NOT TOUCH_TARGET_WINDOWS)
        return()
    endif()
    add_executable(${name} ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
    set_target_properties(${name} PROPERTIES SUFFIX ".sys" PREFIX "")
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
        set(entry "_DriverEntry@8")
    else()
        set(entry "DriverEntry")
    endif()
    target_link_options(${name} PRIVATE -nostdlib -shared -Wl,--subsystem,native
                        -Wl,--entry,${entry} -Wl,--image-base,0x10000
                        -Wl,--file-alignment,0x200 -Wl,--section-alignment,0x1000)
    target_link_libraries(${name} PRIVATE -Wl,--whole-archive ${library} -Wl,--no-whole-archive
                          ${ARGN} gcc)
endfunction()
