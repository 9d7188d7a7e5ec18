# What an installation holds under its prefix ROOT, checked the same way for an install
# into a folder and for the Debian package: every file, a valid desktop entry and a
# valid software-centre description, and a command-line program that starts.
function(check_installed_tree root)
  foreach(f bin/letrafex bin/letrafex-cli
            share/letrafex/LScripts/English.lng share/letrafex/LScripts/German.lng
            share/applications/org.letrafex.Letrafex.desktop
            share/metainfo/org.letrafex.Letrafex.metainfo.xml
            share/mime/packages/letrafex.xml
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
  execute_process(COMMAND desktop-file-validate ${root}/share/applications/org.letrafex.Letrafex.desktop
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate: ${rc} ${out}")
  endif()
  execute_process(COMMAND appstreamcli validate --no-net ${root}/share/metainfo/org.letrafex.Letrafex.metainfo.xml
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate: ${rc} ${out}")
  endif()
  execute_process(COMMAND ${root}/bin/letrafex-cli --help RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the installed letrafex-cli does not start")
  endif()
endfunction()
