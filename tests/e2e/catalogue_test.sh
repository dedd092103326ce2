#!/usr/bin/env bash
# The line overlay in the real window under Xvfb: the spectrum is opened by
# its name typed in its directory, a catalogue and a file of assigned lines
# are loaded with C (names typed relative to the spectrum's directory); the
# screenshot must show the catalogue's sticks (light green, light magenta for
# an experimental frequency) and the assigned line's mark (dark yellow), none
# of which a plain frame has; T then appends the measured line with the
# catalogue's quantum numbers, and PGDN moves the cursor.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
TARNO="$E2E_BUILD/tarno"
JOINTC="$E2E_BUILD/jointc"
[ -x "$TARNO" ] || e2e_fail "$TARNO is not built"
[ -x "$JOINTC" ] || e2e_fail "$JOINTC is not built"

# 4000 points of 0.04 MHz from 230000 MHz; one line at point 400.3, under the
# first view's cursor, and a weaker one at point 600.
SPECTRUM="$E2E_TMP/line.txt"
awk 'BEGIN { print "e2e overlay spectrum"; for (i = 1; i <= 4000; i++) { u = (i - 400.3) / 8; w = (i - 600) / 6;
             v = 1000 * (1 - 3 * u * u) / (1 + u * u) ^ 3 + 400 * (1 - 3 * w * w) / (1 + w * w) ^ 3;
             printf "%.4f %.3f\n", 230000 + 0.04 * (i - 1), v } }' >"$SPECTRUM"

# Catalogue records (F13.4, F8.4, F8.4, I2, F10.4, I3, I7, I4, 6I2, 6I2), and one assigned line.
cat_line() { printf '%13.4f%8.4f%8.4f%2d%10.4f%3d%7d%4d%-12s%-12s\n' "$1" 0.0150 "$2" 3 10.5 11 "$3" 1403 "$4" "$5"; }
{
    cat_line 230005.5000 -3.3000 303 " 3 0 3" " 2 0 2"
    cat_line 230015.9700 -3.1000 303 " 5 1 4" " 4 1 3"
    cat_line 230023.9600 -3.6000 -303 " 5 2 3" " 4 2 2"
    cat_line 230028.0000 -3.2000 303 " 6 0 6" " 5 0 5"
    cat_line 230100.0000 -3.0000 303 "A0b3 5" " 9a1-4"
} >"$E2E_TMP/pred.cat"
ASSIGNED="$E2E_TMP/seen.lin"
printf '  3  0  3  2  0  2  0  0  0  0  0  0   230005.50000     0.02000   1.00000\n' >"$ASSIGNED"

# Counts the pixels of colour $2 (RRGGBB) inside the plot area of screenshot $1.
count_colour() {
    convert "$1" -crop "790x230+$((E2E_X + 5))+$((E2E_Y + 36))" +repage -depth 8 txt:- | grep -ci "#$2"
}

export TARNO_JOINTC_NAME="/tarno_jointc_e2e_catalogue_$$"   # a block of this test only: the cursor keys follow the block
trap 'rm -f "/dev/shm/${TARNO_JOINTC_NAME#/}"; e2e_cleanup' EXIT
e2e_start_xvfb
export XDG_CONFIG_HOME="$E2E_TMP/config"      # no configuration file: the default window
"$JOINTC" reset
e2e_start_display_typed "$TARNO" "$E2E_TMP" "$(basename "$SPECTRUM")"   # the bottom row shows "line.txt"
sleep 2
e2e_window_origin "$E2E_WINDOW"

e2e_screenshot "$E2E_TMP/before.png"
[ "$(count_colour "$E2E_TMP/before.png" 00FF00)" -eq 0 ] || e2e_fail "light green in the plot before C"

e2e_type "$E2E_WINDOW" c p r e d period c a t Return
sleep 1
e2e_type "$E2E_WINDOW" c s e e n period l i n Return
sleep 1
e2e_screenshot "$E2E_TMP/loaded.png"
green=$(count_colour "$E2E_TMP/loaded.png" 00FF00)
magenta=$(count_colour "$E2E_TMP/loaded.png" FF00FF)
olive=$(count_colour "$E2E_TMP/loaded.png" 808000)
[ "$green" -gt 20 ] || e2e_fail "no catalogue sticks after C ($green light green pixels)"
[ "$magenta" -gt 3 ] || e2e_fail "no experimental stick after C ($magenta light magenta pixels)"
[ "$olive" -ge 8 ] || e2e_fail "no mark of the assigned line after C ($olive dark yellow pixels)"

# T: the line under the cursor, with the quanta of the catalogue line at 230015.97
e2e_type "$E2E_WINDOW" t
sleep 1
[ "$(wc -l <"$ASSIGNED")" -eq 2 ] || e2e_fail "T did not append one record to seen.lin"
tail -n 1 "$ASSIGNED" | grep -q '^  5  1  4  4  1  3  0  0  0  0  0  0   230015\.9[0-9]\{4\}     0\.[0-9]\{5\}   1\.00000$' ||
    e2e_fail "T appended an unexpected record: $(tail -n 1 "$ASSIGNED")"
e2e_type "$E2E_WINDOW" L          # the cursor off the new mark (it is drawn over it in exclusive-or)
sleep 1
e2e_screenshot "$E2E_TMP/assigned.png"
olive=$(count_colour "$E2E_TMP/assigned.png" 808000)
[ "$olive" -ge 16 ] || e2e_fail "no mark of the new assigned line after T ($olive dark yellow pixels)"
[ -n "${TARNO_SCREENSHOT_DIR:-}" ] && cp "$E2E_TMP/assigned.png" "$TARNO_SCREENSHOT_DIR/e2e_catalogue.png"

# PGDN: the cursor goes to the next stick, so the plot changes
e2e_type "$E2E_WINDOW" Next
sleep 1
e2e_screenshot "$E2E_TMP/next.png"
before=$(convert "$E2E_TMP/assigned.png" -crop "790x230+$((E2E_X + 5))+$((E2E_Y + 36))" +repage -depth 8 txt:- | md5sum)
after=$(convert "$E2E_TMP/next.png" -crop "790x230+$((E2E_X + 5))+$((E2E_Y + 36))" +repage -depth 8 txt:- | md5sum)
[ "$before" != "$after" ] || e2e_fail "PGDN did not move the cursor"
[ -n "${TARNO_SCREENSHOT_DIR:-}" ] && convert "$E2E_TMP/next.png" -crop "800x306+$E2E_X+$E2E_Y" +repage \
    "$TARNO_SCREENSHOT_DIR/e2e_catalogue_next.png"

# Leave: ENTER, Y, then -1 at the closing menu
e2e_type "$E2E_WINDOW" Return y
sleep 1
e2e_type "$E2E_WINDOW" minus 1 Return
e2e_wait_exit "$tarno_pid" 10
echo "catalogue e2e: ok"
