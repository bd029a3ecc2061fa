# Writes a help2man section MODELS from PROGRAM --list-models --long into OUTPUT, as preformatted
# troff text. Usage: cmake -DPROGRAM=... -DOUTPUT=... -P model_sheets.cmake
execute_process(COMMAND ${PROGRAM} --list-models --long
                OUTPUT_VARIABLE text RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --list-models --long failed: ${status}")
endif()
# troff reads a backslash as an escape and a line starting with a dot or a quote as a request.
string(REPLACE "\\" "\\e" text "${text}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
file(WRITE ${OUTPUT} "[MODELS]\n.nf\n${text}.fi\n")
