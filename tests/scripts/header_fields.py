#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The header of every file in the outside corpus, read by the store and by the MIME model.

The tool prints the fields each reader finds in a file; both must be the fields Python's email
package (BytesHeaderParser) finds, in order, with the same values once unfolded. Python breaks
lines at a CR without LF and ends the header at a name followed by white space before its
colon; the readers follow RFC 5322's obsolete syntax there instead, so files with such lines in
their header are counted apart and not compared.
"""
import argparse
import email.parser
import email.policy
import os
import re
import shutil
import subprocess
import sys
import tempfile

OBSOLETE = re.compile(rb"^[!-9;-~]+[ \t]+:|\r(?!\n|$)")
WHITE = b" \t\n\x0b\x0c\r"


def python_fields(data):
    msg = email.parser.BytesHeaderParser(policy=email.policy.compat32).parsebytes(data)
    fields = []
    for name, value in msg._headers:
        raw = value.encode("ascii", "surrogateescape")
        raw = raw.replace(b"\r\n", b"").replace(b"\n", b"").strip(WHITE)
        fields.append((name.encode("ascii", "surrogateescape"), raw))
    return fields


def has_obsolete_syntax(data):
    for line in data.split(b"\n"):
        if line.rstrip(b"\r") == b"":
            return False
        if OBSOLETE.search(line):
            return True
    return False


def parse_tool_fields(text):
    fields = []
    for pair in text.split(",")[:-1]:
        name, value = pair.split("=")
        fields.append((bytes.fromhex(name), bytes.fromhex(value)))
    return fields


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--corpus", default="")
    args = parser.parse_args()
    corpus = os.environ.get("PARCELO_CORPUS") or args.corpus
    if not corpus or not os.path.isdir(corpus):
        if os.environ.get("CI") == "true":
            print("corpus missing (set PARCELO_CORPUS)")
            return 1
        print("corpus missing (set PARCELO_CORPUS); skipped")
        return 77

    with tempfile.TemporaryDirectory() as tmp:
        labels, sources = {}, {}
        for folder, dirs, files in os.walk(corpus):
            dirs.sort()
            for name in sorted(files):
                if name.endswith(".md") or name.startswith("."):
                    continue
                path = os.path.join(folder, name)
                copy = "%05d" % len(labels)
                shutil.copyfile(path, os.path.join(tmp, copy))
                labels[copy] = os.path.relpath(path, corpus)
                with open(path, "rb") as f:
                    sources[copy] = f.read()
        out = subprocess.run([args.tool, tmp], check=True, capture_output=True).stdout

    compared, obsolete, wrong = 0, [], []
    for line in out.decode("ascii").splitlines():
        copy, store, mime = line.split("\t")
        data = sources[copy]
        if has_obsolete_syntax(data):
            obsolete.append(labels[copy])
            continue
        compared += 1
        expected = python_fields(data)
        for reader, text in (("store", store), ("file", mime)):
            fields = parse_tool_fields(text)
            if fields != expected:
                wrong.append((labels[copy], reader, fields, expected))
    print("%d files compared, %d read differently; %d with obsolete syntax not compared"
          % (compared, len(wrong), len(obsolete)))
    for label in obsolete:
        print("    obsolete syntax: %s" % label)
    for label, reader, fields, expected in wrong:
        print("DIFFERENT %s (%s)" % (label, reader))
        got = [n for n, _ in fields]
        want = [n for n, _ in expected]
        if got != want:
            print("    names %r, Python %r" % (got[:12], want[:12]))
        else:
            for (n, v), (_, w) in zip(fields, expected):
                if v != w:
                    print("    %r: %r, Python %r" % (n, v[:80], w[:80]))
                    break
    return 1 if wrong or compared == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
