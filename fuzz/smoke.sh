#!/usr/bin/env bash
# Short fuzzing pass (about a minute in all): builds the libFuzzer targets
# with clang and runs each for SECONDS (default 30), starting from the seeds
# make_seeds.py draws from the tests and examples and from the minimised
# inputs kept in fuzz/found.
# Any crash, leak, undefined behaviour or hang fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DDOVEX_FUZZ=ON >/dev/null
cmake --build build-fuzz --target fuzz_lines fuzz_script fuzz_dict
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 fuzz/make_seeds.py "$work/lines" "$work/script"
for pair in lines:lines script:scripts; do
  target="${pair%%:*}"
  corpus="$work/$target"
  mkdir -p "$corpus"
  cp fuzz/found/"${pair##*:}"/* "$corpus"/ 2>/dev/null || true
  echo "== fuzz_$target: ${seconds}s over $(ls "$corpus" | wc -l) inputs"
  build-fuzz/fuzz_"$target" -dict=build-fuzz/dovex.dict -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=4096 -artifact_prefix="$work/" -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
done
echo "fuzz smoke pass: no findings"
