# Runs talvo-batch once and compares what a script would see: standard output (or the
# --output file) byte for byte, the one line on standard error, the exit status.
#   EXE, ARGS (separated by |), CASES (working folder), STDIN (file in CASES, optional),
#   EXPECTED (file with the expected output; none: no output), STATUS, STDERR,
#   OUTPUT_FILE (the --output target, optional)
string(REPLACE "|" ";" args "${ARGS}")
set(stdin /dev/null)
if(STDIN)
    set(stdin "${CASES}/${STDIN}")
endif()
set(actual "${CMAKE_CURRENT_BINARY_DIR}/${NAME}.stdout")
if(OUTPUT_FILE)
    file(REMOVE "${OUTPUT_FILE}")
endif()

execute_process(
    COMMAND "${EXE}" ${args}
    WORKING_DIRECTORY "${CASES}"
    INPUT_FILE "${stdin}"
    OUTPUT_FILE "${actual}"
    ERROR_VARIABLE stderr
    RESULT_VARIABLE status)

if(NOT status STREQUAL STATUS)
    message(SEND_ERROR "exit status ${status}, expected ${STATUS}")
endif()
string(REGEX REPLACE "\n$" "" stderr "${stderr}")
if(NOT stderr STREQUAL STDERR)
    message(SEND_ERROR "standard error:\n  ${stderr}\nexpected:\n  ${STDERR}")
endif()

set(produced "${actual}")
if(OUTPUT_FILE)
    file(READ "${actual}" stdout)
    if(NOT stdout STREQUAL "")
        message(SEND_ERROR "standard output should be empty with --output:\n${stdout}")
    endif()
    set(produced "${OUTPUT_FILE}")
    if(NOT EXISTS "${OUTPUT_FILE}")
        file(WRITE "${OUTPUT_FILE}.missing" "")
        set(produced "${OUTPUT_FILE}.missing")
    endif()
endif()
set(wanted "")
if(EXPECTED)
    file(READ "${EXPECTED}" wanted HEX)
endif()
file(READ "${produced}" got HEX)
if(NOT got STREQUAL wanted)
    file(READ "${produced}" text)
    message(SEND_ERROR "output differs from ${EXPECTED}:\n${text}")
endif()
