#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Export throughput of parcelo-cli on a generated mbox of mixed messages.

Usage: scripts/export-throughput.py [--messages N] [--runs R] [--cli PATH] [--baseline PATH]
                                    [--tmp DIR]
The mbox holds, in turn, plain 7bit messages, single-part quoted-printable and base64 messages
and multipart messages with a base64 attachment, with encoded words in From and Subject. Each
build exports it R times (runs of two builds alternate, so that load on the machine falls on
both alike), each run into a fresh folder; the figures are the best run's user CPU time (the
program's own work), system CPU time (mostly creating the files) and wall time. A tmpfs folder
as --tmp (/dev/shm) keeps the file system's costs out of the comparison.
"""
import argparse
import base64
import os
import pathlib
import quopri
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent


def message(i):
    head = (b"From: =?utf-8?Q?J=C3=B6rg_Sender_%d?= <s%d@example.com>\n"
            b"To: =?iso-8859-1?Q?M=FCller?= <m@example.org>, other@example.org\n"
            b"Subject: =?utf-8?B?R3LDvMOfZSBhdXMgTcO8bmNoZW4=?= %d\n"
            b"Date: Mon, 05 Jan 2009 10:%02d:00 +0000\n"
            b"Message-ID: <%d@example.com>\n" % (i % 97, i % 97, i, i % 60, i))
    text = ("Grüße aus München, Zeile %d. " * 40 + "\n") % tuple(range(40))
    text = (text * 12).encode("utf-8")
    kind = i % 4
    if kind == 0:
        return head + b"\n" + (b"plain line of seven bit text\n" * 300)
    if kind == 1:
        return (head + b"Content-Type: text/plain; charset=utf-8\n"
                b"Content-Transfer-Encoding: quoted-printable\n\n" + quopri.encodestring(text))
    if kind == 2:
        return (head + b"Content-Type: text/plain; charset=utf-8\n"
                b"Content-Transfer-Encoding: base64\n\n" + base64.encodebytes(text))
    attachment = base64.encodebytes(bytes(range(256)) * 120)
    return (head + b"MIME-Version: 1.0\n"
            b"Content-Type: multipart/mixed; boundary=\"b%d\"\n\n"
            b"--b%d\nContent-Type: text/plain\n\nSee the attachment.\n"
            b"--b%d\nContent-Type: application/octet-stream; name=\"data.bin\"\n"
            b"Content-Transfer-Encoding: base64\n\n%s--b%d--\n" % (i, i, i, attachment, i))


def write_mbox(path, count):
    with open(path, "wb") as f:
        for i in range(count):
            f.write(b"From - Mon Jan 05 10:00:00 2009\n")
            f.write(message(i))
            f.write(b"\n")


def run_once(cli, store, tmp, n):
    # Fresh folders: files deleted just before make creating new ones slower on some file systems.
    out = tmp / ("out%d" % n)
    out.mkdir()
    app = tmp / ("app%d" % n)
    env = dict(os.environ, XDG_CONFIG_HOME=str(tmp / "config"), XDG_DATA_HOME=str(tmp / "data"),
               TZ="UTC")
    cmd = [cli, "export", "--store", str(store), "--dest", str(out), "--app-folder", str(app),
           "--set", "FolderOption=0", "--set", "FileOption=0", "--set", "AntiDateFiles=0"]
    start = time.monotonic()
    pid = os.fork()
    if pid == 0:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, 1)
        os.execvpe(cmd[0], cmd, env)
    _, status, usage = os.wait4(pid, 0)
    wall = time.monotonic() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("export failed: %s" % " ".join(cmd))
    files = sum(1 for _ in out.iterdir())
    return usage.ru_utime, usage.ru_stime, wall, files


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--messages", type=int, default=4000)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--cli", default=str(ROOT / "build/default/parcelo-cli"))
    parser.add_argument("--baseline", help="another parcelo-cli to compare with")
    parser.add_argument("--tmp", help="folder for the mbox and the exported files")
    args = parser.parse_args()
    builds = [("baseline", args.baseline)] if args.baseline else []
    builds.append(("this build", args.cli))
    with tempfile.TemporaryDirectory(prefix="parcelo-throughput.", dir=args.tmp) as tmp:
        tmp = pathlib.Path(tmp)
        store = tmp / "store"
        store.mkdir()
        write_mbox(store / "Inbox", args.messages)
        size = (store / "Inbox").stat().st_size
        print("mbox %.1f MB, %d messages" % (size / 1e6, args.messages))
        inf = float("inf")
        best = {name: [inf, inf, inf, 0] for name, _ in builds}
        n = 0
        for _ in range(args.runs):
            for name, cli in builds:
                n += 1
                result = run_once(cli, store, tmp, n)
                b = best[name]
                best[name] = [min(b[0], result[0]), min(b[1], result[1]), min(b[2], result[2]),
                              result[3]]
        for name, _ in builds:
            user, system, wall, files = best[name]
            print("%-10s %5d files: user CPU %6.2f s (%6.0f msg/s, %6.1f MB/s), system CPU %6.2f s, "
                  "wall %6.2f s" % (name, files, user, args.messages / user, size / 1e6 / user,
                                     system, wall))


if __name__ == "__main__":
    main()
