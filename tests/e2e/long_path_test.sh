#!/usr/bin/env bash
# A spectrum deeper than the 100-character name field, in the real window
# under Xvfb: it is read from the command line, its path shows shortened with
# "..." in front, a save goes beside it (not into a directory made from the cut
# name), and after the display the window is back at full height, so the next
# file's information page shows from its comment box down.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
TARNO="$E2E_BUILD/tarno"
DEMO="$E2E_BUILD/tarno-demo"
[ -x "$TARNO" ] || e2e_fail "$TARNO is not built"
[ -x "$DEMO" ] || e2e_fail "$DEMO is not built"

DEEP="$E2E_TMP/$(printf 'c%.0s' $(seq 1 50))_campaign_march/$(printf 'r%.0s' $(seq 1 50))_raw_scans"
mkdir -p "$DEEP"
SPECTRUM="$DEEP/run03.spe"
[ ${#SPECTRUM} -gt 110 ] || e2e_fail "test path too short: $SPECTRUM"
"$DEMO" 20000 "$SPECTRUM" >"$E2E_TMP/demo.out" 2>&1 || e2e_fail "tarno-demo failed: $(cat "$E2E_TMP/demo.out")"

# Prints the window's client height in pixels.
window_height() { xdotool getwindowgeometry "$E2E_WINDOW" | awk '/Geometry/ { split($2, g, "x"); print g[2] }'; }
# Waits until the window is $1 pixels high.
wait_height() {
    local i
    for i in $(seq 1 100); do
        [ "$(window_height)" = "$1" ] && return 0
        sleep 0.1
    done
    e2e_fail "window is $(window_height) pixels high, expected $1 ($2)"
}

e2e_start_xvfb
export XDG_CONFIG_HOME="$E2E_TMP/config"      # no configuration file: the default window
export TARNO_JOINTC_NAME="/tarno_jointc_e2e_long_$$"
trap 'rm -f "/dev/shm${TARNO_JOINTC_NAME}"; e2e_cleanup' EXIT
e2e_launch "$TARNO" "$SPECTRUM" "$SPECTRUM"
tarno_pid=$E2E_LAST_PID
e2e_wait_window TARNO
sleep 1

# First file: read, display, save beside it, leave -----------------------------------
e2e_type "$E2E_WINDOW" Return
sleep 2
e2e_screenshot "$E2E_TMP/first_page.png"
e2e_type "$E2E_WINDOW" Return                   # Ready to plot
wait_height 306 "the display works in reduced height"
e2e_type "$E2E_WINDOW" m
sleep 1
e2e_screenshot "$E2E_TMP/save_dialogue.png"
for key in o u t period t x t Return 1 Return 0 Return; do e2e_type "$E2E_WINDOW" "$key"; done
for i in $(seq 1 100); do [ -f "$DEEP/out.txt" ] && break; sleep 0.1; done
[ -f "$DEEP/out.txt" ] || e2e_fail "the save did not land beside the spectrum: $(find "$E2E_TMP" -name out.txt)"
grep -q "^!   Output from spectrum: \.\.\..*_raw_scans/run03.spe$" "$DEEP/out.txt" ||
    e2e_fail "the saved file names its source as: $(sed -n 2p "$DEEP/out.txt")"
e2e_type "$E2E_WINDOW" Return                   # back to the display
sleep 1
e2e_type "$E2E_WINDOW" Return y                 # leave the display
wait_height 540 "the closing menu after the display has full height"
sleep 1
e2e_screenshot "$E2E_TMP/menu.png"

# Second file: its information page is whole at full height ------------------------
e2e_type "$E2E_WINDOW" 0 Return                 # another spectrum
sleep 1
e2e_type "$E2E_WINDOW" Return                   # the next argument
sleep 2
wait_height 540 "the information page of the next file"
e2e_screenshot "$E2E_TMP/second_page.png"
e2e_window_origin "$E2E_WINDOW"
# The comment box (white on blue) fills rows 3 to 5: 18-pixel rows from y 0.
e2e_expect_pixel "$E2E_TMP/second_page.png" $((E2E_X + 400)) $((E2E_Y + 2 * 18 + 9)) 000080 "comment box in row 3 of the second page"

# Leave: ENTER at Ready to plot, leave the display, -1 -------------------------------
e2e_type "$E2E_WINDOW" Return
sleep 1
e2e_type "$E2E_WINDOW" Return y
sleep 1
e2e_type "$E2E_WINDOW" minus 1 Return
e2e_wait_exit "$tarno_pid" 10
echo "long path e2e: ok"
