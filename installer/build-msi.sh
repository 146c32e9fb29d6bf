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

# The files the program and the user change in place: the two pictures a chosen skin is copied over and
# the forbidden list. An installed one is never overwritten (NeverOverwrite, attribute 0x80, which wixl
# does not write either): an upgrade keeps them, a fresh installation puts the shipped ones.
kept=("Image/Start.Jpg" "Image/Create.Jpg" "liste/interdit.txt")
# Their components, by the source path of their key file in the harvest (compared as text, not as patterns).
components=$(printf '%s\n' "${kept[@]}" | awk -v prefix='$(var.DataDir)/' '
  NR == FNR { wanted[prefix $0] = 1; next }
  /<Component / { id = $0; sub(/.* Id="/, "", id); sub(/".*/, "", id) }
  /<File / { source = $0; sub(/.* Source="/, "", source); sub(/".*/, "", source)
             if (source in wanted) { print id; found[source] = 1 } }
  END { for (w in wanted) if (!(w in found)) { print "no component installs " w >"/dev/stderr"; missing = 1 }
        exit missing }' - "$work/data.wxs")
(cd "$work" && msiinfo export kestrane.msi Component >Component.idt)
awk -F'\t' -v OFS='\t' -v ids="${components//$'\n'/ }" 'BEGIN { n = split(ids, list, " "); for (i = 1; i <= n; i++) kept[list[i]] = 1 }
  NR > 3 && ($1 in kept) { if (int($4 / 128) % 2 == 0) $4 += 128; marked++ } { print }
  END { if (marked != n) { print "NeverOverwrite set on " marked " of " n " components" >"/dev/stderr"; exit 1 } }' \
  "$work/Component.idt" >"$work/Component.new"
mv "$work/Component.new" "$work/Component.idt"
(cd "$work" && msibuild kestrane.msi -i Component.idt)
mv "$work/kestrane.msi" "$output"
