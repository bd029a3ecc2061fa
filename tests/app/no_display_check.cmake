# Starts talvo where no platform plugin it would try can reach a display: it must say so in
# one line and end with status 1, not abort inside the toolkit.
# Usage: cmake -DTALVO=<talvo> -P no_display_check.cmake
set(expected
    "No display: the calculator opens a desktop window; run this in a graphical session.\n")
# Environment of each case: none at all, X11 asked for with only Wayland there, and the reverse.
set(cases "-" "QT_QPA_PLATFORM=xcb WAYLAND_DISPLAY=wayland-0" "QT_QPA_PLATFORM=wayland DISPLAY=:0")
foreach(case IN LISTS cases)
    separate_arguments(variables UNIX_COMMAND "${case}")
    list(REMOVE_ITEM variables "-")
    execute_process(
        COMMAND env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ${variables} ${TALVO}
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
    if(NOT status STREQUAL "1" OR NOT out STREQUAL "" OR NOT err STREQUAL expected)
        message(FATAL_ERROR "with '${case}': status ${status}, output '${out}', errors '${err}'")
    endif()
endforeach()
