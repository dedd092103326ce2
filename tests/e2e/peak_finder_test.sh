#!/usr/bin/env bash
# The peak finder in the real window under Xvfb: a text spectrum with a line
# every 100 points is loaded, a fitting width of -7 is typed at key 0, the
# baseline level and the cutoff are taken as offered, the current window is
# scanned into peaks.txt beside the spectrum, and the file must list the 8
# lines of the first 800-point view in ascending order; ENTER then returns to
# the display, which is left as usual.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
TARNO="$E2E_BUILD/tarno"
JOINTC="$E2E_BUILD/jointc"
[ -x "$TARNO" ] || e2e_fail "$TARNO is not built"
[ -x "$JOINTC" ] || e2e_fail "$JOINTC is not built"

# 4000 points; a frequency-modulation line (second derivative of a Lorentzian)
# centred 0.3 points after 50, 150, ..., 3950.
SPECTRUM="$E2E_TMP/lines.txt"
awk 'BEGIN { print "e2e peak finder spectrum"; for (i = 1; i <= 4000; i++) { u = (i - 100 * int((i - 1) / 100) - 50.3) / 7;
             v = 1000 * (1 - 3 * u * u) / (1 + u * u) ^ 3; printf "%.4f %.3f\n", 230000 + 0.05 * (i - 1), v } }' >"$SPECTRUM"

e2e_start_xvfb
export XDG_CONFIG_HOME="$E2E_TMP/config"      # no configuration file: the default window
"$JOINTC" reset
e2e_launch "$TARNO" "$SPECTRUM"
tarno_pid=$E2E_LAST_PID
e2e_wait_window TARNO
sleep 1
e2e_type "$E2E_WINDOW" Return
sleep 2
e2e_type "$E2E_WINDOW" Return
sleep 2

# width -7, then ENTER for the baseline level and ENTER for the cutoff
e2e_type "$E2E_WINDOW" 0
sleep 0.5
e2e_type "$E2E_WINDOW" minus 7 Return
sleep 0.5
e2e_type "$E2E_WINDOW" Return
sleep 0.5
e2e_type "$E2E_WINDOW" Return
sleep 1
# range 0, the file name
e2e_type "$E2E_WINDOW" 0 Return
sleep 0.5
e2e_type "$E2E_WINDOW" p e a k s period t x t Return
for i in $(seq 1 50); do [ -s "$E2E_TMP/peaks.txt" ] && break; sleep 0.1; done
[ -s "$E2E_TMP/peaks.txt" ] || e2e_fail "no peaks.txt beside the spectrum"
sleep 0.5
e2e_screenshot "$E2E_TMP/summary.png"
[ -n "${TARNO_SCREENSHOT_DIR:-}" ] && cp "$E2E_TMP/summary.png" "$TARNO_SCREENSHOT_DIR/e2e_peak_finder.png"

lines=$(awk 'substr($0, 45, 3) == "  |"' "$E2E_TMP/peaks.txt")
[ "$(printf '%s\n' "$lines" | wc -l)" -eq 8 ] || e2e_fail "expected 8 lines in peaks.txt, got: $lines"
printf '%s\n' "$lines" | awk -v step=0.05 '{ expect = 230000 + step * (100 * (NR - 1) + 49.3);
    if ($1 < expect - 0.01 || $1 > expect + 0.01) { print "line " NR " at " $1 ", expected " expect; exit 1 } }' ||
    e2e_fail "fitted centres off"
grep -q "^ Total number of identified lines =        8$" "$E2E_TMP/peaks.txt" || e2e_fail "closing count missing"

# ENTER back to the display, then leave: ENTER, Y, -1 at the closing menu
e2e_type "$E2E_WINDOW" Return
sleep 1
e2e_type "$E2E_WINDOW" Return y
sleep 1
e2e_type "$E2E_WINDOW" minus 1 Return
e2e_wait_exit "$tarno_pid" 10
echo "peak finder e2e: ok"
