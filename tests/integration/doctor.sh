#!/usr/bin/env bash
# lanscope-cli doctor on a workstation with three faults: an interface that
# cannot reach modules (a dummy where the kernel has them, else an adapter
# without carrier), port 20034 held by another program, and a module whose
# address lies outside every subnet of the workstation.
source "$(dirname "$0")/common.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export CLI work

"$TESTBED" --modules 2 --address 2 10.9.8.7 -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    if ip link add dummy0 type dummy 2>/dev/null; then
        ip addr add 10.66.0.1/24 dev dummy0
        ip link set dummy0 up
        skipped="dummy0  10.66.0.1/24  skipped: no address resolution (a dummy or tunnel)"
    else
        ip link add vx0 type veth peer name vx1
        ip addr add 10.66.0.1/24 dev vx0
        ip link set vx0 up
        skipped="vx0  10.66.0.1/24  skipped: no carrier"
    fi
    # Another program keeps the port to itself: doctor names it and still
    # hears the modules beside it (as root).
    python3 -c "
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((\"0.0.0.0\", 20034))
time.sleep(30)" &
    holder=$!
    for _ in $(seq 50); do
        ss -Hulpn "sport = :20034" | grep -q . && break
        sleep 0.1
    done

    if "$CLI" doctor --wait 1 > "$work/report"; then
        fail "doctor found nothing wrong"
    fi
    kill "$holder"
    cat "$work/report"
    grep -qF "$skipped" "$work/report" || fail "the unusable interface is not named"
    grep -qF "eth0  192.0.2.1/24  used" "$work/report" || fail "the LAN interface is not named"
    grep -qE "in use by python3 \(pid $holder\)" "$work/report" || fail "the holder is not named"
    grep -qF "listening beside the program that holds the port" "$work/report" \
        || fail "doctor did not listen beside the holder"
    grep -qF "eth0: 2 module(s) answered" "$work/report" || fail "the replies are not counted"
    grep -qF "02-4C-53-00-00-02 answered from 10.9.8.7, outside every interface'"'"'s subnet" "$work/report" \
        || fail "the module outside the subnet is not named"
    # Two modules answer, so this computer'"'"'s address + 10 may be taken:
    # no auto-ip, but a free address of the network.
    grep -qF "(lanscope-cli set 02-4C-53-00-00-02 --ip A.B.C.D --mask A.B.C.D)" "$work/report" \
        || fail "doctor does not point to set"
    if grep -qF "auto-ip" "$work/report"; then fail "doctor points to auto-ip beside another module"; fi
    if ! command -v nft iptables >/dev/null; then
        grep -qF "not checked: no nft or iptables" "$work/report" \
            || fail "the firewall reads as clean without the tools to read it"
    fi
'
echo "PASS"
