# Shared by run.sh and test.sh: install what is missing, then configure and build.
# Sourced, not run.

# The project's folder, when the script that sources this hasn't set it.
: "${RAVLIN_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"

# What the programs need to build and run (run.sh installs only these) ...
RAVLIN_RUN_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    fonts-noto-cjk ccache libudev-dev libcli11-dev libtomlplusplus-dev
)
# ... and what the tests, the sanitizer and fuzz builds and the package check add (test.sh).
RAVLIN_PACKAGES=(
    "${RAVLIN_RUN_PACKAGES[@]}"
    libgtest-dev libgmock-dev
    clang libclang-rt-14-dev
    desktop-file-utils appstream dpkg-dev file man-db
    poppler-utils
)

ravlin_install_missing() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# ravlin_build DIR [cmake options...]: configures DIR and builds it, all of it or, when the
# array RAVLIN_BUILD_TARGETS is set, only those targets.
ravlin_build() {
    local dir=$1
    shift
    local launcher=()
    # Worktrees and repeated builds share compiled objects through ccache when it is there.
    if command -v ccache >/dev/null 2>&1; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S "$RAVLIN_ROOT" -B "$RAVLIN_ROOT/$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
    local targets=()
    if [ -n "${RAVLIN_BUILD_TARGETS+x}" ]; then
        targets=(--target "${RAVLIN_BUILD_TARGETS[@]}")
    fi
    cmake --build "$RAVLIN_ROOT/$dir" "${targets[@]}"
}
