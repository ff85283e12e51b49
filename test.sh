#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest: the full build, then
# the Qt-free layers under ThreadSanitizer and under AddressSanitizer + UBSan, then the fuzz
# targets over their stored corpus. Exits non-zero on the first failure.
set -euo pipefail
RAVLIN_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$RAVLIN_ROOT/scripts/common.sh"
ravlin_install_missing "${RAVLIN_PACKAGES[@]}"

jobs=$(nproc)

echo "== build"
ravlin_build build -DRAVLIN_WERROR=ON
ctest --test-dir "$RAVLIN_ROOT/build" --output-on-failure -j "$jobs"

echo "== ThreadSanitizer (Qt-free layers)"
ravlin_build build-tsan -DRAVLIN_WITH_QT=OFF -DRAVLIN_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir "$RAVLIN_ROOT/build-tsan" --output-on-failure -j "$jobs"

echo "== AddressSanitizer + UBSan (Qt-free layers)"
ravlin_build build-asan -DRAVLIN_WITH_QT=OFF -DRAVLIN_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$RAVLIN_ROOT/build-asan" --output-on-failure -j "$jobs"

if [ -d "$RAVLIN_ROOT/fuzz" ] && ls "$RAVLIN_ROOT"/fuzz/*/CMakeLists.txt >/dev/null 2>&1; then
    echo "== fuzz targets over their corpus"
    ravlin_build build-fuzz -DRAVLIN_WITH_QT=OFF -DRAVLIN_FUZZ=ON \
        -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
    ctest --test-dir "$RAVLIN_ROOT/build-fuzz" --output-on-failure -L fuzz
fi
