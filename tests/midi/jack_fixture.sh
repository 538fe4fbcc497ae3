#!/usr/bin/env bash
# Starts or stops a private JACK server (dummy driver, no sound card needed)
# with the simulated unit on it, for the MIDI tests.
#   jack_fixture.sh start STATE_DIR SIM_BINARY
#   jack_fixture.sh stop STATE_DIR
# The server gets a name of its own (JACK_DEFAULT_SERVER), written to
# STATE_DIR/server, so that the tests never touch another JACK server.
set -u
action=${1:?start or stop}
state=${2:?state directory}

stop_pid() {
    local file=$1 pid
    [ -f "$file" ] || return 0
    pid=$(cat "$file")
    kill "$pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
    rm -f "$file"
}

case $action in
start)
    sim=${3:?simulator binary}
    "$0" stop "$state"
    rm -rf "$state"
    mkdir -p "$state"
    name="tqv-test-$$-$RANDOM"
    echo "$name" > "$state/server"
    export JACK_DEFAULT_SERVER=$name
    setsid jackd -r -d dummy -r 48000 -p 1024 > "$state/jackd.log" 2>&1 < /dev/null &
    echo $! > "$state/jackd.pid"
    # JACK names a client's socket after the client alone (/dev/shm/jack_NAME_UID_0),
    # not after its server: two clients of one name opening at the same moment on
    # two servers (this run's MIDI and bulk fixtures, or another run's) unlink
    # each other's socket, and one fails to open. The clients opened here
    # (jack_lsp, the simulated unit) open one at a time, machine-wide.
    exec 9> "${TMPDIR:-/tmp}/tqv-jack-client-open.lock"
    flock -w 60 9
    for _ in $(seq 100); do jack_lsp > /dev/null 2>&1 && break; sleep 0.1; done
    if ! jack_lsp > /dev/null 2>&1; then
        echo "the JACK server did not start:"; cat "$state/jackd.log"; exit 1
    fi
    setsid "$sim" run --dir "$state/unit" --control "$state/ctl.sock" --log "$state/sim.log" \
        > "$state/sim.out" 2>&1 < /dev/null 9>&- &
    echo $! > "$state/sim.pid"
    for _ in $(seq 100); do "$sim" ctl "$state/ctl.sock" status > /dev/null 2>&1 && break; sleep 0.1; done
    exec 9>&-
    "$sim" ctl "$state/ctl.sock" status || {
        echo "the simulated unit did not start:"; cat "$state/sim.out" "$state/jackd.log"; exit 1
    }
    ;;
stop)
    stop_pid "$state/sim.pid"
    stop_pid "$state/jackd.pid"
    ;;
*)
    echo "usage: $0 start|stop STATE_DIR [SIM_BINARY]"; exit 2 ;;
esac
