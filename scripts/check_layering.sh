#!/usr/bin/env bash
# check_layering.sh [ROOT]: checks that every C++ file of the source tree includes only the
# folders its own folder may use, that the Qt-free folders include no Qt, and that only
# platform/ (and the simulator) sees the system. Prints one line per offending include or path
# ("file:line: ...") and exits 1 when there is any; exits 0 when the tree keeps to the rules.
# ROOT defaults to the project folder this script lives in.
#
# A folder may always include itself and the standard library. "No Qt" means no
# #include <Q...>, <Qt...> or "Q...", and no header named qt_* (those are the Qt files of
# platform/, so including one would bring Qt in too). Includes are matched by their first path
# component (an include relative to the file, "../res/x.h", is resolved first).
#
# "No system" (every folder but platform/, sim/, tests/, bench/ and fuzz/) means: no system
# header of descriptors, terminals, polling or device events (<termios.h>, <poll.h>,
# <fcntl.h>, <unistd.h>, <pty.h>, <pthread.h>, <dirent.h>, <libudev.h>, <sys/...>, <asm/...>,
# <linux/...>), no header named *_linux.h (the Linux implementation's own headers in
# platform/), and no "/sys" or "/proc" path in a string. In platform/ itself, a header not named
# *_linux.h is the face a Win32 backend implements too, so it includes neither.
set -euo pipefail

root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
if [ ! -d "$root" ]; then
    echo "check_layering: no folder $root" >&2
    exit 2
fi
cd "$root"

# Folder -> the other folders it may include ("*": any). Arrows point down: each folder uses
# only folders listed before it (tests, bench and fuzz use anything).
declare -A may_use=(
    [platform]=""
    [serial]="platform"
    [bus]=""
    [session]="bus serial platform"
    [project]="session bus serial platform"
    [cli]="project session bus serial platform"
    [res]="platform"
    [controls]="platform res"
    [pages]="platform res bus session controls"
    [app]="platform res bus serial session project controls pages"
    [sim]="bus platform"
    [tests]="*"
    [bench]="*"
    [fuzz]="*"
)
order=(platform serial bus session project cli res controls pages app sim tests bench fuzz)
# Folders whose files include no Qt; in platform/, files named qt_* are the exception.
no_qt="platform serial bus session project cli sim"
# Folders that see no system: they reach it through platform/ (sim/ runs a pseudo-terminal of
# its own; tests, bench and fuzz may look behind platform's back).
no_system="serial bus session project cli res controls pages app"

problems=0

# Every top-level source folder (one with a CMakeLists.txt that is not a build folder) needs a
# rule, so that a new folder is not silently left unchecked.
for dir in */; do
    dir=${dir%/}
    if [ -f "$dir/CMakeLists.txt" ] && [ ! -f "$dir/CMakeCache.txt" ] &&
        [ -z "${may_use[$dir]+set}" ]; then
        echo "$dir/CMakeLists.txt:1: folder $dir/ has no layering rule in scripts/check_layering.sh"
        problems=$((problems + 1))
    fi
done

files=()
for dir in "${order[@]}"; do
    # A folder that does not exist (yet) has nothing to check.
    [ -d "$dir" ] || continue
    while IFS= read -r -d '' file; do
        files+=("${file#./}")
    done < <(find "$dir" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.cc' \
        -o -name '*.inl' \) -print0 | sort -z)
done

if [ ${#files[@]} -gt 0 ]; then
    rules=""
    for dir in "${order[@]}"; do
        rules+="$dir=${may_use[$dir]};"
    done
    found=$(awk -v rules="$rules" -v no_qt="$no_qt" -v no_system="$no_system" '
        BEGIN {
            n = split(rules, entries, ";")
            for (i = 1; i <= n; i++) {
                if (entries[i] == "") continue
                eq = index(entries[i], "=")
                folder = substr(entries[i], 1, eq - 1)
                project[folder] = 1
                allowed[folder] = " " substr(entries[i], eq + 1) " "
            }
            m = split(no_qt, q, " ")
            for (i = 1; i <= m; i++) qt_free[q[i]] = 1
            m = split(no_system, q, " ")
            for (i = 1; i <= m; i++) system_free[q[i]] = 1
            count = 0
        }
        # A system header that carries descriptors, terminals, polling or device events.
        function system_header(name) {
            return name ~ /^(termios|poll|fcntl|unistd|pty|pthread|dirent|libudev)\.h$/ ||
                   name ~ /^(sys|asm|linux)\//
        }
        # "a/b/../c/./d.h" -> "a/c/d.h"; a path that climbs out of the tree gives "".
        function normalise(path,    parts, k, out, depth, j, result) {
            k = split(path, parts, "/")
            depth = 0
            for (j = 1; j <= k; j++) {
                if (parts[j] == "" || parts[j] == ".") continue
                if (parts[j] == "..") {
                    if (depth == 0) return ""
                    depth--
                    continue
                }
                out[++depth] = parts[j]
            }
            result = ""
            for (j = 1; j <= depth; j++) result = result (j > 1 ? "/" : "") out[j]
            return result
        }
        FNR == 1 {
            file = FILENAME
            folder = substr(file, 1, index(file, "/") - 1)
            dir = file
            sub(/\/[^\/]*$/, "", dir)
            base = file
            sub(/^.*\//, "", base)
            check_qt = (folder in qt_free) && !(folder == "platform" && base ~ /^qt_/)
            check_system = folder in system_free
            # A header of platform/ that a Win32 backend would implement as well.
            neutral = folder == "platform" && file == "platform/" base && base ~ /\.h$/ &&
                      base !~ /_linux\.h$/
        }
        # A "/sys" or "/proc" path in a string, outside comments.
        check_system && !/^[ \t]*(\/\/|\/?\*)/ && /"\/(sys|proc)(\/[^"]*)?"/ {
            path = $0
            match(path, /"\/(sys|proc)(\/[^"]*)?"/)
            path = substr(path, RSTART, RLENGTH)
            printf "%s:%d: %s/ names no system path, but has %s; platform/ reads the system\n", file, FNR, folder, path
            count++
        }
        /^[ \t]*#[ \t]*include[ \t]*[<"]/ {
            line = $0
            sub(/^[ \t]*#[ \t]*include[ \t]*/, "", line)
            open = substr(line, 1, 1)
            closing = open == "<" ? ">" : "\""
            rest = substr(line, 2)
            end = index(rest, closing)
            if (end == 0) next
            name = substr(rest, 1, end - 1)
            leaf = name
            sub(/^.*\//, "", leaf)

            if (check_qt && (name ~ /^Q/ || leaf ~ /^qt_/)) {
                printf "%s:%d: %s/ includes no Qt, but includes %s%s%s\n", file, FNR, folder, open, name, closing
                count++
                next
            }
            if (check_system && (system_header(name) || leaf ~ /_linux\.h$/)) {
                printf "%s:%d: %s/ sees no system, but includes %s%s%s; that belongs in platform/\n", file, FNR, folder, open, name, closing
                count++
                next
            }
            if (neutral && (system_header(name) || leaf ~ /_linux\.h$/)) {
                printf "%s:%d: %s names no system type (a Win32 backend implements it too), but includes %s%s%s; that belongs in a *_linux file\n", file, FNR, file, open, name, closing
                count++
                next
            }

            # The folder the include names: its first component, after resolving a path
            # relative to the including file.
            target = ""
            if (name ~ /^\.\.?\//) {
                target = normalise(dir "/" name)
                if (target == "") next
            } else {
                target = name
            }
            if (index(target, "/") == 0) next
            used = substr(target, 1, index(target, "/") - 1)
            if (!(used in project) || used == folder) next
            if (allowed[folder] ~ / \* /) next
            if (index(allowed[folder], " " used " ") > 0) next
            rule = allowed[folder]
            gsub(/^ +| +$/, "", rule)
            printf "%s:%d: %s/ may not include %s/ (%s%s%s); it may use %s\n", file, FNR, folder, used, open, name, closing, rule == "" ? "no other folder" : rule
            count++
        }
        END { exit count > 0 ? 1 : 0 }
    ' "${files[@]}")  || true
    if [ -n "$found" ]; then
        echo "$found"
        problems=$((problems + $(grep -c '' <<<"$found")))
    fi
fi

if [ "$problems" -gt 0 ]; then
    echo "check_layering: $problems include(s) or system path(s) break the layering" >&2
    exit 1
fi
echo "check_layering: ${#files[@]} files keep to the layering"
