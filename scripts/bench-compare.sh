#!/bin/sh
# Compares the interpreter benchmarks of two builds, run interleaved so that both see the same load:
#   scripts/bench-compare.sh BASE_BUILD_DIR NEW_BUILD_DIR [ROUNDS]
# Each round runs every benchmark once in the base build and once in the new one; the medians of the
# rounds (CPU time) are printed side by side. Build both with -DCMAKE_BUILD_TYPE=Release, e.g. for the base:
#   git worktree add ../base COMMIT && cmake -S ../base -B ../base/build-bench -G Ninja \
#     -DCMAKE_BUILD_TYPE=Release && ninja -C ../base/build-bench bench_scan_blocks bench_play_fast bench_steppers
set -eu
base=$1
new=$2
rounds=${3:-5}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for r in $(seq 1 "$rounds"); do
    for b in bench_scan_blocks bench_play_fast bench_steppers; do
        for side in base new; do
            dir=$base
            [ "$side" = new ] && dir=$new
            "$dir/bench/$b" --benchmark_format=csv 2>/dev/null | grep '^"BM_' |
                awk -F, -v s="$side" -v b="$b" '{gsub(/"/, "", $1); print b, $1, s, $4, $5}' >> "$out/all"
        done
    done
done
# Median CPU time per benchmark and side (the machine may be shared: CPU time moves less with load).
printf '%-20s %-32s %14s %14s %8s\n' program benchmark "base median" "new median" change
sort "$out/all" | awk '
    { key = $1 " " $2; v[key, $3, ++n[key, $3]] = $4; unit[key] = $5; keys[key] = 1 }
    function median(key, side,   i, j, t, c, a) {
        c = n[key, side]
        for (i = 1; i <= c; i++) a[i] = v[key, side, i]
        for (i = 1; i <= c; i++) for (j = i + 1; j <= c; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
        return c % 2 ? a[(c + 1) / 2] : (a[c / 2] + a[c / 2 + 1]) / 2
    }
    END {
        for (k in keys) {
            b = median(k, "base"); m = median(k, "new")
            split(k, p, " ")
            printf "%-20s %-32s %11.3f %s %11.3f %s %+7.1f%%\n", p[1], p[2], b, unit[k], m, unit[k], (m - b) / b * 100
        }
    }'
