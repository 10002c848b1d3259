#!/usr/bin/env bash
# Makes the test prefix afresh: a new 64-bit Wine prefix with the library installed under its
# installed name, the simulated UPnP device finder registered, the http recorder registered,
# and a persistent wineserver so later processes start quickly.
set -euo pipefail
prefix=$1 library=$2 sim_dir=$3 work_dir=$4
. "$(dirname "$0")/prefix_server.sh"

wine=${KX_WINE64:-/usr/lib/wine/wine64}
wineserver=${KX_WINESERVER:-/usr/lib/wine/wineserver}
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all

"$wineserver" -k >/dev/null 2>&1 || true
rm -rf "$prefix" "$work_dir"
mkdir -p "$work_dir"

# Wine's output stays out of the test's unless a step fails: then it is all the test shows of why.
step_log=$work_dir/prefix-setup.log
quietly() {
    "$@" </dev/null >"$step_log" 2>&1 && return 0
    echo "prefix set-up failed: $*" >&2
    cat "$step_log" >&2
    exit 1
}

quietly "$wine" wineboot -i
quietly "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
# A program that crashes ends at once with its fault in the output: the debugger Wine would start
# instead waits on the display for a user, and the test for its timeout.
quietly "$wine" reg add 'HKCU\Software\Wine\DllOverrides' /v winedbg.exe /d '' /f

system32=$prefix/drive_c/windows/system32
cp "$library" "$system32/KXBL_VNTRTZ71_2_2_0.dll"
mkdir -p "$prefix/drive_c/kxsim"
cp "$sim_dir"/* "$prefix/drive_c/kxsim/"
# The stand-in MPR replaces the placeholder in system32 so that every process of the prefix
# (rundll32 included) finds it; Wine keeps using its builtin MPR unless a process sets
# WINEDLLOVERRIDES=mpr=n.
cp "$sim_dir/mpr.dll" "$system32/mpr.dll"

quietly "$wine" regsvr32 /s 'C:\kxsim\kxsim_upnp.dll'
quietly "$wine" reg add 'HKLM\Software\Classes\http\shell\open\command' /ve \
    /d '"C:\kxsim\launch_recorder.exe" "%1"' /f

"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w
start_prefix_server "$wineserver" "$work_dir"
# The first Windows process starts the prefix's background services, and the first to ask for the
# desktop window starts the desktop: they inherit its output, and CTest waits for a test's output to
# close. The keeper is both, in a session of its own with its output in a file, and holds them until
# the shut-down ends it (see prefix_keeper.cpp).
start_keeper() {
    local ready=$work_dir/prefix-keeper.ready log=$work_dir/prefix-keeper.log keeper
    setsid "$wine" 'C:\kxsim\prefix_keeper.exe' "Z:${ready//\//\\}" </dev/null >"$log" 2>&1 &
    keeper=$!
    for _ in $(seq 1200); do
        [ -e "$ready" ] && return 0
        kill -0 "$keeper" 2>/dev/null || break
        sleep 0.1
    done
    echo "prefix set-up failed: the keeper of the desktop did not start (its output follows)" >&2
    cat "$log" >&2
    exit 1
}
# Under emulation the ARM64 Wine did not hand the keeper the desktop window within two minutes (its
# desktop process had made it): there the first test to need the desktop starts it, as before.
if [ -n "${KX_WINE64:-}" ]; then
    quietly "$wine" reg query 'HKCU\Software\Wine'
else
    start_keeper
fi
server=$(prefix_server_pid "$prefix")
if [ -z "$server" ]; then
    echo "no wineserver is serving $prefix after the set-up" >&2
    exit 1
fi
echo "$server" >"$(server_pid_file "$work_dir")"
readlink "/proc/$server/cwd" >"$(server_file "$work_dir" dir)"
echo "prefix ready: $prefix (wineserver pid $server)"
