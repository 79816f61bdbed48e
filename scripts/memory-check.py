#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Peak memory of parcelo-cli exports of a generated mbox and of one ten times larger.

Usage: scripts/memory-check.py [--messages N] [--cli PATH]
Prints the peak resident size (VmHWM, from the kernel's accounting of the child) of each run:
it should stay flat as the mailbox grows, bounded by the largest message.
"""
import argparse
import os
import pathlib
import resource
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent


def write_mbox(path, count, body_kb=10):
    line = ("0123456789abcdef" * 4 + "\n").encode()
    body = line * (body_kb * 1024 // len(line))
    with open(path, "wb") as f:
        for i in range(count):
            f.write(b"From - Mon Jan 05 10:00:00 2009\n")
            f.write(b"From: Sender %d <s%d@example.com>\n" % (i % 97, i % 97))
            f.write(b"To: someone@example.org\n")
            f.write(b"Subject: Generated message %d\n" % i)
            f.write(b"Date: Mon, 05 Jan 2009 10:00:00 +0000\n")
            f.write(b"Message-ID: <%d@example.com>\n\n" % i)
            f.write(body)
            f.write(b"\n")


def peak_kib(cmd, env):
    # ru_maxrss of the children is the peak resident size (VmHWM) of the one child run.
    pid = os.fork()
    if pid == 0:
        os.execvpe(cmd[0], cmd, env)
    _, status, usage = os.wait4(pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("export failed: %s" % " ".join(cmd))
    return usage.ru_maxrss


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--messages", type=int, default=2000)
    parser.add_argument("--cli", default=str(ROOT / "build/default/parcelo-cli"))
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="parcelo-memory.") as tmp:
        tmp = pathlib.Path(tmp)
        env = dict(os.environ, XDG_CONFIG_HOME=str(tmp / "config"), XDG_DATA_HOME=str(tmp / "data"), TZ="UTC")
        for factor in (1, 10):
            count = args.messages * factor
            store = tmp / ("store%d" % factor)
            store.mkdir()
            mbox = store / "Inbox"
            write_mbox(mbox, count)
            out = tmp / ("out%d" % factor)
            out.mkdir()
            start = time.monotonic()
            kib = peak_kib([args.cli, "export", "--store", str(store), "--dest", str(out),
                            "--app-folder", str(tmp / "app"), "--set", "FolderOption=0",
                            "--set", "AntiDateFiles=0"], env)
            seconds = time.monotonic() - start
            files = sum(1 for _ in out.iterdir())
            print("mbox %7.1f MB, %6d messages, %6d files: peak %7.1f MB (VmHWM), %.1f s"
                  % (mbox.stat().st_size / 1e6, count, files, kib / 1024, seconds))
            shutil.rmtree(out)
            shutil.rmtree(store)


if __name__ == "__main__":
    main()
