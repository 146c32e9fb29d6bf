#!/usr/bin/env bash
# The PowerShell scripts the program exports, read with a grammar of PowerShell (powershell-check.js says what it
# checks): the golden scripts, which the native tests hold equal to the program's output, among them hostile.ps1,
# written from records named as wildcards ("*", "RpcS?", "a[bc]"), as quotes that would end a string, as
# subexpressions, with line ends and a byte-order mark.
# The grammar and the Node bindings of tree-sitter, at the versions of package-lock.json, go into
# build/node-export the first time (npm builds their native parts with node-gyp and the system's Node headers).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
here="$root/tests/export"
modules="$root/build/node-export"

if ! cmp -s "$here/package-lock.json" "$modules/installed-lock.json" 2>/dev/null; then
  echo "installing the PowerShell grammar into $modules"
  rm -rf "$modules"
  mkdir -p "$modules"
  cp "$here/package.json" "$here/package-lock.json" "$modules/"
  # The headers of the installed Node (Debian's libnode-dev), rather than a download of Node's own.
  [ -f /usr/include/node/common.gypi ] && export npm_config_nodedir=/usr
  (cd "$modules" && npm ci --no-audit --no-fund --ignore-scripts=false --loglevel=error)
  cp "$here/package-lock.json" "$modules/installed-lock.json"
fi

NODE_PATH="$modules/node_modules" node "$here/powershell-check.js" "$root"/tests/profile/golden/*.ps1
