#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Time of `parcelo-cli export --set ActionDelete=1` over many one-message mboxes in one folder.

Usage: bench/delete-siblings.py [--cli PATH] [--counts 2000 8000] [--tmp DIR]

Each count gets a fresh store of that many sibling mboxes of one message each; the export
deletes every message, so each mailbox is changed once. Prints the wall time per count and
checks that every message was exported and every mailbox left empty.
"""
import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

MESSAGE = ("From a@example.org Mon Jan  1 00:00:00 2024\n"
           "From: a@example.org\nTo: b@example.org\nSubject: note {i}\n"
           "Date: Mon, 1 Jan 2024 00:00:00 +0000\nMessage-ID: <{i}@example.org>\n\n"
           "Body {i}.\n\n")


def run(cli, count, work):
    root = pathlib.Path(work) / str(count)
    store = root / "Local Folders"
    store.mkdir(parents=True)
    (root / "out").mkdir()
    for i in range(count):
        (store / f"Box{i:05d}").write_text(MESSAGE.format(i=i))
    env = dict(os.environ, XDG_CONFIG_HOME=str(root / "config"), XDG_DATA_HOME=str(root / "data"),
               TZ="UTC")
    start = time.monotonic()
    done = subprocess.run([cli, "export", "--store", str(store), "--dest", str(root / "out"),
                           "--app-folder", str(root / "app"), "--set", "ActionDelete=1"],
                          env=env, capture_output=True, text=True)
    seconds = time.monotonic() - start
    left = sum(1 for p in store.iterdir() if p.is_file() and p.stat().st_size > 0)
    written = sum(len(files) for _, _, files in os.walk(root / "out"))
    ok = done.returncode == 0 and left == 0 and written == count
    if not ok:
        print(done.stderr[-2000:], file=sys.stderr)
    shutil.rmtree(root)
    return seconds, ok


def main():
    here = pathlib.Path(__file__).resolve().parent.parent
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", default=str(here / "build/default/parcelo-cli"))
    parser.add_argument("--counts", type=int, nargs="+", default=[2000, 8000])
    parser.add_argument("--tmp", default=None)
    args = parser.parse_args()
    failed = False
    with tempfile.TemporaryDirectory(dir=args.tmp) as work:
        for count in args.counts:
            seconds, ok = run(args.cli, count, work)
            failed |= not ok
            print(f"{count} mailboxes: {seconds:.1f} s{'' if ok else '  (FAILED)'}", flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
