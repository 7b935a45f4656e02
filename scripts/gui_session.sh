# shellcheck shell=bash
# Shared by the real-window test, the screenshot script and the GUI
# measurements: a private Xvfb on a free display, the id-reader window on it,
# and xdotool helpers that work in the window's client coordinates (the
# design's pixels). No window manager runs, so X honours the window's opening
# position and nothing decorates or moves it. Everything started here is
# stopped on every exit path.

gui_tmp=${GUI_KEEP_TMP:-$(mktemp -d)}
gui_xvfb_pid=""
gui_app_pid=""
gui_win=""
gui_x0=0
gui_y0=0
declare -gA gui_rect=()  # NAME -> "LEFT TOP WIDTH HEIGHT", from the program

gui_cleanup() {
    if [ -n "$gui_app_pid" ]; then kill "$gui_app_pid" 2>/dev/null || true; fi
    if [ -n "$gui_xvfb_pid" ]; then kill "$gui_xvfb_pid" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    [ -n "${GUI_KEEP_TMP:-}" ] || rm -rf "$gui_tmp"
}
trap gui_cleanup EXIT
trap 'exit 130' INT TERM

gui_fail() {
    echo "FAIL: $*" >&2
    if [ -s "$gui_tmp/app.log" ]; then sed 's/^/  id-reader: /' "$gui_tmp/app.log" >&2; fi
    if [ -n "$gui_xvfb_pid" ] && ! kill -0 "$gui_xvfb_pid" 2>/dev/null; then
        echo "  Xvfb on $DISPLAY has ended: $(cat "$gui_tmp/xvfb.log")" >&2
    fi
    exit 1
}

# Starts Xvfb on a free display number and points DISPLAY at it. Numbers
# are drawn from a high range, so the low ones that desktops and other
# scripts assume stay untouched; a number taken meanwhile is simply retried.
gui_start_xvfb() {
    local attempt n i
    for attempt in $(seq 20); do
        n=$((200 + RANDOM % 700))
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        # -noreset: by default the server resets whenever its last client
        # leaves, and refuses connections meanwhile; every short-lived
        # xdotool or probe would open such a window for the next client.
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset 2>"$gui_tmp/xvfb.log" &
        gui_xvfb_pid=$!
        for i in $(seq 200); do
            DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && break
            kill -0 "$gui_xvfb_pid" 2>/dev/null || break
            sleep 0.05
        done
        if kill -0 "$gui_xvfb_pid" 2>/dev/null && DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
            export DISPLAY=":$n"
            export QT_QPA_PLATFORM=xcb
            unset WAYLAND_DISPLAY
            export XDG_RUNTIME_DIR="$gui_tmp/runtime"
            mkdir -m 700 -p "$XDG_RUNTIME_DIR"
            return 0
        fi
        kill "$gui_xvfb_pid" 2>/dev/null || true
        wait "$gui_xvfb_pid" 2>/dev/null || true
        gui_xvfb_pid=""
    done
    gui_fail "Xvfb did not start: $(cat "$gui_tmp/xvfb.log")"
}

# gui_load_layout BINARY: the window's rectangles as the program itself
# lays them out (id-reader --print-layout), so no script keeps a copy.
gui_load_layout() {
    local name rest
    gui_rect=()
    while read -r name rest; do gui_rect[$name]=$rest; done < <("$1" --print-layout)
    [ -n "${gui_rect[Form1]:-}" ] || gui_fail "$1 --print-layout printed no layout"
}

# gui_rect_of NAME: "LEFT TOP WIDTH HEIGHT" of a control, client pixels.
gui_rect_of() {
    [ -n "${gui_rect[$1]:-}" ] || gui_fail "no control named $1 in the layout"
    printf '%s\n' "${gui_rect[$1]}"
}

# gui_centre NAME: "X Y", the centre of a control in client pixels.
gui_centre() {
    local l t w h
    read -r l t w h <<<"$(gui_rect_of "$1")"
    echo "$((l + w / 2)) $((t + h / 2))"
}

# gui_start_app BINARY [ARGUMENTS...]: reads its layout, starts the window
# (with the scans named, if any) and waits until it is mapped.
gui_start_app() {
    gui_load_layout "$1"
    "$@" >"$gui_tmp/app.log" 2>&1 &
    gui_app_pid=$!
    local i
    for i in $(seq 400); do
        gui_win=$(xdotool search --onlyvisible --name '^Form1$' 2>/dev/null | head -n1 || true)
        [ -n "$gui_win" ] && break
        kill -0 "$gui_app_pid" 2>/dev/null || gui_fail "id-reader exited at start"
        sleep 0.05
    done
    [ -n "$gui_win" ] || gui_fail "no window titled Form1 appeared"
    gui_eventually 10 xwininfo -id "$gui_win" >/dev/null 2>&1 || gui_fail "the window does not answer"
    gui_x0=$(xwininfo -id "$gui_win" | awk '/Absolute upper-left X/ {print $NF}')
    gui_y0=$(xwininfo -id "$gui_win" | awk '/Absolute upper-left Y/ {print $NF}')
    sleep 0.2  # first paint
}

# gui_eventually SECONDS COMMAND...: runs COMMAND until it succeeds, for at
# most SECONDS. The window repaints, and the X server answers, in their own
# time; on a loaded machine that can take a while.
gui_eventually() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# gui_click X Y: a left click at client pixel (X, Y).
gui_click() {
    xdotool mousemove $((gui_x0 + $1)) $((gui_y0 + $2)) click 1
}

# gui_click_on NAME: a left click at the centre of the named control.
gui_click_on() {
    # shellcheck disable=SC2046
    gui_click $(gui_centre "$1")
}

gui_title() {
    xdotool getwindowname "$gui_win"
}

# gui_wait_title TEXT: waits up to 20 s for the exact caption.
gui_wait_title() {
    gui_eventually 20 gui_title_is "$1" || gui_fail "caption is \"$(gui_title)\", expected \"$1\""
}
gui_title_is() { [ "$(gui_title)" = "$1" ]; }

# The four steps on the built-in sheet, each waited for as the title shows it.
gui_read_built_in_sheet() {
    gui_click_on cmdBinary
    gui_wait_title "Image binary process done  100%"
    gui_click_on cmdDraw
    gui_click_on cmdCheck
    gui_wait_title "Total unit remain = 10 Unit."
    gui_click_on cmdCheck_ID
}

# gui_grab FILE: the window's client area as it is on the screen.
gui_grab() {
    import -window root -crop "$(xwininfo -id "$gui_win" | awk '/Width:/ {w=$NF} /Height:/ {h=$NF} END {print w "x" h}')+${gui_x0}+${gui_y0}" +repage "$1"
}

# gui_text_of NAME: the text of the named box, read the way a person would:
# click it, select all, copy, paste elsewhere.
gui_text_of() {
    gui_click_on "$1"
    xdotool key ctrl+a ctrl+c
    local text="" i
    for i in $(seq 50); do
        text=$(xclip -o -selection clipboard 2>/dev/null || true)
        [ -n "$text" ] && break
        sleep 0.1
    done
    printf '%s' "$text"
}

# gui_type_into NAME TEXT: replaces the text of the named box.
gui_type_into() {
    gui_click_on "$1"
    xdotool key ctrl+a BackSpace
    [ -z "$2" ] || xdotool type --delay 5 "$2"
}
