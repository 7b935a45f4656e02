#!/usr/bin/env bash
# Measures the window beside a bare Qt baseline, in the same run, under a
# private Xvfb:
#   start    cold start to the window exposed and painted, then quit
#            (hyperfine: gui_probe start vs bare_qt_window)
#   binary   "1. Binary" click to its final caption and the repainted
#            picture, in-process (gui_probe binary), beside 363 bare title
#            updates each pushed to the X server (bare_qt_window titles)
#   real     the same click on the real id-reader, from xdotool's click to
#            the X server announcing the final caption (an upper bound: it
#            includes starting xdotool)
#   memory   peak RSS of id-reader after the four steps, and of the baseline
#   scripts/measure_gui.sh [BUILD_DIR]   (default: build; GUI and tests on)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/common.sh"
idr_need_packages xvfb xauth xdotool xclip imagemagick x11-utils hyperfine
build=${1:-$root/build}
probe=$build/tests/gui/gui_probe
bare=$build/tests/gui/bare_qt_window
app=$build/app/gui/id-reader
for f in "$probe" "$bare" "$app"; do
    [ -x "$f" ] || { echo "missing $f (build with the GUI and tests on)" >&2; exit 1; }
done
source "$root/scripts/gui_session.sh"
gui_start_xvfb

median() { sort -n | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
value_of() { awk -v k="$1" '$1 == k {print $2}'; }

echo "== start: window shown (ms, hyperfine mean +- stddev) =="
hyperfine -N --warmup 3 --runs 30 --export-csv "$gui_tmp/start.csv" \
    -n bare_qt_window "$bare" -n id-reader "$probe start" >/dev/null
awk -F, 'NR > 1 {printf "  %-15s %6.1f +- %4.1f ms\n", $1, $2 * 1000, $3 * 1000}' "$gui_tmp/start.csv"

echo "== 1. Binary, in-process (median of 15, ms) =="
for _ in $(seq 15); do "$probe" binary >>"$gui_tmp/binary.txt"; done
for _ in $(seq 15); do "$bare" titles >>"$gui_tmp/titles.txt"; done
printf '  click to final caption and repaint  %s\n' "$(value_of binary_ms <"$gui_tmp/binary.txt" | median)"
printf '    until the click returned          %s\n' "$(value_of binary_click_returned_ms <"$gui_tmp/binary.txt" | median)"
printf '    the handler alone, no window      %s\n' "$(value_of binary_model_only_ms <"$gui_tmp/binary.txt" | median)"
printf '  baseline: 363 bare title updates    %s\n' "$(value_of titles_ms <"$gui_tmp/titles.txt" | median)"

echo "== 1. Binary, real window: click to final caption seen by the X server (median of 7, ms) =="
for _ in $(seq 7); do
    gui_start_app "$app"
    read -r bx by <<<"$(gui_centre cmdBinary)"
    xdotool mousemove $((gui_x0 + bx)) $((gui_y0 + by))
    : >"$gui_tmp/spy.txt"
    (stdbuf -oL xprop -spy -id "$gui_win" WM_NAME | while IFS= read -r line; do
        printf '%s %s\n' "$EPOCHREALTIME" "$line"
    done >"$gui_tmp/spy.txt") &
    spy=$!
    sleep 0.3
    t0=$EPOCHREALTIME
    xdotool click 1
    gui_wait_title "Image binary process done  100%"
    sleep 0.1
    kill "$spy" 2>/dev/null || true
    pkill -P "$spy" 2>/dev/null || true
    t1=$(awk '/100%/ {print $1; exit}' "$gui_tmp/spy.txt")
    updates=$(grep -c 'done ' "$gui_tmp/spy.txt" || true)
    awk -v a="$t0" -v b="$t1" -v n="$updates" 'BEGIN {printf "%.1f %d\n", (b - a) * 1000, n}' >>"$gui_tmp/real.txt"
    kill "$gui_app_pid"
    wait "$gui_app_pid" 2>/dev/null || true
    gui_app_pid=""
done
printf '  %s ms (caption updates seen per run: %s)\n' "$(awk '{print $1}' "$gui_tmp/real.txt" | median)" \
    "$(awk '{print $2}' "$gui_tmp/real.txt" | sort -u | tr '\n' ' ')"

echo "== peak memory (VmHWM, MB) =="
gui_start_app "$app"
gui_read_built_in_sheet
sleep 0.3
awk '/VmHWM/ {printf "  id-reader after the four steps  %.1f\n", $2 / 1024}' "/proc/$gui_app_pid/status"
"$bare" | value_of peak_rss_kb | awk '{printf "  bare_qt_window                 %.1f\n", $1 / 1024}'
