# The Windows package of a Win32 build (the `windows` preset): the car game
# and the kit for writing QELMA programs with Visual Studio or MinGW-w64, as a 64-bit NSIS
# installer and as a zip of the same files.
#
#   cpack --config build/windows/CPackConfig.cmake -B build/windows/package
#   (or scripts/package-windows.sh)
#
# The installed folder:
#   cargame.exe                         the game (icon and version resource)
#   Getting started on Windows.txt      how to play and how to build a program
#   LICENSE.txt
#   include/qelma/qelma.h               the kit: header,
#   bin/qelma.dll                       the library as a DLL, for any compiler,
#   bin/qelma-replay.exe                a script replayed into pictures, a GIF, a check,
#   lib/qelma.lib, lib/libqelma.dll.a   its import libraries (Visual Studio, MinGW-w64),
#   lib/libqelma.a                      static library for MinGW-w64,
#   lib/cmake/QELMA/                    CMake package (QELMA::qelma),
#   lib/pkgconfig/qelma.pc              pkg-config file,
#   examples/                           the three examples and a CMakeLists.txt
#   Uninstall.exe                       (the installer only)
#
# The installer installs for the current user, without administrator rights,
# into %LOCALAPPDATA%\Programs\QELMA unless told otherwise (/D=); it runs
# silently with /S. A registered installation is removed by its own
# uninstaller before the new files go in, so there is always one. Its script
# is packaging/windows/NSIS.template.in.
include_guard(GLOBAL)

set(QELMA_WINDOWS_DIR ${PROJECT_SOURCE_DIR}/packaging/windows)

# The game's icon and version information, as Explorer and the Start menu
# show them.
configure_file(${QELMA_WINDOWS_DIR}/cargame.rc.in ${PROJECT_BINARY_DIR}/packaging/cargame.rc @ONLY)
target_sources(cargame PRIVATE ${PROJECT_BINARY_DIR}/packaging/cargame.rc)
set_property(SOURCE ${PROJECT_BINARY_DIR}/packaging/cargame.rc APPEND PROPERTY
             OBJECT_DEPENDS ${QELMA_WINDOWS_DIR}/cargame.ico)

# The game at the top of the folder, so that it runs from there; the kit in
# the prefix layout that find_package and pkg-config expect (installed by
# qelma/CMakeLists.txt).
install(TARGETS cargame RUNTIME DESTINATION .)

# Texts with Windows line ends, so that every editor shows their lines.
configure_file(${QELMA_WINDOWS_DIR}/getting-started.txt
               "${PROJECT_BINARY_DIR}/packaging/Getting started on Windows.txt"
               @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/packaging/LICENSE.txt
               @ONLY NEWLINE_STYLE CRLF)
install(FILES "${PROJECT_BINARY_DIR}/packaging/Getting started on Windows.txt"
              ${PROJECT_BINARY_DIR}/packaging/LICENSE.txt
        DESTINATION .)

# The examples' sources with a CMakeLists.txt that builds them against the kit.
install(FILES ${PROJECT_SOURCE_DIR}/examples/hello.c
              ${PROJECT_SOURCE_DIR}/examples/shapes.c
              ${PROJECT_SOURCE_DIR}/examples/bounce.c
              ${QELMA_WINDOWS_DIR}/examples/CMakeLists.txt
        DESTINATION examples)

# CPack: the same staged files go into both packages.
set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_PACKAGING_INSTALL_PREFIX "")
set(CPACK_PACKAGE_FILE_NAME "qelma-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "QELMA")
# One registration whatever the version, so that a newer installer finds and
# replaces an older installation.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "QELMA")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_BINARY_DIR}/packaging/LICENSE.txt)
set(CPACK_STRIP_FILES ON)
set(CPACK_MODULE_PATH ${QELMA_WINDOWS_DIR})   # our NSIS.template.in
set(CPACK_NSIS_PACKAGE_NAME "QELMA ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME "QELMA")
set(CPACK_NSIS_MUI_ICON ${QELMA_WINDOWS_DIR}/cargame.ico)
set(CPACK_NSIS_MUI_UNIICON ${QELMA_WINDOWS_DIR}/cargame.ico)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
# The install rules name components (game, dev) for the Debian packages;
# the Windows packages hold every file in one folder all the same.
set(CPACK_MONOLITHIC_INSTALL ON)
