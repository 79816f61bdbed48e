#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from this tree (as it is, uncommitted changes included), runs the
# test suite in its build, and checks the result with lintian.
# Usage: scripts/package.sh [--no-check]   (--no-check: neither builds nor runs the tests)
# The .deb and its .changes end up in build/package/.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
read -ra options <<<"${DEB_BUILD_OPTIONS:-}"
case "${1:-}" in
    --no-check) options+=(nocheck) ;;
    "") ;;
    *) echo "usage: $0 [--no-check]" >&2; exit 2 ;;
esac

"$root/scripts/install-packages.sh"
"$root/scripts/build-depends.py" --check

version="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)"
out="$root/build/package"
tree="$out/parcelo-$version"
# dpkg-buildpackage writes beside the tree it builds: a copy under build/ keeps it all there.
rm -rf "$out"
mkdir -p "$tree"
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git -C "$root" ls-files -z --cached --others --exclude-standard |
        tar -C "$root" --null --no-recursion --ignore-failed-read -T - -cf - | tar -xf - -C "$tree"
else
    tar -C "$root" --exclude=./build -cf - . | tar -xf - -C "$tree"
fi

# The outside test corpus, where it lies beside the tree, serves the tests of the copy too.
if [ -z "${PARCELO_CORPUS:-}" ] && [ -d "$root/../shared/corpus" ]; then
    PARCELO_CORPUS="$(cd "$root/../shared/corpus" && pwd)"
    export PARCELO_CORPUS
fi
options+=("parallel=$(nproc)")
(cd "$tree" && DEB_BUILD_OPTIONS="${options[*]}" dpkg-buildpackage -b -us -uc)

deb="$(ls "$out"/parcelo_"$version"_*.deb)"
# The package holds every file that the build installed, as installed (manual pages gzipped).
contents="$(dpkg-deb -c "$deb" | sed -E 's|^([^ ]+ +){5}\.||')"
missing=()
while IFS= read -r path || [ -n "$path" ]; do
    path="${path#"$tree/debian/parcelo"}"
    case "$path" in /usr/share/man/*) path="$path.gz" ;; esac
    grep -qxF -- "$path" <<<"$contents" || missing+=("$path")
done <"$tree/obj-$(dpkg-architecture -qDEB_HOST_GNU_TYPE)/install_manifest.txt"
if [ ${#missing[@]} -gt 0 ]; then
    printf 'not in the package as installed: %s\n' "${missing[@]}" >&2
    exit 1
fi

lintian --fail-on error,warning --display-info "$out"/parcelo_"$version"_*.changes
echo "Built: $deb"
