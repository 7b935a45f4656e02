#!/usr/bin/env bash
# Counts the test cases run, from the result directories ./test gives its
# programs: gtest XML reports (the "tests" of <testsuites>, less disabled and
# skipped cases) and *.count files written by scripts (one number each).
#   scripts/count_cases.sh DIR...
set -euo pipefail
total=0
for dir in "$@"; do
    for f in "$dir"/*.xml; do
        [ -e "$f" ] || continue
        n=$(awk '
            /<testsuites / {
                for (i = 1; i <= NF; i++) if (split($i, kv, "=") == 2) { gsub(/[">]/, "", kv[2]); a[kv[1]] = kv[2] }
                print a["tests"] - a["disabled"]; exit
            }' "$f")
        skipped=$(grep -c '<skipped' "$f" || true)
        total=$((total + n - skipped))
    done
    for f in "$dir"/*.count; do
        [ -e "$f" ] || continue
        total=$((total + $(cat "$f")))
    done
done
echo "$total"
