# Sourced by the scripts that build a library from Debian's own source
# package (build-freetype.sh, build-replay-libs.sh); they define die().
#   debian_source SRCPKG VERSION WORK
# unpacks the source of SRCPKG at VERSION into WORK/SRCPKG-VERSION, the path
# left in $srcdir, downloading it once. An empty VERSION takes the newest
# the package sources have (its version is kept in WORK/SRCPKG.version). The source comes through apt with a
# private configuration: the system's own package sources turned into
# deb-src ones, and private package lists and cache, so that nothing of the
# system's apt changes.
debian_source() {
    if [ -z "$2" ] && [ -f "$3/$1.version" ] && [ -f "$3/$1-$(cat "$3/$1.version")/.unpacked" ]; then
        srcdir=$3/$1-$(cat "$3/$1.version")
        return 0
    fi
    srcdir=$3/$1-$2
    [ -z "$2" ] || [ ! -f "$srcdir/.unpacked" ] || return 0
    apt_dir=$3/apt
    rm -rf "$apt_dir"
    mkdir -p "$apt_dir/sources" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/download"
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        sed 's/^Types:.*/Types: deb-src/' "$f" >"$apt_dir/sources/$(basename "$f")"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >"$apt_dir/sources/$(basename "$f" .list).list"
    done
    [ -n "$(cat "$apt_dir"/sources/* 2>/dev/null)" ] ||
        die "no package sources found in /etc/apt to download the source of $1 from"
    pkg=$1 ver=$2 work=$3
    set -- "$1" "$2" -o Dir::Etc::sourceparts="$apt_dir/sources" -o Dir::Etc::sourcelist=/dev/null \
        -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache"
    shift 2
    if ! apt-get -q "$@" update >"$apt_dir/update.log" 2>&1; then
        cat "$apt_dir/update.log" >&2
        die "could not read the source package lists (apt-get update failed)"
    fi
    if [ -z "$ver" ]; then
        # The newest version whose files can be had (a mirror may lack some).
        for candidate in $(apt-cache "$@" showsrc "$pkg" 2>/dev/null |
            sed -n 's/^Version: //p' | sort -u -r -V); do
            if [ -f "$work/$pkg-$candidate/.unpacked" ] ||
                (cd "$apt_dir/download" && apt-get -q "$@" source --download-only "$pkg=$candidate") \
                    >"$apt_dir/source.log" 2>&1; then
                ver=$candidate
                break
            fi
            rm -f "$apt_dir/download/"*
        done
        [ -n "$ver" ] || die "no source of $pkg could be downloaded from the package sources"
        srcdir=$work/$pkg-$ver
        if [ -f "$srcdir/.unpacked" ]; then
            echo "$ver" >"$work/$pkg.version"
            return 0
        fi
    fi
    echo "$(basename "$0" .sh): downloading the source of $pkg $ver"
    if ! [ -f "$apt_dir/download/${pkg}_${ver#*:}.dsc" ] &&
        ! (cd "$apt_dir/download" && apt-get -q "$@" source --download-only "$pkg=$ver") \
        >"$apt_dir/source.log" 2>&1; then
        cat "$apt_dir/source.log" >&2
        die "could not download the source of $pkg $ver (apt-get source failed)"
    fi
    rm -rf "$srcdir" "$srcdir.tmp"
    if ! dpkg-source -x "$apt_dir/download/${pkg}_${ver#*:}.dsc" "$srcdir.tmp" \
        >"$apt_dir/unpack.log" 2>&1; then
        cat "$apt_dir/unpack.log" >&2
        die "could not unpack the source of $pkg $ver"
    fi
    mv "$srcdir.tmp" "$srcdir"
    touch "$srcdir/.unpacked"
    echo "$ver" >"$work/$pkg.version"
    rm -rf "$apt_dir/download"
}
