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
