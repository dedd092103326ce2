#!/usr/bin/env bash
# Names with accents typed in the real window (xdotool sends them as the
# desktop does, through the keyboard map): a spectrum whose name has an
# umlaut is opened by typing its path at the file prompt, the "Reading:" line
# and the display's bottom row show the name, and a spectrum saved under a
# typed name with an umlaut gets exactly that (UTF-8) name on disk.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
TARNO="$E2E_BUILD/tarno"
[ -x "$TARNO" ] || e2e_fail "$TARNO is not built"

DIR="$E2E_TMP/daten_ü"
mkdir -p "$DIR"
SPECTRUM="$DIR/messung_ä.txt"
awk 'BEGIN { print "e2e typed names"; for (i = 0; i < 4000; i++) { x = (i - 2000) / 6.0;
             printf "%.4f %.3f\n", 100000 + 0.05 * i, 5000 * exp(-x * x / 2) } }' >"$SPECTRUM"

e2e_start_xvfb
export XDG_CONFIG_HOME="$E2E_TMP/config"
export TARNO_JOINTC_NAME="/tarno_jointc_e2e_$$"
trap 'rm -f "/dev/shm/${TARNO_JOINTC_NAME#/}"; e2e_cleanup' EXIT
e2e_launch "$TARNO"
tarno_pid=$E2E_LAST_PID
e2e_wait_window TARNO
sleep 1
e2e_type_text "$E2E_WINDOW" "$SPECTRUM"
e2e_type "$E2E_WINDOW" Return
sleep 2
e2e_screenshot "$E2E_TMP/reading.png"
kill -0 "$tarno_pid" 2>/dev/null || e2e_fail "the program ended after the typed name"

# Ready to plot: ENTER; then m saves the spectrum as text under a typed name.
e2e_type "$E2E_WINDOW" Return
sleep 2
e2e_screenshot "$E2E_TMP/display.png"
e2e_type "$E2E_WINDOW" m
sleep 1
e2e_type_text "$E2E_WINDOW" "spektrum_ä.txt"
e2e_type "$E2E_WINDOW" Return
sleep 0.5
e2e_type "$E2E_WINDOW" 1 Return        # two-column text
sleep 0.5
e2e_type "$E2E_WINDOW" 0 Return        # intensities as they are
OUTPUT="$DIR/spektrum_ä.txt"
for i in $(seq 1 $((E2E_TIMEOUT * 10))); do [ -s "$OUTPUT" ] && break; sleep 0.1; done
[ -s "$OUTPUT" ] || e2e_fail "no file '$OUTPUT'; the directory holds: $(ls "$DIR" | od -c | head -5)"
[ "$(grep -vc "^!" "$OUTPUT")" -eq 4000 ] || e2e_fail "the saved spectrum has $(grep -vc "^!" "$OUTPUT") data lines"
grep -q "Output from spectrum: $SPECTRUM\$" "$OUTPUT" || e2e_fail "the saved file names its source wrongly: $(head -n 3 "$OUTPUT")"
[ "$(ls "$DIR" | wc -l)" -eq 2 ] || e2e_fail "other files beside the spectrum: $(ls "$DIR")"

# Leave: ENTER after the save, ENTER and Y in the display, -1 at the closing menu.
e2e_type "$E2E_WINDOW" Return
sleep 1
e2e_type "$E2E_WINDOW" Return y
sleep 1
e2e_type "$E2E_WINDOW" minus 1 Return
e2e_wait_exit "$tarno_pid" 10
[ "$E2E_STATUS" -eq 0 ] || e2e_fail "the program exited with $E2E_STATUS"
echo "typed names e2e: ok"
