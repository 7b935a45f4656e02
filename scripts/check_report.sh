#!/usr/bin/env bash
# Checks the HTML review report in a real browser: makes six generated pages
# (plus a copy whose path reads "<script>alert(1)</script>.png"), runs
# id-reader-cli --report on them, renders the report with headless Chromium
# and checks that
#   - the screenshot exists and is not blank,
#   - the page's DOM holds the script text as text, and no <script> element.
#   scripts/check_report.sh BUILD_DIR [SCREENSHOT.png]
# BUILD_DIR holds app/cli/id-reader-cli and tools/make_pages. With
# SCREENSHOT.png the screenshot is kept there (docs/report.png is made so).
# Exit status: 0 all checks passed, 1 a check failed, 2 usage.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/common.sh"
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [SCREENSHOT.png]" >&2; exit 2; }
build=$(cd "$1" && pwd)
keep=${2:-}
cli=$build/app/cli/id-reader-cli
make_pages=$build/tools/make_pages
for exe in "$cli" "$make_pages"; do
    [ -x "$exe" ] || { echo "no $exe: build it first (cmake --build $1 --target $(basename "$exe"))" >&2; exit 2; }
done
idr_need_packages chromium imagemagick
browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || { echo "chromium is not on the PATH" >&2; exit 2; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
pages=$tmp/pages
"$make_pages" --count 6 --seed 3 --quiet "$pages" >/dev/null
# A '/' cannot be part of a file name, so the hostile name is a folder
# "<script>alert(1)<" holding "script>.png": the path as given to the reader,
# which is what the report shows, then reads "<script>alert(1)</script>.png".
hostile_dir="$pages/<script>alert(1)<"
mkdir -p "$hostile_dir"
first=$(find "$pages" -maxdepth 1 -name 'p*.png' | sort | head -n 1)
cp "$first" "$hostile_dir/script>.png"
hostile="$pages/<script>alert(1)</script>.png"
[ -f "$hostile" ] || { echo "could not make $hostile" >&2; exit 1; }

report=$tmp/report.html
status=0
# Relative paths, so that the report (and the screenshot) show short names.
(cd "$tmp" && "$cli" --report "$report" pages "pages/<script>alert(1)</script>.png") \
    >"$tmp/cli.out" 2>"$tmp/cli.err" || status=$?
if [ "$status" -ne 0 ] || [ ! -s "$report" ]; then
    echo "FAIL: id-reader-cli --report exited $status" >&2
    cat "$tmp/cli.err" >&2
    exit 1
fi

# A private profile, no network services, nothing remembered.
chrome() {
    "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$(mktemp -d -p "$tmp")" "$@" 2>>"$tmp/chromium.log"
}
shot=$tmp/report.png
chrome --hide-scrollbars --screenshot="$shot" --window-size=1280,2000 "file://$report" >/dev/null || true
chrome --dump-dom "file://$report" >"$tmp/dom.html" || true

fail=0
check() {  # check WHAT CONDITION...
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAIL: $what" >&2
        fail=1
    fi
}
check "screenshot written" test -s "$shot"
if [ -s "$shot" ]; then
    size=$(identify -format '%wx%h' "$shot")
    check "screenshot is 1280x2000 (got $size)" test "$size" = 1280x2000
    # A blank page is one colour: no spread of brightness, one distinct colour.
    spread=$(convert "$shot" -colorspace gray -format '%[fx:int(1000*standard_deviation)]' info:)
    colours=$(convert "$shot" -format '%k' info:)
    check "screenshot not blank (brightness spread $spread/1000, $colours colours)" \
        test "$spread" -ge 50 -a "$colours" -ge 100
fi
check "DOM dumped" test -s "$tmp/dom.html"
pages_read=$(grep -o '<article' "$tmp/dom.html" | wc -l)
check "every page in the DOM (7 cards, got $pages_read)" test "$pages_read" -eq 7
check "the script's name shown as text" grep -qF '&lt;script&gt;alert(1)&lt;/script&gt;.png' "$tmp/dom.html"
check "no <script> element" bash -c '! grep -qi "<script" "$1"' _ "$tmp/dom.html"
check "no network reference" bash -c '! grep -qiE "(src|href)=\"(https?:)?//" "$1"' _ "$report"

if [ -n "$keep" ] && [ -s "$shot" ]; then
    mkdir -p "$(dirname "$keep")"
    # The part of the screenshot with content; stripped of dates and names.
    convert "$shot" -trim +repage -bordercolor '#f4f5f7' -border 0 -strip "$keep"
    echo "wrote $keep"
fi
[ "$fail" -eq 0 ] && echo "report check passed" || echo "report check FAILED" >&2
exit "$fail"
