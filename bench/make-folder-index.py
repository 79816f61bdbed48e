#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a mail folder index (NAME.msf, Mork text) in the mail client's style, for timing the
reader: a column dictionary, the value atoms in dictionaries, the message table with ~20 cells a
row (atoms by reference, short values inline), a thread table per thread, then later groups that
change the flags and tags of random messages.

Usage: bench/make-folder-index.py OUT.msf [--messages 200000] [--groups 2000] [--seed 1]
"""
import argparse
import random

COLUMNS = [
    "ns:msg:db:row:scope:msgs:all", "subject", "sender", "message-id", "references",
    "recipients", "date", "size", "flags", "priority", "label", "statusOfset", "numLines",
    "ccList", "msgThreadId", "threadParent", "msgCharSet", "dateReceived", "storeToken",
    "offlineMsgSize", "remoteContentPolicy", "gloda-id", "ProtoThreadFlags", "keywords",
    "ns:msg:db:table:kind:msgs", "ns:msg:db:row:scope:threads:all",
    "ns:msg:db:table:kind:thread", "threadFlags", "threadNewestMsgDate", "children",
    "unreadChildren", "threadSubject", "threadRoot", "ns:msg:db:row:scope:dbfolderinfo:all",
    "ns:msg:db:table:kind:dbfolderinfo", "numMsgs", "numNewMsgs", "folderSize", "expungedBytes",
    "folderName", "charSetOverride", "version", "sortType", "MRUTime",
]


def escape(text):
    return text.replace("\\", "\\\\").replace(")", "\\)").replace("$", "$24")


class Atoms:
    """Value atoms shared by text, written out in dictionaries as they are first used."""

    def __init__(self):
        self.ids = {}
        self.pending = []
        self.next = 0x80

    def ref(self, text):
        atom = self.ids.get(text)
        if atom is None:
            atom = self.ids[text] = self.next
            self.next += 1
            self.pending.append((atom, text))
        return "^%X" % atom

    def flush(self, out):
        if not self.pending:
            return
        out.write("<")
        for n, (atom, text) in enumerate(self.pending):
            out.write("(%X=%s)" % (atom, escape(text)))
            if n % 4 == 3:
                out.write("\n  ")
        out.write(">\n")
        self.pending.clear()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--messages", type=int, default=200000)
    parser.add_argument("--groups", type=int, default=2000)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rnd = random.Random(args.seed)
    col = {name: "^%X" % (0x80 + i) for i, name in enumerate(COLUMNS)}
    words = ("meeting report invoice trip lunch budget review draft update question plan "
             "release photos offer minutes agenda notes schedule Munich project").split()
    senders = ["%s %s <%s.%d@example%d.com>" % (rnd.choice(words).title(), rnd.choice(words).title(),
                                               rnd.choice(words), i, i % 50) for i in range(2000)]
    atoms = Atoms()

    def cell(column, text):
        if len(text) <= 3:
            return "(%s=%s)" % (col[column], escape(text))
        return "(%s%s)" % (col[column], atoms.ref(text))

    with open(args.out, "w", encoding="utf-8", newline="\n") as out:
        out.write('// <!-- <mdb:mork:z v="1.4"/> -->\n< <(a=c)> // (f=iso-8859-1)\n  ')
        for i, name in enumerate(COLUMNS):
            out.write("(%X=%s)" % (0x80 + i, name))
            if i % 4 == 3:
                out.write("\n  ")
        out.write(">\n")
        out.write("<(%s=Inbox)>\n" % "7F")
        out.write("{1:%s {(k%s:c)(s=9)} [1:%s(%s^7F)(%s=%X)]}\n" % (
            col["ns:msg:db:row:scope:dbfolderinfo:all"], col["ns:msg:db:table:kind:dbfolderinfo"],
            col["ns:msg:db:row:scope:dbfolderinfo:all"], col["folderName"], col["numMsgs"],
            args.messages))

        offset = 0
        rows = []
        threads = []
        date = 1500000000
        key = 1
        while key <= args.messages:
            thread = []
            subject = " ".join(rnd.choice(words) for _ in range(rnd.randint(2, 7)))
            for reply in range(min(rnd.choice((1, 1, 1, 2, 3, 5)), args.messages - key + 1)):
                size = rnd.randint(1500, 90000)
                date += rnd.randint(10, 4000)
                msgid = "%08x.%d.%s@mail%d.example.com" % (rnd.getrandbits(32), key,
                                                         rnd.choice(words), key % 7)
                flags = rnd.choice(("1", "1", "1", "0", "3", "5", "10001", "1000001"))
                cells = [
                    cell("subject", ("Re: " if reply else "") + subject),
                    cell("sender", rnd.choice(senders)),
                    cell("message-id", msgid),
                    cell("recipients", rnd.choice(senders)),
                    cell("date", "%x" % date),
                    cell("dateReceived", "%x" % (date + 30)),
                    cell("size", "%x" % size),
                    cell("flags", flags),
                    cell("priority", "1"),
                    cell("label", "0"),
                    cell("statusOfset", "%x" % rnd.randint(60, 900)),
                    cell("numLines", "%x" % (size // 60)),
                    cell("msgThreadId", "%x" % (key - reply)),
                    cell("threadParent", "%x" % (key - 1 if reply else 0xFFFFFFFF)),
                    cell("msgCharSet", "utf-8"),
                    cell("storeToken", "%d" % offset),
                    cell("offlineMsgSize", "%x" % size),
                    cell("remoteContentPolicy", "0"),
                    cell("gloda-id", "%d" % (key + 1000)),
                    cell("ProtoThreadFlags", "0"),
                ]
                if reply:
                    cells.insert(4, cell("references", "<%x.%d@example.com>" % (rnd.getrandbits(32),
                                                                                  key - 1)))
                if rnd.random() < 0.03:
                    cells.append(cell("keywords", rnd.choice(("$label1", "$label2 todo",
                                                              "work"))))
                rows.append("[%X%s]" % (key, "".join(cells)))
                thread.append(key)
                offset += size
                key += 1
            threads.append((thread, subject))
            if len(rows) % 500 < len(thread):
                atoms.flush(out)
        for _, subject in threads:
            atoms.ref(subject)
        atoms.flush(out)
        out.write("{1:%s {(k%s:c)(s=9)}\n" % (col["ns:msg:db:row:scope:msgs:all"],
                                              col["ns:msg:db:table:kind:msgs"]))
        for row in rows:
            out.write("  %s\n" % row)
        out.write("}\n")
        msgs = col["ns:msg:db:row:scope:msgs:all"]
        for thread, subject in threads:
            scope = col["ns:msg:db:row:scope:threads:all"]
            out.write("{%X:%s {(k%s:c)(s=9)%X:m} [%X:%s(%s=%X)(%s%s)] %s }\n" % (
                thread[0], scope, col["ns:msg:db:table:kind:thread"], thread[0], thread[0], scope,
                col["children"], len(thread), col["threadSubject"], atoms.ref(subject),
                " ".join("%X:%s" % (k, msgs) for k in thread)))

        for group in range(args.groups):
            gid = 0x100 + group
            out.write("@$${%X{@\n" % gid)
            changes = []
            for _ in range(rnd.randint(1, 6)):
                row = rnd.randint(1, args.messages)
                change = "(%s=%s)" % (col["flags"], rnd.choice(("1", "3", "5", "0", "1000001")))
                if rnd.random() < 0.2:
                    change += cell("keywords", rnd.choice(("$label1", "todo", "$label3 work")))
                changes.append("[%X:%s%s]" % (row, col["ns:msg:db:row:scope:msgs:all"], change))
            atoms.flush(out)
            out.write("".join(changes))
            out.write("\n@$$}%X}@\n" % gid)


if __name__ == "__main__":
    main()
