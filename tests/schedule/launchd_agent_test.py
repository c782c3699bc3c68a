"""Reads examples/schedule/lotpick-wallpaper.plist as launchd does, as a
property list, and checks that it runs the wrapper once a day from the folder
the systemd service uses, found on the service's PATH (sh expands $HOME there,
where systemd has %h).

launchd_agent_test.py PLIST SERVICE
"""
import plistlib
import re
import sys

with open(sys.argv[1], "rb") as plist:
    agent = plistlib.load(plist)
with open(sys.argv[2], encoding="utf-8") as unit:
    service = unit.read()

failures = []
if agent.get("StartCalendarInterval") != {"Hour": 7, "Minute": 0}:
    failures.append(f"not once a day at 07:00: {agent.get('StartCalendarInterval')!r}")
shell, flag, command = agent["ProgramArguments"]
if (shell, flag) != ("/bin/sh", "-c"):
    failures.append(f"not run by sh -c: {shell} {flag}")
service_path = re.search(r"^Environment=PATH=(.*)$", service, re.M).group(1).replace("%h", "$HOME")
if f'PATH="{service_path}"' not in command:
    failures.append(f"not the service's PATH ({service_path}): {command}")
if not command.startswith('cd "$HOME/.local/share/lotpick" && ') or " exec lotpick-wallpaper " not in command:
    failures.append(f"not the wrapper on the PATH, from the list's folder ~/.local/share/lotpick: {command}")
for failure in failures:
    print("FAIL", failure)
sys.exit(1 if failures else 0)
