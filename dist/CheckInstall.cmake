# Installs the build in BUILD_DIR into WORK_DIR with DESTDIR and checks what lands there.
include(${CMAKE_CURRENT_LIST_DIR}/InstalledFiles.cmake)
file(REMOVE_RECURSE ${WORK_DIR})
set(ENV{DESTDIR} ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /opt/letrafex
  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${err}")
endif()
check_installed_tree(${WORK_DIR}/opt/letrafex)
