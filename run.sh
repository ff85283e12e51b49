#!/usr/bin/env bash
# Installs what the programs need, builds them (ravlin, orval-sim and orvalctl; not the tests,
# which test.sh builds), and starts Ravlin for a try-out: a simulated ORVAL bus
# (build/sim/orval-sim with its default devices) is started first and listed by Ravlin as the
# serial port "orval-sim"; it stops when Ravlin exits. Its frame trace goes to build/orval-sim.log.
# RAVLIN_SIM=0 starts Ravlin alone (real serial ports only).
set -euo pipefail
RAVLIN_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$RAVLIN_ROOT/scripts/common.sh"
ravlin_install_missing "${RAVLIN_RUN_PACKAGES[@]}"
# A fresh build folder leaves the tests out (they need packages the programs don't); one that
# test.sh configured keeps them, and only the three programs are built either way.
build_options=()
if [ ! -f "$RAVLIN_ROOT/build/CMakeCache.txt" ]; then
    build_options=(-DRAVLIN_TESTS=OFF)
fi
RAVLIN_BUILD_TARGETS=(ravlin orval-sim orvalctl)
ravlin_build build "${build_options[@]}"

if [ "${RAVLIN_SIM:-1}" = "0" ]; then
    exec "$RAVLIN_ROOT/build/app/ravlin" "$@"
fi

# Where the simulator publishes its port (the same rule as Ravlin's port listing).
if [ -n "${RAVLIN_PORT_DIR:-}" ]; then
    port_dir=$RAVLIN_PORT_DIR
elif [ -n "${XDG_RUNTIME_DIR:-}" ]; then
    port_dir=$XDG_RUNTIME_DIR/ravlin-ports
else
    port_dir=/tmp/ravlin-ports-$(id -u)
fi
sim_name=orval-sim
sim_log=$RAVLIN_ROOT/build/orval-sim.log

"$RAVLIN_ROOT/build/sim/orval-sim" --name "$sim_name" >"$sim_log" 2>&1 &
sim_pid=$!
stop_sim() {
    if kill -0 "$sim_pid" 2>/dev/null; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
}
trap stop_sim EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Wait (up to 10 s) until the simulator has published its link to a live terminal.
for _ in $(seq 100); do
    if [ -e "$port_dir/$sim_name" ]; then
        break
    fi
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        echo "run.sh: the bus simulator ended before it published its port:" >&2
        cat "$sim_log" >&2
        exit 1
    fi
    sleep 0.1
done
if [ ! -e "$port_dir/$sim_name" ]; then
    echo "run.sh: the bus simulator did not publish $port_dir/$sim_name within 10 s" >&2
    exit 1
fi
echo "Simulated bus on port \"$sim_name\" (trace: $sim_log)"

# Not exec: the trap stops the simulator once Ravlin exits.
status=0
"$RAVLIN_ROOT/build/app/ravlin" "$@" || status=$?
exit "$status"
