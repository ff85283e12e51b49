#!/usr/bin/env bash
# The layering check on small trees made here: a tree that keeps to every rule passes; each
# kind of broken rule fails and names the file and line of the include (or of the system path);
# every offending include is reported, not just the first.
# Usage: check_layering_test.sh PATH/TO/check_layering.sh
set -uo pipefail

check=${1:?usage: check_layering_test.sh CHECK_SCRIPT}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
tests=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# write TREE FILE LINE...: writes a source file of the tree, one argument a line.
write() {
    local tree=$1 file=$2
    shift 2
    mkdir -p "$tree/$(dirname "$file")"
    printf '%s\n' "$@" >"$tree/$file"
}

# A tree in which every folder uses what it may: each include below is allowed.
make_good_tree() {
    local t=$1
    rm -rf "$t"
    local dir
    for dir in platform serial bus session project cli res controls pages app sim tests bench fuzz; do
        mkdir -p "$t/$dir"
        echo "# $dir" >"$t/$dir/CMakeLists.txt"
    done
    write "$t" platform/tty.h '#pragma once' '#include <cstdint>' '#include <vector>'
    write "$t" platform/tty_linux.h '#pragma once' '#include <termios.h>' '#include "platform/tty.h"'
    write "$t" platform/tty.cpp '#include "platform/tty.h"' '#include "tty.h"' '#include <sys/ioctl.h>' \
        '#include "platform/tty_linux.h"' '#include <linux/serial.h>' 'const char* k = "/sys/class/tty";'
    write "$t" platform/qt_owner.cpp '#include "platform/qt_owner.h"' '#include <QObject>' \
        '#include <QtCore/QString>'
    write "$t" platform/qt_owner.h '#pragma once' '#include <QEvent>'
    write "$t" serial/port.cpp '#include "serial/port.h"' '#include "platform/tty.h"' \
        '#include <cerrno>' '// the ports of /sys/class/tty come through platform/' \
        '    // as "/sys/class/tty" says'
    write "$t" bus/frame.cpp '#include "bus/frame.h"' '#include <cstdint>' '// #include "res/x.h"'
    write "$t" session/session.cpp '#include "bus/frame.h"' '#include "serial/port.h"' \
        '#include "platform/tty.h"'
    write "$t" project/run.cpp '#include "session/session.h"' '#include "bus/frame.h"' \
        '#include "serial/port.h"' '#include "platform/tty.h"'
    write "$t" cli/main.cpp '#include "session/session.h"' '#include "bus/frame.h"' \
        '#include "project/run.h"'
    write "$t" res/templates.cpp '#include "platform/dialog_template.h"'
    write "$t" controls/switch.cpp '#include "platform/qt_owner.h"' '#include "res/resource.h"' \
        '#include <QWidget>'
    write "$t" pages/page.cpp '#include "controls/switch.h"' '#include "bus/frame.h"' \
        '#include "res/resource.h"' '#include "platform/qt_dialog.h"'
    write "$t" app/dlg.cpp '#include "pages/page.h"' '#include "session/session.h"' \
        '#include "serial/port.h"' '#include "../res/resource.h"' '#include "project/run.h"'
    write "$t" sim/sim.cpp '#include "bus/frame.h"' '#include "platform/pseudo_terminal.h"' \
        '#include <termios.h>' '#include <sys/inotify.h>'
    write "$t" tests/gui/t.cpp '#include "app/dlg.h"' '#include "hex.h"' '#include <gtest/gtest.h>'
    write "$t" tests/serial/t.cpp '#include "platform/tty_linux.h"' '#include <poll.h>' \
        'const char* root = "/proc";'
    write "$t" bench/b.cpp '#include "app/dlg.h"' '#include "sim/sim.h"'
    write "$t" fuzz/bus/f.cpp '#include "bus/frame.h"' '#include "res/resource.h"'
    # Build folders are not source folders, however much they hold.
    mkdir -p "$t/build"
    echo "# generated" >"$t/build/CMakeLists.txt"
    touch "$t/build/CMakeCache.txt"
}

# expect_pass NAME TREE
expect_pass() {
    tests=$((tests + 1))
    local out
    if ! out=$("$check" "$2" 2>&1); then
        fail "$1: the check failed on a tree that keeps to the rules:"$'\n'"$out"
    fi
}

# expect_fail NAME TREE WHERE...: the check must fail, and report each WHERE ("file:line").
expect_fail() {
    local name=$1 tree=$2
    shift 2
    tests=$((tests + 1))
    local out rc=0
    out=$("$check" "$tree" 2>&1) || rc=$?
    if [ "$rc" -ne 1 ]; then
        fail "$name: exit status $rc, expected 1; output:"$'\n'"$out"
        return
    fi
    local where
    for where in "$@"; do
        if ! grep -q -F -- "$where: " <<<"$out"; then
            fail "$name: no report naming $where; output:"$'\n'"$out"
        fi
    done
}

# case_with NAME FILE LINE...: a good tree plus one file; the check must fail naming the file
# at the line of its last argument.
case_with() {
    local name=$1 file=$2
    shift 2
    local t=$work/$name
    make_good_tree "$t"
    write "$t" "$file" "$@"
    expect_fail "$name" "$t" "$file:$#"
}

good=$work/good
make_good_tree "$good"
expect_pass good_tree "$good"

# Without the folders that may not exist yet, the rest is still checked and passes.
rm -rf "$good/session" "$good/cli"
expect_pass without_session_and_cli "$good"

# Each folder reaching a folder it may not use.
case_with platform_uses_res platform/qt_dialog.h '#pragma once' '#include <QDialog>' \
    '#include "res/dialog_template.h"'
case_with bus_uses_res bus/decode.cpp '#include "bus/frame.h"' '#include "res/line_settings.h"'
case_with serial_uses_bus serial/port2.cpp '#include "platform/tty.h"' '#include "bus/frame.h"'
case_with session_uses_pages session/s.cpp '#include "bus/frame.h"' '#include "pages/page.h"'
case_with cli_uses_app cli/c.cpp '#include "session/session.h"' '#include "app/dlg.h"'
case_with session_uses_project session/s.cpp '#include "bus/frame.h"' '#include "project/run.h"'
case_with project_uses_cli project/p.cpp '#include "session/session.h"' '#include "cli/main.h"'
case_with res_uses_controls res/r.cpp '#include "controls/switch.h"'
case_with controls_uses_pages controls/c.cpp '#include "res/resource.h"' '#include "pages/page.h"'
case_with pages_uses_serial pages/p.cpp '#include "bus/frame.h"' '#include "serial/port.h"'
case_with pages_uses_app pages/p.cpp '#include "app/dlg.h"'
case_with app_uses_sim app/a.cpp '#include "sim/sim.h"'
case_with sim_uses_serial sim/s.cpp '#include "bus/frame.h"' '#include "serial/port.h"'

# Written differently, still an include of the folder.
case_with spaced_directive serial/s.cpp '#include <vector>' '  #  include   "res/resource.h"'
case_with angle_brackets bus/b.cpp '#include <res/resource.h>'
case_with relative_path platform/p.cpp '#include <vector>' '#include "../res/resource.h"'
case_with relative_deep_path pages/sub/p.cpp '#include "../../app/dlg.h"'

# Qt in the folders that take none, in each spelling; a qt_ header brings Qt in too.
case_with qt_in_serial serial/s.cpp '#include <cstdint>' '#include <QString>'
case_with qt_module_in_bus bus/b.cpp '#include <QtCore/QObject>'
case_with qt_quoted_in_sim sim/s.cpp '#include "QTimer"'
case_with qt_in_session session/s.cpp '#include <QThread>'
case_with qt_in_cli cli/c.cpp '#include <QCoreApplication>'
case_with qt_in_project project/p.cpp '#include <QTimer>'
case_with qt_in_plain_platform_file platform/message_box.cpp '#include "platform/tty.h"' \
    '#include <QMessageBox>'
case_with qt_header_in_serial serial/s.cpp '#include "platform/qt_owner.h"'
case_with qt_header_in_plain_platform_file platform/owner.cpp '#include "platform/qt_owner.h"'

# The system outside platform/ (and the simulator): its headers in every folder and spelling,
# the Linux implementation's own headers, and its paths in strings.
case_with termios_in_session session/s.cpp '#include "bus/frame.h"' '#include <termios.h>'
case_with poll_in_serial serial/s.cpp '#include <vector>' '#include <poll.h>'
case_with sys_poll_in_serial serial/s.cpp '#include <sys/poll.h>'
case_with termbits_in_serial serial/s.cpp '#include <asm/termbits.h>'
case_with linux_serial_in_serial serial/s.cpp '#include <linux/serial.h>'
case_with epoll_in_app app/a.cpp '#include <QWidget>' '#include <sys/epoll.h>'
case_with inotify_in_app app/a.cpp '#include <sys/inotify.h>'
case_with ioctl_in_pages pages/p.cpp '#include "bus/frame.h"' '#include <sys/ioctl.h>'
case_with fcntl_in_cli cli/c.cpp '#include <fcntl.h>'
case_with unistd_in_project project/p.cpp '#include "session/session.h"' '#include <unistd.h>'
case_with unistd_in_controls controls/c.cpp '#include "unistd.h"'
case_with udev_in_bus bus/b.cpp '#include <libudev.h>'
case_with eventfd_in_res res/r.cpp '#include <sys/eventfd.h>'
case_with linux_header_in_serial serial/s.cpp '#include "platform/serial_device_linux.h"'
case_with linux_header_in_app app/a.cpp '#include "platform/tty.h"' '#include "platform/tty_linux.h"'
case_with sys_path_in_cli cli/c.cpp '#include <string>' 'const std::string tty = "/sys/class/tty";'
case_with sys_root_in_serial serial/s.cpp 'f("/dev", "/sys");'
case_with proc_path_in_serial serial/s.cpp 'std::string Hint(const std::string& root = "/proc");'
case_with proc_entry_in_app app/a.cpp 'std::ifstream in(std::string("/proc/locks"));'
# A header of platform/ that a Win32 backend implements too names no system type.
case_with system_in_neutral_platform_header platform/event.h '#pragma once' '#include <sys/eventfd.h>'
case_with linux_header_in_neutral_platform_header platform/device.h '#pragma once' \
    '#include "platform/tty_linux.h"'

# A new source folder without a rule is reported rather than left unchecked.
t=$work/new_folder
make_good_tree "$t"
mkdir -p "$t/extra"
echo "# extra" >"$t/extra/CMakeLists.txt"
write "$t" extra/e.cpp '#include "app/dlg.h"'
expect_fail new_folder "$t" "extra/CMakeLists.txt:1"

# Every offending include is reported, each with its own file and line.
t=$work/several
make_good_tree "$t"
write "$t" bus/one.cpp '#include "serial/port.h"'
write "$t" serial/two.cpp '#include <vector>' '#include <QByteArray>' '#include "res/a.h"'
expect_fail several "$t" "bus/one.cpp:1" "serial/two.cpp:2" "serial/two.cpp:3"
tests=$((tests + 1))
count=$("$check" "$t" 2>/dev/null | grep -c ': ' || true)
if [ "$count" -ne 3 ]; then
    fail "several: $count reports, expected 3"
fi

# A folder that does not exist is an error of the caller, not a pass.
tests=$((tests + 1))
rc=0
"$check" "$work/missing" >/dev/null 2>&1 || rc=$?
if [ "$rc" -eq 0 ] || [ "$rc" -eq 1 ]; then
    fail "missing_root: exit status $rc, expected 2"
fi

echo "$tests checks, $failures failed"
[ "$failures" -eq 0 ]
