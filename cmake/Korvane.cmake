# Project-wide build rules. Everything compiled here is our own code, so
# warnings are errors everywhere; third-party headers come in as system includes.
add_compile_options(-Wall -Wextra -Wpedantic -Werror)

if(KORVANE_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

if(KORVANE_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

# Fuzz builds: every library of ours gives the fuzzers coverage feedback
# from inside, and runs under the sanitizers.
if(KORVANE_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# Programs live together in build/bin so that files found "beside the
# executable" (settings, model list) are found the same way in tests.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# Every test runs with a data folder of the build's own, so that no run a
# test makes reaches the user's run log (the e2e harness hands it on to the
# programs it starts, or a folder of the test's own).
set(KORVANE_TEST_DATA ${CMAKE_BINARY_DIR}/test-data)
if(WIN32)
    set(KORVANE_TEST_ENV "LOCALAPPDATA=Z:${KORVANE_TEST_DATA}")
else()
    set(KORVANE_TEST_ENV "XDG_DATA_HOME=${KORVANE_TEST_DATA}")
endif()

# Linked into every test and benchmark program, so that even one started by
# hand keeps its runs out of the user's run log.
add_library(korvane_private_data_folder OBJECT ${PROJECT_SOURCE_DIR}/tests/private_data_folder.cpp)

# korvane_add_gtest(name SOURCES ... LIBS ...): one test executable, its
# tests registered with CTest one by one. WINDOWS_EXCLUDE names gtest
# patterns of tests that a Windows build leaves out (they need a service
# Windows lacks and cannot skip themselves).
include(GoogleTest)
function(korvane_add_gtest name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;WINDOWS_EXCLUDE" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads
                                          korvane_private_data_folder)
    set(props ENVIRONMENT "${KORVANE_TEST_ENV}")
    if(ARG_LABELS)
        list(APPEND props LABELS "${ARG_LABELS}")
    endif()
    if(CMAKE_CROSSCOMPILING)
        # One run per program: each start of a Windows program under Wine
        # costs a good part of a second, too much for every test alone.
        set(args "")
        if(WIN32 AND ARG_WINDOWS_EXCLUDE)
            list(JOIN ARG_WINDOWS_EXCLUDE ":" excluded)
            set(args "--gtest_filter=-${excluded}")
        endif()
        add_test(NAME ${name} COMMAND ${name} ${args})
        set_tests_properties(${name} PROPERTIES ${props} TIMEOUT ${ARG_TIMEOUT})
    else()
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props} TIMEOUT ${ARG_TIMEOUT})
    endif()
endfunction()

# korvane_platform_files(target POSIX a_posix.cpp ... WIN32 a_win32.cpp ...):
# both platforms' files named side by side; the build compiles its own. A
# service a platform has no file for (writing to a descriptor: Windows devices
# are handles) is simply not named there.
function(korvane_platform_files target)
    cmake_parse_arguments(ARG "" "" "POSIX;WIN32" ${ARGN})
    if(WIN32)
        target_sources(${target} PRIVATE ${ARG_WIN32})
    else()
        target_sources(${target} PRIVATE ${ARG_POSIX})
    endif()
endfunction()

# The library that holds `dir`/`header`.h: the folder's own, but for the few
# folders that hold more than one library.
function(korvane_library_of dir header out)
    set(library korvane_${dir})
    if(dir STREQUAL "logo" AND header MATCHES "^(picture|qt_path|logo_from_picture)$")
        set(library korvane_picture)  # the Qt picture decoder, apart from the core
    elseif(dir STREQUAL "widgets" AND header MATCHES "^(panel_controller|open_failure_sink)$")
        set(library korvane_panel_controller)
    elseif(dir STREQUAL "cli" AND header STREQUAL "command_docs")
        set(library korvane_command_docs)
    elseif(dir STREQUAL "system" AND header STREQUAL "version")
        set(library korvane_version)
    endif()
    set(${out} ${library} PARENT_SCOPE)
endfunction()

# korvane_check_fences(): every library and program of src/ links, itself,
# each library whose headers its files include, so that no target builds only
# by luck of what another one drags in; and nothing outside src/link includes
# a concrete link or device, which only the link manager picks. Called once
# every target exists; a breach stops the configuration and names the include.
function(korvane_check_fences)
    set(breaches "")
    set(concrete "^(udp_link|serial_link|usb_link|udp_socket|serial_port|usb_device)$")
    foreach(target korvane_system korvane_version korvane_link korvane_settings korvane_protocol
                   korvane_transfer korvane_discovery korvane_xml korvane_models korvane_logo
                   korvane_picture korvane_sim korvane-panel-sim korvane_command_docs korvane_cli
                   korvane-cli korvane_panel_controller korvane_widgets korvane_app korvane)
        if(NOT TARGET ${target})
            continue()
        endif()
        get_target_property(folder ${target} SOURCE_DIR)
        get_target_property(sources ${target} SOURCES)
        get_target_property(links ${target} LINK_LIBRARIES)
        set(files "")
        foreach(source ${sources})
            if(NOT IS_ABSOLUTE ${source})
                set(source ${folder}/${source})
            endif()
            if(NOT source MATCHES "\\.(cpp|h)$" OR NOT EXISTS ${source})
                continue()  # generated files and resources
            endif()
            get_filename_component(dir ${source} DIRECTORY)
            get_filename_component(stem ${source} NAME_WE)
            list(APPEND files ${source})
            if(EXISTS ${dir}/${stem}.h)
                list(APPEND files ${dir}/${stem}.h)
            endif()
        endforeach()
        list(REMOVE_DUPLICATES files)
        foreach(file ${files})
            file(STRINGS ${file} includes REGEX "^#include \"[a-z_]+/[a-z_0-9]+\\.h\"")
            foreach(line ${includes})
                string(REGEX REPLACE "^#include \"([a-z_]+)/([a-z_0-9]+)\\.h\".*" "\\1;\\2" parts "${line}")
                list(GET parts 0 dir)
                list(GET parts 1 header)
                if(dir STREQUAL "link" AND header MATCHES "${concrete}" AND
                   NOT target STREQUAL "korvane_link")
                    list(APPEND breaches "${target}: ${file} includes the concrete link/${header}.h")
                endif()
                korvane_library_of(${dir} ${header} needed)
                if(needed STREQUAL target)
                    continue()
                endif()
                if(NOT needed IN_LIST links)
                    list(APPEND breaches "${target}: ${file} includes ${dir}/${header}.h but does not link ${needed}")
                endif()
            endforeach()
        endforeach()
    endforeach()
    if(breaches)
        list(JOIN breaches "\n  " text)
        message(FATAL_ERROR "Build fences broken:\n  ${text}")
    endif()
endfunction()

# Where `cmake --install` and the Debian package put things. The programs,
# their model list and their resource bundle stay together in one private
# folder (lib/korvane, not the multiarch library folder), because each
# program finds those files beside its own executable; the bin folder holds
# links to them.
include(GNUInstallDirs)
set(KORVANE_INSTALL_PROGRAMDIR lib/korvane)

# korvane_generated_doc(target program arg output): OUTPUT is what the built
# PROGRAM prints for ARG (its manual page, its completion), made at build
# time, so that it never differs from the program's --help. A cross build
# without an emulator to run the program makes none.
function(korvane_generated_doc target program arg output)
    if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
        return()
    endif()
    # A manual page is also kept compressed, as installed manual pages are.
    set(outputs ${output})
    set(compress)
    if(output MATCHES "\\.[1-9]$")
        list(APPEND outputs ${output}.gz)
        set(compress COMMAND gzip -9nkf ${output})
    endif()
    add_custom_command(
        OUTPUT ${outputs}
        COMMAND ${CMAKE_COMMAND} "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
                -DPROGRAM=$<TARGET_FILE:${program}> -DARG=${arg} -DOUT=${output}
                -P ${PROJECT_SOURCE_DIR}/cmake/KorvaneCapture.cmake
        ${compress}
        DEPENDS ${program} ${PROJECT_SOURCE_DIR}/cmake/KorvaneCapture.cmake
        COMMENT "Writing ${output} from ${program} ${arg}"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
