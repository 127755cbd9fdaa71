# Installs into a scratch prefix and checks that the desktop pieces land where desktops look.
set(prefix "${BUILD_DIR}/install-check")
file(REMOVE_RECURSE "${prefix}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
foreach(f bin/tessel share/applications/org.tessel.Tessel.desktop
          share/metainfo/org.tessel.Tessel.metainfo.xml
          share/icons/hicolor/scalable/apps/org.tessel.Tessel.svg)
  if(NOT EXISTS "${prefix}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(REMOVE_RECURSE "${prefix}")
