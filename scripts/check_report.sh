#!/usr/bin/env bash
# Checks the HTML review report in a real browser: makes six generated pages
# (plus a copy whose path reads "<script>alert(1)</script>.png"), runs
# id-reader-cli --report on them and, when BUILD_DIR has the window, opens
# the same pages in the real id-reader under Xvfb and writes its report with
# Ctrl+E and the file dialog. Each report is rendered with headless Chromium
# and checked:
#   - the screenshot exists and is not blank,
#   - the page's DOM holds every page, the script text as text, and no
#     <script> element; the report names nothing on a network;
# and the window's report must be the command line's, byte for byte.
#   scripts/check_report.sh BUILD_DIR [SCREENSHOT.png]
# BUILD_DIR holds app/cli/id-reader-cli and tools/make_pages (and
# app/gui/id-reader). With SCREENSHOT.png the command line's screenshot is
# kept there (docs/report.png is made so).
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
window=$build/app/gui/id-reader
[ -x "$window" ] || window=""
idr_need_packages chromium imagemagick
[ -z "$window" ] || idr_need_packages xvfb xauth xdotool x11-utils
browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || { echo "chromium is not on the PATH" >&2; exit 2; }

tmp=$(mktemp -d)
if [ -n "$window" ]; then
    source "$root/scripts/gui_session.sh"  # its own cleanup stops Xvfb and the window
    trap 'gui_cleanup; rm -rf "$tmp"' EXIT
else
    trap 'rm -rf "$tmp"' EXIT
fi
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

# Renders one report and checks what a reader of it sees.
check_in_browser() {  # check_in_browser WHOSE REPORT SHOT
    local whose=$1 file=$2 shot=$3 dom=$3.dom.html
    chrome --hide-scrollbars --screenshot="$shot" --window-size=1280,2000 "file://$file" >/dev/null || true
    chrome --dump-dom "file://$file" >"$dom" || true
    check "$whose: screenshot written" test -s "$shot"
    if [ -s "$shot" ]; then
        local size spread colours
        size=$(identify -format '%wx%h' "$shot")
        check "$whose: screenshot is 1280x2000 (got $size)" test "$size" = 1280x2000
        # A blank page is one colour: no spread of brightness, one distinct colour.
        spread=$(convert "$shot" -colorspace gray -format '%[fx:int(1000*standard_deviation)]' info:)
        colours=$(convert "$shot" -format '%k' info:)
        check "$whose: screenshot not blank (brightness spread $spread/1000, $colours colours)" \
            test "$spread" -ge 50 -a "$colours" -ge 100
    fi
    check "$whose: DOM dumped" test -s "$dom"
    local pages_read
    pages_read=$(grep -o '<article' "$dom" | wc -l)
    check "$whose: every page in the DOM (7 cards, got $pages_read)" test "$pages_read" -eq 7
    check "$whose: the script's name shown as text" grep -qF '&lt;script&gt;alert(1)&lt;/script&gt;.png' "$dom"
    check "$whose: no <script> element" bash -c '! grep -qi "<script" "$1"' _ "$dom"
    check "$whose: no network reference" bash -c '! grep -qiE "(src|href)=\"(https?:)?//" "$1"' _ "$file"
}

shot=$tmp/report.png
check_in_browser "command line" "$report" "$shot"

# The window: the same pages by argument, from the same folder, so that its
# report names them alike; Ctrl+E, the name typed into the file dialog.
if [ -n "$window" ]; then
    window_report=$tmp/window-report.html
    written() {
        [ -s "$window_report" ] && [ ! -e "$window_report.review.part" ] &&
            [ "$(tail -c 8 "$window_report")" = "</html>" ]  # the last line, its newline dropped by $()
    }
    gui_start_xvfb
    cd "$tmp"
    LC_ALL=C.UTF-8 gui_start_app "$window" pages "pages/<script>alert(1)</script>.png"
    xdotool windowfocus --sync "$gui_win" key ctrl+e
    dialog=""
    for _ in $(seq 100); do
        dialog=$(xdotool search --onlyvisible --name '^Write report$' 2>/dev/null | head -n1 || true)
        [ -n "$dialog" ] && break
        sleep 0.1
    done
    [ -n "$dialog" ] || gui_fail "Ctrl+E opened no \"Write report\" dialog"
    sleep 0.3  # the dialog lists the folder
    xdotool windowfocus --sync "$dialog" key ctrl+a
    xdotool type --delay 5 "$window_report"
    xdotool key Return
    gui_eventually 120 written || gui_fail "the window wrote no report to $window_report"
    cd - >/dev/null
    check_in_browser "window" "$window_report" "$tmp/window-report.png"
    check "window: the same report as the command line's, byte for byte" cmp -s "$report" "$window_report"
else
    echo "window: not checked (no $build/app/gui/id-reader)"
fi

if [ -n "$keep" ] && [ -s "$shot" ]; then
    mkdir -p "$(dirname "$keep")"
    # The part of the screenshot with content; stripped of dates and names.
    convert "$shot" -trim +repage -bordercolor '#f4f5f7' -border 0 -strip "$keep"
    echo "wrote $keep"
fi
[ "$fail" -eq 0 ] && echo "report check passed" || echo "report check FAILED" >&2
exit "$fail"
