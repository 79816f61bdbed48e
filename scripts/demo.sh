#!/usr/bin/env bash
# Installs what is missing, builds, and exports a copy of the sample store with parcelo-cli.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-packages.sh"
"$root/scripts/build.sh" default
cli="$root/build/default/src/cli/parcelo-cli"
[ -x "$cli" ] || cli="$root/build/default/parcelo-cli"

work="$(mktemp -d "${TMPDIR:-/tmp}/parcelo-demo.XXXXXX")"
cp -R "$root/examples/Local Folders" "$root/examples/Maildir" "$work/"
mkdir -p "$work/out" "$work/app"
# Settings of our own, so the demo never reads or writes the user's.
export XDG_CONFIG_HOME="$work/config"

for store in "Local Folders" Maildir; do
    echo "Folder tree of the sample store '$store':"
    "$cli" tree --store "$work/$store"
    echo "Exporting it..."
    "$cli" export --store "$work/$store" --dest "$work/out" --app-folder "$work/app" "$@"
    echo
done
echo
echo "Message files: $work/out"
echo "Export log:    $work/app/Parcelo.log"
echo "Index page:    $work/app/Index.htm"
