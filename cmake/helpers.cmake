# add_gtest_suite(NAME DIR LIBS...): one GoogleTest executable from the
# *.cpp files of DIR, registered with CTest. Skipped while DIR has no tests.
function(add_gtest_suite name dir)
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main GTest::gmock
                          Threads::Threads)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()

# add_program(NAME RC rc SOURCES files... LIBS libs... [WINDOWS_LIBS libs...])
#
# A dialog program. On Windows NAME.exe, a GUI executable with its .rc, linked
# with LIBS and the system import libraries WINDOWS_LIBS. On the host a static
# library of the sources linked with LIBS, and its resources as module NAME,
# which register from a static initialiser (so every program linking NAME
# gets the object an archive would drop); the machine starts its entry.
function(add_program name)
    cmake_parse_arguments(ARG "" "RC" "SOURCES;LIBS;WINDOWS_LIBS" ${ARGN})
    if(TOUCH_TARGET_WINDOWS)
        add_executable(${name} WIN32 ${ARG_SOURCES} ${ARG_RC})
        target_compile_options(${name} PRIVATE -Wall -Wextra -Werror -fno-exceptions -fno-rtti)
        target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${ARG_WINDOWS_LIBS})
        target_link_options(${name} PRIVATE -static-libgcc -static-libstdc++)
    else()
        add_library(${name} STATIC ${ARG_SOURCES})
        # With type information, as the framework has it on the host (the
        # sanitizer checks objects against their dynamic type).
        target_compile_options(${name} PRIVATE -fno-exceptions)
        target_link_libraries(${name} PUBLIC ${ARG_LIBS})
        add_host_resources(${name}_resources ${ARG_RC} MODULE ${name})
        target_link_libraries(${name} INTERFACE $<TARGET_OBJECTS:${name}_resources>)
        add_dependencies(${name} ${name}_resources)
    endif()
endfunction()
