#!/usr/bin/env bash
# Runs inside xvfb-run: the installer package as an administrator deploys it. In a fresh Wine prefix:
# a silent installation, the program started from where it was installed (its window shown, a
# configuration saved through its menu), its unattended use (each command-line verb with its report and
# exit code), a silent upgrade by a package of a higher version that replaces the program and keeps the
# configuration, the skin chosen and the forbidden list edited, then by a rebuild of that version, and a
# silent uninstallation that removes the program's files.
set -uo pipefail
source "$(dirname "$0")/../../scripts/lib.sh"

version=$(sed -n 's/^project(Kestrane VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
package="$BUILD/Kestrane-$version.msi"
work="$BUILD/installer-test"
failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what" >&2; failures=$((failures + 1)); fi
}

[ -f "$package" ] || { echo "missing $package (is wixl installed?)" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"
# The program packaged as the next version, its file changed (bytes after its image, which nothing loads)
# so that the upgrade has to replace it; then a rebuild of that version.
next="${version%.*}.$(( ${version##*.} + 1 ))"
cp "$BUILD/Kestrane.exe" "$work/Kestrane.exe"
printf 'version suivante' >>"$work/Kestrane.exe"
for package_next in "$work/Kestrane-$next.msi" "$work/Kestrane-$next-rebuild.msi"; do
  "$ROOT/installer/build-msi.sh" "$work/Kestrane.exe" "$next" "$package_next" 2>/dev/null ||
    { echo "cannot build the package of version $next" >&2; exit 1; }
done

rm -rf "$BUILD/wineprefix-msi"
use_prefix wineprefix-msi
# No menu entries written into this machine's own desktop menus.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
dest="$WINEPREFIX/drive_c/Program Files/Kestrane"

log "installing $package silently"
check "msiexec /i /qn succeeds" wine msiexec /i "$(winepath -w "$package")" /qn
wineserver -w
check "Kestrane.exe is installed" test -f "$dest/Kestrane.exe"
check "the forbidden list is installed" test -f "$dest/liste/interdit.txt"
check "a skin folder with a blank in its name is installed" test -f "$dest/Image/skins/bleu vert/Start.jpg"
shipped=$(cd "$ROOT/data" && find . -type f ! -name .keep | wc -l)
installed=$(cd "$dest" && find . -type f ! -name Kestrane.exe | wc -l)
check "every file of the application folder is installed ($installed of $shipped)" test "$installed" -eq "$shipped"
check "the Config and Tmp folders exist" test -d "$dest/Config" -a -d "$dest/Tmp"

log "starting the installed program and saving a configuration through its menu"
wine "C:\\Program Files\\Kestrane\\Kestrane.exe" &
pid=$!
window=""
for _ in $(seq 1 120); do
  window=$(xdotool search --name '^Kestrane $' 2>/dev/null | head -1)
  [ -n "$window" ] && break
  sleep 0.5
done
check "the installed program shows its main window" test -n "$window"
if [ -n "$window" ]; then
  sleep 2
  # The first start on a machine takes its original state before anything can change, and says so once.
  notice=""
  for _ in $(seq 1 40); do
    notice=$(xdotool search --name "^état d'origine\$" 2>/dev/null | head -1)
    [ -n "$notice" ] && break
    sleep 0.5
  done
  check "the first start tells where the machine's original state is kept" test -n "$notice"
  check "the first start took the machine's original state" test -s "$dest/Config/Origine/origine.cfg"
  if [ -n "$notice" ]; then
    xdotool windowfocus --sync "$notice" 2>/dev/null || true
    xdotool key Return
    sleep 1
  fi
  # Outils > Configuration > Sauvegarder la configuration actuelle, a name typed over the one proposed,
  # then the box that says the save is done.
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  xdotool key --delay 300 alt+o c s
  sleep 2
  xdotool key ctrl+a
  xdotool type --delay 50 "profil-installe"
  xdotool key Return
  for _ in $(seq 1 40); do
    [ -f "$dest/Config/profil-installe.cfg" ] && break
    sleep 0.5
  done
  sleep 1
  xdotool key Return
  sleep 1
fi
check "the configuration was saved in the installed Config folder" test -s "$dest/Config/profil-installe.cfg"
cp "$dest/Config/profil-installe.cfg" "$work/saved.cfg" 2>/dev/null || true
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
wineserver -k 2>/dev/null
wineserver -w

log "unattended use of the installed program"
# Twice, as ./run does on every start: the demo's records are added to the installed list once.
wine "$BUILD/bin/kestrane_demo.exe" install >/dev/null 2>&1
wine "$BUILD/bin/kestrane_demo.exe" install >/dev/null 2>&1
# How many lines of the installed forbidden list are exactly this record, ended by CR LF.
# The records that begin with the given text (a name and its mark; the reason follows).
record_count() { awk -v start="$1" 'index($0, start) == 1' "$dest/liste/interdit.txt" | wc -l; }
check "the demo names its services in the installed forbidden list with their reasons, once each" \
  test "$(record_count '"KstDemoCritique",1,"')" -eq 1 -a "$(record_count '"KstDemoSensible",0,"')" -eq 1
exe='C:\Program Files\Kestrane\Kestrane.exe'
# Runs the installed program with arguments; its report in $work/out.txt, its exit code in $rc.
run_kestrane() { wine "$exe" "$@" >"$work/out.txt" 2>/dev/null; rc=$?; tr -d '\r' <"$work/out.txt" >"$work/report.txt"; }
reported() { grep -qF -- "$1" "$work/report.txt"; }
printf '"KstDemoImpression","Running","Auto","Impression"\r\n"KstDemoMiseAJour","Stopped","Disabled","Mise a jour"\r\n' \
  >"$dest/Config/role.cfg"
printf '"KstDemoImpression","Stopped","Manual","Impression"\r\n"KstDemoMiseAJour","Stopped","Manual","Mise a jour"\r\n' \
  >"$dest/Config/initial.cfg"
printf '"KstDemoCritique","Stopped","Manual","Critique"\r\n' >"$dest/Config/critique.cfg"
run_kestrane /comparer initial.cfg
check "/comparer of the machine as it is: exit 0 (got $rc)" test "$rc" -eq 0
run_kestrane /comparer role.cfg
check "/comparer of a profile not applied: exit 1 and the differences (got $rc)" \
  bash -c "[ $rc -eq 1 ] && grep -qF 'KstDemoMiseAJour : mode de démarrage Manual, voulu Disabled' '$work/report.txt'"
run_kestrane /appliquer role.cfg "/journal:$(winepath -w "$work/journal.log")"
check "/appliquer: exit 0 (got $rc)" test "$rc" -eq 0
check "/appliquer reports on the console" reported "opération éffectuée"
check "/appliquer writes its journal" grep -qF "code de sortie : 0" "$work/journal.log"
run_kestrane /comparer role.cfg
check "/comparer after the application: exit 0 (got $rc)" test "$rc" -eq 0
run_kestrane /annuler
check "/annuler: exit 0 (got $rc)" test "$rc" -eq 0
sleep 1
run_kestrane /comparer initial.cfg
check "after /annuler the machine is as it was (exit $rc)" test "$rc" -eq 0
# The original state gone (its folder left): the next run takes it again, says so, and it leads back home on
# the real service manager after three applications; going back is undone as any application.
rm -f "$dest/Config/Origine/origine.cfg"
run_kestrane /comparer /origine
check "/comparer /origine when it had gone: taken again, said so, exit 0 (got $rc)" \
  bash -c "[ $rc -eq 0 ] && grep -qF \"l'état d'origine de la machine manquait\" '$work/report.txt'"
run_kestrane /appliquer role.cfg
run_kestrane /appliquer initial.cfg
run_kestrane /appliquer role.cfg
run_kestrane /comparer /origine
check "/comparer /origine after three applications: exit 1 (got $rc)" test "$rc" -eq 1
cp "$work/report.txt" "$work/differences.txt"
run_kestrane /origine
cp "$work/report.txt" "$work/origine.txt"
check "/origine: exit 0 (got $rc)" test "$rc" -eq 0
sleep 1
run_kestrane /comparer initial.cfg
check "after /origine every service is back (exit $rc)" test "$rc" -eq 0
run_kestrane /annuler
check "/annuler after /origine: exit 0 (got $rc)" test "$rc" -eq 0
sleep 1
run_kestrane /comparer role.cfg
check "the return to the original state is undone (exit $rc)" test "$rc" -eq 0
[ "$failures" -eq 0 ] || { cat "$work/differences.txt" "$work/origine.txt" "$work/report.txt"; }
cp "$dest/Config/Origine/origine.cfg" "$work/origine.cfg"
run_kestrane /appliquer critique.cfg /forcer
check "/appliquer of a forbidden service: exit 1 (got $rc), refused" \
  bash -c "[ $rc -eq 1 ] && grep -qF 'service interdit, non modifié : KstDemoCritique' '$work/report.txt'"
printf '"KstDemoSensible","Running","Manual","Sensible"\r\n' >"$dest/Config/sensible.cfg"
run_kestrane /appliquer sensible.cfg
check "/appliquer of a service marked 0 without /forcer: exit 1 (got $rc), refused" \
  bash -c "[ $rc -eq 1 ] && grep -qF 'service interdit, non modifié : KstDemoSensible' '$work/report.txt'"
run_kestrane /appliquer absent.cfg
check "/appliquer of a missing file: exit 2 (got $rc)" test "$rc" -eq 2
run_kestrane /inconnu
check "bad arguments: exit 2 (got $rc) and the usage" bash -c "[ $rc -eq 2 ] && grep -q '^usage' '$work/report.txt'"
run_kestrane /sauvegarder "$(winepath -w "$work/machine.cfg")"
check "/sauvegarder: exit 0 (got $rc) and the file" bash -c "[ $rc -eq 0 ] && grep -q KstDemoAudio '$work/machine.cfg'"
wine "$BUILD/bin/kestrane_demo.exe" uninstall >/dev/null 2>&1
rm -f "$dest/Config/role.cfg" "$dest/Config/initial.cfg" "$dest/Config/critique.cfg" "$dest/Config/sensible.cfg"
wineserver -w

log "choosing a skin and editing the forbidden list, as a user does"
# As the program applies a skin: the skin's Create.jpg, then its Start.jpg, copied (CopyFileW, replacing)
# over those of Image\.
skin='C:\Program Files\Kestrane\Image\skins\bleu vert'
wine cmd /c copy /y "$skin\Create.jpg" 'C:\Program Files\Kestrane\Image\Create.jpg' >/dev/null 2>&1
wine cmd /c copy /y "$skin\Start.jpg" 'C:\Program Files\Kestrane\Image\Start.jpg' >/dev/null 2>&1
cp "$dest/liste/interdit.txt" "$work/edited-list.txt"
printf '"KstDemoAudio",1\r\n' >>"$work/edited-list.txt"
cp "$work/edited-list.txt" "$dest/liste/interdit.txt"
# The skin chosen and the list edited, as they are now: the same as the skin's pictures and as the copy.
user_files_kept() {
  cmp -s "$dest/Image/Create.Jpg" "$ROOT/data/Image/skins/bleu vert/Create.jpg" &&
    cmp -s "$dest/Image/Start.Jpg" "$ROOT/data/Image/skins/bleu vert/Start.jpg" &&
    cmp -s "$dest/liste/interdit.txt" "$work/edited-list.txt"
}
wineserver -w

log "upgrading silently to version $next"
check "msiexec /i of version $next succeeds" wine msiexec /i "$(winepath -w "$work/Kestrane-$next.msi")" /qn
wineserver -w
check "the upgrade replaced Kestrane.exe by the new package's" cmp -s "$dest/Kestrane.exe" "$work/Kestrane.exe"
check "the skin chosen and the forbidden list edited are kept as they were" user_files_kept
check "the configuration saved before the upgrade is kept as it was" cmp -s "$dest/Config/profil-installe.cfg" "$work/saved.cfg"
check "the machine's original state is kept by the upgrade as it was" cmp -s "$dest/Config/Origine/origine.cfg" "$work/origine.cfg"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
entries=$(wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | grep -c 'DisplayName.*REG_SZ.*Kestrane$')
versions=$(wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | grep 'DisplayVersion' | grep -c "$next")
check "one Kestrane is registered after the upgrade ($entries), of version $next" test "$entries" -eq 1 -a "$versions" -ge 1
check "msiexec /i of a rebuild of version $next succeeds" \
  wine msiexec /i "$(winepath -w "$work/Kestrane-$next-rebuild.msi")" /qn
wineserver -w
entries=$(wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | grep -c 'DisplayName.*REG_SZ.*Kestrane$')
check "one Kestrane is registered after the rebuild replaced it ($entries)" test "$entries" -eq 1
check "the skin chosen and the forbidden list edited are still kept" user_files_kept
check "an older package refuses to install over the newer" bash -c "! wine msiexec /i '$(winepath -w "$package")' /qn"
wineserver -w

log "uninstalling silently"
check "msiexec /x /qn succeeds" wine msiexec /x "$(winepath -w "$work/Kestrane-$next-rebuild.msi")" /qn
wineserver -w
check "Kestrane.exe is removed" test ! -e "$dest/Kestrane.exe"
left=$(cd "$dest" 2>/dev/null && find . -type f ! -path './Config/*' | wc -l)
check "no file of the program is left ($left)" test "${left:-0}" -eq 0
check "the user's configuration stays after uninstalling" test -s "$dest/Config/profil-installe.cfg"
check "the machine's original state stays after uninstalling" cmp -s "$dest/Config/Origine/origine.cfg" "$work/origine.cfg"
entries=$(wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | grep -c 'DisplayName.*REG_SZ.*Kestrane$')
check "Kestrane is no longer registered" test "$entries" -eq 0

wineserver -k 2>/dev/null
if [ "$failures" -ne 0 ]; then
  echo "installer test: $failures check(s) failed" >&2
  exit 1
fi
echo "installer test: every check passed"
