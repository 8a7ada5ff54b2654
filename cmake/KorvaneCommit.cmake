# Run at build time: writes OUT with the version and, in a git checkout, the
# commit the build comes from ("-dirty" when the tree has changes). Without git
# or .git (a source tarball) the commit is left empty. The file is rewritten
# only when its text changes, so that an unchanged commit rebuilds nothing.
set(commit "")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS "${SRC}/.git")
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SRC}" rev-parse --short=12 HEAD
                    OUTPUT_VARIABLE head RESULT_VARIABLE rc ERROR_QUIET
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(rc EQUAL 0 AND head MATCHES "^[0-9a-f]+$")
        set(commit "${head}")
        execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SRC}" diff --quiet HEAD --
                        RESULT_VARIABLE dirty ERROR_QUIET)
        if(dirty EQUAL 1)
            string(APPEND commit "-dirty")
        endif()
    endif()
endif()
set(text "// Generated at build time by cmake/KorvaneCommit.cmake; do not edit.\n#pragma once\n#define KORVANE_VERSION \"${VERSION}\"\n#define KORVANE_COMMIT \"${commit}\"\n")
if(EXISTS "${OUT}")
    file(READ "${OUT}" old)
else()
    set(old "")
endif()
if(NOT old STREQUAL text)
    file(WRITE "${OUT}" "${text}")
endif()
