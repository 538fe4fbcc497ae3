#!/usr/bin/env bash
# Runs a command against the private JACK server of jack_fixture.sh:
#   with_jack.sh STATE_DIR COMMAND [ARG...]
# The command sees JACK_DEFAULT_SERVER and TQV_SIM_CONTROL (the simulated
# unit's control socket).
state=${1:?state directory}
shift
if [ ! -f "$state/server" ]; then
    echo "no JACK server for the tests (run the fixture first)"; exit 1
fi
export JACK_DEFAULT_SERVER=$(cat "$state/server")
export TQV_SIM_CONTROL=$state/ctl.sock
export TQV_SIM_STATE=$state
exec "$@"
