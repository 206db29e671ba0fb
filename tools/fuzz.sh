#!/usr/bin/env bash
# Runs each libFuzzer target for a bounded time, keeping a corpus per target.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-60}
here=$(cd "$(dirname "$0")/.." && pwd)
for exe in $(find "$build/fuzz" -type f -executable -name 'fuzz_*' | sort); do
  name=$(basename "$exe")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  seeds="$here/fuzz/seeds/$name"
  echo "== $name for ${seconds}s"
  if [ -d "$seeds" ]; then
    "$exe" -max_total_time="$seconds" -timeout=10 "$corpus" "$seeds"
  else
    "$exe" -max_total_time="$seconds" -timeout=10 "$corpus"
  fi
done
