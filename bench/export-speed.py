#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Whole-run speed of `parcelo-cli export` against three peers on the same generated mbox.

Usage: bench/export-speed.py [--messages N ...] [--rounds R] [--only NAMES] [--cli PATH]
                             [--tmp DIR] [--seed S] [--strace] [--million [N]]
                             [--maildir [N ...]] [--wide-tree [N ...]] [--skip-mbox] [--keep]

For each size a deterministic mbox is written (realistic headers, encoded words, quoted-printable
and multipart messages with base64 attachments, mboxrd-quoted ">From " body lines, about 8.8 KB a
message), then five commands each turn it into one file per message:
  parcelo    parcelo-cli export, all folders, one folder, files named by subject, log and index on
  mailsplit  git mailsplit (splits only)
  cp         cp -r of the files an earlier parcelo-cli run wrote
  python     a script reading it with the standard library's mailbox module, one .eml a message
  floor      a small C program (built here with cc) that only writes the files an earlier
             parcelo-cli run wrote, from one mapped file: what writing them costs at the least
They run alternately, in a shuffled order each round, each into a fresh folder after a sync and a
pause. Nothing is deleted before the end, since deleting tens of thousands of files slows the
creation of the next ones on some file systems. Prints, per size, the median [min-max] wall time
and peak resident size (MB = 2^20 bytes) of each command and the ratios against their targets.
With --million, one more run: an mbox of 1,000,000 messages with unique names (subjects "Bulk
message N", 97 senders, about 2.5 KB a message) and one of 20,000 alike are exported once each,
and the two peaks are compared; it needs about 9 GB of disk, deleted as soon as it is done.
--maildir writes Maildirs of the same messages (a tenth in new/) and times parcelo-cli on each
against cp -r of the Maildir, with the peak resident size by size. --wide-tree writes stores of N
mailboxes of one message each (half side by side, half in groups of ten) as an mbox tree, a
Maildir++ and a nested Maildir, and times `tree` and an export of every mailbox: the time a folder
at the largest N over that at the smallest shows whether a step grows with the square.
The exit status is 0 whatever the figures; non-zero only when a command fails or writes a wrong
number of files, or on bad arguments.
"""
import argparse
import base64
import ctypes
import email.header
import os
import pathlib
import quopri
import random
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import textwrap
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
COMMANDS = ("parcelo", "mailsplit", "cp", "python", "floor")
AVERAGE_MESSAGE = 8800  # bytes in the mbox, separator included; the disk estimate relies on it
PAUSE_SECONDS = 1.0
PEAK_LIMIT_MB = 24.0
PEAK_SPREAD_MB = 2.0
MAILSPLIT_TARGET = 0.8  # parcelo's median over git mailsplit's, at most

MAILBOX_SCRIPT = """\
import mailbox, os, sys
source, dest = sys.argv[1], sys.argv[2]
for i, m in enumerate(mailbox.mbox(source)):
    with open(os.path.join(dest, "%d.eml" % i), "wb") as f:
        f.write(m.as_bytes())
"""


class Failure(Exception):
    pass


# ---------------------------------------------------------------- the mbox

WORDS = ("the of and to in is that for it as was with be by on not he this are or his from at "
         "which but have an they you were her she there been one all we their has would when "
         "report budget meeting draft review schedule release server backup invoice order "
         "customer project team office quarter figures contract proposal travel agenda minutes "
         "network printer license update question answer summary deadline holiday invitation "
         "lunch slides results numbers attached version change request support ticket access "
         "account password migration rollout feedback planning estimate sprint design").split()
UMLAUT_WORDS = ("Grüße aus München Änderung Übersicht Bestätigung Größe Straße Prüfung "
                "résumé café déjà reçu français naïve Zoë señor año niño Łódź Kraków "
                "Rechnungsprüfung Überweisung Frühstück").split()
NAMES = ("Alice Martin", "Bob Kowalski", "Carol Nguyen", "Dave O'Brien", "Erin Walsh",
         "Frank Miller", "Grace Hopper", "Heidi Larsen", "Ivan Petrov", "Judy Chen",
         "Mallory Stone", "Oscar Diaz", "Peggy Moore", "Trent Fischer", "Victor Hugo")
UTF8_NAMES = ("Jörg Müller", "François Lefèvre", "Zoë Ångström", "Łukasz Wąsik", "Søren Østergaard",
              "José Peña", "田中 太郎", "Ирина Смирнова")
LATIN1_NAMES = ("Jörg Müller", "Björn Größ", "Hélène Dubois", "Agnès Mérieux")
DOMAINS = ("example.com", "example.org", "example.net", "mail.example.com", "corp.example.org")
TOPICS = ("Quarterly report", "Budget draft", "Meeting minutes", "Release notes", "Server backup",
          "Travel plans", "Contract review", "Office move", "Team lunch", "Printer problem",
          "License renewal", "Holiday schedule", "Project status", "Customer feedback",
          "Network outage", "Sprint planning", "Design review", "Access request")
QUALIFIERS = ("for Monday", "next week", "(updated)", "- please read", "v2", "final", "draft",
              "questions", "follow-up", "for the board", "in March", "and numbers", "", "", "")
WEEKDAYS = ("Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun")
MONTHS = ("Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec")


def paragraph(rng, words, lines):
    text = " ".join(rng.choice(words) for _ in range(lines * 12)).capitalize() + "."
    return textwrap.fill(text, 72)


def mboxrd_quote(body):
    # What a writer of mbox files does: a body line that is ">*From " gets one more ">".
    if "From " not in body:
        return body
    out = []
    for line in body.split("\n"):
        if line.lstrip(">").startswith("From "):
            line = ">" + line
        out.append(line)
    return "\n".join(out)


class MboxWriter:
    """Deterministic messages of mixed kinds; pools keep the generation of 100,000 fast."""

    def __init__(self, seed):
        rng = random.Random(seed)
        self.rng = rng
        plain = [paragraph(rng, WORDS, rng.randint(2, 12)) for _ in range(300)]
        # Lines that an mbox writer must quote, and lines that were already quoted.
        plain += ["From what I remember, " + paragraph(rng, WORDS, 2) for _ in range(4)]
        plain += ["> On Monday you wrote:\n>From the minutes: " + paragraph(rng, WORDS, 1)
                  for _ in range(4)]
        self.paragraphs = plain
        self.utf8_paragraphs = [paragraph(rng, WORDS + UMLAUT_WORDS * 3, rng.randint(2, 12))
                                for _ in range(200)]
        self.attachments = []
        for _ in range(200):
            raw = rng.randbytes(int(rng.triangular(2000, 38000, 12000)))
            name = "%s-%d.%s" % (rng.choice(("scan", "report", "photo", "data", "invoice")),
                                 rng.randint(1, 999), rng.choice(("pdf", "jpg", "zip", "bin")))
            self.attachments.append((name, base64.encodebytes(raw).decode()))
        self.subjects = []

    def address(self):
        rng = self.rng
        kind = rng.random()
        if kind < 0.12:
            name = email.header.Header(rng.choice(UTF8_NAMES), "utf-8").encode()
        elif kind < 0.2:
            name = email.header.Header(rng.choice(LATIN1_NAMES), "iso-8859-1").encode()
        else:
            name = rng.choice(NAMES)
            name = '"%s"' % name if "'" in name else name
        local = "user%d" % rng.randint(1, 400)
        addr = "%s@%s" % (local, rng.choice(DOMAINS))
        return "%s <%s>" % (name, addr), addr

    def subject(self, i):
        rng = self.rng
        if self.subjects and rng.random() < 0.25:
            return "Re: " + rng.choice(self.subjects[-200:]).removeprefix("Re: ")
        kind = rng.random()
        if kind < 0.25:
            text = "%s %d" % (rng.choice(("Invoice", "Order", "Ticket #", "Case")), 10000 + i)
            text = text.replace("# ", "#")
        elif kind < 0.4:
            text = " ".join(rng.choice(UMLAUT_WORDS) for _ in range(rng.randint(2, 6)))
        else:
            text = " ".join(filter(None, (rng.choice(TOPICS), rng.choice(WORDS),
                                          rng.choice(QUALIFIERS))))
        self.subjects.append(text)
        return text

    def date(self, stamp):
        offset = self.rng.choice((0, 60, 120, -300, -420, 330, 540))
        t = time.gmtime(stamp + offset * 60)
        sign = "+" if offset >= 0 else "-"
        return "%s, %02d %s %d %02d:%02d:%02d %s%02d%02d" % (
            WEEKDAYS[t.tm_wday], t.tm_mday, MONTHS[t.tm_mon - 1], t.tm_year, t.tm_hour, t.tm_min,
            t.tm_sec, sign, abs(offset) // 60, abs(offset) % 60)

    def text(self, pool, low, high):
        return "\n\n".join(self.rng.choice(pool) for _ in range(self.rng.randint(low, high)))

    def body(self, i):
        """The MIME header fields and the body of one message."""
        rng = self.rng
        kind = rng.random()
        if kind < 0.42:
            return ("Content-Type: text/plain; charset=us-ascii\n"
                    "Content-Transfer-Encoding: 7bit\n", self.text(self.paragraphs, 2, 10) + "\n")
        if kind < 0.6:
            raw = self.text(self.utf8_paragraphs, 2, 8).encode("utf-8")
            return ("Content-Type: text/plain; charset=utf-8\n"
                    "Content-Transfer-Encoding: quoted-printable\n",
                    quopri.encodestring(raw).decode("ascii") + "\n")
        boundary = "----=_Part_%d_%d" % (i, rng.randint(100000, 999999))
        text = self.text(self.paragraphs, 1, 6)
        if kind < 0.8:
            html = "<html><body>\n%s\n</body></html>" % "\n".join(
                "<p>%s</p>" % p.replace("\n", " ").replace(">", "&gt;") for p in text.split("\n\n"))
            parts = [("text/plain; charset=us-ascii", "7bit", text),
                     ("text/html; charset=us-ascii", "7bit", html)]
            kind_name = "alternative"
        else:
            name, data = rng.choice(self.attachments)
            parts = [("text/plain; charset=us-ascii", "7bit", text),
                     ('application/octet-stream; name="%s"\nContent-Disposition: attachment; '
                      'filename="%s"' % (name, name), "base64", data.rstrip("\n"))]
            kind_name = "mixed"
        body = ["This is a multi-part message in MIME format.\n"]
        for ctype, cte, content in parts:
            body.append("--%s\nContent-Type: %s\nContent-Transfer-Encoding: %s\n\n%s\n"
                        % (boundary, ctype, cte, content))
        body.append("--%s--\n" % boundary)
        return ('Content-Type: multipart/%s;\n\tboundary="%s"\n' % (kind_name, boundary),
                "".join(body))

    def message(self, i, stamp):
        rng = self.rng
        sender, sender_addr = self.address()
        to, to_addr = self.address()
        subject = self.subject(i)
        if not subject.isascii():
            subject = email.header.Header(subject, "utf-8").encode()
        mime, body = self.body(i)
        domain = sender_addr.split("@")[1]
        date = self.date(stamp)
        head = ["From %s %s\n" % (sender_addr, time.asctime(time.gmtime(stamp))),
                "Return-Path: <%s>\n" % sender_addr]
        for hop in range(2):
            head.append("Received: from mx%d.%s (mx%d.%s [192.0.2.%d])\n\tby mail.example.org "
                        "(Postfix) with ESMTP id %X\n\tfor <%s>; %s\n"
                        % (hop, domain, hop, domain, rng.randint(1, 254),
                           rng.getrandbits(40), to_addr, date))
        head.append("Message-ID: <%d.%X@%s>\n" % (i, rng.getrandbits(32), domain))
        head.append("Date: %s\nFrom: %s\nTo: %s\n" % (date, sender, to))
        if rng.random() < 0.3:
            head.append("Cc: %s, %s\n" % (self.address()[0], self.address()[0]))
        head.append("Subject: %s\n" % subject)
        if subject.startswith("Re: "):
            head.append("In-Reply-To: <%d.%X@%s>\n" % (max(i - 3, 0), rng.getrandbits(32), domain))
        if rng.random() < 0.5:
            head.append("User-Agent: %s\n" % rng.choice(("Mozilla/5.0 Thunderbird/102.0",
                                                         "Mutt/2.2.9", "Evolution 3.46")))
        head.append("MIME-Version: 1.0\n")
        head.append(mime)
        return "".join(head) + "\n" + mboxrd_quote(body) + "\n"

    def write(self, path, count):
        stamp = 1230768000  # 2009-01-01
        with open(path, "w", encoding="utf-8", newline="\n", buffering=1 << 20) as f:
            for i in range(count):
                stamp += self.rng.randint(60, 3600)
                f.write(self.message(i, stamp))


# ---------------------------------------------------------------- running


class Runner:
    """Runs commands and takes their wall time and their own peak resident size.

    A child of this process starts as a copy of it, and the kernel keeps that copy's size as the
    child's peak even after exec. So each command is started by a shell in the background: the
    shell exits at once, the command (a copy of the small shell before its exec) is handed to
    this process as a subreaper, and wait4 gives its own peak.
    """

    PR_SET_CHILD_SUBREAPER = 36

    def __init__(self, work, env):
        self.work = work
        self.env = env
        self.child = None  # pid of the running command, ended on Ctrl-C
        self.last_cpu = 0.0  # user and system seconds of the last command
        libc = ctypes.CDLL(None, use_errno=True)
        if libc.prctl(self.PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
            raise Failure("cannot become a subreaper: %s" % os.strerror(ctypes.get_errno()))

    def run(self, cmd, log_name):
        """Wall seconds and peak resident KiB of one command; its output goes to a log file."""
        log = self.work / log_name
        read_end, write_end = os.pipe()
        actions = [(os.POSIX_SPAWN_OPEN, 0, os.devnull, os.O_RDONLY, 0),
                   (os.POSIX_SPAWN_OPEN, 1, str(log), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644),
                   (os.POSIX_SPAWN_DUP2, 1, 2),
                   (os.POSIX_SPAWN_DUP2, write_end, 3)]
        # Ctrl-C waits until the command's pid is known, so that it can be ended.
        blocked = signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGINT, signal.SIGTERM})
        try:
            start = time.monotonic()
            try:
                shell = os.posix_spawn(
                    "/bin/sh", ["sh", "-c", '"$@" 3>&- & echo $! >&3', "sh"] + cmd, self.env,
                    file_actions=actions, setsigmask=())
            finally:
                os.close(write_end)
            with os.fdopen(read_end) as pid_text:
                text = pid_text.read().strip()
            os.waitpid(shell, 0)
            if not text.isdigit():
                raise Failure("cannot start %s (see %s)" % (cmd[0], log))
            self.child = int(text)
        finally:
            signal.pthread_sigmask(signal.SIG_SETMASK, blocked)
        _, status, usage = os.wait4(self.child, 0)
        wall = time.monotonic() - start
        self.last_cpu = usage.ru_utime + usage.ru_stime
        self.child = None
        code = os.waitstatus_to_exitcode(status)
        if code != 0:
            tail = log.read_text(errors="replace").splitlines()[-10:]
            raise Failure("%s failed with status %d:\n  %s\n%s"
                          % (cmd[0], code, " ".join(cmd), "\n".join("  | " + t for t in tail)))
        return wall, usage.ru_maxrss

    def stop(self):
        if self.child:
            try:
                os.kill(self.child, signal.SIGTERM)
                os.waitpid(self.child, 0)
            except (ProcessLookupError, ChildProcessError):
                pass
            self.child = None


def parcelo_command(cli, store, dest, app):
    # FolderOption=0: every file in the destination root; FileOption=2: named by subject.
    return [cli, "export", "--store", str(store), "--dest", str(dest), "--app-folder", str(app),
            "--set", "FolderOption=0", "--set", "FileOption=2", "--set", "AntiDateFiles=0"]


def count_files(folder):
    with os.scandir(folder) as entries:
        return sum(1 for e in entries if e.is_file(follow_symlinks=False))


class SizeBench:
    """The rounds of one mbox size."""

    def __init__(self, args, runner, count):
        self.args = args
        self.runner = runner
        self.count = count
        self.folder = runner.work / ("n%d" % count)
        self.store = self.folder / "store"
        self.mbox = self.store / "Inbox"
        self.reference = None  # a parcelo-cli destination, the source of cp
        self.pack = None  # its files in one, for the floor
        self.serial = 0
        self.results = {name: [] for name in args.only}

    def prepare(self):
        self.store.mkdir(parents=True)
        start = time.monotonic()
        MboxWriter(self.args.seed + self.count).write(self.mbox, self.count)
        size = self.mbox.stat().st_size
        print("%d messages: mbox %.1f MB (%.1f KB a message), written in %.0f s"
              % (self.count, size / 1e6, size / self.count / 1e3, time.monotonic() - start),
              flush=True)
        if needs_reference(self.args):
            # Also reads the mbox into the page cache, as every later command finds it.
            dest = self.destination("parcelo")
            wall, _ = self.run_parcelo(dest)
            self.reference = dest
            print("  warm-up parcelo-cli run: %.2f s (its files are what cp copies)" % wall,
                  flush=True)
        if "floor" in self.args.only:
            self.pack = self.folder / "floor.pack"
            write_floor_pack(self.reference, self.pack)

    def destination(self, name, create=True):
        self.serial += 1
        dest = self.folder / ("%s-%03d" % (name, self.serial))
        if create:
            dest.mkdir()
        return dest

    def run_parcelo(self, dest):
        # A fresh application folder: each run starts its log and index page anew.
        app = self.destination("app")
        result = self.runner.run(parcelo_command(self.args.cli, self.store, dest, app),
                                 "parcelo.log")
        self.check(dest, "parcelo")
        return result

    def check(self, dest, name):
        files = count_files(dest)
        if files != self.count:
            raise Failure("%s wrote %d files for %d messages (in %s)" % (name, files, self.count,
                                                                       dest))

    def run_one(self, name):
        dest = self.destination(name, create=name != "cp")
        os.sync()
        time.sleep(PAUSE_SECONDS)
        if name == "parcelo":
            result = self.run_parcelo(dest)
        else:
            cmd = {"mailsplit": ["git", "mailsplit", "-o%s" % dest, str(self.mbox)],
                   "cp": ["cp", "-r", str(self.reference), str(dest)],
                   "python": [sys.executable, str(self.runner.work / "mailbox_split.py"),
                              str(self.mbox), str(dest)],
                   "floor": [str(self.runner.work / "export-floor"), str(self.pack),
                             str(dest)]}[name]
            result = self.runner.run(cmd, name + ".log")
            self.check(dest, name)
        self.results[name].append(result)
        return result

    def run_rounds(self, rng):
        for r in range(self.args.rounds):
            order = list(self.args.only)
            rng.shuffle(order)
            times = []
            for name in order:
                wall, _ = self.run_one(name)
                times.append("%s %.2f s" % (name, wall))
            print("  round %d/%d: %s" % (r + 1, self.args.rounds, ", ".join(times)), flush=True)

    def peak_mb(self):
        return max(kib for _, kib in self.results["parcelo"]) / 1024

    def report(self):
        print("\n%d messages, %d rounds" % (self.count, self.args.rounds))
        print("  %-10s %-28s %s" % ("command", "wall s: median [min-max]",
                                     "peak RSS MB: median [min-max]"))
        medians = {}
        for name in self.args.only:
            walls = [w for w, _ in self.results[name]]
            peaks = [kib / 1024 for _, kib in self.results[name]]
            medians[name] = statistics.median(walls)
            print("  %-10s %-28s %s" % (
                name, "%7.2f [%.2f-%.2f]" % (medians[name], min(walls), max(walls)),
                "%6.1f [%.1f-%.1f]" % (statistics.median(peaks), min(peaks), max(peaks))))
        checks = (("parcelo/mailsplit", "parcelo", "mailsplit", "<=", MAILSPLIT_TARGET),
                  ("parcelo/cp", "parcelo", "cp", "<=", 1.5),
                  ("python/parcelo", "python", "parcelo", ">=", 4.0))
        for label, top, bottom, op, target in checks:
            if top not in medians or bottom not in medians:
                continue
            ratio = medians[top] / medians[bottom]
            ok = {"<": ratio < target, "<=": ratio <= target, ">=": ratio >= target}[op]
            print("  %-18s %6.2f  target %-2s %-4g %s"
                  % (label, ratio, op, target, "PASS" if ok else "FAIL"))
        report_floor(medians)
        if "parcelo" in medians:
            peak = self.peak_mb()
            print("  %-18s %6.1f  target <= %g MB %s" % ("parcelo peak MB", peak, PEAK_LIMIT_MB,
                                                      "PASS" if peak <= PEAK_LIMIT_MB else "FAIL"))


def needs_reference(args):
    """Whether a parcelo-cli run's files are needed before the rounds (cp and floor use them)."""
    return any(name in args.only for name in ("parcelo", "cp", "floor"))


def build_floor(work):
    """Compiles bench/export-floor.c into the work folder; its path."""
    compiler = shutil.which("cc")
    if not compiler:
        raise Failure("no C compiler (cc) to build the floor (leave floor out with --only)")
    binary = work / "export-floor"
    source = ROOT / "bench" / "export-floor.c"
    result = subprocess.run([compiler, "-O2", "-o", str(binary), str(source)],
                            capture_output=True, text=True)
    if result.returncode != 0:
        raise Failure("cc could not build %s:\n%s" % (source, result.stderr))
    return binary


def write_floor_pack(folder, pack):
    """The files of folder in one file, in the form export-floor reads: name NUL size NUL bytes."""
    with open(pack, "wb") as out:
        for entry in sorted(os.scandir(folder), key=lambda e: e.name):
            if not entry.is_file(follow_symlinks=False):
                continue
            with open(entry.path, "rb") as f:
                data = f.read()
            out.write(os.fsencode(entry.name) + b"\0" + b"%d" % len(data) + b"\0" + data)


def report_floor(medians):
    """How far parcelo is from the floor, and where mailsplit stands against it."""
    if "floor" not in medians or medians["floor"] <= 0:
        return
    for name in ("parcelo", "mailsplit", "cp"):
        if name in medians:
            print("  %-18s %6.2f  (the floor: only writing the same files)"
                  % (name + "/floor", medians[name] / medians["floor"]))


def strace_counts(runner, args, bench):
    """System calls of one parcelo-cli run under strace -f -c, per message."""
    if not shutil.which("strace"):
        print("\nstrace is not installed: the system-call count is skipped.")
        return
    dest = bench.destination("strace")
    app = bench.destination("app")
    summary = runner.work / "strace.txt"
    runner.run(["strace", "-f", "-c", "-o", str(summary)]
               + parcelo_command(args.cli, bench.store, dest, app), "strace-run.log")
    bench.check(dest, "parcelo under strace")
    lines = summary.read_text().splitlines()
    header = next((line for line in lines if "calls" in line and "syscall" in line), None)
    if header is None:
        raise Failure("unexpected strace summary in %s" % summary)
    # Columns are right-aligned under their headers; the call count ends where "calls" ends.
    calls_end = header.index("calls") + len("calls")
    calls_start = header.index("usecs/call") + len("usecs/call")
    counts = []
    for line in lines[lines.index(header) + 1:]:
        fields = line.split()
        if not fields or line.startswith("---") or fields[-1] == "total":
            continue
        counts.append((int(line[calls_start:calls_end]), fields[-1]))
    counts.sort(reverse=True)
    total = sum(c for c, _ in counts)
    print("\nSystem calls of one parcelo-cli run on %d messages (strace -f -c): %d, %.1f a message"
          % (bench.count, total, total / bench.count))
    for calls, name in counts[:12]:
        print("  %-18s %8.2f a message (%d)" % (name, calls / bench.count, calls))


# ---------------------------------------------------------------- the memory run

MILLION_BASE = 20000  # the size whose peak the big run's is compared with
BULK_MESSAGE = 2700  # bytes a message of the bulk mbox, about; the disk estimate relies on it
BULK_SENDERS = 97


def write_bulk_mbox(path, count, seed):
    """Small plain-text messages whose names never repeat: "Bulk message N", 97 senders."""
    rng = random.Random(seed)
    bodies = [mboxrd_quote(paragraph(rng, WORDS, rng.randint(30, 36)) + "\n") for _ in range(64)]
    stamp = 1230768000  # 2009-01-01
    with open(path, "w", encoding="ascii", newline="\n", buffering=1 << 20) as f:
        for i in range(1, count + 1):
            stamp += 31
            t = time.gmtime(stamp)
            sender = i % BULK_SENDERS
            f.write("From sender%d@example.com %s\nFrom: Sender %d <sender%d@example.com>\n"
                    "To: Reader <reader@example.org>\nSubject: Bulk message %d\nDate: %s\n"
                    "Message-ID: <%d.bulk@example.com>\nMIME-Version: 1.0\n"
                    "Content-Type: text/plain; charset=us-ascii\n\n%s\n"
                    % (sender, time.asctime(t), sender, sender, i,
                       time.strftime("%a, %d %b %Y %H:%M:%S +0000", t), i, bodies[i % 64]))


def million_disk_need(args, block):
    """Bytes the memory run takes at its biggest: the mbox, a file a message, the index page."""
    if not args.million:
        return 0
    per_file = -(-int(BULK_MESSAGE * 1.03) // block) * block
    return args.million * (BULK_MESSAGE + per_file + 600)


def million_run(args, runner):
    """Peak resident size of one parcelo-cli run on a huge mbox against one on a small one."""
    peaks = []
    for count in (MILLION_BASE, args.million):
        folder = runner.work / ("bulk%d" % count)
        store, dest, app = folder / "store", folder / "dest", folder / "app"
        for made in (store, dest, app):
            made.mkdir(parents=True)
        try:
            start = time.monotonic()
            write_bulk_mbox(store / "Inbox", count, args.seed)
            size = (store / "Inbox").stat().st_size
            print("\n%d messages with unique names: mbox %.1f MB (%.1f KB a message), written in "
                  "%.0f s" % (count, size / 1e6, size / count / 1e3, time.monotonic() - start),
                  flush=True)
            os.sync()
            wall, kib = runner.run(parcelo_command(args.cli, store, dest, app), "bulk.log")
            files = count_files(dest)
            if files != count:
                raise Failure("parcelo wrote %d files for %d messages (in %s)"
                              % (files, count, dest))
            peaks.append(kib / 1024)
            print("  parcelo-cli: %.1f s, peak RSS %.1f MB" % (wall, kib / 1024), flush=True)
        finally:
            start = time.monotonic()
            shutil.rmtree(folder, ignore_errors=True)
            print("  deleted in %.0f s" % (time.monotonic() - start), flush=True)
    small, big = peaks
    print("\nmemory, unique names: peak MB %d: %.1f, %d: %.1f" % (MILLION_BASE, small,
                                                                 args.million, big))
    print("  %-24s %6.1f  target <= %g MB %s" % ("peak difference MB", big - small, PEAK_SPREAD_MB,
                                               "PASS" if big - small <= PEAK_SPREAD_MB else "FAIL"))
    print("  %-24s %6.1f  target <= %g MB %s" % ("peak MB at %d" % args.million, big,
                                               PEAK_LIMIT_MB,
                                               "PASS" if big <= PEAK_LIMIT_MB else "FAIL"))


# ---------------------------------------------------------------- Maildir and wide trees

MAILDIR_TARGET = 1.3  # parcelo over cp -r of the Maildir
LINEAR_TARGET = 1.3  # time a folder at the largest wide tree over that at the smallest
WIDE_LAYOUTS = ("mbox", "maildir++", "maildir")


def count_files_below(folder):
    return sum(len(files) for _, _, files in os.walk(folder))


def maildir_text(writer, i, stamp):
    # The message as an mbox holds it, without its separator line.
    return writer.message(i, stamp).split("\n", 1)[1]


def write_maildir_message(maildir, writer, i, stamp):
    """One message file: every tenth in new/, the others in cur/, every other one seen."""
    if i % 10 == 0:
        name = "new/%d.M%dP7.bench" % (stamp, i)
    else:
        name = "cur/%d.M%dP7.bench:2,%s" % (stamp, i, "S" if i % 2 else "")
    with open(maildir / name, "w", encoding="utf-8", newline="\n") as f:
        f.write(maildir_text(writer, i, stamp))


def make_maildir(maildir):
    for sub in ("cur", "new", "tmp"):
        (maildir / sub).mkdir(parents=True, exist_ok=True)


def write_maildir(maildir, count, seed):
    make_maildir(maildir)
    writer = MboxWriter(seed)
    stamp = 1230768000
    for i in range(count):
        stamp += writer.rng.randint(60, 3600)
        write_maildir_message(maildir, writer, i, stamp)


def wide_tree_names(count):
    """Tree paths of count mailboxes: half of them side by side at the top, the others in
    groups of ten (a mailbox and its nine sub-mailboxes), so that both a long list of siblings
    and many folders with sub-folders show a step that grows with the square."""
    flat = count // 2
    paths = [("Box %05d" % i,) for i in range(flat)]
    group = 0
    while len(paths) < count:
        parent = "Group%05d" % group
        paths.append((parent,))
        for k in range(min(9, count - len(paths))):
            paths.append((parent, "sub%d" % k))
        group += 1
    return paths


def write_wide_tree(store, layout, count, seed):
    writer = MboxWriter(seed)
    stamp = 1230768000
    store.mkdir(parents=True)
    if layout == "maildir++":
        make_maildir(store)  # its own messages are the Inbox, here none
    for i, path in enumerate(wide_tree_names(count)):
        stamp += writer.rng.randint(60, 3600)
        if layout == "mbox":
            folder = store.joinpath(*(name + ".sbd" for name in path[:-1]), path[-1])
            folder.parent.mkdir(parents=True, exist_ok=True)
            with open(folder, "w", encoding="utf-8", newline="\n") as f:
                f.write(writer.message(i, stamp))
        else:
            maildir = (store / ("." + ".".join(path)) if layout == "maildir++"
                       else store.joinpath(*path))
            make_maildir(maildir)
            write_maildir_message(maildir, writer, i, stamp)


def median_of(results):
    return statistics.median(w for w, _ in results)


def peak_of(results):
    return max(kib for _, kib in results) / 1024


def verdict(ok):
    return "PASS" if ok else "FAIL"


def run_maildir(args, runner, order_rng):
    """parcelo-cli on generated Maildirs against cp -r of the same Maildir."""
    peaks = {}
    for count in args.maildir:
        folder = runner.work / ("maildir%d" % count)
        store = folder / "Maildir"
        start = time.monotonic()
        write_maildir(store, count, args.seed + count)
        print("\nMaildir of %d messages written in %.0f s" % (count, time.monotonic() - start),
              flush=True)
        serial = iter(range(1, 1 << 30))
        results = {"parcelo": [], "cp": []}

        def run_one(name):
            dest = folder / ("%s-%03d" % (name, next(serial)))
            os.sync()
            time.sleep(PAUSE_SECONDS)
            if name == "parcelo":
                dest.mkdir()
                app = folder / ("app-%03d" % next(serial))
                app.mkdir()
                cmd = parcelo_command(args.cli, store, dest, app)
            else:
                cmd = ["cp", "-r", str(store), str(dest)]
            result = runner.run(cmd, name + ".log")
            files = count_files_below(dest)
            if files != count:
                raise Failure("%s wrote %d files for %d messages (in %s)"
                              % (name, files, count, dest))
            results[name].append(result)
            return result

        run_one("parcelo")  # warm-up: the Maildir in the page cache for every later command
        results["parcelo"].clear()
        for r in range(args.rounds):
            order = ["parcelo", "cp"]
            order_rng.shuffle(order)
            print("  round %d/%d: %s" % (r + 1, args.rounds, ", ".join(
                "%s %.2f s" % (name, run_one(name)[0]) for name in order)), flush=True)
        for name in ("parcelo", "cp"):
            walls = [w for w, _ in results[name]]
            print("  %-10s %7.2f [%.2f-%.2f] s, peak RSS %.1f MB" % (
                name, median_of(results[name]), min(walls), max(walls), peak_of(results[name])))
        ratio = median_of(results["parcelo"]) / median_of(results["cp"])
        peaks[count] = peak_of(results["parcelo"])
        print("  %-18s %6.2f  target <= %g %s" % ("parcelo/cp -r", ratio, MAILDIR_TARGET,
                                                  verdict(ratio <= MAILDIR_TARGET)))
        print("  %-18s %6.1f  target <= %g MB %s" % ("parcelo peak MB", peaks[count],
                                                      PEAK_LIMIT_MB,
                                                      verdict(peaks[count] <= PEAK_LIMIT_MB)))
    if len(peaks) > 1:
        spread = max(peaks.values()) - min(peaks.values())
        print("\nMaildir: parcelo peak MB by size: %s; spread %.1f MB, target <= %g MB %s"
              % (", ".join("%d: %.1f" % item for item in sorted(peaks.items())), spread,
                 PEAK_SPREAD_MB, verdict(spread <= PEAK_SPREAD_MB)))


def run_wide_tree(args, runner):
    """`tree` and an export of every mailbox of trees of one-message mailboxes, per layout.
    Besides the wall time, the processor time (user and system) of each command: it shows the
    growth without the waits for a disk or for other programs."""
    for layout in WIDE_LAYOUTS:
        per_folder = {}
        for count in args.wide_tree:
            folder = runner.work / ("wide-%s-%d" % (layout.replace("+", "p"), count))
            store = folder / "Local Folders"
            start = time.monotonic()
            write_wide_tree(store, layout, count, args.seed + count)
            print("\n%s tree of %d mailboxes written in %.0f s"
                  % (layout, count, time.monotonic() - start), flush=True)
            results = {"tree": [], "export": []}
            cpu = {"tree": [], "export": []}
            for r in range(args.rounds + 1):
                dest = folder / ("dest-%03d" % r)
                app = folder / ("app-%03d" % r)
                dest.mkdir()
                app.mkdir()
                tree = runner.run([args.cli, "tree", "--store", str(store)], "tree.log")
                tree_cpu = runner.last_cpu
                lines = len((runner.work / "tree.log").read_text().splitlines())
                if lines < count + 1:
                    raise Failure("tree printed %d lines for %d mailboxes" % (lines, count))
                os.sync()
                time.sleep(PAUSE_SECONDS)
                export = runner.run(
                    [args.cli, "export", "--store", str(store), "--dest", str(dest),
                     "--app-folder", str(app), "--set", "AntiDateFiles=0"], "export.log")
                files = count_files_below(dest)
                if files != count:
                    raise Failure("export wrote %d files for %d mailboxes (in %s)"
                                  % (files, count, dest))
                if r == 0:
                    continue  # warm-up
                results["tree"].append(tree)
                results["export"].append(export)
                cpu["tree"].append(tree_cpu)
                cpu["export"].append(runner.last_cpu)
                print("  round %d/%d: tree %.2f s, export %.2f s"
                      % (r, args.rounds, tree[0], export[0]), flush=True)
            for name in ("tree", "export"):
                median = median_of(results[name])
                median_cpu = statistics.median(cpu[name])
                per_folder[name, "wall", count] = median / count
                per_folder[name, "cpu", count] = median_cpu / count
                print("  %-7s %7.2f s, %6.1f us a folder (processor %6.1f us), peak RSS %.1f MB"
                      % (name, median, median / count * 1e6, median_cpu / count * 1e6,
                         peak_of(results[name])))
        if len(args.wide_tree) > 1:
            small, large = min(args.wide_tree), max(args.wide_tree)
            for name in ("tree", "export"):
                for kind in ("wall", "cpu"):
                    ratio = per_folder[name, kind, large] / per_folder[name, kind, small]
                    print("  %s %-7s %s time a folder at %d over %d: %5.2f  target <= %g %s"
                          % (layout, name, "processor" if kind == "cpu" else "wall", large, small,
                             ratio, LINEAR_TARGET, verdict(ratio <= LINEAR_TARGET)))


def maildir_disk_need(args):
    """Bytes the Maildir and wide-tree runs keep until the end (sources and destinations)."""
    per_file = AVERAGE_MESSAGE * 1.05 + 4096
    need = 0
    for n in args.maildir or ():
        need += n * per_file * (2 + 2 * args.rounds)
    for n in args.wide_tree or ():
        need += len(WIDE_LAYOUTS) * n * (per_file + 3 * 4096) * (2 + args.rounds)
    return need



# ---------------------------------------------------------------- main


def default_cli():
    for candidate in ("build/default/parcelo-cli", "build/default/src/cli/parcelo-cli"):
        if (ROOT / candidate).is_file():
            return str(ROOT / candidate)
    return str(ROOT / "build/default/parcelo-cli")


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--messages", type=int, nargs="+", default=[20000, 100000],
                        metavar="N", help="mbox sizes (default: 20000 100000)")
    parser.add_argument("--rounds", type=int, default=5, help="runs of each command (default: 5)")
    parser.add_argument("--only", default=",".join(COMMANDS),
                        help="comma-separated commands to run (default: %s)" % ",".join(COMMANDS))
    parser.add_argument("--cli", default=default_cli(), help="the parcelo-cli to measure")
    parser.add_argument("--tmp", default=str(ROOT / "build"),
                        help="where the work folder goes (default: build/ of the checkout)")
    parser.add_argument("--seed", type=int, default=1, help="seed of the mbox and the order")
    parser.add_argument("--strace", action="store_true",
                        help="also count the system calls of one run on the smallest size")
    parser.add_argument("--million", type=int, nargs="?", const=1000000, default=0, metavar="N",
                        help="also the memory run: peak of one export of 1,000,000 messages (or N) "
                             "with unique names against one of %d; about 9 GB of disk"
                             % MILLION_BASE)
    parser.add_argument("--maildir", type=int, nargs="*", metavar="N",
                        help="also export generated Maildirs of N messages against cp -r of them "
                        "(default sizes: 20000 100000)")
    parser.add_argument("--wide-tree", type=int, nargs="*", metavar="N",
                        help="also time tree and export on stores of N one-message mailboxes, "
                        "mbox and Maildir layouts (default sizes: 10000 50000)")
    parser.add_argument("--keep", action="store_true",
                        help="leave the work folder in place (deleting it takes a while, and "
                        "slows the creation of files for some minutes after)")
    parser.add_argument("--skip-mbox", action="store_true",
                        help="leave out the mbox sizes (with --maildir or --wide-tree)")
    args = parser.parse_args()
    if args.maildir == []:
        args.maildir = [20000, 100000]
    if args.wide_tree == []:
        args.wide_tree = [10000, 50000]
    if any(n < 1 for n in (args.maildir or []) + (args.wide_tree or [])):
        parser.error("--maildir and --wide-tree sizes must be at least 1")
    args.maildir = sorted(set(args.maildir or []))
    args.wide_tree = sorted(set(args.wide_tree or []))
    if args.skip_mbox and not (args.maildir or args.wide_tree):
        parser.error("--skip-mbox leaves nothing to run without --maildir or --wide-tree")
    args.only = [name.strip() for name in args.only.split(",") if name.strip()]
    unknown = [name for name in args.only if name not in COMMANDS]
    if unknown or not args.only:
        parser.error("--only takes some of %s" % ",".join(COMMANDS))
    if any(n < 1 for n in args.messages) or args.rounds < 1:
        parser.error("--messages and --rounds must be at least 1")
    args.messages = sorted(set(args.messages))
    if args.million < 0:
        parser.error("--million takes a number of messages")
    if needs_reference(args) or args.strace or args.million or args.maildir or args.wide_tree:
        args.cli = os.path.abspath(args.cli)
        if not os.access(args.cli, os.X_OK):
            parser.error("no parcelo-cli at %s (build it or give --cli)" % args.cli)
    if "mailsplit" in args.only and not shutil.which("git"):
        parser.error("git is not installed (leave mailsplit out with --only)")
    return args


def check_disk(args, tmp):
    """Refuses to start when the destinations kept until the end would not fit."""
    st = os.statvfs(tmp)
    block = st.f_frsize
    # A message file takes its size (a little more with CRLF line ends) plus half a block.
    per_file = AVERAGE_MESSAGE * 1.05 + block / 2
    writers = len(args.only) * args.rounds
    need = 0
    for n in args.messages:
        dests = writers + (1 if needs_reference(args) else 0)
        if "floor" in args.only:
            need += n * AVERAGE_MESSAGE * 1.05  # its pack
        if args.strace and n == args.messages[0]:
            dests += 1
        need += n * AVERAGE_MESSAGE + dests * n * per_file
    if args.skip_mbox:
        need = 0
    need += million_disk_need(args, block)
    need += maildir_disk_need(args)
    need = need * 1.1 + (1 << 30)
    free = st.f_bavail * block
    if free < need:
        raise Failure("%s has %.1f GB free, this run needs about %.1f GB (the mboxes and %d "
                      "destinations a size, kept until the end): use --tmp, fewer --rounds or "
                      "smaller --messages" % (tmp, free / 1e9, need / 1e9, writers))
    print("disk: %.1f GB free in %s, about %.1f GB needed" % (free / 1e9, tmp, need / 1e9))


def main():
    args = parse_args()
    tmp = pathlib.Path(args.tmp)
    tmp.mkdir(parents=True, exist_ok=True)
    work = None
    runner = None

    def terminate(signum, frame):
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, terminate)
    try:
        check_disk(args, tmp)
        work = pathlib.Path(tempfile.mkdtemp(prefix="parcelo-export-speed.", dir=tmp))
        (work / "config").mkdir()
        (work / "data").mkdir()
        (work / "mailbox_split.py").write_text(MAILBOX_SCRIPT)
        if "floor" in args.only:
            build_floor(work)
        # The user's settings never reach parcelo-cli; names and times do not depend on them.
        env = dict(os.environ, XDG_CONFIG_HOME=str(work / "config"),
                   XDG_DATA_HOME=str(work / "data"), TZ="UTC", LC_ALL="C.UTF-8")
        runner = Runner(work, env)
        print("work folder %s; commands: %s; cli %s" % (work, ", ".join(args.only), args.cli))
        order_rng = random.Random(args.seed)
        benches = []
        for count in [] if args.skip_mbox else args.messages:
            bench = SizeBench(args, runner, count)
            bench.prepare()
            bench.run_rounds(order_rng)
            bench.report()
            if args.strace and count == args.messages[0]:
                strace_counts(runner, args, bench)
            benches.append(bench)
        if "parcelo" in args.only and len(benches) > 1:
            peaks = [b.peak_mb() for b in benches]
            spread = max(peaks) - min(peaks)
            print("\nparcelo peak MB by size: %s; spread %.1f MB, target <= %g MB %s"
                  % (", ".join("%d: %.1f" % (b.count, p) for b, p in zip(benches, peaks)),
                     spread, PEAK_SPREAD_MB, "PASS" if spread <= PEAK_SPREAD_MB else "FAIL"))
        if args.maildir:
            run_maildir(args, runner, order_rng)
        if args.wide_tree:
            run_wide_tree(args, runner)
        # Last: it deletes a million files, and for some minutes after that a file system
        # without a journal looks long for inodes it may give to new files.
        if args.million:
            million_run(args, runner)
        return 0
    except Failure as error:
        print("export-speed: error: %s" % error, file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("\nexport-speed: interrupted", file=sys.stderr)
        return 130
    finally:
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        if runner:
            runner.stop()
        if work and args.keep:
            print("left in place: %s" % work, flush=True)
        elif work:
            print("removing %s ..." % work, flush=True)
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
