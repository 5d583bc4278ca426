#!/usr/bin/env bash
# Installs what is missing, builds Morvane with warnings as errors and runs every test
# headless; then builds again with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test a second time. Set MORVANE_SKIP_SANITIZERS=1 to skip the second pass.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/deps.sh"
export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

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
