#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks deleting runs of parcelo-cli on an mbox store that a real mail server writes meanwhile.

Needs Debian's `dovecot-imapd` (`apt-get install -y dovecot-imapd`); this script installs nothing
and exits 77 when the server is missing. Not part of the test suite: a run of 100 exports takes
about half a minute to two minutes.

A private server instance runs from a temporary folder: its own configuration, base and state
folders and log, a passwd-file user whose mail is `mbox:~/mail:INBOX=~/mail/inbox`, IMAP on a
free port of 127.0.0.1. It runs as the current user; as root, the mail belongs to `nobody`
(`--mail-user`), since the server grants root no mail access, and parcelo-cli runs as that user.
INBOX starts with the server's internal-data message. While `parcelo-cli export` runs `--runs`
times on INBOX with ActionDelete (all messages, or those whose subject holds "[export]"), the
server delivers new mail with its LDA, adds and removes flags and keywords, expunges and moves
messages to Archive (doveadm), and an IMAP session keeps INBOX selected. Each message carries a
unique Message-ID, the same token in its subject and a body of its own, most with unquoted
"From " lines (`--plain-bodies` leaves them out, to look past the faults they show). Then:

  - every message delivered is in the server once (doveadm fetch, cross-checked over IMAP), or
    exported, or expunged by this script; none is lost;
  - no message is exported twice, none exported and still in INBOX, unless a warning of
    parcelo-cli names it (or says the folder could not be changed in that run);
  - every .eml parses with Python's `email` and holds one delivered message whole; the
    internal-data message is never exported and still leads INBOX;
  - the server's copies are whole, keep their flags, the UIDVALIDITY is unchanged,
    `doveadm force-resync` changes nothing and the server logged no error.

  tests/scripts/check_with_mail_server.py [--parcelo-cli build/default/parcelo-cli] [--runs 100]
                                          [--keep] [--seed N] [--plain-bodies]
"""
import argparse
import collections
import email
import email.utils
import email.policy
import grp
import imaplib
import json
import os
import pwd
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77
DOVECOT = "/usr/sbin/dovecot"
DOVEADM = "/usr/bin/doveadm"
LDA = "/usr/lib/dovecot/dovecot-lda"
USER = "parcelo"
PASSWORD = "secret"
DOMAIN = "parcelo-check.example"
TOKEN = re.compile(r"check-(\d{6})")
INTERNAL_SUBJECT = "DON'T DELETE THIS MESSAGE -- FOLDER INTERNAL DATA"
# Flags this script alone sets with doveadm; the IMAP session only toggles \Seen.
FLAGS = ["\\Flagged", "\\Answered", "$label1", "$label2", "$label3", "$label4", "$label5"]
# Long enough that adding them outgrows the padding the server leaves in X-Keywords, so it
# rewrites the rest of the mailbox.
LONG_KEYWORDS = ["parcelo-check-keyword-%s-with-a-rather-long-name" % c for c in "abc"]
# What the server logs when an mbox was changed behind its back in a way it could not follow.
SERVER_TROUBLE = re.compile(r"corrupt|save failed|panic|fatal|error|reappeared|uidvalidity changed|"
                            r"modified while|inconsistent|from line not found|broken", re.I)


def token_name(number):
    return "check-%06d" % number


def body_text(token, rnd, from_lines=True):
    """A body of its own, most with lines that begin with "From " after an empty line.

    None of them carries a date: the server itself takes such a line for the start of the next
    message when it copies one (a move to Archive fails with "Broken physical size")."""
    lines = ["BEGIN %s" % token, "Text of %s." % token]
    kind = rnd.random()
    if kind < 0.6 and from_lines:
        lines += ["", "From the start of this line the text of %s goes on." % token,
                  "", "From sender@example.org, a line of %s and no separator" % token]
    if kind < 0.25:
        lines += ["Line %05d of %s, written to make the message long." % (i, token)
                  for i in range(rnd.randint(1000, 3000))]
        if from_lines:
            lines += ["", "From MAILER-DAEMON, again in the body of %s" % token, "Status: RO"]
    lines += ["", "END %s" % token]
    return "\n".join(lines) + "\n"


def message_bytes(token, subject, body):
    head = ["From: Check Sender <sender@example.org>",
            "To: %s@%s" % (USER, DOMAIN),
            "Subject: %s" % subject,
            "Date: %s" % email.utils.formatdate(localtime=False),
            "Message-ID: <%s@%s>" % (token, DOMAIN),
            "MIME-Version: 1.0",
            "Content-Type: text/plain; charset=us-ascii"]
    return ("\n".join(head) + "\n\n" + body).encode()


def same_body(got, want):
    return got.replace("\r\n", "\n").rstrip("\n") == want.rstrip("\n")


def body_difference(got, want):
    got = got.replace("\r\n", "\n").rstrip("\n").split("\n")
    want = want.rstrip("\n").split("\n")
    for i, (g, w) in enumerate(zip(got, want)):
        if g != w:
            return "line %d is %r, expected %r" % (i + 1, g, w)
    if len(got) < len(want):
        return "it ends after line %d of %d (last: %r)" % (len(got), len(want), got[-1] if got else "")
    return "%d lines more than the %d expected (next: %r)" % (len(got) - len(want), len(want),
                                                              got[len(want)])


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Report:
    def __init__(self):
        self.kinds = collections.Counter()

    def fail(self, kind, what, details=()):
        """One failure of the given kind, printed with its details at once."""
        self.kinds[kind] += 1
        print("FAIL " + what)
        for line in details:
            print("    " + line)
        sys.stdout.flush()

    @property
    def failed(self):
        return sum(self.kinds.values())


class Ledger:
    """What the server was asked to do and what it answered, shared by the acting threads."""

    def __init__(self):
        self.lock = threading.Lock()
        self.subjects = {}          # token -> subject, from before its delivery starts
        self.bodies = {}
        self.delivered = []         # tokens the LDA saved (exit 0), in order
        self.delivery_failed = {}   # token -> what the LDA printed
        self.expunged = set()       # expunged by doveadm (exit 0)
        self.moved = set()          # moved to Archive by doveadm (exit 0)
        self.removal_failed = {}    # token -> what a failed expunge or move printed
        self.raced = {}             # token -> a command that found the message gone meanwhile
        self.flags = {}             # token -> the flags of FLAGS and LONG_KEYWORDS it should have
        self.flags_unknown = set()  # a flag change failed, so they are not known
        self.tool_output = []       # what doveadm and the LDA printed on standard error
        self.imap_trouble = []
        self.imap_refusals = collections.Counter()
        self.ops = collections.Counter()

    def removed(self, token):
        return (token in self.expunged or token in self.moved or token in self.removal_failed
                or token in self.raced)

    def output(self, tool, text):
        with self.lock:
            self.tool_output += ["%s: %s" % (tool, l) for l in text.strip().splitlines()]


class MailServer:
    """A private Dovecot instance in WORK/server; the user's mail is HOME/mail."""

    def __init__(self, work, home, account):
        self.dir = os.path.join(work, "server")
        self.conf = os.path.join(self.dir, "dovecot.conf")
        self.log = os.path.join(self.dir, "log", "dovecot.log")
        self.mail = os.path.join(home, "mail")
        self.inbox = os.path.join(self.mail, "inbox")
        self.account = account
        self.port = None
        self.log_by_token = None
        for d in ("run", "state", "log"):
            os.makedirs(os.path.join(self.dir, d))
        self.passwd = os.path.join(self.dir, "passwd")
        with open(self.passwd, "w") as f:
            f.write("%s:{PLAIN}%s:%d:%d::%s::\n"
                    % (USER, PASSWORD, account.pw_uid, account.pw_gid, home))
        os.chmod(self.passwd, 0o644)

    def write_config(self):
        a = self.account
        self.port = free_port()
        # mbox_dirty_syncs = no: the server reads a mailbox again as a whole once another program
        # changed it, instead of trusting its offsets until one proves wrong and logging that as
        # "Next message unexpectedly corrupted"; so such a line means a damaged mailbox here.
        with open(self.conf, "w") as f:
            f.write(f"""\
base_dir = {self.dir}/run
state_dir = {self.dir}/state
log_path = {self.log}
info_log_path = {self.log}
instance_name = parcelo-check-{self.port}
protocols = imap
listen = 127.0.0.1
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain
default_internal_user = {a.pw_name}
default_internal_group = {grp.getgrgid(a.pw_gid).gr_name}
default_login_user = {a.pw_name}
first_valid_uid = {a.pw_uid}
first_valid_gid = {a.pw_gid}
postmaster_address = postmaster@{DOMAIN}
mail_location = mbox:~/mail:INBOX=~/mail/inbox
mbox_read_locks = fcntl
mbox_write_locks = dotlock fcntl
mbox_dirty_syncs = no
passdb {{
  driver = passwd-file
  args = scheme=PLAIN username_format=%u {self.passwd}
}}
userdb {{
  driver = passwd-file
  args = username_format=%u {self.passwd}
}}
service imap-login {{
  chroot =
  inet_listener imap {{
    address = 127.0.0.1
    port = {self.port}
  }}
  inet_listener imaps {{
    port = 0
  }}
}}
service anvil {{
  chroot =
}}
""")

    def start(self):
        for _ in range(3):
            self.write_config()
            # The server stays in the background with whatever it was given as output.
            out = os.path.join(self.dir, "log", "start.txt")
            with open(out, "w") as f:
                rc = subprocess.call([DOVECOT, "-c", self.conf], stdin=subprocess.DEVNULL,
                                     stdout=f, stderr=subprocess.STDOUT)
            if rc != 0:
                with open(out) as f:
                    raise RuntimeError("the server did not start: " + f.read().strip())
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline:
                try:
                    socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                    return
                except OSError:
                    time.sleep(0.1)
            self.stop()  # another program took the port in the meantime
        raise RuntimeError("the server did not listen on 127.0.0.1; its log:\n" + self.log_text())

    def running(self):
        return os.path.exists(os.path.join(self.dir, "run", "master.pid"))

    def stop(self):
        if not self.running():
            return
        subprocess.run([DOVEADM, "-c", self.conf, "stop"], capture_output=True)
        deadline = time.monotonic() + 10
        while self.running() and time.monotonic() < deadline:
            time.sleep(0.1)

    def doveadm(self, *args, ledger=None):
        run = subprocess.run([DOVEADM, "-c", self.conf] + list(args), capture_output=True,
                             text=True, timeout=600)
        if ledger is not None and run.stderr.strip():
            ledger.output("doveadm " + " ".join(args[:1]), run.stderr)
        return run

    def by_id(self, command, token, *args):
        """A doveadm mail command on the one INBOX message with TOKEN's Message-ID."""
        return self.doveadm(command, "-u", USER, *args, "mailbox", "INBOX", "header",
                            "message-id", "<%s@%s>" % (token, DOMAIN))

    def deliver(self, data):
        return subprocess.run([LDA, "-c", self.conf, "-d", USER, "-f", "sender@example.org"],
                              input=data, capture_output=True, timeout=600)

    def fetch(self, mailbox):
        run = self.doveadm("-f", "json", "fetch", "-u", USER,
                           "uid flags hdr.message-id hdr.subject body", "mailbox", mailbox, "all")
        if run.returncode != 0:
            raise RuntimeError("doveadm fetch of %s failed (exit %d): %s"
                               % (mailbox, run.returncode, run.stderr.strip()))
        return json.loads(run.stdout or "[]")

    def uidvalidity(self, mailbox):
        run = self.doveadm("-f", "json", "mailbox", "status", "-u", USER, "uidvalidity", mailbox)
        if run.returncode != 0:
            raise RuntimeError("doveadm mailbox status failed: " + run.stderr.strip())
        return json.loads(run.stdout)[0]["uidvalidity"]

    def log_text(self):
        try:
            with open(self.log, encoding="utf-8", errors="replace") as f:
                return f.read()
        except OSError:
            return ""


def token_of(message_id):
    m = re.fullmatch(r"\s*<(check-\d{6})@%s>\s*" % re.escape(DOMAIN), message_id or "")
    return m.group(1) if m else None


# The acting threads. Each stops at its next step once STOP is set.

def deliverer(server, ledger, stop, rnd, numbers, from_lines):
    while not stop.is_set():
        with ledger.lock:
            token = token_name(next(numbers))
        subject = "Check %s %s" % (token, "[export]" if rnd.random() < 0.6 else "[keep]")
        body = body_text(token, rnd, from_lines)
        with ledger.lock:
            ledger.subjects[token] = subject
            ledger.bodies[token] = body
            ledger.flags[token] = set()
        run = server.deliver(message_bytes(token, subject, body))
        out = (run.stdout + run.stderr).decode("utf-8", "replace")
        with ledger.lock:
            ledger.ops["deliveries"] += 1
            if run.returncode == 0:
                ledger.delivered.append(token)
            else:
                ledger.delivery_failed[token] = "exit %d: %s" % (run.returncode, out.strip())
        if out.strip():
            ledger.output("dovecot-lda", out)
        stop.wait(rnd.uniform(0, 0.05))


def changer(server, ledger, stop, rnd):
    """Flags, expunges and moves to Archive, each on one message by its Message-ID."""
    while not stop.is_set():
        with ledger.lock:
            tokens = [t for t in ledger.delivered[-200:] if not ledger.removed(t)]
        if not tokens:
            stop.wait(0.05)
            continue
        token = rnd.choice(tokens)
        pick = rnd.random()
        if pick < 0.6:
            kind = "flag changes"
            flag = rnd.choice(LONG_KEYWORDS if rnd.random() < 0.3 else FLAGS)
            with ledger.lock:
                add = flag not in ledger.flags[token]
            run = server.by_id("flags", token, "add" if add else "remove", flag)
        elif pick < 0.8:
            kind = "expunges"
            run = server.by_id("expunge", token)
        else:
            kind = "moves"
            run = server.by_id("move", token, "Archive")
        out = run.stderr.strip()
        # The message went away during the command: parcelo-cli deleted it after exporting it.
        raced = run.returncode != 0 and "Message was expunged" in out
        with ledger.lock:
            ledger.ops[kind] += 1
            if raced:
                ledger.raced[token] = "%s, exit %d: %s" % (kind, run.returncode, "; ".join(
                    l for l in out.splitlines() if "expunged" in l or "Panic:" in l))
            elif out:
                ledger.tool_output += ["doveadm %s: %s" % (kind, l) for l in out.splitlines()]
            if kind == "flag changes":
                if run.returncode != 0:
                    ledger.flags_unknown.add(token)
                elif add:
                    ledger.flags[token].add(flag)
                else:
                    ledger.flags[token].discard(flag)
            elif run.returncode == 0:
                (ledger.expunged if kind == "expunges" else ledger.moved).add(token)
            elif not raced:
                ledger.removal_failed[token] = "%s, exit %d: %s" % (kind, run.returncode, out)
        stop.wait(rnd.uniform(0, 0.04))


def imap_watcher(server, ledger, stop, rnd):
    """Keeps INBOX selected as a mail client would, looks at it and toggles \\Seen."""
    while not stop.is_set():
        try:
            imap = imaplib.IMAP4("127.0.0.1", server.port, timeout=600)
            imap.login(USER, PASSWORD)
            typ, data = imap.select("INBOX")
            if typ != "OK":
                raise imaplib.IMAP4.error("SELECT INBOX: %s" % data)
            while not stop.is_set():
                typ, data = imap.noop()
                typ, data = imap.uid("FETCH", "1:*", "(FLAGS)")
                uids = [m.group(1) for d in data if isinstance(d, bytes)
                        for m in [re.search(rb"UID (\d+)", d)] if m]
                if typ != "OK":
                    with ledger.lock:
                        ledger.imap_refusals["UID FETCH: %s" % data] += 1
                if uids and rnd.random() < 0.3:
                    typ, data = imap.uid("STORE", rnd.choice(uids).decode(),
                                         rnd.choice(["+FLAGS.SILENT", "-FLAGS.SILENT"]), "(\\Seen)")
                    if typ != "OK":
                        with ledger.lock:
                            ledger.imap_refusals["UID STORE: %s" % data] += 1
                with ledger.lock:
                    ledger.ops["IMAP rounds"] += 1
                stop.wait(rnd.uniform(0.02, 0.15))
            imap.logout()
        except (imaplib.IMAP4.error, OSError) as e:
            with ledger.lock:
                ledger.imap_trouble.append("%s: %s" % (type(e).__name__, e))
            stop.wait(0.5)


# Parcelo.

class Parcelo:
    def __init__(self, cli, work, account, mail):
        self.cli = cli
        self.dir = os.path.join(work, "parcelo")
        self.app = os.path.join(self.dir, "app")
        self.exports = os.path.join(self.dir, "export")
        self.mail = mail
        self.filters = os.path.join(self.dir, "filters.xml")
        runtime = os.path.join(self.dir, "runtime")
        for d in (self.app, self.exports, runtime, os.path.join(self.dir, "config"),
                  os.path.join(self.dir, "data")):
            os.makedirs(d)
        os.chmod(runtime, 0o700)
        with open(self.filters, "w", encoding="iso-8859-2") as f:
            f.write('<?xml version="1.0" encoding="ISO-8859-2"?>\r\n<filters>\r\n'
                    '<head><title>Filters</title></head>\r\n<body>\r\n'
                    '<filter Criteria="1" ConjunctionOption="0" TextField="[export]" MatchCase="1"'
                    ' NumericField="0" Date="" NumericValue="0"/>\r\n</body>\r\n</filters>\r\n')
        self.env = dict(os.environ, TZ="UTC", HOME=self.dir, XDG_RUNTIME_DIR=runtime,
                        XDG_CONFIG_HOME=os.path.join(self.dir, "config"),
                        XDG_DATA_HOME=os.path.join(self.dir, "data"))
        self.as_user = {}
        if os.geteuid() != account.pw_uid:
            self.as_user = dict(user=account.pw_uid, group=account.pw_gid, extra_groups=[])
        self.inbox_path = None

    def run(self, *args, timeout=300):
        return subprocess.run([self.cli] + list(args), capture_output=True, env=self.env,
                              timeout=timeout, **self.as_user)

    def find_inbox(self):
        run = self.run("tree", "--store", self.mail)
        lines = run.stdout.decode("utf-8", "replace").splitlines()
        if run.returncode != 0 or not lines or not any(l.strip().startswith("inbox") for l in lines):
            raise RuntimeError("parcelo-cli tree --store %s (exit %d) shows no inbox:\n%s%s"
                               % (self.mail, run.returncode, run.stdout.decode("utf-8", "replace"),
                                  run.stderr.decode("utf-8", "replace")))
        self.inbox_path = lines[0].strip() + "\\inbox"

    def export(self, number, filtered):
        dest = os.path.join(self.exports, "run-%03d" % number)
        os.makedirs(dest)
        if self.as_user:
            os.chown(dest, self.as_user["user"], self.as_user["group"])
        cmd = ["export", "--store", self.mail, "--dest", dest, "--app-folder", self.app,
               "--folder", self.inbox_path, "--set", "ActionDelete=1"]
        if filtered:
            cmd += ["--filters", self.filters]
        try:
            run = self.run(*cmd)
            rc, err = run.returncode, run.stderr.decode("utf-8", "replace")
        except subprocess.TimeoutExpired as e:
            rc, err = None, (e.stderr or b"").decode("utf-8", "replace")
        files = []
        for top, _, names in os.walk(dest):
            files += [os.path.join(top, n) for n in names]
        return ExportRun(number, filtered, [self.cli] + cmd, rc, err, sorted(files))


class ExportRun:
    def __init__(self, number, filtered, cmd, rc, err, files):
        self.number = number
        self.filtered = filtered
        self.cmd = cmd
        self.rc = rc
        self.err = err
        self.warnings = [l for l in err.splitlines() if l.startswith("parcelo-cli: warning:")]
        self.warned_tokens = {"check-" + n for w in self.warnings for n in TOKEN.findall(w)}
        # "the mail folder ... could not be changed; its messages are as they were"
        self.folder_unchanged = any("could not be changed" in w and not TOKEN.search(w)
                                    for w in self.warnings)
        self.files = [read_eml(f) for f in files]


class Eml:
    def __init__(self, path):
        self.path = path
        self.token = None
        self.subject = None
        self.imap_data = None
        self.body = None
        self.error = None
        self.mentions = set()


def read_eml(path):
    eml = Eml(path)
    with open(path, "rb") as f:
        data = f.read()
    eml.mentions = {"check-" + n for n in TOKEN.findall(data.decode("ascii", "replace"))}
    try:
        msg = email.message_from_bytes(data, policy=email.policy.default)
        eml.subject = str(msg["subject"] or "")
        eml.imap_data = msg["x-imap"]
        eml.token = token_of(str(msg["message-id"] or ""))
        eml.body = msg.get_content() if not msg.is_multipart() else None
    except Exception as e:  # anything Python's reader cannot take is a broken file
        eml.error = "%s: %s" % (type(e).__name__, e)
    return eml


# The checks.

def server_view(server, report=None):
    """Each mailbox as the server shows it: [(uid, token or Message-ID, flags, body, subject)].

    A mailbox the server can no longer read is scanned for Message-ID fields instead (uid, flags,
    body and subject None), so that its messages count as kept and not as lost."""
    view, unreadable = {}, set()
    for box in ("INBOX", "Archive"):
        try:
            view[box] = [(m["uid"], token_of(m["hdr.message-id"]) or m["hdr.message-id"],
                          " ".join(sorted(m["flags"].split())), m["body"], m["hdr.subject"])
                         for m in server.fetch(box)]
        except (RuntimeError, ValueError) as e:
            if report:
                report.fail("server", "the server cannot read %s: %s" % (box, e))
            with open(os.path.join(server.mail, "inbox" if box == "INBOX" else box), "rb") as f:
                data = f.read().decode("ascii", "replace")
            view[box] = [(None, t, None, None, None)
                         for t in re.findall(r"(?mi)^Message-ID:\s*<(check-\d{6})@", data)]
            unreadable.add(box)
    return view, unreadable


def imap_view(server):
    imap = imaplib.IMAP4("127.0.0.1", server.port, timeout=120)
    imap.login(USER, PASSWORD)
    view = {}
    for box in ("INBOX", "Archive"):
        typ, data = imap.select(box, readonly=True)
        if typ != "OK":
            raise RuntimeError("IMAP EXAMINE %s: %s" % (box, data))
        tokens = []
        if int(data[0]) > 0:
            typ, data = imap.uid("FETCH", "1:*", "(BODY.PEEK[HEADER.FIELDS (MESSAGE-ID)])")
            for item in data:
                if isinstance(item, tuple):
                    value = item[1].decode("ascii", "replace").split(":", 1)[-1]
                    tokens.append(token_of(value) or value.strip())
        view[box] = sorted(tokens)
    imap.logout()
    return view


def internal_message_leads(path):
    with open(path, "rb") as f:
        head = f.read(4096).split(b"\n\n", 1)[0].decode("ascii", "replace")
    lines = head.split("\n")
    return (lines[0].startswith("From ") and "Subject: " + INTERNAL_SUBJECT in lines
            and any(l.startswith("X-IMAP: ") for l in lines))


def log_lines(server, token):
    """The server's log lines about a message (its LDA names the Message-ID)."""
    if server.log_by_token is None:
        server.log_by_token = collections.defaultdict(list)
        for line in server.log_text().splitlines():
            m = re.search(r"msgid=<(check-\d{6})@", line)
            if m:
                server.log_by_token[m.group(1)].append("server log: " + line)
    return server.log_by_token.get(token, [])[:5]


def check_exports(report, runs):
    for run in runs:
        where = "run %d (%s)" % (run.number, " ".join(run.cmd))
        if run.rc is None:
            report.fail("parcelo-cli", "%s did not end within 300 s" % where, run.err.splitlines())
        elif run.rc not in (0, 3):
            report.fail("parcelo-cli", "%s exited %d" % (where, run.rc), run.err.splitlines())
        elif (run.rc == 3) != bool(run.warnings):
            report.fail("parcelo-cli", "%s exited %d with %d warning(s)"
                        % (where, run.rc, len(run.warnings)), run.err.splitlines())
        for eml in run.files:
            if eml.error:
                report.fail("torn file", "run %d wrote a file Python's email cannot read: %s"
                            % (run.number, eml.path), [eml.error])
            elif eml.subject == INTERNAL_SUBJECT:
                report.fail("internal-data message", "run %d exported the server's internal-data "
                            "message: %s" % (run.number, eml.path),
                            ["X-IMAP: %s" % eml.imap_data] + [
                                "the run left the folder as it was: " + w for w in run.warnings
                                if run.folder_unchanged and "could not be changed" in w])
            elif eml.token is None:
                report.fail("torn file", "run %d wrote a file that holds no delivered message: %s"
                            % (run.number, eml.path),
                            ["a piece of %s?" % ", ".join(sorted(eml.mentions)) if eml.mentions
                             else "it names no message of this check", "subject %r" % eml.subject])


def check_server_copies(report, server, ledger, view):
    for box, messages in view.items():
        for uid, token, flags, body, subject in messages:
            if uid is None:
                continue
            if token not in ledger.bodies:
                report.fail("unknown in the server", "%s holds a message this check never "
                            "delivered: uid %s, Message-ID %s, subject %r" % (box, uid, token, subject),
                            ["body begins %r" % body[:300]])
                continue
            label = "%s (%s)" % (token, ledger.subjects[token])
            if not same_body(body, ledger.bodies[token]):
                report.fail("damaged in the server", "%s is damaged in the server's %s (uid %s): %s"
                            % (label, box, uid, body_difference(body, ledger.bodies[token])),
                            log_lines(server, token))
            if token not in ledger.flags_unknown:
                got = set(flags.split()) & set(FLAGS + LONG_KEYWORDS)
                if got != ledger.flags[token]:
                    report.fail("flags", "%s has the flags %s in %s (uid %s), expected %s"
                                % (label, " ".join(sorted(got)) or "none", box, uid,
                                   " ".join(sorted(ledger.flags[token])) or "none"),
                                log_lines(server, token))


def check_tokens(report, server, ledger, runs, view):
    """Every message delivered is kept by the server, expunged by it, or exported once."""
    exported = collections.defaultdict(list)  # token -> [(run, eml)]
    for run in runs:
        for eml in run.files:
            if eml.token:
                exported[eml.token].append((run, eml))
    warned = set().union(*(r.warned_tokens for r in runs))
    in_box = {box: collections.Counter(m[1] for m in view[box]) for box in view}

    for token, subject in sorted(ledger.subjects.items()):
        copies = exported.get(token, [])
        inbox, archive = in_box["INBOX"][token], in_box["Archive"][token]
        label = "%s (%s)" % (token, subject)
        named = token in warned
        details = ["exported in run %d to %s" % (r.number, e.path) for r, e in copies]
        details += ["warning of run %d: %s" % (r.number, w) for r in runs for w in r.warnings
                    if token in r.warned_tokens]
        details += ["doveadm expunged it (exit 0)" if token in ledger.expunged else
                    "doveadm moved it to Archive (exit 0)" if token in ledger.moved else
                    "the server failed to remove it: " + ledger.removal_failed[token]
                    if token in ledger.removal_failed else
                    "the server found it gone during: " + ledger.raced[token]
                    if token in ledger.raced else "the server kept it in INBOX"]
        details += log_lines(server, token)
        for run, eml in copies:
            if eml.body is None or not same_body(eml.body, ledger.bodies[token]):
                report.fail("torn file", "%s was exported torn in run %d: %s"
                            % (label, run.number, "not one text part" if eml.body is None
                               else body_difference(eml.body, ledger.bodies[token])), [eml.path])
            elif eml.subject != subject:
                report.fail("torn file", "%s was exported in run %d with the subject %r"
                            % (label, run.number, eml.subject), [eml.path])
        if inbox + archive > 1:
            report.fail("duplicated in the server", "%s is in the server %d times (INBOX %d, "
                        "Archive %d)" % (label, inbox + archive, inbox, archive), details)
        # A folder left unchanged after a warning keeps every message exported from it.
        if len(copies) > 1 and not named and not all(r.folder_unchanged for r, _ in copies[:-1]):
            report.fail("exported twice", "%s was exported %d times without a warning naming it"
                        % (label, len(copies)), details)
        if copies and inbox and not named and not copies[-1][0].folder_unchanged:
            report.fail("exported, not deleted", "%s was exported in run %d and is still in "
                        "INBOX, without a warning naming it" % (label, copies[-1][0].number),
                        details)
        if token in ledger.expunged and inbox + archive:
            report.fail("back after removal", "%s is in the server again after the server "
                        "expunged it" % label, details)
        if token in ledger.moved and inbox:
            report.fail("back after removal", "%s is in INBOX again after the server moved it "
                        "to Archive" % label, details)
        if archive and not (token in ledger.moved or token in ledger.removal_failed
                            or token in ledger.raced):
            report.fail("unknown in the server", "%s is in Archive but was never moved there"
                        % label, details)
        if token in ledger.delivery_failed:
            continue
        if not copies and not inbox + archive and token not in ledger.expunged and not named:
            report.fail("lost", "%s was lost: delivered, never exported, in neither INBOX nor "
                        "Archive%s" % (label, " though moved there" if token in ledger.moved
                                       else ", not expunged by the server"), details)
    return exported, warned


def grouped(items):
    """Lines of `text (N times)`, alike texts counted once, message tokens left out."""
    counts = collections.Counter(TOKEN.sub("check-N", t) for t in items)
    return ["%s%s" % (t, " (%d times)" % n if n > 1 else "") for t, n in counts.most_common()]


def check_server(report, server, ledger, view, unreadable, uidvalidity):
    try:
        leads = internal_message_leads(server.inbox)
    except OSError as e:
        leads = False
        report.fail("internal-data message", "INBOX cannot be read: %s" % e)
    if not leads:
        with open(server.inbox, "rb") as f:
            head = f.read(800).decode("ascii", "replace")
        report.fail("internal-data message", "the server's internal-data message no longer leads "
                    "%s; it begins:" % server.inbox, head.splitlines()[:12])
    for box, before in uidvalidity.items():
        try:
            after = server.uidvalidity(box)
        except RuntimeError as e:
            after = "unknown (%s)" % e
        if after != before:
            report.fail("server", "the UIDVALIDITY of %s changed from %s to %s: clients fetch "
                        "everything again" % (box, before, after))
    try:
        imap = imap_view(server)
        for box in view:
            mine = sorted(m[1] for m in view[box])
            if box not in unreadable and imap[box] != mine:
                report.fail("server", "IMAP shows %s otherwise than doveadm" % box,
                            ["only over IMAP: %s" % sorted(set(imap[box]) - set(mine)),
                             "only in doveadm: %s" % sorted(set(mine) - set(imap[box]))])
    except (imaplib.IMAP4.error, OSError, RuntimeError) as e:
        report.fail("server", "the last look at the mailboxes over IMAP failed: %s" % e)
    for box in view:
        run = server.doveadm("force-resync", "-u", USER, box, ledger=ledger)
        if run.returncode != 0:
            report.fail("server", "doveadm force-resync %s failed (exit %d)" % (box, run.returncode),
                        run.stderr.splitlines())
    resynced, _ = server_view(server)
    for box in view:
        if box not in unreadable and resynced[box] != view[box]:
            before, after = set(view[box]), set(resynced[box])
            report.fail("server", "doveadm force-resync changed what the server shows of %s" % box,
                        ["%s: uid %s %s, flags %r" % ("before" if m in before else "after",
                                                      m[0], m[1], m[2])
                         for m in sorted(before ^ after, key=str)[:20]])

    if ledger.delivery_failed:
        report.fail("server", "the server could not deliver %d message(s): %s"
                    % (len(ledger.delivery_failed), " ".join(sorted(ledger.delivery_failed))[:400]),
                    grouped(ledger.delivery_failed.values())[:5]
                    + grouped(re.sub(r"^.*?: (Info|Error): ", "", l)
                              for t in ledger.delivery_failed for l in log_lines(server, t))[:10])
    if ledger.removal_failed:
        report.fail("server", "the server could not expunge or move %d message(s): %s"
                    % (len(ledger.removal_failed), " ".join(sorted(ledger.removal_failed))[:400]),
                    grouped(ledger.removal_failed.values())[:10])
    if ledger.imap_trouble:
        report.fail("server", "the IMAP session broke off %d time(s)" % len(ledger.imap_trouble),
                    grouped(ledger.imap_trouble)[:10])
    trouble = [l for l in server.log_text().splitlines() + ledger.tool_output
               if SERVER_TROUBLE.search(l)]
    if trouble:
        # The first lines show where it began; the rest, alike lines counted once.
        kinds = grouped(re.sub(r"^\w+ +\d+ [\d:]+ |<\d+><[^>]*>|\(\d+\)|uid=\d+|UID \d+|"
                               r"\d+ > \d+| at \d+$", "", l) for l in trouble)
        report.fail("server", "the server reported %d error(s)" % len(trouble),
                    trouble[:5] + ["of these kinds:"] + kinds[:20])


def set_up_inbox(server, ledger):
    """Delivers and expunges one message, so that the internal-data message leads INBOX."""
    run = server.deliver(message_bytes("check-setup", "Setup", "setup\n"))
    if run.returncode != 0:
        raise RuntimeError("the first delivery failed: %s" % (run.stdout + run.stderr).decode())
    for args in (("expunge", "-u", USER, "mailbox", "INBOX", "all"),
                 ("mailbox", "create", "-u", USER, "Archive")):
        run = server.doveadm(*args, ledger=ledger)
        if run.returncode != 0:
            raise RuntimeError("doveadm %s failed: %s" % (" ".join(args), run.stderr))
    if not internal_message_leads(server.inbox):
        raise RuntimeError("the server wrote no internal-data message into %s" % server.inbox)


def run_check(args, work, account, report):
    rnd = random.Random(args.seed)
    home = os.path.join(work, "home")
    os.makedirs(os.path.join(home, "mail"))
    server = MailServer(work, home, account)
    parcelo = Parcelo(args.parcelo_cli, work, account, server.mail)
    for top in (home, parcelo.dir):
        for d, dirs, files in os.walk(top):
            for name in [d] + [os.path.join(d, n) for n in dirs + files]:
                os.chown(name, account.pw_uid, account.pw_gid)
    ledger = Ledger()
    runs = []
    stop = threading.Event()
    threads = []
    server.start()
    started = time.monotonic()
    try:
        set_up_inbox(server, ledger)
        parcelo.find_inbox()
        uidvalidity = {box: server.uidvalidity(box) for box in ("INBOX", "Archive")}
        numbers = iter(range(1, 10 ** 6))
        # Two deliverers, so that a delivery is often under way while parcelo-cli reads.
        actors = [(deliverer, (numbers, not args.plain_bodies))] * 2 + [(changer, ()),
                                                                       (imap_watcher, ())]
        for target, extra in actors:
            t = threading.Thread(target=target, args=(server, ledger, stop,
                                                      random.Random(rnd.random())) + extra)
            t.start()
            threads.append(t)
        time.sleep(0.5)  # some mail before the first run
        for number in range(1, args.runs + 1):
            runs.append(parcelo.export(number, rnd.random() < 0.85))
            time.sleep(rnd.uniform(0, 0.05))
        stop.set()
        for t in threads:
            t.join()
        exporting = time.monotonic() - started
        view, unreadable = server_view(server, report)
        check_exports(report, runs)
        exported, warned = check_tokens(report, server, ledger, runs, view)
        check_server_copies(report, server, ledger, view)
        check_server(report, server, ledger, view, unreadable, uidvalidity)
    finally:
        stop.set()
        for t in threads:
            t.join()
        server.stop()

    codes = collections.Counter("timeout" if r.rc is None else r.rc for r in runs)
    print("runs: %d (%d filtered by subject), exit status %s, %d warning(s), %d file(s) written, "
          "%.0f s" % (len(runs), sum(r.filtered for r in runs),
                      ", ".join("%s: %d" % kv for kv in sorted(codes.items(), key=str)),
                      sum(len(r.warnings) for r in runs), sum(len(r.files) for r in runs), exporting))
    delivered = len(ledger.delivered)
    print("server: %d delivered (%d failed), %d expunged, %d moved to Archive, %s"
          % (delivered, len(ledger.delivery_failed), len(ledger.expunged), len(ledger.moved),
             ", ".join("%d %s" % (n, k) for k, n in sorted(ledger.ops.items()))))
    print("at the end: %d in INBOX, %d in Archive, %d exported once or more, %d named in warnings"
          % (len(view["INBOX"]), len(view["Archive"]), len(exported), len(warned)))
    if ledger.raced:
        print("note: %d expunge(s) or move(s) by the server found their message deleted by "
              "parcelo-cli meanwhile, as the server said:" % len(ledger.raced))
        for line in grouped(ledger.raced.values())[:5]:
            print("    " + line)
    for text, n in sorted(ledger.imap_refusals.items()):
        print("note: IMAP refused %d time(s): %s" % (n, text))
    warnings = grouped(re.sub(r"(message|byte) \d+", r"\1 N", w) for r in runs for w in r.warnings)
    if warnings:
        print("warnings of parcelo-cli, alike ones counted once:")
        for line in warnings:
            print("    " + line)
    if report.failed:
        print("failures by kind: " + ", ".join("%s %d" % kv for kv in report.kinds.most_common()))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--parcelo-cli", default="build/default/parcelo-cli",
                        help="the parcelo-cli to check")
    parser.add_argument("--runs", type=int, default=100, help="deleting exports to run")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    parser.add_argument("--seed", type=int, default=None, help="seed of the random choices")
    parser.add_argument("--plain-bodies", action="store_true",
                        help='no body line begins with "From " (to look past faults it shows)')
    parser.add_argument("--mail-user", default="nobody",
                        help="the user that owns the mail when this runs as root")
    args = parser.parse_args()
    missing = [p for p in (DOVECOT, DOVEADM, LDA) if not os.access(p, os.X_OK)]
    if missing:
        print("SKIP: %s missing; install Debian's package: apt-get install -y dovecot-imapd"
              % ", ".join(missing))
        return SKIP
    args.parcelo_cli = os.path.abspath(args.parcelo_cli)
    if not os.access(args.parcelo_cli, os.X_OK):
        print("error: %s is not an executable parcelo-cli (build it first)" % args.parcelo_cli,
              file=sys.stderr)
        return 2
    if args.seed is None:
        args.seed = random.randrange(10 ** 6)
    account = pwd.getpwnam(args.mail_user) if os.geteuid() == 0 else pwd.getpwuid(os.geteuid())
    print("seed %d, mail user %s" % (args.seed, account.pw_name))

    signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))
    work = tempfile.mkdtemp(prefix="parcelo-server-check-")
    os.chmod(work, 0o755)
    report = Report()
    try:
        run_check(args, work, account, report)
    except Exception as e:  # a broken step ends the run, reported like a failed check
        report.fail("check", "the check went on to the end: %s: %s" % (type(e).__name__, e))
    if args.keep or report.failed:
        print("work folder kept: " + work)
    else:
        shutil.rmtree(work, ignore_errors=True)
    print("%d check(s) failed" % report.failed if report.failed else "all checks passed")
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main())
