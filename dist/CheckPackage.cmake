# Makes the Debian package of the build in BUILD_DIR with cpack (which only installs what
# is built), unpacks it into a scratch root in WORK_DIR and checks it: the file name, the
# dependencies, every file, and the packaged letrafex-cli drawing a still and an animated
# picture with the system's libraries.
include(${CMAKE_CURRENT_LIST_DIR}/InstalledFiles.cmake)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND cpack -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
set(deb ${WORK_DIR}/letrafex_${VERSION}_${arch}.deb)
if(NOT rc EQUAL 0 OR NOT EXISTS ${deb})
  message(FATAL_ERROR "cpack made no ${deb}: ${rc} ${out}")
endif()

execute_process(COMMAND dpkg-deb --field ${deb} Depends OUTPUT_VARIABLE depends RESULT_VARIABLE rc)
foreach(needed fonts-liberation2 qt6-translations-l10n libqt6widgets6 libqt6svg6 libwebp7 libpng16-16 libc6)
  if(NOT depends MATCHES "(^|[ ,])${needed}([ ,(]|$)")
    message(FATAL_ERROR "the package does not depend on ${needed}: ${depends}")
  endif()
endforeach()

set(root ${WORK_DIR}/root)
execute_process(COMMAND dpkg -x ${deb} ${root} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dpkg -x: ${err}")
endif()
check_installed_tree(${root}/usr)

# The packaged program draws an items file, as a still and as an animation.
file(WRITE ${WORK_DIR}/items.txt "Letrafex,1,Arial,36,8,65535,32768,20,30,6,1,0,0,0\n")
foreach(out still.png grow.webp)
  set(args ${WORK_DIR}/items.txt ${WORK_DIR}/${out} --size 240x100)
  if(out MATCHES "webp$")
    list(APPEND args --animate grow)
  endif()
  execute_process(COMMAND ${root}/usr/bin/letrafex-cli render ${args} RESULT_VARIABLE rc ERROR_VARIABLE err)
  set(size 0)
  if(EXISTS ${WORK_DIR}/${out})
    file(SIZE ${WORK_DIR}/${out} size)
  endif()
  if(NOT rc EQUAL 0 OR size LESS 100)
    message(FATAL_ERROR "the packaged letrafex-cli did not draw ${out}: ${rc} ${err}")
  endif()
endforeach()
