#!/usr/bin/env bash
# Runs a Windows test program under wine on a Cyrillic system: the Russian
# locale (built here into a private folder, the machine's stays as it is)
# gives the active code page 1251 and lets wine store such file names.
#   tests/windows/cyrillic.sh WINE_RUN PROGRAM.exe [ARGS...]
set -euo pipefail
wine_run="$1"
shift
locales="$(mktemp -d)"
trap 'rm -rf "$locales"' EXIT
localedef -i ru_RU -f UTF-8 "$locales/ru_RU.UTF-8" 2>/dev/null || [[ -d $locales/ru_RU.UTF-8 ]]
LOCPATH="$locales" LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 "$wine_run" "$@"
