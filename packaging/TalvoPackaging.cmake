# One Debian package per program. A program's folder declares its package and installs into
# it with two calls:
#
#   talvo_add_package(talvo-map SECTION science
#       SUMMARY "..." DESCRIPTION "..." [DEPENDS pkg ...] [RECOMMENDS pkg ...])
#   talvo_install_program(talvo-map PACKAGE talvo-map MANUAL_FROM_HELP "one-line summary"
#       BASH_COMPLETION)
#
# A library such as the Python module declares its package the same way and installs its
# files into it by component:
#
#   talvo_add_package(python3-talvo SECTION python SUMMARY "..." DESCRIPTION "..."
#       DEPENDS python3)
#   install(TARGETS talvo_python LIBRARY DESTINATION lib/python3/dist-packages
#       COMPONENT python3-talvo)
#
# packaging/CMakeLists.txt writes the CPack configuration once every folder has declared its
# package.
include_guard(GLOBAL)

# Declares the Debian package <package>; it is also the name of the install component.
# Its shared-library dependencies are found by dpkg-shlibdeps; DEPENDS names only what the
# program loads or needs without linking it.
function(talvo_add_package package)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "SECTION;SUMMARY;DESCRIPTION"
                          "DEPENDS;RECOMMENDS")
    if(NOT arg_SECTION OR NOT arg_SUMMARY OR NOT arg_DESCRIPTION)
        message(FATAL_ERROR "talvo_add_package(${package}): SECTION, SUMMARY and "
                            "DESCRIPTION are required")
    endif()
    include(GNUInstallDirs)
    set_property(GLOBAL APPEND PROPERTY TALVO_PACKAGES ${package})
    foreach(field SECTION SUMMARY DESCRIPTION DEPENDS RECOMMENDS)
        set_property(GLOBAL PROPERTY TALVO_PACKAGE_${package}_${field} "${arg_${field}}")
    endforeach()

    # Every package carries the project's copyright and changelog, as Debian requires.
    set(doc ${CMAKE_INSTALL_DATADIR}/doc/${package})
    install(FILES ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/debian/copyright
                  ${PROJECT_BINARY_DIR}/packaging/changelog.gz
            DESTINATION ${doc} COMPONENT ${package})
endfunction()

# Installs the executable <target> into <package> with its manual page: MANUAL names a
# troff page written by hand (@PROJECT_VERSION@ in it is replaced), MANUAL_FROM_HELP has help2man make one from --help and
# --version, with the given one-line summary and the sections of linux/<target>.h2m if there
# is one; MODEL_SHEETS adds a MODELS section from the program's --list-models --long, so that
# the page says what the program says. BASH_COMPLETION adds a completion that reads the options from --help when the user
# presses Tab.
function(talvo_install_program target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "BASH_COMPLETION;MODEL_SHEETS"
                          "PACKAGE;MANUAL;MANUAL_FROM_HELP" "")
    if(NOT arg_PACKAGE OR (NOT arg_MANUAL AND NOT arg_MANUAL_FROM_HELP))
        message(FATAL_ERROR "talvo_install_program(${target}): PACKAGE and MANUAL or "
                            "MANUAL_FROM_HELP are required")
    endif()
    include(GNUInstallDirs)
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
            COMPONENT ${arg_PACKAGE})

    set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${target}.1)
    if(arg_MANUAL_FROM_HELP)
        find_program(HELP2MAN help2man REQUIRED)
        # Dated by the changelog, not by the clock, so that builds are reproducible.
        get_property(date GLOBAL PROPERTY TALVO_RELEASE_TIMESTAMP)
        set(make_page ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${date}
                      ${HELP2MAN} --no-info --name ${arg_MANUAL_FROM_HELP} --output ${page})
        set(page_source ${target})
        # Sections --help does not give, such as EXAMPLES and SEE ALSO.
        set(extra ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/linux/${target}.h2m)
        if(EXISTS ${extra})
            list(APPEND make_page --include ${extra})
            list(APPEND page_source ${extra})
        endif()
        set(make_sheets ${CMAKE_COMMAND} -E true)
        if(arg_MODEL_SHEETS)
            set(sheets ${CMAKE_CURRENT_BINARY_DIR}/man/${target}-models.h2m)
            set(make_sheets ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DOUTPUT=${sheets}
                            -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/linux/model_sheets.cmake)
            list(APPEND make_page --include ${sheets})
        endif()
        list(APPEND make_page $<TARGET_FILE:${target}>)
    else()
        # A page by hand may name the version as @PROJECT_VERSION@.
        configure_file(${arg_MANUAL} ${page}.in @ONLY)
        set(page_source ${page}.in)
        set(make_page ${CMAKE_COMMAND} -E copy ${page}.in ${page})
        set(make_sheets ${CMAKE_COMMAND} -E true)
    endif()
    # -n leaves out the name and time, so the same sources give the same package.
    find_program(GZIP gzip REQUIRED)
    add_custom_command(OUTPUT ${page}.gz
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
                       COMMAND ${make_sheets}
                       COMMAND ${make_page}
                       COMMAND ${GZIP} -9nf ${page}
                       DEPENDS ${page_source}
                       COMMENT "Manual page ${target}.1"
                       VERBATIM)
    add_custom_target(${target}_manual ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
            COMPONENT ${arg_PACKAGE})

    if(arg_BASH_COMPLETION)
        set(PROGRAM ${target})
        set(completion ${CMAKE_CURRENT_BINARY_DIR}/completions/${target})
        configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/linux/bash-completion.in
                       ${completion} @ONLY)
        install(FILES ${completion}
                DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
                COMPONENT ${arg_PACKAGE})
    endif()
endfunction()

# Breaks <text> into lines of at most 79 characters, as the Description field wants them.
function(talvo_wrap_text text out)
    # A semicolon would split a word as a list item: carry it through as another character.
    string(ASCII 1 semicolon)
    string(REPLACE ";" "${semicolon}" text "${text}")
    string(REGEX REPLACE "[ \n]+" ";" words "${text}")
    set(lines "")
    set(line "")
    foreach(word ${words})
        string(LENGTH "${line} ${word}" length)
        if(line STREQUAL "")
            set(line "${word}")
        elseif(length GREATER 79)
            string(APPEND lines "${line}\n")
            set(line "${word}")
        else()
            string(APPEND line " ${word}")
        endif()
    endforeach()
    string(REPLACE "${semicolon}" ";" text "${lines}${line}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Sets the CPack variables of every declared package and writes the CPack configuration.
# packaging/CMakeLists.txt defers it to the end of the top-level CMakeLists.txt.
function(talvo_write_package_configuration)
    get_property(packages GLOBAL PROPERTY TALVO_PACKAGES)
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGE_NAME talvo)
    set(CPACK_PACKAGE_VENDOR "TALVO")
    set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_STRIP_FILES ON)
    set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/cpack_options.cmake)
    set(CPACK_COMPONENTS_ALL ${packages})
    set(CPACK_DEB_COMPONENT_INSTALL ON)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "TALVO developers <talvo@example.org>")
    # Not 0755 by default under a restrictive umask; lintian wants it.
    set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
        OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    foreach(package ${packages})
        string(TOUPPER ${package} id)
        foreach(field SECTION SUMMARY DESCRIPTION DEPENDS RECOMMENDS)
            get_property(${field} GLOBAL PROPERTY TALVO_PACKAGE_${package}_${field})
        endforeach()
        set(CPACK_DEBIAN_${id}_PACKAGE_NAME ${package})
        set(CPACK_DEBIAN_${id}_PACKAGE_SOURCE talvo)
        set(CPACK_DEBIAN_${id}_PACKAGE_SECTION ${SECTION})
        talvo_wrap_text("${DESCRIPTION}" DESCRIPTION)
        set(CPACK_DEBIAN_${id}_DESCRIPTION "${SUMMARY}\n${DESCRIPTION}")
        set(CPACK_DEBIAN_${id}_PACKAGE_SHLIBDEPS ON)
        list(JOIN DEPENDS ", " CPACK_DEBIAN_${id}_PACKAGE_DEPENDS)
        list(JOIN RECOMMENDS ", " CPACK_DEBIAN_${id}_PACKAGE_RECOMMENDS)
    endforeach()
    include(CPack)
endfunction()
