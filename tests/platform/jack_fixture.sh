#!/bin/sh
# Starts and stops the JACK server that the MIDI tests play into: the dummy driver, so no
# sound card is needed. Used as a ctest fixture:
#   jack_fixture.sh start STATE_DIR   (FIXTURES_SETUP)
#   jack_fixture.sh stop STATE_DIR    (FIXTURES_CLEANUP)
# The server is named corvane-test, or CORVANE_JACK_SERVER when that is set; it runs
# synchronous unless CORVANE_JACK_ASYNC=1.
# Without jackd it does nothing and the tests skip themselves. A server of the same name
# that is already running is used as it is and left running.
set -u
action=$1
state=$2
server=${CORVANE_JACK_SERVER:-corvane-test}
export JACK_NO_AUDIO_RESERVATION=1 JACK_NO_START_SERVER=1 JACK_DEFAULT_SERVER=$server
pid_file=$state/jackd.pid
log_file=$state/jackd.log

server_running() {
    jack_wait -s "$server" -c 2>/dev/null | grep -q '^running'
}

start() {
    if ! command -v jackd >/dev/null 2>&1; then
        echo "jackd is not installed: the JACK MIDI tests will be skipped"
        return 0
    fi
    mkdir -p "$state"
    rm -f "$pid_file"
    if server_running; then
        echo "a JACK server named $server is already running: using it"
        return 0
    fi
    # Its output goes to a file so that ctest does not wait for the server to end.
    # Synchronous (-S): each cycle's clients all finish before the next cycle starts. In the
    # default asynchronous mode a client held up past a cycle (a loaded machine, a sanitizer)
    # overruns it, and MIDI crossing from client to client in that cycle is lost or doubled.
    # CORVANE_JACK_ASYNC=1 starts it asynchronous, to see that happen.
    mode=-S
    [ "${CORVANE_JACK_ASYNC:-0}" = 1 ] && mode=
    jackd -n "$server" $mode -d dummy -r 48000 -p 256 </dev/null >"$log_file" 2>&1 &
    echo $! >"$pid_file"
    if jack_wait -s "$server" -w -t 10 >/dev/null 2>&1; then
        echo "JACK server $server started (process $(cat "$pid_file"))"
        return 0
    fi
    echo "the JACK server $server did not start; its log:"
    cat "$log_file"
    stop
    return 1
}

stop() {
    [ -f "$pid_file" ] || return 0
    pid=$(cat "$pid_file")
    rm -f "$pid_file"
    kill "$pid" 2>/dev/null || return 0
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.2
    done
    kill -9 "$pid" 2>/dev/null
    return 0
}

case $action in
    start) start ;;
    stop) stop ;;
    *) echo "usage: $0 start|stop STATE_DIR" >&2; exit 2 ;;
esac
