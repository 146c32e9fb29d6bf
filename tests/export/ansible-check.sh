#!/usr/bin/env bash
# The playbook the program exports, read by Ansible itself: ansible-playbook --syntax-check and
# ansible-lint, then every task's arguments checked against the documentation of the module it calls
# (ansible-lint cannot load the options of a PowerShell module such as ansible.windows.win_service).
# The file checked is the golden playbook, which the native tests hold equal to the program's output.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
playbook="$root/tests/profile/golden/poste-leger.yml"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$playbook" "$work/"
cd "$work"
export ANSIBLE_LOCAL_TEMP="$work/tmp" ANSIBLE_HOME="$work/home" ANSIBLE_NOCOLOR=1

ansible-playbook --syntax-check -i localhost, poste-leger.yml
ansible-lint --nocolor poste-leger.yml
ansible-doc -t module -j ansible.windows.win_service >win_service.json
python3 - poste-leger.yml win_service.json <<'PY'
import json, sys, yaml
plays = yaml.safe_load(open(sys.argv[1], encoding="utf-8"))
doc = json.load(open(sys.argv[2]))["ansible.windows.win_service"]["doc"]["options"]
required = {name for name, option in doc.items() if option.get("required")}
failures, tasks = [], 0
for play in plays:
    for task in play.get("tasks") or []:
        tasks += 1
        args = task.get("ansible.windows.win_service")
        if args is None:
            failures.append(f"{task.get('name')}: not an ansible.windows.win_service task")
            continue
        for key, value in args.items():
            if key not in doc:
                failures.append(f"{task['name']}: unknown argument {key}")
            elif doc[key].get("choices") and value not in doc[key]["choices"]:
                failures.append(f"{task['name']}: {key}={value} not in {doc[key]['choices']}")
        for key in required - set(args):
            failures.append(f"{task['name']}: missing required argument {key}")
if tasks == 0:
    failures.append("no task at all")
print(f"{tasks} tasks checked against the module's {len(doc)} options")
if failures:
    print("\n".join(failures))
    sys.exit(1)
PY
