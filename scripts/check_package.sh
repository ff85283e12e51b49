#!/usr/bin/env bash
# check_package.sh DEB: checks a built Ravlin package. The control fields are filled in, the
# file list holds every installed file, and the desktop entry, AppStream metainfo and manual
# pages that it ships pass their validators. Exits non-zero on the first failure.
set -euo pipefail
deb=$1
id=org.example.quillmere.Ravlin

fail() {
    echo "package check failed: $*" >&2
    exit 1
}

for field in Package Version Architecture Maintainer Section Depends Description; do
    value=$(dpkg-deb -f "$deb" "$field")
    [ -n "$value" ] || fail "control field $field is empty"
    echo "$field: $(head -n 1 <<<"$value")"
done
# The dependencies come from the binaries' libraries, so Qt's must be among them.
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "Depends lacks the Qt libraries"

expected=(
    ./usr/bin/ravlin
    ./usr/bin/orval-sim
    ./usr/bin/orvalctl
    "./usr/share/applications/$id.desktop"
    "./usr/share/metainfo/$id.metainfo.xml"
    "./usr/share/icons/hicolor/scalable/apps/$id.svg"
    ./usr/share/man/man1/ravlin.1.gz
    ./usr/share/man/man1/orval-sim.1.gz
    ./usr/share/man/man1/orvalctl.1.gz
)
for size in 16 32 48 64 128 256; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
listing=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in "${expected[@]}"; do
    grep -qxF "$path" <<<"$listing" || fail "$path is not in the package"
done
echo "files: all ${#expected[@]} expected files are in the package"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
echo "desktop-file-validate:"
desktop-file-validate "$root/usr/share/applications/$id.desktop"
echo "appstreamcli validate --no-net:"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
for page in "$root"/usr/share/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
echo "man pages: no warnings"
