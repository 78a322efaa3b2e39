# add_host_resources(NAME RC_FILE [MODULE module] [DEPENDS files...])
#
# Host build only: compiles RC_FILE with windres into a .res image and makes
# an OBJECT library NAME that registers those bytes as resource module
# MODULE (default: NAME) when the program's host binary starts. Link NAME
# into the host build of the program (or test) and start the program with
# ProgramSpec::module = MODULE; FindResourceA, DialogBoxParamA, LoadIconA
# and the rest then find the same compiled templates as on Windows, where
# the .rc is simply one of the executable's sources.
#
# The .rc is preprocessed with the mingw-w64 headers (so <windows.h> and
# <commctrl.h> work) and may include headers from its own folder or from the
# project root; icons and bitmaps in its folder are dependencies.
find_program(TOUCH_WINDRES NAMES x86_64-w64-mingw32-windres i686-w64-mingw32-windres windres)

function(add_host_resources name rc)
    cmake_parse_arguments(ARG "" "MODULE" "DEPENDS" ${ARGN})
    if(NOT ARG_MODULE)
        set(ARG_MODULE ${name})
    endif()
    if(NOT TOUCH_WINDRES)
        message(FATAL_ERROR "add_host_resources: windres (mingw-w64 binutils) not found")
    endif()
    get_filename_component(rc_path ${rc} ABSOLUTE)
    get_filename_component(rc_dir ${rc_path} DIRECTORY)
    file(GLOB rc_inputs CONFIGURE_DEPENDS ${rc_dir}/*.h ${rc_dir}/*.ico ${rc_dir}/*.bmp
         ${rc_dir}/*.cur)
    set(res ${CMAKE_CURRENT_BINARY_DIR}/${name}.res)
    set(source ${CMAKE_CURRENT_BINARY_DIR}/${name}_resources.cpp)
    add_custom_command(
        OUTPUT ${res}
        COMMAND ${TOUCH_WINDRES} -I ${rc_dir} -I ${PROJECT_SOURCE_DIR} -O res -i ${rc_path}
                -o ${res}
        DEPENDS ${rc_path} ${rc_inputs} ${ARG_DEPENDS}
        WORKING_DIRECTORY ${rc_dir}
        COMMENT "windres ${rc}"
        VERBATIM)
    add_custom_command(
        OUTPUT ${source}
        COMMAND ${CMAKE_COMMAND} -DRES=${res} -DOUT=${source} -DMODULE=${ARG_MODULE} -P
                ${PROJECT_SOURCE_DIR}/cmake/embed_resources.cmake
        DEPENDS ${res} ${PROJECT_SOURCE_DIR}/cmake/embed_resources.cmake
        VERBATIM)
    add_library(${name} OBJECT ${source})
    target_link_libraries(${name} PUBLIC platform_win32)
endfunction()
