#!/usr/bin/env bash
# Runs the benchmarks and prints their figures: run.sh WINE BINDIR
set -euo pipefail
WINE=$1
BIN=$2
for b in "$BIN"/bench_*.exe; do
    echo "== $(basename "$b" .exe)"
    "$WINE" "$b" </dev/null
done
