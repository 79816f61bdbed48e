#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The files installed beside the programs, checked with Debian's own tools.

The manual pages as built must format without a warning (groff -ww), the desktop entry must pass
desktop-file-validate, the AppStream metainfo appstreamcli validate; the newest release of the
metainfo and the version of debian/changelog must be the project's version.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree


def run(command):
    ran = subprocess.run(command, capture_output=True, text=True, timeout=120)
    return ran.returncode, (ran.stdout + ran.stderr).strip()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--man", nargs="+", required=True)
    parser.add_argument("--metainfo", required=True)
    args = parser.parse_args()

    failures = []
    missing = [t for t in ("groff", "desktop-file-validate", "appstreamcli") if not shutil.which(t)]
    if missing:
        failures.append(f"not installed: {', '.join(missing)} (scripts/install-packages.sh)")
    else:
        for page in args.man:
            code, out = run(["groff", "-man", "-ww", "-z", page])
            if code != 0 or out:
                failures.append(f"groff -ww {page}: {out}")
        desktop = os.path.join(args.source, "res", "parcelo.desktop")
        code, out = run(["desktop-file-validate", desktop])
        if code != 0 or out:
            failures.append(f"desktop-file-validate: {out}")
        code, out = run(["appstreamcli", "validate", "--no-net", args.metainfo])
        if code != 0:
            failures.append(f"appstreamcli validate: {out}")

    releases = ElementTree.parse(args.metainfo).getroot().findall("releases/release")
    newest = releases[0].get("version") if releases else None
    if newest != args.version:
        failures.append(f"the metainfo's newest release is {newest}, the project {args.version}")
    with open(os.path.join(args.source, "debian", "changelog"), encoding="utf-8") as f:
        top = re.match(r"parcelo \(([^)-]+)(?:-[^)]*)?\)", f.readline())
    if not top or top.group(1) != args.version:
        failures.append(f"debian/changelog is at {top and top.group(1)}, the project {args.version}")

    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
