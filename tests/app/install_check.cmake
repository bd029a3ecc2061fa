# Installs the build into an empty folder and checks that every file lands in its standard
# place. Usage: cmake -DBUILD=<build dir> -DPREFIX=<empty folder> -P install_check.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
    message(FATAL_ERROR "cmake --install failed")
endif()
foreach(file
        bin/talvo
        share/applications/org.talvo.SoilMoisture.desktop
        share/metainfo/org.talvo.SoilMoisture.metainfo.xml
        share/icons/hicolor/scalable/apps/org.talvo.SoilMoisture.svg)
    if(NOT EXISTS ${PREFIX}/${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
