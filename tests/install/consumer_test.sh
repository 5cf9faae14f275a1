#!/usr/bin/env bash
# A program of someone else's on an installed prefix, one CTest test per mode:
#   consumer_test.sh build    PREFIX SOURCE BUILD WORK  build tests/consumer and examples/pinger
#                                                       against PREFIX, strictly C++17; show the form
#   consumer_test.sh loopback WORK   the Pinger's checks and tarvix-pinger against 127.0.0.1 and ::1
#   consumer_test.sh network  WORK   as root, the same in a test network of its own: replies,
#                                    time-outs from a silent host, a name nobody can look up
# Exit 77 is a skip, with the reason printed.
set -euo pipefail
mode=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }

# Runs a command, keeping its exit code and output (stdout and stderr) in
# $rc and $output, whatever the code.
run() {
    rc=0
    output=$("$@" 2>&1) || rc=$?
    echo "\$ ${*##*/}"
    echo "$output"
}

# A reply line as tarvix-pinger prints it, the round trip to the microsecond.
reply_line='^seq=[0-9]+ reply from [0-9a-f.:]+ bytes=[0-9]+ ttl=[0-9]+ time=[0-9]+\.[0-9]{3} ms$'
rtt_line='^rtt min/avg/max/mdev = ([0-9]+\.[0-9]{3}/){3}[0-9]+\.[0-9]{3} ms, p95 [0-9]+\.[0-9]{3} ms, jitter [0-9]+\.[0-9]{3} ms$'

case $mode in
build)
    prefix=$2
    source=$3
    build=$4
    work=$5
    rm -rf "$work"
    mkdir -p "$work"
    log=$work/build.log
    for project in tests/consumer examples/pinger; do
        dir=$work/${project##*/}
        if ! cmake -S "$source/$project" -B "$dir" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
                 -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >"$log" 2>&1 \
            || ! cmake --build "$dir" >>"$log" 2>&1; then
            cat "$log"
            fail "$project does not build against $prefix"
        fi
    done
    # Each file compiled as C++17 without extensions, with nothing of this
    # tree on the include path but the prefix and the consumers' own build
    # folders. (pingercheck.cpp asserts its standard itself.)
    for commands in "$work"/*/compile_commands.json; do
        [ "$(grep -c '"command"' "$commands")" -gt 0 ] || fail "no compile commands in $commands"
        others=$(grep '"command"' "$commands" | grep -v -- '-std=c++17' || true)
        [ -z "$others" ] || fail "not compiled as -std=c++17: $others"
        while read -r dir; do
            case $dir in
                "$work"/* | "$prefix"/*) ;;
                "$source"/* | "$build"/*) fail "$commands has $dir on the include path" ;;
            esac
        done < <(grep -oE -- '(-I|-isystem )[^ "]+' "$commands" | sed -E 's/^(-I|-isystem )//' | sort -u)
        grep -q -- "-isystem $prefix/include" "$commands" || fail "$commands does not include $prefix/include"
    done
    QT_QPA_PLATFORM=offscreen "$work/consumer/tarvix-formcheck"
    echo "built tarvix-pingercheck, tarvix-formcheck and tarvix-pinger as C++17 against $prefix"
    ;;
loopback)
    work=$2
    check=$work/consumer/tarvix-pingercheck
    pinger=$work/pinger/tarvix-pinger
    # Settings are checked before any socket opens: no privilege needed.
    "$check" InvalidSetting 127.0.0.1 --count 0
    "$check" InvalidSetting 127.0.0.1 --packet-size 70000
    run "$pinger" -c 0 127.0.0.1
    [ "$rc" -eq 2 ] || fail "tarvix-pinger exited $rc for count 0, not 2"
    grep -q 'Count: 0' <<<"$output" || fail "tarvix-pinger did not say what was wrong with count 0"
    run "$pinger" -W soon 127.0.0.1
    [ "$rc" -eq 2 ] || fail "tarvix-pinger exited $rc for -W soon, not 2"

    range=$(cat /proc/sys/net/ipv4/ping_group_range)
    low=${range%%[[:space:]]*}
    high=${range##*[[:space:]]}
    if [ "$(id -u)" -ne 0 ] && { [ "$(id -g)" -lt "$low" ] || [ "$(id -g)" -gt "$high" ]; }; then
        skip "settings checked; pinging needs root or a ping_group_range ($range) that holds group $(id -g)"
    fi
    "$check" replies 127.0.0.1 --count 3 --interval 50
    if grep -q '^0\{31\}1 ' /proc/net/if_inet6 2>/dev/null; then
        "$check" replies ::1 --count 3 --interval 50
    else
        echo "::1 not checked: loopback has no IPv6 address here"
    fi

    run "$pinger" -c 2 -i 100 127.0.0.1
    [ "$rc" -eq 0 ] || fail "tarvix-pinger exited $rc with every request answered, not 0"
    [ "$(grep -cE "$reply_line" <<<"$output")" -eq 2 ] || fail "not two reply lines with microseconds"
    grep -q '^2 sent, 2 received, 0% loss$' <<<"$output" || fail "no statistics line"
    grep -qE "$rtt_line" <<<"$output" || fail "no round-trip statistics to the microsecond"
    ;;
network)
    work=$2
    check=$work/consumer/tarvix-pingercheck
    pinger=$work/pinger/tarvix-pinger
    [ "$(id -u)" -eq 0 ] || skip "the test network needs root (ip netns add, veth); run the tests as root"
    command -v ip >/dev/null || skip "no ip program (Debian package iproute2)"

    # Namespaces named with this script's pid, and what ip netns exec
    # mounts over /etc in them: removed on exit, and by a later run if this
    # one was killed first.
    remove_namespace() {
        local pid
        for pid in $(ip netns pids "$1" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null || true; done
        rm -rf "/etc/netns/$1"
        ip netns del "$1" 2>/dev/null || true
    }
    for name in $(ip netns list | awk '{ print $1 }'); do
        [[ $name =~ ^tarvix-consumer-([0-9]+)-(client|host)$ ]] || continue
        owner=${BASH_REMATCH[1]}
        grep -qs consumer_test "/proc/$owner/cmdline" || remove_namespace "$name"
    done
    client=tarvix-consumer-$$-client
    host=tarvix-consumer-$$-host
    trap 'remove_namespace "$client"; remove_namespace "$host"' EXIT
    in_client() { ip netns exec "$client" "$@"; }

    #   client 10.231.0.1/24 fd00:7b::1/64 ==veth== host 10.231.0.2/24 fd00:7b::2/64
    # The ends get different interface indexes: with the same one the kernel
    # may report the carrier late, and IPv6 drops packets until then.
    ip netns add "$client"
    ip netns add "$host"
    ip -n "$client" -batch - <<EOF
link add veth0 index 10 type veth peer name veth0 netns $host index 20
link set lo up
addr add 10.231.0.1/24 dev veth0
addr add fd00:7b::1/64 dev veth0 nodad
link set veth0 up
EOF
    ip -n "$host" -batch - <<EOF
link set lo up
addr add 10.231.0.2/24 dev veth0
addr add fd00:7b::2/64 dev veth0 nodad
link set veth0 up
EOF
    # Names are looked up in files, then by DNS at the client's own loopback,
    # where nobody listens: nothing leaves the namespace, and the lookup fails at once.
    mkdir -p "/etc/netns/$client"
    printf 'nameserver 127.0.0.1\noptions timeout:1 attempts:1\n' >"/etc/netns/$client/resolv.conf"
    [ ! -e /etc/nsswitch.conf ] || printf 'passwd: files\ngroup: files\nhosts: files dns\n' >"/etc/netns/$client/nsswitch.conf"
    for address in 10.231.0.2 fd00:7b::2; do
        tries=0
        until in_client ping -c 1 -W 1 -q "$address" >/dev/null 2>&1; do
            tries=$((tries + 1))
            [ "$tries" -lt 50 ] || fail "the test network does not carry pings to $address"
            sleep 0.1
        done
    done

    in_client "$check" replies 10.231.0.2 --count 3 --interval 100
    in_client "$check" replies fd00:7b::2 --count 3 --interval 100

    ip netns exec "$host" sysctl -q -w net.ipv4.icmp_echo_ignore_all=1 net.ipv6.icmp.echo_ignore_all=1
    in_client "$check" timeouts 10.231.0.2 --count 2 --interval 100 --timeout 300
    in_client "$check" timeouts fd00:7b::2 --count 2 --interval 100 --timeout 300
    run in_client "$pinger" -c 2 -i 100 -W 300 10.231.0.2
    [ "$rc" -eq 1 ] || fail "tarvix-pinger exited $rc with no request answered, not 1"
    [ "$(grep -c '^seq=[12] no reply within 300 ms$' <<<"$output")" -eq 2 ] || fail "not two time-out lines"
    grep -q '^2 sent, 0 received, 100% loss$' <<<"$output" || fail "no statistics line"

    in_client "$check" HostNotFound nosuchhost.invalid
    run in_client "$pinger" nosuchhost.invalid
    [ "$rc" -eq 2 ] || fail "tarvix-pinger exited $rc for an unknown host, not 2"
    grep -q 'nosuchhost.invalid' <<<"$output" || fail "tarvix-pinger did not name the host it could not find"
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
