#!/usr/bin/env bash
# Linked operation in the real window under Xvfb, with jointc as the partner:
# tarno_l.inp beside the spectrum switches it on; the partner sets the view and
# the cursor on a line, supplies quantum numbers and places command 1, and the
# datafile gets the line record; F2 typed in the window appends a blend record;
# F7 suspends polling (a command stays pending, the red mark goes) and resumes
# it; a datafile removed behind the program's back is reported, not created,
# and the command is reset.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
TARNO="$E2E_BUILD/tarno"
JOINTC="$E2E_BUILD/jointc"
[ -x "$TARNO" ] || e2e_fail "$TARNO is not built"
[ -x "$JOINTC" ] || e2e_fail "$JOINTC is not built"
export TARNO_JOINTC_NAME="/tarno_jointc_e2e_$$"     # a block of this test only
trap 'rm -f "/dev/shm/${TARNO_JOINTC_NAME#/}"; e2e_cleanup' EXIT

# Spectrum with one line at 100100 MHz, partner input and datafile --------------------
SPECTRUM="$E2E_TMP/linked.txt"
awk 'BEGIN { print "e2e linked spectrum"; for (i = 0; i < 4000; i++) { x = (i - 2000) / 6.0;
             printf "%.4f %.3f\n", 100000 + 0.05 * i, 5000 * exp(-x * x / 2) + 100 * sin(i / 50) } }' >"$SPECTRUM"
DATAFILE="$E2E_TMP/lines.lin"
: >"$DATAFILE"
{
    echo "! linked operation, end-to-end test"
    printf '%-40s%s\n' "Datafile" "lines.lin"
    printf '%-40s%s\n' "Line uncertainty (MHz)" "0.015"
    printf '%-40s%s\n' "Tone frequency (Hz) and duration (ms)" "1200 40"
} >"$E2E_TMP/tarno_l.inp"

block() { "$JOINTC" get "$1"; }
lines() { wc -l <"$DATAFILE" | tr -d ' '; }
wait_lines() {
    local i
    for i in $(seq 1 100); do
        [ "$(lines)" = "$1" ] && return 0
        sleep 0.1
    done
    e2e_fail "datafile has $(lines) lines, expected $1: $(cat "$DATAFILE")"
}

# Start: file argument, ENTER at the prompt, ENTER at "Ready to plot" -------------
e2e_start_xvfb
export XDG_CONFIG_HOME="$E2E_TMP/config"
"$JOINTC" reset
e2e_start_display "$TARNO" "$SPECTRUM"
for i in $(seq 1 100); do [ "$(block spectrum_name)" = "linked.txt" ] && break; sleep 0.1; done
[ "$(block spectrum_name)" = "linked.txt" ] || e2e_fail "the display did not publish the spectrum"
sleep 1

# The partner moves the view onto the line and asks for a line record ---------------
"$JOINTC" view 100090 100110
"$JOINTC" cursor 100100
for i in $(seq 1 50); do [ "$(block cursor_freq)" = "100100" ] && break; sleep 0.1; done
"$JOINTC" quantum 5 1 4 4 1 3
"$JOINTC" intensity 0.75
"$JOINTC" command 1 --wait --timeout 10 >"$E2E_TMP/taken.txt" || e2e_fail "command 1 was not taken"
wait_lines 1
record=$(head -n 1 "$DATAFILE")
[ "${record:0:36}" = "  5  1  4  4  1  3  0  0  0  0  0  0" ] || e2e_fail "quantum numbers of '$record'"
freq=${record:36:15}
awk -v f="$freq" 'BEGIN { d = f - 100100; if (d < 0) d = -d; exit !(d < 0.01) }' || e2e_fail "line frequency $freq, expected 100100"
[ "${record:51}" = "     0.01500   1.00000" ] || e2e_fail "uncertainty and weight of '$record'"

# The partner moves only the cursor: the measured result stays in the message rows
# (blue text), only the cursor line moves (yellow XOR over the blue plot) -------------
e2e_window_origin "$E2E_WINDOW"
blue_in_rows() {   # pixels of text colour 1 in rows 1 and 2 of screenshot $1
    convert "$1" -crop "800x36+$E2E_X+$E2E_Y" +repage -format %c histogram:info:- | grep -ci '#000080' || true
}
e2e_screenshot "$E2E_TMP/result.png"
[ "$(blue_in_rows "$E2E_TMP/result.png")" -gt 0 ] || e2e_fail "no result in the message rows after command 1"
"$JOINTC" cursor 100101
sleep 1
e2e_screenshot "$E2E_TMP/cursor_moved.png"
[ "$(blue_in_rows "$E2E_TMP/cursor_moved.png")" -gt 0 ] || e2e_fail "the partner's cursor move wiped the measured result"
# 100101 MHz in the view 100090..100110 lies at x = 11/20 * 799 = 439
e2e_expect_pixel "$E2E_TMP/cursor_moved.png" $((E2E_X + 439)) $((E2E_Y + 100)) FFFF80 "cursor line at the partner's cursor"

# The red mark of linked operation, top right of the plot ---------------------------
e2e_window_origin "$E2E_WINDOW"
e2e_screenshot "$E2E_TMP/linked.png"
e2e_expect_pixel "$E2E_TMP/linked.png" $((E2E_X + 792)) $((E2E_Y + 38)) FF0000 "linked mark"

# F2 typed in the window: a blend record with the partner's intensity ---------------
e2e_type "$E2E_WINDOW" F2
wait_lines 2
[ "$(sed -n 2p "$DATAFILE" | cut -c 64-)" = "  7.50E-01" ] || e2e_fail "blend record '$(sed -n 2p "$DATAFILE")'"
# The command is reset just after the record is appended.
for i in $(seq 1 50); do [ "$(block command)" = "0" ] && break; sleep 0.1; done
[ "$(block command)" = "0" ] || e2e_fail "command $(block command) after F2"

# F7: suspended, a partner command stays pending and the mark goes; F7 again takes it
e2e_type "$E2E_WINDOW" F7
sleep 1
"$JOINTC" command 3 --wait --timeout 1 >/dev/null 2>&1 && e2e_fail "command taken while suspended"
e2e_screenshot "$E2E_TMP/suspended.png"
[ "$(e2e_pixel "$E2E_TMP/suspended.png" $((E2E_X + 792)) $((E2E_Y + 38)))" = "FF0000" ] && e2e_fail "linked mark shown while suspended"
e2e_type "$E2E_WINDOW" F7
"$JOINTC" wait --timeout 10 >/dev/null || e2e_fail "command 3 not taken after F7 again"
wait_lines 3
[ "$(sed -n 3p "$DATAFILE" | cut -c 52-)" = "     0.00000   1.00000" ] || e2e_fail "excluded record '$(sed -n 3p "$DATAFILE")'"

# The datafile disappears: reported, not created, command reset, program goes on ----
rm -f "$DATAFILE"
"$JOINTC" command 1 --wait --timeout 10 >/dev/null || e2e_fail "command not reset when the datafile is missing"
sleep 0.5
[ -e "$DATAFILE" ] && e2e_fail "the missing datafile was created"
kill -0 "$tarno_pid" 2>/dev/null || e2e_fail "the program ended on a missing datafile"

# Leave: ENTER, Y, then -1 at the closing menu -----------------------------------------
e2e_type "$E2E_WINDOW" Return y
sleep 1
e2e_type "$E2E_WINDOW" minus 1 Return
e2e_wait_exit "$tarno_pid" 10
echo "linked e2e: ok"
