#!/usr/bin/env bash
# Runs one test program in the test prefix (the arguments are the command). Should the prefix's
# wineserver end while the program runs or before it starts, the program is ended at once and
# the run fails with the reason and what the server left: a program whose server is gone would
# wait for its replies until CTest's timeout, and so would every program started after it.
. "$(dirname "$0")/prefix_server.sh"
work_dir=${KX_WORK_DIR:-}

server_gone() { recorded_server_gone "$work_dir"; }
report_gone() {
    {
        echo "the wineserver of the test prefix (pid $(recorded_server "$work_dir")) has ended: $*"
        report_server_end "$work_dir"
    } >&2
}

if server_gone; then
    report_gone "not started"
    exit 1
fi
"$@" &
program=$!
while kill -0 "$program" 2>/dev/null; do
    if server_gone; then
        kill -KILL "$program" 2>/dev/null
        wait "$program" 2>/dev/null
        report_gone "the program was ended"
        exit 1
    fi
    sleep 0.2
done
# A program that dies before it flushes its output leaves nothing else to go by. Wine hands on the
# low byte of the Windows exit code (5 for an access violation, 0xC0000005).
status=0
wait "$program" || status=$?
[ "$status" -eq 0 ] || echo "run_in_prefix: the program ended with status $status" >&2
exit "$status"
