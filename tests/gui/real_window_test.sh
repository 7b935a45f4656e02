#!/usr/bin/env bash
# The real id-reader binary in a real X server, worked as a person would:
# clicks at the buttons' design positions, keys, the clipboard, screenshots.
#   real_window_test.sh ID_READER SHEET_BMP
# Needs Xvfb, xdotool, xclip, ImageMagick and xwininfo; installs what is
# missing when it may.
set -euo pipefail
app=$1
sheet=$2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

source "$root/scripts/common.sh"
idr_need_packages xvfb xauth xdotool xclip imagemagick x11-utils
source "$root/scripts/gui_session.sh"

# Design pixels (client coordinates) of what the test touches.
binary=(332 68)  # "1. Binary", centre
draw=(352 100)
check=(332 132)
check_id=(352 164)
up=(348 196)
threshold=(400 68)
student_id=(352 36)
inner=(10 10)    # picRedraw's inner area: (8, 8) plus the 2-pixel border
sheet_id=5093719246

step() { echo "-- $*"; }

# The picture area of a screenshot, as a PNG of 262 x 362.
picture_of() {
    convert "$1" -crop "262x362+${inner[0]}+${inner[1]}" +repage "$2"
}

# Pixels that differ between two pictures, outside the template's outline
# at (8, 109), 20 x 20, which is drawn over the picture at start.
differing_pixels() {
    local a=$gui_tmp/a.png b=$gui_tmp/b.png
    convert "$1" +antialias -fill none -stroke magenta -draw "rectangle 8,109 27,128" "$a"
    convert "$2" +antialias -fill none -stroke magenta -draw "rectangle 8,109 27,128" "$b"
    compare -metric AE "$a" "$b" null: 2>&1 || true
}

# "column:row" of every grid cell that shows green, one per line.
green_cells() {
    convert "$1" -depth 8 txt:- | awk -F'[,: ]+' '
        /#00FF00/ {
            x = $1; y = $2
            if (x < 8 || y < 109) next
            c = int((x - 8) / 25); r = int((y - 109) / 25)
            if ((x - 8) % 25 < 20 && (y - 109) % 25 < 20 && c < 10 && r < 10) print c ":" r
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
    colours=$(convert "$gui_tmp/picture.png" -fill black -draw "rectangle 8,109 27,128" \
        -unique-colors -depth 8 txt:- | grep -c '^[0-9]' || true)
    [ "$colours" -le 2 ] && [ "$(pixel 17 109)" = "0000FF" ] && [ "$(pixel 17 108)" != "0000FF" ]
}
expected_cells=""
for c in $(seq 0 9); do expected_cells+="$c:${sheet_id:$c:1} "; done
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
[ "$gui_x0,$gui_y0" = "21,122" ] || gui_fail "window opened at ($gui_x0,$gui_y0), not (21,122)"
size=$(xwininfo -id "$gui_win" | awk '/Width:/ {w=$NF} /Height:/ {h=$NF} END {print w "x" h}')
[ "$size" = "420x384" ] || gui_fail "client area is $size"
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
gui_type_into "${threshold[@]}" 35
xdotool mousemove $((gui_x0 + binary[0])) $((gui_y0 + binary[1])) click 1 \
        mousemove $((gui_x0 + up[0])) $((gui_y0 + up[1])) click 1
gui_wait_title "Image binary process done  100%"
gui_eventually 20 binarized_with_template_in_place ||
    gui_fail "after \"1. Binary\" the picture is not black and white, or \"Up\" moved the template"

step "2. Draw grid, 3. Check  object"
gui_click "${draw[@]}"
gui_click "${check[@]}"
gui_wait_title "Total unit remain = 10 Unit."

step "4. Check ID"
gui_click "${check_id[@]}"
id=$(gui_text_of "${student_id[@]}")
[ "$id" = "$sheet_id" ] || gui_fail "Student_ID reads \"$id\", expected $sheet_id"
gui_eventually 20 marked_cells_are_the_ids || gui_fail "green cells are \"$marked\", expected \"$expected_cells\""

echo "real window: all checks passed"
