#!/usr/bin/env bash
# Installs what is missing, builds Morvane and morvane-batch (Release) and starts Morvane.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/deps.sh"
build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVANE_TESTS=OFF >/dev/null
cmake --build "$build" --target morvane morvane-batch
exec "$build/morvane" "$@"
