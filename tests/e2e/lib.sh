# Helpers for the end-to-end tests: a private Xvfb display, the program's
# window found with xdotool, real keystrokes, screenshots and their pixels.
#
#   source "$(dirname "$0")/lib.sh"
#   e2e_init "$1"                  # build dir; skips (exit 0) when Xvfb is missing
#   e2e_start_xvfb                 # exports DISPLAY; everything is cleaned up on exit
#   e2e_wait_window tarno-probe    # sets E2E_WINDOW
#   e2e_type "$E2E_WINDOW" a Return Left
#   e2e_screenshot "$E2E_TMP/shot.png"
#   e2e_pixel "$E2E_TMP/shot.png" 100 100     # -> FF0000
#
# A failing check calls e2e_fail, which keeps the screenshot and the logs in
# $E2E_KEEP (build dir/e2e-failures/<test>) for a look afterwards.

E2E_PIDS=()
E2E_TIMEOUT=${E2E_TIMEOUT:-30}   # seconds any wait may take (machines under load start slowly)

# Prints the message and ends the test as failed.
e2e_fail() {
    echo "FAIL: $*" >&2
    if [ -n "${E2E_TMP:-}" ] && [ -d "$E2E_TMP" ]; then
        mkdir -p "$E2E_KEEP"
        cp -r "$E2E_TMP"/. "$E2E_KEEP"/ 2>/dev/null || true
        echo "(files kept in $E2E_KEEP)" >&2
    fi
    exit 1
}

e2e_cleanup() {
    local pid
    for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    # A program stuck where SIGTERM does not end it must not hang the test run.
    local i
    for pid in "${E2E_PIDS[@]}"; do
        for i in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    [ -n "${E2E_TMP:-}" ] && rm -rf "$E2E_TMP"
}

# Checks the tools, makes the temp dir, installs the clean-up. $1 = build dir.
e2e_init() {
    E2E_BUILD=$(cd "${1:?usage: $0 <build dir>}" && pwd)
    local test_name
    test_name=$(basename "$0" .sh)
    E2E_KEEP="$E2E_BUILD/e2e-failures/$test_name"
    if ! command -v Xvfb >/dev/null 2>&1; then
        # A developer without Xvfb may skip; CI installs it and must not.
        if [ -n "${CI:-}" ]; then
            echo "FAIL: Xvfb is not installed (scripts/install-deps.sh installs it)" >&2
            exit 1
        fi
        echo "skipped: Xvfb is not installed (scripts/install-deps.sh installs it)"
        exit 0
    fi
    local tool
    for tool in xdotool import convert; do
        command -v "$tool" >/dev/null 2>&1 || { echo "FAIL: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
    done
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/tarno-e2e-XXXXXX")
    rm -rf "$E2E_KEEP"
    trap e2e_cleanup EXIT
}

# Starts Xvfb on the first free display number from 90 and waits until it answers.
e2e_start_xvfb() {
    local n
    for n in $(seq 90 189); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$E2E_TMP/xvfb.log" 2>&1 &
        local pid=$!
        E2E_PIDS+=("$pid")
        local i
        for i in $(seq 1 100); do
            if DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1; then
                export DISPLAY=":$n"
                unset WAYLAND_DISPLAY
                return 0
            fi
            kill -0 "$pid" 2>/dev/null || break   # lost the race for this number: try the next
            sleep 0.1
        done
        kill "$pid" 2>/dev/null || true
    done
    e2e_fail "could not start Xvfb (see $E2E_TMP/xvfb.log)"
}

# Runs a program in the background on the test display; its pid goes to E2E_LAST_PID.
e2e_launch() {
    "$@" >"$E2E_TMP/program.out" 2>"$E2E_TMP/program.err" &
    E2E_LAST_PID=$!
    E2E_PIDS+=("$E2E_LAST_PID")
}

# Waits for a visible window whose title is $1; sets E2E_WINDOW to its id.
e2e_wait_window() {
    local i
    for i in $(seq 1 $((E2E_TIMEOUT * 10))); do
        E2E_WINDOW=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
        [ -n "$E2E_WINDOW" ] && return 0
        sleep 0.1
    done
    e2e_fail "no window titled '$1' appeared"
}

# Waits until file $1 has a line equal to $2.
e2e_wait_line() {
    local i
    for i in $(seq 1 $((E2E_TIMEOUT * 10))); do
        grep -qx -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    e2e_fail "'$2' did not appear in $1"
}

# Focuses window $1 and types the xdotool key names that follow, one by one.
e2e_type() {
    local id=$1
    shift
    xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
    xdotool key --clearmodifiers --delay 60 "$@"
}

# Types text $2 (accents included) into window $1, as the keyboard map of the desktop sends it.
e2e_type_text() {
    xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
    xdotool type --clearmodifiers --delay 60 "$2"
}

# Takes a screenshot of the whole display into $1.
e2e_screenshot() {
    import -window root "$1" || e2e_fail "screenshot failed"
}

# Sets E2E_X, E2E_Y to window $1's top-left corner on the screen.
e2e_window_origin() {
    local X Y
    eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y)=')"
    E2E_X=$X
    E2E_Y=$Y
}

# Prints the colour of pixel ($2, $3) of image $1 as RRGGBB hex.
e2e_pixel() {
    convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- | grep -o '#[0-9A-Fa-f]\{6\}' | head -n 1 | tr -d '#' | tr a-f A-F
}

# Fails unless pixel ($2, $3) of image $1 is $4 (RRGGBB); $5 names it.
e2e_expect_pixel() {
    local got
    got=$(e2e_pixel "$1" "$2" "$3")
    [ "$got" = "$4" ] || e2e_fail "$5: pixel ($2,$3) is $got, expected $4"
}

# Waits until pixel ($2, $3) of the screen shows $4 (RRGGBB), taking screenshots
# into $1; fails with $5 and the last colour seen.
e2e_wait_pixel() {
    local i got=""
    for i in $(seq 1 $((E2E_TIMEOUT * 4))); do
        e2e_screenshot "$1"
        got=$(e2e_pixel "$1" "$2" "$3")
        [ "$got" = "$4" ] && return 0
        sleep 0.1
    done
    e2e_fail "$5: pixel ($2,$3) is $got, expected $4"
}

# Waits (up to $2 s) for process $1 to end; sets E2E_STATUS to its exit status, or fails.
e2e_wait_exit() {
    local i
    for i in $(seq 1 $(($2 * 10))); do
        if ! kill -0 "$1" 2>/dev/null; then
            E2E_STATUS=0
            wait "$1" || E2E_STATUS=$?
            return 0
        fi
        sleep 0.1
    done
    e2e_fail "process $1 did not end within $2 s"
}

# Starts the program $1 on the spectrum file $2 and answers the file prompt and
# "Ready to plot" with ENTER; sets tarno_pid and E2E_WINDOW.
e2e_start_display() {
    e2e_launch "$1" "$2"
    tarno_pid=$E2E_LAST_PID
    e2e_wait_window TARNO
    sleep 1
    e2e_type "$E2E_WINDOW" Return
    sleep 2
    e2e_type "$E2E_WINDOW" Return
}

# Starts the program $1 in directory $2 without a file argument, types the
# spectrum's name $3 at the file prompt and answers "Ready to plot" with
# ENTER; sets tarno_pid and E2E_WINDOW. A name typed without a directory is
# shown as typed in the bottom row (a command-line file shows its full path).
e2e_start_display_typed() {
    e2e_launch env -C "$2" "$1"
    tarno_pid=$E2E_LAST_PID
    e2e_wait_window TARNO
    sleep 1
    e2e_type_text "$E2E_WINDOW" "$3"
    e2e_type "$E2E_WINDOW" Return
    sleep 2
    e2e_type "$E2E_WINDOW" Return
}
