#!/usr/bin/env bash
# The real window under Xvfb: keystrokes typed with xdotool reach read_key()
# as the program expects them (characters once, extended keys as prefix and
# scan code, modifier-only presses dropped), the palette colours reach the
# screen exactly, and the window closes when the program ends.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
PROBE="$E2E_BUILD/window-probe"
[ -x "$PROBE" ] || e2e_fail "$PROBE is not built"

# Without a display the window refuses to start, with a message ---------------
status=0
env -u DISPLAY -u WAYLAND_DISPLAY "$PROBE" keys "$E2E_TMP/none.log" 2>"$E2E_TMP/nodisplay.err" || status=$?
[ "$status" -eq 1 ] || e2e_fail "without DISPLAY the probe exited with $status, expected 1"
grep -q "no graphical display" "$E2E_TMP/nodisplay.err" || e2e_fail "without DISPLAY: no clear message ($(cat "$E2E_TMP/nodisplay.err"))"

e2e_start_xvfb
e2e_launch "$PROBE" keys "$E2E_TMP/keys.log"
probe_pid=$E2E_LAST_PID
e2e_wait_window tarno-probe
e2e_wait_line "$E2E_TMP/keys.log" ready

# Keys -------------------------------------------------------------------------
# xdotool key name | bytes read_key() must return
cases=(
    "a|97"
    "A|65"
    "Return|13"
    "Escape|27"
    "BackSpace|8"
    "Tab|9"
    "Left|224 75"
    "Right|224 77"
    "Up|224 72"
    "Down|224 80"
    "Home|224 71"
    "End|224 79"
    "Prior|224 73"
    "Next|224 81"
    "Insert|224 82"
    "Delete|224 83"
    "F1|0 59"
    "F10|0 68"
    "F11|0 133"
    "F12|0 134"
    "at|64"
    "numbersign|35"
    "parenright|41"
    "parenleft|40"
    "plus|43"
    "underscore|95"
    "asciicircum|94"
    "ampersand|38"
    "Shift_L|"
    "Control_L|"
    "space|32"
    "ctrl+c|3"
)
names=()
expected=()
for entry in "${cases[@]}"; do
    names+=("${entry%%|*}")
    for byte in ${entry#*|}; do expected+=("$byte"); done
done
e2e_type "$E2E_WINDOW" "${names[@]}"
# A marker key last: everything before it has been read once it is logged.
e2e_type "$E2E_WINDOW" x
e2e_wait_line "$E2E_TMP/keys.log" 120
mapfile -t got < <(tail -n +2 "$E2E_TMP/keys.log")
want=("${expected[@]}" 120)
[ "${got[*]}" = "${want[*]}" ] || e2e_fail "keys read:
  got      ${got[*]}
  expected ${want[*]}"

# Palette colours on the screen ---------------------------------------------------
e2e_screenshot "$E2E_TMP/probe.png"
e2e_window_origin "$E2E_WINDOW"
# square i (palette colour) spans x 50+150i .. 149+150i, y 50..149 of the window
pixel_cases=(
    "100 100 FF0000 colour 12 (light red)"
    "250 100 00FF00 colour 10 (light green)"
    "400 100 0000FF colour 9 (light blue)"
    "550 100 FFFF00 colour 14 (yellow)"
    "700 100 000080 colour 1 (blue)"
    "50 50 FF0000 colour 12, first corner"
    "149 149 FF0000 colour 12, last corner"
    "150 100 C0C0C0 background 7 beside a square"
    "100 300 C0C0C0 background 7 (light grey)"
)
for entry in "${pixel_cases[@]}"; do
    read -r x y colour what <<<"$entry"
    e2e_expect_pixel "$E2E_TMP/probe.png" $((E2E_X + x)) $((E2E_Y + y)) "$colour" "$what"
done

# The text cursor blinks: its cell (row 21, column 1) shows inverted and plain in turn
seen=""
for i in $(seq 1 20); do
    e2e_screenshot "$E2E_TMP/cursor.png"
    seen="$seen $(e2e_pixel "$E2E_TMP/cursor.png" $((E2E_X + 5)) $((E2E_Y + 20 * 18 + 9)))"
    [[ "$seen" == *3F3F3F* && "$seen" == *C0C0C0* ]] && break
    sleep 0.15
done
[[ "$seen" == *3F3F3F* && "$seen" == *C0C0C0* ]] || e2e_fail "the cursor cell did not blink (colours seen:$seen)"

# A resize from the program gives the window exactly the new client size ------------
e2e_type "$E2E_WINDOW" r
e2e_wait_line "$E2E_TMP/keys.log" resized
for i in $(seq 1 $((E2E_TIMEOUT * 10))); do   # the window follows on the main thread
    eval "$(xdotool getwindowgeometry --shell "$E2E_WINDOW" | grep -E '^(WIDTH|HEIGHT)=')"
    [ "$WIDTH x $HEIGHT" = "640 x 400" ] && break
    sleep 0.1
done
[ "$WIDTH x $HEIGHT" = "640 x 400" ] || e2e_fail "resized window is $WIDTH x $HEIGHT, expected 640 x 400"
e2e_window_origin "$E2E_WINDOW"
e2e_wait_pixel "$E2E_TMP/resized.png" $((E2E_X + 320)) $((E2E_Y + 399)) 00FF00 "last pixel row after the resize"
e2e_expect_pixel "$E2E_TMP/resized.png" $((E2E_X + 320)) $((E2E_Y + 200)) C0C0C0 "cleared window after the resize"

# q ends the program; exit behaviour 2 closes the window ----------------------------
e2e_type "$E2E_WINDOW" q
e2e_wait_exit "$probe_pid" "$E2E_TIMEOUT"
[ "$E2E_STATUS" -eq 0 ] || e2e_fail "the probe exited with $E2E_STATUS"
echo "window keys and colours: ok"
