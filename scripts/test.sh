#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs every test through CTest.
# Usage: scripts/test.sh [preset]   (default; asan for the address sanitizer build; tsan for the
# export tests under ThreadSanitizer)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
preset="${1:-default}"
"$root/scripts/install-packages.sh"
"$root/scripts/build.sh" "$preset"
cd "$root"
ctest --preset "$preset" -j "$(nproc)"
