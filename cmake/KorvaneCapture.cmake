# Run at build time: writes what PROGRAM prints for ARG into OUT (a manual
# page or a completion script the program draws from its own option table).
execute_process(COMMAND ${EMULATOR} "${PROGRAM}" "${ARG}" OUTPUT_FILE "${OUT}.tmp"
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    file(REMOVE "${OUT}.tmp")
    message(FATAL_ERROR "${PROGRAM} ${ARG} failed: ${rc}")
endif()
file(RENAME "${OUT}.tmp" "${OUT}")
