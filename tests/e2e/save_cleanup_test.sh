#!/usr/bin/env bash
# Temporary files of the save dialogue in the real program. The output's
# temporary file exists from the moment the file is opened, while the dialogue
# still asks for the range: a SIGTERM then removes it (and still ends the
# program), and one left by a killed program (SIGKILL) is removed by the next
# save into that directory.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
TARNO="$E2E_BUILD/tarno"
JOINTC="$E2E_BUILD/jointc"
DEMO="$E2E_BUILD/tarno-demo"
for program in "$TARNO" "$JOINTC" "$DEMO"; do [ -x "$program" ] || e2e_fail "$program is not built"; done

DATA="$E2E_TMP/data"
mkdir -p "$DATA"
SPECTRUM="$DATA/demo.spe"
"$DEMO" 20000 "$SPECTRUM" >"$E2E_TMP/demo.out" 2>&1 || e2e_fail "tarno-demo failed: $(cat "$E2E_TMP/demo.out")"

# Temporary files of ours in the data directory (".name.tmp-<pid>-<n>"), one a line.
temporaries() { ls -A "$DATA" | grep -E '^\..+\.tmp-[0-9]+-[0-9]+$' || true; }

# Waits until a temporary file for output name $1 exists.
wait_temporary() {
    local i
    for i in $(seq 1 $((E2E_TIMEOUT * 10))); do
        temporaries | grep -q "^\.$1\.tmp-" && return 0
        sleep 0.1
    done
    e2e_fail "no temporary file for '$1' appeared in $DATA: $(ls -A "$DATA" | tr '\n' ' ')"
}

# Waits (up to 10 s) until field $1 of the exchange block reads $2.
wait_block() {
    local i
    for i in $(seq 1 100); do
        [ "$("$JOINTC" get "$1")" = "$2" ] && return 0
        sleep 0.1
    done
    e2e_fail "block field $1 is '$("$JOINTC" get "$1")', expected '$2'"
}

# Starts the program on the spectrum and saves under the name typed as the
# key names $@, binary, up to the range question; sets tarno_pid.
start_binary_save() {
    "$JOINTC" reset
    e2e_start_display "$TARNO" "$SPECTRUM"
    wait_block spectrum_name demo.spe
    e2e_type "$E2E_WINDOW" m
    sleep 1
    e2e_type "$E2E_WINDOW" "$@" Return 0 Return
}

e2e_start_xvfb
export XDG_CONFIG_HOME="$E2E_TMP/config"             # no configuration file: the default window
export TARNO_JOINTC_NAME="/tarno_jointc_e2e_save_$$"  # a block of this test only
trap 'rm -f "/dev/shm${TARNO_JOINTC_NAME}"; e2e_cleanup' EXIT

# SIGTERM while the save dialogue holds its temporary file -------------------------
start_binary_save o u t
wait_temporary out
kill -TERM "$tarno_pid"
e2e_wait_exit "$tarno_pid" 10
[ "$E2E_STATUS" = 143 ] || e2e_fail "SIGTERM: exit status $E2E_STATUS, expected 143 (ended by the signal)"
[ -z "$(temporaries)" ] || e2e_fail "SIGTERM left $(temporaries)"
[ ! -e "$DATA/out" ] || e2e_fail "SIGTERM: a half save appeared as $DATA/out"

# SIGKILL leaves it; the next save into the directory removes it -------------------
start_binary_save o u t
wait_temporary out
kill -KILL "$tarno_pid"
e2e_wait_exit "$tarno_pid" 10
stale=$(temporaries)
[ -n "$stale" ] || e2e_fail "SIGKILL: expected the temporary file to stay behind"

start_binary_save n e w
wait_temporary new
temporaries | grep -q "^\.out\.tmp-" && e2e_fail "the next save kept the stale $stale"
e2e_type "$E2E_WINDOW" 0 Return       # New range: no
sleep 1
e2e_type "$E2E_WINDOW" Return         # Press ENTER to continue
for i in $(seq 1 $((E2E_TIMEOUT * 10))); do [ -s "$DATA/new" ] && break; sleep 0.1; done
[ -s "$DATA/new" ] || e2e_fail "the save after the killed one did not write $DATA/new"
[ -z "$(temporaries)" ] || e2e_fail "a finished save left $(temporaries)"
echo "ok"
