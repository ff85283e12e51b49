#!/usr/bin/env bash
# Runs bench_rx_live as on a desktop: a real X server (xvfb-run -a), a D-Bus session with the
# accessibility bus, and Qt's accessibility switched on.
#   bench/app/bench_rx_live.sh [BUILD_DIR] flood|paced|soak [AMOUNT]
# Extra: RAVLIN_BENCH_PERF=FILE records the run with perf (call graphs) into FILE.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
shift || true
bin=$build/bench/app/bench_rx_live
[ -x "$bin" ] || { echo "build $bin first" >&2; exit 2; }
export RAVLIN_BENCH_BIN=$bin
exec xvfb-run -a dbus-run-session -- bash -c '
    /usr/libexec/at-spi-bus-launcher --launch-immediately --a11y=1 &
    launcher=$!
    sleep 1
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
    rc=0
    if [ -n "${RAVLIN_BENCH_PERF:-}" ]; then
        perf record ${RAVLIN_BENCH_PERF_OPTS:--g} -o "$RAVLIN_BENCH_PERF" "$RAVLIN_BENCH_BIN" "$@" || rc=$?
    else
        "$RAVLIN_BENCH_BIN" "$@" || rc=$?
    fi
    kill "$launcher" 2>/dev/null || true
    exit $rc
' bench "$@"
