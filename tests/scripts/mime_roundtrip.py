#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Round trip of every message in the outside corpus through the MIME model.

Every single-message file and every message of every mbox file is brought into the form the
stores hand to the export (CR LF line ends), converted by the tool in one run, and then the source
and the message file are read with Python's email package (policy.default) and compared exactly:
header fields and their values as the package reads them, the tree of parts, and the decoded bytes
of every leaf part. A difference that is not one of the named, intended kinds fails the check.
"""
import argparse
import email
import email.errors
import email.header
import email.policy
import os
import re
import subprocess
import sys
import tempfile

HEADER_LINE = re.compile(rb"^[!-9;-~]+[ \t]*:")


def canonical(data):
    """Lone LF become CR LF, as the stores deliver message sources."""
    return re.sub(rb"(?<!\r)\n", b"\r\n", data)


def split_mbox(data):
    """Messages start at a "From " line at the start or after an empty line."""
    lines = data.split(b"\n")
    messages, current = [], None
    for i, line in enumerate(lines):
        starts = line.startswith(b"From ") and (i == 0 or lines[i - 1].rstrip(b"\r") == b"")
        if starts:
            if current is not None:
                messages.append(current)
            current = []
            continue
        if current is not None:
            unquoted = re.sub(rb"^>(>*From )", rb"\1", line)
            current.append(unquoted)
    if current is not None:
        messages.append(current)
    result = []
    for msg in messages:
        if msg and msg[-1].rstrip(b"\r") == b"":
            msg = msg[:-1]  # the empty line before the next separator
        result.append(b"\n".join(msg) + b"\n")
    return result


def corpus_messages(root):
    for folder, dirs, files in os.walk(root):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(".md") or name.startswith("."):
                continue
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                data = f.read()
            body = data[3:] if data.startswith(b"\xef\xbb\xbf") else data
            rel = os.path.relpath(path, root)
            if body.startswith(b"From "):
                for i, msg in enumerate(split_mbox(body)):
                    yield "%s#%d" % (rel, i + 1), canonical(msg)
            elif HEADER_LINE.match(data):
                yield rel, canonical(data)


def header_items(msg):
    items = []
    for name, value in msg.raw_items():
        try:
            text = str(msg.policy.header_fetch_parse(name, value))
        except Exception as e:  # a value the reader cannot parse: compare it raw
            text = "<unparsed %s> %s" % (type(e).__name__, value)
        items.append((name.lower(), text))
    return items


def tree(msg):
    parts = []
    for part in msg.walk():
        leaf = None
        if not part.is_multipart():
            try:
                leaf = part.get_payload(decode=True)
            except Exception as e:
                leaf = "<undecodable %s>" % type(e).__name__
        parts.append((part.get_content_type(), leaf))
    return parts


def compare(a, b):
    ha, hb = header_items(a), header_items(b)
    names = {n for n, _ in ha}
    # The two leading fields stand in the file only when the source lacks them.
    for leading in ("mime-version", "content-type"):
        if leading not in names and hb and hb[0][0] == leading:
            hb = hb[1:]
    problems = []
    if len(ha) != len(hb):
        problems.append(("header-count", len(ha), len(hb)))
    for (x, y) in zip(ha, hb):
        if x != y:
            problems.append(("header", x, y))
    ta, tb = tree(a), tree(b)
    if [t for t, _ in ta] != [t for t, _ in tb]:
        problems.append(("tree", [t for t, _ in ta], [t for t, _ in tb]))
    else:
        for i, ((t, x), (_, y)) in enumerate(zip(ta, tb)):
            if x != y:
                problems.append(("content", i, t, x, y))
    return problems


DROPPED = "a line that starts with white space where a header field should start is dropped"
TAIL = "the export's closing CR LF CR LF stands after the text of the last part"
# A field's first line: a name of printable ASCII but the colon (none for a stray ":value"),
# blanks allowed before the colon as RFC 5322's obsolete syntax has it.
FIELD_LINE = re.compile(rb"^[!-9;-~]*[ \t]*:")


def split_as_stored(source):
    """The source's header lines as the converter writes them, the rest of the source, whether
    an empty line ended the header (else a line that is no field did, and begins the body), and
    the kinds of change made."""
    lines, kinds, in_field, pos = [], set(), False, 0
    while True:
        end = source.find(b"\r\n", pos)
        line = source[pos:] if end < 0 else source[pos:end]
        if line == b"":
            return lines, source[pos + 2:], True, kinds
        if line[:1] in (b" ", b"\t"):
            if in_field:
                lines.append(line)
            else:
                kinds.add(DROPPED)
        elif line.startswith(b"From "):
            lines.append(line)  # a misplaced envelope line stays, naming no field
            in_field = False
        elif FIELD_LINE.match(line):
            lines.append(line)
            in_field = True
        else:
            return lines, source[pos:], False, kinds
        if end < 0:
            return lines, b"", False, kinds
        pos = end + 2


def expected_file(source):
    """The message file the export is meant to write for a source: the two leading fields where
    the source lacks them, its header lines as stored, the empty line where one ended the header,
    the rest as it came, and the closing CR LF CR LF. Also the kinds of header change made."""
    lines, rest, empty_line, kinds = split_as_stored(source)
    names = {
        l.split(b":", 1)[0].rstrip(b" \t").lower()
        for l in lines
        if FIELD_LINE.match(l) and not l.startswith(b"From ")
    }
    leading = []
    if b"mime-version" not in names:
        leading.append(b"MIME-Version: 1.0")
    if b"content-type" not in names:
        leading.append(b'Content-Type: text/plain; charset="utf-8"')
    header = b"".join(l + b"\r\n" for l in leading + lines)
    return header + (b"\r\n" if empty_line else b"") + rest + b"\r\n\r\n", kinds


def explain(source, stored):
    """The intended kind of a difference, or None: the file must hold exactly the bytes meant
    for it, and the reader then differs only by what those bytes change on purpose."""
    expected, kinds = expected_file(source)
    if stored != expected:
        return None
    return " and ".join(sorted(kinds)) if kinds else TAIL


def summary(payload):
    if isinstance(payload, bytes) and len(payload) > 120:
        return payload[:60] + b"..." + payload[-60:]
    return payload


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--corpus", default="")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    corpus = os.environ.get("PARCELO_CORPUS") or args.corpus
    if not corpus or not os.path.isdir(corpus):
        if os.environ.get("CI") == "true":
            print("corpus missing (set PARCELO_CORPUS)")
            return 1
        print("corpus missing (set PARCELO_CORPUS); skipped")
        return 77

    with tempfile.TemporaryDirectory() as tmp:
        src_dir, out_dir = os.path.join(tmp, "in"), os.path.join(tmp, "out")
        os.mkdir(src_dir)
        os.mkdir(out_dir)
        names = {}
        for n, (label, data) in enumerate(corpus_messages(corpus)):
            file = "%05d.eml" % n
            names[file] = label
            with open(os.path.join(src_dir, file), "wb") as f:
                f.write(data)
        subprocess.run([args.tool, src_dir, out_dir], check=True, stdout=subprocess.DEVNULL)

        identical, exact, skipped, explained, unexplained = 0, 0, [], {}, []
        for file, label in sorted(names.items()):
            with open(os.path.join(src_dir, file), "rb") as f:
                source = f.read()
            out_path = os.path.join(out_dir, file)
            if not os.path.exists(out_path):
                skipped.append(label)
                continue
            with open(out_path, "rb") as f:
                stored = f.read()
            if stored == expected_file(source)[0]:
                exact += 1
            a = email.message_from_bytes(source, policy=email.policy.default)
            b = email.message_from_bytes(stored, policy=email.policy.default)
            problems = compare(a, b)
            if not problems:
                identical += 1
                continue
            reason = explain(source, stored)
            if reason:
                explained.setdefault(reason, []).append(label)
            else:
                unexplained.append((label, problems))

    total = identical + sum(len(v) for v in explained.values()) + len(unexplained)
    print("%d of %d messages identical; %d differ unexplained; %d sources without a CR LF blank "
          "line not exported" % (identical, total, len(unexplained), len(skipped)))
    print("%d of %d files hold exactly the source's bytes, with the leading fields it lacks, the "
          "header changes named below and the closing CR LF CR LF" % (exact, total))
    for reason, labels in explained.items():
        print("%d differ as intended: %s" % (len(labels), reason))
        for label in labels:
            print("    %s" % label)
    for label, problems in unexplained:
        print("UNEXPLAINED %s" % label)
        for p in problems[: (None if args.verbose else 3)]:
            print("    %r" % (tuple(summary(x) for x in p),))
    return 1 if unexplained else 0


if __name__ == "__main__":
    sys.exit(main())
