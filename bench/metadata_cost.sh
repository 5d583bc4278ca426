#!/usr/bin/env bash
# What keeping metadata costs a batch: the corpus camera JPEGs (copied, so the corpus is never
# written to) converted to PNG by morvane-batch with their metadata kept (the default) and with
# --strip-metadata, runs interleaved so both see the same machine load. Prints each run's wall
# time, the mean and spread (min-max) of each mode and the added cost.
#   bench/metadata_cost.sh [build folder] (default build/release); CORPUS, WORK, RUNS, JOBS,
#   COPIES (copies of each photo, default 2) override the rest.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
cli=$build/morvane-batch
corpus=${CORPUS:-$here/../shared/corpus}
work=${WORK:-/tmp/morvane-metadata-bench}
runs=${RUNS:-3}
copies=${COPIES:-2}
jobs=()
[ -n "${JOBS:-}" ] && jobs=(--jobs "$JOBS")

[ -x "$cli" ] || { echo "missing: $cli (build morvane-batch)"; exit 1; }
rm -rf "$work" && mkdir -p "$work/src"
for ((c = 1; c <= copies; c++)); do
    for photo in "$corpus"/jpeg/*.jpg; do
        cp "$photo" "$work/src/$c-$(basename "$photo")"
    done
done
chmod u+w "$work"/src/*
files=("$work"/src/*.jpg)
echo "${#files[@]} camera JPEGs ($(du -sh "$work/src" | cut -f1)) to PNG, ${jobs[*]:-all cores}"

seconds() { # runs "$@", prints the wall time in seconds
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    echo "$EPOCHREALTIME $start" | awk '{ printf "%.3f", $1 - $2 }'
}

kept=()
stripped=()
for ((run = 1; run <= runs; run++)); do
    for mode in kept stripped; do
        rm -rf "$work/out" && mkdir -p "$work/out"
        flags=()
        [ "$mode" = stripped ] && flags=(--strip-metadata)
        sync
        t=$(seconds "$cli" convert --to png --output-dir "$work/out" "${jobs[@]}" "${flags[@]}" \
            "${files[@]}")
        printf 'run %d %-9s %7.3f s\n' "$run" "$mode" "$t"
        if [ "$mode" = kept ]; then kept+=("$t"); else stripped+=("$t"); fi
    done
done

summary() { # name times...
    local name=$1
    shift
    printf '%s\n' "$@" | awk -v n="$name" '
        NR == 1 { min = $1; max = $1 }
        { s += $1; if ($1 < min) min = $1; if ($1 > max) max = $1 }
        END { printf "%-9s mean %7.3f s, spread %.3f-%.3f s (%.1f %%)\n", n, s / NR, min, max,
              100 * (max - min) / (s / NR) }'
}
summary kept "${kept[@]}"
summary stripped "${stripped[@]}"
printf '%s\n' "${kept[@]}" | awk -v s="$(printf '%s\n' "${stripped[@]}" | awk '{ t += $1 } END { print t / NR }')" \
    '{ t += $1 } END { printf "metadata adds %.1f %% (mean against mean)\n", 100 * (t / NR - s) / s }'
rm -rf "$work"
