#!/usr/bin/env bash
# The playbooks the program exports, read and run by Ansible itself. The files checked are the golden ones, which
# the native tests hold equal to the program's output:
# - poste-leger.yml: ansible-playbook --syntax-check and ansible-lint, then every task's arguments checked against
#   the documentation of the module it calls (ansible-lint cannot load the options of a PowerShell module such as
#   ansible.windows.win_service);
# - hostile.yml, written from records named as Ansible templates ({{ lookup('pipe','touch MARK') }}, a {% for %}
#   loop), in display names and in the configuration's name too, and from names and display names holding control
#   characters (NUL, C1 such as U+0081 and U+009D, NEL, U+2028, a lone surrogate), which must never be written
#   raw: no line of either playbook may hold one. Then run on this machine, where Ansible templates every
#   task before handing it to the module. No MARK file may appear, and the module must receive every service name
#   exactly as the playbook writes it. PowerShell is stood in for by a program that records the module's arguments
#   and answers that nothing changed, so that every task runs (a failing module would end the play at the first).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
golden="$root/tests/profile/golden"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$golden/poste-leger.yml" "$golden/hostile.yml" "$work/"
cd "$work"
export ANSIBLE_LOCAL_TEMP="$work/tmp" ANSIBLE_REMOTE_TEMP="$work/remote" ANSIBLE_HOME="$work/home" ANSIBLE_NOCOLOR=1

ansible-playbook --syntax-check -i localhost, poste-leger.yml
# With the !unsafe tags ansible-lint 6.13 logs "Error trying to append skipped rules": its reader of "# noqa"
# comments (there are none) matches tasks by name between two YAML parsers, one of which keeps the tag. Every rule
# still runs, and a failing one still fails.
ansible-lint --nocolor poste-leger.yml
ansible-doc -t module -j ansible.windows.win_service >win_service.json

mkdir bin
cat >bin/powershell <<'PY'
#!/usr/bin/env python3
# Ansible runs a PowerShell module as "powershell FILE": its wrapper, four NUL bytes, then a JSON payload.
import json, os, sys
payload = open(sys.argv[-1], "rb").read().split(b"\0\0\0\0", 1)[1]
with open(os.environ["MODULE_ARGS_LOG"], "a", encoding="utf-8") as log:
    log.write(json.dumps(json.loads(payload)["module_args"]) + "\n")
print(json.dumps({"changed": False}))
PY
chmod +x bin/powershell
PATH="$work/bin:$PATH" MODULE_ARGS_LOG="$work/module-args.jsonl" \
  ansible-playbook -i localhost, -c local hostile.yml >hostile.log 2>&1 || { cat hostile.log; exit 1; }
marks=$(find "$work" -name 'MARK*')
if [ -n "$marks" ]; then
  cat hostile.log
  printf 'a name of hostile.yml was templated by Ansible, which ran a command that made:\n%s\n' "$marks"
  exit 1
fi

python3 - poste-leger.yml hostile.yml win_service.json module-args.jsonl <<'PY'
import json, re, sys, yaml

class Unsafe(str):
    """A scalar tagged !unsafe, which Ansible never templates."""

class Loader(yaml.SafeLoader):
    pass

Loader.add_constructor("!unsafe", lambda loader, node: Unsafe(loader.construct_scalar(node)))

def plays(path):
    return yaml.load(open(path, encoding="utf-8"), Loader=Loader)

# What a playbook never holds as it is: control characters but tab and line ends (C0, DEL, C1, NEL among them,
# which YAML reads as a line end), U+2028 and U+2029 (line ends too), U+FFFE and U+FFFF. A service name holding
# one is left out and said so in a comment, where it shows as a space. YAML refuses most of them anyway; this
# says which and where.
RAW_CONTROL = re.compile(r"[\x00-\x08\x0b\x0c\x0e-\x1f\x7f-\x9f\u2028\u2029\ufffe\uffff]")
for path in sys.argv[1:3]:
    for row, line in enumerate(open(path, encoding="utf-8", newline="").read().split("\n"), 1):
        found = RAW_CONTROL.search(line)
        if found:
            print(f"{path}:{row}:{found.start() + 1}: raw control character U+{ord(found.group()):04X}")
            sys.exit(1)

doc = json.load(open(sys.argv[3]))["ansible.windows.win_service"]["doc"]["options"]
required = {name for name, option in doc.items() if option.get("required")}
failures = []

def check(path):
    tasks, names = 0, []
    for play in plays(path):
        if not isinstance(play.get("name"), Unsafe):
            failures.append(f"{path}: the play's name {play.get('name')!r} is not tagged !unsafe")
        for task in play.get("tasks") or []:
            tasks += 1
            if not isinstance(task.get("name"), Unsafe):
                failures.append(f"{path}: the task name {task.get('name')!r} is not tagged !unsafe")
            args = task.get("ansible.windows.win_service")
            if args is None:
                failures.append(f"{path}: {task.get('name')}: not an ansible.windows.win_service task")
                continue
            if not isinstance(args.get("name"), Unsafe):
                failures.append(f"{path}: the service name {args.get('name')!r} is not tagged !unsafe")
            names.append(args.get("name"))
            for key, value in args.items():
                if key not in doc:
                    failures.append(f"{path}: {task['name']}: unknown argument {key}")
                elif doc[key].get("choices") and value not in doc[key]["choices"]:
                    failures.append(f"{path}: {task['name']}: {key}={value} not in {doc[key]['choices']}")
            for key in required - set(args):
                failures.append(f"{path}: {task['name']}: missing required argument {key}")
    if tasks == 0:
        failures.append(f"{path}: no task at all")
    print(f"{path}: {tasks} tasks checked against the module's {len(doc)} options")
    return names

check(sys.argv[1])
written = check(sys.argv[2])
received = [json.loads(line)["name"] for line in open(sys.argv[4], encoding="utf-8")]
if received != written:
    failures.append(f"the module received the names {received!r}, the playbook writes {written!r}")
else:
    print(f"{sys.argv[2]}: run, {len(received)} service names received by the module as written, no command run")
if failures:
    print("\n".join(failures))
    sys.exit(1)
PY
