#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads the message files of exports with header or attachment choices with Python's email
package and checks each against the file the whole export wrote for the same message, by the
package's own reading of mail: get_body() for the readable bodies, walk() for the leaf parts and
their decoded bytes, get_filename() for attachment names.

Two ways to run it:

  --whole DIR --dest DIR ...   two exports of one store, the first with both choices "All";
                               files are paired by their paths; every file must pass.
  --corpus DIR --cli PATH      every message of the outside corpus, each alone in a mail folder of
                               a Maildir, exported whole, with attachments "None", with headers
                               "Some" and attachments "All", and (given --attachment-names) with
                               attachments "Some"; prints the share of messages that pass each,
                               and fails below --min-share.

A file passes when it parses without defects the whole file does not have; its top-level
fields are those of the whole file, in order, that the header choice names, and MIME-Version and
the Content- fields (unless nothing of the content stayed); under attachments "All" its leaf
parts are the whole file's, each of the same type and decoded bytes. Otherwise its leaf parts are
some of the whole file's, unchanged, and its plain and HTML bodies are the whole file's; under
"Some" every part named in the list is kept (signed and encrypted entities count whole, as
RFC 1847 makes them), and an unlisted named part only when attachments "None" keep it too.
"""
import argparse
import email
import email.policy
import email.utils
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from mime_roundtrip import corpus_messages  # noqa: E402


def parse(data):
    return email.message_from_bytes(data, policy=email.policy.default)


def payload(part):
    try:
        return part.get_payload(decode=True)
    except Exception as e:  # a payload the package cannot decode: compare how it fails
        return "<undecodable %s>" % type(e).__name__


def leaves(msg):
    """Every part that is not a container, as its type and decoded bytes, in order; none for a
    message that is only a header."""
    if not msg.is_multipart() and "content-type" not in msg and not payload(msg):
        return []
    return [(p.get_content_type(), payload(p)) for p in msg.walk() if not p.is_multipart()]


def defects(msg):
    return {type(d).__name__ for part in msg.walk() for d in part.defects}


def body(msg, kind):
    try:
        part = msg.get_body(preferencelist=kind)
    except Exception as e:
        return "<no body: %s>" % type(e).__name__
    # An empty text reads as no text at all.
    return None if part is None or not payload(part) else (part.get_content_type(), payload(part))


def readable(msg):
    """The plain and the HTML body, and the one a reader preferring plain text shows: what
    get_body(preferencelist=("plain", "html")) gives, an empty text not counting as one."""
    found = {"plain": body(msg, ("plain",)), "html": body(msg, ("html",))}
    found["preferred"] = found["plain"] or found["html"]
    return found


def field_names(msg):
    return [name.lower() for name, _ in msg.raw_items()]


def expected_names(whole, headers, names):
    wanted = {n.lower() for n in names}
    return [n for n in field_names(whole)
            if headers == 2 or n == "mime-version" or n.startswith("content-")
            or (headers == 1 and n in wanted)]


def header_problems(exported, whole, args):
    got = field_names(exported)
    want = expected_names(whole, args.headers, args.header_names)
    # A file that kept nothing of the content has no Content- fields to describe it.
    if not leaves(exported):
        want = [n for n in want if not n.startswith("content-")]
        got = [n for n in got if not n.startswith("content-")]
    return [] if got == want else ["fields %r, expected %r" % (got, want)]


def attachment_name(part):
    """The name a user sees for a part: its file name, else its name, else for an attached
    message its Subject and ".eml"."""
    name = part.get_filename() or part.get_param("name")
    if isinstance(name, tuple):
        name = email.utils.collapse_rfc2231_value(name)
    if not name and part.get_content_type() == "message/rfc822" and part.is_multipart():
        inner = part.get_payload(0)
        subject = str(inner.get("Subject", "")).strip()
        name = subject + ".eml" if subject else None
    return str(name) if name else None


SEALED = {"multipart/signed", "multipart/encrypted"}  # RFC 1847: one whole each


def names_in(msg, found=None):
    """The named leaf parts, attached messages and signed or encrypted entities of a message
    (not those inside them), as (name, part)."""
    found = [] if found is None else found
    if (msg.is_multipart() and msg.get_content_maintype() == "multipart"
            and msg.get_content_type() not in SEALED):
        for part in msg.get_payload():
            names_in(part, found)
    else:
        name = attachment_name(msg)
        if name:
            found.append((name, msg))
    return found


def multiset_contains(big, small):
    rest = list(big)
    for item in small:
        if item not in rest:
            return False
        rest.remove(item)
    return True


def problems_against(exported, whole, args, without_attachments=None):
    problems = []
    new_defects = defects(exported) - defects(whole)
    if new_defects:
        problems.append("defects %s" % sorted(new_defects))
    problems += header_problems(exported, whole, args)
    if args.attachments == 2:
        if leaves(exported) != leaves(whole):
            problems.append("leaf parts %r, expected %r" % (
                [t for t, _ in leaves(exported)], [t for t, _ in leaves(whole)]))
        return problems
    if not multiset_contains(leaves(whole), leaves(exported)):
        problems.append("leaf parts %r are not some of the whole file's %r" % (
            [t for t, _ in leaves(exported)], [t for t, _ in leaves(whole)]))
    got, want = readable(exported), readable(whole)
    for kind in ("plain", "html", "preferred"):
        if got[kind] != want[kind]:
            problems.append("%s body lost" % kind)
    if args.attachments == 1:
        listed = set(args.attachment_names)
        kept = {n for n, _ in names_in(exported)}
        for name, _ in names_in(whole):
            if name in listed and name not in kept:
                problems.append("attachment %r left out" % name)
        # Unlisted, a part stays only as what attachments "None" keeps: the body.
        bodily = ({n for n, _ in names_in(without_attachments)}
                  if without_attachments is not None else set())
        for name, part in names_in(exported):
            if name not in listed and name not in bodily:
                problems.append("attachment %r kept" % name)
    return problems


def problem_kind(problem):
    words = problem.split()
    if problem.startswith("leaf parts") or problem.endswith("body lost"):
        return " ".join(words[:2])
    return words[0] if not problem.startswith("attachment") else "attachment " + words[-1]


def body_keys(problems):
    return {p.split()[0] for p in problems if p.endswith("body lost")}


def read_tree(dest):
    """The files under a folder, by their path relative to it."""
    files = {}
    for folder, _, names in os.walk(dest):
        for name in names:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, dest)] = f.read()
    return files


def check_exports(args):
    """One reduced export against the whole export of the same store, file by file."""
    whole, reduced = read_tree(args.whole), read_tree(args.dest)
    failures = 0
    for name, data in sorted(whole.items()):
        problems = (["no file"] if name not in reduced
                    else problems_against(parse(reduced[name]), parse(data), args))
        if problems:
            print("%s: %s" % (name, "; ".join(problems)))
            failures += 1
    extra = sorted(set(reduced) - set(whole))
    for name in extra:
        print("%s: no such file in the whole export" % name)
    print("%d files, %d failures" % (len(whole), failures + len(extra)))
    if len(whole) < args.min_files:
        print("expected at least %d files" % args.min_files)
        return 1
    return 1 if failures or extra else 0


# The corpus: one message a mail folder, so that each file's folder names its source.

def make_store(root, messages):
    os.mkdir(root)
    for sub in ("cur", "new", "tmp"):
        os.mkdir(os.path.join(root, sub))
    for n, (_, data) in enumerate(messages):
        folder = os.path.join(root, ".m%05d" % n)
        for sub in ("cur", "new", "tmp"):
            os.makedirs(os.path.join(folder, sub))
        with open(os.path.join(folder, "cur", "%d.msg:2,S" % n), "wb") as f:
            f.write(data)


def export(args, work, name, headers, attachments):
    dest = os.path.join(work, name)
    app = os.path.join(work, "app-" + name)
    os.mkdir(dest)
    os.mkdir(app)
    with open(os.path.join(app, "Headers.lst"), "w", encoding="utf-8") as f:
        f.write("".join(n + "\r\n" for n in args.header_names))
    with open(os.path.join(app, "Attachments.lst"), "w", encoding="utf-8") as f:
        f.write("".join(n + "\r\n" for n in args.attachment_names))
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"),
               XDG_DATA_HOME=os.path.join(work, "data"))
    run = subprocess.run(
        [args.cli, "export", "--store", os.path.join(work, "store"), "--dest", dest,
         "--app-folder", app, "--set", "FolderOption=2",
         "--set", "ExportHeaders=%d" % headers, "--set", "ExportAttachments=%d" % attachments],
        env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if run.returncode not in (0, 3):
        sys.exit("parcelo-cli failed (%d): %s" % (run.returncode, run.stderr.decode()[-2000:]))
    files = {}
    for folder, _, names in os.walk(dest):
        for file in names:
            with open(os.path.join(folder, file), "rb") as f:
                files[os.path.basename(folder)] = f.read()
    return files


def check_corpus(args):
    messages = [(label, data) for label, data in corpus_messages(args.corpus)
                if not args.only or label in args.only]
    missing = set(args.only or ()) - {label for label, _ in messages}
    if missing:
        sys.exit("not in the corpus: %s" % ", ".join(sorted(missing)))
    runs = [("none", args.header_mode, 0), ("all", args.header_mode, 2)]
    if args.attachment_names:
        runs.append(("some", 2, 1))
    failed = False
    with tempfile.TemporaryDirectory(dir=args.tmp) as work:
        make_store(os.path.join(work, "store"), messages)
        whole = export(args, work, "whole", 2, 2)
        exports = {}
        for name, headers, attachments in runs:
            files = exports[name] = export(args, work, name, headers, attachments)
            args.headers, args.attachments = headers, attachments
            passed, lost, faults, kinds = 0, {"plain": 0, "html": 0, "preferred": 0}, [], {}
            for n, (label, data) in enumerate(messages):
                folder = "m%05d" % n
                if folder not in whole:
                    continue  # left out by every export (see the warnings)
                if folder not in files:
                    faults.append((label, ["no file"]))
                    continue
                none = exports["none"].get(folder)
                problems = problems_against(parse(files[folder]), parse(whole[folder]), args,
                                            parse(none) if none else None)
                for key in body_keys(problems):
                    lost[key] += 1
                for kind in {problem_kind(p) for p in problems}:
                    kinds[kind] = kinds.get(kind, 0) + 1
                if problems:
                    faults.append((label, problems))
                else:
                    passed += 1
            total = len(whole)
            share = 100.0 * passed / total if total else 0.0
            print("headers %s, attachments %s: %d of %d messages pass (%.2f%%); bodies lost: "
                  "plain %d, html %d, preferred %d" % (
                      MODES[headers], MODES[attachments], passed, total, share,
                      lost["plain"], lost["html"], lost["preferred"]))
            print("  messages failing by kind: %s" % ", ".join(
                "%s %d" % item for item in sorted(kinds.items())))
            for label, problems in faults[: None if args.verbose else 20]:
                print("    %s: %s" % (label, "; ".join(p[:300] for p in problems[:3])))
            if share < args.min_share:
                failed = True
        if args.keep:
            shutil.copytree(work, args.keep)
    return 1 if failed else 0


MODES = {0: "None", 1: "Some", 2: "All"}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--whole", help="an export with headers and attachments \"All\"")
    parser.add_argument("--dest", help="an export of the same store with other choices")
    parser.add_argument("--corpus")
    parser.add_argument("--cli")
    parser.add_argument("--headers", type=int, default=2)
    parser.add_argument("--header-names", default="Subject,From,Date")
    parser.add_argument("--header-mode", type=int, default=1,
                        help="the header choice of the corpus runs")
    parser.add_argument("--attachments", type=int, default=2)
    parser.add_argument("--attachment-names", default="")
    parser.add_argument("--min-files", type=int, default=1)
    parser.add_argument("--min-share", type=float, default=99.0)
    parser.add_argument("--tmp", default=None)
    parser.add_argument("--keep", default=None, help="copy the store and exports here")
    parser.add_argument("--only", action="append",
                        help="a message of the corpus, as the check names it (repeatable)")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    args.header_names = [n for n in args.header_names.split(",") if n]
    args.attachment_names = [n for n in args.attachment_names.split(",") if n]
    if args.corpus is not None:
        corpus = os.environ.get("PARCELO_CORPUS") or args.corpus
        if not corpus or not os.path.isdir(corpus):
            print("corpus missing (set PARCELO_CORPUS)%s" % (
                "" if os.environ.get("CI") == "true" else "; skipped"))
            return 1 if os.environ.get("CI") == "true" else 77
        args.corpus = corpus
        return check_corpus(args)
    return check_exports(args)


if __name__ == "__main__":
    sys.exit(main())
