#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Kills deleting and compacting exports at random moments and checks that no message is lost.

Each round builds an mbox tree and a Maildir from the outside corpus's mailboxes in a temporary
folder (every message tagged with an X-Kill-Test-Id field), exports a pristine copy once for the
expected file of every message, then starts `parcelo-cli export` with ActionDelete and
CompactMailboxes on and kills it with SIGKILL at random moments, a few times, before one run that
may finish. Afterwards every message must be in the store or in a complete file: a file under a
real name must hold exactly the bytes of the pristine export of its message.

Short form (the test suite): --rounds 1 --kills 3 --messages 150. At length: --rounds 40 --kills 5.
"""
import argparse
import mailbox
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
TAG = re.compile(rb"^X-Kill-Test-Id: (\d+)\r?$", re.M)

MAILBOXES = [
    "gnu-mailutils/spool/teaparty.mbox",
    "gnu-mailutils/spool/relational.mbox",
    "gnu-mailutils/spool/search.mbox",
    "gnu-mailutils/spool/search2.mbox",
    "gnu-mailutils/spool/msg.mbox",
    "gnu-mailutils/spool/mime.mbox",
    "gnu-mailutils/spool/mbox1",
    "perl-mail-box/mbox.src",
    "mime4j/mbox/test-1/mbox.rlug",
    "mimekit/mbox/content-length.mbox.txt",
    "mimekit/mbox/issue1189.mbox.txt",
    "mimekit/mbox/simple.mbox.txt",
]
MAILDIRS = ["notmuch/lkml"]


def corpus_messages(corpus):
    """The bytes of every message of the chosen mailboxes, each tagged with its number."""
    raw = []
    for name in MAILBOXES:
        path = os.path.join(corpus, name)
        if os.path.isfile(path):
            box = mailbox.mbox(path, create=False)
            raw.extend(box.get_bytes(key) for key in box.keys())
    for name in MAILDIRS:
        cur = os.path.join(corpus, name, "cur")
        if os.path.isdir(cur):
            for entry in sorted(os.listdir(cur)):
                with open(os.path.join(cur, entry), "rb") as f:
                    raw.append(f.read())
    return [b"X-Kill-Test-Id: %d\n" % i + data for i, data in enumerate(raw)]


FOLDERS = ["Inbox", "Lists", "Lists/Archive"]


def build_mbox_tree(root, messages):
    os.makedirs(root)
    for index, folder in enumerate(FOLDERS):
        parts = folder.split("/")
        directory = os.path.join(root, *[p + ".sbd" for p in parts[:-1]])
        os.makedirs(directory, exist_ok=True)
        box = mailbox.mbox(os.path.join(directory, parts[-1]))
        for data in messages[index::len(FOLDERS)]:
            box.add(data)
        box.flush()
        box.close()


def build_maildir(root, messages):
    top = mailbox.Maildir(root, create=True)
    boxes = [top, top.add_folder("Lists"), top.add_folder("Lists.Archive")]
    for index, box in enumerate(boxes):
        for data in messages[index::len(boxes)]:
            box.add(data)


def ids_in_store(root, kind):
    found = set()
    if kind == "mbox":
        for directory, _, files in os.walk(root):
            for name in files:
                if name.startswith(".") or name.endswith((".msf", ".lock")):
                    continue
                for message in mailbox.mbox(os.path.join(directory, name), create=False):
                    if int(message.get("X-Mozilla-Status", "0") or "0", 16) & 8:
                        continue
                    match = TAG.search(message.as_bytes())
                    if match:
                        found.add(int(match.group(1)))
    else:
        top = mailbox.Maildir(root, factory=None, create=False)
        for box in [top] + [top.get_folder(f) for f in top.list_folders()]:
            for key in box.keys():
                if "T" in box.get_message(key).get_flags():
                    continue
                match = TAG.search(box.get_bytes(key))
                if match:
                    found.add(int(match.group(1)))
    return found


def files_by_id(dest):
    """Message files under real names by id, and the names of leftover temporary files."""
    files, hidden = {}, []
    for directory, _, names in os.walk(dest):
        for name in names:
            path = os.path.join(directory, name)
            if name.startswith("."):
                hidden.append(path)
                continue
            with open(path, "rb") as f:
                data = f.read()
            match = TAG.search(data[: data.find(b"\r\n\r\n") + 2] if b"\r\n\r\n" in data else data)
            files.setdefault(int(match.group(1)) if match else -1, []).append((path, data))
    return files, hidden


class Runner:
    def __init__(self, cli, work):
        self.cli = cli
        self.env = dict(os.environ, TZ="UTC", XDG_CONFIG_HOME=os.path.join(work, "config"),
                        XDG_DATA_HOME=os.path.join(work, "data"))
        self.app = os.path.join(work, "app")
        os.makedirs(self.app, exist_ok=True)
        self.runs = self.kills = self.kills_after_changes = 0

    def start(self, store, dest, acting):
        args = [self.cli, "export", "--store", store, "--dest", dest, "--app-folder", self.app,
                "--set", "FolderOption=1", "--set", "MessageOption=0"]
        if acting:
            args += ["--set", "ActionDelete=1", "--set", "CompactMailboxes=1"]
        self.runs += 1
        return subprocess.Popen(args, env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE)

    def finish(self, store, dest, acting):
        process = self.start(store, dest, acting)
        _, err = process.communicate()
        if process.returncode < 0 or process.returncode in (1, 2):
            raise RuntimeError("export failed (%d): %s" % (process.returncode, err.decode()))

    def kill_at(self, store, dest, delay):
        """Starts a deleting run and kills it after delay seconds; False when it ended first."""
        process = self.start(store, dest, True)
        try:
            process.wait(timeout=delay)
        except subprocess.TimeoutExpired:
            process.send_signal(signal.SIGKILL)
            process.wait()
            self.kills += 1
            return True
        process.stderr.read()
        return False


def one_round(runner, work, messages, kind, kills, rng):
    """Returns (lost ids, truncated or wrong files under real names, leftover temporary files)."""
    base = os.path.join(work, kind)
    shutil.rmtree(base, ignore_errors=True)
    os.makedirs(base)
    pristine, store = os.path.join(base, "pristine"), os.path.join(base, "store")
    reference, dest = os.path.join(base, "reference"), os.path.join(base, "out")
    (build_mbox_tree if kind == "mbox" else build_maildir)(pristine, messages)
    shutil.copytree(pristine, store, symlinks=True)
    os.makedirs(reference)
    os.makedirs(dest)

    started = time.monotonic()
    runner.finish(pristine, reference, False)
    duration = max(time.monotonic() - started, 0.2)
    expected = {i: data for i, found in files_by_id(reference)[0].items() for _, data in found}
    in_store = ids_in_store(store, kind)
    assert len(expected) == len(in_store) == len(messages), (len(expected), len(in_store))

    left = len(in_store)
    for _ in range(kills):
        if not runner.kill_at(store, dest, rng.uniform(0.0, duration)):
            break
        now_left = len(ids_in_store(store, kind))
        if now_left < left:
            runner.kills_after_changes += 1
        left = now_left
    runner.finish(store, dest, True)

    files, hidden = files_by_id(dest)
    bad = [path for i, found in files.items() for path, data in found if expected.get(i) != data]
    complete = {i for i, found in files.items() for _, data in found if expected.get(i) == data}
    lost = set(expected) - ids_in_store(store, kind) - complete
    return lost, bad, hidden


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--corpus", required=True)
    parser.add_argument("--rounds", type=int, default=1)
    parser.add_argument("--kills", type=int, default=3, help="kills per round and store at most")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--messages", type=int, default=0,
                        help="use about this many of the corpus's messages (0: all)")
    args = parser.parse_args()

    if not os.path.isdir(args.corpus):
        print("corpus missing: " + args.corpus)
        return 1 if os.environ.get("CI") == "true" else SKIP
    messages = corpus_messages(args.corpus)
    if not messages:
        print("no mailboxes in the corpus")
        return 1 if os.environ.get("CI") == "true" else SKIP
    if 0 < args.messages < len(messages):
        messages = messages[:: len(messages) // args.messages]
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    print("seed %d, %d messages a store" % (seed, len(messages)), flush=True)

    failures = 0
    lost_total = bad_total = hidden_total = 0
    with tempfile.TemporaryDirectory(prefix="parcelo-kill-") as work:
        runner = Runner(args.cli, work)
        for round_number in range(args.rounds):
            for kind in ("mbox", "maildir"):
                lost, bad, hidden = one_round(runner, work, messages, kind, args.kills, rng)
                lost_total += len(lost)
                bad_total += len(bad)
                hidden_total += len(hidden)
                if lost or bad:
                    failures += 1
                    print("round %d %s: lost %s; wrong files %s" %
                          (round_number, kind, sorted(lost)[:20], bad[:5]), flush=True)
        print("rounds %d, runs %d, kills %d (%d after the store had changed), lost %d, "
              "truncated or wrong files %d, temporary files left %d" %
              (args.rounds * 2, runner.runs, runner.kills, runner.kills_after_changes, lost_total,
               bad_total, hidden_total))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
