# Installs the build into an empty folder, then builds the Debian package with cpack; both
# must hold every file in its standard place, and the package its Qt dependencies.
# Usage: cmake -DBUILD=<build dir> -DOUT=<empty folder> -DDPKG_DEB=<dpkg-deb> -P package_check.cmake
set(files
    bin/talvo
    share/applications/org.talvo.SoilMoisture.desktop
    share/metainfo/org.talvo.SoilMoisture.metainfo.xml
    share/icons/hicolor/scalable/apps/org.talvo.SoilMoisture.svg)
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${OUT}/prefix
                RESULT_VARIABLE failed OUTPUT_QUIET)
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} --config ${BUILD}/CPackConfig.cmake -G DEB
                        -B ${OUT}/deb RESULT_VARIABLE failed_deb OUTPUT_QUIET)
if(failed OR failed_deb)
    message(FATAL_ERROR "cmake --install or cpack -G DEB failed")
endif()
# Without a talvo_1.00 package the contents are empty, and the file check below fails.
file(GLOB package ${OUT}/deb/talvo_1.00_*.deb)
execute_process(COMMAND ${DPKG_DEB} --contents ${package} OUTPUT_VARIABLE contents)
execute_process(COMMAND ${DPKG_DEB} --field ${package} Depends OUTPUT_VARIABLE depends)
foreach(file ${files})
    string(FIND "${contents}" " ./usr/${file}\n" at)
    if(NOT EXISTS ${OUT}/prefix/${file} OR at EQUAL -1)
        message(FATAL_ERROR "not installed or not in the package: ${file}")
    endif()
endforeach()
if(NOT depends MATCHES "libqt6widgets6" OR NOT depends MATCHES "qt6-qpa-plugins")
    message(FATAL_ERROR "the package lacks a Qt dependency: ${depends}")
endif()
