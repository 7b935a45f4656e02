#!/usr/bin/env bash
# The real id-reader binary in a real X server, worked as a person would:
# clicks at the controls' places as the program reports them
# (id-reader --print-layout), keys, the clipboard, screenshots. Then the
# review flow on three generated scans: open them by argument, PgDown, read,
# correct the ID, Ctrl+S, and the review file.
#   real_window_test.sh ID_READER SHEET_BMP SHEET_ID [MAKE_PAGES]
# Needs Xvfb, xdotool, xclip, ImageMagick and xwininfo. It installs nothing
# (./test does): without them it exits 77, which ctest reports as skipped.
set -euo pipefail
app=$1
sheet=$2
sheet_id=$3
make_pages=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

missing=()
for tool in Xvfb xauth xdotool xclip convert compare import xwininfo xdpyinfo; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "SKIPPED: the real-window test needs ${missing[*]} (packages xvfb xauth xdotool xclip imagemagick" \
         "x11-utils; ./test installs them)"
    exit 77
fi

source "$root/scripts/gui_session.sh"
gui_load_layout "$app"

# The picture's drawing area and the template cell within it, from the layout.
read -r inner_left inner_top inner_w inner_h <<<"$(gui_rect_of picRedraw.inside)"
read -r cell_left cell_top cell_w cell_h <<<"$(gui_rect_of Shape1)"
read -r pitch_x pitch_y columns rows <<<"$(gui_rect_of Shape1.grid)"
cell_left=$((cell_left - inner_left))  # now in picture pixels
cell_top=$((cell_top - inner_top))
template_box="rectangle $cell_left,$cell_top $((cell_left + cell_w - 1)),$((cell_top + cell_h - 1))"
read -r win_left win_top win_w win_h <<<"$(gui_rect_of Form1)"

# Each step is one test case in ./test's count; a step that fails ends the run.
steps_passed=0
step_open=0
step() {
    [ "$step_open" -eq 0 ] || steps_passed=$((steps_passed + 1))
    step_open=1
    echo "-- $*"
}

# The picture area of a screenshot, as a PNG of the picture's size.
picture_of() {
    convert "$1" -crop "${inner_w}x${inner_h}+${inner_left}+${inner_top}" +repage "$2"
}

# Pixels that differ between two pictures, outside the template's outline,
# which is drawn over the picture at start.
differing_pixels() {
    local a=$gui_tmp/a.png b=$gui_tmp/b.png
    convert "$1" +antialias -fill none -stroke magenta -draw "$template_box" "$a"
    convert "$2" +antialias -fill none -stroke magenta -draw "$template_box" "$b"
    compare -metric AE "$a" "$b" null: 2>&1 || true
}

# "column:row" of every grid cell that shows green, one per line.
green_cells() {
    convert "$1" -depth 8 txt:- | awk -F'[,: ]+' -v x0="$cell_left" -v y0="$cell_top" -v w="$cell_w" \
        -v h="$cell_h" -v px="$pitch_x" -v py="$pitch_y" -v nc="$columns" -v nr="$rows" '
        /#00FF00/ {
            x = $1; y = $2
            if (x < x0 || y < y0) next
            c = int((x - x0) / px); r = int((y - y0) / py)
            if ((x - x0) % px < w && (y - y0) % py < h && c < nc && r < nr) print c ":" r
        }' | sort -u
}

# Checks on what the screen shows now; each is retried until the window has
# repainted, within a deadline.
grab_picture() {
    gui_grab "$gui_tmp/screen.png"
    picture_of "$gui_tmp/screen.png" "$gui_tmp/picture.png"
}
picture_is_sheet() {
    grab_picture
    diff=$(differing_pixels "$gui_tmp/picture.png" "$gui_tmp/sheet.png")
    [ "$diff" = "0" ]
}
pixel() { convert "$gui_tmp/picture.png" -format "%[hex:p{$1,$2}]" info: | cut -c1-6; }
binarized_with_template_in_place() {
    grab_picture
    local colours
    colours=$(convert "$gui_tmp/picture.png" -fill black -draw "$template_box" \
        -unique-colors -depth 8 txt:- | grep -c '^[0-9]' || true)
    # The template's top edge is blue, and the row above it is not: not moved.
    local mid=$((cell_left + cell_w / 2))
    [ "$colours" -le 2 ] && [ "$(pixel "$mid" "$cell_top")" = "0000FF" ] &&
        [ "$(pixel "$mid" $((cell_top - 1)))" != "0000FF" ]
}
expected_cells=""
for c in $(seq 0 $((columns - 1))); do expected_cells+="$c:${sheet_id:$c:1} "; done
marked_cells_are_the_ids() {
    grab_picture
    marked=$(green_cells "$gui_tmp/picture.png" | tr '\n' ' ')
    [ "$marked" = "$expected_cells" ]
}
box_shown() { xdotool search --onlyvisible --name '^id-reader$' >/dev/null 2>&1; }
box_gone() { ! box_shown; }
# Enter goes to the box once it has the keyboard focus.
dismiss_box() {
    for _ in 1 2 3; do
        sleep 0.3
        xdotool key Return
        gui_eventually 5 box_gone && break
    done
    box_gone || gui_fail "Enter did not dismiss the message box"
}

gui_start_xvfb
convert "$sheet" "$gui_tmp/sheet.png"

step "start"
gui_start_app "$app"
[ "$(gui_title)" = "Form1" ] || gui_fail "caption at start is \"$(gui_title)\""
[ "$gui_x0,$gui_y0" = "$win_left,$win_top" ] ||
    gui_fail "window opened at ($gui_x0,$gui_y0), not ($win_left,$win_top)"
size=$(xwininfo -id "$gui_win" | awk '/Width:/ {w=$NF} /Height:/ {h=$NF} END {print w "x" h}')
[ "$size" = "${win_w}x$win_h" ] || gui_fail "client area is $size, not ${win_w}x$win_h"
gui_eventually 20 picture_is_sheet || gui_fail "the picture area differs from the sheet in $diff pixels"

step "the keys alone: Tab, letters as threshold, Tab, Enter on \"1. Binary\""
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$gui_win" ]; }
gui_eventually 10 has_focus || gui_fail "the window did not get the keyboard focus at start"
xdotool key Tab Tab  # picRedraw -> Student_ID -> txtTreshold
xdotool type --delay 5 abc
xdotool key Tab Return
gui_eventually 20 box_shown || gui_fail "no message box after \"1. Binary\" with threshold \"abc\""
dismiss_box
step "the same error again, Space on the still focused \"1. Binary\""
gui_eventually 10 has_focus || gui_fail "the window did not get the keyboard back after the message box"
xdotool key space
gui_eventually 20 box_shown || gui_fail "no message box for the second Space on \"1. Binary\""
dismiss_box
kill -0 "$gui_app_pid" 2>/dev/null || gui_fail "the program ended after the error"
[ "$(gui_title)" = "Form1" ] || gui_fail "caption after the error is \"$(gui_title)\""
gui_eventually 20 picture_is_sheet || gui_fail "the picture changed after the error ($diff pixels)"

step "1. Binary, with \"Up\" clicked while it runs"
gui_type_into txtTreshold 35
read -r bx by <<<"$(gui_centre cmdBinary)"
read -r ux uy <<<"$(gui_centre Command2)"  # Up
xdotool mousemove $((gui_x0 + bx)) $((gui_y0 + by)) click 1 mousemove $((gui_x0 + ux)) $((gui_y0 + uy)) click 1
gui_wait_title "Image binary process done  100%"
gui_eventually 20 binarized_with_template_in_place ||
    gui_fail "after \"1. Binary\" the picture is not black and white, or \"Up\" moved the template"

step "2. Draw grid, 3. Check  object"
gui_click_on cmdDraw
gui_click_on cmdCheck
gui_wait_title "Total unit remain = 10 Unit."

step "4. Check ID"
gui_click_on cmdCheck_ID
id=$(gui_text_of Student_ID)
[ "$id" = "$sheet_id" ] || gui_fail "Student_ID reads \"$id\", expected $sheet_id"
gui_eventually 20 marked_cells_are_the_ids || gui_fail "green cells are \"$marked\", expected \"$expected_cells\""

if [ -n "$make_pages" ]; then
    step "three scans by argument, PgDown, the four steps, a corrected ID, Ctrl+S"
    pages=$gui_tmp/pages
    "$make_pages" --kinds block --count 3 --seed 11 --quiet "$pages" >/dev/null ||
        gui_fail "make_pages could not make the test pages"
    kill "$gui_app_pid" 2>/dev/null || true
    wait "$gui_app_pid" 2>/dev/null || true
    gui_start_app "$app" "$pages/p0001.png" "$pages/p0002.png" "$pages/p0003.png"
    grown() {
        [ "$(xwininfo -id "$gui_win" | awk '/Height:/ {print $NF}')" -gt "$win_h" ]
    }
    gui_eventually 10 grown || gui_fail "no status bar below the controls with scans open"
    gui_eventually 10 has_focus || gui_fail "the window did not get the keyboard focus with scans open"
    xdotool key Next
    sleep 0.5  # the page is read on the key; the clicks wait for it
    gui_click_on cmdBinary
    gui_wait_title "Image binary process done  100%"
    gui_click_on cmdDraw
    gui_click_on cmdCheck
    read_title() { case "$(gui_title)" in "Total unit remain = "*) ;; *) return 1 ;; esac; }
    gui_eventually 20 read_title || gui_fail "caption after 3. Check  object is \"$(gui_title)\""
    gui_click_on cmdCheck_ID
    read_id=$(gui_text_of Student_ID)
    [ -n "$read_id" ] || gui_fail "4. Check ID left the ID box empty on the second scan"
    gui_type_into Student_ID 1234567890
    xdotool key ctrl+s
    csv=$pages/id-reader-review.csv
    gui_eventually 10 test -s "$csv" || gui_fail "Ctrl+S wrote no $csv"
    [ "$(head -n1 "$csv" | tr -d '\r')" = "file,page,reading,status,id" ] ||
        gui_fail "the review file starts \"$(head -n1 "$csv")\""
    grep -q '^p0002\.png,1,[0-9_*?]\{10\},corrected,1234567890.$' "$csv" ||
        gui_fail "no corrected row for p0002.png in $(cat "$csv")"
    grep -Eq '^p0001\.png,1,[0-9_*?]{10},(ok|review),' "$csv" ||
        gui_fail "no row for the first page in $(cat "$csv")"
    [ "$(wc -l <"$csv")" -eq 3 ] || gui_fail "the review file has $(wc -l <"$csv") lines, expected 3"
fi

[ "$step_open" -eq 0 ] || steps_passed=$((steps_passed + 1))
echo "real window: all $steps_passed steps passed"
# ./test counts test cases across programs and scripts.
if [ -n "${IDR_RESULTS_DIR:-}" ]; then echo "$steps_passed" >"$IDR_RESULTS_DIR/gui_real_window.count"; fi
