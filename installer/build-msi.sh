#!/usr/bin/env bash
# Builds the Windows Installer package of Kestrane with wixl.
#   installer/build-msi.sh EXE VERSION OUTPUT
# EXE is the built Kestrane.exe, VERSION the package's version (1.2.6), OUTPUT the .msi to write.
# The application folder is harvested from data/ (every file but the .keep markers of empty folders).
set -euo pipefail
exe=$(realpath "$1")
version=$2
output=$(realpath -m "$3")
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# wixl takes only source paths relative to where it runs: it runs from the repository root.
cd "$root"
exe_source=$(realpath --relative-to="$root" "$exe")
find data -type f ! -name .keep | LC_ALL=C sort |
  wixl-heat -p data/ --component-group AppData --var var.DataDir --directory-ref INSTALLDIR --win64 >"$work/data.wxs"
wixl -a x64 -D Version="$version" -D ExeSource="$exe_source" -D DataDir=data -D Win64=yes \
     -o "$work/kestrane.msi" installer/Kestrane.wxs "$work/data.wxs"

# wixl writes the upgrade rows without their inclusive maximum (attribute 0x200): set it, so that a
# rebuild of the same version replaces the installed one instead of being installed beside it.
(cd "$work" && msiinfo export kestrane.msi Upgrade >Upgrade.idt)
awk -F'\t' -v OFS='\t' 'NR <= 3 { print; next }
  $7 ~ /^KESTRANE_OLDER\r?$/ && int($5 / 512) % 2 == 0 { $5 += 512 } { print }' "$work/Upgrade.idt" >"$work/Upgrade.new"
mv "$work/Upgrade.new" "$work/Upgrade.idt"
(cd "$work" && msibuild kestrane.msi -i Upgrade.idt)
mv "$work/kestrane.msi" "$output"
