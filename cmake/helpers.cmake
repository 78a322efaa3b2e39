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
