# Sourced by the prefix set-up and shut-down. The persistent wineserver of a prefix is found by
# the WINEPREFIX in its environment; its pid is kept in the work folder so that the shut-down can
# tell whether the server outlived every test (a wineserver that ends under running clients
# leaves them waiting for a reply that never comes, so the tests hang until CTest's timeout).

# prefix_server_pid PREFIX: the pid of the wineserver serving PREFIX, or nothing.
prefix_server_pid() {
    local process
    for process in /proc/[0-9]*; do
        case $({ cat "$process/comm"; } 2>/dev/null) in
        wineserver | wineserver64) ;;
        *) continue ;;
        esac
        if { tr '\0' '\n' <"$process/environ"; } 2>/dev/null | grep -xF "WINEPREFIX=$1" >/dev/null; then
            echo "${process#/proc/}"
            return
        fi
    done
}

# server_pid_file WORK_DIR: where the set-up notes the server's pid.
server_pid_file() { echo "$1/wineserver.pid"; }
# server_ended_marker WORK_DIR: left by the shut-down when the server had ended before it.
server_ended_marker() { echo "$1/wineserver-ended"; }

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
