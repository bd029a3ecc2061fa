# Builds the Debian package with cpack and checks its contents and dependencies.
# Usage: cmake -DBUILD=<build dir> -DOUT=<folder> -DDPKG_DEB=<dpkg-deb> -P deb_check.cmake
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} --config ${BUILD}/CPackConfig.cmake -G DEB -B ${OUT}
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
    message(FATAL_ERROR "cpack -G DEB failed")
endif()
file(GLOB package ${OUT}/talvo_1.00_*.deb)
if(NOT package)
    message(FATAL_ERROR "no talvo_1.00 package in ${OUT}")
endif()
execute_process(COMMAND ${DPKG_DEB} --contents ${package} OUTPUT_VARIABLE contents)
execute_process(COMMAND ${DPKG_DEB} --field ${package} Depends OUTPUT_VARIABLE depends)
foreach(file
        ./usr/bin/talvo
        ./usr/share/applications/org.talvo.SoilMoisture.desktop
        ./usr/share/metainfo/org.talvo.SoilMoisture.metainfo.xml
        ./usr/share/icons/hicolor/scalable/apps/org.talvo.SoilMoisture.svg)
    string(FIND "${contents}" " ${file}\n" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "not in the package: ${file}")
    endif()
endforeach()
foreach(dependency libqt6widgets6 qt6-qpa-plugins)
    string(FIND "${depends}" "${dependency}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the package does not depend on ${dependency}: ${depends}")
    endif()
endforeach()
