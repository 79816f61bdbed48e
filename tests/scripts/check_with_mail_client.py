#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks parcelo-cli against the desktop mail client itself, run headless on a fresh profile.

Needs Debian's `thunderbird` package (`apt-get install thunderbird`); this script installs nothing
and exits 77 when `thunderbird` is missing. Not part of the test suite: it starts the client three
times, about half a minute in all.

The client is driven through its Marionette port (127.0.0.1 only, a free port) with chrome
scripts that read what it shows of the Local Folders Inbox: each message's subject, read,
flagged, tags and text. The profile points every network service at a closed local port.

  a. with the client running, a deleting and compacting export warns once, names the lock,
     exits 3 and leaves the Inbox byte for byte as it was;
  b. the messages Parcelo finds unread and flagged are the ones the client shows so, both before
     the client built its index and from the index it wrote;
  c. read, flagged and tags set in the client (index only) survive a deleting export of another
     message: the client, started again, shows every other message once, unchanged, and the same
     states;
  d. marking read and deleting with the client closed: the client shows exactly the expected
     messages and states.

  tests/scripts/check_with_mail_client.py --cli build/default/parcelo-cli [--keep]
"""
import argparse
import email
import email.policy
import fcntl
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
from xml.sax.saxutils import quoteattr

SKIP = 77
START_TIMEOUT = 120
QUIT_TIMEOUT = 60
SCRIPT_TIMEOUT_MS = 60000
FROM_LINE = b"From sender@example.org Mon Jan  5 10:00:00 2009\n"

# Subject, the client's fields (right after the separator line, where it writes them), extra
# header lines among the sender's; the body names the subject so each text is distinct.
MESSAGES = [
    ("Plain one", [], []),
    ("Plain two", [], []),
    ("Seen elsewhere", [], ["Status: O"]),
    ("Read before", [], ["Status: RO"]),
    ("Flag by X-Status", [], ["X-Status: F"]),
    ("Mozilla read flagged", ["X-Mozilla-Status: 0005", "X-Mozilla-Status2: 00000000"], []),
    ("Mozilla flagged unread", ["X-Mozilla-Status: 0004", "X-Mozilla-Status2: 00000000"], []),
    ("Empty Status", [], ["Status:"]),
    # A sender's copy of the client's fields, below the client's own: read or deleted, it says.
    ("Sender status below", ["X-Mozilla-Status: 0000", "X-Mozilla-Status2: 00000000"],
     ["X-Mozilla-Status: 0009"]),
]

# Set in the client on messages without X-Mozilla-Status; their state lives only in its index.
MARK_READ = ["Plain one", "Flag by X-Status"]
MARK_FLAGGED = ["Plain two", "Seen elsewhere"]
MARK_KEYWORDS = {"Flag by X-Status": "$label1", "Empty Status": "$label4"}
DELETE_WITH_INDEX = "Read before"
# With the client closed afterwards.
PARCELO_MARK_READ = ["Plain two", "Mozilla flagged unread", "Sender status below"]
PARCELO_DELETE = "Mozilla read flagged"

# Fields that carry a message's state and may change when its state changes.
STATE_FIELDS = ("x-mozilla-status:", "x-mozilla-status2:", "x-mozilla-keys:", "status:")

JS_PRELUDE = """
const { MailServices } = ChromeUtils.importESModule("resource:///modules/MailServices.sys.mjs");
const inbox = MailServices.accounts.localFoldersServer.rootFolder.getChildNamed("Inbox");
"""

# Null while the client has no valid index of the Inbox yet (it is asked to build one).
JS_READ_INBOX = JS_PRELUDE + """
let db = null;
try {
  db = inbox.msgDatabase;
} catch (e) {}
if (!db || !db.summaryValid) {
  try {
    inbox.QueryInterface(Ci.nsIMsgLocalMailFolder).getDatabaseWithReparse(
      { OnStartRunningUrl() {}, OnStopRunningUrl() {} }, null);
  } catch (e) {}
  return null;
}
function text(hdr) {
  const sis = Cc["@mozilla.org/scriptableinputstream;1"].createInstance(Ci.nsIScriptableInputStream);
  sis.init(inbox.getMsgInputStream(hdr));
  let data = "";
  for (;;) {
    let n = 0;
    try { n = sis.available(); } catch (e) { break; }
    if (!n) break;
    data += sis.readBytes(n);
  }
  sis.close();
  return data;
}
return [...db.enumerateMessages()].map(hdr => ({
  subject: hdr.subject,
  read: hdr.isRead,
  flagged: hdr.isFlagged,
  keywords: hdr.getStringProperty("keywords"),
  text: text(hdr),
}));
"""

JS_MARK = JS_PRELUDE + """
const [read, flagged, keywords] = arguments;
const db = inbox.msgDatabase;
const hdrs = [...db.enumerateMessages()];
const pick = subject => {
  const found = hdrs.filter(h => h.subject == subject);
  if (found.length != 1) throw new Error(`${found.length} messages with the subject ${subject}`);
  return found;
};
for (const s of read) inbox.markMessagesRead(pick(s), true);
for (const s of flagged) inbox.markMessagesFlagged(pick(s), true);
for (const [s, k] of Object.entries(keywords)) inbox.addKeywordsToMessages(pick(s), k);
db.commit(Ci.nsMsgDBCommitType.kLargeCommit);
"""


class Marionette:
    """The client side of Marionette: `N:{json}` frames, commands `[0, id, name, params]`."""

    def __init__(self, port, deadline, alive):
        while True:
            try:
                self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
                break
            except OSError:
                if time.monotonic() > deadline or not alive():
                    raise RuntimeError("the client's Marionette port %d did not open" % port)
                time.sleep(0.5)
        self.sock.settimeout(SCRIPT_TIMEOUT_MS / 1000 + 30)
        self.buf = b""
        self.last_id = 0
        hello = self._receive()
        if hello.get("marionetteProtocol") != 3:
            raise RuntimeError("unexpected Marionette hello: %r" % hello)

    def _fill(self, size):
        while len(self.buf) < size:
            data = self.sock.recv(65536)
            if not data:
                raise RuntimeError("the client closed the Marionette connection")
            self.buf += data

    def _receive(self):
        while b":" not in self.buf:
            self._fill(len(self.buf) + 1)
        length, _, rest = self.buf.partition(b":")
        self.buf = rest
        self._fill(int(length))
        frame, self.buf = self.buf[: int(length)], self.buf[int(length):]
        return json.loads(frame)

    def command(self, name, params=None):
        self.last_id += 1
        data = json.dumps([0, self.last_id, name, params or {}]).encode()
        self.sock.sendall(b"%d:%s" % (len(data), data))
        while True:
            reply = self._receive()
            if reply[0] == 1 and reply[1] == self.last_id:
                if reply[2]:
                    raise RuntimeError("%s failed: %s" % (name, reply[2].get("message", reply[2])))
                return reply[3]

    def script(self, body, *args):
        return self.command("WebDriver:ExecuteScript", {"script": body, "args": list(args)})["value"]

    def close(self):
        self.sock.close()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def user_prefs(profile, port):
    local = os.path.join(profile, "Mail", "Local Folders")
    mbox_store = "@mozilla.org/msgstore/berkeleystore;1"
    closed = "127.0.0.1"
    prefs = {
        "marionette.port": port,
        "mail.accountmanager.accounts": "account1",
        "mail.accountmanager.localfoldersserver": "server1",
        "mail.account.account1.server": "server1",
        "mail.server.server1.directory": local,
        "mail.server.server1.directory-rel": "[ProfD]Mail/Local Folders",
        "mail.server.server1.hostname": "Local Folders",
        "mail.server.server1.name": "Local Folders",
        "mail.server.server1.type": "none",
        "mail.server.server1.userName": "nobody",
        "mail.server.server1.storeContractID": mbox_store,
        "mail.serverDefaultStoreContractID": mbox_store,
        "mail.root.none": os.path.join(profile, "Mail"),
        "mail.root.none-rel": "[ProfD]Mail",
        # No first-run pages, account wizard or default-client question.
        "mail.provider.enabled": False,
        "mail.provider.suppress_dialog_on_startup": True,
        "mail.shell.checkDefaultClient": False,
        "mail.rights.version": 1,
        "mail.spotlight.firstRunDone": True,
        "mail.winsearch.firstRunDone": True,
        "mail.startup.enabledMailCheckOnce": True,
        "mailnews.start_page.enabled": False,
        "mailnews.start_page_override.mstone": "ignore",
        "mailnews.auto_config_url": "",
        "mail.cloud_files.enabled": False,
        # The client must not change the Inbox by itself.
        "mail.purge.ask": False,
        "mail.purge_threshhold_mb": 100000,
        "mailnews.database.global.indexer.enabled": False,
        # Updates, telemetry and every other service that would go out to the network.
        "app.update.disabledForTesting": True,
        "app.update.auto": False,
        "app.update.checkInstallTime": False,
        "app.update.staging.enabled": False,
        "app.normandy.enabled": False,
        "app.shield.optoutstudies.enabled": False,
        "extensions.update.enabled": False,
        "extensions.update.autoUpdateDefault": False,
        "extensions.getAddons.cache.enabled": False,
        "extensions.blocklist.enabled": False,
        "extensions.systemAddon.update.enabled": False,
        "media.gmp-manager.updateEnabled": False,
        "datareporting.policy.dataSubmissionEnabled": False,
        "datareporting.healthreport.uploadEnabled": False,
        "toolkit.telemetry.enabled": False,
        "toolkit.telemetry.unified": False,
        "toolkit.telemetry.archive.enabled": False,
        "toolkit.telemetry.server": "",
        "browser.safebrowsing.malware.enabled": False,
        "browser.safebrowsing.phishing.enabled": False,
        "browser.safebrowsing.downloads.enabled": False,
        "browser.safebrowsing.blockedURIs.enabled": False,
        "browser.safebrowsing.update.enabled": False,
        "browser.region.network.url": "",
        "browser.region.update.enabled": False,
        "geo.provider.network.url": "",
        "services.settings.server": "data:,#remote-settings-dummy/v1",
        "security.OCSP.enabled": 0,
        "security.remote_settings.crlite_filters.enabled": False,
        "security.remote_settings.intermediates.enabled": False,
        "identity.fxaccounts.enabled": False,
        "network.captive-portal-service.enabled": False,
        "network.connectivity-service.enabled": False,
        "network.dns.disablePrefetch": True,
        "network.prefetch-next": False,
        "network.predictor.enabled": False,
        "network.http.speculative-parallel-limit": 0,
        "network.trr.mode": 5,
        "network.netlink.route.check.IPv4": "127.0.0.1",
        "network.netlink.route.check.IPv6": "::1",
        # Whatever is left goes to a local port where nothing listens.
        "network.proxy.type": 1,
        "network.proxy.http": closed,
        "network.proxy.http_port": 9,
        "network.proxy.ssl": closed,
        "network.proxy.ssl_port": 9,
        "network.proxy.socks": closed,
        "network.proxy.socks_port": 9,
        "network.proxy.socks_remote_dns": True,
        "network.proxy.share_proxy_settings": True,
        "network.proxy.no_proxies_on": "",
        "network.proxy.allow_hijacking_localhost": True,
    }
    return "".join("user_pref(%s, %s);\n" % (json.dumps(k), json.dumps(v)) for k, v in prefs.items())


def message_bytes(number, subject, client, extra):
    lines = client + [
        "From: Sender %d <sender@example.org>" % number,
        "To: Ann <ann@example.org>",
        "Subject: %s" % subject,
        "Date: Mon, 05 Jan 2009 10:%02d:00 +0000" % number,
        "Message-ID: <check-%d@example.org>" % number,
    ] + extra
    body = "Text of %s.\n>From the middle of a line, quoted.\n\nLast line %d.\n" % (subject, number)
    return ("\n".join(lines) + "\n\n" + body).encode()


def inbox_bytes():
    return b"\n".join(FROM_LINE + message_bytes(n, *m) for n, m in enumerate(MESSAGES, 1))


def without_state(text):
    """A message's text without the fields that record its state."""
    head, sep, body = text.partition("\n\n")
    kept = [l for l in head.split("\n") if not l.lower().startswith(STATE_FIELDS)]
    return "\n".join(kept) + sep + body


def filter_set(filters):
    lines = ['<?xml version="1.0" encoding="ISO-8859-2"?>', "<filters>",
             "<head><title>Filters</title></head>", "<body>"]
    for f in filters:
        attrs = {"Criteria": 0, "ConjunctionOption": 0, "TextField": "", "MatchCase": 0,
                 "NumericField": 0, "Date": "", "NumericValue": 0}
        attrs.update(f)
        lines.append("<filter %s/>" % " ".join("%s=%s" % (k, quoteattr(str(v))) for k, v in attrs.items()))
    lines += ["</body>", "</filters>", ""]
    return "\r\n".join(lines)


UNREAD = [{"Criteria": 7, "ConjunctionOption": 0, "NumericValue": 0}]  # Status is Unread
FLAGGED = [{"Criteria": 8, "ConjunctionOption": 0, "NumericValue": 1}]  # Flag is Present


def subject_is(*subjects):
    return [{"Criteria": 1, "ConjunctionOption": 2, "TextField": s, "MatchCase": 1} for s in subjects]


class Report:
    def __init__(self):
        self.failed = 0

    def check(self, name, ok, detail=""):
        print("%s %s%s" % ("PASS" if ok else "FAIL", name, "" if ok or not detail else ": " + detail))
        sys.stdout.flush()
        if not ok:
            self.failed += 1
        return ok


class Session:
    def __init__(self, args, work):
        self.cli = args.cli
        self.client = args.client
        self.work = work
        self.home = os.path.join(work, "home")
        self.profile = os.path.join(self.home, "profile")
        self.store = os.path.join(self.profile, "Mail", "Local Folders")
        self.inbox = os.path.join(self.store, "Inbox")
        self.app = os.path.join(work, "app")
        self.runs = 0
        self.proc = None
        self.mn = None
        self.client_log = None
        for d in (self.store, self.app, os.path.join(work, "config"), os.path.join(work, "data")):
            os.makedirs(d)
        self.port = free_port()
        prefs = user_prefs(self.profile, self.port)
        for name in ("user.js", "prefs.js"):
            with open(os.path.join(self.profile, name), "w") as f:
                f.write(prefs)
        with open(self.inbox, "wb") as f:
            f.write(inbox_bytes())

    # The client.

    def start(self):
        self.runs += 1
        self.client_log = os.path.join(self.work, "client-%d.log" % self.runs)
        env = {k: v for k, v in os.environ.items() if not k.startswith(("XDG_", "MOZ_", "DISPLAY"))}
        env.update(HOME=self.home, TZ="UTC", MOZ_CRASHREPORTER_DISABLE="1",
                   XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   XDG_CACHE_HOME=os.path.join(self.home, ".cache"))
        with open(self.client_log, "wb") as log:
            self.proc = subprocess.Popen(
                [self.client, "--headless", "--marionette", "--remote-allow-system-access",
                 "--no-remote", "--profile", self.profile],
                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT, env=env,
                start_new_session=True)
        deadline = time.monotonic() + START_TIMEOUT
        self.mn = Marionette(self.port, deadline, lambda: self.proc.poll() is None)
        self.mn.command("WebDriver:NewSession", {"capabilities": {}})
        self.mn.command("Marionette:SetContext", {"value": "chrome"})
        self.mn.command("WebDriver:SetTimeouts", {"script": SCRIPT_TIMEOUT_MS})

    def read_inbox(self):
        """The Inbox as the client shows it, once two readings agree."""
        deadline = time.monotonic() + START_TIMEOUT
        last = None
        while True:
            state = self.mn.script(JS_READ_INBOX)
            if state is not None and state == last:
                return state
            last = state
            if time.monotonic() > deadline:
                raise RuntimeError("the client did not show the Inbox within %d s" % START_TIMEOUT)
            time.sleep(0.5)

    def mark(self, read, flagged, keywords):
        self.mn.script(JS_MARK, read, flagged, keywords)

    def quit(self):
        """Ends the client as a user would, then waits until the profile's lock is free."""
        try:
            self.mn.command("Marionette:Quit", {"flags": ["eAttemptQuit"]})
        finally:
            self.mn.close()
            self.mn = None
        try:
            self.proc.wait(timeout=QUIT_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise RuntimeError("the client did not quit within %d s" % QUIT_TIMEOUT)
        deadline = time.monotonic() + QUIT_TIMEOUT
        while not self.lock_free():
            if time.monotonic() > deadline:
                raise RuntimeError("the client's profile lock was still held %d s after it quit" % QUIT_TIMEOUT)
            time.sleep(0.2)
        self.kill()

    def lock_free(self):
        path = os.path.join(self.profile, ".parentlock")
        if not os.path.exists(path):
            return True
        with open(path, "rb") as f:
            try:
                fcntl.lockf(f, fcntl.LOCK_SH | fcntl.LOCK_NB)
            except OSError:
                return False
            fcntl.lockf(f, fcntl.LOCK_UN)
            return True

    def kill(self):
        """Ends whatever is left of the client's process group."""
        if self.mn:
            self.mn.close()
            self.mn = None
        if self.proc is None:
            return
        try:
            os.killpg(self.proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.proc.wait()
        self.proc = None

    def client_tail(self, lines=30):
        if not self.client_log or not os.path.exists(self.client_log):
            return ""
        with open(self.client_log, "rb") as f:
            text = f.read().decode("utf-8", "replace").splitlines()
        # Headless GTK repeats the same two complaints about icon themes; they say nothing.
        noise = ("gtk_icon_theme_", "GDK_IS_SCREEN")
        tail = [l for l in text if l.strip() and not any(n in l for n in noise)][-lines:]
        return "\n".join("    | " + l for l in tail)

    # Parcelo.

    def export(self, name, filters=None, settings=()):
        dest = os.path.join(self.work, "dest-" + name)
        os.makedirs(dest)
        cmd = [self.cli, "export", "--store", self.store, "--dest", dest, "--app-folder", self.app]
        if filters is not None:
            path = os.path.join(self.work, "filters-%s.xml" % name)
            with open(path, "w", encoding="iso-8859-2") as f:
                f.write(filter_set(filters))
            cmd += ["--filters", path]
        for s in settings:
            cmd += ["--set", s]
        env = dict(os.environ, TZ="UTC", XDG_CONFIG_HOME=os.path.join(self.work, "config"),
                   XDG_DATA_HOME=os.path.join(self.work, "data"))
        run = subprocess.run(cmd, capture_output=True, env=env, timeout=300)
        subjects = []
        for top, _, files in os.walk(dest):
            for file in files:
                with open(os.path.join(top, file), "rb") as f:
                    msg = email.message_from_binary_file(f, policy=email.policy.default)
                subjects.append(str(msg["subject"]))
        return run.returncode, run.stderr.decode("utf-8", "replace"), sorted(subjects), cmd


def states(inbox):
    return {m["subject"]: (m["read"], m["flagged"], sorted(m["keywords"].split())) for m in inbox}


def show_state(state):
    read, flagged, keywords = state
    return "%s%s%s" % ("read" if read else "unread", ", flagged" if flagged else "",
                       ", " + " ".join(keywords) if keywords else "")


def compare_inbox(report, name, shown, expected_states, reference):
    """The client shows each expected message once, with its text unchanged and the given state."""
    counts = {}
    for m in shown:
        counts[m["subject"]] = counts.get(m["subject"], 0) + 1
    problems = []
    for subject in sorted(set(counts) | set(expected_states)):
        if subject not in expected_states:
            problems.append("%r is still shown" % subject)
        elif subject not in counts:
            problems.append("%r is missing" % subject)
        elif counts[subject] != 1:
            problems.append("%r is shown %d times" % (subject, counts[subject]))
    got = states(shown)
    for subject, want in sorted(expected_states.items()):
        if subject in got and got[subject] != want:
            problems.append("%r is %s, expected %s" % (subject, show_state(got[subject]), show_state(want)))
    texts = {m["subject"]: without_state(m["text"]) for m in shown}
    for subject in sorted(expected_states):
        if subject in texts and texts[subject] != reference[subject]:
            problems.append("the text of %r changed:\n%s\n    --- was ---\n%s"
                            % (subject, texts[subject], reference[subject]))
    return report.check(name, not problems, "; ".join(problems))


def parcelo_view(session, name):
    """Parcelo's unread and flagged messages, each by an export through a filter set."""
    return {label: session.export("%s-%s" % (name, label), filters)
            for label, filters in (("unread", UNREAD), ("flagged", FLAGGED))}


def compare_view(report, name, view, shown):
    """Parcelo's unread and flagged messages are the client's."""
    want = {"unread": sorted(m["subject"] for m in shown if not m["read"]),
            "flagged": sorted(m["subject"] for m in shown if m["flagged"])}
    for label in ("unread", "flagged"):
        rc, err, got, cmd = view[label]
        report.check("b %s: Parcelo's %s messages are the client's" % (name, label),
                     rc == 0 and got == want[label],
                     "%s\n    exit %d, Parcelo: %s\n    client: %s\n%s"
                     % (" ".join(cmd), rc, got, want[label], err))


def check_parcelo_view(report, session, name, shown):
    compare_view(report, name, parcelo_view(session, name), shown)


def run_checks(session, report):
    with open(session.inbox, "rb") as f:
        original = f.read()

    # Parcelo's first look, before the client ever built an index.
    headers_view = parcelo_view(session, "headers")
    session.start()
    first = session.read_inbox()
    report.check("setup: the client shows the %d generated messages" % len(MESSAGES),
                 sorted(m["subject"] for m in first) == sorted(m[0] for m in MESSAGES),
                 str([m["subject"] for m in first]))
    reference = {m["subject"]: without_state(m["text"]) for m in first}
    print("      the client shows: " + "; ".join(
        "%s: %s" % (s, show_state(v)) for s, v in sorted(states(first).items())))
    compare_view(report, "(no index yet)", headers_view, first)

    # a. The client is running.
    rc, err, _, cmd = session.export("running", None,
                                     ["ActionDelete=1", "CompactMailboxes=1"])
    with open(session.inbox, "rb") as f:
        unchanged = f.read() == original
    warnings = [l for l in err.splitlines() if l.startswith("parcelo-cli: warning:")]
    names_lock = len(warnings) == 1 and any(
        os.path.join(session.profile, n) in warnings[0] for n in ("lock", ".parentlock"))
    report.check("a: client running: exit 3, one warning naming the profile's lock, Inbox unchanged",
                 rc == 3 and names_lock and unchanged,
                 "%s\n    exit %d (expected 3), Inbox %s, stderr:\n%s"
                 % (" ".join(cmd), rc, "unchanged" if unchanged else "CHANGED", err))

    # c, first half: state the client keeps only in its index.
    session.mark(MARK_READ, MARK_FLAGGED, MARK_KEYWORDS)
    marked = session.read_inbox()
    session.quit()
    expected = states(first)
    for s in MARK_READ:
        expected[s] = (True,) + expected[s][1:]
    for s in MARK_FLAGGED:
        expected[s] = (expected[s][0], True, expected[s][2])
    for s, k in MARK_KEYWORDS.items():
        expected[s] = expected[s][:2] + (sorted(set(expected[s][2]) | {k}),)
    report.check("c: the client took the marks", states(marked) == expected,
                 "%s != %s" % (states(marked), expected))
    expected = states(marked)

    # b. Parcelo reads the index the client wrote.
    check_parcelo_view(report, session, "(client's index)", marked)

    # c. A deleting export of another message, then the client again.
    rc, err, got, cmd = session.export("delete-one", subject_is(DELETE_WITH_INDEX), ["ActionDelete=1"])
    report.check("c: deleting export of %r" % DELETE_WITH_INDEX,
                 rc == 0 and got == [DELETE_WITH_INDEX],
                 "%s\n    exit %d, exported %s\n%s" % (" ".join(cmd), rc, got, err))
    del expected[DELETE_WITH_INDEX]
    session.start()
    after_delete = session.read_inbox()
    session.quit()
    compare_inbox(report, "c: the client shows the rest once, unchanged, with the states set before",
                  after_delete, expected, reference)
    check_parcelo_view(report, session, "(index rebuilt)", after_delete)

    # d. Mark read and delete with the client closed.
    rc, err, got, cmd = session.export("mark-read", subject_is(*PARCELO_MARK_READ), ["ActionMarkRead=1"])
    report.check("d: marking export of %s" % PARCELO_MARK_READ,
                 rc == 0 and got == sorted(PARCELO_MARK_READ),
                 "%s\n    exit %d, exported %s\n%s" % (" ".join(cmd), rc, got, err))
    rc, err, got, cmd = session.export("delete-two", subject_is(PARCELO_DELETE), ["ActionDelete=1"])
    report.check("d: deleting export of %r" % PARCELO_DELETE,
                 rc == 0 and got == [PARCELO_DELETE],
                 "%s\n    exit %d, exported %s\n%s" % (" ".join(cmd), rc, got, err))
    for s in PARCELO_MARK_READ:
        expected[s] = (True,) + expected[s][1:]
    del expected[PARCELO_DELETE]
    session.start()
    last = session.read_inbox()
    session.quit()
    compare_inbox(report, "d: the client shows exactly the expected messages and states",
                  last, expected, reference)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cli", default="build/default/parcelo-cli", help="the parcelo-cli to check")
    parser.add_argument("--client", default="thunderbird", help="the mail client's command")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    args = parser.parse_args()
    if shutil.which(args.client) is None:
        print("SKIP: the mail client `%s` is missing; install Debian's package: apt-get install thunderbird"
              % args.client)
        return SKIP
    args.cli = os.path.abspath(args.cli)
    if not os.access(args.cli, os.X_OK):
        print("error: %s is not an executable parcelo-cli (build it first)" % args.cli, file=sys.stderr)
        return 2

    signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))
    work = tempfile.mkdtemp(prefix="parcelo-client-check-")
    report = Report()
    session = Session(args, work)
    try:
        run_checks(session, report)
    except Exception as e:  # a broken step ends the run, reported like a failed check
        report.check("the run went on to the end", False, "%s: %s" % (type(e).__name__, e))
    finally:
        session.kill()
    if report.failed:
        tail = session.client_tail()
        if tail:
            print("the client's output (%s), last lines:\n%s" % (session.client_log, tail))
    if args.keep or report.failed:
        print("work folder kept: " + work)
    else:
        shutil.rmtree(work, ignore_errors=True)
    print("%d check(s) failed" % report.failed if report.failed else "all checks passed")
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main())
