#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them, seeded with the BMP
# suite's good files and fuzz/seeds. Fails on any crash, leak or sanitizer
# report.
#   scripts/fuzz.sh [SECONDS]            every built target, SECONDS (default 60)
#                                        shared out between them
#   scripts/fuzz.sh TARGET=SECONDS ...   the named targets, each its own budget
# Every target runs for at least 1 s: libFuzzer reads a budget of 0 as "run
# forever", so a budget smaller than the number of targets must not round
# down to it (60 s over 80 targets is 1 s each, 80 s in all).
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$IDR_ROOT"

usage() { echo "usage: scripts/fuzz.sh [SECONDS] | TARGET=SECONDS ..." >&2; exit 2; }
is_count() { [[ $1 =~ ^[0-9]+$ ]]; }

# UBSan only reports and carries on unless told to stop; a report must fail the run.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
# Leaks inside the format libraries themselves (tests/lsan.supp says which)
# are theirs to fix, not a failure of ours.
export LSAN_OPTIONS="suppressions=$IDR_ROOT/tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
IDR_TARGET=fuzzers idr_build build-fuzz -DIDR_FUZZ=ON -DIDR_BUILD_GUI=OFF -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo

built=()
for f in build-fuzz/fuzz/fuzz_*; do [ -f "$f" ] && [ -x "$f" ] && built+=("$(basename "$f")"); done
[ ${#built[@]} -gt 0 ] || { echo "no fuzz targets were built"; exit 1; }

names=()
budgets=()
if [ $# -le 1 ] && { [ $# -eq 0 ] || is_count "$1"; }; then
    seconds=${1:-60}
    each=$(( seconds / ${#built[@]} ))
    [ "$each" -ge 1 ] || each=1
    for name in "${built[@]}"; do names+=("$name"); budgets+=("$each"); done
else
    for arg in "$@"; do
        [[ $arg == *=* ]] || usage
        name=${arg%%=*}
        budget=${arg#*=}
        is_count "$budget" || usage
        [ -x "build-fuzz/fuzz/$name" ] || { echo "no fuzz target $name (built: ${built[*]})" >&2; exit 2; }
        [ "$budget" -ge 1 ] || budget=1
        names+=("$name")
        budgets+=("$budget")
    done
fi

for i in "${!names[@]}"; do
    name=${names[$i]}
    budget=${budgets[$i]}
    corpus=build-fuzz/corpus/$name
    mkdir -p "$corpus" build-fuzz/artifacts
    cp -n ../shared/bmpsuite/g/*.bmp "$corpus"/ 2>/dev/null || true
    [ -d fuzz/seeds ] && cp -n fuzz/seeds/* "$corpus"/ 2>/dev/null || true
    # A target's own seeds, fuzz/seeds_<what> for fuzz_<what>.
    [ -d "fuzz/seeds_${name#fuzz_}" ] && cp -n "fuzz/seeds_${name#fuzz_}"/* "$corpus"/ 2>/dev/null || true
    echo "-- $name for ${budget} s"
    "build-fuzz/fuzz/$name" -max_total_time="$budget" -max_len=400000 -rss_limit_mb=2048 \
        -artifact_prefix=build-fuzz/artifacts/ -print_final_stats=1 "$corpus" 2>"build-fuzz/$name.log" \
        || { tail -n 60 "build-fuzz/$name.log"; echo "$name found a failure"; exit 1; }
    grep -E "stat::number_of_executed_units|Done" "build-fuzz/$name.log" | tail -n 2 || true
done
# ./test counts each target run as one test case.
if [ -n "${IDR_RESULTS_DIR:-}" ]; then echo "${#names[@]}" >"$IDR_RESULTS_DIR/fuzz.count"; fi
