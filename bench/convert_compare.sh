#!/usr/bin/env bash
# Batch conversion benchmark: the same sources (the corpus camera JPEGs plus generated 12- to
# 24-megapixel JPEGs, and the corpus PNG and BMP samples) converted to each target by
# Morvane's batch engine, the `morvane-batch convert` command (a whole process, like the
# others), ImageMagick's `mogrify -format` and GraphicsMagick's `gm mogrify -format`, side by
# side. Prints images per second per tool and target, the ratios of the engine and of the
# command against the faster of the two others, and for GIF the PSNR against the source.
#
#   bench/convert_compare.sh [release build folder]     (default: build/release)
#   GENERATED=27 WORK=/tmp/morvane-convert-bench CORPUS=<folder>  (environment, optional)
#   TARGETS="BMP GIF JPEG PNG"   the targets of the default run (all four by default)
#   ONLY=maxsize|formats   runs one of the last two parts alone:
#     maxsize: 24-megapixel JPEGs (corpus photos enlarged by ImageMagick) to PNG into 1920x1920,
#              `morvane-batch --max-size` (default jobs and --jobs 1) against
#              `gm mogrify -size 1920x1920 -resize 1920x1920`, RUNS runs each (default 3): wall
#              and processor (user + sys) seconds, and the ratios of both; then the PSNR of
#              the JPEG loaded into the box against a whole decode, both scaled alike
#     formats: the TIFF and WebP targets against ImageMagick and GraphicsMagick, RUNS runs
#
# The build folder needs the bench_convert and morvane-batch targets of a Release build:
#   cmake -S . -B <dir> -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVANE_TESTS=OFF
#   cmake --build <dir> --target bench_convert morvane-batch
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
bench=$build/bench/bench_convert
cli=$build/morvane-batch
corpus=${CORPUS:-$here/../shared/corpus}
[ -d "$corpus" ] || corpus=$here/../../shared/corpus # from a worktree under wt/
work=${WORK:-/tmp/morvane-convert-bench}
generated=${GENERATED:-27}

for tool in mogrify gm "$bench" "$cli"; do
    command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/deps.sh, or build bench_convert and morvane-batch)"; exit 1; }
done

# Private copies: the corpus is never written to.
mkdir -p "$work/src"
cp -n "$corpus"/jpeg/*.jpg "$corpus"/png/*.png "$corpus"/bmp/*.bmp "$work/src/"
if [ -z "${ONLY:-}" ] && [ "$(ls "$work"/src/gen_*.jpg 2>/dev/null | wc -l)" -lt "$generated" ]; then
    echo "generating $generated photo-like JPEGs of 12 to 24 megapixels..."
    "$bench" generate "$work/src" "$generated"
fi

seconds() { # runs "$@", prints the wall time in seconds
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    echo "$EPOCHREALTIME $start" | awk '{ printf "%.2f", $1 - $2 }'
}

runs=${RUNS:-3}
only=${ONLY:-}

# Prints "wall lo hi cpu" for $runs runs of a command, each after `prepare`: the mean, least
# and greatest wall seconds, and the mean processor seconds (user + sys, children included).
timed_runs() {
    local prepare=$1; shift
    for _ in $(seq "$runs"); do
        $prepare
        /usr/bin/time -o "$work/time.txt" -f '%e %U %S' "$@" >/dev/null 2>&1 || true
        tail -n 1 "$work/time.txt"
    done | awk '{ w += $1; c += $2 + $3; if (NR == 1 || $1 < lo) lo = $1; if ($1 > hi) hi = $1 }
        END { printf "%.2f %.2f %.2f %.2f", w / NR, lo, hi, c / NR }'
}

# "wall lo hi cpu" as read by people.
shown() { echo "$1" | awk '{ printf "%.2f s (%.2f-%.2f), processor %.2f s", $1, $2, $3, $4 }'; }

if [ "$only" = maxsize ]; then
    big=$work/big
    mkdir -p "$big"
    photos=(exs_42_IndexError exs_30-type_error exs_landscape_3 exs_22-canon_tags exs_33-type_error
            exs_36-memory_error)
    for name in "${photos[@]}"; do
        [ -f "$big/$name.jpg" ] && continue
        convert "$corpus/jpeg/$name.jpg" -auto-orient -resize '6000x4000!' "$big/$name.png"
        convert "$big/$name.png" -quality 92 "$big/$name.jpg"
    done
    cd "$big"
    files=("${photos[@]/%/.jpg}")
    fresh() { rm -rf "$work/max-out" && mkdir -p "$work/max-out"; }
    echo "${#files[@]} JPEGs of 6000x4000 to PNG into 1920x1920, $runs runs, mean (min-max):"
    t_d=$(timed_runs fresh "$cli" convert --to png --max-size 1920x1920 --output-dir "$work/max-out" "${files[@]}")
    t_1=$(timed_runs fresh "$cli" convert --to png --max-size 1920x1920 --jobs 1 --output-dir "$work/max-out" "${files[@]}")
    t_g=$(timed_runs fresh gm mogrify -output-directory "$work/max-out" -format png -size 1920x1920 -resize 1920x1920 "${files[@]}")
    echo "  morvane-batch (default jobs): $(shown "$t_d")"
    echo "  morvane-batch --jobs 1:       $(shown "$t_1")"
    echo "  gm mogrify:                   $(shown "$t_g")"
    echo "$t_g $t_d $t_1" | awk '{
        printf "  speed-up, wall:      %.2fx (default jobs), %.2fx (--jobs 1)\n", $1 / $5, $1 / $9
        printf "  speed-up, processor: %.2fx (default jobs), %.2fx (--jobs 1)\n", $4 / $8, $4 / $12 }'
    echo "PSNR against the 6000x4000 original scaled by the same filter:"
    for name in "${photos[@]}"; do
        "$bench" scaled 1920x1920 "$name.png" "$name.jpg"
    done
    exit 0
fi

if [ "$only" = formats ]; then
    cd "$work/src"
    # The corpus files, one per name without its type (the command refuses two sources
    # writing one output).
    mapfile -t files < <(ls | grep -Ei '\.(jpg|png|bmp)$' | grep -v '^gen_' |
        awk '{ b = tolower($0); sub(/\.[^.]*$/, "", b); if (!seen[b]++) print }')
    echo "${#files[@]} corpus files to TIFF and WebP, $runs runs, mean (min-max):"
    for target in tiff webp; do
        out=$work/fmt-out
        fresh() { rm -rf "$out" && mkdir -p "$out"; }
        ext=$target; [ "$target" = tiff ] && ext=tif
        t_c=$(timed_runs fresh "$cli" convert --to "$target" --output-dir "$out" "${files[@]}")
        t_i=$(timed_runs fresh mogrify -path "$out" -format "$ext" -quality 90 "${files[@]}")
        t_g=$(timed_runs fresh gm mogrify -output-directory "$out" -format "$ext" -quality 90 "${files[@]}")
        printf '  %-4s morvane-batch %s\n       ImageMagick %s\n       GraphicsMagick %s\n' "$target" \
            "$(shown "$t_c")" "$(shown "$t_i")" "$(shown "$t_g")"
    done
    exit 0
fi

cd "$work/src"
printf '%-5s %6s %14s %14s %14s %14s %9s %9s\n' target files "morvane img/s" "cli img/s" "IM img/s" \
    "GM img/s" ratio "cli ratio"
for target in ${TARGETS:-BMP GIF JPEG PNG}; do
    ext=$(echo "$target" | tr 'A-Z' 'a-z')
    case $target in
        JPEG) skip='\.(jpg|jpeg)$'; ext=jpg; quality=(-quality 90) ;;
        *) skip="\\.$ext\$"; quality=() ;;
    esac
    mapfile -t files < <(ls | grep -Eiv "$skip" | grep -Ei '\.(jpg|jpeg|png|bmp)$')
    n=${#files[@]}
    for tool in morvane cli im gm; do
        rm -rf "$work/out-$tool-$target" && mkdir -p "$work/out-$tool-$target"
    done
    t_m=$(seconds "$bench" run "$target" "$work/out-morvane-$target" "${files[@]/#/$work/src/}")
    # The command refuses a run in which two sources would write one output (photo.jpg and
    # photo.bmp); it gets the first of each such group, as the engine converts.
    mapfile -t cli_files < <(printf '%s\n' "${files[@]}" | awk '{ b = tolower($0); sub(/\.[^.]*$/, "", b); if (!seen[b]++) print }')
    n_c=${#cli_files[@]}
    t_c=$(seconds "$cli" convert --to "$ext" --output-dir "$work/out-cli-$target" --existing overwrite \
        "${cli_files[@]}")
    t_i=$(seconds mogrify -path "$work/out-im-$target" -format "$ext" "${quality[@]}" "${files[@]}")
    t_g=$(seconds gm mogrify -output-directory "$work/out-gm-$target" -format "$ext" "${quality[@]}" "${files[@]}")
    awk -v t="$target" -v n="$n" -v nc="$n_c" -v m="$t_m" -v c="$t_c" -v i="$t_i" -v g="$t_g" 'BEGIN {
        best = (n / i > n / g) ? n / i : n / g
        printf "%-5s %6d %14.2f %14.2f %14.2f %14.2f %8.2fx %8.2fx\n", t, n, n / m, nc / c, n / i, n / g,
            (n / m) / best, (nc / c) / best }'
done

[[ " ${TARGETS:-GIF} " == *" GIF "* ]] || exit 0
echo
echo "GIF quality, mean PSNR against the source (corpus camera photos):"
psnr_sum() { awk '{ s += $2; c++ } END { printf "%.2f dB over %d photos", s / c, c }'; }
for tool in morvane im gm; do
    for source in exs_*.jpg; do
        base=${source%.jpg}
        case $tool in
            morvane) out=$work/out-morvane-GIF/$base.GIF ;;
            *) out=$work/out-$tool-GIF/$base.gif ;;
        esac
        "$bench" psnr "$source" "$out"
    done | psnr_sum | sed "s/^/  $tool: /"
    echo
done
