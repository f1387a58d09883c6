#!/usr/bin/env bash
# The window program for Windows under wine, in real windows on a private X
# display, against the Linux simulators: an update started from the command
# line (also through a Cygwin path), the module list of two segments, Always
# on Top through the system menu, the settings in the registry as Windows
# keeps them, and a second start. With LANSCOPE_SCREENSHOTS=DIR it leaves
# pictures of the windows there.
source "$(dirname "$0")/common.sh"
WINE_RUN="${WINE_RUN:-$root/scripts/wine-run}"
WIN_BIN="${LANSCOPE_WINDOWS_BIN_DIR:-$root/build/windows/bin}"
[[ -f $WIN_BIN/lanscope.exe ]] || fail "$WIN_BIN/lanscope.exe is missing (cmake --build --preset windows)"
for tool in Xvfb xdotool xclip; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup installs it)"
done
work="$(mktemp -d)"
# One prefix for every program of the test (one registry, one wineserver),
# beside the template it is linked from.
prefix="$(mktemp -d "/var/tmp/lanscope-wine-gui.XXXXXX")"
display=""
xvfb=""
cleanup() {
    WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
    rm -rf "$work" "$prefix" "$prefix.lock"
}
trap cleanup EXIT
for number in $(seq 90 120); do
    if [[ ! -e /tmp/.X11-unix/X$number && ! -e /tmp/.X$number-lock ]]; then
        Xvfb ":$number" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb=$!
        display=":$number"
        break
    fi
done
[[ -n $display ]] || fail "no free X display"
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.1; done

make_image 0x8000
mkdir -p "$work/shots"
export WINE_RUN WIN_BIN work display LANSCOPE_WINE_PREFIX="$prefix" DISPLAY="$display"
export SHOTS="${LANSCOPE_SCREENSHOTS:-}"

"$TESTBED" --modules 4 --segments 2 \
    --module 1 "--fw-image-out $work/received.bin --fw-platform $platform" \
    -- bash -c '
    set -euo pipefail
    source "'"$here"'/common.sh"
    title="Korvane Network Utility 0.1d"
    win() { "$WINE_RUN" "$WIN_BIN/lanscope.exe" "$@"; }
    poke() { "$WINE_RUN" "$WIN_BIN/window-poke.exe" "$title" "$@"; }
    shot() {
        if [[ -n $SHOTS ]] && command -v import >/dev/null; then
            mkdir -p "$SHOTS" && import -window root "$SHOTS/$1.png"
        fi
    }
    status() { set +e; "$@"; echo $?; set -e; }

    # From the command line: the image byte for byte, exit code 0; the same
    # through a Cygwin path, as the modules'"'"' own tools wrote them.
    expect_eq "$(status win -F"$work/image_APP.s19" -I192.0.2.11 -A)" 0 "lanscope.exe -A"
    cmp "$work/image.bin" "$work/received.bin" || fail "the module holds another image"
    rm "$work/received.bin"
    expect_eq "$(status win -F/cygdrive/z"$work/image_APP.s19" -I192.0.2.11 -A)" 0 \
        "lanscope.exe -A with a Cygwin path"
    cmp "$work/image.bin" "$work/received.bin" || fail "the Cygwin path did not reach the file"

    # The module list: every module of both segments, one line each.
    win > "$work/first.log" 2>&1 &
    first=$!
    poke wait 60 || fail "the module list window did not open"
    sleep 3  # the answers of the first search
    window=$(xdotool search --name "^$title\$" | head -1)
    [[ -n $window ]] || fail "no X window for the module list"
    xdotool windowfocus --sync "$window"
    lines=""
    for step in 1 2 3 4; do
        if [[ $step -eq 1 ]]; then xdotool key --window "$window" Home; else xdotool key --window "$window" Down; fi
        sleep 0.3
        xdotool key --window "$window" ctrl+c
        sleep 0.5
        lines+="$(xclip -o -selection clipboard 2>/dev/null | cut -f2)"$'"'"'\n'"'"'
    done
    shot windows-module-list
    expect_eq "$(sort <<<"$lines" | grep . | paste -sd" ")" \
        "192.0.2.11 192.0.2.13 192.0.2.140 192.0.2.142" "modules of both segments in the list"

    # Always on Top through the system menu (its item 32), three times: the
    # window stays and stays on top each other time. (Wine does not hand one
    # program the system menu of another, so the item'"'"'s check mark is not
    # read here.)
    for expected in 1 0 1; do
        poke syscommand 32 || fail "the window went away after Always on Top"
        expect_eq "$(poke topmost | tr -d "\r")" "$expected" "stays on top"
    done
    kill -0 "$first" || fail "the program ended"
    shot windows-always-on-top

    # A second start brings the first forward and ends: 0, or -1 when it was
    # asked to update (nothing was updated).
    expect_eq "$(status win)" 0 "exit code of a second start"
    expect_eq "$(status win -F"$work/image_APP.s19" -I192.0.2.11 -A)" 255 \
        "exit code of a second start with -A"
    kill -0 "$first" || fail "the first instance ended"

    # Closing stores the choice in the machine-wide registry, typed as ever.
    poke close
    set +e; wait "$first"; set -e
    settings="HKLM\\SOFTWARE\\Tessmar\\AutoUpdate\\Settings"
    "$WINE_RUN" reg query "$settings" > "$work/registry.txt" 2>&1 || true
    tr -d "\r" < "$work/registry.txt" > "$work/registry"
    grep -Eq "AlwaysOnTop_Lanscope +REG_DWORD +0x1$" "$work/registry" ||
        fail "Always on Top is not stored: $(cat "$work/registry")"
    grep -Eq "IPAddr +REG_DWORD +0xc000020b$" "$work/registry" ||
        fail "the module address is not stored: $(cat "$work/registry")"
'
echo "PASS"
