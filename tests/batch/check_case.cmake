# Runs talvo-batch once and compares what a script would see: standard output (or the
# --output file) byte for byte, the one line on standard error, the exit status.
#   NAME, EXE, ARGS (separated by |), SOURCE (holding expected/), CASES (copies of the inputs,
#   where the tool runs), STDIN (a file in CASES, optional), STATUS (default 0), STDERR, OUTPUT (true: the table went to NAME.csv)
string(REPLACE "|" ";" args "${ARGS}")
set(stdin /dev/null)
if(STDIN)
    set(stdin "${CASES}/${STDIN}")
endif()
if(NOT STATUS)
    set(STATUS 0)
endif()
set(stdout "${CMAKE_CURRENT_BINARY_DIR}/${NAME}.stdout")
set(produced "${stdout}")
if(OUTPUT)
    set(produced "${CMAKE_CURRENT_BINARY_DIR}/${NAME}.csv")
    file(REMOVE "${produced}")
endif()

execute_process(COMMAND "${EXE}" ${args}
    WORKING_DIRECTORY "${CASES}" INPUT_FILE "${stdin}" OUTPUT_FILE "${stdout}"
    ERROR_VARIABLE stderr RESULT_VARIABLE status)

string(REGEX REPLACE "\n$" "" stderr "${stderr}")
# Lines of STDERR are separated by a written \n, so that they pass through add_test as one word.
string(REPLACE "\\n" "\n" STDERR "${STDERR}")
if(NOT "${status}: ${stderr}" STREQUAL "${STATUS}: ${STDERR}")
    message(SEND_ERROR "exit status and standard error:\n  ${status}: ${stderr}\n"
                       "expected:\n  ${STATUS}: ${STDERR}")
endif()
file(READ "${stdout}" text)
if(OUTPUT AND NOT text STREQUAL "")
    message(SEND_ERROR "standard output should be empty with --output:\n${text}")
endif()

set(wanted "")
if(EXISTS "${SOURCE}/expected/${NAME}.csv")
    file(READ "${SOURCE}/expected/${NAME}.csv" wanted HEX)
endif()
file(READ "${produced}" got HEX)
if(NOT got STREQUAL wanted)
    file(READ "${produced}" text)
    message(SEND_ERROR "output differs from expected/${NAME}.csv:\n${text}")
endif()
