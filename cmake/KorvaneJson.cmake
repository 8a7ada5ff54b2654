# nlohmann/json (Debian: nlohmann-json3-dev), header-only, for the run log.
# Its headers live in the build machine's /usr/include, which a cross build
# must not put on its include path whole (the host's C headers would shadow
# mingw's): the library's own folder is linked into a folder of the build and
# only that one is added, for the native build and the cross build alike.
find_path(KORVANE_JSON_INCLUDE nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH)
if(NOT KORVANE_JSON_INCLUDE)
    message(FATAL_ERROR "nlohmann/json.hpp was not found: install nlohmann-json3-dev")
endif()
set(korvane_json_dir ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${korvane_json_dir})
if(NOT EXISTS ${korvane_json_dir}/nlohmann/json.hpp)
    file(CREATE_LINK ${KORVANE_JSON_INCLUDE}/nlohmann ${korvane_json_dir}/nlohmann SYMBOLIC)
endif()
add_library(korvane_json INTERFACE)
target_include_directories(korvane_json SYSTEM INTERFACE ${korvane_json_dir})
# Errors are values in the core: the reader asks for them instead of catching.
target_compile_definitions(korvane_json INTERFACE JSON_USE_IMPLICIT_CONVERSIONS=0)
