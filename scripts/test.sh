#!/usr/bin/env bash
# Set-up, every build and every test: native, under the sanitizers, the fuzz targets' replay,
# and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
jobs=$(nproc)
status=0

echo "=== format: clang-format over the tracked sources"
if ! git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror; then
  echo "format: run clang-format -i on the files above" >&2
  status=1
fi

for preset in native native-sanitize fuzz windows; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
for preset in native native-sanitize fuzz windows; do
  echo "=== $preset: test"
  ctest --preset "$preset" -j "$jobs" || status=1
done
exit $status
