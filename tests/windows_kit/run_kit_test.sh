#!/bin/sh
# The Windows installer and kit, tried under Wine as a user would.
#
#   run_kit_test.sh package  makes the installer and the zip of this build
#                            and checks what they hold
#   run_kit_test.sh install  installs silently into a folder with spaces and
#                            non-ASCII letters, plays the game to Ctrl+Q,
#                            builds a program of a user and the kit's
#                            examples against the installed kit (CMake and
#                            one compiler line), runs them, and uninstalls
#   run_kit_test.sh upgrade  installs an older version, then this one over it
#                            and again into another folder: one working
#                            installation each time; the user's own files
#                            survive the uninstaller, none of ours do
#
# Environment (set by tests/windows_kit/CMakeLists.txt): BUILD_DIR,
# SOURCE_DIR, WORK_DIR (packages in WORK_DIR/package, made by "package"),
# KIT_DRIVER (kit_driver.exe), WINE, MINGW_CC, MINGW_CXX, MINGW_RC, and
# WINEPREFIX and DISPLAY for Wine.
set -eu

stage=${1:?usage: run_kit_test.sh package|install|upgrade}
: "${BUILD_DIR:?}" "${SOURCE_DIR:?}" "${WORK_DIR:?}" "${KIT_DRIVER:?}" "${WINE:?}"
: "${MINGW_CC:?}" "${MINGW_CXX:?}" "${MINGW_RC:?}" "${WINEPREFIX:?}"
# Folder names with non-ASCII letters go through Wine as UTF-8.
export LC_ALL=C.UTF-8
export WINEDEBUG=-all
# No Linux menu entries for the Start-menu shortcuts the installer makes.
export WINEDLLOVERRIDES="winemenubuilder.exe=d"

packages="$WORK_DIR/package"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$BUILD_DIR/CPackConfig.cmake")
installer="$packages/qelma-$version-win64.exe"
zip="$packages/qelma-$version-win64.zip"

failures=0
fail() {
    printf 'FAILED: %s\n' "$*" >&2
    failures=$((failures + 1))
}
step() { echo "== $*"; }
finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "windows kit $stage: all checks passed"
    exit 0
}

# The files of a package, relative to its top folder, sorted.
zip_files() {
    unzip -Z1 "$zip" | sed -n "s|^qelma-$version-win64/||p" | grep -v '/$' | LC_ALL=C sort
}
tree_files() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }

hex() { od -An -tx1 -v | tr -d ' \n'; }
winpath() { "$WINE" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
# Waits for every Wine process of the prefix (the uninstaller goes on in a
# copy of itself after the program started has ended).
wine_settle() { timeout 300 wineserver -w; }
driver() { "$WINE" "$KIT_DRIVER" "$@"; }

# install FOLDER [INSTALLER]: the silent installation, /D= as its last
# argument, unquoted even with spaces, as NSIS takes it.
install() {
    rc=0
    driver run "$(winpath "${2:-$installer}")" /S "/D=$(winpath "$1")" || rc=$?
    wine_settle
    return $rc
}
# Uninstalls as Apps & Features does: runs the registered UninstallString.
uninstall() {
    uninstaller=$(reg_value UninstallString | sed 's/^"\(.*\)"$/\1/')
    [ -n "$uninstaller" ] || { fail "no UninstallString registered"; return; }
    driver run "$uninstaller" /S
    wine_settle
}
reg_value() { driver reg "$1" 2>/dev/null || true; }
registered() { driver reg; }
# Leaves the prefix without QELMA, as a fresh one is: removes an
# installation that an interrupted run left behind.
clean_prefix() {
    if registered; then
        uninstaller=$(reg_value UninstallString | sed 's/^"\(.*\)"$/\1/')
        driver run "$uninstaller" /S || true
        wine_settle
        registered && "$WINE" reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\QELMA' /f
    fi
    menu=$(start_menu)
    [ -z "$menu" ] || rm -rf "$menu"
    wine_settle
}

start_menu() {
    find "$WINEPREFIX/drive_c/users" -path '*/Start Menu/Programs/QELMA' -type d | head -n 1
}
# Everything in the prefix outside Wine's own Windows folder, and the
# registry lines that name QELMA. The uninstaller's temporary copy of itself
# (%TEMP%\~nsuN.tmp), which NSIS leaves for Windows to remove, is left out.
prefix_state() {
    wine_settle
    (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -print) |
        grep -v '/Temp/~nsu[^/]*\.tmp' | LC_ALL=C sort
    grep -i 'qelma' "$WINEPREFIX"/*.reg || true
}

# hold_game DIR ROOT: the game in DIR runs in the background until
# release_game ROOT lets Ctrl+Q end it; returns once it shows its windows
# (at most a minute).
hold_game() {
    rm -f "$2/go"
    : >"$2/held.log"
    driver quit "$(winpath "$1/cargame.exe")" "$(winpath "$1")" "$(winpath "$2/go")" \
        >"$2/held.log" 2>&1 &
    held=$!
    waited=0
    until grep -q 'both windows are shown' "$2/held.log" || [ $waited -ge 600 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    grep -q 'both windows are shown' "$2/held.log" ||
        fail "the held game did not start: $(cat "$2/held.log")"
}

# release_game ROOT: the game that hold_game started ends, with code 0.
release_game() {
    touch "$1/go"
    code=0
    wait "$held" || code=$?
    [ "$code" -eq 0 ] || fail "the held game ended with $code: $(cat "$1/held.log")"
}

# same_prefix ROOT: the prefix is as it was before the installation.
same_prefix() {
    prefix_state >"$1/after.txt"
    if ! cmp -s "$1/before.txt" "$1/after.txt"; then
        fail "the Wine prefix differs from before the installation:"
        diff "$1/before.txt" "$1/after.txt" >&2 || true
    fi
}

# check_installed FOLDER: every file of the zip, the uninstaller, the
# Start-menu entries and the registration of FOLDER.
check_installed() {
    folder=$1
    [ -d "$folder" ] || { fail "no folder $folder"; return; }
    zip_files >"$WORK_DIR/expected.txt"
    echo "Uninstall.exe" >>"$WORK_DIR/expected.txt"
    LC_ALL=C sort -o "$WORK_DIR/expected.txt" "$WORK_DIR/expected.txt"
    tree_files "$folder" | grep -v -x 'QELMA.SCR' >"$WORK_DIR/installed.txt" || true
    if ! cmp -s "$WORK_DIR/expected.txt" "$WORK_DIR/installed.txt"; then
        fail "installed files differ from the package's:"
        diff "$WORK_DIR/expected.txt" "$WORK_DIR/installed.txt" >&2 || true
    fi
    menu=$(start_menu)
    for link in "QELMA Car Game.lnk" "Getting started on Windows.lnk"; do
        [ -n "$menu" ] && [ -f "$menu/$link" ] || fail "no Start-menu entry $link"
    done
    # The game's shortcut holds the installed game's path (in UTF-16).
    if [ -n "$menu" ] && ! hex <"$menu/QELMA Car Game.lnk" |
        grep -q "$(printf '%s' "$(winpath "$folder")\\cargame.exe" | iconv -t UTF-16LE | hex)"; then
        fail "the game's shortcut does not point at $(winpath "$folder")\\cargame.exe"
    fi
    [ "$(reg_value InstallLocation)" = "$(winpath "$folder")" ] ||
        fail "registered location '$(reg_value InstallLocation)' is not $(winpath "$folder")"
    [ "$(reg_value DisplayVersion)" = "${2:-$version}" ] ||
        fail "registered version '$(reg_value DisplayVersion)', expected ${2:-$version}"
}

# play FOLDER: the installed game starts in its folder and ends with code 0
# through Ctrl+Q.
play() {
    if driver quit "$(winpath "$1/cargame.exe")" "$(winpath "$1")"; then
        echo "cargame ended with code 0"
    else
        fail "cargame under Wine did not end with code 0 through Ctrl+Q"
    fi
}

subsystem() {
    x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^Subsystem[[:space:]]*[0-9a-f]*[[:space:]]*//p'
}
# run_app EXE SUBSYSTEM: the program has that subsystem and exits with 0.
run_app() {
    [ -f "$1" ] || { fail "$1 was not built"; return; }
    sub=$(subsystem "$1")
    [ "$sub" = "$2" ] || fail "$(basename "$1") is '$sub', expected '$2'"
    if "$WINE" "$1" >"$1.out" 2>&1; then
        echo "$(basename "$1") ($sub) ran: $(tr -d '\r' <"$1.out" | tail -n 1)"
    else
        fail "$(basename "$1") exited with $? under Wine"
        cat "$1.out" >&2
    fi
}

# build_with_cmake SOURCE BUILD PREFIX: a user's CMake project, for Windows,
# with the kit found through CMAKE_PREFIX_PATH.
build_with_cmake() {
    if ! cmake -S "$1" -B "$2" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_C_COMPILER="$MINGW_CC" -DCMAKE_CXX_COMPILER="$MINGW_CXX" \
        -DCMAKE_RC_COMPILER="$MINGW_RC" -DCMAKE_PREFIX_PATH="$3" >"$2.log" 2>&1 ||
        ! cmake --build "$2" -j2 >>"$2.log" 2>&1; then
        fail "CMake build of $1 against $3 failed:"
        cat "$2.log" >&2
        return 1
    fi
}

# ------------------------------------------------------------------ package
if [ "$stage" = package ]; then
    rm -rf "$packages"
    mkdir -p "$packages"
    step "cpack (NSIS and ZIP)"
    if ! cpack --config "$BUILD_DIR/CPackConfig.cmake" -B "$packages" >"$packages/cpack.log" 2>&1; then
        cat "$packages/cpack.log" >&2
        exit 1
    fi
    [ -f "$installer" ] || fail "no installer $installer"
    [ -f "$zip" ] || fail "no zip $zip"
    [ "$failures" -eq 0 ] || finish
    ls -l "$installer" "$zip"

    # A 64-bit program: "PE\0\0" then machine 0x8664.
    pe=$(od -An -tu4 -j60 -N4 "$installer" | tr -d ' ')
    machine=$(od -An -tx1 -j$((pe + 4)) -N2 "$installer" | tr -d ' ')
    [ "$machine" = "6486" ] || fail "the installer is not an x86-64 program (machine $machine)"

    step "package contents"
    zip_files >"$WORK_DIR/zip.txt"
    cat "$WORK_DIR/zip.txt"
    for f in cargame.exe "Getting started on Windows.txt" LICENSE.txt include/qelma/qelma.h \
        lib/libqelma.a bin/qelma.dll lib/libqelma.dll.a lib/qelma.lib lib/cmake/QELMA/QELMAConfig.cmake lib/cmake/QELMA/QELMAConfigVersion.cmake \
        lib/cmake/QELMA/QELMATargets.cmake lib/pkgconfig/qelma.pc examples/CMakeLists.txt \
        examples/hello.c examples/shapes.c examples/bounce.c; do
        grep -q -x -F "$f" "$WORK_DIR/zip.txt" || fail "the zip lacks $f"
    done
    # The installer holds the same files: those its uninstaller deletes.
    nsi="$packages/_CPack_Packages/win64/NSIS/project.nsi"
    sed -n 's/^ *Delete "\$INSTDIR\\\(.*\)"$/\1/p' "$nsi" | tr '\\' '/' | LC_ALL=C sort |
        while read -r f; do
            if [ -f "$packages/_CPack_Packages/win64/NSIS/qelma-$version-win64/$f" ]; then echo "$f"; fi
        done \
            >"$WORK_DIR/nsis.txt"
    cmp -s "$WORK_DIR/zip.txt" "$WORK_DIR/nsis.txt" || {
        fail "the installer's files differ from the zip's:"
        diff "$WORK_DIR/zip.txt" "$WORK_DIR/nsis.txt" >&2 || true
    }

    # The kit works wherever it is unpacked: no path of this machine in its
    # text files.
    unzip -q -o "$zip" -d "$WORK_DIR/unzipped"
    kit="$WORK_DIR/unzipped/qelma-$version-win64"
    if grep -r -l -I -e "$SOURCE_DIR" -e "$BUILD_DIR" -e '/usr/' "$kit" >"$WORK_DIR/paths.txt"; then
        fail "paths of the build machine in: $(cat "$WORK_DIR/paths.txt")"
    fi
    grep -q -x 'Libs: -L${libdir} -lqelma -luser32 -lgdi32 -lkernel32 -lstdc++' "$kit/lib/pkgconfig/qelma.pc" ||
        fail "qelma.pc does not link the Windows libraries: $(grep Libs "$kit/lib/pkgconfig/qelma.pc")"
    grep -q 'INTERFACE_LINK_LIBRARIES.*user32;gdi32;kernel32' "$kit/lib/cmake/QELMA/QELMATargets.cmake" ||
        fail "QELMA::qelma does not bring user32, gdi32 and kernel32"
    # Texts for Windows editors: every line ends in CR LF.
    for f in "Getting started on Windows.txt" LICENSE.txt; do
        lines=$(wc -l <"$kit/$f")
        crlf=$(grep -c "$(printf '\r')\$" "$kit/$f" || true)
        [ "$lines" -gt 0 ] && [ "$lines" -eq "$crlf" ] || fail "$f has lines without CR LF"
    done

    step "the game's icon"
    # The icon is made from the game's SVG icon; it is stale when the SVG
    # changed since (packaging/windows/make-icon.sh makes it anew).
    (cd "$SOURCE_DIR" && sha256sum -c --quiet packaging/windows/cargame.ico.source) ||
        fail "packaging/windows/cargame.ico is older than game/cargame.svg: run packaging/windows/make-icon.sh"
    driver icon "$(winpath "$kit/cargame.exe")" || fail "cargame.exe lacks its icon or version"
    finish
fi

[ -f "$installer" ] || {
    echo "no installer $installer: the windows_kit_package test makes it" >&2
    exit 1
}

# ------------------------------------------------------------------ install
if [ "$stage" = install ]; then
    root="$WORK_DIR/install"
    clean_prefix
    rm -rf "$root"
    mkdir -p "$root"
    prefix_state >"$root/before.txt"
    folder="$root/Programme für Spiele 試験/QELMA"

    step "silent installation into $folder"
    install "$folder" || fail "the installer exited with $?"
    check_installed "$folder"

    step "the installed game"
    play "$folder"

    step "a user's program with CMake (find_package(QELMA))"
    if build_with_cmake "$SOURCE_DIR/tests/windows_kit/consumer" "$root/consumer-cmake" "$folder"; then
        # QELMA::qelma is qelma.dll, copied beside the programs by the package.
        x86_64-w64-mingw32-objdump -p "$root/consumer-cmake/app_console.exe" | grep -q 'DLL Name: qelma.dll' ||
            fail "app_console.exe does not use qelma.dll"
        cmp -s "$root/consumer-cmake/qelma.dll" "$folder/bin/qelma.dll" ||
            fail "qelma.dll was not copied beside the programs in their build folder"
        run_app "$root/consumer-cmake/app_console.exe" "(Windows CUI)"
        grep -q 'app: QELMA_QUIT received' "$root/consumer-cmake/app_console.exe.out" ||
            fail "the console program printed nothing on its console"
        run_app "$root/consumer-cmake/app_windowed.exe" "(Windows GUI)"
        run_app "$root/consumer-cmake/app_winmain.exe" "(Windows GUI)"
    fi

    step "a user's program with one compiler line"
    mkdir -p "$root/consumer-line"
    app="$SOURCE_DIR/tests/windows_kit/consumer/app.c"
    for kind in console windowed winmain; do
        case $kind in
        console) flags="" ;;
        windowed) flags="-mwindows" ;;
        winmain) flags="-mwindows -DAPP_WINMAIN" ;;
        esac
        # shellcheck disable=SC2086
        "$MINGW_CC" -std=c11 -Wall -Wextra -Werror $flags -o "$root/consumer-line/app_$kind.exe" "$app" \
            -I"$folder/include" -L"$folder/lib" -lqelma -luser32 -lgdi32 -lkernel32 -lstdc++ -static ||
            fail "the compiler line for the $kind program failed"
    done
    run_app "$root/consumer-line/app_console.exe" "(Windows CUI)"
    run_app "$root/consumer-line/app_windowed.exe" "(Windows GUI)"
    run_app "$root/consumer-line/app_winmain.exe" "(Windows GUI)"

    step "the kit's examples, copied out and built with their CMakeLists.txt"
    cp -r "$folder/examples" "$root/my examples"
    if build_with_cmake "$root/my examples" "$root/my examples/build" "$folder"; then
        for example in hello shapes bounce; do
            exe="$root/my examples/build/$example.exe"
            [ "$(subsystem "$exe")" = "(Windows GUI)" ] || fail "$example.exe is not a windowed program"
            driver quit "$(winpath "$exe")" || fail "$example.exe did not end with code 0 through Ctrl+Q"
        done
    fi

    step "installing over an unregistered copy whose game runs"
    # The zip unpacked into a folder and its game running: the installer
    # touches nothing there and says so.
    unzip -q "$zip" -d "$root/unpacked"
    copy="$root/unpacked/qelma-$version-win64"
    hold_game "$copy" "$root"
    code=0
    driver run "$(winpath "$installer")" /S "/D=$(winpath "$copy")" || code=$?
    [ "$code" -eq 2 ] || fail "installing over the running game exited with $code, not 2"
    [ ! -e "$copy/Uninstall.exe" ] || fail "the installer went on while the game ran"
    release_game "$root"

    step "uninstall"
    uninstall
    [ ! -e "$folder" ] || fail "left behind in $folder: $(tree_files "$folder" | tr '\n' ' ')"
    registered && fail "the registration is left"
    [ -z "$(start_menu)" ] || fail "the Start-menu folder is left"
    same_prefix "$root"
    finish
fi

# ------------------------------------------------------------------ upgrade
if [ "$stage" = upgrade ]; then
    root="$WORK_DIR/upgrade"
    clean_prefix
    rm -rf "$root"
    mkdir -p "$root/old-extra"
    prefix_state >"$root/before.txt"

    step "an older version's installer"
    # The same files as version 0.0.1, with one that this version no longer
    # has.
    echo "a file of the older version" >"$root/old-extra/old-only.txt"
    old_installer="$root/old/qelma-0.0.1-win64.exe"
    {
        cat "$BUILD_DIR/CPackConfig.cmake"
        echo 'set(CPACK_GENERATOR "NSIS")'
        echo 'set(CPACK_PACKAGE_VERSION "0.0.1")'
        echo 'set(CPACK_PACKAGE_VERSION_MINOR "0")'
        echo 'set(CPACK_PACKAGE_VERSION_PATCH "1")'
        echo 'set(CPACK_NSIS_PACKAGE_NAME "QELMA 0.0.1")'
        echo 'set(CPACK_PACKAGE_FILE_NAME "qelma-0.0.1-win64")'
        echo "set(CPACK_INSTALLED_DIRECTORIES \"$root/old-extra;.\")"
    } >"$root/CPackConfig-old.cmake"
    cpack --config "$root/CPackConfig-old.cmake" -B "$root/old" >"$root/cpack-old.log" 2>&1 || {
        cat "$root/cpack-old.log" >&2
        exit 1
    }

    first="$root/first/QELMA"
    step "older version into $first"
    install "$first" "$old_installer" || fail "the older installer exited with $?"
    [ -f "$first/old-only.txt" ] || fail "the older version's own file is not installed"
    [ "$(reg_value DisplayVersion)" = "0.0.1" ] || fail "the older version is not registered"

    step "this version over it, into the same folder"
    install "$first" || fail "the installer exited with $?"
    [ ! -e "$first/old-only.txt" ] || fail "the older version's file is left"
    check_installed "$first"
    play "$first"

    step "pkg-config with the installed qelma.pc"
    if command -v pkg-config >/dev/null 2>&1; then
        flags=$(PKG_CONFIG_PATH="$first/lib/pkgconfig" pkg-config --cflags --libs qelma)
        # shellcheck disable=SC2086
        "$MINGW_CC" -std=c11 -Wall -Werror -o "$root/app_pc.exe" "$SOURCE_DIR/tests/windows_kit/consumer/app.c" \
            $flags -static || fail "the pkg-config compiler line failed ($flags)"
        run_app "$root/app_pc.exe" "(Windows CUI)"
    fi

    second="$root/Zweiter Ordner – ÄÖÜ/QELMA"
    step "this version again, into $second"
    install "$second" || fail "the installer exited with $?"
    [ ! -e "$first" ] || fail "the first installation is left: $(tree_files "$first" | tr '\n' ' ')"
    check_installed "$second"
    play "$second"

    step "this version again, into the same folder"
    install "$second" || fail "the installer exited with $?"
    check_installed "$second"
    play "$second"

    step "uninstall a copy of the installed folder"
    # The copy's files go; the registered installation keeps its Start-menu
    # entries and its registration.
    cp -r "$second" "$root/copy"
    code=0
    driver run "$(winpath "$root/copy/Uninstall.exe")" /S "_?=$(winpath "$root/copy")" || code=$?
    [ "$code" -eq 0 ] || fail "uninstalling the copy exited with $code"
    left=$(tree_files "$root/copy" | grep -v -x 'Uninstall.exe' | tr '\n' ' ')
    [ -z "$left" ] || fail "uninstalling the copy left $left"
    check_installed "$second"

    step "uninstall and install while the game runs"
    hold_game "$second" "$root"
    # The uninstaller runs in place (_?=) so that its own exit code is seen.
    code=0
    driver run "$(winpath "$second/Uninstall.exe")" /S "_?=$(winpath "$second")" || code=$?
    [ "$code" -eq 2 ] || fail "uninstalling while the game runs exited with $code, not 2"
    # Installing elsewhere runs the registered installation's uninstaller
    # first, which refuses; so the installer stops before it writes a file.
    # (Not through install, which waits for every Wine process, the held
    # game too; the installer waits for the old uninstaller itself.)
    code=0
    driver run "$(winpath "$installer")" /S "/D=$(winpath "$root/third/QELMA")" || code=$?
    [ "$code" -eq 2 ] || fail "installing while the registered game runs exited with $code, not 2"
    [ ! -e "$root/third/QELMA/cargame.exe" ] || fail "the installer went on while the registered game ran"
    release_game "$root"
    # Nothing was taken away: the installation is whole and still works.
    check_installed "$second"
    play "$second"

    step "uninstall, with a file of the user's in the folder"
    echo "QELMA_KBD(120);" >"$second/QELMA.SCR"
    uninstall
    left=$(tree_files "$second" | tr '\n' ' ')
    [ "$left" = "QELMA.SCR " ] || fail "after uninstalling, the folder holds '$left', not only the user's QELMA.SCR"
    registered && fail "the registration is left"
    [ -z "$(start_menu)" ] || fail "the Start-menu folder is left"
    same_prefix "$root"
    finish
fi

echo "unknown stage $stage" >&2
exit 2
