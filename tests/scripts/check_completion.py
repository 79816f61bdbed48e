#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The bash completion of parcelo-cli, run by bash as the shell runs it on Tab.

Each case is a command line typed up to the cursor. It is split into words as bash splits it
(quotes kept, "=" and ":" words of their own), handed to the completion function with
bash-completion loaded, and the candidates compared with what they must be. Tree paths are
checked against the sample stores and against the program itself, which must export each path
offered and, given all of them, every message; every --set key and value offered must be one the
program takes.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

BASH_COMPLETION = "/usr/share/bash-completion/bash_completion"
EXPORT_OPTIONS = {"--store", "--dest", "--folder", "--filters", "--set", "--app-folder",
                  "--open-index", "--only-new", "--index-csv"}


def split_words(line):
    """COMP_WORDS and COMP_CWORD for a line typed up to its end, as bash makes them."""
    words, word, quote = [], "", None
    i = 0
    while i < len(line):
        c = line[i]
        if quote:
            word += c
            if c == "\\" and quote == '"' and i + 1 < len(line):
                word += line[i + 1]
                i += 1
            elif c == quote:
                quote = None
        elif c == "\\" and i + 1 < len(line):
            word += c + line[i + 1]
            i += 1
        elif c in "'\"":
            quote = c
            word += c
        elif c in " \t":
            if word:
                words.append(word)
            word = ""
        elif c in "=:":
            if word:
                words.append(word)
            breaks = c
            while i + 1 < len(line) and line[i + 1] in "=:":
                i += 1
                breaks += line[i]
            words.append(breaks)
            word = ""
        else:
            word += c
        i += 1
    words.append(word)
    return words, len(words) - 1


def complete(completion, line, cwd):
    words, cword = split_words(line)
    script = f"""
source {BASH_COMPLETION}
source "$COMPLETION" || exit 3
mapfile -d '' -t COMP_WORDS < <(printf '%s\\0' "$@")
COMP_CWORD={cword}
COMP_LINE=$LINE
COMP_POINT=${{#COMP_LINE}}
_parcelo_cli
printf '%s\\0' "${{COMPREPLY[@]}}"
"""
    env = dict(os.environ, COMPLETION=completion, LINE=line)
    ran = subprocess.run(["bash", "-c", script, "bash"] + words, cwd=cwd, env=env,
                         capture_output=True, timeout=60)
    if ran.returncode != 0:
        raise RuntimeError(f"{line!r}: bash exited {ran.returncode}: {ran.stderr.decode()}")
    return {c for c in ran.stdout.decode().split("\0") if c}


# The mailboxes of the sample stores in examples/, as the program's tree shows them.
MBOX_PATHS = {"Local Folders\\" + p for p in [
    "Archives", "Archives\\2008", "Drafts", "Inbox", "Newsletters", "Projects",
    "Projects\\Alpha", "Projects\\Beta", "Projects\\Beta\\Archive", "Sent"]}
MAILDIR_PATHS = {"Maildir\\" + p for p in ["Café", "Inbox", "Work", "Work\\Reports"]}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--completion", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--examples", required=True)
    args = parser.parse_args()
    args.completion = os.path.abspath(args.completion)
    args.cli = os.path.abspath(args.cli)
    if not os.path.isfile(BASH_COMPLETION) or not shutil.which("bash"):
        print("bash-completion is not installed")
        return 77

    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        mail = os.path.join(tmp, "my mail")
        shutil.copytree(args.examples, mail)
        mbox = os.path.join(mail, "Local Folders")
        maildir = os.path.join(mail, "Maildir")
        os.mkdir(os.path.join(tmp, "out"))
        open(os.path.join(tmp, "notes.txt"), "w").close()
        open(os.path.join(tmp, "lunch.xml"), "w").close()
        cli = args.cli
        store = f'--store "{mbox}"'
        mbox_paths = MBOX_PATHS
        projects = {p for p in mbox_paths if p.startswith("Local Folders\\Projects")}
        beta = {p for p in mbox_paths if p.startswith("Local Folders\\Projects\\Beta")}
        settings = run_cli(cli, tmp, ["--help"])  # the program runs at all
        if settings.returncode != 0:
            print(f"{cli} --help failed: {settings.stderr}")
            return 1

        cases = [
            (f"{cli} ", {"tree", "export", "--help", "--version"}),
            (f"{cli} ex", {"export"}),
            (f"{cli} tree --", {"--store"}),
            (f"{cli} export {store} --", EXPORT_OPTIONS),
            (f"{cli} export --set Fil", {"FileOption="}),
            (f"{cli} export --set FileOption=", {str(n) for n in range(10)}),
            (f"{cli} export --set ActionDelete=1", {"1"}),
            (f"{cli} export --set ExportHeaders=", {"0", "1", "2"}),
            (f"{cli} export --dest {tmp}/", {f"{tmp}/my mail", f"{tmp}/out"}),
            (f"{cli} tree --store {tmp}/my", {f"{tmp}/my mail"}),
            (f"{cli} export --filters {tmp}/", {f"{tmp}/my mail", f"{tmp}/out",
                                                f"{tmp}/lunch.xml"}),
            (f"{cli} export {store} --folder ", mbox_paths),
            (f"{cli} export {store} --folder \"Local Folders\\Pro", projects),
            (f"{cli} export {store} --folder Local\\ Folders\\\\Projects\\\\B", beta),
            (f"{cli} export --folder Local\\ Folders\\\\Pro --store '{mbox}' --folder Local",
             mbox_paths),
            (f"{cli} export --store {tmp}/my\\ mail/Maildir --folder ",
             MAILDIR_PATHS),
            (f"{cli} export --folder ", set()),  # no store yet: nothing to offer
        ]
        for line, expected in cases:
            got = complete(args.completion, line, tmp)
            if got != expected:
                failures.append(f"{line!r}:\n  got      {sorted(got)}\n  expected {sorted(expected)}")

        # Every key and value offered is one the program takes.
        keys = complete(args.completion, f"{cli} export --set ", tmp)
        if len(keys) < 10 or not all(k.endswith("=") for k in keys):
            failures.append(f"--set keys: {sorted(keys)}")
        for key in sorted(keys):
            for value in sorted(complete(args.completion, f"{cli} export --set {key}", tmp)):
                ran = run_cli(cli, tmp, ["export", "--store", mbox, "--dest",
                                         os.path.join(tmp, "out"), "--folder",
                                         "Local Folders\\Drafts", "--set", key + value])
                if ran.returncode != 0:
                    failures.append(f"--set {key}{value}: exit {ran.returncode}: {ran.stderr}")

        # Every tree path offered names a mailbox the program exports, and together they hold
        # every message of the store.
        for root, expected in [(mbox, MBOX_PATHS), (maildir, MAILDIR_PATHS)]:
            out = os.path.join(tmp, "out")
            offered = complete(args.completion, f'{cli} export --store "{root}" --folder ', tmp)
            for path in sorted(offered):
                ran = run_cli(cli, tmp, ["export", "--store", root, "--dest", out,
                                         "--folder", path])
                if ran.returncode != 0:
                    failures.append(f"--folder {path!r}: exit {ran.returncode}: {ran.stderr}")
            folders = [a for path in sorted(offered) for a in ("--folder", path)]
            every = run_cli(cli, tmp, ["export", "--store", root, "--dest", out])
            chosen = run_cli(cli, tmp, ["export", "--store", root, "--dest", out] + folders)
            if every.stdout != chosen.stdout or every.returncode != 0:
                failures.append(f"{root}: all mailboxes: {every.stdout.strip()}; those offered: "
                                f"{chosen.stdout.strip()} {chosen.stderr}")

    for failure in failures:
        print(failure)
    print(f"{len(cases)} completions checked, {len(failures)} failures")
    return 1 if failures else 0


def run_cli(cli, tmp, arguments):
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(tmp, "config"),
               XDG_DATA_HOME=os.path.join(tmp, "data"))
    return subprocess.run([cli] + arguments, env=env, capture_output=True, text=True,
                          timeout=120)


if __name__ == "__main__":
    sys.exit(main())
