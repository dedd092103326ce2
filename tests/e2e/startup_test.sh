#!/usr/bin/env bash
# The real tarno under Xvfb, started with a spectrum file: the title screen
# (bands and title colours), ENTER reads the file (its comment box appears),
# the display is left with ENTER and Y, and the closing menu's -1 ends the
# process with status 0. Then a display that answers only after the program
# started (its first attempts are refused and retried): SIGTERM still ends
# the program at once, as it does in a terminal.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
TARNO="$E2E_BUILD/tarno"
[ -x "$TARNO" ] || e2e_fail "$TARNO is not built"

# No configuration file: the default 800 x 540 window.
export XDG_CONFIG_HOME="$E2E_TMP/config"
mkdir -p "$XDG_CONFIG_HOME"

# A two-column ASCII spectrum: a comment line, then 200 pairs of one line.
spectrum="$E2E_TMP/line.txt"
{
    echo "e2e test line"
    awk 'BEGIN { for (i = 0; i < 200; i++) { x = (i - 100) / 8; printf "%.3f %.4f\n", 90000 + i * 0.05, 1 / (1 + x * x) } }'
} >"$spectrum"

# Waits until pixel ($1, $2) of the window shows $3, taking screenshots; $4 names it.
wait_for_pixel() {
    local i got
    for i in $(seq 1 50); do
        e2e_screenshot "$E2E_TMP/shot.png"
        got=$(e2e_pixel "$E2E_TMP/shot.png" $((E2E_X + $1)) $((E2E_Y + $2)))
        [ "$got" = "$3" ] && return 0
        sleep 0.2
    done
    e2e_fail "$4: pixel ($1,$2) of the window is $got, expected $3"
}

e2e_start_xvfb
e2e_launch "$TARNO" "$spectrum"
tarno_pid=$E2E_LAST_PID
# A loaded machine may take a while to open the window: wait up to 30 s first.
for i in $(seq 1 300); do
    xdotool search --onlyvisible --name '^TARNO$' >/dev/null 2>&1 && break
    kill -0 "$tarno_pid" 2>/dev/null || e2e_fail "tarno ended before its window opened: $(cat "$E2E_TMP/program.err")"
    sleep 0.1
done
e2e_wait_window TARNO
e2e_window_origin "$E2E_WINDOW"

# Title screen -----------------------------------------------------------------
# The curve is the last thing drawn: its blue bottom row means the title is done.
wait_for_pixel 400 539 000080 "blue fill under the curve"
cp "$E2E_TMP/shot.png" "$E2E_TMP/title.png"
pixel_cases=(
    "5 0 FFFFFF white top line"
    "5 50 808080 dark grey title band"
    "799 109 808080 dark grey band up to the last column"
    "5 110 FFFFFF white line under the band"
    "5 111 C0C0C0 light grey line"
    "5 130 808080 dark grey version band"
    "5 142 000000 black line"
    "5 300 C0C0C0 light grey background"
)
for entry in "${pixel_cases[@]}"; do
    read -r x y colour what <<<"$entry"
    e2e_expect_pixel "$E2E_TMP/title.png" $((E2E_X + x)) $((E2E_Y + y)) "$colour" "$what"
done
title_colours=$(convert "$E2E_TMP/title.png" -crop "800x100+$E2E_X+$((E2E_Y + 5))" +repage -depth 8 \
    -format %c histogram:info:- | grep -o '#[0-9A-F]\{6\}' | sort -u)
for colour in 00FFFF 0000FF 000080; do
    grep -qx "#$colour" <<<"$title_colours" || e2e_fail "title colour $colour missing from the title band"
done

# ENTER reads the file argument: the comment box (white on blue, rows 3-5) ----
e2e_type "$E2E_WINDOW" Return
wait_for_pixel 25 63 000080 "comment box of the read spectrum"

# "Ready to plot - press ENTER", the display, ENTER and Y leave it ---------------
e2e_type "$E2E_WINDOW" Return
sleep 1
e2e_type "$E2E_WINDOW" Return y
sleep 1

# The closing menu: -1 ends the program with status 0 -----------------------------
e2e_type "$E2E_WINDOW" minus 1 Return
e2e_wait_exit "$tarno_pid" 30
[ "$E2E_STATUS" -eq 0 ] || e2e_fail "tarno ended with status $E2E_STATUS after -1, expected 0"

# A display that answers late ------------------------------------------------------
late=""
for n in $(seq 190 289); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { late=$n; break; }
done
[ -n "$late" ] || e2e_fail "no free display number for the late display"
e2e_launch env DISPLAY=":$late" "$TARNO" "$spectrum"
late_pid=$E2E_LAST_PID
sleep 0.5
Xvfb ":$late" -screen 0 1024x768x24 -nolisten tcp >"$E2E_TMP/xvfb_late.log" 2>&1 &
E2E_PIDS+=("$!")
for i in $(seq 1 $((E2E_TIMEOUT * 10))); do
    DISPLAY=":$late" xdotool search --onlyvisible --name '^TARNO$' >/dev/null 2>&1 && break
    kill -0 "$late_pid" 2>/dev/null || e2e_fail "tarno gave up on the late display: $(cat "$E2E_TMP/program.err")"
    sleep 0.1
done
sleep 1
kill -TERM "$late_pid"
e2e_wait_exit "$late_pid" 10
[ "$E2E_STATUS" -eq 143 ] || e2e_fail "SIGTERM on the late display: status $E2E_STATUS, expected 143 (ended by the signal)"
echo "ok"
