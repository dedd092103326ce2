#!/usr/bin/env bash
# Keys B and N in the real window under Xvfb on a 10,000,000-point recording:
# a 499-point baseline subtraction repaints the window while its five passes
# run (the progress lines appear before the result); a negative interval gives
# the cutoff step (light red text, the exclusive-or cutoff lines over the blue
# original on the grey page) and then the final baseline in light red; ENTER
# returns to the display; N smooths and returns to it.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
TARNO="$E2E_BUILD/tarno"
DEMO="$E2E_BUILD/tarno-demo"
[ -x "$TARNO" ] || e2e_fail "$TARNO is not built"
[ -x "$DEMO" ] || e2e_fail "$DEMO is not built"

SPECTRUM="$E2E_TMP/long.spe"
"$DEMO" 10000000 "$SPECTRUM" >"$E2E_TMP/demo.out" 2>&1 || e2e_fail "tarno-demo failed: $(cat "$E2E_TMP/demo.out")"

# Counts the pixels of colour $2 (RRGGBB) inside the plot area of screenshot $1.
count_colour() {
    convert "$1" -crop "790x230+$((E2E_X + 5))+$((E2E_Y + 36))" +repage -depth 8 txt:- | grep -ci "#$2"
}
# Counts the pixels of colour $2 in text row 1 of screenshot $1.
count_row1_colour() {
    convert "$1" -crop "790x18+$((E2E_X + 5))+$E2E_Y" +repage -depth 8 txt:- | grep -ci "#$2"
}
# Takes screenshots into $1 until the plot area has more than $3 pixels of colour $2.
wait_colour() {
    local i
    for i in $(seq 1 $((E2E_TIMEOUT * 2))); do
        e2e_screenshot "$1"
        [ "$(count_colour "$1" "$2")" -gt "$3" ] && return 0
        sleep 0.5
    done
    e2e_fail "no $2 in the plot of $1"
}
keep() { [ -n "${TARNO_SCREENSHOT_DIR:-}" ] && cp "$1" "$TARNO_SCREENSHOT_DIR/$2"; return 0; }

e2e_start_xvfb
export XDG_CONFIG_HOME="$E2E_TMP/config"      # no configuration file: the default window
export TARNO_JOINTC_NAME="/tarno_jointc_e2e_smooth_$$"
trap 'rm -f "/dev/shm${TARNO_JOINTC_NAME}"; e2e_cleanup' EXIT
e2e_start_display "$TARNO" "$SPECTRUM"
e2e_window_origin "$E2E_WINDOW"
wait_colour "$E2E_TMP/start.png" 000080 100000           # the display: blue plot area

# B with 499 points: the window shows new lines while the passes run --------------
e2e_type "$E2E_WINDOW" b
sleep 1
e2e_type "$E2E_WINDOW" 4 9 9 Return
declare -A seen=()
for i in $(seq 1 $((E2E_TIMEOUT * 4))); do
    e2e_screenshot "$E2E_TMP/passes.png"
    [ "$(count_colour "$E2E_TMP/passes.png" FF0000)" -gt 300 ] && break   # the baseline is drawn: done
    seen[$(md5sum <"$E2E_TMP/passes.png" | cut -c1-32)]=1
    [ "$i" -eq 1 ] && keep "$E2E_TMP/passes.png" e2e_smooth_passes.png
done
[ "${#seen[@]}" -ge 2 ] || e2e_fail "the window did not change while the baseline was computed (${#seen[@]} views)"
keep "$E2E_TMP/passes.png" e2e_baseline_499.png
e2e_type "$E2E_WINDOW" Return
wait_colour "$E2E_TMP/display.png" 000080 100000         # the display again: blue plot area

# B with -21: the cutoff step, then the final baseline ---------------------------------
e2e_type "$E2E_WINDOW" b
sleep 1
e2e_type "$E2E_WINDOW" minus 2 1 Return
for i in $(seq 1 $((E2E_TIMEOUT * 2))); do
    e2e_screenshot "$E2E_TMP/cutoff.png"
    [ "$(count_row1_colour "$E2E_TMP/cutoff.png" FF0000)" -gt 100 ] && break
    sleep 0.5
done
[ "$(count_row1_colour "$E2E_TMP/cutoff.png" FF0000)" -gt 100 ] || e2e_fail "no 'Upper cutoff =' row in light red"
[ "$(count_colour "$E2E_TMP/cutoff.png" 000080)" -gt 300 ] || e2e_fail "no original drawn in blue in the cutoff step"
[ "$(count_colour "$E2E_TMP/cutoff.png" C0C0C0)" -gt 100000 ] || e2e_fail "the cutoff step is not on the grey page"
[ "$(count_colour "$E2E_TMP/cutoff.png" C03FC0)" -gt 200 ] || e2e_fail "no cutoff line (light green, exclusive-or over grey)"
keep "$E2E_TMP/cutoff.png" e2e_cutoff_step.png
e2e_type "$E2E_WINDOW" W Return Return
wait_colour "$E2E_TMP/baseline.png" FF0000 300
keep "$E2E_TMP/baseline.png" e2e_baseline_cutoff.png
e2e_type "$E2E_WINDOW" Return
wait_colour "$E2E_TMP/display2.png" 000080 100000

# B with -499: the pass under way is noted while the preliminary baseline is
# computed (black on the empty row under the answer, columns 22-30) and while the
# final one is (light red at the end of the cutoff row, columns 66-74); neither
# note is left on the screens that follow ---------------------------------------------
# Counts the pixels of colour $3 in the cells of text row $2, columns 22-30 ($4 = 22)
# or 66-74 ($4 = 66), of screenshot $1.
count_note_colour() {
    convert "$1" -crop "90x18+$((E2E_X + ($4 - 1) * 10))+$((E2E_Y + ($2 - 1) * 18))" +repage -depth 8 txt:- | grep -ci "#$3"
}
# Takes screenshots into $1 until `$2 $1` succeeds (the next screen is up);
# fails when the note at row $3, column $4 in colour $5 was never seen
# meanwhile, or is still there at the end.
watch_note() {
    local i noted=0
    for i in $(seq 1 $((E2E_TIMEOUT * 4))); do
        e2e_screenshot "$1"
        if [ "$(count_note_colour "$1" "$3" "$5" "$4")" -gt 20 ]; then
            noted=1
            keep "$1" "e2e_baseline_note_$4.png"
        fi
        "$2" "$1" && break
    done
    [ "$noted" -eq 1 ] || e2e_fail "no pass noted at row $3, column $4 while the baseline was computed"
    [ "$(count_note_colour "$1" "$3" "$5" "$4")" -eq 0 ] || e2e_fail "the note at row $3, column $4 stayed on the screen"
}
cutoff_row_shown() { [ "$(count_row1_colour "$1" FF0000)" -gt 100 ]; }
cutoff_row_cleared() { [ "$(count_row1_colour "$1" FF0000)" -eq 0 ]; }
e2e_type "$E2E_WINDOW" b
sleep 1
e2e_type "$E2E_WINDOW" minus 4 9 9 Return
watch_note "$E2E_TMP/preliminary.png" cutoff_row_shown 16 22 000000
cutoff_row_shown "$E2E_TMP/preliminary.png" || e2e_fail "no cutoff row after the preliminary baseline"
e2e_type "$E2E_WINDOW" Return Return
watch_note "$E2E_TMP/final.png" cutoff_row_cleared 1 66 FF0000
cutoff_row_cleared "$E2E_TMP/final.png" || e2e_fail "the cutoff row was not cleared after the final baseline"
wait_colour "$E2E_TMP/baseline2.png" FF0000 300
e2e_type "$E2E_WINDOW" Return
wait_colour "$E2E_TMP/display4.png" 000080 100000

# N with 25 points, back to the display -------------------------------------------
e2e_type "$E2E_WINDOW" n
sleep 1
e2e_type "$E2E_WINDOW" 2 5 Return
sleep 1
wait_colour "$E2E_TMP/display3.png" 000080 100000
kill -0 "$tarno_pid" 2>/dev/null || e2e_fail "the program ended"
echo "ok"
