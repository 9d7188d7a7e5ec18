# The Debian package: `cpack -G DEB` (or the `package` target) in the build folder makes
# letrafex_<version>_amd64.deb from what `cmake --install` puts under /usr. dpkg-shlibdeps
# finds the libraries the two programs link; the fonts the program names and Qt's own
# texts in the program's languages are added by hand, as nothing links them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME letrafex)
set(CPACK_PACKAGE_VENDOR Letrafex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Letrafex <info@letrafex.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture maker for styled, shadowed and 3D text")
set(CPACK_PACKAGE_DESCRIPTION
  "Letrafex makes pictures of up to ten styled texts (gradients, picture fills, shadows and 3D extrusion) over gradients, textures or photos, and saves, exports, copies or prints them. letrafex-cli draws the same pictures for batch work.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://letrafex.org)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, qt6-translations-l10n")
include(CPack)
