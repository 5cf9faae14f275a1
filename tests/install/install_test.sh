#!/usr/bin/env bash
# Checks of an installed prefix, one per CTest test:
#   install_test.sh install  PREFIX BUILD   install the build into PREFIX
#   install_test.sh files    PREFIX SOVERSION  what is there, what the libraries export, no privilege
#   install_test.sh desktop  PREFIX         desktop entries and AppStream metadata validate
#   install_test.sh example  PREFIX SOURCE WORK  build examples/ against PREFIX, ping 127.0.0.1
#   install_test.sh qml      PREFIX SOURCE       import Tarvix from PREFIX by QML_IMPORT_PATH
#   install_test.sh plugin   PREFIX LOADER WORK  move PREFIX, load the Designer plugin from there,
#                                               and the programs find their libraries there
# Exit 77 is a skip, with the reason printed.
set -euo pipefail
mode=$1
prefix=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
libdir() { dirname "$(find "$prefix" -name 'libtarvix-pingcomponent.so' | head -n 1)"; }

case $mode in
install)
    rm -rf "$prefix"
    cmake --install "$3" --prefix "$prefix" >/dev/null
    ;;
files)
    for f in bin/Tarvix bin/TarvixS libexec/tarvix/tarvix-icmp-helper \
             include/tarvix/pingcontrol.h include/tarvix/pingcontrolproxy.h include/tarvix/pingevents.h \
             include/tarvix/tarvixctlfactory.h include/tarvix/pingwidget.h include/tarvix/pinger.h \
             share/applications/org.tarvix.Tarvix.desktop share/applications/org.tarvix.TarvixS.desktop \
             share/metainfo/org.tarvix.Tarvix.metainfo.xml share/metainfo/org.tarvix.TarvixS.metainfo.xml \
             share/icons/hicolor/scalable/apps/org.tarvix.Tarvix.svg \
             share/icons/hicolor/256x256/apps/org.tarvix.TarvixS.png; do
        [ -e "$prefix/$f" ] || fail "$f is not installed"
    done
    lib=$(libdir)
    [ -f "$lib/cmake/Tarvix/TarvixConfigVersion.cmake" ] || fail "no CMake package in $lib/cmake/Tarvix"
    for name in pingcontract ping pingcomponent; do
        soname=$(objdump -p "$lib/libtarvix-$name.so" | awk '$1 == "SONAME" { print $2 }')
        [ "$soname" = "libtarvix-$name.so.$3" ] || fail "libtarvix-$name.so has SONAME '$soname'"
    done
    # The component exports its factory and typed interface, nothing of its inner classes.
    exported=$(nm -DC --defined-only "$lib/libtarvix-pingcomponent.so" | awk '{ $1 = ""; $2 = ""; print }')
    grep -q 'tarvixCtlFactory()' <<<"$exported" || fail "tarvixCtlFactory is not exported"
    grep -q 'Tarvix::PingWidget::PingWidget(QWidget\*)' <<<"$exported" || fail "PingWidget is not exported"
    inner=$(grep -E 'PingEngine|HelperProber|SocketProber|RunView|SavedState|HostResolver|TarvixCtl::' <<<"$exported" || true)
    [ -z "$inner" ] || fail "inner classes are exported: $inner"
    # No installed file carries a capability or a set-id bit; the package's
    # installer gives the helper its capability, never cmake --install.
    setid=$(find "$prefix" -type f -perm /6000)
    [ -z "$setid" ] || fail "set-id files: $setid"
    getcap=$(command -v getcap || echo /sbin/getcap)
    [ -x "$getcap" ] || fail "getcap (libcap2-bin) is not installed"
    caps=$("$getcap" -r "$prefix")
    [ -z "$caps" ] || fail "files with capabilities: $caps"
    ;;
desktop)
    for id in org.tarvix.Tarvix org.tarvix.TarvixS; do
        desktop-file-validate "$prefix/share/applications/$id.desktop"
        program=$(grep -m1 '^Exec=' "$prefix/share/applications/$id.desktop" | cut -d= -f2)
        [ -x "$prefix/bin/$program" ] || fail "$id runs $program, which is not installed in bin/"
        icon=$(grep -m1 '^Icon=' "$prefix/share/applications/$id.desktop" | cut -d= -f2)
        [ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "$id shows icon $icon, not installed"
        appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
    done
    ;;
example)
    source=$3
    work=$4
    rm -rf "$work"
    cmake -S "$source/examples" -B "$work" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
    cmake --build "$work" >/dev/null
    range=$(cat /proc/sys/net/ipv4/ping_group_range)
    low=${range%%[[:space:]]*}
    high=${range##*[[:space:]]}
    if [ "$(id -u)" -ne 0 ] && { [ "$(id -g)" -lt "$low" ] || [ "$(id -g)" -gt "$high" ]; }; then
        echo "SKIP: built; pinging needs root or a ping_group_range ($range) that holds group $(id -g)"
        exit 77
    fi
    output=$(QT_QPA_PLATFORM=offscreen timeout 60 "$work/tarvix-example" --count 2 127.0.0.1) \
        || fail "the example failed: $output"
    echo "$output"
    [ "$(grep -c 'bytes from 127.0.0.1: icmp_seq=' <<<"$output")" -eq 2 ] || fail "not two replies"
    grep -q '2 packets transmitted, 2 received' <<<"$output" || fail "no statistics"
    # The same in QML, on the prefix's module.
    output=$(QT_QPA_PLATFORM=offscreen timeout 60 "$work/quick/tarvix-quick-example" --count 2 127.0.0.1 2>&1) \
        || fail "the QML example failed: $output"
    echo "$output"
    [ "$(grep -c 'bytes from 127.0.0.1: icmp_seq=' <<<"$output")" -eq 2 ] || fail "not two replies in QML"
    grep -q '2 packets transmitted, 2 received' <<<"$output" || fail "no statistics in QML"
    ;;
qml)
    # import Tarvix with nothing but QML_IMPORT_PATH: the module's types, made.
    qmldir=$(dirname "$(find "$prefix" -path '*/qt6/qml/Tarvix/qmldir' | head -n 1)")
    [ -n "$qmldir" ] && [ "$qmldir" != . ] || fail "no qt6/qml/Tarvix/qmldir under the prefix"
    QML_IMPORT_PATH=$(dirname "$qmldir") QT_QPA_PLATFORM=offscreen \
        /usr/lib/qt6/bin/qmltestrunner -input "$3/tests/install/tst_installed_module.qml"
    ;;
plugin)
    loader=$3
    work=$4
    # A prefix that has moved still finds its own libraries.
    rm -rf "$work"
    mkdir -p "$work"
    cp -a "$prefix" "$work/moved"
    plugin=$(find "$work/moved" -path '*/qt6/plugins/designer/*' -name '*.so' | head -n 1)
    [ -n "$plugin" ] || fail "no Designer plugin under */qt6/plugins/designer"
    QT_QPA_PLATFORM=offscreen "$loader" "$plugin"
    for program in Tarvix TarvixS; do
        found=$(ldd "$work/moved/bin/$program" | awk '$1 ~ /^libtarvix-pingcontract/ { print $3 }')
        case $found in
            "$work"/moved/*) ;;
            *) fail "the moved $program loads the contract from '$found'" ;;
        esac
    done
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
