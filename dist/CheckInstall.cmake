# Installs the build in BUILD_DIR into WORK_DIR with DESTDIR and checks what lands there.
file(REMOVE_RECURSE ${WORK_DIR})
set(ENV{DESTDIR} ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /opt/letrafex
  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${err}")
endif()
set(root ${WORK_DIR}/opt/letrafex)
foreach(f bin/letrafex bin/letrafex-cli
          share/letrafex/LScripts/English.lng share/letrafex/LScripts/German.lng
          share/applications/letrafex.desktop share/mime/packages/letrafex.xml
          share/icons/hicolor/scalable/apps/letrafex.svg
          share/icons/hicolor/48x48/apps/letrafex.png share/icons/hicolor/256x256/apps/letrafex.png)
  if(NOT EXISTS ${root}/${f})
    message(FATAL_ERROR "missing after install: ${f}")
  endif()
endforeach()
foreach(d Help Texts)
  if(NOT IS_DIRECTORY ${root}/share/letrafex/${d})
    message(FATAL_ERROR "missing after install: share/letrafex/${d}")
  endif()
endforeach()
execute_process(COMMAND desktop-file-validate ${root}/share/applications/letrafex.desktop
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate: ${rc} ${out}")
endif()
# The installed command-line program runs from the prefix.
execute_process(COMMAND ${root}/bin/letrafex-cli --help RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the installed letrafex-cli does not start")
endif()
