#!/usr/bin/env python3
"""Reads every message file of an export with Python's email package and checks it against the
source message it came from, for a run with reduced headers or attachments.

Each file must parse without defects; its header fields (apart from MIME-Version and the
Content- fields) must be the source's, in order, filtered by the header mode; its plain-text and
HTML bodies must decode to the source's last ones; its attachments must be exactly the source's
selected ones, each decoding to the source's bytes. Exit 0 when every file passes, 1 otherwise.
"""
import argparse
import email
import email.policy
import mailbox
import os
import re
import sys


def canonical(data):
    """As the store hands a message over: ">From " lines lose one ">", line ends are CR LF."""
    data = re.sub(rb"(?m)^>(>*From )", rb"\1", data)
    return re.sub(rb"(?<!\r)\n", b"\r\n", data)


def source_messages(store):
    for folder, dirs, files in os.walk(store):
        for name in files:
            path = os.path.join(folder, name)
            if name.endswith(".msf"):
                continue
            with open(path, "rb") as f:
                head = f.read(5)
            if head != b"From ":
                continue
            box = mailbox.mbox(path, create=False)
            for key in box.keys():
                yield email.message_from_bytes(canonical(box.get_bytes(key)),
                                               policy=email.policy.default)


def kept_headers(msg, mode, names):
    wanted = {n.lower() for n in names}
    result = []
    for name, value in msg.items():
        lower = name.lower()
        if lower == "mime-version" or lower.startswith("content-"):
            continue
        if mode == 2 or (mode == 1 and lower in wanted):
            result.append((lower, " ".join(str(value).split())))
    return result


def attachment_name(part):
    return part.get_param("name") or part.get_filename()


def bodies(msg):
    plain = html = None
    attachments = []
    for part in msg.walk():
        if part.is_multipart():
            continue
        name = attachment_name(part)
        if name:
            attachments.append((name, part.get_payload(decode=True)))
        elif part.get_content_type() == "text/plain":
            plain = part.get_payload(decode=True)
        elif part.get_content_type() == "text/html":
            html = part.get_payload(decode=True)
    return plain, html, attachments


def problems_against(exported, source, args):
    problems = []
    got = kept_headers(exported, 2, [])
    want = kept_headers(source, args.headers, args.header_names)
    if got != want:
        problems.append("headers %r, expected %r" % (got, want))
    plain, html, attachments = bodies(exported)
    source_plain, source_html, source_attachments = bodies(source)
    if plain != source_plain:
        problems.append("plain text %r, expected %r" % (plain, source_plain))
    if html != source_html:
        problems.append("html %r, expected %r" % (html, source_html))
    selected = [(n, b) for n, b in source_attachments
                if args.attachments == 2 or (args.attachments == 1 and n in args.attachment_names)]
    if attachments != selected:
        problems.append("attachments %r, expected %r" % ([n for n, _ in attachments],
                                                         [n for n, _ in selected]))
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--store", required=True)
    parser.add_argument("--dest", required=True)
    parser.add_argument("--headers", type=int, required=True)
    parser.add_argument("--header-names", default="")
    parser.add_argument("--attachments", type=int, required=True)
    parser.add_argument("--attachment-names", default="")
    parser.add_argument("--min-files", type=int, default=1)
    args = parser.parse_args()
    args.header_names = [n for n in args.header_names.split(",") if n]
    args.attachment_names = [n for n in args.attachment_names.split(",") if n]

    sources = {}
    for msg in source_messages(args.store):
        key = (str(msg.get("Subject", "")), str(msg.get("From", "")))
        sources.setdefault(key, []).append(msg)

    failures = 0
    files = 0
    with_attachments = 0
    for folder, _, names in os.walk(args.dest):
        for name in sorted(names):
            files += 1
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                exported = email.message_from_bytes(f.read(), policy=email.policy.default)
            defects = [d for part in exported.walk() for d in part.defects]
            if defects:
                print("%s: not well-formed: %r" % (path, defects))
                failures += 1
                continue
            if bodies(exported)[2]:
                with_attachments += 1
            key = (str(exported.get("Subject", "")), str(exported.get("From", "")))
            candidates = sources.get(key, [])
            reports = [problems_against(exported, source, args) for source in candidates]
            if not candidates or all(reports):
                print("%s: %s" % (path, reports[0] if reports else "no source message"))
                failures += 1
    print("%d files, %d with attachments, %d failures" % (files, with_attachments, failures))
    if files < args.min_files:
        print("expected at least %d files" % args.min_files)
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
