#!/usr/bin/env bash
# The Windows installer under wine: an unattended install for all users with
# the folder added to PATH; the programs, Qt's files and the notices in place;
# a Start menu entry; the installed command-line tool found through PATH; and
# an unattended uninstall that leaves nothing behind, PATH included. Wine can
# end with 0 when a program never ran, so every step is checked by what it
# left, not by its exit code.
#
#   tests/windows/installer.sh INSTALLER.exe
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
installer="$(realpath "$1")"
wine_run="$root/scripts/wine-run"
fail() { echo "FAIL: $*" >&2; exit 1; }

# The template's folder: the prefix is hard-linked from it.
prefix="$(mktemp -d "/var/tmp/lanscope-wine-installer.XXXXXX")"
export LANSCOPE_WINE_PREFIX="$prefix"
finish() { WINEPREFIX="$prefix" /usr/lib/wine/wineserver --wait; }
cleanup() {
    WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    rm -rf "$prefix" "$prefix.lock"
}
trap cleanup EXIT
environment='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lanscope'
path_value() { "$wine_run" reg query "$environment" /v PATH 2>/dev/null | tr -d '\r'; }

"$wine_run" "$installer" /S /PATH=all
finish
folder="$prefix/drive_c/Program Files/Lanscope"
for file in lanscope.exe lanscope-cli.exe lanscope-module-sim.exe Qt6Core.dll Qt6Gui.dll \
    Qt6Widgets.dll Qt6Network.dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll \
    platforms/qwindows.dll styles/qwindowsvistastyle.dll README.md LICENSE THIRD-PARTY.txt \
    LGPL-3 GPL-3 Uninstall.exe; do
    [[ -f $folder/$file ]] || fail "not installed: $file"
done
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Lanscope"
[[ -f $menu/Lanscope.lnk ]] || fail "no Start menu entry for the window program"
path_value | grep -qiF 'C:\Program Files\Lanscope' || fail "the folder is not on PATH: $(path_value)"
"$wine_run" reg query "$uninstall_key" >/dev/null 2>&1 || fail "no entry under Programs and Features"

# A new process reads PATH from the registry, as after logging in again.
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
version="$("$wine_run" cmd /c lanscope-cli --version | tr -d '\r')"
[[ $version == "lanscope-cli "* ]] || fail "the installed lanscope-cli did not answer: $version"

"$wine_run" "C:\\Program Files\\Lanscope\\Uninstall.exe" /S
finish  # the uninstaller runs on from a copy of itself
[[ ! -e $folder/lanscope.exe && ! -e $folder/Qt6Core.dll && ! -e $folder/Uninstall.exe ]] ||
    fail "files left after uninstalling: $(ls -R "$folder")"
[[ ! -e $menu/Lanscope.lnk ]] || fail "the Start menu entry is left"
if path_value | grep -qiF 'C:\Program Files\Lanscope'; then fail "the folder is still on PATH"; fi
if "$wine_run" reg query "$uninstall_key" >/dev/null 2>&1; then
    fail "the entry under Programs and Features is left"
fi
echo "PASS: installed, found through PATH, uninstalled ($(basename "$installer"))"
