#!/usr/bin/env bash
# The close button while the program runs: the window asks first. No (ESC)
# keeps the program running and reading keys; Yes (ENTER) ends it with
# status 0 and the window goes away. The close request is sent the way a
# window manager sends it (WM_DELETE_WINDOW), since Xvfb runs without one.
# Then the same with the system's message box failing (as on a machine
# without the X core fonts): the window asks in itself, drawn by its main
# thread, also while the program computes, and the answer keys never reach
# the program.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
PROBE="$E2E_BUILD/window-probe"
[ -x "$PROBE" ] || e2e_fail "$PROBE is not built"
command -v python3 >/dev/null || e2e_fail "python3 is missing"
e2e_start_xvfb
e2e_launch "$PROBE" keys "$E2E_TMP/keys.log"
probe_pid=$E2E_LAST_PID
e2e_wait_window tarno-probe
probe_window=$E2E_WINDOW
e2e_wait_line "$E2E_TMP/keys.log" ready

X11_WINDOW="$(dirname "$0")/x11_window.py"

# Sends the close request and waits (up to 10 s) for the question; sets E2E_WINDOW to the box.
ask_to_close() {
    python3 "$X11_WINDOW" close "$probe_window" || e2e_fail "could not send the close request"
    local i
    for i in $(seq 1 $((E2E_TIMEOUT * 10))); do
        E2E_WINDOW=$(python3 "$X11_WINDOW" find TARNO) && return 0
        sleep 0.1
    done
    e2e_fail "the close request asked nothing"
}

# Answers the box with key $1 until it has gone: without a window manager a
# box may miss a keystroke that arrives while it is still taking the focus.
answer_box() {
    local i
    for i in $(seq 1 $((E2E_TIMEOUT * 2))); do
        python3 "$X11_WINDOW" find TARNO >/dev/null || return 0
        e2e_type "$E2E_WINDOW" "$1"
        sleep 0.5
    done
    e2e_fail "the question box did not take $1"
}

# No: the program goes on.
ask_to_close
e2e_screenshot "$E2E_TMP/question.png"
answer_box Escape
kill -0 "$probe_pid" 2>/dev/null || e2e_fail "No ended the program"
e2e_type "$probe_window" z
e2e_wait_line "$E2E_TMP/keys.log" 122

# Yes: the program ends and the window closes.
ask_to_close
answer_box Return
e2e_wait_exit "$probe_pid" "$E2E_TIMEOUT"
[ "$E2E_STATUS" -eq 0 ] || e2e_fail "closing: the probe exited with $E2E_STATUS"

# A program deep in a computation: the window still asks at once, and Yes
# ends the process after a short grace time although the program cannot unwind.
e2e_launch "$PROBE" busy "$E2E_TMP/busy.log"
probe_pid=$E2E_LAST_PID
e2e_wait_window tarno-probe
probe_window=$E2E_WINDOW
e2e_wait_line "$E2E_TMP/busy.log" ready
ask_to_close
answer_box Return
e2e_wait_exit "$probe_pid" "$E2E_TIMEOUT"
[ "$E2E_STATUS" -eq 0 ] || e2e_fail "closing a busy program: the probe exited with $E2E_STATUS"
grep -q "did not stop in time" "$E2E_TMP/program.err" || e2e_fail "closing a busy program: no notice on stderr"

# [SECTION] The message box fails: the question in the window ------------------
export TARNO_TEST_NO_MESSAGE_BOX=1
# Pixel in the question's caption bar (blue), right of its text: cell row 13,
# column 60 of the 800 x 540 probe window (10 x 18 pixel cells).
QX=595
QY=225

# Sends the close request and waits until the question shows in window $1.
ask_in_window() {
    python3 "$X11_WINDOW" close "$1" || e2e_fail "could not send the close request"
    e2e_window_origin "$1"
    e2e_wait_pixel "$E2E_TMP/in_window.png" $((E2E_X + QX)) $((E2E_Y + QY)) 000080 "the close request asked nothing in the window"
}

e2e_launch "$PROBE" keys "$E2E_TMP/keys2.log"
probe_pid=$E2E_LAST_PID
e2e_wait_window tarno-probe
probe_window=$E2E_WINDOW
e2e_wait_line "$E2E_TMP/keys2.log" ready
python3 "$X11_WINDOW" find TARNO >/dev/null && e2e_fail "a message box window appeared although it fails"

# No (the letter n): the question goes, the program goes on, and the n is not its key.
ask_in_window "$probe_window"
cp "$E2E_TMP/in_window.png" "$E2E_TMP/question_in_window.png"
e2e_type "$probe_window" x            # keys while asking answer nothing and reach nobody
e2e_type "$probe_window" n
e2e_wait_pixel "$E2E_TMP/after_no.png" $((E2E_X + QX)) $((E2E_Y + QY)) C0C0C0 "No left the question on screen"
kill -0 "$probe_pid" 2>/dev/null || e2e_fail "No ended the program"
e2e_type "$probe_window" z
e2e_wait_line "$E2E_TMP/keys2.log" 122
[ "$(sed -n 2p "$E2E_TMP/keys2.log")" = 122 ] || e2e_fail "keys typed at the question reached the program: $(tr '\n' ' ' <"$E2E_TMP/keys2.log")"

# Yes (ENTER): the program ends with status 0.
ask_in_window "$probe_window"
e2e_type "$probe_window" Return
e2e_wait_exit "$probe_pid" "$E2E_TIMEOUT"
[ "$E2E_STATUS" -eq 0 ] || e2e_fail "closing in the window: the probe exited with $E2E_STATUS"

# A busy program: the main thread still draws the question, and Y ends it.
e2e_launch "$PROBE" busy "$E2E_TMP/busy2.log"
probe_pid=$E2E_LAST_PID
e2e_wait_window tarno-probe
probe_window=$E2E_WINDOW
e2e_wait_line "$E2E_TMP/busy2.log" ready
ask_in_window "$probe_window"
e2e_type "$probe_window" y
e2e_wait_exit "$probe_pid" "$E2E_TIMEOUT"
[ "$E2E_STATUS" -eq 0 ] || e2e_fail "closing a busy program in the window: the probe exited with $E2E_STATUS"
echo "window close question: ok"
