#!/usr/bin/env bash
# Key O in the real window under Xvfb: a text spectrum with one line under the
# first view's cursor is loaded, O is typed, and the screenshot must show the
# fitted parabola (light red) and the measurement marks (light cyan) in the
# plot, which a plain frame has none of; 9 and = then write only the message
# rows and leave the plot as it was.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
TARNO="$E2E_BUILD/tarno"
JOINTC="$E2E_BUILD/jointc"
[ -x "$TARNO" ] || e2e_fail "$TARNO is not built"
[ -x "$JOINTC" ] || e2e_fail "$JOINTC is not built"

# 4000 evenly spaced points; a frequency-modulation line (second derivative of
# a Lorentzian) at point 400 of the first 800-point view, where the cursor starts.
SPECTRUM="$E2E_TMP/line.txt"
awk 'BEGIN { print "e2e measurement spectrum"; for (i = 1; i <= 4000; i++) { u = (i - 400.3) / 8;
             v = 1000 * (1 - 3 * u * u) / (1 + u * u) ^ 3; printf "%.4f %.3f\n", 230000 + 0.04 * (i - 1), v } }' >"$SPECTRUM"

# Counts the pixels of colour $2 (RRGGBB) inside the plot area of screenshot $1.
count_colour() {
    convert "$1" -crop "790x230+$((E2E_X + 5))+$((E2E_Y + 36))" +repage -depth 8 txt:- | grep -ci "#$2"
}

e2e_start_xvfb
export XDG_CONFIG_HOME="$E2E_TMP/config"      # no configuration file: the default window
"$JOINTC" reset
e2e_start_display "$TARNO" "$SPECTRUM"
sleep 2
e2e_window_origin "$E2E_WINDOW"

e2e_screenshot "$E2E_TMP/before.png"
[ "$(count_colour "$E2E_TMP/before.png" FF0000)" -eq 0 ] || e2e_fail "light red in the plot before O"

e2e_type "$E2E_WINDOW" o
sleep 1
e2e_screenshot "$E2E_TMP/measured.png"
red=$(count_colour "$E2E_TMP/measured.png" FF0000)
cyan=$(count_colour "$E2E_TMP/measured.png" 00FFFF)
[ "$red" -gt 3 ] || e2e_fail "no fitted parabola after O ($red light red pixels)"
[ "$cyan" -gt 700 ] || e2e_fail "no baseline and vertex marks after O ($cyan light cyan pixels)"
[ -n "${TARNO_SCREENSHOT_DIR:-}" ] && cp "$E2E_TMP/measured.png" "$TARNO_SCREENSHOT_DIR/e2e_measurement.png"

# Zoomed in to an interpolated frame, the fit runs on the smooth curve.
e2e_type "$E2E_WINDOW" E E E
sleep 1
e2e_type "$E2E_WINDOW" o
sleep 1
e2e_screenshot "$E2E_TMP/zoomed.png"
red=$(count_colour "$E2E_TMP/zoomed.png" FF0000)
[ "$red" -gt 50 ] || e2e_fail "no fitted parabola after O on the zoomed view ($red light red pixels)"
[ -n "${TARNO_SCREENSHOT_DIR:-}" ] && cp "$E2E_TMP/zoomed.png" "$TARNO_SCREENSHOT_DIR/e2e_measurement_zoomed.png"

# 9 and = write only the message rows: the plot keeps its fit.
e2e_type "$E2E_WINDOW" 9 equal
sleep 1
e2e_screenshot "$E2E_TMP/average.png"
[ "$(count_colour "$E2E_TMP/average.png" FF0000)" -eq "$red" ] || e2e_fail "9 and = changed the plot"

# Leave: ENTER, Y, then -1 at the closing menu
e2e_type "$E2E_WINDOW" Return y
sleep 1
e2e_type "$E2E_WINDOW" minus 1 Return
e2e_wait_exit "$tarno_pid" 10
echo "measurement e2e: ok"
