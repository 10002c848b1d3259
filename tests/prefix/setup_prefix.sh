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

"$wine" wineboot -i >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# A program that crashes ends at once with its fault in the output: the debugger Wine would start
# instead waits on the display for a user, and the test for its timeout.
"$wine" reg add 'HKCU\Software\Wine\DllOverrides' /v winedbg.exe /d '' /f >/dev/null 2>&1

system32=$prefix/drive_c/windows/system32
cp "$library" "$system32/KXBL_VNTRTZ71_2_2_0.dll"
mkdir -p "$prefix/drive_c/kxsim"
cp "$sim_dir"/* "$prefix/drive_c/kxsim/"
# The stand-in MPR replaces the placeholder in system32 so that every process of the prefix
# (rundll32 included) finds it; Wine keeps using its builtin MPR unless a process sets
# WINEDLLOVERRIDES=mpr=n.
cp "$sim_dir/mpr.dll" "$system32/mpr.dll"

"$wine" regsvr32 /s 'C:\kxsim\kxsim_upnp.dll' >/dev/null 2>&1
"$wine" reg add 'HKLM\Software\Classes\http\shell\open\command' /ve \
    /d '"C:\kxsim\launch_recorder.exe" "%1"' /f >/dev/null 2>&1

"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w
start_prefix_server "$wineserver" "$work_dir"
# The first Windows process starts the prefix's background services; they must not inherit the
# output of a test, or CTest would wait for them.
"$wine" reg query 'HKCU\Software\Wine' </dev/null >/dev/null 2>&1
server=$(prefix_server_pid "$prefix")
if [ -z "$server" ]; then
    echo "no wineserver is serving $prefix after the set-up" >&2
    exit 1
fi
echo "$server" >"$(server_pid_file "$work_dir")"
readlink "/proc/$server/cwd" >"$(server_file "$work_dir" dir)"
echo "prefix ready: $prefix (wineserver pid $server)"
