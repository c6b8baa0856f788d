# Installing and packing.
#
# `cmake --install` puts two sets of files under the prefix, one per install
# component:
#   game  bin/cargame (games/cargame for the prefix /usr), the menu entry
#         share/applications/cargame.desktop, the icon
#         share/icons/hicolor/scalable/apps/cargame.svg, the manual page
#         share/man/man6/cargame.6.gz and share/doc/cargame/ (copyright,
#         changelog.gz)
#   dev   include/qelma/qelma.h, lib*/libqelma.a, lib*/cmake/QELMA/,
#         lib*/pkgconfig/qelma.pc, and share/doc/libqelma-dev/ (copyright,
#         changelog.gz, examples/ with the example programs' sources)
# The `uninstall` target removes what the last install from this tree put
# there (install_manifest.txt).
#
# `cpack -G DEB` makes one Debian package per component: `cargame` (section
# games; its shared libraries become dependencies through dpkg-shlibdeps)
# and `libqelma-dev` (section libdevel; depends on qt6-base-dev). The
# packages install under the prefix the tree was configured with, so
# configure with -DCMAKE_INSTALL_PREFIX=/usr: scripts/make-packages.sh does.
set(CPACK_PACKAGE_NAME "qelma")
set(CPACK_PACKAGE_VENDOR "QELMA developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")

if(NOT WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/debian/packages.cmake)
endif()

if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/windows_package.cmake)   # NSIS installer and zip
endif()
include(CPack)
