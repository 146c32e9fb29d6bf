#!/usr/bin/env bash
# The Group Policy security templates the program exports, read by an independent parser of security templates:
# Samba's (samba.gp_parse.gp_inf, from Debian's python3-samba, under Debian's own python3). The files checked are
# the golden ones, which the native tests hold equal to the program's output; each NAME.inf must parse to exactly
# the services and start modes of NAME.inf.txt (one "name<TAB>mode" a line, UTF-8), in that order, and be UTF-16LE
# with a byte-order mark and CR LF line ends. Samba's parser loops forever on a line of the section without a
# comma: it runs under a timeout.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
golden="$root/tests/profile/golden"
for inf in "$golden"/*.inf; do
  timeout 60 /usr/bin/python3 - "$inf" "$inf.txt" <<'PY'
import sys
from samba.gp_parse.gp_inf import GptTmplInfParser

inf_path, expected_path = sys.argv[1], sys.argv[2]
data = open(inf_path, "rb").read()
problems = []
if not data.startswith(b"\xff\xfe"):
    problems.append("no UTF-16LE byte-order mark")
text = data[2:].decode("utf-16-le")
if "\n" in text.replace("\r\n", "") or "\r" in text.replace("\r\n", ""):
    problems.append("a line end that is not CR LF")
if not text.endswith("\r\n"):
    problems.append("the last line has no line end")
parser = GptTmplInfParser()
parser.parse(data)
parsed = [tuple(p) for p in parser.sections["Service General Setting"].param_list]
expected = []
for line in open(expected_path, encoding="utf-8").read().split("\n"):
    if line:
        name, mode = line.rsplit("\t", 1)
        expected.append((name, mode, ""))
if parsed != expected:
    problems.append("parsed %r\nexpected %r" % (parsed, expected))
if problems:
    print("%s: %s" % (inf_path, "; ".join(problems)))
    sys.exit(1)
print("%s: %d services read back by Samba's parser" % (inf_path.rsplit("/", 1)[1], len(parsed)))
PY
done
