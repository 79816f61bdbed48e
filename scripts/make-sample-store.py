#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the sample store in examples/ (an mbox tree and a Maildir), deterministically.

    scripts/make-sample-store.py [--out DIR]   rewrite DIR/Local Folders and DIR/Maildir
    scripts/make-sample-store.py --check [DIR] verify an existing store against the intended table

Every message here was written for this project. Files have LF line ends; the mbox files hold
their `From ` lines already escaped (mboxrd), so what is written is exactly what the stores read.
"""

import argparse
import base64
import datetime as dt
import email
import email.policy
import mailbox
import os
import shutil
import struct
import sys
import tempfile
import zlib
from dataclasses import dataclass, field

SAM = "Sam Taylor <sam.taylor@example.com>"
ALICE = "Alice Martin <alice.martin@example.com>"
BOB = "Bob Kowalski <bob@example.org>"
CAROL = "Carol Nguyen <carol.nguyen@example.net>"


# ---------------------------------------------------------------- encoders


def bword(text, charset):
    return f"=?{charset}?B?{base64.b64encode(text.encode(charset)).decode()}?="


def qword(text, charset):
    out = []
    for b in text.encode(charset):
        c = chr(b)
        if b == 0x20:
            out.append("_")
        elif b < 0x80 and (c.isalnum() or c in "!*+-/"):
            out.append(c)
        else:
            out.append(f"={b:02X}")
    return f"=?{charset}?Q?{''.join(out)}?="


def bwords_folded(text, charset, max_bytes=45):
    """Base64 words of whole characters, one per folded line (each word at most 75 characters)."""
    words, chunk = [], ""
    for ch in text:
        if len((chunk + ch).encode(charset)) > max_bytes:
            words.append(bword(chunk, charset))
            chunk = ""
        chunk += ch
    if chunk:
        words.append(bword(chunk, charset))
    return "\n ".join(words)


def qp_body(text, charset):
    """Quoted-printable with soft breaks at 76 columns; trailing blanks are encoded."""
    out_lines = []
    for line in text.split("\n"):
        data = line.encode(charset)
        tokens = []
        for i, b in enumerate(data):
            last = i == len(data) - 1
            if (33 <= b <= 126 and b != 0x3D) or (b in (0x20, 0x09) and not last):
                tokens.append(chr(b))
            else:
                tokens.append(f"={b:02X}")
        cur = ""
        for t in tokens:
            if len(cur) + len(t) > 75:
                out_lines.append(cur + "=")
                cur = ""
            cur += t
        out_lines.append(cur)
    return "\n".join(out_lines)


def b64_body(data):
    if isinstance(data, str):
        data = data.encode("utf-8")
    return base64.encodebytes(data).decode("ascii").rstrip("\n")


def png_image(width, height, pixel):
    """An RGB PNG written with stored (uncompressed) deflate blocks, so the bytes never vary."""

    def chunk(kind, payload):
        crc = zlib.crc32(kind + payload) & 0xFFFFFFFF
        return struct.pack(">I", len(payload)) + kind + payload + struct.pack(">I", crc)

    raw = b"".join(
        b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height)
    )
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", header)
        + chunk(b"IDAT", zlib.compress(raw, 0))
        + chunk(b"IEND", b"")
    )


CHART_PNG = png_image(8, 8, lambda x, y: (40, 90, 200) if x >= 7 - y else (255, 255, 255))
PHOTO_PNG = png_image(4, 4, lambda x, y: (230, 120 + 30 * y, 20 + 50 * x))


def mail_date(y, mo, d, h, mi, s, zone, comment=""):
    """An RFC 5322 date with the right weekday; zone like '-0500'. Returns (text, utc datetime)."""
    sign = 1 if zone[0] == "+" else -1
    offset = dt.timedelta(hours=int(zone[1:3]), minutes=int(zone[3:5])) * sign
    local = dt.datetime(y, mo, d, h, mi, s)
    text = local.strftime("%a, %d %b %Y %H:%M:%S ") + zone + (f" ({comment})" if comment else "")
    return text, local - offset


def separator(utc, sender="-"):
    # The weekday and month names of the C locale, whatever the machine's locale is.
    days = ["Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"]
    months = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()
    if sender == "-":
        day = f"{utc.day:02d}"
    else:
        day = f"{utc.day:2d}"  # the asctime form of a mail transfer agent: "Jun  3"
    return (
        f"From {sender} {days[utc.weekday()]} {months[utc.month - 1]} {day} "
        f"{utc:%H:%M:%S} {utc.year}"
    )


# ---------------------------------------------------------------- messages


@dataclass
class Msg:
    folder: str  # "mbox:Inbox", "mbox:Projects/Alpha", "maildir:", "maildir:.Work", ...
    headers: list  # (name, raw value) in order, already encoded to ASCII
    body: str  # raw body as stored (already transfer-encoded)
    subject: str | None = None  # intended decoded Subject (None: no Subject field)
    sender: str | None = None  # intended display sender (None: no From field)
    read: bool = False
    flagged: bool = False
    deleted: bool = False  # expunged (mbox) or trashed (Maildir): not counted
    received: dt.datetime | None = None  # mbox separator date (UTC)
    sep_sender: str = "-"
    maildir_name: str = ""  # Maildir: "cur/<name>", "new/<name>" or "tmp/<name>"
    cases: list = field(default_factory=list)

    def raw(self):
        head = "".join(f"{n}: {v}\n" for n, v in self.headers)
        return (head + "\n" + self.body.rstrip("\n") + "\n").encode("utf-8")


MESSAGES = []
_seq = [0]


def add(folder, subject, sender, date, body, *, extra=(), to=SAM, mid=True, **kw):
    """Adds a message. subject/sender are (raw header text, decoded text) or None."""
    _seq[0] += 1
    h = []
    if sender is not None:
        h.append(("From", sender[0]))
    if to is not None:
        h.append(("To", to))
    if subject is not None:
        h.append(("Subject", subject[0]))
    received = kw.pop("received", None)
    if date is not None:
        if isinstance(date, tuple):
            h.append(("Date", date[0]))
            received = received or date[1] + dt.timedelta(minutes=2)
        else:
            h.append(("Date", date))
    if mid:
        h.append(("Message-ID", f"<sample.{_seq[0]:03d}@example.com>"))
    status = [v for n, v in extra if n == "X-Mozilla-Status"]
    if status:
        h = client_block(folder, status[0], _seq[0]) + h
    h.extend((n, v) for n, v in extra if n != "X-Mozilla-Status")
    m = Msg(
        folder,
        h,
        body,
        subject=None if subject is None else subject[1],
        sender=None if sender is None else sender[1],
        received=received,
        **kw,
    )
    MESSAGES.append(m)
    return m


def plain(s):
    return (s, s)


def xms(value):
    return ("X-Mozilla-Status", f"{value:04x}")


# The fields the mail client writes, in its order; it reads them only as the first fields of a
# header, right after the separator line.
CLIENT_FIELDS = [
    "X-Account-Key",
    "X-UIDL",
    "X-Mozilla-Status",
    "X-Mozilla-Status2",
    "X-Mozilla-Keys",
]


def client_block(folder, status, seq):
    """The client's block for a message: mail it fetched (Inbox) names the account and the
    server's id of the message first; the keys field is padded so that tags fit in place."""
    block = []
    if folder == "mbox:Inbox":
        block += [("X-Account-Key", "account2"), ("X-UIDL", f"UID{seq:03d}-1230768000")]
    return block + [
        ("X-Mozilla-Status", status),
        ("X-Mozilla-Status2", "00000000"),
        ("X-Mozilla-Keys", " " * 80),
    ]


TEXT = [("MIME-Version", "1.0"), ("Content-Type", "text/plain; charset=us-ascii")]


def text_part(charset, cte):
    return [
        ("MIME-Version", "1.0"),
        ("Content-Type", f"text/plain; charset={charset}"),
        ("Content-Transfer-Encoding", cte),
    ]


def multipart(kind, boundary, parts, preamble="This is a multi-part message in MIME format."):
    """parts: list of (header lines text, body text)."""
    out = [preamble, ""] if preamble else []
    for head, body in parts:
        out.append(f"--{boundary}")
        out.append(head.rstrip("\n"))
        out.append("")
        out.append(body.rstrip("\n"))
    out.append(f"--{boundary}--")
    return "\n".join(out) + "\n", [
        ("MIME-Version", "1.0"),
        ("Content-Type", f'multipart/{kind};\n boundary="{boundary}"'),
    ]


# ---- Local Folders / Inbox

add(
    "mbox:Inbox",
    plain("Welcome to the sample store"),
    (ALICE, "Alice Martin"),
    mail_date(2009, 1, 5, 10, 0, 0, "-0500"),
    "Hi Sam,\n\nthis mailbox is the sample store of the project. It holds a few dozen\n"
    "messages of every kind the exporter has to handle.\n\nAlice\n",
    extra=[xms(0x0001)] + TEXT,
    read=True,
    cases=["plain text", "X-Mozilla-Status 0001 read", "zone -0500"],
)
add(
    "mbox:Inbox",
    plain("Re: Travel plans"),
    ('"Kowalski, Bob" <bob@example.org>', "Kowalski, Bob"),
    mail_date(2009, 6, 12, 18, 45, 10, "+0200"),
    "Sam,\n\nthe plan for Monday:\n\n"
    ">From the airport we take the train to the old town.\n"
    "Then we walk.\n\n"
    "You wrote:\n"
    ">>From here it is twenty minutes on foot.\n"
    "> Sounds good to me.\n\n"
    "From-ish lines like this one are not separators, nor is\n"
    "From:this one.\n\nBob\n",
    extra=[xms(0x0000)] + TEXT,
    cases=[
        "body line '>From ' read as 'From ', '>>From ' read as '>From '",
        "display name with a comma in quotes",
        "X-Mozilla-Status 0000 unread",
    ],
)
_csv = "quarter,revenue,costs\nQ1,1200,800\nQ2,1350,820\nQ3,1500,900\nQ4,1710,950\n"
_qp_text = (
    "Hello Sam,\n\nhere are the quarterly figures, forwarded as promised. The café budget\n"
    "is a naïve estimate – please check the long line below, it is wrapped with soft line breaks "
    "by the quoted-printable encoding and must come back as one line.\n"
    "An equals sign: 2 + 2 = 4.\n\nCarol\n"
)
_body, _mp = multipart(
    "mixed",
    "----=_Part_0003_mixed",
    [
        (
            "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: quoted-printable",
            qp_body(_qp_text, "utf-8"),
        ),
        (
            'Content-Type: text/csv; charset=us-ascii; name="figures.csv"\n'
            "Content-Transfer-Encoding: base64\n"
            'Content-Disposition: attachment; filename="figures.csv"',
            b64_body(_csv),
        ),
        (
            'Content-Type: image/png; name="chart.png"\nContent-Transfer-Encoding: base64\n'
            'Content-Disposition: attachment; filename="chart.png"',
            b64_body(CHART_PNG),
        ),
    ],
)
add(
    "mbox:Inbox",
    plain("Fwd: Quarterly figures"),
    ("carol.nguyen@example.net", "carol.nguyen@example.net"),
    mail_date(2015, 3, 17, 8, 30, 0, "+0900"),
    _body,
    extra=[xms(0x0005)] + _mp,
    read=True,
    flagged=True,
    cases=[
        "multipart/mixed: quoted-printable UTF-8 text, base64 CSV and PNG attachments",
        "From without display name (address shown)",
        "X-Mozilla-Status 0005 read and flagged",
        "zone +0900",
    ],
)
add(
    "mbox:Inbox",
    (qword("Grüße aus München", "ISO-8859-1"), "Grüße aus München"),
    (f"{qword('Hans Müller', 'ISO-8859-1')} <hans.mueller@example.net>", "Hans Müller"),
    mail_date(2011, 12, 24, 16, 5, 0, "+0100", "CET"),
    qp_body("Frohe Weihnachten, Sam!\n\nViele Grüße aus München,\nHans\n", "iso-8859-1"),
    extra=[xms(0x0000)] + text_part("iso-8859-1", "quoted-printable"),
    cases=[
        "ISO-8859-1 Q encoded words in From and Subject",
        "quoted-printable ISO-8859-1 body",
        "Date zone with a comment '(CET)'",
    ],
)
add(
    "mbox:Inbox",
    (f"Re: {qword('Café meeting – jeudi', 'UTF-8')}", "Re: Café meeting – jeudi"),
    (f"{qword('Élodie Fournier', 'UTF-8')} <elodie.fournier@example.net>", "Élodie Fournier"),
    mail_date(2016, 4, 7, 9, 15, 0, "+0000"),
    "Bonjour Sam,\n\njeudi à 10 h au café, ça te va ?\n\nÉlodie\n",
    extra=[xms(0x0001)] + text_part("utf-8", "8bit"),
    read=True,
    cases=["UTF-8 Q encoded words", "plain 'Re: ' before an encoded word", "8bit UTF-8 body"],
)
add(
    "mbox:Inbox",
    plain('Re: Invoice #7: "final" <v2> | paid? yes/no * ok!'),
    (BOB, "Bob Kowalski"),
    mail_date(2012, 2, 1, 13, 37, 0, "-0300"),
    "Sam,\n\nwhich one is the final invoice? The subject says it all.\n\nBob\n",
    extra=[xms(0x0004), ("X-Priority", "1 (Highest)")] + TEXT,
    flagged=True,
    cases=[
        'subject with every character a file name may not hold: : ? * / " < > | !',
        "X-Priority 1",
        "X-Mozilla-Status 0004 flagged, unread",
        "zone -0300",
    ],
)
add(
    "mbox:Inbox",
    plain("<script>alert(1)</script>"),
    ('"<b>Mallory</b>" <mallory@example.net>', "<b>Mallory</b>"),
    mail_date(2020, 3, 1, 3, 0, 0, "+0000"),
    "<html><body><p>Hello</p><script>alert('body')</script></body></html>\n",
    extra=[
        xms(0x0000),
        ("MIME-Version", "1.0"),
        ("Content-Type", "text/html; charset=us-ascii"),
    ],
    cases=["hostile subject <script>", "markup in the display name", "single-part HTML body"],
)
add(
    "mbox:Inbox",
    None,
    (ALICE, "Alice Martin"),
    mail_date(2013, 5, 6, 7, 0, 0, "+0530"),
    "Sam, I forgot the subject line. The agenda is attached in my head.\n\nAlice\n",
    extra=[xms(0x0001)] + TEXT,
    read=True,
    cases=["no Subject field", "zone +0530"],
)
add(
    "mbox:Inbox",
    plain("Automated notice without sender"),
    None,
    mail_date(2019, 10, 15, 22, 10, 0, "-0700"),
    "This notice has no From field.\n",
    extra=[xms(0x0000), ("X-Priority", "5 (Lowest)")] + TEXT,
    cases=["no From field", "X-Priority 5", "zone -0700"],
)
for copy in ("first", "second"):
    add(
        "mbox:Inbox",
        plain("Lunch on Friday?"),
        (BOB, "Bob Kowalski"),
        mail_date(2009, 7, 2, 11, 30, 0, "+0200"),
        f"Lunch on Friday at noon? (This is the {copy} of two messages with the same\n"
        "sender, subject and date.)\n\nBob\n",
        extra=[xms(0x0001 if copy == "first" else 0x0000)] + TEXT,
        read=copy == "first",
        cases=[f"collision pair ({copy}): same sender, subject and date"],
    )
add(
    "mbox:Inbox",
    plain("Note without a date"),
    (CAROL, "Carol Nguyen"),
    None,
    "This message has no Date field; its sent date is invalid.\n",
    extra=[xms(0x0000), ("Importance", "high")] + TEXT,
    received=dt.datetime(2014, 8, 20, 12, 0, 0),
    cases=["no Date field (Invalid DateTime)", "Importance: high"],
)

# ---- Local Folders / Sent

add(
    "mbox:Sent",
    plain("Re: Welcome to the sample store"),
    (SAM, "Sam Taylor"),
    mail_date(2009, 1, 5, 11, 20, 0, "-0500"),
    "Thanks, Alice!\n\n> this mailbox is the sample store of the project.\n\nSam\n",
    to=ALICE,
    extra=[xms(0x0001), ("In-Reply-To", "<sample.001@example.com>")] + TEXT,
    read=True,
    cases=["reply"],
)
add(
    "mbox:Sent",
    plain("Fwd: FW: RE: Re[2]: Budget 2010"),
    (SAM, "Sam Taylor"),
    mail_date(2009, 12, 18, 17, 0, 0, "+0000"),
    "Forwarding the budget thread to all of you.\n\nSam\n",
    to=f"{ALICE}, {BOB},\n carol.nguyen@example.net",
    extra=[xms(0x0001)] + TEXT,
    read=True,
    cases=[
        "nested prefixes Fwd: FW: RE: Re[2]: (normal subject 'Budget 2010')",
        "three To recipients, folded, one without a name",
    ],
)
add(
    "mbox:Sent",
    plain("Draft that was deleted"),
    (SAM, "Sam Taylor"),
    mail_date(2010, 1, 2, 9, 0, 0, "+0000"),
    "This message is expunged (X-Mozilla-Status 0009): it is neither counted nor listed.\n",
    to=BOB,
    extra=[xms(0x0009)] + TEXT,
    read=True,
    deleted=True,
    cases=["expunged (X-Mozilla-Status bit 0008): not counted"],
)
add(
    "mbox:Sent",
    (f"Re: {bword('Привет из Москвы', 'KOI8-R')}", "Re: Привет из Москвы"),
    (SAM, "Sam Taylor"),
    mail_date(2021, 11, 10, 12, 0, 0, "+0300"),
    "Dmitri, thanks for the greetings from Moscow!\n\nSam\n",
    to=f"{bword('Дмитрий Волков', 'KOI8-R')} <dmitri@example.org>",
    extra=[xms(0x0001)] + TEXT,
    read=True,
    cases=["KOI8-R B encoded words in Subject and To"],
)
add(
    "mbox:Sent",
    plain("Millennium party"),
    (SAM, "Sam Taylor"),
    mail_date(1999, 12, 31, 23, 59, 59, "-0800"),
    "Happy new millennium, Hans!\n",
    to="hans.mueller@example.net",
    extra=[xms(0x0001)] + TEXT,
    read=True,
    cases=["year 1999, zone -0800 (sent 2000-01-01 07:59:59 UTC)"],
)

# ---- Local Folders / Newsletters (Status / X-Status instead of X-Mozilla-Status)

_html1 = (
    "<html><body><h1>Weekly digest &#8470; 12</h1>\n"
    "<p>What&#8217;s new this week: caf&eacute; opening hours, the summer timetable\n"
    "and a long paragraph that is wrapped by the quoted-printable encoding so that no line is "
    "longer than seventy-six characters.</p></body></html>\n"
)
_body, _mp = multipart(
    "alternative",
    "alt-0012",
    [
        (
            "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: quoted-printable",
            qp_body(
                "Weekly digest № 12\n\nWhat’s new this week: café opening hours, the summer "
                "timetable and more.\n",
                "utf-8",
            ),
        ),
        (
            "Content-Type: text/html; charset=utf-8\nContent-Transfer-Encoding: quoted-printable",
            qp_body(_html1, "utf-8"),
        ),
    ],
)
add(
    "mbox:Newsletters",
    (bword("Weekly digest № 12 — what’s new", "UTF-8"), "Weekly digest № 12 — what’s new"),
    ('"Example Weekly" <news@example.com>', "Example Weekly"),
    mail_date(2024, 6, 3, 6, 0, 0, "+0000"),
    _body,
    extra=[("Status", "RO")] + _mp,
    read=True,
    sep_sender="news@example.com",
    cases=[
        "multipart/alternative, quoted-printable text and HTML",
        "UTF-8 B subject",
        "Status: RO (read), no X-Mozilla-Status",
        "separator 'From news@example.com Mon Jun  3 ...' (asctime form)",
    ],
)
_html2 = (
    '<html><body><p>Offer inside!</p><img src=x onerror="alert(2)">\n'
    '<a href="javascript:alert(3)">click</a></body></html>\n'
)
_body, _mp = multipart(
    "alternative",
    "alt-0013",
    [
        (
            "Content-Type: text/plain; charset=us-ascii\nContent-Transfer-Encoding: 7bit",
            "Offer inside! View the HTML part.\n",
        ),
        (
            "Content-Type: text/html; charset=us-ascii\nContent-Transfer-Encoding: base64",
            b64_body(_html2),
        ),
    ],
    preamble="",
)
add(
    "mbox:Newsletters",
    plain("<img src=x onerror=alert(1)>"),
    ("news@example.org", "news@example.org"),
    mail_date(2024, 6, 4, 6, 0, 0, "+0000"),
    _body,
    extra=[("Status", "O")] + _mp,
    sep_sender="news@example.org",
    cases=["hostile subject <img onerror>", "base64 HTML part with script", "Status: O (unread)"],
)
add(
    "mbox:Newsletters",
    plain("Last chance: 50% off *everything*!"),
    ('"Example Offers" <offers@example.net>', "Example Offers"),
    mail_date(2024, 6, 30, 23, 30, 0, "-0400"),
    b64_body("Everything must go — 50 % off, today only.\nEnds at midnight.\n"),
    extra=[
        ("Status", "RO"),
        ("X-Status", "F"),
        ("Importance", "low"),
        ("Content-Length", "12"),
    ]
    + text_part("utf-8", "base64"),
    read=True,
    flagged=True,
    cases=[
        "Status: RO + X-Status: F (read, flagged)",
        "base64 text/plain body",
        "Importance: low",
        "wrong Content-Length (ignored)",
        "zone -0400",
    ],
)

# ---- Local Folders / Deleted Items (in the store, never in the tree)

add(
    "mbox:Deleted Items",
    plain("Old newsletter"),
    ('"Example Weekly" <news@example.com>', "Example Weekly"),
    mail_date(2022, 3, 7, 6, 0, 0, "+0000"),
    "An old newsletter that was deleted.\n",
    extra=[xms(0x0001)] + TEXT,
    read=True,
    cases=["Deleted Items: skipped by the tree"],
)
add(
    "mbox:Deleted Items",
    plain("You have won!"),
    ("prize@example.net", "prize@example.net"),
    mail_date(2022, 3, 8, 1, 2, 3, "+0000"),
    "Unwanted mail.\n",
    extra=[xms(0x0000)] + TEXT,
    cases=["Deleted Items: skipped by the tree"],
)
add(
    "mbox:Deleted Items/Old",
    plain("Very old message"),
    (ALICE, "Alice Martin"),
    mail_date(2006, 5, 1, 12, 0, 0, "+0000"),
    "Below Deleted Items: skipped with it.\n",
    extra=[xms(0x0001)] + TEXT,
    read=True,
    cases=["sub-folder of Deleted Items: skipped by the tree"],
)

# ---- Local Folders / Projects and below

add(
    "mbox:Projects",
    plain("Project kickoff"),
    (ALICE, "Alice Martin"),
    mail_date(2012, 1, 9, 9, 0, 0, "+0000"),
    "Kickoff on Monday. Alpha and Beta each get their own folder.\n",
    extra=[("Status", "O"), ("X-Status", "F")] + TEXT,
    flagged=True,
    cases=["Status: O + X-Status: F (unread, flagged)"],
)
add(
    "mbox:Projects",
    plain("Re: Project kickoff"),
    (BOB, "Bob Kowalski"),
    "sometime next week",
    "Monday works for me.\n",
    extra=[xms(0x0001)] + TEXT,
    read=True,
    received=dt.datetime(2012, 1, 9, 10, 0, 0),
    cases=["unreadable Date (Invalid DateTime)"],
)
add(
    "mbox:Projects",
    plain('"?" <*> | :/'),
    (CAROL, "Carol Nguyen"),
    mail_date(2012, 1, 10, 8, 0, 0, "+0000"),
    "A subject made of nothing but characters a file name may not hold.\n",
    extra=[xms(0x0000)] + TEXT,
    cases=["subject of only forbidden characters and spaces (file name 'No Name')"],
)

_long_ru = (
    "Протокол совещания рабочей группы по подготовке ежегодного отчёта о состоянии "
    "инфраструктуры, сроках поставки оборудования и распределении обязанностей между "
    "отделами на следующий квартал"
)
assert len(_long_ru) > 150, len(_long_ru)
add(
    "mbox:Projects/Alpha",
    (bwords_folded(_long_ru, "UTF-8"), _long_ru),
    (f"{bword('Дмитрий Волков', 'UTF-8')} <dmitri@example.org>", "Дмитрий Волков"),
    mail_date(2019, 2, 14, 14, 0, 0, "+0300"),
    b64_body("Коллеги,\n\nпротокол во вложении будет завтра.\n\nДмитрий\n"),
    extra=[xms(0x0000)] + text_part("utf-8", "base64"),
    cases=[
        f"long Cyrillic subject ({len(_long_ru)} characters) in folded UTF-8 B words",
        "base64 UTF-8 body",
    ],
)
add(
    "mbox:Projects/Alpha",
    (bword("Счёт №42 на оплату", "windows-1251"), "Счёт №42 на оплату"),
    (f"{bword('Иван Петров', 'windows-1251')} <ivan.petrov@example.com>", "Иван Петров"),
    mail_date(2019, 4, 22, 10, 10, 0, "+0300"),
    qp_body("Добрый день!\n\nСчёт №42 приложен.\n\nИван\n", "windows-1251"),
    extra=[xms(0x0001)] + text_part("windows-1251", "quoted-printable"),
    read=True,
    cases=["Windows-1251 B encoded words (ё and №)", "quoted-printable Windows-1251 body"],
)
add(
    "mbox:Projects/Alpha",
    (bword("Привет из Москвы", "KOI8-R"), "Привет из Москвы"),
    (f"{qword('Дмитрий Волков', 'KOI8-R')} <dmitri@example.org>", "Дмитрий Волков"),
    mail_date(2021, 11, 8, 8, 0, 0, "+0300"),
    b64_body("Привет, Сэм!\n\nЁлки в Москве уже стоят.\n".encode("koi8-r")),
    extra=[xms(0x0005), ("X-Priority", "2 (High)")] + text_part("koi8-r", "base64"),
    read=True,
    flagged=True,
    cases=[
        "KOI8-R B subject, KOI8-R Q display name, base64 KOI8-R body",
        "X-Priority 2",
        "X-Mozilla-Status 0005",
    ],
)
add(
    "mbox:Projects/Beta",
    (bword("Zażółć gęślą jaźń", "ISO-8859-2"), "Zażółć gęślą jaźń"),
    (f"{qword('Zofia Wójcik', 'ISO-8859-2')} <zofia.wojcik@example.org>", "Zofia Wójcik"),
    mail_date(2018, 9, 5, 16, 45, 0, "+0200"),
    qp_body("Cześć Sam,\n\nzażółć gęślą jaźń — to nasz test polskich liter.\n\nZofia\n"
            .replace("—", "-"), "iso-8859-2"),
    extra=[xms(0x0001)] + text_part("iso-8859-2", "quoted-printable"),
    read=True,
    cases=["ISO-8859-2 B subject, ISO-8859-2 Q name", "quoted-printable ISO-8859-2 body"],
)
add(
    "mbox:Projects/Beta",
    (f"Fw: {qword('Spotkanie w środę', 'ISO-8859-2')}", "Fw: Spotkanie w środę"),
    (f"{qword('Zofia Wójcik', 'ISO-8859-2')} <zofia.wojcik@example.org>", "Zofia Wójcik"),
    mail_date(2018, 9, 6, 8, 0, 0, "+0200"),
    "Forwarding the meeting note.\n",
    extra=[xms(0x0004)] + TEXT,
    flagged=True,
    cases=["'Fw: ' prefix before an ISO-8859-2 Q word", "flagged, unread"],
)
_requirements = "Beta requirements v0.1\n\n1. Scope\n2. Interfaces\n3. Open questions\n"
_body, _mp = multipart(
    "mixed",
    "mixed-0033",
    [
        ("Content-Type: text/plain; charset=us-ascii", "The first draft is attached.\n\nAlice\n"),
        (
            'Content-Type: text/plain; charset=us-ascii; name="beta-requirements.txt"\n'
            "Content-Transfer-Encoding: base64\n"
            'Content-Disposition: attachment; filename="beta-requirements.txt"',
            b64_body(_requirements),
        ),
    ],
)
add(
    "mbox:Projects/Beta/Archive",
    plain("Beta requirements v0.1"),
    (ALICE, "Alice Martin"),
    mail_date(2003, 10, 14, 9, 0, 0, "-0700"),
    _body,
    extra=[xms(0x0001)] + _mp,
    read=True,
    cases=["multipart/mixed with a base64 text attachment", "year 2003, zone -0700"],
)
add(
    "mbox:Projects/Beta/Archive",
    plain("Re: Beta requirements v0.1"),
    (BOB, "Bob Kowalski"),
    mail_date(2003, 10, 15, 10, 0, 0, "+0100"),
    "Looks fine. One question on the interfaces.\n",
    extra=[xms(0x0001)] + TEXT,
    read=True,
    cases=["folder at the third level"],
)
add(
    "mbox:Projects/deleted items",
    plain("Should never appear in the tree"),
    (BOB, "Bob Kowalski"),
    mail_date(2012, 2, 2, 9, 0, 0, "+0000"),
    "A 'deleted items' folder below Projects: skipped in any letter case, at any level.\n",
    extra=[xms(0x0001)] + TEXT,
    read=True,
    cases=["'deleted items' in lower case at the second level: skipped by the tree"],
)

# ---- Local Folders / Archives (no mbox file: a folder without messages) / 2008

add(
    "mbox:Archives/2008",
    plain("Happy new year 2008"),
    (ALICE, "Alice Martin"),
    mail_date(2008, 1, 1, 0, 5, 0, "+1300"),
    "Happy new year from Auckland!\n",
    extra=[xms(0x0001)] + TEXT,
    read=True,
    cases=["zone +1300 (sent 2007-12-31 UTC)", "folder whose parent has no mbox file"],
)
_body, _mp = multipart(
    "mixed",
    "mixed-0035",
    [
        (
            "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: quoted-printable",
            qp_body("One photo from the trip – the rest follows.\n", "utf-8"),
        ),
        (
            "Content-Type: image/png\nContent-Transfer-Encoding: base64\n"
            'Content-Disposition: inline; filename="photo.png"',
            b64_body(PHOTO_PNG),
        ),
    ],
)
add(
    "mbox:Archives/2008",
    plain("Photos from the trip"),
    (CAROL, "Carol Nguyen"),
    mail_date(2008, 8, 16, 20, 0, 0, "+1000"),
    _body,
    extra=[xms(0x0001)] + _mp,
    read=True,
    cases=["multipart/mixed with an inline PNG", "zone +1000"],
)

# ---- Maildir

add(
    "maildir:",
    plain("Maildir welcome"),
    (ALICE, "Alice Martin"),
    mail_date(2009, 1, 5, 10, 0, 0, "-0500"),
    "This is the Maildir half of the sample store.\n",
    extra=TEXT,
    read=True,
    maildir_name="cur/1231167600.M101P4242.sample:2,S",
    cases=["Maildir cur/ ':2,S' (read)"],
)
add(
    "maildir:",
    ("=?utf-8?q?Wer_kommt=3F_=E2=9C=85?=", "Wer kommt? ✅"),
    (f"{qword('Hans Müller', 'ISO-8859-1')} <hans.mueller@example.net>", "Hans Müller"),
    mail_date(2017, 7, 21, 19, 30, 0, "+0200"),
    "Grillabend am Samstag. Wer kommt?\n",
    extra=TEXT,
    read=True,
    flagged=True,
    maildir_name="cur/1500658200.M102P4242.sample:2,FS",
    cases=["':2,FS' (read, flagged)", "lower-case utf-8?q word, '=3F' and an emoji (4 bytes)"],
)
add(
    "maildir:",
    (qword("Preis: 20 €", "ISO-8859-15"), "Preis: 20 €"),
    ("shop@example.com", "shop@example.com"),
    mail_date(2023, 2, 28, 15, 0, 0, "+0100"),
    qp_body("Der Preis beträgt 20 € inklusive Versand.\n", "iso-8859-15"),
    extra=[("X-Priority", "1")] + text_part("iso-8859-15", "quoted-printable"),
    maildir_name="cur/1677592800.M103P4242.sample:2,",
    cases=["':2,' (unread)", "ISO-8859-15 Q word (euro sign 0xA4)", "X-Priority 1"],
)
_body, _mp = multipart(
    "alternative",
    "alt-0039",
    [
        ("Content-Type: text/plain; charset=us-ascii", "New mail, not yet seen.\n"),
        ("Content-Type: text/html; charset=us-ascii", "<p>New mail, <b>not yet seen</b>.</p>\n"),
    ],
)
add(
    "maildir:",
    plain("Fresh delivery"),
    (BOB, "Bob Kowalski"),
    mail_date(2024, 11, 3, 8, 15, 0, "-0500"),
    _body,
    extra=_mp,
    maildir_name="new/1730639700.M104P4242.sample",
    cases=["Maildir new/ without info part (unread)", "multipart/alternative 7bit"],
)
add(
    "maildir:",
    plain("Half-delivered"),
    (BOB, "Bob Kowalski"),
    mail_date(2024, 11, 3, 8, 16, 0, "-0500"),
    "A file in tmp/ is still being delivered: not a message of the folder.\n",
    extra=TEXT,
    deleted=True,
    maildir_name="tmp/1730639760.M105P4242.sample",
    cases=["tmp/ file: ignored"],
)
add(
    "maildir:.Work",
    plain("Weekly status"),
    (CAROL, "Carol Nguyen"),
    mail_date(2022, 5, 13, 17, 0, 0, "+0000"),
    "All green this week.\n",
    extra=TEXT,
    read=True,
    maildir_name="cur/1652461200.M201P4242.sample:2,S",
    cases=["Maildir++ folder .Work"],
)
add(
    "maildir:.Work",
    plain("RE: Weekly status"),
    (SAM, "Sam Taylor"),
    mail_date(2022, 5, 13, 18, 0, 0, "+0000"),
    "Thanks.\n",
    to=CAROL,
    extra=TEXT,
    read=True,
    maildir_name="cur/1652464800.M202P4242.sample:2,RS",
    cases=["':2,RS' (replied, read)", "'RE:' prefix"],
)
add(
    "maildir:.Work",
    plain("Obsolete status"),
    (CAROL, "Carol Nguyen"),
    mail_date(2022, 5, 6, 17, 0, 0, "+0000"),
    "This one is trashed.\n",
    extra=TEXT,
    read=True,
    deleted=True,
    maildir_name="cur/1651856400.M200P4242.sample:2,ST",
    cases=["':2,ST' trashed: not counted"],
)
_body, _mp = multipart(
    "mixed",
    "mixed-0043",
    [
        ("Content-Type: text/plain; charset=us-ascii", "The Q3 report data is attached.\n"),
        (
            'Content-Type: text/csv; name="q3.csv"\nContent-Transfer-Encoding: base64\n'
            'Content-Disposition: attachment; filename="q3.csv"',
            b64_body("month,tickets\nJul,41\nAug,37\nSep,52\n"),
        ),
    ],
)
add(
    "maildir:.Work.Reports",
    plain("Report Q3"),
    (CAROL, "Carol Nguyen"),
    mail_date(2022, 10, 3, 9, 0, 0, "+0000"),
    _body,
    extra=_mp,
    flagged=True,
    maildir_name="cur/1664787600.M301P4242.sample:2,F",
    cases=["Maildir++ sub-folder .Work.Reports", "':2,F' (flagged, unread)", "CSV attachment"],
)
add(
    "maildir:.Caf&AOk-",
    (bword("Café crème", "UTF-8"), "Café crème"),
    (f"{qword('Élodie Fournier', 'UTF-8')} <elodie.fournier@example.net>", "Élodie Fournier"),
    mail_date(2020, 2, 2, 8, 0, 0, "+0100"),
    "Un café crème, s'il te plaît.\n",
    extra=text_part("utf-8", "8bit"),
    read=True,
    maildir_name="cur/1580626800.M401P4242.sample:2,S",
    cases=["folder name in modified UTF-7 (.Caf&AOk- is Café)"],
)


# ---------------------------------------------------------------- writing

MBOX_ROOT = "Local Folders"
MAILDIR_ROOT = "Maildir"
MBOX_FOLDERS = [  # every mbox file, in order; "Archives" has none (only Archives.sbd)
    "Inbox",
    "Sent",
    "Drafts",
    "Newsletters",
    "Deleted Items",
    "Deleted Items/Old",
    "Projects",
    "Projects/Alpha",
    "Projects/Beta",
    "Projects/Beta/Archive",
    "Projects/deleted items",
    "Archives/2008",
]
MAILDIR_FOLDERS = ["", ".Work", ".Work.Reports", ".Caf&AOk-"]


def mbox_file(root, folder):
    parts = folder.split("/")
    return os.path.join(root, *[p + ".sbd" for p in parts[:-1]], parts[-1])


def write_mbox(root):
    for folder in MBOX_FOLDERS:
        path = mbox_file(root, folder)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        chunks = []
        for m in MESSAGES:
            if m.folder == "mbox:" + folder:
                raw = m.raw()
                for line in raw.split(b"\n"):
                    assert not line.startswith(b"From "), (m.subject, line)
                chunks.append(separator(m.received, m.sep_sender).encode() + b"\n" + raw + b"\n")
        with open(path, "wb") as f:
            f.write(b"".join(chunks))
    with open(os.path.join(root, "Inbox.msf"), "wb") as f:
        f.write(b"// index of Inbox, rebuilt by the mail client; not a mailbox\n")


def write_maildir(root):
    for folder in MAILDIR_FOLDERS:
        base = os.path.join(root, folder) if folder else root
        for m in MESSAGES:
            if m.folder == "maildir:" + folder:
                path = os.path.join(base, m.maildir_name)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "wb") as f:
                    f.write(m.raw())


# ---------------------------------------------------------------- checking


def expected_table():
    """folder -> [messages, unread, flagged], counting what a reader should count."""
    table = {}
    for folder in ["mbox:" + f for f in MBOX_FOLDERS] + ["maildir:" + f for f in MAILDIR_FOLDERS]:
        ms = [m for m in MESSAGES if m.folder == folder and not m.deleted]
        table[folder] = [len(ms), sum(not m.read for m in ms), sum(m.flagged for m in ms)]
    return table


def display(addr_header):
    if addr_header is None:
        return None
    a = addr_header.addresses[0]
    return a.display_name or a.addr_spec


def check_message(raw, m, problems):
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    subj = msg["subject"]
    if (None if subj is None else str(subj)) != m.subject:
        problems.append(f"{m.maildir_name or m.folder}: subject {subj!r} != {m.subject!r}")
    if display(msg["from"]) != m.sender:
        problems.append(f"{m.subject}: sender {display(msg['from'])!r} != {m.sender!r}")
    if msg["to"] is not None:
        msg["to"].addresses  # parses
    for part in msg.walk():
        if part.is_multipart():
            continue
        content = part.get_content()  # decodes the transfer encoding and the charset
        if part.get_content_maintype() == "image":
            if not content.startswith(b"\x89PNG\r\n\x1a\n"):
                problems.append(f"{m.subject}: bad PNG")
            zlib.decompress(content[content.index(b"IDAT") + 4 :])  # whole stream present
        elif part.get_content_type() == "text/plain" and "�" in content:
            problems.append(f"{m.subject}: undecodable text")
    for d in msg.defects:
        problems.append(f"{m.subject}: defect {d!r}")


def check(out):
    problems = []
    table = expected_table()
    root = os.path.join(out, MBOX_ROOT)
    # mbox: Python's reader splits at separators and keeps '>From ' as stored.
    for folder in MBOX_FOLDERS:
        path = mbox_file(root, folder)
        box = mailbox.mbox(path, create=False)
        stored = [m for m in MESSAGES if m.folder == "mbox:" + folder]
        got = list(box)
        if len(got) != len(stored):
            problems.append(f"{folder}: {len(got)} messages, expected {len(stored)}")
            continue
        counted = [0, 0, 0]
        for key, mm, m in zip(box.keys(), got, stored):
            check_message(box.get_bytes(key), m, problems)
            names = [n.lower() for n in mm.keys()]
            if "x-mozilla-status" in names:
                before = names[: names.index("x-mozilla-status")]
                if any(n not in (f.lower() for f in CLIENT_FIELDS) for n in before):
                    problems.append(f"{m.subject}: X-Mozilla-Status after {before}")
            status = int(mm["X-Mozilla-Status"], 16) if mm["X-Mozilla-Status"] else None
            if status is not None:
                if status & 0x0008:
                    continue
                read, flagged = bool(status & 1), bool(status & 4)
            else:
                read, flagged = "R" in (mm["Status"] or ""), "F" in (mm["X-Status"] or "")
            counted[0] += 1
            counted[1] += not read
            counted[2] += flagged
        if counted != table["mbox:" + folder]:
            problems.append(f"{folder}: counts {counted} != {table['mbox:' + folder]}")
    if os.path.exists(os.path.join(root, "Archives")):
        problems.append("Archives must have no mbox file")
    # the escaped body lines
    inbox = open(mbox_file(root, "Inbox"), "rb").read()
    for line in (b"\n>From the airport", b"\n>>From here"):
        if line not in inbox:
            problems.append(f"Inbox lacks {line!r}")
    if not inbox.endswith(b"\n\n"):
        problems.append("mbox must end with an empty line")
    if os.path.getsize(mbox_file(root, "Drafts")) != 0:
        problems.append("Drafts must be empty")
    # Maildir: Python's reader (flags from the info part; it ignores tmp/ too).
    # A clone has no empty new/ or tmp/, which Python's reader wants: read a copy that has them.
    scratch = tempfile.mkdtemp()
    mroot = os.path.join(scratch, MAILDIR_ROOT)
    shutil.copytree(os.path.join(out, MAILDIR_ROOT), mroot)
    for folder in MAILDIR_FOLDERS:
        base = os.path.join(mroot, folder) if folder else mroot
        for sub in ("cur", "new", "tmp"):
            os.makedirs(os.path.join(base, sub), exist_ok=True)
        box = mailbox.Maildir(base, factory=None, create=False)
        by_name, counted = {}, [0, 0, 0]
        for key in box.keys():
            mm = box.get_message(key)
            info = mm.get_info()
            by_name[f"{mm.get_subdir()}/{key}" + (":" + info if info else "")] = box.get_bytes(key)
            if "T" in mm.get_flags():
                continue
            counted[0] += 1
            counted[1] += mm.get_subdir() == "new" or "S" not in mm.get_flags()
            counted[2] += "F" in mm.get_flags()
        stored = [m for m in MESSAGES if m.folder == "maildir:" + folder and "tmp/" not in m.maildir_name]
        if sorted(by_name) != sorted(m.maildir_name for m in stored):
            problems.append(f"Maildir {folder!r}: files {sorted(by_name)}")
        for m in stored:
            check_message(by_name.get(m.maildir_name, b""), m, problems)
        if counted != table["maildir:" + folder]:
            problems.append(f"Maildir {folder!r}: counts {counted} != {table['maildir:' + folder]}")
    shutil.rmtree(scratch)
    for dirpath, _, files in os.walk(out):
        for name in files:
            data = open(os.path.join(dirpath, name), "rb").read()
            if b"\r" in data:
                problems.append(f"{name}: CR in file")
    return problems


def mutf7_decode(name):
    out, i = "", 0
    while i < len(name):
        if name[i] == "&":
            j = name.index("-", i)
            chunk = name[i + 1 : j]
            if chunk:
                b64 = chunk.replace(",", "/")
                out += base64.b64decode(b64 + "=" * (-len(b64) % 4)).decode("utf-16-be")
            else:
                out += "&"
            i = j + 1
        else:
            out += name[i]
            i += 1
    return out


def expected_tree(root_name):
    """The folder tree as the program shows it: a folder with sub-folders gives a folder entry
    (bare name) and a mailbox entry (name [count], bare when empty); "Deleted Items" in any
    letter case is left out with everything below it; siblings sorted case-insensitively."""
    table = expected_table()
    nodes = {}  # path tuple -> count (None: folder without messages of its own)
    if root_name == MBOX_ROOT:
        for folder in MBOX_FOLDERS:
            parts = tuple(folder.split("/"))
            for k in range(1, len(parts)):
                nodes.setdefault(parts[:k], 0)
            nodes[parts] = table["mbox:" + folder][0]
    else:
        for folder in MAILDIR_FOLDERS:
            parts = tuple(mutf7_decode(folder[1:]).split(".")) if folder else ("Inbox",)
            for k in range(1, len(parts)):
                nodes.setdefault(parts[:k], 0)
            nodes[parts] = table["maildir:" + folder][0]
    lines = [root_name]

    def walk(prefix, depth):
        entries = []  # (text, order, children prefix or None)
        for path, count in nodes.items():
            if len(path) != len(prefix) + 1 or path[:-1] != prefix:
                continue
            name = path[-1]
            if name.casefold() == "deleted items":
                continue
            if any(len(p) > len(path) and p[: len(path)] == path for p in nodes):
                entries.append((name, 0, path))
            entries.append((f"{name} [{count}]" if count else name, 1, None))
        for text, _, sub in sorted(entries, key=lambda e: (e[0].casefold(), e[1])):
            lines.append("  " * depth + text)
            if sub:
                walk(sub, depth + 1)

    walk((), 1)
    return "\n".join(lines)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    ap.add_argument("--out", default=os.path.join(os.path.dirname(__file__), "..", "examples"))
    ap.add_argument("--check", nargs="?", const="", metavar="DIR")
    ap.add_argument("--table", action="store_true", help="print the intended counts")
    ap.add_argument("--tree", action="store_true", help="print the intended folder trees")
    args = ap.parse_args()
    if args.table:
        for folder, (n, unread, flagged) in expected_table().items():
            print(f"| `{folder}` | {n} | {n - unread} | {unread} | {flagged} |")
        return 0
    if args.tree:
        print(expected_tree(MBOX_ROOT) + "\n\n" + expected_tree(MAILDIR_ROOT))
        return 0
    if args.check is not None:
        problems = check(args.check or args.out)
        for p in problems:
            print("FAIL:", p)
        print("sample store OK" if not problems else f"{len(problems)} problems")
        return 1 if problems else 0
    out = os.path.abspath(args.out)
    for name in (MBOX_ROOT, MAILDIR_ROOT):
        shutil.rmtree(os.path.join(out, name), ignore_errors=True)
    write_mbox(os.path.join(out, MBOX_ROOT))
    write_maildir(os.path.join(out, MAILDIR_ROOT))
    print(f"wrote {len(MESSAGES)} messages under {out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
