#!/usr/bin/env bash
# run.sh FUZZER SEED_CORPUS SECONDS [WORK_CORPUS]: runs one fuzz target for SECONDS on the seeds. New
# inputs it finds go to WORK_CORPUS (a fresh scratch folder when not given), never into the seeds;
# an input that breaks the target is kept there as crash-*, and the run fails.
set -euo pipefail
fuzzer=$1 seeds=$2 seconds=$3 work=${4:-}
scratch=
if [ -z "$work" ]; then
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    work=$scratch
fi
mkdir -p "$work"
if ! "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/" "$work" "$seeds"; then
    for crash in "$work"/crash-* "$work"/timeout-* "$work"/oom-*; do
        [ -e "$crash" ] || continue
        echo "breaking input ($crash):"
        od -c "$crash" | head -n 20
        cp "$crash" "${TMPDIR:-/tmp}/" && echo "kept as ${TMPDIR:-/tmp}/$(basename "$crash")"
    done
    exit 1
fi
