#!/usr/bin/env bash
# Runs every benchmark executable the build produced (bench/*/ folders).
set -euo pipefail
build=${1:-build}
found=0
for exe in $(find "$build/bench" -type f -executable -name 'bench_*' 2>/dev/null | sort); do
  found=1
  echo "== $(basename "$exe")"
  "$exe"
done
for script in $(find "$build/bench" -type f -name 'bench_*.sh' 2>/dev/null | sort); do
  found=1
  echo "== $(basename "$script")"
  bash "$script"
done
[ $found -eq 1 ] || echo "no benchmarks built"
