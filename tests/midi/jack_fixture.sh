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

# Two JACK servers on one machine disturb each other's clients: with another
# run's server beside it, messages to the simulated unit arrived a period
# early or late and whole templates were lost. So a server of these tests
# runs alone, machine-wide: the lock is held from start to stop by a small
# process, which also lets go when the server dies (or never came up) so that
# a run killed half way does not hold up the next.
server_lock=${TMPDIR:-/tmp}/tqv-jack-server.lock
holder='touch "$1/lock.held"
while [ -e "$1/lock.held" ]; do
    if [ -f "$1/jackd.pid" ]; then kill -0 "$(cat "$1/jackd.pid")" || break
    else kill -0 "$2" || break; fi
    sleep 0.5
done 2> /dev/null'

hold_server_lock() {  # hold_server_lock STARTER_PID
    local ready=$state/lock.held
    setsid flock -w 900 "$server_lock" sh -c "$holder" sh "$state" "$1" < /dev/null > /dev/null 2>&1 &
    echo $! > "$state/lock.pid"
    local waited=0
    until [ -f "$ready" ]; do
        if ! kill -0 "$(cat "$state/lock.pid")" 2> /dev/null; then
            echo "another JACK test server kept running for 15 minutes (lock $server_lock)"; return 1
        fi
        [ $((waited % 100)) -eq 50 ] && echo "waiting for another run's JACK test server to stop..."
        sleep 0.1; waited=$((waited + 1))
    done
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
    hold_server_lock $$ || exit 1
    # Synchronous mode: each cycle waits for every client. In the default
    # mode a client that a busy machine holds up past its cycle has its
    # output read a period late, or read again: the unit then saw one
    # template twice, or a pause a period short.
    setsid jackd -S -r -d dummy -r 48000 -p 1024 > "$state/jackd.log" 2>&1 < /dev/null &
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
    rm -f "$state/lock.held"  # the holder lets the lock go
    ;;
*)
    echo "usage: $0 start|stop STATE_DIR [SIM_BINARY]"; exit 2 ;;
esac
