#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test: the native unit
# and end-to-end tests, and the Windows builds (64- and 32-bit) under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# The native suite runs last, so that its summary closes the output.
for preset in win64 win32 native; do
  echo "=== $preset"
  cmake --workflow --preset "$preset"
done
