# The Debian side of installing and packing: the documentation folders, the
# uninstall target and the two packages (see packaging.cmake).
include(GNUInstallDirs)

set(QELMA_PACKAGE_MAINTAINER "QELMA developers <qelma@example.org>"
    CACHE STRING "Maintainer field (name and address) of the Debian packages")
# The date of the release that the packages' changelog records.
set(QELMA_RELEASE_DATE "Tue, 08 Dec 2026 12:00:00 +0000")

# Each package's documentation folder: the licence as a machine-readable
# copyright file, and a compressed changelog, as Debian expects of every
# package.
set(QELMA_DEBIAN_DIR ${PROJECT_BINARY_DIR}/debian)
find_program(QELMA_GZIP gzip)
# Every package holds QELMA's faces, built into the library: Liberation Sans
# and Liberation Mono (SIL Open Font License, whose text Debian's
# fonts-liberation2 carries). The web kit also holds FreeType (the FreeType
# License, from Debian's libfreetype6) and giflib (MIT and ISC licences, from
# Debian's libgif7). Their stanzas follow QELMA's.
function(qelma_extra_copyright file package)
    file(READ /usr/share/doc/fonts-liberation2/copyright font)
    string(REGEX MATCH "Copyright:\n[^\n]*\n[^\n]*\nLicense: SIL-OFL-1.1\n.*\n\nFiles: debian"
           font "${font}")
    string(REGEX REPLACE "(\n \\.)*\n\nFiles: debian$" "" font "${font}")
    if(NOT font)
        message(FATAL_ERROR "The licence of QELMA's faces was not found")
    endif()
    set(holders usr/lib/*/libqelma.a)
    if(package STREQUAL "cargame")
        set(holders usr/games/cargame)
    elseif(package STREQUAL "libqelma-web-dev")
        set(holders usr/lib/wasm32-emscripten/libqelma.a)
    endif()
    file(APPEND ${file} "\nFiles: ${holders}\n${font}\n")
    if(NOT package STREQUAL "libqelma-web-dev")
        return()
    endif()
    file(READ /usr/share/doc/libfreetype6/copyright freetype)
    string(REGEX MATCH "\nLicense: FTL\n +The FreeType Project LICENSE\n.*" freetype "${freetype}")
    string(REGEX REPLACE "\n\n.*" "" freetype "${freetype}")
    string(REGEX REPLACE "^\nLicense: FTL" "" freetype "${freetype}")
    file(READ /usr/share/doc/libgif7/copyright gif)
    string(REGEX MATCH "\nLicense: ISC\n.*\n\nFiles: debian" isc "${gif}")
    string(REGEX REPLACE "\n\nFiles: debian$" "" isc "${isc}")
    string(REGEX REPLACE "^\nLicense: ISC" "" isc "${isc}")
    string(REGEX MATCH "\n\nLicense: MIT\n [^\n]*Permission.*" mit "${gif}")
    string(REGEX REPLACE "^\n\nLicense: MIT" "" mit "${mit}")
    string(REGEX REPLACE "\n+$" "" mit "${mit}")
    if(NOT freetype OR NOT isc OR NOT mit)
        message(FATAL_ERROR "The licences of FreeType and giflib were not found")
    endif()
    file(APPEND ${file} "\nFiles: ${holders}\nCopyright: 1996-2022 David Turner, Robert Wilhelm and "
                        "Werner Lemberg\nComment: FreeType, built into the library\n"
                        "License: FTL${freetype}\n"
                        "\nFiles: ${holders}\nCopyright: 1989 Gershon Elber\n 1992-1997 Eric S. Raymond\n"
                        "Comment: giflib, built into the library for the page's GIF\n"
                        "License: MIT${mit}\n"
                        "\nFiles: ${holders}\nCopyright: 2008 Otto Moerbeek\n"
                        "Comment: giflib's reallocarray, built into the library\n"
                        "License: ISC${isc}\n")
endfunction()
if(EMSCRIPTEN)
    set(QELMA_DEBIAN_PACKAGES libqelma-web-dev)
else()
    set(QELMA_DEBIAN_PACKAGES cargame libqelma-dev)
endif()
foreach(package IN LISTS QELMA_DEBIAN_PACKAGES)
    if(package STREQUAL "cargame")
        set(component game)
    elseif(package STREQUAL "libqelma-web-dev")
        set(component web)
    else()
        set(component dev)
    endif()
    set(QELMA_PACKAGE ${package})
    file(READ ${PROJECT_SOURCE_DIR}/LICENSE QELMA_LICENSE_TEXT)
    # In a copyright file the licence text is indented by one space and an
    # empty line is written as " .".
    string(REGEX REPLACE "\n$" "" QELMA_LICENSE_TEXT "${QELMA_LICENSE_TEXT}")
    string(REPLACE "\n\n" "\n.\n" QELMA_LICENSE_TEXT "${QELMA_LICENSE_TEXT}")
    string(REPLACE "\n" "\n " QELMA_LICENSE_TEXT "${QELMA_LICENSE_TEXT}")
    string(REGEX REPLACE "^Copyright[^\n]*\n .\n " "" QELMA_LICENSE_BODY "${QELMA_LICENSE_TEXT}")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/copyright.in
                   ${QELMA_DEBIAN_DIR}/${package}/copyright @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in
                   ${QELMA_DEBIAN_DIR}/${package}/changelog @ONLY)
    qelma_extra_copyright(${QELMA_DEBIAN_DIR}/${package}/copyright ${package})
    set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package})
    install(FILES ${QELMA_DEBIAN_DIR}/${package}/copyright DESTINATION ${doc_dir}
            COMPONENT ${component})
    if(QELMA_GZIP)
        # -n leaves out the name and time, so the package is reproducible.
        execute_process(COMMAND ${QELMA_GZIP} -9nf ${QELMA_DEBIAN_DIR}/${package}/changelog)
        install(FILES ${QELMA_DEBIAN_DIR}/${package}/changelog.gz DESTINATION ${doc_dir}
                COMPONENT ${component})
    endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/examples/first.c ${PROJECT_SOURCE_DIR}/examples/hello.c
              ${PROJECT_SOURCE_DIR}/examples/shapes.c ${PROJECT_SOURCE_DIR}/examples/bounce.c
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libqelma-dev/examples COMPONENT dev)

# `cmake --build <tree> --target uninstall`
add_custom_target(uninstall
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${PROJECT_BINARY_DIR}/install_manifest.txt
            -P ${PROJECT_SOURCE_DIR}/cmake/uninstall.cmake
    COMMENT "Removing the files of the last install from this tree"
    VERBATIM)

set(CPACK_PACKAGE_CONTACT "${QELMA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR "DEB")

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL game dev)
if(EMSCRIPTEN)
    set(CPACK_COMPONENTS_ALL web)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QELMA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Debian's description: a synopsis line, then paragraphs (CPack wraps them).
set(CPACK_DEBIAN_GAME_PACKAGE_NAME "cargame")
set(CPACK_DEBIAN_GAME_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_GAME_DESCRIPTION "drive a red car along a two-lane road
cargame is a small desktop car game. The player drives a red car left and
right along a road near the bottom of the picture: each crossing of the
screen to the right earns 10 points, each crossing to the left costs 10,
and coming close to another car in the same lane ends the game with an
explosion. Above 30 points night falls.

The car is steered with eight on-screen buttons or the keypad digits 2, 4,
6 and 8; clicks on the road add more cars. A Run menu controls the
animation and records the player's events into a script that can be played
back.

The game is the first program of the QELMA graphics-and-events library,
whose files for developers are in the package libqelma-dev.")
# The shared libraries the game links (Qt 6, FreeType, the C++ runtime)
# become dependencies through dpkg-shlibdeps; its faces are built in.
set(CPACK_DEBIAN_GAME_PACKAGE_SHLIBDEPS ON)
# The single package of earlier versions held these files.
set(CPACK_DEBIAN_GAME_PACKAGE_BREAKS "qelma")
set(CPACK_DEBIAN_GAME_PACKAGE_REPLACES "qelma")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME "libqelma-dev")
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION "libdevel")
set(CPACK_DEBIAN_DEV_DESCRIPTION "graphics-and-events library with a C interface - development files
QELMA opens two windows, a 601 x 540 drawing window with a Run menu and a
text window with a message log. A program draws circles, triangles,
rectangles, ovals and text in 24 named colours on an off-screen canvas and
receives one event at a time: a mouse click, a typed character, a 100 ms
tick or quit. The events can be recorded into a script and played back.

This package holds the static library, the C header qelma/qelma.h, a CMake
package (find_package(QELMA)), a pkg-config file (qelma), the sources of
the example programs, qelma-replay, which replays a program's script
without a screen into pictures, an animated GIF or a check against a
reference picture, and qelma-check, which checks a whole class of programs
against a task's pictures, each in a sandbox (with bubblewrap). QELMA is
written in C++ on Qt 6.")
# qelma-replay's libraries (giflib, libpng) through dpkg-shlibdeps.
set(CPACK_DEBIAN_DEV_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "qt6-base-dev, libfreetype-dev")
# qelma-check's sandbox.
set(CPACK_DEBIAN_DEV_PACKAGE_RECOMMENDS "bubblewrap")
set(CPACK_DEBIAN_DEV_PACKAGE_BREAKS "qelma")
set(CPACK_DEBIAN_DEV_PACKAGE_REPLACES "qelma")

# Built for the browser (scripts/make-packages.sh --web), the tree makes the
# web kit: the same library as WebAssembly, which no machine runs directly.
set(CPACK_DEBIAN_WEB_PACKAGE_NAME "libqelma-web-dev")
set(CPACK_DEBIAN_WEB_PACKAGE_SECTION "libdevel")
set(CPACK_DEBIAN_WEB_PACKAGE_ARCHITECTURE "all")
set(CPACK_DEBIAN_WEB_PACKAGE_DEPENDS "emscripten, cmake")
set(CPACK_DEBIAN_WEB_DESCRIPTION "graphics-and-events library with a C interface - web pages
QELMA opens a drawing window with a Run menu and a text window with a
message log; a program draws in 24 named colours and receives one event at
a time: a mouse click, a typed character, a 100 ms tick or quit.

This package makes a QELMA program a web page: the library built for the
browser with Emscripten, the page and its scripts, the page's font
(Liberation Sans), a CMake package for emcmake (find_package(QELMA) and
qelma_add_web_page()) and the command qelma-web-page, which turns a C file
into a folder that any static web host serves.")
