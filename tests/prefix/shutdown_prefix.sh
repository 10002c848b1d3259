#!/usr/bin/env bash
# Ends every process of the test prefix and its wineserver. Fails when the wineserver that the
# set-up started had ended before this point: every test that needed it after that is void. The
# marker it then leaves says how the server ended, for scripts/test.sh to report.
prefix=$1 work_dir=$2
. "$(dirname "$0")/prefix_server.sh"
status=0
if recorded_server_gone "$work_dir"; then
    echo "the wineserver of $prefix (pid $(recorded_server "$work_dir")) ended during the run;" \
        "the tests that hung or failed after it say nothing about the library"
    report_server_end "$work_dir"
    server_end_summary "$work_dir" >"$(server_ended_marker "$work_dir")"
    status=1
fi
WINEPREFIX=$prefix "${KX_WINESERVER:-/usr/lib/wine/wineserver}" -k >/dev/null 2>&1 || true
# What the server can no longer end (it is gone, or under emulation a client outlived it and
# waits on it for ever) is ended here.
end_prefix_processes "$prefix"
exit $status
