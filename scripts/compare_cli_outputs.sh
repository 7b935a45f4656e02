#!/usr/bin/env bash
# Compares what two builds of id-reader-cli write for the same pages, byte for
# byte: the text lines, --csv, --json (without the "ms" times, which vary from
# run to run), --cells --verbose, the spreadsheet's XML parts (without its
# creation time), the --overlay PNGs and the --report HTML (with JPEG pictures
# alone, with PNG ones beside --overlay), also on the built-in sheet and on a
# file that cannot be read. Standard error and the exit status are compared
# too.
#   scripts/compare_cli_outputs.sh [--pages DIR] [--keep DIR] BEFORE AFTER
# BEFORE and AFTER are each a git revision (built from `git archive` into
# build-compare/REV, reused when already there) or the path of a built
# id-reader-cli. DIR defaults to ../shared/scans/sample.
#   scripts/compare_cli_outputs.sh main build/app/cli/id-reader-cli
# Exit status: 0 the outputs are the same, 1 they differ (the differing files
# are listed), 2 usage or a build that failed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pages=$root/../shared/scans/sample
keep=""
while [ $# -gt 0 ]; do
    case $1 in
    --pages) pages=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) break ;;
    esac
done
[ $# -eq 2 ] || { sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
[ -d "$pages" ] || { echo "no pages at $pages" >&2; exit 2; }
pages=$(cd "$pages" && pwd)
command -v unzip >/dev/null || { echo "unzip is not installed" >&2; exit 2; }

# The id-reader-cli that a revision builds, or the program named.
cli_of() {
    local what=$1
    if [ -x "$what" ] && [ -f "$what" ]; then
        (cd "$(dirname "$what")" && echo "$PWD/$(basename "$what")")
        return
    fi
    local rev
    rev=$(git -C "$root" rev-parse --verify --quiet "$what^{commit}") ||
        { echo "$what is neither a program nor a git revision" >&2; return 2; }
    local dir=$root/build-compare/${rev:0:12}
    if [ ! -x "$dir/build/app/cli/id-reader-cli" ]; then
        echo "building id-reader-cli of $what (${rev:0:12}) in $dir" >&2
        rm -rf "$dir"
        mkdir -p "$dir/src"
        git -C "$root" archive --format=tar "$rev" | tar -x -C "$dir/src"
        cmake -S "$dir/src" -B "$dir/build" -G Ninja -DIDR_BUILD_GUI=OFF -DIDR_BUILD_TESTS=OFF \
            -DIDR_BUILD_BENCH=OFF >"$dir/configure.log" 2>&1 ||
            { echo "configuring $what failed: see $dir/configure.log" >&2; return 2; }
        cmake --build "$dir/build" --target id-reader-cli -- -j2 >"$dir/build.log" 2>&1 ||
            { echo "building $what failed: see $dir/build.log" >&2; return 2; }
    fi
    echo "$dir/build/app/cli/id-reader-cli"
}

before=$(cli_of "$1") || exit 2
after=$(cli_of "$2") || exit 2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One run: stdout, stderr and the exit status into OUT/NAME.*, files the run
# writes under OUT/NAME/. Paths are relative to the run folder, which holds
# the same names for both programs, so the outputs name the same files.
run_one() {  # run_one CLI OUT NAME ARGS...
    local cli=$1 out=$2 name=$3
    shift 3
    mkdir -p "$out/$name"
    local status=0
    (cd "$work/run" && "$cli" "$@") >"$out/$name.out" 2>"$out/$name.err" || status=$?
    echo "$status" >"$out/$name.status"
    # Paths in messages name the output folder of this side; make them alike.
    sed -i "s|$out/|OUT/|g" "$out/$name.err"
}

# Every output of one program into OUT.
outputs_of() {  # outputs_of CLI OUT
    local cli=$1 out=$2
    mkdir -p "$out"
    run_one "$cli" "$out" text --quiet pages
    run_one "$cli" "$out" csv --quiet --csv pages
    run_one "$cli" "$out" json --quiet --json pages
    run_one "$cli" "$out" cells --quiet --cells --verbose pages
    run_one "$cli" "$out" one-thread --quiet --jobs 1 --json pages
    run_one "$cli" "$out" xlsx --quiet --xlsx "$out/xlsx/results.xlsx" pages
    run_one "$cli" "$out" overlay --quiet --overlay "$out/overlay/pictures" pages
    run_one "$cli" "$out" report --quiet --report "$out/report/report.html" pages
    run_one "$cli" "$out" all --quiet --overlay "$out/all/pictures" --report "$out/all/report.html" \
        --xlsx "$out/all/results.xlsx" --csv pages
    run_one "$cli" "$out" built-in
    run_one "$cli" "$out" built-in-json --json
    run_one "$cli" "$out" built-in-review --cells --overlay "$out/built-in-review/pictures" \
        --report "$out/built-in-review/report.html" --xlsx "$out/built-in-review/results.xlsx"
    run_one "$cli" "$out" unreadable --quiet --overlay "$out/unreadable/pictures" \
        --report "$out/unreadable/report.html" --xlsx "$out/unreadable/results.xlsx" \
        junk.png missing.png pages/p0001.png
    run_one "$cli" "$out" usage --overlay
    # The "ms" times vary from run to run.
    local f
    for f in "$out"/*.out; do sed -i -E 's/,"ms":[-0-9.eE+]+//' "$f"; done
    # A spreadsheet is a zip of XML parts; the parts are compared, with the
    # creation time taken out.
    local xlsx
    while IFS= read -r xlsx; do
        unzip -q -o "$xlsx" -d "$xlsx.parts"
        rm "$xlsx"
        sed -i -E 's|[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z|TIME|g' "$xlsx.parts/docProps/core.xml"
    done < <(find "$out" -name '*.xlsx')
}

mkdir -p "$work/run"
ln -s "$pages" "$work/run/pages"
printf 'not a picture at all' >"$work/run/junk.png"

echo "before: $before"
outputs_of "$before" "$work/before"
echo "after:  $after"
outputs_of "$after" "$work/after"

if [ -n "$keep" ]; then
    mkdir -p "$keep"
    cp -r "$work/before" "$work/after" "$keep/"
fi
files=$(find "$work/before" -type f | wc -l)
if diff -r -q "$work/before" "$work/after" >"$work/diff.txt"; then
    echo "the same: $files files byte for byte (pages: $pages)"
    exit 0
fi
sed "s|$work/||g" "$work/diff.txt" >&2
echo "DIFFERENT: $(wc -l <"$work/diff.txt") of $files files differ" >&2
exit 1
