#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the user's manual as a browser would read it, with Python's own HTML parser.

Every element is closed where it was opened, ids are unique, every link inside the page leads to
an id, and nothing is loaded from outside the manual's folder (no address with a scheme or host,
no file that is not there), in the page and in its stylesheets.
"""
import argparse
import html.parser
import os
import re
import sys
import urllib.parse

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source",
        "track", "wbr"}


class Manual(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.open, self.ids, self.links, self.resources, self.errors = [], [], [], [], []

    def handle_starttag(self, tag, attrs):
        attributes = dict(attrs)
        if "id" in attributes:
            self.ids.append(attributes["id"])
        for name in ("href", "src"):
            if name in attributes:
                (self.links if tag == "a" else self.resources).append(attributes[name])
        if tag not in VOID:
            self.open.append((tag, self.getpos()))

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID:
            self.open.pop()

    def handle_endtag(self, tag):
        if not self.open or self.open[-1][0] != tag:
            self.errors.append("line %d: </%s> closes %s" % (
                self.getpos()[0], tag,
                "<%s> of line %d" % (self.open[-1][0], self.open[-1][1][0]) if self.open
                else "nothing"))
            return
        self.open.pop()


def outside(address, folder):
    """Why an address would load something from outside the folder, or None."""
    url = urllib.parse.urlsplit(address)
    if url.scheme or url.netloc:
        return "an address outside the manual"
    if url.path and not os.path.isfile(os.path.join(folder, urllib.parse.unquote(url.path))):
        return "no such file in the manual's folder"
    return None


def check(page):
    folder = os.path.dirname(os.path.abspath(page))
    manual = Manual()
    with open(page, encoding="utf-8") as f:
        manual.feed(f.read())
    manual.close()
    errors = list(manual.errors)
    errors += ["<%s> of line %d is never closed" % (tag, pos[0]) for tag, pos in manual.open]
    ids = set(manual.ids)
    errors += ["the id %r is used twice" % i for i in sorted(ids) if manual.ids.count(i) > 1]
    for link in manual.links:
        if link.startswith("#"):
            if link[1:] not in ids:
                errors.append("the link %s leads to no id" % link)
        elif outside(link, folder):
            errors.append("the link %s: %s" % (link, outside(link, folder)))
    for resource in manual.resources:
        if outside(resource, folder):
            errors.append("the page loads %s: %s" % (resource, outside(resource, folder)))
        elif resource.endswith(".css"):
            with open(os.path.join(folder, resource), encoding="utf-8") as f:
                css = f.read()
            for address in re.findall(r"url\(\s*['\"]?([^'\")]+)", css) + \
                    re.findall(r"@import\s+['\"]([^'\"]+)", css):
                if outside(address, folder):
                    errors.append("%s loads %s: %s" % (resource, address,
                                                        outside(address, folder)))
    return errors, ids


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("page", help="the manual's index.html")
    args = parser.parse_args()
    errors, ids = check(args.page)
    for error in errors:
        print("%s: %s" % (args.page, error))
    if not errors:
        print("%s: %d sections, links and resources in order" % (args.page, len(ids)))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
