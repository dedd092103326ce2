#!/usr/bin/env bash
# The Python partner of the README, run as it stands there: the snippet between
# the "linked-partner-snippet" markers is cut out of README.md and run with
# /usr/bin/python3 against the real program in linked operation under Xvfb. It
# must move the view onto the line at 100100 MHz, have it measured and leave a
# line record with its quantum numbers in the datafile, so the guide cannot
# drift from what the program does.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
TARNO="$E2E_BUILD/tarno"
JOINTC="$E2E_BUILD/jointc"
README="$(cd "$(dirname "$0")/../.." && pwd)/README.md"
PYTHON=/usr/bin/python3
[ -x "$TARNO" ] || e2e_fail "$TARNO is not built"
[ -x "$JOINTC" ] || e2e_fail "$JOINTC is not built"
[ -x "$PYTHON" ] || e2e_fail "$PYTHON is missing"
export TARNO_JOINTC_NAME="/tarno_jointc_e2e_$$"     # a block of this test only
trap 'rm -f "/dev/shm/${TARNO_JOINTC_NAME#/}"; e2e_cleanup' EXIT

# The snippet: the python block between the markers, fences left out --------------
SNIPPET="$E2E_TMP/partner.py"
awk '/<!-- linked-partner-snippet: begin -->/ { inside = 1; next }
     /<!-- linked-partner-snippet: end -->/   { inside = 0 }
     inside && !/^```/' "$README" >"$SNIPPET"
grep -q "^measure(" "$SNIPPET" || e2e_fail "no snippet ending in a measure() call between the markers of $README"

# Spectrum with one line at 100100 MHz, partner input and datafile --------------------
SPECTRUM="$E2E_TMP/linked.txt"
awk 'BEGIN { print "e2e README partner spectrum"; for (i = 0; i < 4000; i++) { x = (i - 2000) / 6.0;
             printf "%.4f %.3f\n", 100000 + 0.05 * i, 5000 * exp(-x * x / 2) + 100 * sin(i / 50) } }' >"$SPECTRUM"
DATAFILE="$E2E_TMP/lines.lin"
: >"$DATAFILE"
{
    printf '%-40s%s\n' "Datafile" "lines.lin"
    printf '%-40s%s\n' "Line uncertainty (MHz)" "0.015"
    printf '%-40s%s\n' "Tone frequency (Hz) and duration (ms)" "1200 40"
} >"$E2E_TMP/tarno_l.inp"

e2e_start_xvfb
export XDG_CONFIG_HOME="$E2E_TMP/config"
"$JOINTC" reset
e2e_start_display "$TARNO" "$SPECTRUM"
for i in $(seq 1 100); do [ "$("$JOINTC" get spectrum_name)" = "linked.txt" ] && break; sleep 0.1; done
[ "$("$JOINTC" get spectrum_name)" = "linked.txt" ] || e2e_fail "the display did not publish the spectrum"
sleep 1

# Run the snippet: it returns once the program has taken the command ----------------
timeout 30 "$PYTHON" "$SNIPPET" >"$E2E_TMP/partner.out" 2>&1 ||
    e2e_fail "the README snippet failed or hung (status $?): $(cat "$E2E_TMP/partner.out")"
for i in $(seq 1 50); do [ -s "$DATAFILE" ] && break; sleep 0.1; done
[ "$(wc -l <"$DATAFILE" | tr -d ' ')" = 1 ] || e2e_fail "datafile after the snippet: '$(cat "$DATAFILE")'"
record=$(head -n 1 "$DATAFILE")
[ "${record:0:36}" = "  5  1  4  4  1  3  0  0  0  0  0  0" ] || e2e_fail "quantum numbers of '$record'"
freq=${record:36:15}
awk -v f="$freq" 'BEGIN { d = f - 100100; if (d < 0) d = -d; exit !(d < 0.01) }' || e2e_fail "line frequency $freq, expected 100100"
[ "${record:51}" = "     0.01500   1.00000" ] || e2e_fail "uncertainty and weight of '$record'"
# the snippet centred the view on the line, 20 MHz wide
awk -v a="$("$JOINTC" get view_low)" -v b="$("$JOINTC" get view_high)" \
    'BEGIN { exit !(a > 100089.9 && a < 100090.1 && b > 100109.9 && b < 100110.1) }' ||
    e2e_fail "view $("$JOINTC" get view_low)..$("$JOINTC" get view_high) after the snippet, expected 100090..100110"

# Leave: ENTER, Y, then -1 at the closing menu -----------------------------------------
e2e_type "$E2E_WINDOW" Return y
sleep 1
e2e_type "$E2E_WINDOW" minus 1 Return
e2e_wait_exit "$tarno_pid" 10
echo "README snippet e2e: ok"
