#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test: the Windows builds
# (64- and 32-bit) under Wine, the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, a short run of each fuzz target, the release zips (built and
# checked: half a minute), and the native unit, end-to-end and fault tests.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
echo "=== format"
clang-format --dry-run --Werror $(git ls-files '*.cpp' '*.h')
# The native suite runs last, so that its summary closes the output.
for preset in win64 win32 asan fuzz release native; do
  echo "=== $preset"
  cmake --workflow --preset "$preset"
done
