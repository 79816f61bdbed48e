#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Keeps the Build-Depends of debian/control in step with scripts/packages.txt.

The Build-Depends are debhelper-compat and every package of the list that is not marked
"# not in Build-Depends", less those of build-essential, which every Debian build has.
  scripts/build-depends.py           prints them
  scripts/build-depends.py --check   exits 1, naming the differences, when debian/control differs
  scripts/build-depends.py --write   writes them into debian/control
"""
import argparse
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEBHELPER = "debhelper-compat (= 13)"
BUILD_ESSENTIAL = {"build-essential", "dpkg-dev", "g++", "gcc", "libc6-dev", "make"}
MARK = "not in Build-Depends"
FIELD = re.compile(r"^Build-Depends:.*\n(?:[ \t].*\n)*", re.MULTILINE)


def wanted(packages_txt):
    names = []
    with open(packages_txt, encoding="utf-8") as f:
        for line in f:
            name, _, comment = line.partition("#")
            name = name.strip()
            if name and MARK not in comment and name not in BUILD_ESSENTIAL:
                names.append(name)
    return [DEBHELPER] + sorted(set(names))


def declared(control_text):
    match = FIELD.search(control_text)
    if not match:
        return None
    value = match.group(0).split(":", 1)[1]
    return [entry.strip() for entry in value.split(",") if entry.strip()]


def field(entries):
    return "Build-Depends:\n" + "".join(f" {entry},\n" for entry in entries)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--packages", default=os.path.join(ROOT, "scripts", "packages.txt"))
    parser.add_argument("--control", default=os.path.join(ROOT, "debian", "control"))
    action = parser.add_mutually_exclusive_group()
    action.add_argument("--check", action="store_true")
    action.add_argument("--write", action="store_true")
    args = parser.parse_args()

    entries = wanted(args.packages)
    if not args.check and not args.write:
        sys.stdout.write(field(entries))
        return 0
    with open(args.control, encoding="utf-8") as f:
        control = f.read()
    present = declared(control)
    if present is None:
        print(f"{args.control}: no Build-Depends field", file=sys.stderr)
        return 1
    if args.write:
        with open(args.control, "w", encoding="utf-8") as f:
            f.write(FIELD.sub(lambda _: field(entries), control, count=1))
        return 0
    missing = [e for e in entries if e not in present]
    extra = [e for e in present if e not in entries]
    if not missing and not extra:
        return 0
    for entry in missing:
        print(f"{args.control}: Build-Depends lacks {entry} (listed in {args.packages})",
              file=sys.stderr)
    for entry in extra:
        print(f"{args.control}: Build-Depends has {entry}, which {args.packages} does not list",
              file=sys.stderr)
    print("run scripts/build-depends.py --write", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
