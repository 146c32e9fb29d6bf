# Shared by ./run, ./test and the benchmarks: packages, build, Wine prefix, installation.
# Source it from the repository root.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build"

log() { printf '\n== %s\n' "$*" >&2; }

# Installs with apt-get whatever of the tool chain is missing (needs root on a fresh machine).
ensure_packages() {
  local wanted=(cmake make g++ googletest g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 fonts-wine
                xvfb xauth x11-utils xdotool imagemagick clang libclang-rt-14-dev bc locales
                wixl msitools ansible ansible-lint nodejs python3-samba)
  # npm for the grammar the exported PowerShell script is checked with; a Node.js that brings its own npm (and
  # conflicts with Debian's package) will do.
  command -v npm >/dev/null 2>&1 || wanted+=(npm)
  local missing=()
  local p
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

# Cross-compiles the program and its test programs into build/.
build_windows() {
  log "building Kestrane for Windows"
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD" --parallel "$(nproc)"
}

# Points Wine at a prefix of our own under build/ (never the user's ~/.wine) and creates it if needed.
use_prefix() {
  export WINEPREFIX="$BUILD/$1"
  export WINEARCH=win64
  export WINEDEBUG=-all
  # No Mono or Gecko installers: the program needs neither.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "creating the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
}

stop_prefix() { wineserver -k 2>/dev/null || true; }

# Installs the program into C:\Program Files\Kestrane\ of the current prefix through its installer
# package, silently, as an administrator deploys it. An installed Kestrane (of this version or an older
# one) is replaced; the configurations a user saved in Config\ are kept.
install_app() {
  local version package
  version=$(sed -n 's/^project(Kestrane VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
  package="$BUILD/Kestrane-$version.msi"
  log "installing $package"
  WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d" wine msiexec /i "$(winepath -w "$package")" /qn
  wineserver -w
}

# Registers the demo services (the test service program under several names), starts some and names two
# in the installed forbidden list.
install_demo_services() {
  log "registering the demo services"
  wine "$BUILD/bin/kestrane_demo.exe" install
  # Their texts, beside those of Windows' services (the package ships only the latter).
  cp -f "$ROOT"/tests/tools/demo-texts/*.txt "$WINEPREFIX/drive_c/Program Files/Kestrane/ServTxt/serv/"
}

# Wine takes the user's language from the Unix locale: in French, the system's own buttons read "Oui",
# "Non", "Annuler", as a French user sees them. Makes the locale if the system lacks it.
use_french_locale() {
  if ! locale -a 2>/dev/null | grep -qi '^fr_FR\.utf-\?8$'; then
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" localedef -i fr_FR -f UTF-8 fr_FR.UTF-8 || log "the French locale could not be made: Wine stays in English"
  fi
  export LANG=fr_FR.UTF-8 LC_ALL=fr_FR.UTF-8
}
