#!/usr/bin/env bash
# The window's own dialogs under Xvfb, where no window manager gives any
# other window the focus: the Yes/No box answers from the keyboard, the
# in-window file chooser (no zenity/kdialog on PATH) picks a file by keys,
# and the default exit behaviour asks before the window closes.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
PROBE="$E2E_BUILD/window-probe"
[ -x "$PROBE" ] || e2e_fail "$PROBE is not built"
e2e_start_xvfb
mkdir -p "$E2E_TMP/nobin"   # PATH without native dialog helpers

# Starts the probe in mode $1 (in directory $2) and waits for its window.
start_probe() {
    (cd "$2" && PATH="$E2E_TMP/nobin" exec "$PROBE" "$1" "$E2E_TMP/$1.log") >"$E2E_TMP/$1.out" 2>"$E2E_TMP/$1.err" &
    probe_pid=$!
    E2E_PIDS+=("$probe_pid")
    e2e_wait_window tarno-probe
    e2e_wait_line "$E2E_TMP/$1.log" ready
    e2e_window_origin "$E2E_WINDOW"
}

# Waits until the in-window box's caption bar (text row 12, columns 16-65, colour 1) is on screen.
wait_for_box() {
    e2e_wait_pixel "$E2E_TMP/$1.png" $((E2E_X + 200)) $((E2E_Y + 11 * 18 + 1)) 000080 "$1: caption bar of the box"
}

# Yes/No box: drawn in the window, TAB moves to No, ENTER takes it ---------------
start_probe ask "$E2E_TMP"
wait_for_box ask
e2e_expect_pixel "$E2E_TMP/ask.png" $((E2E_X + 100)) $((E2E_Y + 100)) FF0000 "the screen beside the box"
e2e_type "$E2E_WINDOW" Tab Return
e2e_wait_line "$E2E_TMP/ask.log" no
e2e_wait_exit "$probe_pid" "$E2E_TIMEOUT"
[ "$E2E_STATUS" -eq 0 ] || e2e_fail "ask: the probe exited with $E2E_STATUS"

# In-window file chooser: TAB to "Probe files", END, ENTER ----------------------
data="$E2E_TMP/data"
mkdir -p "$data/sub"
touch "$data/a.dat" "$data/b.PRB" "$data/c.prb" "$data/sub/d.prb"
start_probe choose "$data"
e2e_screenshot "$E2E_TMP/choose.png"
e2e_type "$E2E_WINDOW" Tab End Up Return       # ../ sub/ b.PRB c.prb -> b.PRB
e2e_wait_line "$E2E_TMP/choose.log" "$data/b.PRB"
e2e_wait_exit "$probe_pid" "$E2E_TIMEOUT"

# Default exit behaviour: the window asks; No keeps it, ESC then closes it -------
start_probe finish "$E2E_TMP"
wait_for_box finish   # typed before the question, a key would not count as its answer
kill -0 "$probe_pid" 2>/dev/null || e2e_fail "finish: the window closed without asking"
e2e_type "$E2E_WINDOW" n
sleep 0.5
kill -0 "$probe_pid" 2>/dev/null || e2e_fail "finish: No closed the window"
e2e_type "$E2E_WINDOW" Escape
e2e_wait_exit "$probe_pid" "$E2E_TIMEOUT"
[ "$E2E_STATUS" -eq 0 ] || e2e_fail "finish: the probe exited with $E2E_STATUS"
echo "window dialogs: ok"
