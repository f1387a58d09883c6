#!/usr/bin/env bash
# A workstation that also has a tunnel, an adapter without carrier and, where
# the kernel has them, a dummy interface: discovery and configuration writes
# go out only on the LAN, and automatic address selection sees the one LAN address.
source "$(dirname "$0")/common.sh"
export CLI
"$TESTBED" --modules 1 --address 1 192.0.2.30 -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    # No IPv6 chatter of their own on the interfaces whose counters we read.
    sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
    others="vx0 tun7"
    # Not every kernel has dummy interfaces.
    if ip link add dummy7 type dummy 2>/dev/null; then
        ip link set dummy7 up
        ip addr add 198.51.100.1/24 dev dummy7
        others="$others dummy7"
    fi
    ip link add vx0 type veth peer name vx1
    ip link set vx0 up
    ip addr add 203.0.113.1/24 brd + dev vx0
    # A tunnel is up and running for as long as its device is held open; the
    # holder counts every packet the tunnel carries.
    tun_count="$(mktemp)"
    echo 0 > "$tun_count"
    python3 -c "import fcntl, os, select, struct, sys
fd = os.open(\"/dev/net/tun\", os.O_RDWR)
fcntl.ioctl(fd, 0x400454ca, struct.pack(\"16sH\", b\"tun7\", 0x0001 | 0x1000))
count = 0
while select.select([fd], [], [], 60)[0]:
    os.read(fd, 65536)
    count += 1
    open(sys.argv[1], \"w\").write(str(count))" "$tun_count" &
    holder=$!
    trap "kill $holder 2>/dev/null || true" EXIT
    for _ in $(seq 1 50); do ip link show tun7 >/dev/null 2>&1 && break; sleep 0.1; done
    ip link set tun7 up
    ip addr add 198.18.0.1 peer 198.18.0.2 dev tun7
    ip link show tun7 | grep -q LOWER_UP || fail "the tunnel has no carrier"
    ip link show vx0 | grep -q NO-CARRIER || fail "vx0 has a carrier"

    sent() {
        ip -j -s link show dev "$1" |
            jq ".[0].stats64.tx | .packets + .dropped + .errors + .carrier_errors"
    }
    declare -A before
    for dev in $others; do before[$dev]=$(sent $dev); done

    list=$("$CLI" discover --json --wait 1)
    expect_eq "$(jq -r ".[].address" <<<"$list")" "192.0.2.30" "modules found"
    "$CLI" --yes auto-ip 02-4c-53-00-00-01 --verify --timeout 10
    for dev in $others; do
        expect_eq "$(sent $dev)" "${before[$dev]}" "datagrams sent through $dev"
    done
    expect_eq "$(cat "$tun_count")" 0 "packets through the tunnel"
'
echo "PASS"
