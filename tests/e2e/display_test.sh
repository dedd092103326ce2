#!/usr/bin/env bash
# The display in the real window under Xvfb: a spectrum is loaded, zoomed and
# scrolled with keys typed by xdotool; the screenshot shows the frame box, the
# cursor (yellow XOR over the blue plot) and the grey status rows; jointc
# reads the view limits back from the exchange block, and moves the cursor
# from outside so that the next cursor key follows it.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
TARNO="$E2E_BUILD/tarno"
JOINTC="$E2E_BUILD/jointc"
DEMO="$E2E_BUILD/tarno-demo"
[ -x "$TARNO" ] || e2e_fail "$TARNO is not built"
[ -x "$JOINTC" ] || e2e_fail "$JOINTC is not built"

# The spectrum: the demo recording, or a two-column text spectrum ------------------
if [ -x "$DEMO" ]; then
    SPECTRUM="$E2E_TMP/demo.spe"
    "$DEMO" 200000 "$SPECTRUM" >"$E2E_TMP/demo.out" 2>&1 || e2e_fail "tarno-demo failed: $(cat "$E2E_TMP/demo.out")"
else
    SPECTRUM="$E2E_TMP/demo.txt"
    awk 'BEGIN { print "e2e display spectrum"; for (i = 0; i < 20000; i++) { f = 100000 + 0.1 * i; v = 100 * sin(i / 300);
                 if (i % 997 == 0) v += 5000; printf "%.4f %.2f\n", f, v } }' >"$SPECTRUM"
fi
NAME=$(basename "$SPECTRUM")

# jointc reads a field of the block; waits (up to 10 s) until field $1 reads $2
block() { "$JOINTC" get "$1"; }
wait_block() {
    local i
    for i in $(seq 1 100); do
        [ "$(block "$1")" = "$2" ] && return 0
        sleep 0.1
    done
    e2e_fail "block field $1 is '$(block "$1")', expected '$2'"
}
# waits until the view limits in the block change from "$1"
wait_view_change() {
    local i
    for i in $(seq 1 100); do
        [ "$(block view_low) $(block view_high)" != "$1" ] && return 0
        sleep 0.1
    done
    e2e_fail "view limits stayed at $1"
}
# true when awk finds |$1 - $2| <= $3
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= t) }'; }

# Start: file argument, ENTER at the prompt, ENTER at "Ready to plot" -------------
e2e_start_xvfb
export XDG_CONFIG_HOME="$E2E_TMP/config"      # no configuration file: the default window
export TARNO_JOINTC_NAME="/tarno_jointc_e2e_$$"      # a block of this test only
trap 'rm -f "/dev/shm${TARNO_JOINTC_NAME}"; e2e_cleanup' EXIT
"$JOINTC" reset
e2e_start_display "$TARNO" "$SPECTRUM"
wait_block spectrum_name "$NAME"
start=$(block spectrum_start)
[ "$(block view_low)" = "$start" ] || e2e_fail "first view starts at $(block view_low), not at the spectrum start $start"

# Zoom in twice, scroll right: the block follows each frame ---------------------------
view0="$(block view_low) $(block view_high)"
read -r low0 high0 <<<"$view0"
for key in E E s; do            # one at a time: each must reach a frame of its own
    before="$(block view_low) $(block view_high)"
    e2e_type "$E2E_WINDOW" "$key"
    wait_view_change "$before"
done
sleep 1
low=$(block view_low); high=$(block view_high); cursor=$(block cursor_freq)
width0=$(awk -v a="$low0" -v b="$high0" 'BEGIN { print b - a }')
width=$(awk -v a="$low" -v b="$high" 'BEGIN { print b - a }')
near "$width" "$(awk -v w="$width0" 'BEGIN { print w / 4 }')" "$(awk -v w="$width0" 'BEGIN { print w / 100 }')" ||
    e2e_fail "two zooms: width $width, expected a quarter of $width0"
near "$cursor" "$(awk -v a="$low" -v b="$high" 'BEGIN { print (a + b) / 2 }')" "$(awk -v w="$width" 'BEGIN { print w / 50 }')" ||
    e2e_fail "cursor $cursor is not in the middle of $low..$high"

# The screenshot: box, cursor, status rows -------------------------------------------
e2e_screenshot "$E2E_TMP/display.png"
e2e_window_origin "$E2E_WINDOW"
shot="$E2E_TMP/display.png"
# 800 x 306 window, 17 rows of 18 pixels; plot viewport x 2..797, y 34..269
x() { echo $((E2E_X + $1)); }
y() { echo $((E2E_Y + $1)); }
e2e_expect_pixel "$shot" "$(x 400)" "$(y 5)" C0C0C0 "status row 1 background"
e2e_expect_pixel "$shot" "$(x 2)" "$(y 150)" FFFFFF "left side of the frame box"
e2e_expect_pixel "$shot" "$(x 797)" "$(y 150)" FFFFFF "right side of the frame box"
# cursor column: every plot pixel there is XORed with yellow (blue -> FFFF80, white -> 0000FF)
cursor_x=$(awk -v c="$cursor" -v a="$low" -v b="$high" 'BEGIN { printf "%d", 2 + int((c - a) * 795 / (b - a) + 0.5) }')
column=$(convert "$shot" -crop "1x200+$(x "$cursor_x")+$(y 50)" +repage -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}' | sort | uniq -c)
echo "$column" | grep -q FFFF80 || e2e_fail "no yellow-over-blue cursor pixel in column $cursor_x: $column"
echo "$column" | grep -q '#000080' && e2e_fail "plain blue left in the cursor column $cursor_x: $column"
dark=$(convert "$shot" -crop "100x17+$(x 0)+$(y 0)" +repage -depth 8 txt:- | grep -c '#000000')
[ "$dark" -gt 20 ] || e2e_fail "no text in status row 1"

# Another program moves the cursor: the next K adopts it, the one after moves --------
target=$(awk -v a="$low" -v b="$high" 'BEGIN { printf "%.6f", a + (b - a) / 3 }')
"$JOINTC" cursor "$target"
e2e_type "$E2E_WINDOW" k
sleep 1
near "$(block cursor_freq)" "$target" 1e-9 || e2e_fail "cursor $(block cursor_freq) did not follow the block to $target"

# Another program sets the view: the next cursor key adopts it --------------------------
vlow=$(awk -v a="$low" -v b="$high" 'BEGIN { printf "%.6f", a + (b - a) }')
vhigh=$(awk -v a="$low" -v b="$high" 'BEGIN { printf "%.6f", b + (b - a) }')
"$JOINTC" view "$vlow" "$vhigh"
e2e_type "$E2E_WINDOW" l
sleep 1
near "$(block view_low)" "$vlow" "$(awk -v w="$width" 'BEGIN { print w / 100 }')" ||
    e2e_fail "view $(block view_low) did not follow the block to $vlow"

# Leave: ENTER, Y, then -1 at the closing menu -----------------------------------------
e2e_type "$E2E_WINDOW" Return y
sleep 1
e2e_type "$E2E_WINDOW" minus 1 Return
e2e_wait_exit "$tarno_pid" 10

# The user guide's first view, kept when TARNO_SCREENSHOT_DIR names a directory:
# the demo spectrum as scripts/demo.sh writes it, its name typed at the prompt
# in its own directory so that the bottom row shows it as a user sees it.
if [ -n "${TARNO_SCREENSHOT_DIR:-}" ]; then
    GUIDE_DEMO_POINTS=2000000
    mkdir -p "$E2E_TMP/guide"
    "$DEMO" "$GUIDE_DEMO_POINTS" "$E2E_TMP/guide/demo.spe" >"$E2E_TMP/demo.out" 2>&1 ||
        e2e_fail "tarno-demo failed: $(cat "$E2E_TMP/demo.out")"
    "$JOINTC" reset
    e2e_start_display_typed "$TARNO" "$E2E_TMP/guide" demo.spe
    wait_block spectrum_name demo.spe
    sleep 1
    e2e_screenshot "$E2E_TMP/first.png"
    e2e_window_origin "$E2E_WINDOW"
    convert "$E2E_TMP/first.png" -crop "800x306+$E2E_X+$E2E_Y" +repage "$TARNO_SCREENSHOT_DIR/e2e_first_display.png"
    e2e_type "$E2E_WINDOW" Return y
    sleep 1
    e2e_type "$E2E_WINDOW" minus 1 Return
    e2e_wait_exit "$tarno_pid" 10
fi
echo "display e2e: ok"
