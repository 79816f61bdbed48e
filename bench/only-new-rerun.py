#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Time of `parcelo-cli export --only-new` run again over a store it exported before, against a
whole export of the same store.

Usage: bench/only-new-rerun.py [--messages N] [--rounds R] [--cli PATH] [--tmp DIR] [--seed S]

The mbox is the one bench/export-speed.py writes (about 8.8 KB a message). Per round, in a
shuffled order after a sync and a pause: a whole export into a fresh destination (no list of
exported messages); the same with --only-new, which lists every message it exports; a run with
--only-new into the destination a first --only-new run filled,
which exports nothing (the mbox is as that run left it, so it is not read again); and runs after
one and after five new messages were appended to the mbox, which read on from where the last run
stopped and export those.
Prints the first --only-new run once, then per kind the median [min-max] wall time and peak
resident size, and the re-run's share of a whole export against the target of a third. The exit status is 0 whatever the figures; non-zero
only when a run fails or exports a wrong number of messages.
"""
import argparse
import importlib.util
import os
import pathlib
import random
import shutil
import signal
import statistics
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
TARGET_SHARE = 1 / 3


def export_speed():
    found = importlib.util.spec_from_file_location("export_speed", ROOT / "bench/export-speed.py")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


class Bench:
    def __init__(self, args, speed, runner, work):
        self.args = args
        self.speed = speed
        self.runner = runner
        self.work = work
        self.store = work / "store"
        self.serial = 0

    def folder(self, name):
        self.serial += 1
        path = self.work / ("%s-%03d" % (name, self.serial))
        path.mkdir()
        return path

    def deliver(self, number):
        """Appends one message to the mbox, as a delivery agent does."""
        writer = self.speed.MboxWriter(self.args.seed + number)
        with open(self.store / "Inbox", "a", encoding="utf-8", newline="\n") as f:
            f.write(writer.message(self.args.messages + number, 1700000000 + number))

    def run(self, dest, only_new, expected):
        command = self.speed.parcelo_command(self.args.cli, self.store, dest, self.folder("app"))
        if only_new:
            command.append("--only-new")
        wall, kib = self.runner.run(command, "parcelo.log")
        out = (self.work / "parcelo.log").read_text(errors="replace")
        want = "Task completed. %s messages exported" % {0: "Zero", 1: "One"}.get(expected,
                                                                                   expected)
        if want not in out:
            raise self.speed.Failure("expected '%s', got: %s" % (want, out.strip()[-300:]))
        return wall, kib / 1024


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--messages", type=int, default=100000)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--cli", default=str(ROOT / "build/default/parcelo-cli"))
    parser.add_argument("--tmp", default=str(ROOT / "build"))
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    args.cli = os.path.abspath(args.cli)
    if not os.access(args.cli, os.X_OK):
        parser.error("no parcelo-cli at %s (build it or give --cli)" % args.cli)
    speed = export_speed()
    tmp = pathlib.Path(args.tmp)
    tmp.mkdir(parents=True, exist_ok=True)
    work = pathlib.Path(tempfile.mkdtemp(prefix="parcelo-only-new.", dir=tmp))
    signal.signal(signal.SIGTERM, lambda *_: (_ for _ in ()).throw(KeyboardInterrupt))
    runner = None
    try:
        (work / "config").mkdir()
        (work / "data").mkdir()
        env = dict(os.environ, XDG_CONFIG_HOME=str(work / "config"),
                   XDG_DATA_HOME=str(work / "data"), TZ="UTC", LC_ALL="C.UTF-8")
        runner = speed.Runner(work, env)
        bench = Bench(args, speed, runner, work)
        bench.store.mkdir()
        speed.MboxWriter(args.seed + args.messages).write(bench.store / "Inbox", args.messages)
        size = (bench.store / "Inbox").stat().st_size
        print("%d messages: mbox %.1f MB" % (args.messages, size / 1e6), flush=True)

        # Also reads the mbox into the page cache, as every later run finds it.
        listed = bench.folder("listed")
        wall, peak = bench.run(listed, True, args.messages)
        manifest = listed / ".parcelo"
        list_bytes = sum(p.stat().st_size for p in manifest.iterdir())
        print("first --only-new run: %.2f s, peak %.1f MB; list and table %.1f MB"
              % (wall, peak, list_bytes / 1e6), flush=True)

        results = {"whole": [], "listing": [], "rerun": [], "onenew": [], "fivenew": []}
        delivered = 0
        order = random.Random(args.seed)
        for r in range(args.rounds):
            kinds = list(results)
            order.shuffle(kinds)
            line = []
            for kind in kinds:
                os.sync()
                time.sleep(1.0)
                if kind == "whole":
                    result = bench.run(bench.folder("whole"), False, args.messages + delivered)
                elif kind == "listing":
                    result = bench.run(bench.folder("listing"), True, args.messages + delivered)
                elif kind == "rerun":
                    result = bench.run(listed, True, 0)
                else:
                    arriving = 1 if kind == "onenew" else 5
                    for _ in range(arriving):
                        delivered += 1
                        bench.deliver(delivered)
                    result = bench.run(listed, True, arriving)
                results[kind].append(result)
                line.append("%s %.2f s" % (kind, result[0]))
            print("  round %d/%d: %s" % (r + 1, args.rounds, ", ".join(line)), flush=True)

        print("\n%d messages, %d rounds" % (args.messages, args.rounds))
        print("  %-26s %-26s %s" % ("run", "wall s: median [min-max]",
                                     "peak RSS MB: median [min-max]"))
        medians = {}
        for kind, label in (("whole", "whole export"), ("listing", "--only-new, none exported"),
                            ("rerun", "--only-new, all exported"),
                            ("onenew", "--only-new, one new"),
                            ("fivenew", "--only-new, five new")):
            walls = [w for w, _ in results[kind]]
            peaks = [p for _, p in results[kind]]
            medians[kind] = statistics.median(walls)
            print("  %-26s %7.2f [%.2f-%.2f]         %6.1f [%.1f-%.1f]"
                  % (label, medians[kind], min(walls), max(walls), statistics.median(peaks),
                     min(peaks), max(peaks)))
        share = medians["rerun"] / medians["whole"]
        print("  re-run / whole export      %6.2f  target <= %.2f %s"
              % (share, TARGET_SHARE, "PASS" if share <= TARGET_SHARE else "FAIL"))
        for kind, label in (("onenew", "one new"), ("fivenew", "five new")):
            share = medians[kind] / medians["whole"]
            print("  %-26s %6.2f  target <= %.2f %s"
                  % (label + " / whole export", share, TARGET_SHARE,
                     "PASS" if share <= TARGET_SHARE else "FAIL"))
        print("  listing / whole export     %6.2f  (what keeping the list costs)"
              % (medians["listing"] / medians["whole"]))
        return 0
    except speed.Failure as error:
        print("only-new-rerun: error: %s" % error, file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("\nonly-new-rerun: interrupted", file=sys.stderr)
        return 130
    finally:
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        if runner:
            runner.stop()
        print("removing %s ..." % work, flush=True)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
