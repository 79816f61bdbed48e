#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and opens the window on a copy of the sample store when a
# display is there; otherwise exports that copy with parcelo-cli.
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

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    window="$root/build/default/parcelo"
    # The demo starts with its output folder as the destination.
    mkdir -p "$XDG_CONFIG_HOME/Parcelo"
    printf '[Destination]\nFolderPath=%s/out/\n' "$work" >"$XDG_CONFIG_HOME/Parcelo/Parcelo.ini"
    echo "Opening the window on a copy of the sample store: $work/Local Folders"
    echo "Tick folders, press Export Messages; message files go to $work/out"
    exec "$window" --store "$work/Local Folders" --app-folder "$work/app"
fi

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
