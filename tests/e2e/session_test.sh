#!/usr/bin/env bash
# One whole working session in the real window under Xvfb, each step checked
# on its file or on the screen: a text spectrum with an uneven frequency axis
# is opened (and put on an even grid), a line is zoomed to and measured with
# O, the spectrum is smoothed (N) and a baseline with the cutoff step is
# subtracted (B), the peak finder lists every line of the whole spectrum, the
# result is saved in binary (m) and read back, a second piece is appended (&),
# GLE output is written (G) and rendered, a catalogue is loaded (C) and a line
# assigned (T), and finally linked operation is switched on and F1 writes the
# line record into the datafile named by tarno_l.inp, with jointc as partner.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
TARNO="$E2E_BUILD/tarno"
JOINTC="$E2E_BUILD/jointc"
PYTHON=/usr/bin/python3
[ -x "$TARNO" ] || e2e_fail "$TARNO is not built"
[ -x "$JOINTC" ] || e2e_fail "$JOINTC is not built"
[ -x "$PYTHON" ] || e2e_fail "$PYTHON is missing"
command -v gle >/dev/null 2>&1 || e2e_fail "gle is missing (scripts/install-deps.sh installs it)"
export TARNO_JOINTC_NAME="/tarno_jointc_e2e_session_$$"     # a block of this test only
trap 'rm -f "/dev/shm/${TARNO_JOINTC_NAME#/}"; e2e_cleanup' EXIT

# 4000 points about 0.04 MHz apart from 230000 MHz, the axis bent by up to
# 0.01 MHz (a quarter of a step: far over the tolerance of an even axis);
# nine frequency-modulation lines (second derivative of a Lorentzian) at
# 230015.972 + 16 k MHz, the first under the first view's cursor (point 400.3),
# on a sloping background for the baseline to take away.
STEP=0.04
F0=230000
LINE0=230015.972
SPACING=16
NLINES=9
SPECTRUM="$E2E_TMP/scan.txt"
awk -v f0=$F0 -v step=$STEP -v c0=$LINE0 -v sp=$SPACING -v nl=$NLINES 'BEGIN {
    print "e2e session spectrum"
    for (i = 1; i <= 4000; i++) {
        f = f0 + step * (i - 1) + 0.01 * sin(i / 37.0)
        v = 300 + 0.05 * i
        for (k = 0; k < nl; k++) { u = (f - c0 - sp * k) / (8 * step); v += 1000 * (1 - 3 * u * u) / (1 + u * u) ^ 3 }
        printf "%.5f %.3f\n", f, v
    } }' >"$SPECTRUM"

block() { "$JOINTC" get "$1"; }
wait_block() {
    local i
    for i in $(seq 1 $((E2E_TIMEOUT * 10))); do
        [ "$(block "$1")" = "$2" ] && return 0
        sleep 0.1
    done
    e2e_fail "block field $1 is '$(block "$1")', expected '$2'"
}
# Waits until block field $1 is within 0.01 of $2.
wait_near() {
    local i
    for i in $(seq 1 $((E2E_TIMEOUT * 10))); do
        awk -v v="$(block "$1")" -v w="$2" 'BEGIN { d = v - w; if (d < 0) d = -d; exit !(v != "" && d < 0.01) }' && return 0
        sleep 0.1
    done
    e2e_fail "block field $1 is '$(block "$1")', expected about $2"
}
# Pixels of colour $3 (RRGGBB) in the part $2 (WxH+X+Y) of screenshot $1, from the
# colour histogram (far cheaper than listing every pixel on a loaded machine).
count_in() {
    convert "$1" -crop "$2" +repage -depth 8 -format %c histogram:info:- |
        awk -v c="#$3" 'index(toupper($0), toupper(c) " ") { n += $1 } END { print n + 0 }'
}
# Pixels of colour $2 (RRGGBB) in the plot area of screenshot $1.
count_colour() { count_in "$1" "790x230+$((E2E_X + 5))+$((E2E_Y + 36))" "$2"; }
# Pixels of colour $2 in the whole window of screenshot $1.
count_window_colour() { count_in "$1" "800x480+$E2E_X+$E2E_Y" "$2"; }
# Takes screenshots into $1 until the plot area has more than $3 pixels of colour $2; fails with $4.
wait_colour() {
    local i
    for i in $(seq 1 $((E2E_TIMEOUT * 2))); do
        e2e_screenshot "$1"
        [ "$(count_colour "$1" "$2")" -gt "$3" ] && return 0
        sleep 0.5
    done
    e2e_fail "$4 (no more than $3 pixels of $2 in the plot of $1)"
}
# Waits until file $1 exists and is not empty; fails with $2.
wait_file() {
    local i
    for i in $(seq 1 $((E2E_TIMEOUT * 10))); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    e2e_fail "$2"
}
keep() { [ -n "${TARNO_SCREENSHOT_DIR:-}" ] && cp "$1" "$TARNO_SCREENSHOT_DIR/$2"; return 0; }
display_shown() { wait_colour "$E2E_TMP/display.png" 000080 100000 "$1"; }   # blue plot area
# Waits until the display has given way to a dialogue page (no blue plot area); fails with $1.
dialogue_shown() {
    local i
    for i in $(seq 1 $((E2E_TIMEOUT * 2))); do
        e2e_screenshot "$E2E_TMP/page.png"
        [ "$(count_colour "$E2E_TMP/page.png" 000080)" -lt 1000 ] && return 0
        sleep 0.5
    done
    e2e_fail "$1"
}

# Open the uneven text spectrum --------------------------------------------------------
e2e_start_xvfb
export XDG_CONFIG_HOME="$E2E_TMP/config"      # no configuration file: the default window
"$JOINTC" reset
cd "$E2E_TMP" || e2e_fail "no temp dir"       # typed names are relative to it
e2e_launch "$TARNO" "$SPECTRUM"
tarno_pid=$E2E_LAST_PID
e2e_wait_window TARNO
e2e_window_origin "$E2E_WINDOW"
sleep 1
e2e_type "$E2E_WINDOW" Return
# the report of the uneven axis heads the load screen in light red
for i in $(seq 1 $((E2E_TIMEOUT * 2))); do
    e2e_screenshot "$E2E_TMP/loaded.png"
    [ "$(count_window_colour "$E2E_TMP/loaded.png" FF0000)" -gt 200 ] && break
    sleep 0.5
done
[ "$(count_window_colour "$E2E_TMP/loaded.png" FF0000)" -gt 200 ] || e2e_fail "no report of the uneven frequency axis"
keep "$E2E_TMP/loaded.png" e2e_session_uneven_axis.png
e2e_type "$E2E_WINDOW" Return
wait_block spectrum_name scan.txt
display_shown "no display after loading"

# Zoom to the line under the cursor and measure it --------------------------------------
e2e_type "$E2E_WINDOW" E E E
sleep 1
e2e_type "$E2E_WINDOW" o
wait_colour "$E2E_TMP/measured.png" FF0000 50 "no fitted parabola after O on the zoomed view"
[ "$(count_colour "$E2E_TMP/measured.png" 00FFFF)" -gt 100 ] || e2e_fail "no measurement marks after O"
keep "$E2E_TMP/measured.png" e2e_session_measured.png

# Smooth over 5 points: back at the display, the plot has changed -------------------------
plot_sum() { convert "$1" -crop "790x230+$((E2E_X + 5))+$((E2E_Y + 36))" +repage -depth 8 rgb:- | md5sum; }
e2e_type "$E2E_WINDOW" n
dialogue_shown "no smoothing page after N"
sleep 1
e2e_type "$E2E_WINDOW" 5 Return
for i in $(seq 1 $((E2E_TIMEOUT * 2))); do
    display_shown "no display after smoothing"
    [ "$(plot_sum "$E2E_TMP/display.png")" != "$(plot_sum "$E2E_TMP/measured.png")" ] && break
    sleep 0.5
done
[ "$(plot_sum "$E2E_TMP/display.png")" != "$(plot_sum "$E2E_TMP/measured.png")" ] || e2e_fail "N left the plot as it was"

# Baseline over 201 points with the cutoff step ------------------------------------------
count_row1_colour() { count_in "$1" "790x18+$((E2E_X + 5))+$E2E_Y" "$2"; }
e2e_type "$E2E_WINDOW" b
dialogue_shown "no baseline page after B"
sleep 1
e2e_type "$E2E_WINDOW" minus 2 0 1 Return
for i in $(seq 1 $((E2E_TIMEOUT * 2))); do
    e2e_screenshot "$E2E_TMP/cutoff.png"
    [ "$(count_row1_colour "$E2E_TMP/cutoff.png" FF0000)" -gt 100 ] && break
    sleep 0.5
done
[ "$(count_row1_colour "$E2E_TMP/cutoff.png" FF0000)" -gt 100 ] || e2e_fail "no 'Upper cutoff =' row in light red"
[ "$(count_colour "$E2E_TMP/cutoff.png" C0C0C0)" -gt 100000 ] || e2e_fail "the cutoff step is not on the grey page"
[ "$(count_colour "$E2E_TMP/cutoff.png" C03FC0)" -gt 200 ] || e2e_fail "no cutoff line in the cutoff step"
keep "$E2E_TMP/cutoff.png" e2e_session_cutoff.png
e2e_type "$E2E_WINDOW" W Return Return
wait_colour "$E2E_TMP/baseline.png" FF0000 300 "no final baseline drawn"
keep "$E2E_TMP/baseline.png" e2e_session_baseline.png
e2e_type "$E2E_WINDOW" Return
display_shown "no display after the baseline"

# Peak finder over the whole spectrum: width -7, baseline level and cutoff as
# offered, range 1 with an error of 0.02 MHz, the list into peaks.txt -----------
e2e_type "$E2E_WINDOW" 0
sleep 0.5
e2e_type "$E2E_WINDOW" minus 7 Return
sleep 0.5
e2e_type "$E2E_WINDOW" Return
sleep 0.5
e2e_type "$E2E_WINDOW" Return
sleep 1
e2e_type "$E2E_WINDOW" 1 Return
sleep 0.5
e2e_type "$E2E_WINDOW" 0 period 0 2 Return      # the nominal measurement error
sleep 0.5
e2e_type "$E2E_WINDOW" p e a k s period t x t Return
PEAKS="$E2E_TMP/peaks.txt"
for i in $(seq 1 $((E2E_TIMEOUT * 10))); do grep -q "Total number of identified lines" "$PEAKS" 2>/dev/null && break; sleep 0.1; done
e2e_screenshot "$E2E_TMP/peaks.png"
grep -q "^ Total number of identified lines =        $NLINES$" "$PEAKS" ||
    e2e_fail "peaks.txt does not close with $NLINES lines: $(tail -n 2 "$PEAKS" 2>/dev/null)"
lines=$(awk 'substr($0, 45, 3) == "  |"' "$PEAKS")
[ "$(printf '%s\n' "$lines" | wc -l)" -eq "$NLINES" ] || e2e_fail "expected $NLINES lines in peaks.txt, got: $lines"
printf '%s\n' "$lines" | awk -v c0=$LINE0 -v sp=$SPACING '{ expect = c0 + sp * (NR - 1);
    if ($1 < expect - 0.01 || $1 > expect + 0.01) { print "line " NR " at " $1 ", expected " expect; exit 1 } }' ||
    e2e_fail "fitted centres off: $lines"
keep "$E2E_TMP/peaks.png" e2e_session_peaks.png
e2e_type "$E2E_WINDOW" Return
display_shown "no display after the peak finder"

# Save in binary (new range: no), leave the display, read the saved file back -----------
e2e_type "$E2E_WINDOW" m
sleep 1
e2e_type "$E2E_WINDOW" s a v e d period s p e Return
sleep 0.5
e2e_type "$E2E_WINDOW" 0 Return
sleep 0.5
e2e_type "$E2E_WINDOW" 0 Return
wait_file "$E2E_TMP/saved.spe" "the spectrum was not saved in saved.spe"
read_first=$(sed -n 2p "$SPECTRUM" | cut -d' ' -f1)
read_last=$(tail -n 1 "$SPECTRUM" | cut -d' ' -f1)
"$PYTHON" - "$E2E_TMP/saved.spe" $read_first $read_last $LINE0 $SPACING $NLINES <<'PY' || e2e_fail "saved.spe is not the processed spectrum"
import struct, sys
path, f0, fn, c0, spacing, nlines = sys.argv[1], *map(float, sys.argv[2:6]), int(sys.argv[6])
step = (fn - f0) / 3999
data = open(path, "rb").read()
count = struct.unpack_from("<h", data, 156)[0]
values = struct.unpack_from("<%dh" % count, data, 162)
first, last, st = struct.unpack_from("<3d", data, 162 + 2 * count)
problems = []
if count != 4000: problems.append("%d points" % count)
# the uneven axis was put on the even grid from the first to the last frequency read
if abs(first - f0) > 1e-6 or abs(st - step) > 1e-6 or abs(last - fn) > 1e-6:
    problems.append("grid %r..%r step %r" % (first, last, st))
# every line keeps its top where it was, far above the flattened background
for k in range(nlines):
    centre = round((c0 + spacing * k - f0) / step)
    window = range(centre - 40, centre + 41)
    top = max(window, key=lambda i: values[i])
    if abs(top - centre) > 1: problems.append("line %d tops at point %d, expected %d" % (k + 1, top + 1, centre + 1))
ends = [values[i] for i in (20, 200, 3800, 3980)]
if max(ends) - min(ends) > 0.05 * (max(values) - min(values)):
    problems.append("the background is not flat: %s" % ends)
for p in problems: print(p, file=sys.stderr)
sys.exit(1 if problems else 0)
PY
e2e_type "$E2E_WINDOW" Return           # the save screen's ENTER
sleep 1
e2e_type "$E2E_WINDOW" Return y         # leave the display
sleep 1
e2e_type "$E2E_WINDOW" 0 Return         # another spectrum
sleep 1
e2e_type "$E2E_WINDOW" s a v e d period s p e Return
sleep 2
e2e_type "$E2E_WINDOW" Return           # "Ready to plot"
wait_block spectrum_name saved.spe
display_shown "no display of the saved spectrum"
keep "$E2E_TMP/display.png" e2e_session_reloaded.png

# Append a second piece (binary, 2000 points from one step past the end, with
# one line at its point 1000) --------------------------------------------------------------
"$PYTHON" - "$E2E_TMP/saved.spe" "$E2E_TMP/second.spe" <<'PY' || e2e_fail "could not write the second piece"
import struct, sys
data = open(sys.argv[1], "rb").read()
count = struct.unpack_from("<h", data, 156)[0]
first, last, step = struct.unpack_from("<3d", data, 162 + 2 * count)
n = 2000
values = [int(3000 / (1 + ((i - 999) / 8.0) ** 2)) for i in range(n)]
start = last + step
body = struct.pack("<3h", n, min(values), max(values)) + struct.pack("<%dh" % n, *values)
open(sys.argv[2], "wb").write(data[:72].replace(data[:20], b"second piece".ljust(20)) + data[72:156] + body +
                              struct.pack("<3dh", start, start + (n - 1) * step, step, 0))
PY
e2e_type "$E2E_WINDOW" ampersand
sleep 1
e2e_type "$E2E_WINDOW" s e c o n d period s p e Return
sleep 1
e2e_type "$E2E_WINDOW" Return           # "Press ENTER to continue"
wait_colour "$E2E_TMP/adjust.png" C03FC0 300 "no appended part in the adjustment view"
keep "$E2E_TMP/adjust.png" e2e_session_append.png
e2e_type "$E2E_WINDOW" Return           # offset 0
wait_block spectrum_name second.spe
display_shown "no display after the append"
end=$(block spectrum_end)
awk -v e="$end" -v f="$(sed -n 2p "$SPECTRUM" | cut -d' ' -f1)" 'BEGIN { d = e - (f + 5999 * 0.04); if (d < 0) d = -d; exit !(d < 0.05) }' ||
    e2e_fail "the joined spectrum ends at $end"

# GLE output with the offered settings, rendered by gle ----------------------------------------
e2e_type "$E2E_WINDOW" g
sleep 1
e2e_type "$E2E_WINDOW" Return           # the settings as offered
for i in $(seq 1 $((E2E_TIMEOUT * 10))); do compgen -G "$E2E_TMP/*1.gle" >/dev/null && break; sleep 0.1; done
gle_file=$(compgen -G "$E2E_TMP/*1.gle" | head -n 1)
[ -n "$gle_file" ] || e2e_fail "no GLE file written"
sleep 1                                 # the data file is complete when "finished" shows
e2e_screenshot "$E2E_TMP/gle.png"
keep "$E2E_TMP/gle.png" e2e_session_gle.png
e2e_type "$E2E_WINDOW" Return           # "f i n i s h e d,   Press ENTER to continue"
display_shown "no display after the GLE output"
data_file=${gle_file%1.gle}.dat
[ -s "$data_file" ] || e2e_fail "no GLE data file $(basename "$data_file")"
(cd "$E2E_TMP" && gle -d pdf "$(basename "$gle_file")" >"$E2E_TMP/gle.out" 2>&1) || e2e_fail "gle failed: $(cat "$E2E_TMP/gle.out")"
grep -qi "error" "$E2E_TMP/gle.out" && e2e_fail "gle reported: $(cat "$E2E_TMP/gle.out")"
pdf=${gle_file%.gle}.pdf
[ -s "$pdf" ] && [ "$(head -c 4 "$pdf")" = "%PDF" ] || e2e_fail "gle wrote no PDF"

# Back to the start, a catalogue and a file of assigned lines with C, then T
# assigns the first line from the catalogue ------------------------------------------------------
# Catalogue records (F13.4, F8.4, F8.4, I2, F10.4, I3, I7, I4, 6I2, 6I2), and one assigned line.
cat_line() { printf '%13.4f%8.4f%8.4f%2d%10.4f%3d%7d%4d%-12s%-12s\n' "$1" 0.0150 "$2" 3 10.5 11 "$3" 1403 "$4" "$5"; }
{
    cat_line 230005.5000 -3.3000 303 " 3 0 3" " 2 0 2"
    cat_line 230015.9700 -3.1000 303 " 5 1 4" " 4 1 3"
    cat_line 230023.9600 -3.6000 -303 " 5 2 3" " 4 2 2"
    cat_line 230031.9700 -3.2000 303 " 6 0 6" " 5 0 5"
} >"$E2E_TMP/pred.cat"
ASSIGNED="$E2E_TMP/seen.lin"
printf '  3  0  3  2  0  2  0  0  0  0  0  0   230005.50000     0.02000   1.00000\n' >"$ASSIGNED"
e2e_type "$E2E_WINDOW" Home
sleep 1
e2e_type "$E2E_WINDOW" c p r e d period c a t Return
sleep 1
e2e_type "$E2E_WINDOW" c s e e n period l i n Return
wait_colour "$E2E_TMP/overlay.png" 00FF00 20 "no catalogue sticks after C"
[ "$(count_colour "$E2E_TMP/overlay.png" 808000)" -ge 8 ] || e2e_fail "no mark of the assigned line after C"
# PGDN puts the cursor on the next catalogue stick right of it: the first line
e2e_type "$E2E_WINDOW" s Next
wait_near cursor_freq 230015.97
e2e_type "$E2E_WINDOW" t
for i in $(seq 1 $((E2E_TIMEOUT * 10))); do [ "$(wc -l <"$ASSIGNED")" -ge 2 ] && break; sleep 0.1; done
[ "$(wc -l <"$ASSIGNED")" -eq 2 ] || e2e_fail "T did not append one record to seen.lin"
tail -n 1 "$ASSIGNED" | grep -q '^  5  1  4  4  1  3  0  0  0  0  0  0   230015\.9[0-9]\{4\}     0\.[0-9]\{5\}   1\.00000$' ||
    e2e_fail "T appended an unexpected record: $(tail -n 1 "$ASSIGNED")"
e2e_screenshot "$E2E_TMP/assigned.png"
keep "$E2E_TMP/assigned.png" e2e_session_assigned.png

# Linked operation: tarno_l.inp written beside the spectrum, ESC rereads it; the
# partner (jointc) puts the view and cursor on the first line and supplies the
# quantum numbers, F1 typed in the window appends the line record ----------------------------
DATAFILE="$E2E_TMP/lines.lin"
: >"$DATAFILE"
{
    echo "! linked operation, session test"
    printf '%-40s%s\n' "Datafile" "lines.lin"
    printf '%-40s%s\n' "Line uncertainty (MHz)" "0.015"
    printf '%-40s%s\n' "Tone frequency (Hz) and duration (ms)" "1200 40"
} >"$E2E_TMP/tarno_l.inp"
e2e_type "$E2E_WINDOW" Escape
for i in $(seq 1 $((E2E_TIMEOUT * 4))); do
    e2e_screenshot "$E2E_TMP/linked.png"
    [ "$(e2e_pixel "$E2E_TMP/linked.png" $((E2E_X + 792)) $((E2E_Y + 38)))" = "FF0000" ] && break
    sleep 0.25
done
e2e_expect_pixel "$E2E_TMP/linked.png" $((E2E_X + 792)) $((E2E_Y + 38)) FF0000 "linked mark after ESC"
"$JOINTC" view 230010 230022
"$JOINTC" cursor 230015.97
wait_near view_low 230010
wait_near cursor_freq 230015.97
"$JOINTC" quantum 5 1 4 4 1 3
e2e_type "$E2E_WINDOW" F1
for i in $(seq 1 $((E2E_TIMEOUT * 10))); do [ -s "$DATAFILE" ] && break; sleep 0.1; done
[ "$(wc -l <"$DATAFILE")" -eq 1 ] || e2e_fail "F1 did not append one record to lines.lin: $(cat "$DATAFILE")"
record=$(head -n 1 "$DATAFILE")
[ "${record:0:36}" = "  5  1  4  4  1  3  0  0  0  0  0  0" ] || e2e_fail "quantum numbers of '$record'"
awk -v f="${record:36:15}" -v c=$LINE0 'BEGIN { d = f - c; if (d < 0) d = -d; exit !(d < 0.01) }' ||
    e2e_fail "line frequency of '$record', expected $LINE0"
[ "${record:51}" = "     0.01500   1.00000" ] || e2e_fail "uncertainty and weight of '$record'"
keep "$E2E_TMP/linked.png" e2e_session_linked.png

# Leave: ENTER, Y, then -1 at the closing menu ---------------------------------------------
e2e_type "$E2E_WINDOW" Return y
sleep 1
e2e_type "$E2E_WINDOW" minus 1 Return
e2e_wait_exit "$tarno_pid" 10
[ "$E2E_STATUS" -eq 0 ] || e2e_fail "the program ended with status $E2E_STATUS"

echo "session e2e: ok"
