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

# korvane_add_gtest(name SOURCES ... LIBS ...): one test executable, its
# tests registered with CTest one by one.
include(GoogleTest)
function(korvane_add_gtest name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
    set(props "")
    if(ARG_LABELS)
        set(props LABELS "${ARG_LABELS}")
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props} TIMEOUT ${ARG_TIMEOUT})
endfunction()
