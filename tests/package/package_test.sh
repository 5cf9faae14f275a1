#!/usr/bin/env bash
# Makes the Debian packages from a build with cpack and checks them:
#   package_test.sh BUILD WORK VERSION LIBPACKAGE SOVERSION LIBDIR QTPLUGINS
# lintian finds no error and no warning in any of them; the programs are in
# tarvix alone, the shared libraries and the helper in LIBPACKAGE alone, the
# headers, CMake package, links for the linker and Designer plugin in
# libtarvix-dev alone; everything is under /usr, in Debian's folders; no ELF
# file has a search path; the packages depend on each other's exact version
# and libtarvix-dev on qt6-base-dev. Exit 77 is a skip, with the reason printed.
set -euo pipefail
build=$1
work=$2
version=$3
libpkg=$4
soversion=$5
libdir=$6
qtplugins=$7
fail() { echo "FAIL: $*" >&2; exit 1; }

for tool in cpack dpkg-deb lintian readelf; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
        exit 77
    fi
done

rm -rf "$work"
mkdir -p "$work"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack failed"; }

arch=$(dpkg --print-architecture)
programs=$work/tarvix_${version}_$arch.deb
library=$work/${libpkg}_${version}_$arch.deb
development=$work/libtarvix-dev_${version}_$arch.deb
qml=$work/qml6-module-tarvix_${version}_$arch.deb
for deb in "$programs" "$library" "$development" "$qml"; do
    [ -f "$deb" ] || fail "cpack made no $(basename "$deb"); it made: $(cd "$work" && ls -- *.deb)"
done
[ "$(ls "$work"/*.deb | wc -l)" -eq 4 ] || fail "cpack made other packages too: $(cd "$work" && ls -- *.deb)"

# What lintian says, all of it, and whether any of it is an error or a warning.
status=0
for deb in "$programs" "$library" "$development" "$qml"; do
    echo "--- lintian $(basename "$deb")"
    lintian --fail-on error,warning --display-info "$deb" || status=1
done
[ "$status" -eq 0 ] || fail "lintian reports errors or warnings"

# The files of each package, without the leading ".", directories left out.
files() { dpkg-deb -c "$1" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\.||'; }
files "$programs" >"$work/programs.txt"
files "$library" >"$work/library.txt"
files "$development" >"$work/development.txt"
files "$qml" >"$work/qml.txt"

outside=$(cat "$work"/programs.txt "$work"/library.txt "$work"/development.txt "$work"/qml.txt | grep -v '^/usr/' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"

# Each expected file is in the package named, and in no other.
only_in() {
    local list=$1 pattern=$2 other
    grep -Eq "$pattern" "$work/$list.txt" || fail "$list has no file matching $pattern"
    for other in programs library development qml; do
        [ "$other" = "$list" ] && continue
        ! grep -Eq "$pattern" "$work/$other.txt" || fail "$other has a file matching $pattern, which belongs in $list"
    done
}
only_in programs '^/usr/bin/Tarvix$'
only_in programs '^/usr/bin/TarvixS$'
only_in programs '^/usr/share/applications/org\.tarvix\.Tarvix\.desktop$'
only_in programs '^/usr/share/metainfo/org\.tarvix\.TarvixS\.metainfo\.xml$'
only_in programs '^/usr/share/man/man1/Tarvix\.1\.gz$'
only_in library '^/usr/libexec/tarvix/tarvix-icmp-helper$'
for name in pingcontract ping pingcomponent; do
    only_in library "^/usr/$libdir/libtarvix-$name\\.so\\.$soversion(\\.[0-9]+)?\$"
    only_in development "^/usr/$libdir/libtarvix-$name\\.so\$"
done
only_in development '^/usr/include/tarvix/pinger\.h$'
only_in development "^/usr/$libdir/cmake/Tarvix/TarvixConfig\\.cmake\$"
only_in development "^/usr/$libdir/cmake/Tarvix/TarvixConfigVersion\\.cmake\$"
only_in development "^/usr/$qtplugins/designer/[^/]+\\.so\$"
# Where Debian's Qt looks for QML modules, with nothing set.
only_in qml "^/usr/$libdir/qt6/qml/Tarvix/qmldir\$"
only_in qml "^/usr/$libdir/qt6/qml/Tarvix/[^/]+\\.so\$"
# Nothing else of the kinds above strays into the library package: it is to
# be installable beside another version's development files.
strays=$(grep -E '^/usr/(bin|include)/|\.so$|/cmake/|/plugins/' "$work/library.txt" || true)
[ -z "$strays" ] || fail "$libpkg holds more than libraries and the helper: $strays"
for list in programs library development qml; do
    package=$(case $list in programs) echo tarvix ;; library) echo "$libpkg" ;; qml) echo qml6-module-tarvix ;;
              *) echo libtarvix-dev ;; esac)
    for doc in copyright changelog.gz; do
        grep -qx "/usr/share/doc/$package/$doc" "$work/$list.txt" || fail "$package has no /usr/share/doc/$package/$doc"
    done
done

# Dependencies: the exact version of the library package, and Qt's
# development files for the CMake package's find_dependency.
depends() { dpkg-deb -f "$1" Depends; }
exact="$libpkg (= $version)"
grep -qF "$exact" <<<"$(depends "$programs")" || fail "tarvix does not depend on $exact: $(depends "$programs")"
grep -qF "$exact" <<<"$(depends "$development")" || fail "libtarvix-dev does not depend on $exact"
grep -qF "$exact" <<<"$(depends "$qml")" || fail "qml6-module-tarvix does not depend on $exact"
grep -q 'libqt6quick6' <<<"$(depends "$qml")" || fail "qml6-module-tarvix does not depend on Qt Quick: $(depends "$qml")"
grep -Eq '(^|, )qt6-base-dev($|[ ,])' <<<"$(depends "$development")" || fail "libtarvix-dev does not depend on qt6-base-dev"
grep -q 'libqt6widgets6' <<<"$(depends "$library")" || fail "$libpkg does not depend on Qt Widgets: $(depends "$library")"

# The library package tells dpkg-shlibdeps about its libraries, and its
# installer gives the capability to the helper it ships.
mkdir -p "$work/control"
dpkg-deb -e "$library" "$work/control"
for name in pingcontract ping pingcomponent; do
    grep -qx "libtarvix-$name $soversion $libpkg (>= $version)" "$work/control/shlibs" \
        || fail "no shlibs line for libtarvix-$name"
done
grep -q '^helper=/usr/libexec/tarvix/tarvix-icmp-helper$' "$work/control/postinst" \
    || fail "the postinst sets the capability on another file: $(grep '^helper=' "$work/control/postinst")"

# No ELF file carries a search path of its own.
for deb in "$programs" "$library" "$development"; do
    tree=$work/tree/$(basename "$deb" .deb)
    mkdir -p "$tree"
    dpkg-deb -x "$deb" "$tree"
    while IFS= read -r -d '' file; do
        [ "$(head -c 4 "$file" | od -An -tx1 | tr -d ' \n')" = 7f454c46 ] || continue
        ! readelf -d "$file" | grep -Eq 'RPATH|RUNPATH' || fail "${file#"$tree"} has a search path: $(readelf -d "$file" | grep -E 'RPATH|RUNPATH')"
    done < <(find "$tree" -type f -print0)
done
echo "three packages checked: $(basename "$programs"), $(basename "$library"), $(basename "$development")"
