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

gui_start_xvfb
step "start"
gui_start_app "$app"
[ "$(gui_title)" = "Form1" ] || gui_fail "caption at start is \"$(gui_title)\""
[ "$gui_x0,$gui_y0" = "21,122" ] || gui_fail "window opened at ($gui_x0,$gui_y0), not (21,122)"
size=$(xwininfo -id "$gui_win" | awk '/Width:/ {w=$NF} /Height:/ {h=$NF} END {print w "x" h}')
[ "$size" = "420x384" ] || gui_fail "client area is $size"

gui_grab "$gui_tmp/start.png"
picture_of "$gui_tmp/start.png" "$gui_tmp/start-picture.png"
convert "$sheet" "$gui_tmp/sheet.png"
diff=$(differing_pixels "$gui_tmp/start-picture.png" "$gui_tmp/sheet.png")
[ "$diff" = "0" ] || gui_fail "the picture area differs from the sheet in $diff pixels"

step "an error: letters as threshold"
gui_type_into "${threshold[@]}" abc
gui_click "${binary[@]}"
box=""
for _ in $(seq 100); do
    box=$(xdotool search --onlyvisible --name '^id-reader$' 2>/dev/null | head -n1 || true)
    [ -n "$box" ] && break
    sleep 0.05
done
[ -n "$box" ] || gui_fail "no message box after \"1. Binary\" with threshold \"abc\""
sleep 0.2
xdotool key Return
for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^id-reader$' >/dev/null 2>&1 || break
    sleep 0.05
done
xdotool search --onlyvisible --name '^id-reader$' >/dev/null 2>&1 && gui_fail "Enter did not dismiss the message box"
kill -0 "$gui_app_pid" 2>/dev/null || gui_fail "the program ended after the error"
[ "$(gui_title)" = "Form1" ] || gui_fail "caption after the error is \"$(gui_title)\""
gui_grab "$gui_tmp/after-error.png"
picture_of "$gui_tmp/after-error.png" "$gui_tmp/after-error-picture.png"
diff=$(differing_pixels "$gui_tmp/after-error-picture.png" "$gui_tmp/sheet.png")
[ "$diff" = "0" ] || gui_fail "the picture changed after the error ($diff pixels)"

step "1. Binary, with \"Up\" clicked while it runs"
gui_type_into "${threshold[@]}" 35
xdotool mousemove $((gui_x0 + binary[0])) $((gui_y0 + binary[1])) click 1 \
        mousemove $((gui_x0 + up[0])) $((gui_y0 + up[1])) click 1
gui_wait_title "Image binary process done  100%"
sleep 0.2
gui_grab "$gui_tmp/binary.png"
picture_of "$gui_tmp/binary.png" "$gui_tmp/binary-picture.png"
pixel() { convert "$1" -format "%[hex:p{$2,$3}]" info: | cut -c1-6; }
[ "$(pixel "$gui_tmp/binary-picture.png" 17 109)" = "0000FF" ] || gui_fail "the template left its place"
[ "$(pixel "$gui_tmp/binary-picture.png" 17 108)" != "0000FF" ] || gui_fail "\"Up\" moved the template after \"1. Binary\""
colours=$(convert "$gui_tmp/binary-picture.png" -fill black -draw "rectangle 8,109 27,128" -unique-colors -depth 8 txt:- | grep -c '^[0-9]' || true)
[ "$colours" -le 2 ] || gui_fail "the picture is not black and white after \"1. Binary\""

step "2. Draw grid, 3. Check  object"
gui_click "${draw[@]}"
gui_click "${check[@]}"
gui_wait_title "Total unit remain = 10 Unit."

step "4. Check ID"
gui_click "${check_id[@]}"
id=$(gui_text_of "${student_id[@]}")
[ "$id" = "$sheet_id" ] || gui_fail "Student_ID reads \"$id\", expected $sheet_id"

gui_grab "$gui_tmp/read.png"
picture_of "$gui_tmp/read.png" "$gui_tmp/read-picture.png"
marked=$(green_cells "$gui_tmp/read-picture.png" | tr '\n' ' ')
expected=""
for c in $(seq 0 9); do expected+="$c:${sheet_id:$c:1} "; done
[ "$marked" = "$expected" ] || gui_fail "green cells are \"$marked\", expected \"$expected\""

echo "real window: all checks passed"
