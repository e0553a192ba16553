#!/usr/bin/env bash
# Runs one libFuzzer target for a number of seconds from its seed corpus; new inputs go to a scratch
# folder, not the seeds. Prints the target's last lines in one piece (targets run side by side) and
# exits with the target's status: a crash, leak, undefined behaviour or an input slower than 10 s fails.
set -uo pipefail
target=$1 seconds=$2 build=$3
name=$(basename "$target")
scratch=$(mktemp -d)
out=$(UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 "$target" -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/$name-" \
  "$scratch" "tests/data/corpus/$name" 2>&1)
status=$?
rm -rf "$scratch"
printf 'fuzz: %s for %s s, exit %d\n%s\n' "$name" "$seconds" "$status" "$(printf '%s\n' "$out" | tail -n 12)"
exit $status
