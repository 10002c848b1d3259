# Sourced by the prefix set-up, the watch and the shut-down. The persistent wineserver of a prefix
# is found by the WINEPREFIX in its environment; the set-up keeps its pid, its standard error, its
# exit status and the folder it runs in (where a core file lands) in the work folder, so that a
# server that ends under running clients (they wait for a reply that never comes, and the tests
# hang until CTest's timeout) is noticed at once and can say why it ended.

# prefix_processes PREFIX: every process but this shell and its ancestors whose environment names
# PREFIX (the prefix's Windows programs, its services, and whatever started them for it).
prefix_processes() {
    local process pid spared=" $$ $BASHPID " ancestor=$PPID
    while [ "${ancestor:-0}" -gt 1 ]; do
        spared+="$ancestor "
        ancestor=$(awk '{print $4}' "/proc/$ancestor/stat" 2>/dev/null || echo 0)
    done
    for process in /proc/[0-9]*; do
        pid=${process#/proc/}
        case $spared in *" $pid "*) continue ;; esac
        if { tr '\0' '\n' <"$process/environ"; } 2>/dev/null | grep -xF "WINEPREFIX=$1" >/dev/null; then
            echo "$pid"
        fi
    done
}

# prefix_server_pid PREFIX: the pid of the wineserver serving PREFIX, or nothing.
prefix_server_pid() {
    local pid
    for pid in $(prefix_processes "$1"); do
        if prefix_server_alive "$pid"; then
            echo "$pid"
            return
        fi
    done
}

# end_prefix_processes PREFIX: ends them by pid. Once its server is gone a prefix's processes never
# end by themselves, and they keep open whatever they held (a chroot's /dev, CTest's pipes).
end_prefix_processes() {
    local pids
    pids=$(prefix_processes "$1")
    [ -z "$pids" ] && return 0
    # shellcheck disable=SC2086
    kill -KILL $pids 2>/dev/null || true
    echo "ended $(echo $pids | wc -w) leftover processes of $1"
}

server_file() { echo "$1/wineserver.$2"; } # WORK_DIR WHAT: pid, log, status, dir, ended
server_pid_file() { server_file "$1" pid; }
server_ended_marker() { server_file "$1" ended; }

# start_prefix_server WINESERVER WORK_DIR: starts the persistent server in a session of its own,
# in the foreground of a shell that records its exit status, with its standard error kept and a
# core file allowed (for it alone). Returns once it accepts clients.
start_prefix_server() {
    local wineserver=$1 work_dir=$2 waited
    setsid bash -c 'ulimit -c unlimited; "$1" -f -p 2>"$2"; echo $? >"$3"' start_prefix_server \
        "$wineserver" "$(server_file "$work_dir" log)" "$(server_file "$work_dir" status)" \
        </dev/null >/dev/null 2>&1 &
    for waited in $(seq 100); do
        "$wineserver" -k0 >/dev/null 2>&1 && return 0 # signal 0: only asks whether one runs
        sleep 0.1
    done
    echo "the wineserver did not start in 10 s" >&2
    return 1
}

# prefix_server_alive PID: whether PID is still a wineserver.
prefix_server_alive() {
    case $({ cat "/proc/$1/comm"; } 2>/dev/null) in
    wineserver | wineserver64) return 0 ;;
    *) return 1 ;;
    esac
}

# recorded_server WORK_DIR: the pid the set-up noted in WORK_DIR, or nothing.
recorded_server() { cat "$(server_pid_file "$1")" 2>/dev/null || true; }
# recorded_server_gone WORK_DIR: whether the server the set-up noted has ended.
recorded_server_gone() {
    local server
    server=$(recorded_server "$1")
    [ -n "$server" ] && ! prefix_server_alive "$server"
}

# server_end_summary WORK_DIR: one line: how the recorded server ended and where its core is.
server_end_summary() {
    local status core waited
    for waited in $(seq 20); do # the recording shell writes the status right after the end
        [ -s "$(server_file "$1" status)" ] && break
        sleep 0.1
    done
    status=$(cat "$(server_file "$1" status)" 2>/dev/null || true)
    core=$(collect_server_core "$1")
    if [ -z "$status" ]; then
        printf 'exit status unknown'
    elif [ "$status" -gt 128 ]; then
        printf 'signal %s (%s)' "$((status - 128))" "$(kill -l "$((status - 128))" 2>/dev/null)"
    else
        printf 'exit status %s' "$status"
    fi
    if [ -n "$core" ]; then printf ', core in %s' "$core"; else printf ', no core file'; fi
    echo
}

# collect_server_core WORK_DIR: moves a core file the server left in the folder it ran in into
# WORK_DIR, and names the kept core, if there is one.
collect_server_core() {
    local kept=$1/wineserver.core dir core
    dir=$(cat "$(server_file "$1" dir)" 2>/dev/null || true)
    if [ ! -f "$kept" ] && [ -n "$dir" ]; then
        for core in "$dir"/core "$dir"/core.*; do
            [ -f "$core" ] && mv "$core" "$kept" && break
        done
    fi
    if [ -f "$kept" ]; then echo "$kept"; fi
}

# report_server_end WORK_DIR: what the ended server left: how it ended, its last error lines.
report_server_end() {
    local log
    echo "  how it ended: $(server_end_summary "$1")"
    log=$(server_file "$1" log)
    if [ -s "$log" ]; then
        echo "  its last error lines ($log):"
        tail -n 15 "$log" | sed 's/^/    /'
    else
        echo "  it wrote no error line"
    fi
}
