#!/usr/bin/env bash
# Installs what is missing, builds, and starts Ravlin.
set -euo pipefail
RAVLIN_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$RAVLIN_ROOT/scripts/common.sh"
ravlin_install_missing "${RAVLIN_PACKAGES[@]}"
ravlin_build build
exec "$RAVLIN_ROOT/build/app/ravlin" "$@"
