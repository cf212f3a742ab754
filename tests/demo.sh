#!/usr/bin/env bash
# The demo: demo.sh WINE INSTALL_FOLDER (called by ./kf demo, with Wine set up
# and the programs installed). Writes a Guest rule set, starts kfw95.exe and
# lets simulated programs touch files, showing what the driver answers.
set -uo pipefail
WINE=$1
FOLDER=$2
BIN="$(cd "$(dirname "$0")/../build/bin" && pwd)"

sim() { "$WINE" "$FOLDER\\kfwsim.exe" "$@" </dev/null 2>&1 | tr -d '\r'; }

echo "== the Guest's rules, as the store keeps them"
"$WINE" "$BIN/kfwdemo.exe" </dev/null | tr -d '\r' || exit 1

echo "== starting kfw95.exe (resident, its window hidden)"
"$WINE" "$FOLDER\\kfw95.exe" </dev/null >/dev/null 2>&1 &
for _ in $(seq 60); do
    sim --status >/dev/null && break
    sleep 0.5
done
sim --status >/dev/null || { echo "kfw95.exe did not load the driver"; exit 1; }

echo "== what the driver holds"
sim --status

echo "== simulated programs"
while read -r task op path; do
    printf '%-8s %-7s %-32s -> %s\n' "$task" "$op" "$path" "$(sim "$task" "$op" "$path")"
done <<'ACCESSES'
WORDPAD read C:\Secret\plans.txt
WORDPAD read C:\Secret\2026\budget.xls
BACKUP read C:\Secret\plans.txt
NOTEPAD read C:\windows\win.ini
NOTEPAD write C:\windows\win.ini
NOTEPAD write C:\windows\temp\scratch.tmp
EXPLORER list C:\Users\diary.txt
NOTEPAD read C:\Shared\minutes.doc
NOTEPAD write C:\Public\notes.txt
ACCESSES

echo "== a burst of 500 denied reads"
sim --burst 500 WORDPAD read 'C:\Secret\plans.txt'

echo "== the counters now"
sim --status | grep '^reports'
