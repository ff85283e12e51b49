#!/usr/bin/env bash
# Installs what is missing, checks which folders include which (before anything is built),
# builds, and runs every test through ctest: the full build, then the Qt-free layers under
# ThreadSanitizer and under AddressSanitizer + UBSan, then the fuzz targets over their stored
# corpus; the Debian package is built and checked after the full build. Exits non-zero on the
# first failure.
set -euo pipefail
RAVLIN_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$RAVLIN_ROOT/scripts/common.sh"
ravlin_install_missing "${RAVLIN_PACKAGES[@]}"

jobs=$(nproc)
passed=0
failed=0
# run_ctest DIR [ctest options...]: runs one build's tests and adds up the counts.
run_ctest() {
    local dir=$1
    shift
    local log
    log=$(mktemp)
    local rc=0
    ctest --test-dir "$RAVLIN_ROOT/$dir" --output-on-failure "$@" 2>&1 | tee "$log" || rc=$?
    local line
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
    rm -f "$log"
    if [ -n "$line" ]; then
        local total fails
        total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
        fails=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
        passed=$((passed + total - fails))
        failed=$((failed + fails))
    fi
    if [ "$rc" -ne 0 ]; then
        echo "$passed passed, $((failed > 0 ? failed : 1)) failed"
        exit "$rc"
    fi
}

echo "== layering"
"$RAVLIN_ROOT/scripts/check_layering.sh" "$RAVLIN_ROOT"

echo "== build"
ravlin_build build -DRAVLIN_WERROR=ON -DRAVLIN_TESTS=ON
run_ctest build -j "$jobs"

echo "== Debian package"
rm -f "$RAVLIN_ROOT"/build/ravlin_*.deb
cmake --build "$RAVLIN_ROOT/build" --target package >/dev/null
"$RAVLIN_ROOT/scripts/check_package.sh" "$RAVLIN_ROOT"/build/ravlin_*.deb

echo "== ThreadSanitizer (Qt-free layers)"
ravlin_build build-tsan -DRAVLIN_WITH_QT=OFF -DRAVLIN_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug
TSAN_OPTIONS=halt_on_error=1 run_ctest build-tsan -j "$jobs"

echo "== AddressSanitizer + UBSan (Qt-free layers)"
ravlin_build build-asan -DRAVLIN_WITH_QT=OFF -DRAVLIN_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-asan -j "$jobs"

if [ -d "$RAVLIN_ROOT/fuzz" ] && ls "$RAVLIN_ROOT"/fuzz/*/CMakeLists.txt >/dev/null 2>&1; then
    echo "== fuzz targets over their corpus"
    ravlin_build build-fuzz -DRAVLIN_WITH_QT=OFF -DRAVLIN_FUZZ=ON \
        -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
    run_ctest build-fuzz -L fuzz
fi

echo "Test programs over all builds:"
echo "$passed passed, $failed failed"
