#!/usr/bin/env bash
# Makes the README screenshots from the real window under a private Xvfb:
#   docs/window-start.png  the window as it opens
#   docs/window-read.png   after "1. Binary", "2. Draw grid", "3. Check  object"
#                          and "4. Check ID"
#   docs/window-error.png  the report of a run-time error (letters typed as
#                          the black-sample threshold), over the window
#   docs/window-review.png a generated scan whose columns need review, after
#                          the four steps: the flagged columns and the status bar
# No window manager runs, so there is no title bar; the caption, which is the
# status line, is read from the window and written in a strip above it.
#   scripts/screenshots.sh [ID_READER]   (default: build/app/gui/id-reader)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/common.sh"
idr_need_packages fonts-thai-tlwg xvfb xauth xdotool xclip imagemagick x11-utils
app=${1:-$root/build/app/gui/id-reader}
[ -x "$app" ] || { echo "no $app: build first (./run or cmake --build build)" >&2; exit 1; }
source "$root/scripts/gui_session.sh"
docs=$root/docs
mkdir -p "$docs"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

# shot OUT: the client area with the current caption in a strip above it.
shot() {
    xdotool mousemove 1000 700  # no hover highlight
    sleep 0.2
    gui_grab "$gui_tmp/client.png"
    convert "$gui_tmp/client.png" -background '#3c3f41' -gravity north -splice 0x24 \
        -fill white -font "$font" -pointsize 13 -gravity northwest -annotate +8+5 "$(gui_title)" \
        -strip "$1"
    echo "wrote $1"
}

gui_start_xvfb
gui_start_app "$app"
shot "$docs/window-start.png"

gui_read_built_in_sheet
sleep 0.2
shot "$docs/window-read.png"

gui_type_into txtBlack_Pixels abc
gui_click_on cmdCheck
sleep 0.5
xdotool mousemove 1000 700
sleep 0.2
import -window root -crop "460x420+$((gui_x0 - 20))+$((gui_y0 - 18))" +repage -strip "$docs/window-error.png"
echo "wrote $docs/window-error.png"
xdotool key Return

# The review: three generated scans opened by argument, the third one read.
make_pages=$(dirname "$app")/../../tools/make_pages
[ -x "$make_pages" ] || { echo "no $make_pages: build make_pages first" >&2; exit 1; }
"$make_pages" --kinds block --count 3 --seed 11 --quiet "$gui_tmp/pages" >/dev/null
kill "$gui_app_pid" 2>/dev/null || true
wait "$gui_app_pid" 2>/dev/null || true
gui_start_app "$app" "$gui_tmp"/pages/p000{1,2,3}.png
xdotool key Next Next
sleep 0.5
gui_click_on cmdBinary
gui_wait_title "Image binary process done  100%"
gui_click_on cmdDraw
gui_click_on cmdCheck
sleep 0.3
gui_click_on cmdCheck_ID
sleep 0.3
shot "$docs/window-review.png"
