#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them for the given number
# of seconds in all (default 60), seeded with the BMP suite's good files.
# Fails on any crash, leak or sanitizer report.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$IDR_ROOT"

seconds=${1:-60}
# UBSan only reports and carries on unless told to stop; a report must fail the run.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
idr_build build-fuzz -DIDR_FUZZ=ON -DIDR_BUILD_GUI=OFF -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo

targets=()
for f in build-fuzz/fuzz/fuzz_*; do [ -f "$f" ] && [ -x "$f" ] && targets+=("$f"); done
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets were built"; exit 1; }
per_target=$(( seconds / ${#targets[@]} ))
for target in "${targets[@]}"; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus=build-fuzz/corpus/$name
    mkdir -p "$corpus" build-fuzz/artifacts
    cp -n ../shared/bmpsuite/g/*.bmp "$corpus"/ 2>/dev/null || true
    [ -d fuzz/seeds ] && cp -n fuzz/seeds/* "$corpus"/ 2>/dev/null || true
    # A target's own seeds, fuzz/seeds_<what> for fuzz_<what>.
    [ -d "fuzz/seeds_${name#fuzz_}" ] && cp -n "fuzz/seeds_${name#fuzz_}"/* "$corpus"/ 2>/dev/null || true
    echo "-- $name for ${per_target} s"
    "$target" -max_total_time="$per_target" -max_len=400000 -rss_limit_mb=2048 \
        -artifact_prefix=build-fuzz/artifacts/ -print_final_stats=1 "$corpus" 2>build-fuzz/$name.log \
        || { tail -n 60 build-fuzz/$name.log; echo "$name found a failure"; exit 1; }
    grep -E "stat::number_of_executed_units|Done" build-fuzz/$name.log | tail -n 2 || true
done
