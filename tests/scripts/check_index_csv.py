#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Exports mail from the outside corpus and made-up messages with awkward fields with
`parcelo-cli export --index-csv` and reads Index.csv back with Python's csv module.

The file must be UTF-8, begin with its byte order mark (by which Calc's import takes it for UTF-8)
and hold the column names once, one row per message file written and no other,
and each row must say of its file what Python's email package reads in it: the sent date with the
Date field's offset, the sender's name and address, the recipients of To, Cc and Bcc, the decoded
subject, the size on disk, the attachments, the read and flagged state its status fields give and
the Message-ID. A second run appends rows without a second heading. When LibreOffice is installed,
Calc opens the file in the character set its byte order mark names, as its import dialog does,
and converts it to a spreadsheet, whose cells must be the rows Python read. Exit 0 when all
holds, 1 otherwise, 77 when the corpus is missing. Scripts read the file with encoding="utf-8-sig".
"""
import argparse
import csv
import datetime
import email
import email.header
import email.policy
import email.utils
import mailbox
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile
import xml.etree.ElementTree as ElementTree

SKIP = 77
COLUMNS = ["Sent", "Sender name", "Sender address", "Recipients", "Subject", "Folder", "File",
           "Size", "Attachments", "Read", "Flagged", "Message-ID"]
MAILBOXES = [
    "gnu-mailutils/spool/teaparty.mbox",
    "gnu-mailutils/spool/mime.mbox",
    "gnu-mailutils/spool/bigto.mbox",
    "gnu-mailutils/spool/relational.mbox",
    "perl-mail-box/mbox.src",
    "mime4j/mbox/test-1/mbox.rlug",
    "mimekit/mbox/simple.mbox.txt",
    "cpython-email/mailbox_01.mbox",
]

MADE_UP = [
    # A subject with a comma, quotes and an encoded line break; a name with a comma.
    b'From: "Doe, Jane" <jane@example.com>\nTo: "Smith, \\"Bob\\"" <bob@example.com>, '
    b"carol@example.net (Carol)\nCc: =?utf-8?q?J=C3=B6rg_M=C3=BCller?= <j@example.de>\n"
    b"Bcc: undisclosed: hidden@example.org;\n"
    b'Subject: =?utf-8?q?Quarterly=2C_"final"_figures=0D=0Aline_two?=\n'
    b"Date: Tue, 3 Mar 2009 19:41:00 +0100\nMessage-ID: <comma@example.com>\n"
    b"Status: RO\nX-Status: F\n\nbody\n",
    # No date, no sender, a subject of spaces and semicolons, folded.
    b"Subject: ; a; b;\n  folded ;\nMessage-ID: <nodate@example.com>\n\nbody\n",
    # An obsolete zone, a negative offset with minutes, and the client's own status field.
    b"X-Mozilla-Status: 0005\nFrom: Ann <ann@example.com>\nTo: bob@example.com\n"
    b"Subject: zone\nDate: Sun, 31 Dec 2000 23:59:59 EST\nMessage-ID: <zone@example.com>\n"
    b"Status: O\n\nbody\n",
    b"From: Ann <ann@example.com>\nSubject: minutes\nDate: Mon, 05 Jan 2009 10:00:00 -0330\n"
    b"Message-ID: <minutes@example.com>\n\nbody\n",
    # Attachments: by disposition, by a file name only, and an inline part that is none.
    b"From: Ann <ann@example.com>\nSubject: parts\nMessage-ID: <parts@example.com>\n"
    b"Date: Mon, 05 Jan 2009 10:00:00 +0000\nMIME-Version: 1.0\n"
    b'Content-Type: multipart/mixed; boundary="b"\n\n--b\nContent-Type: text/plain\n\ntext\n'
    b"--b\nContent-Type: application/pdf\nContent-Disposition: attachment\n\nxx\n"
    b'--b\nContent-Type: image/png; name="a.png"\n\nyy\n'
    b'--b\nContent-Type: multipart/alternative; boundary="c"\n\n--c\nContent-Type: text/html\n'
    b"Content-Disposition: inline\n\n<p>x</p>\n--c--\n--b--\n",
]


def corpus_mbox(corpus, path):
    messages = []
    for name in MAILBOXES:
        full = os.path.join(corpus, name)
        if os.path.isfile(full):
            box = mailbox.mbox(full, create=False)
            messages.extend(box.get_bytes(key) for key in box.keys())
    write_mbox(path, messages)
    return len(messages)


def write_mbox(path, messages):
    box = mailbox.mbox(path)
    for data in messages:
        box.add(data)
    box.flush()
    box.close()


def unfold(value):
    return re.sub(r"\r?\n(?=[ \t])", "", value or "").strip()


def decoded(value):
    """An unstructured field's text with its encoded words decoded, as RFC 2047 reads them."""
    try:
        return str(email.header.make_header(email.header.decode_header(unfold(value))))
    except (email.errors.HeaderParseError, LookupError, UnicodeError):
        return None  # undecodable: not compared


def words(text):
    return " ".join(text.split()) if text is not None else None


def first_field(message, name):
    values = message.get_all(name)
    return values[0] if values else None


def addresses(values):
    found = []
    for name, address in email.utils.getaddresses([unfold(v) for v in values if v]):
        if address or name:
            found.append((words(decoded(name)), address))
    return found


def attachments(part):
    if part.is_multipart() and part.get_content_maintype() == "multipart":
        return sum(attachments(p) for p in part.get_payload())
    named = part.get_param("name") or part.get_param("filename", header="content-disposition")
    return 1 if part.get_content_disposition() == "attachment" or named else 0


def state(message):
    """Read and flagged, as the status fields of a message outside the mail client's profile
    give them: the client's X-Mozilla-Status where the client writes it (in the block of its
    fields that opens the header), else Status R and X-Status F."""
    mozilla = None
    for name, value in message.items():
        name = name.lower()
        if name == "x-mozilla-status":
            mozilla = value
            break
        if name not in ("x-account-key", "x-uidl", "x-mozilla-status2", "x-mozilla-keys"):
            break
    if mozilla and re.fullmatch(r"\s*[0-9A-Fa-f]{4}\s*", mozilla):
        bits = int(mozilla, 16)
        return bool(bits & 0x1), bool(bits & 0x4)
    return "R" in (first_field(message, "Status") or ""), "F" in (first_field(message, "X-Status")
                                                                 or "")


def source_states(store):
    """Read and flagged of each source message with a Message-ID of its own, from the mbox
    files of the store: the exported file may start with fields the export added."""
    states = {}
    for name in os.listdir(store):
        box = mailbox.mbox(os.path.join(store, name), create=False)
        for key in box.keys():
            message = email.message_from_bytes(box.get_bytes(key), policy=email.policy.compat32)
            message_id = unfold(first_field(message, "Message-ID"))
            if message_id:
                states.setdefault(message_id, set()).add(state(message))
    return {k: v.pop() for k, v in states.items() if len(v) == 1}


def expected_row(path, states):
    with open(path, "rb") as f:
        data = f.read()
    message = email.message_from_bytes(data, policy=email.policy.compat32)
    row = {"File": path, "Size": str(len(data)), "Attachments": str(attachments(message)),
           "Message-ID": unfold(first_field(message, "Message-ID"))}
    date = first_field(message, "Date")
    parsed = None
    if date:
        try:
            parsed = email.utils.parsedate_to_datetime(unfold(date))
        except (TypeError, ValueError, IndexError):
            parsed = None
    row["Sent"] = parsed
    senders = addresses([first_field(message, "From")])
    row["Sender"] = senders[0] if senders else ("", "")
    row["Recipients"] = addresses([first_field(message, n) for n in ("To", "Cc", "Bcc")])
    row["Subject"] = words(decoded(first_field(message, "Subject")))
    read_flagged = states.get(row["Message-ID"])
    if read_flagged:
        row["Read"], row["Flagged"] = ("1" if s else "0" for s in read_flagged)
    return row


def compare(row, want, problems):
    def differ(what, got, expected):
        problems.append("%s: %s is %r, Python reads %r" % (row["File"], what, got, expected))

    for column in ("Size", "Attachments", "Read", "Flagged", "Message-ID"):
        if column in want and row[column] != want[column]:
            differ(column, row[column], want[column])
    if want["Sent"] is None:
        if row["Sent"]:
            differ("Sent", row["Sent"], "")
    else:
        got = datetime.datetime.fromisoformat(row["Sent"]) if row["Sent"] else None
        expected = want["Sent"]
        if expected.tzinfo is None:  # -0000: the time is UTC, its zone unknown
            expected = expected.replace(tzinfo=datetime.timezone.utc)
        if got != expected or got.utcoffset() != expected.utcoffset():
            differ("Sent", row["Sent"], expected.isoformat())
    name, address = want["Sender"]
    if row["Sender address"] != address:
        differ("Sender address", row["Sender address"], address)
    if name is not None and words(row["Sender name"]) != name:
        differ("Sender name", row["Sender name"], name)
    got = [(words(decoded(n)), a) for n, a in email.utils.getaddresses([row["Recipients"]])
           if n or a]
    if [a for _, a in got] != [a for _, a in want["Recipients"]]:
        differ("Recipients", row["Recipients"], want["Recipients"])
    elif any(w is not None and g != w for (g, _), (w, _) in zip(got, want["Recipients"])):
        differ("Recipients", row["Recipients"], want["Recipients"])
    if want["Subject"] is not None and words(row["Subject"]) != want["Subject"]:
        differ("Subject", row["Subject"], want["Subject"])


def read_index(path, problems):
    with open(path, "rb") as f:
        raw = f.read()
    try:
        raw.decode("utf-8")
    except UnicodeDecodeError as error:
        problems.append("Index.csv is not UTF-8: %s" % error)
    if not raw.startswith(b"\xef\xbb\xbf") or raw.count(b"\xef\xbb\xbf") != 1:
        problems.append("Index.csv does not begin with the one UTF-8 byte order mark")
    with open(path, newline="", encoding="utf-8-sig", errors="replace") as f:
        try:
            return list(csv.reader(f, strict=True))
        except csv.Error as error:
            problems.append("Index.csv is not CSV as RFC 4180 has it: %s" % error)
            return []


def spreadsheet_cells(soffice, csv_path, work):
    """The cells LibreOffice Calc reads from the file, row by row: separated by commas, quoted
    with double quotes, in UTF-8 (what its import dialog preselects for a file with a UTF-8 byte
    order mark), everything else as it comes."""
    out = os.path.join(work, "calc")
    os.makedirs(out, exist_ok=True)
    env = dict(os.environ, HOME=os.path.join(work, "calc-home"))
    subprocess.run([soffice, "--headless", "--infilter=CSV:44,34,76,1", "--convert-to", "ods",
                    "--outdir", out, csv_path], check=True, env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=300)
    ods = os.path.join(out, os.path.splitext(os.path.basename(csv_path))[0] + ".ods")
    ns = {"table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
          "text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0",
          "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0"}
    root = ElementTree.fromstring(zipfile.ZipFile(ods).read("content.xml"))
    rows = []
    for row in root.iter("{%s}table-row" % ns["table"]):
        repeat = int(row.get("{%s}number-rows-repeated" % ns["table"], "1"))
        cells = []
        for cell in row:
            times = int(cell.get("{%s}number-columns-repeated" % ns["table"], "1"))
            paragraphs = []
            for p in cell.iter("{%s}p" % ns["text"]):
                paragraphs.append(paragraph_text(p, ns))
            value = cell.get("{%s}value" % ns["office"])
            cells.extend([("\n".join(paragraphs), value)] * min(times, 64))
        while cells and cells[-1] == ("", None):
            cells.pop()
        if cells:
            rows.extend([cells] * min(repeat, 1))
    return rows


def paragraph_text(p, ns):
    text = p.text or ""
    for child in p:
        if child.tag == "{%s}s" % ns["text"]:
            text += " " * int(child.get("{%s}c" % ns["text"], "1"))
        elif child.tag == "{%s}tab" % ns["text"]:
            text += "\t"
        elif child.tag == "{%s}line-break" % ns["text"]:
            text += "\n"
        else:
            text += paragraph_text(child, ns)
        text += child.tail or ""
    return text


def same_cell(csv_text, cell):
    shown, value = cell
    # A cell's line breaks are single characters.
    if shown == csv_text.replace("\r\n", "\n"):
        return True
    # A number Calc took as such: its value is the field's.
    return value is not None and re.fullmatch(r"-?\d+", csv_text) and float(value) == int(csv_text)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--corpus", required=True)
    parser.add_argument("--soffice", default=shutil.which("soffice"),
                        help="LibreOffice, to open the file as Calc does (default: from PATH)")
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()
    if not os.path.isdir(args.corpus):
        print("corpus missing: " + args.corpus)
        return 1 if os.environ.get("CI") == "true" else SKIP

    work = tempfile.mkdtemp(prefix="parcelo-csv-")
    problems = []
    try:
        store, dest, app = (os.path.join(work, n) for n in ("store", "out", "app"))
        os.makedirs(store)
        os.makedirs(dest)
        counted = corpus_mbox(args.corpus, os.path.join(store, "Corpus"))
        write_mbox(os.path.join(store, "Made up"), MADE_UP)
        env = dict(os.environ, TZ="UTC", XDG_CONFIG_HOME=os.path.join(work, "config"),
                   XDG_DATA_HOME=os.path.join(work, "data"))
        command = [args.cli, "export", "--store", store, "--dest", dest, "--app-folder", app,
                   "--index-csv", "--set", "FolderOption=1", "--set", "AntiDateFiles=0"]
        for run in (1, 2):
            result = subprocess.run(command, env=env, capture_output=True, text=True)
            if result.returncode not in (0, 3):
                print("export failed (%d): %s" % (result.returncode, result.stderr))
                return 1
        files = sorted(os.path.join(d, n) for d, _, names in os.walk(dest) for n in names)
        index = os.path.join(app, "Index.csv")
        rows = read_index(index, problems)
        if not rows or rows[0] != COLUMNS:
            problems.append("the first row is %r" % (rows[:1],))
        body = [dict(zip(COLUMNS, r)) for r in rows[1:]]
        for number, r in enumerate(rows[1:], 2):
            if len(r) != len(COLUMNS):
                problems.append("row %d has %d fields: %r" % (number, len(r), r))
        states = source_states(store)
        listed = sorted(r["File"] for r in body)
        if listed != files:
            problems.append("%d rows for %d files; not listed: %s; listed, not there: %s" % (
                len(listed), len(files), sorted(set(files) - set(listed))[:5],
                sorted(set(listed) - set(files))[:5]))
        for r in body:
            if os.path.isfile(r["File"]):
                compare(r, expected_row(r["File"], states), problems)
            want_folder = "store\\Made up" if "/Made up/" in r["File"] else "store\\Corpus"
            if r["Folder"] != want_folder:
                problems.append("%s: folder %r" % (r["File"], r["Folder"]))
        checked = "Python's csv"
        if args.soffice:
            cells = spreadsheet_cells(args.soffice, index, work)
            checked += " and LibreOffice Calc"
            if len(cells) != len(rows):
                problems.append("Calc reads %d rows, Python %d" % (len(cells), len(rows)))
            for number, (cell_row, csv_row) in enumerate(zip(cells, rows), 1):
                padded = cell_row + [("", None)] * (len(csv_row) - len(cell_row))
                if len(padded) != len(csv_row) or not all(
                        same_cell(t, c) for t, c in zip(csv_row, padded)):
                    problems.append("row %d: Calc reads %r, Python %r" % (number, cell_row,
                                                                         csv_row))
        for problem in problems[:40]:
            print(problem)
        print("%d corpus and %d made-up messages, two runs: %d files, %d rows (read and flagged "
              "known for %d), read with %s; %d problems"
              % (counted, len(MADE_UP), len(files), len(body),
                 sum(1 for r in body if r["Message-ID"] in states), checked, len(problems)))
        return 1 if problems else 0
    finally:
        if args.keep or problems:
            print("kept " + work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
