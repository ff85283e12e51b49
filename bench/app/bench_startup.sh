#!/usr/bin/env bash
# Time from starting ravlin to its window being on the screen, as on a desktop: a real X server
# (xvfb-run -a), a D-Bus session with the accessibility bus, Qt's accessibility on.
#   bench/app/bench_startup.sh [BUILD_DIR] [STARTS]
# Prints "start N: MS ms" per start and "median_ms: MS": from the start to the X server mapping
# the window, as xev reports it on the root window (nothing polls, so the figure costs the
# machine nothing). `xdotool search --sync` is no measure of this: it looks every 500 ms, so it
# reports about half a second for any window that takes longer than a few milliseconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
starts=${2:-3}
bin=$build/app/ravlin
[ -x "$bin" ] || { echo "build $bin first" >&2; exit 2; }
command -v xev >/dev/null || { echo "bench_startup.sh needs xev (x11-utils)" >&2; exit 2; }
ports=$(mktemp -d)
chmod 700 "$ports"
trap 'rm -rf "$ports"' EXIT
export RAVLIN_BENCH_BIN=$bin RAVLIN_PORT_DIR=$ports RAVLIN_BENCH_STARTS=$starts
xvfb-run -a dbus-run-session -- bash -c '
    /usr/libexec/at-spi-bus-launcher --launch-immediately --a11y=1 &
    launcher=$!
    sleep 1
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
    times=()
    for i in $(seq "$RAVLIN_BENCH_STARTS"); do
        events=$(mktemp -u)
        mkfifo "$events"
        stdbuf -oL xev -root -event substructure >"$events" &
        xev=$!
        exec 3<"$events"
        sleep 0.3
        start=$(date +%s%N)
        "$RAVLIN_BENCH_BIN" >/dev/null 2>&1 &
        pid=$!
        while read -r line <&3; do
            case "$line" in MapNotify*) break ;; esac
        done
        ms=$(( ($(date +%s%N) - start) / 1000000 ))
        echo "start $i: $ms ms"
        times+=("$ms")
        kill "$pid" "$xev"
        wait "$pid" "$xev" 2>/dev/null || true
        exec 3<&-
        rm -f "$events"
        sleep 0.5
    done
    printf "%s\n" "${times[@]}" | sort -n | awk "{ a[NR] = \$1 } END { print \"median_ms: \" a[int((NR + 1) / 2)] }"
    kill "$launcher" 2>/dev/null || true
' 2>/dev/null
