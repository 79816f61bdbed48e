#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest.
# Usage: scripts/test.sh [preset]   (default, or asan for the sanitizer build)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
preset="${1:-default}"
"$root/scripts/install-packages.sh"
"$root/scripts/build.sh" "$preset"
cd "$root"
ctest --preset "$preset" -j "$(nproc)"
