#!/usr/bin/env python3
"""Round trip of every message in the outside corpus through the MIME model.

Every single-message file and every message of every mbox file is brought into the form the
stores hand to the export (CR LF line ends), converted by the tool in one run, and then the source
and the message file are read with Python's email package (policy.default) and compared: header
fields and their decoded values, the tree of parts, and the decoded bytes of every leaf part.
"""
import argparse
import base64
import binascii
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
            text = "<unparsed %s>" % type(e).__name__
        items.append((name.lower(), " ".join(text.split())))
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


def rfc2047_text(raw):
    """A header value read by the RFC 2047 decoder of the email package (which drops white space
    between adjacent encoded words), with quotes and white space runs disregarded."""
    value = "".join(re.split(r"\r?\n", str(raw)))
    text = []
    try:
        for chunk, charset in email.header.decode_header(value):
            if isinstance(chunk, bytes):
                chunk = chunk.decode(charset or "latin-1", "replace") if charset else \
                    chunk.decode("latin-1")
            text.append(chunk)
    except (LookupError, email.errors.HeaderParseError):
        return value
    return " ".join("".join(text).replace('"', "").replace("\\", "").split())


def explain(a, b, problems):
    """Why a difference is what the conversion intends, or None."""
    if any(isinstance(d, email.errors.MissingHeaderBodySeparatorDefect) for d in a.defects):
        return ("a header line the reader takes for the start of the body is a header field to "
                "the converter (name without colon, or white space before the colon)")
    kinds = {p[0] for p in problems}
    if kinds == {"header"}:
        raw_a = [v for n, v in a.raw_items()]
        raw_b = [v for n, v in b.raw_items()]
        raw_b = raw_b[len(raw_b) - len(raw_a):]
        if all(rfc2047_text(x) == rfc2047_text(y) for x, y in zip(raw_a, raw_b)):
            return ("the reader keeps white space between adjacent encoded words or does not "
                    "decode them; the RFC 2047 decoder reads the same text in both")
    if kinds == {"content"}:
        if a.get_content_maintype() == "message" and \
                str(a.get("content-transfer-encoding", "")).strip().lower() == "base64":
            if decoded_body(a) == decoded_body(b):
                return ("a base64 message/rfc822 body is written in lines of 76 characters; the "
                        "reader does not decode it, the decoded bytes are the same")
        if all(isinstance(p[4], bytes) and p[4] and p[3].startswith(p[4]) for p in problems):
            return ("the base64 text goes on after its \"=\" padding; the data ends there "
                    "(RFC 2045 6.8), the reader decodes the bytes after it too")
    return None


def decoded_body(msg):
    raw = msg.get_payload(decode=False)
    if not isinstance(raw, str):
        raw = "".join(p.as_string() for p in raw)
    return base64.b64decode(re.sub(r"[^A-Za-z0-9+/]", "", raw.split("=")[0]) + "===")


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

        identical, skipped, explained, unexplained = 0, [], {}, []
        for file, label in sorted(names.items()):
            with open(os.path.join(src_dir, file), "rb") as f:
                source = f.read()
            out_path = os.path.join(out_dir, file)
            if not os.path.exists(out_path):
                skipped.append(label)
                continue
            with open(out_path, "rb") as f:
                stored = f.read()
            a = email.message_from_bytes(source, policy=email.policy.default)
            b = email.message_from_bytes(stored, policy=email.policy.default)
            problems = compare(a, b)
            if not problems:
                identical += 1
                continue
            reason = explain(a, b, problems)
            if reason:
                explained.setdefault(reason, []).append(label)
            else:
                unexplained.append((label, problems))

    total = identical + sum(len(v) for v in explained.values()) + len(unexplained)
    print("%d of %d messages identical; %d sources without a CR LF blank line not exported"
          % (identical, total, len(skipped)))
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
