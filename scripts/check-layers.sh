#!/usr/bin/env bash
# Fails when a file under src/ includes a header of a layer it may not use, naming the file and the
# include. The layers, bottom to top, and what each may use besides itself are written here and nowhere
# else.
set -euo pipefail
cd "$(dirname "$0")/../src"

declare -A may_use=(
  [base]=""
  [service]="base"
  [profile]="base service"
  [win]="base"
  [windows]="base service profile win"
  [commandline]="base service profile"
  [app]="base service profile win windows commandline"
)

status=0
while IFS= read -r -d '' file; do
  layer=${file%%/*}
  if [ -z "${may_use[$layer]+set}" ]; then
    echo "$file: folder '$layer' is no layer" >&2
    status=1
    continue
  fi
  while IFS= read -r include; do
    target=${include%%/*}
    # A bare name is a file of the same folder (the resource script's own headers).
    [ "$target" = "$include" ] && continue
    [ "$target" = "$layer" ] && continue
    case " ${may_use[$layer]} " in
      *" $target "*) ;;
      *) echo "$file: includes \"$include\" (layer '$layer' may not use '$target')" >&2; status=1 ;;
    esac
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find . -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.rc' \) -printf '%P\0')

[ $status -eq 0 ] && echo "layers: every include points down"
exit $status
