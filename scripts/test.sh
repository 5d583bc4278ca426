#!/usr/bin/env bash
# Installs what is missing, builds Morvane with warnings as errors and runs every test
# headless; then builds again with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test a second time. Set MORVANE_SKIP_SANITIZERS=1 to skip the second pass.
# Where the machine allows it, a FAT volume (case-insensitive) is mounted for the duration
# and the letter-case tests also run on it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/deps.sh"
export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

# The menu entry and the AppStream metadata, checked as desktops and software centres read them.
desktop-file-validate "$root/data/morvane.desktop"
appstreamcli validate --no-net "$root"/data/*.metainfo.xml

case_volume="$(mktemp -d)"
case_mount="$case_volume/mnt"
unmount_case_volume() {
    if mountpoint -q "$case_mount" 2>/dev/null; then
        fusermount -u "$case_mount" 2>/dev/null || umount "$case_mount" 2>/dev/null ||
            umount -l "$case_mount" 2>/dev/null || true
    fi
    # Never remove through a mount that is still there.
    if ! mountpoint -q "$case_mount" 2>/dev/null; then
        rm -rf "$case_volume"
    fi
}
trap unmount_case_volume EXIT

# A FAT image, mounted by the kernel (loop) or else through FUSE (fusefat, one thread).
mount_case_volume() {
    local image="$case_volume/fat.img"
    mkdir -p "$case_mount" || return 1
    command -v mkfs.vfat >/dev/null 2>&1 || return 1
    truncate -s 64M "$image" && mkfs.vfat "$image" >/dev/null 2>&1 || return 1
    if mount -o loop -t vfat "$image" "$case_mount" >/dev/null 2>&1; then
        return 0
    fi
    command -v fusefat >/dev/null 2>&1 || return 1
    fusefat -s -o rw+ "$image" "$case_mount" >/dev/null 2>&1 || return 1
    mountpoint -q "$case_mount"
}
if mount_case_volume; then
    export MORVANE_TEST_CASE_INSENSITIVE_DIR="$case_mount"
    echo "Volume insensible à la casse pour les tests : $case_mount ($(findmnt -n -o FSTYPE "$case_mount"))"
else
    echo "NOTICE: case-insensitive volume not available: case tests ran on the stand-in only"
fi

run_pass() {
    local build="$1"
    shift
    cmake -S "$root" -B "$build" -G Ninja -DMORVANE_WERROR=ON "$@" >/dev/null
    cmake --build "$build" -j "$jobs"
    ctest --test-dir "$build" --output-on-failure -j "$jobs"
}

run_pass "$root/build/test" -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ "${MORVANE_SKIP_SANITIZERS:-0}" != 1 ]; then
    # Qt and the font libraries keep caches until exit; leaks are not what this pass hunts.
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
        run_pass "$root/build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DMORVANE_SANITIZE=ON
fi
