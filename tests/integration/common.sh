# Shared by the integration tests: where things are, and small checks.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
TESTBED="${TESTBED:-$root/scripts/testbed}"
BIN="${LANSCOPE_BIN_DIR:-$root/build/dev/bin}"
export LANSCOPE_BIN_DIR="$BIN"
CLI="$BIN/lanscope-cli"

fail() { echo "FAIL: $*" >&2; exit 1; }
expect_eq() { [[ "$1" == "$2" ]] || fail "$3: expected '$2', got '$1'"; }
# Runs COMMAND..., which must end with EXIT-CODE; what it said on stderr is
# left in $message.
expect_exit() {  # EXIT-CODE WHAT COMMAND...
    local code="$1" what="$2" rc
    shift 2
    set +e
    message=$("$@" 2>&1 >/dev/null)
    rc=$?
    set -e
    expect_eq "$rc" "$code" "exit code of $what"
}

# A random 256 KiB image at BASE as $work/image.bin and as the S-record file
# $work/image_APP.s19 with a header line; sets `platform` to that line's text.
make_image() {  # BASE
    head -c 262144 /dev/urandom > "$work/image.bin"
    srec_cat "$work/image.bin" -binary -offset "$1" -o "$work/image_APP.s19" -motorola \
        -address-length=3 -header LM42
    platform=$(head -1 "$work/image_APP.s19" | tr -d '\r' | cut -c3-)
}
