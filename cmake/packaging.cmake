# The Debian package: `cpack -G DEB` in a build tree packs everything that
# `cmake --install` installs (the game with its menu entry and icon, and the
# library with its header, CMake package and pkg-config file).
#
# The package installs under the prefix the tree was configured with, so
# that the paths written into qelma.pc and the installed files agree. For a
# package that follows Debian's layout, configure with
# -DCMAKE_INSTALL_PREFIX=/usr (README, "Making the Debian package").
set(CPACK_PACKAGE_NAME "qelma")
set(CPACK_PACKAGE_VENDOR "QELMA developers")
set(CPACK_PACKAGE_CONTACT "QELMA developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "QELMA car game and the QELMA graphics-and-events library")
set(CPACK_PACKAGE_DESCRIPTION
    "cargame, a desktop car game: drive the red car along a two-lane road, earn points for each crossing and keep clear of the other cars. Also the QELMA library it is built on (static library, C header, CMake package and pkg-config file) for writing programs of your own.")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "QELMA developers")
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The shared libraries the game links (Qt 6, the C++ runtime) become
# dependencies through dpkg-shlibdeps; the font that the text is drawn in is
# loaded at run time, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")

set(CPACK_GENERATOR "DEB")
if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/windows_package.cmake)   # NSIS installer and zip
endif()
include(CPack)
