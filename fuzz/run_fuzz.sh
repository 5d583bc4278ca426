#!/usr/bin/env bash
# Builds and runs the conversion fuzz target for a while (default 600 s):
#   fuzz/run_fuzz.sh [seconds] [build folder]
# Installs clang and its fuzzer runtime from Debian when they are missing. Findings
# (crash-*, leak-*, oom-*, timeout-*) land in the build folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-600}
build=${2:-$here/../build-fuzz}

packages=(clang libclang-rt-14-dev)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug
cmake --build "$build" --target fuzz_convert

# Seeds: small real pictures of every source type (copied, never changed in place).
corpus=$build/corpus
mkdir -p "$corpus"
shared=${CORPUS:-$here/../../shared/corpus}
if [ -z "${CORPUS:-}" ] && [ ! -d "$shared" ]; then
    # In a linked worktree, beside the main tree.
    common=$(git -C "$here" rev-parse --path-format=absolute --git-common-dir 2>/dev/null || true)
    [ -n "$common" ] && shared=$common/../../shared/corpus
fi
if [ -d "$shared" ]; then
    find "$shared" -type f -size -64k \( -iname '*.gif' -o -iname '*.ico' -o -iname '*.png' \
        -o -iname '*.bmp' -o -iname '*.jpg' \) -exec cp -n {} "$corpus/" \;
else
    echo "run_fuzz.sh: no sample folder at $shared (set CORPUS); starting without seeds" >&2
fi

cd "$build"
export QT_QPA_PLATFORM=offscreen
./fuzz_convert -max_total_time="$seconds" -max_len=262144 -rss_limit_mb=3072 \
    -timeout=30 "$corpus"
