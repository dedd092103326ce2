#!/usr/bin/env bash
# Key & in the real window under Xvfb: a binary spectrum is split into two
# halves, the first is loaded, the second appended to it by name; the
# adjustment view must show the current part in blue and the appended part in
# exclusive-or light green, w then z must move the appended part and put it
# back pixel for pixel; after ENTER the joined spectrum is saved with key m
# and must give back the whole spectrum (grid and intensities, the latter
# within the interpolation's truncation), with the comment " Merged spectrum".
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
TARNO="$E2E_BUILD/tarno"
JOINTC="$E2E_BUILD/jointc"
PYTHON=/usr/bin/python3
[ -x "$TARNO" ] || e2e_fail "$TARNO is not built"
[ -x "$JOINTC" ] || e2e_fail "$JOINTC is not built"
[ -x "$PYTHON" ] || e2e_fail "$PYTHON is missing"

# The spectrum and its two halves (binary files, short form) -----------------------
"$PYTHON" - "$E2E_TMP" <<'EOF' || e2e_fail "could not write the spectra"
import math, struct, sys
folder = sys.argv[1]
n, half, f0, step = 6000, 3000, 240000.0, 0.04
values = [int(1500 * math.sin(i / 97.0) + (6000 if i % 700 < 4 else 0) + (i * 7919) % 41 - 20) for i in range(n)]
def write(name, comment, part, first):
    header = comment.ljust(72).encode() + struct.pack("<6h", 15, 6, 2005, 12, 30, 45) + b"BWO 7 "
    header += struct.pack("<3f", 120, 480, 32.5) + b"OCS".ljust(20) + struct.pack("<4f", 15, 0.05, 0.01, 90)
    header += b"2,4   " + struct.pack("<3f", 100, 18, 300)
    assert len(header) == 156
    last = first + (len(part) - 1) * step
    body = struct.pack("<3h", len(part), min(part), max(part)) + struct.pack("<%dh" % len(part), *part)
    open(folder + "/" + name, "wb").write(header + body + struct.pack("<3dh", first, last, step, 0))
write("whole.spe", "whole", values, f0)
write("first.spe", "first half", values[:half], f0)
write("second.spe", "second half", values[half:], f0 + half * step)
EOF

block() { "$JOINTC" get "$1"; }
wait_block() {
    local i
    for i in $(seq 1 $((E2E_TIMEOUT * 10))); do
        [ "$(block "$1")" = "$2" ] && return 0
        sleep 0.1
    done
    e2e_fail "block field $1 is '$(block "$1")', expected '$2'"
}
# Pixels of colour $2 (RRGGBB) in the plot area of screenshot $1, x from $3 to $4 (window pixels).
count_colour() {
    convert "$1" -crop "$(($4 - $3))x230+$((E2E_X + $3))+$((E2E_Y + 36))" +repage -depth 8 txt:- | grep -ci "#$2"
}

# Start on the first half -----------------------------------------------------------
e2e_start_xvfb
export XDG_CONFIG_HOME="$E2E_TMP/config"      # no configuration file: the default window
export TARNO_JOINTC_NAME="/tarno_jointc_e2e_$$"
trap 'rm -f "/dev/shm${TARNO_JOINTC_NAME}"; e2e_cleanup' EXIT
"$JOINTC" reset
e2e_start_display "$TARNO" "$E2E_TMP/first.spe"
wait_block spectrum_name first.spe
e2e_window_origin "$E2E_WINDOW"

# Append the second half by its name alone --------------------------------------------
e2e_type "$E2E_WINDOW" ampersand
sleep 1
e2e_type "$E2E_WINDOW" s e c o n d period s p e Return
sleep 1
e2e_type "$E2E_WINDOW" Return           # "Press ENTER to continue"
sleep 1
e2e_screenshot "$E2E_TMP/adjust.png"
[ -n "${TARNO_SCREENSHOT_DIR:-}" ] && cp "$E2E_TMP/adjust.png" "$TARNO_SCREENSHOT_DIR/e2e_append_adjustment.png"
# junction in the middle of the 800-pixel plot: blue left of it, grey ^ light green right
[ "$(count_colour "$E2E_TMP/adjust.png" 000080 10 395)" -gt 300 ] || e2e_fail "no current part in blue left of the junction"
[ "$(count_colour "$E2E_TMP/adjust.png" 000080 405 790)" -eq 0 ] || e2e_fail "blue right of the junction"
[ "$(count_colour "$E2E_TMP/adjust.png" C03FC0 405 790)" -gt 300 ] || e2e_fail "no appended part in XOR light green"
[ "$(count_colour "$E2E_TMP/adjust.png" C03FC0 10 395)" -eq 0 ] || e2e_fail "appended colour left of the junction"

# w moves the appended part up one pixel; z brings it back to offset 0, pixel for pixel
e2e_type "$E2E_WINDOW" w
sleep 1
e2e_screenshot "$E2E_TMP/moved.png"
e2e_type "$E2E_WINDOW" z
sleep 1
e2e_screenshot "$E2E_TMP/back.png"
crop() { convert "$1" -crop "796x236+$((E2E_X + 2))+$((E2E_Y + 34))" +repage -depth 8 rgb:- | md5sum; }
[ "$(crop "$E2E_TMP/moved.png")" != "$(crop "$E2E_TMP/adjust.png")" ] || e2e_fail "w did not move the appended part"
[ "$(crop "$E2E_TMP/back.png")" = "$(crop "$E2E_TMP/adjust.png")" ] || e2e_fail "z did not restore the view exactly"

e2e_type "$E2E_WINDOW" Return           # offset 0
wait_block spectrum_name second.spe

# Save the joined spectrum (binary, range kept), then leave ---------------------------
e2e_type "$E2E_WINDOW" m
sleep 1
e2e_type "$E2E_WINDOW" j o i n e d period s p e Return
sleep 0.5
e2e_type "$E2E_WINDOW" 0 Return
sleep 0.5
e2e_type "$E2E_WINDOW" 0 Return
sleep 1
e2e_type "$E2E_WINDOW" Return
sleep 1
e2e_type "$E2E_WINDOW" Return y
sleep 1
e2e_type "$E2E_WINDOW" minus 1 Return
e2e_wait_exit "$tarno_pid" 10
[ -f "$E2E_TMP/joined.spe" ] || e2e_fail "the joined spectrum was not saved"

# The joined spectrum is the whole one ---------------------------------------------------
"$PYTHON" - "$E2E_TMP/whole.spe" "$E2E_TMP/joined.spe" <<'EOF' || e2e_fail "the joined spectrum differs from the whole one"
import struct, sys
def read(path):
    data = open(path, "rb").read()
    count = struct.unpack_from("<h", data, 156)[0]
    if count == -1:
        count = struct.unpack_from("<i", data, 158)[0]
    values = struct.unpack_from("<%dh" % count, data, 162)
    first, last, step = struct.unpack_from("<3d", data, 162 + 2 * count)
    return data[:72].decode().rstrip(), values, first, last, step
_, whole, w_first, w_last, w_step = read(sys.argv[1])
comment, joined, j_first, j_last, j_step = read(sys.argv[2])
problems = []
if comment != " Merged spectrum": problems.append("comment %r" % comment)
if len(joined) != len(whole): problems.append("%d points, expected %d" % (len(joined), len(whole)))
if j_first != w_first or j_step != w_step: problems.append("grid starts %r step %r" % (j_first, j_step))
if abs(j_last - w_last) > 1e-6: problems.append("last frequency %r, expected %r" % (j_last, w_last))
# the writer stores intensity - mid: one constant apart, the first half exactly
shift = whole[0] - joined[0]
half = len(whole) // 2
bad = [i for i in range(min(len(whole), len(joined)))
       if abs(whole[i] - joined[i] - shift) > (0 if i < half else 1)]
if bad: problems.append("%d intensities differ, first at point %d: %d vs %d" % (len(bad), bad[0] + 1, whole[bad[0]], joined[bad[0]] + shift))
for p in problems: print(p, file=sys.stderr)
sys.exit(1 if problems else 0)
EOF
echo "append e2e: ok"
