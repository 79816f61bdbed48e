#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Kills `parcelo-cli export --only-new` at random moments and checks that, run again, it ends
with every message exported exactly once.

Each round builds an mbox tree and a Maildir from the outside corpus's mailboxes (see
kill_export.py; every message is tagged with an X-Kill-Test-Id field), exports a pristine copy
once for the expected file of every message, then starts `--only-new` exports into one
destination and kills each with SIGKILL after a random part of the pristine run's time until
--kills of them were killed while running (a run that ends first halves the time the next ones
are given), before one run that may finish. Afterwards each message must be in exactly one file under
a real name, holding exactly the bytes of its pristine export, and the list of exported messages
must name none that is missing. With --acting, every other round also deletes exported messages
from the store (ActionDelete): none may be lost either.

Where strace is installed, each round also kills runs at exact points (--syscall-kills for each
store): at the start of the K-th linkat (a file gets its name), write or pwrite64 (the list and its
table are written) system call, K chosen at random among a whole run's calls, each into a fresh
destination and followed by one run that may finish. That reaches the moments between a file's
note and its name that random times seldom hit.

Short form (the test suite): --rounds 1 --kills 4 --syscall-kills 5 --messages 150.
At length: --rounds 2 --kills 20 --syscall-kills 10 --acting.
"""
import argparse
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kill_export  # noqa: E402  (the store builders and the corpus's messages)

SKIP = 77


def files_by_id(dest):
    """Message files under real names by id, and the names of leftover temporary files; the
    destination's list of exported messages is no message file."""
    files, hidden = {}, []
    for directory, dirs, names in os.walk(dest):
        dirs[:] = [d for d in dirs if d != ".parcelo"]
        for name in names:
            path = os.path.join(directory, name)
            if name.startswith("."):
                hidden.append(path)
                continue
            with open(path, "rb") as f:
                data = f.read()
            head = data[: data.find(b"\r\n\r\n") + 2] if b"\r\n\r\n" in data else data
            match = kill_export.TAG.search(head)
            files.setdefault(int(match.group(1)) if match else -1, []).append((path, data))
    return files, hidden


class Runner:
    def __init__(self, cli, work):
        self.cli = cli
        self.env = dict(os.environ, TZ="UTC", XDG_CONFIG_HOME=os.path.join(work, "config"),
                        XDG_DATA_HOME=os.path.join(work, "data"))
        self.app = os.path.join(work, "app")
        os.makedirs(self.app, exist_ok=True)
        self.runs = self.kills = self.late = 0

    def start(self, store, dest, only_new, acting, prefix=()):
        args = list(prefix) + [self.cli, "export", "--store", store, "--dest", dest, "--app-folder", self.app,
                "--set", "FolderOption=1", "--set", "MessageOption=0"]
        if only_new:
            args.append("--only-new")
        if acting:
            args += ["--set", "ActionDelete=1"]
        self.runs += 1
        return subprocess.Popen(args, env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE)

    def finish(self, store, dest, only_new, acting):
        process = self.start(store, dest, only_new, acting)
        _, err = process.communicate()
        if process.returncode < 0 or process.returncode in (1, 2):
            raise RuntimeError("export failed (%d): %s" % (process.returncode, err.decode()))

    def kill_at(self, store, dest, delay, acting):
        """Starts a run and kills it after delay seconds; False when it ended first."""
        process = self.start(store, dest, True, acting)
        try:
            process.wait(timeout=delay)
        except subprocess.TimeoutExpired:
            process.send_signal(signal.SIGKILL)
            process.wait()
            self.kills += 1
            return True
        self.late += 1
        _, err = process.communicate()
        if process.returncode in (1, 2):
            raise RuntimeError("export failed (%d): %s" % (process.returncode, err.decode()))
        return False


SYSCALLS = ("linkat", "write", "pwrite64")


def count_calls(runner, store, dest, syscall):
    """How many times a whole --only-new run into an empty destination makes the call."""
    trace = os.path.join(os.path.dirname(dest), "trace.txt")
    process = runner.start(store, dest, True, False,
                           ["strace", "-f", "-qq", "-o", trace, "-e", "trace=" + syscall])
    process.communicate()
    with open(trace) as f:
        return sum(1 for line in f if syscall + "(" in line)


def syscall_kills(runner, base, store, expected, count, rng):
    """Kills runs at the start of chosen system calls; returns the failures, in words."""
    failures = []
    for syscall in SYSCALLS:
        dest = os.path.join(base, "counted")
        shutil.rmtree(dest, ignore_errors=True)
        os.makedirs(dest)
        calls = count_calls(runner, store, dest, syscall)
        for k in sorted(rng.sample(range(1, calls + 1), min(count, calls))):
            dest = os.path.join(base, "injected")
            shutil.rmtree(dest, ignore_errors=True)
            os.makedirs(dest)
            process = runner.start(store, dest, True, False, [
                "strace", "-f", "-qq", "-o", os.devnull, "-e", "trace=" + syscall, "-e",
                "inject=%s:signal=SIGKILL:when=%d" % (syscall, k)])
            process.communicate()
            runner.kills += 1
            runner.finish(store, dest, True, False)
            files, _ = files_by_id(dest)
            not_once = sorted(i for i in expected if len(files.get(i, [])) != 1)
            wrong = [p for i, found in files.items() for p, data in found
                     if expected.get(i) != data]
            if not_once or wrong:
                failures.append("killed at %s call %d of %d: not exactly once %s; wrong files %s"
                                % (syscall, k, calls, not_once[:20], wrong[:5]))
    return failures


def one_round(runner, work, messages, kind, kills, acting, rng, injected):
    """Returns (ids not exported exactly once, wrong files, lost ids, leftover files, failures of
    the kills at system calls)."""
    base = os.path.join(work, kind)
    shutil.rmtree(base, ignore_errors=True)
    os.makedirs(base)
    pristine, store = os.path.join(base, "pristine"), os.path.join(base, "store")
    reference, dest = os.path.join(base, "reference"), os.path.join(base, "out")
    (kill_export.build_mbox_tree if kind == "mbox" else kill_export.build_maildir)(pristine,
                                                                                  messages)
    shutil.copytree(pristine, store, symlinks=True)
    os.makedirs(reference)
    os.makedirs(dest)

    started = time.monotonic()
    runner.finish(pristine, reference, False, False)
    duration = max(time.monotonic() - started, 0.2)
    expected = {i: data for i, found in files_by_id(reference)[0].items() for _, data in found}
    assert len(expected) == len(messages), (len(expected), len(messages))

    killed = 0
    for _ in range(kills * 4):
        if killed == kills:
            break
        if runner.kill_at(store, dest, rng.uniform(0.0, duration), acting):
            killed += 1
        else:
            duration = max(duration / 2, 0.01)
    runner.finish(store, dest, True, acting)

    at_calls = syscall_kills(runner, base, pristine, expected, injected, rng) if injected else []
    files, hidden = files_by_id(dest)
    not_once = sorted(i for i in expected if len(files.get(i, [])) != 1)
    wrong = [path for i, found in files.items() for path, data in found if expected.get(i) != data]
    lost = []
    if acting:
        in_store = kill_export.ids_in_store(store, kind)
        lost = sorted(i for i in expected if i not in in_store and not files.get(i))
    return not_once, wrong, lost, hidden, at_calls


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--corpus", required=True)
    parser.add_argument("--rounds", type=int, default=1)
    parser.add_argument("--kills", type=int, default=20, help="kills per round and store")
    parser.add_argument("--acting", action="store_true",
                        help="every other round deletes exported messages from the store")
    parser.add_argument("--syscall-kills", type=int, default=5,
                        help="kills at chosen system calls, per call and store (0: none)")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--messages", type=int, default=0,
                        help="use about this many of the corpus's messages (0: all)")
    args = parser.parse_args()

    if not os.path.isdir(args.corpus):
        print("corpus missing: " + args.corpus)
        return 1 if os.environ.get("CI") == "true" else SKIP
    messages = kill_export.corpus_messages(args.corpus)
    if not messages:
        print("no mailboxes in the corpus")
        return 1 if os.environ.get("CI") == "true" else SKIP
    if 0 < args.messages < len(messages):
        messages = messages[:: len(messages) // args.messages]
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    print("seed %d, %d messages a store" % (seed, len(messages)), flush=True)

    injected = args.syscall_kills if shutil.which("strace") else 0
    if args.syscall_kills and not injected:
        print("strace is not installed: no kills at system calls")
    failures = 0
    with tempfile.TemporaryDirectory(prefix="parcelo-kill-new-") as work:
        runner = Runner(args.cli, work)
        for round_number in range(args.rounds):
            acting = args.acting and round_number % 2 == 1
            for kind in ("mbox", "maildir"):
                not_once, wrong, lost, hidden, at_calls = one_round(
                    runner, work, messages, kind, args.kills, acting, rng, injected)
                for failure in at_calls:
                    print("round %d %s: %s" % (round_number, kind, failure), flush=True)
                if not_once or wrong or lost or at_calls:
                    failures += 1
                    print("round %d %s%s: not exactly once %s; wrong files %s; lost %s" % (
                        round_number, kind, " (deleting)" if acting else "", not_once[:20],
                        wrong[:5], lost[:20]), flush=True)
                if hidden:
                    print("round %d %s: temporary files left: %s" % (round_number, kind,
                                                                    hidden[:5]))
        print("rounds %d, runs %d, kills %d (%d runs ended before their kill), failed rounds %d"
              % (args.rounds * 2, runner.runs, runner.kills, runner.late, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
