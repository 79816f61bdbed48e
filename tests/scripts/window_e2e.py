#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Drives the real window `parcelo` under Xvfb as a user would, with xdotool's mouse and keys.

The program is installed into a temporary prefix first (so the installed manual is what F1
finds), then started with a private HOME, XDG folders and D-Bus on a copy of the sample store.
The run: F1 opens the manual at the window's section; "Select..." opens the folder picker, where
a new folder is made, entered and taken with "Select"; the Inbox is ticked by a click on its check
box; "Export Messages" exports it; Ctrl+W closes the window. Afterwards Python's own readers check
what the program left: the message files against the store's mbox (`mailbox`, `email`), the
settings file (the new destination as FolderPath), the index page's links, and the address that
the desktop's opener was given.

Where things are on the screen is asked of the window through the accessibility bus (AT-SPI),
so the clicks follow the layout, whatever it is. Screenshots of each step are left in the work
folder. Exit 77 (skip) when Xvfb, xdotool or the accessibility bus cannot be had.
"""
import argparse
import configparser
import email
import email.policy
import html.parser
import mailbox
import os
import random
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import traceback
import urllib.parse

SKIP = 77
INBOX_MESSAGES = 12
NEW_FOLDER = "Mail export"
MBOXRD_QUOTED = re.compile(rb"^>(>*From )", re.M)


def system_python_with_atspi():
    """Debian's python3-gi is built for the system's interpreter, which need not be this one."""
    try:
        import gi
        gi.require_version("Atspi", "2.0")
        return None
    except (ImportError, ValueError):
        pass
    candidate = "/usr/bin/python3"
    if os.path.realpath(candidate) == os.path.realpath(sys.executable):
        return None
    probe = subprocess.run([candidate, "-c", "import gi; gi.require_version('Atspi', '2.0')"],
                           capture_output=True)
    return candidate if probe.returncode == 0 else None


class Failure(Exception):
    pass


class Session:
    """The private desktop: X server, window manager, D-Bus, and the processes started on it."""

    def __init__(self, work):
        self.work = work
        self.processes = []
        self.shots = 0
        self.env = {key: value for key, value in os.environ.items()
                    if key not in ("WAYLAND_DISPLAY", "XAUTHORITY", "SESSION_MANAGER",
                                   "DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM",
                                   "AT_SPI_BUS_ADDRESS")}
        for name in ("home", "config", "data", "cache", "runtime", "tmp", "bin"):
            os.makedirs(os.path.join(work, name), exist_ok=True)
        os.chmod(os.path.join(work, "runtime"), 0o700)
        self.env.update(HOME=self.path("home"), XDG_CONFIG_HOME=self.path("config"),
                        XDG_DATA_HOME=self.path("data"), XDG_CACHE_HOME=self.path("cache"),
                        XDG_RUNTIME_DIR=self.path("runtime"), TMPDIR=self.path("tmp"),
                        QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        # The desktop's opener only notes what it was asked to open.
        self.opened_log = self.path("opened.txt")
        opener = self.path("bin", "xdg-open")
        with open(opener, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s"\n' % self.opened_log)
        os.chmod(opener, 0o755)
        self.env["PATH"] = self.path("bin") + os.pathsep + self.env.get("PATH", "")

    def path(self, *parts):
        return os.path.join(self.work, *parts)

    def start(self, command, **kwargs):
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        process = subprocess.Popen(command, env=self.env, start_new_session=True, **kwargs)
        self.processes.append(process)
        return process

    def stop(self):
        # Each process leads a group of its own; the bus's group holds the accessibility
        # services it started, which outlive a leader that ended.
        for process in reversed(self.processes):
            stop_group(process)

    def run(self, command, timeout=20):
        result = subprocess.run(command, env=self.env, capture_output=True, text=True,
                                timeout=timeout)
        if result.returncode != 0:
            raise Failure("%s failed: %s" % (" ".join(command), result.stderr.strip()))
        return result.stdout

    def start_x(self):
        # A display of our own, away from the low numbers other X servers on this machine take,
        # which must answer before anything starts on it.
        for _ in range(5):
            number = random.choice(free_displays())
            # -noreset: a server that resets when its last client leaves refuses the next one
            # for a moment.
            server = self.start(["Xvfb", ":%d" % number, "-screen", "0", "1280x1024x24",
                                 "-nolisten", "tcp", "-noreset"])
            self.env["DISPLAY"] = ":%d" % number
            if wait_until(lambda: server.poll() is not None or self.display_answers(), 15,
                          "the X server", fail=False) and server.poll() is None:
                return
            self.processes.remove(server)
            stop_group(server)
        raise Failure("Xvfb did not start")

    def display_answers(self):
        return subprocess.run(["xdpyinfo"], env=self.env, capture_output=True,
                              timeout=10).returncode == 0

    def start_window_manager(self):
        if not shutil.which("openbox"):
            return False
        self.start(["openbox", "--sm-disable"])
        return wait_until(lambda: "window id" in self.root_property("_NET_SUPPORTING_WM_CHECK"),
                          10, "the window manager", fail=False)

    def root_property(self, name):
        result = subprocess.run(["xprop", "-root", name], env=self.env, capture_output=True,
                                text=True, timeout=10)
        return result.stdout

    def start_bus(self):
        bus = self.start(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE)
        address = read_line_with_timeout(bus.stdout.fileno(), 10)
        if not address:
            raise Failure("dbus-daemon did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def screenshot(self, what):
        if not shutil.which("import"):
            return
        self.shots += 1
        name = self.path("%02d-%s.png" % (self.shots, what))
        subprocess.run(["import", "-window", "root", name], env=self.env,
                       capture_output=True, timeout=20)

    def find_window(self, title_pattern, timeout=20):
        """The visible window whose title matches, once it is there."""
        out = self.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", title_pattern],
                       timeout=timeout)
        return out.split()[0]

    def window_gone(self, title_pattern):
        result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title_pattern],
                                env=self.env, capture_output=True, text=True, timeout=10)
        return not result.stdout.strip()

    def activate(self, window):
        if subprocess.run(["xdotool", "windowactivate", "--sync", window], env=self.env,
                          capture_output=True, timeout=10).returncode != 0:
            self.run(["xdotool", "windowfocus", "--sync", window])

    def click(self, point, count=1):
        x, y = point
        self.run(["xdotool", "mousemove", "--sync", str(x), str(y),
                  "click", "--repeat", str(count), "--delay", "120", "1"])

    def key(self, *keys):
        self.run(["xdotool", "key", "--clearmodifiers", *keys])

    def type(self, text):
        self.run(["xdotool", "type", "--delay", "20", text])

    def opened(self):
        if not os.path.exists(self.opened_log):
            return []
        with open(self.opened_log) as f:
            return f.read().splitlines()


def free_displays():
    with open("/proc/net/unix") as sockets:
        listening = {line.split()[-1].lstrip("@") for line in sockets if "X11-unix" in line}
    return [n for n in range(100, 1000)
            if "/tmp/.X11-unix/X%d" % n not in listening
            and not os.path.exists("/tmp/.X11-unix/X%d" % n)
            and not os.path.exists("/tmp/.X%d-lock" % n)]


def stop_group(process):
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            return
        try:
            process.wait(timeout=5)
            return
        except subprocess.TimeoutExpired:
            pass


def read_line_with_timeout(fd, seconds):
    ready, _, _ = select.select([fd], [], [], seconds)
    lines = os.read(fd, 4096).decode().splitlines() if ready else []
    return lines[0].strip() if lines else ""


def wait_until(condition, seconds, what, fail=True):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.1)
    if fail:
        raise Failure("timed out waiting for " + what)
    return False


class Ui:
    """The window's controls as the accessibility bus describes them."""

    def __init__(self, atspi):
        self.atspi = atspi
        self.app = None

    def wait_for_app(self, name, seconds=20):
        desktop = self.atspi.get_desktop(0)

        def found():
            for i in range(desktop.get_child_count()):
                child = desktop.get_child_at_index(i)
                if child is not None and child.get_name() == name:
                    self.app = child
                    return True
            return False
        wait_until(found, seconds, "the window on the accessibility bus")

    def find(self, role, name=None, within=None, match=None):
        def visit(node):
            if node is None:
                return None
            node.clear_cache()
            if node.get_role_name() == role and (name is None or node.get_name() == name) and \
                    (match is None or match(node)):
                return node
            for i in range(node.get_child_count()):
                hit = visit(node.get_child_at_index(i))
                if hit is not None:
                    return hit
            return None
        return visit(within or self.app)

    def wait_for(self, role, name=None, within=None, match=None, seconds=20):
        found = None

        def there():
            nonlocal found
            found = self.find(role, name, within, match)
            return found is not None
        wait_until(there, seconds, "%s '%s'" % (role, name or ""))
        return found

    def extents(self, node):
        return node.get_extents(self.atspi.CoordType.SCREEN)

    def center(self, node):
        box = self.extents(node)
        return box.x + box.width // 2, box.y + box.height // 2

    def text(self, node):
        node.clear_cache()
        return self.atspi.Text.get_text(node, 0, -1)

    def checked(self, node):
        node.clear_cache()
        return node.get_state_set().contains(self.atspi.StateType.CHECKED)

    def inside(self, outer):
        box = self.extents(outer)

        def test(node):
            inner = self.extents(node)
            return inner.width > 0 and box.x <= inner.x and inner.x + inner.width <= \
                box.x + box.width and box.y <= inner.y and inner.y + inner.height <= \
                box.y + box.height
        return test


class Ids(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.ids, self.links = set(), []

    def handle_starttag(self, tag, attrs):
        attributes = dict(attrs)
        if "id" in attributes:
            self.ids.add(attributes["id"])
        if tag == "a" and "href" in attributes:
            self.links.append(attributes["href"])


def parse_html(path):
    parser = Ids()
    with open(path, encoding="utf-8", errors="replace") as f:
        parser.feed(f.read())
    return parser


def check_manual_address(address, prefix):
    """The address F1 handed to the opener: the installed manual, at an id the page has."""
    url = urllib.parse.urlsplit(address)
    if url.scheme != "file" or url.fragment != "window":
        raise Failure("F1 opened %r, not the manual's window section" % address)
    page = urllib.parse.unquote(url.path)
    expected = os.path.join(prefix, "share", "doc", "parcelo", "manual", "index.html")
    if os.path.realpath(page) != os.path.realpath(expected):
        raise Failure("F1 opened %s, not the installed manual %s" % (page, expected))
    if url.fragment not in parse_html(page).ids:
        raise Failure("the manual has no section with the id %r" % url.fragment)


def message_key(message):
    return tuple(str(message.get(name, "")) for name in ("Message-ID", "Subject", "Date"))


def leaf_payloads(message):
    """The decoded parts; texts with LF line ends and no blank lines at the end, as a file's
    lines may end in CR LF and its message ends with an empty line."""
    payloads = []
    for part in message.walk():
        if part.is_multipart():
            continue
        data = part.get_payload(decode=True) or b""
        if part.get_content_maintype() == "text":
            data = data.replace(b"\r\n", b"\n").rstrip(b"\n")
        payloads.append(data)
    return payloads


def check_exported(store_inbox, destination):
    """Every message of the mbox, and nothing else, is a file under Local Folders/Inbox."""
    expected = {}
    for message in mailbox.mbox(store_inbox, create=False):
        # The store is mboxrd: one '>' of a quoted "From " line is the store's, not the text's.
        data = MBOXRD_QUOTED.sub(rb"\1", message.as_bytes())
        parsed = email.message_from_bytes(data, policy=email.policy.compat32)
        expected.setdefault(message_key(parsed), []).append(leaf_payloads(parsed))
    files = []
    for folder, _, names in os.walk(destination):
        files.extend(os.path.join(folder, name) for name in names)
    inbox = os.path.join(destination, "Local Folders", "Inbox")
    strays = [f for f in files if os.path.dirname(f) != inbox or not f.endswith(".eml")]
    if strays:
        raise Failure("files outside %s: %s" % (inbox, strays))
    if len(files) != INBOX_MESSAGES or sum(map(len, expected.values())) != INBOX_MESSAGES:
        raise Failure("%d message files for %d messages of the Inbox"
                      % (len(files), sum(map(len, expected.values()))))
    for path in files:
        with open(path, "rb") as f:
            parsed = email.message_from_binary_file(f, policy=email.policy.compat32)
        candidates = expected.get(message_key(parsed), [])
        if leaf_payloads(parsed) not in candidates:
            raise Failure("%s matches no message of the Inbox" % path)
        candidates.remove(leaf_payloads(parsed))
    return files


def check_index_page(index, files):
    linked = set()
    for link in parse_html(index).links:
        url = urllib.parse.urlsplit(link)
        if url.scheme == "file":
            linked.add(os.path.realpath(urllib.parse.unquote(url.path)))
    missing = {os.path.realpath(f) for f in files} - linked
    if missing:
        raise Failure("the index page does not link %s" % sorted(missing))


def check_settings(ini, destination):
    settings = configparser.ConfigParser(interpolation=None, strict=False)
    settings.optionxform = str
    settings.read(ini, encoding="utf-8")
    stored = settings.get("Destination", "FolderPath", fallback=None)
    if stored is None or stored.strip('"') != destination + "/":
        raise Failure("FolderPath in %s is %r, not %r" % (ini, stored, destination + "/"))


def drive(session, ui, program, store, start_folder):
    window_title = "^Parcelo :: "
    picker_title = "^Export messages to folder:$"
    log = open(session.path("parcelo.log"), "w")
    session.start([program, "--store", store], stdout=log, stderr=subprocess.STDOUT)
    window = session.find_window(window_title, timeout=30)
    ui.wait_for_app("parcelo")
    frame = ui.wait_for("frame", match=lambda n: n.get_name().startswith("Parcelo :: "))
    ui.wait_for("table cell", "Inbox [12]", within=frame)
    session.activate(window)
    session.screenshot("window")

    # F1: the manual, at the window's section, through the desktop's opener.
    session.key("F1")
    wait_until(lambda: session.opened(), 15, "F1 to open the manual")
    manual_address = session.opened()[0]

    # The destination: a new folder made in the picker, entered, and taken with "Select".
    session.click(ui.center(ui.wait_for("push button", "Select...", within=frame)))
    picker_window = session.find_window(picker_title)
    picker = ui.wait_for("dialog", "Export messages to folder:")
    session.screenshot("picker")
    session.click(ui.center(ui.wait_for("push button", "Create New Folder", within=picker)))
    wait_until(lambda: os.path.isdir(os.path.join(start_folder, "New Folder")), 15,
               "the picker's new folder")
    session.activate(picker_window)
    session.key("ctrl+a")
    session.type(NEW_FOLDER)
    session.key("Return")
    new_folder = os.path.join(start_folder, NEW_FOLDER)
    wait_until(lambda: os.path.isdir(new_folder), 15, "the new folder to be renamed")
    entry = ui.wait_for("table cell", NEW_FOLDER, within=picker)
    session.screenshot("new-folder")
    session.click(ui.center(entry), count=2)
    selection = ui.wait_for("text", "Current Selection:", within=picker)
    wait_until(lambda: ui.text(selection) == new_folder + "/", 15,
               "the picker to show %s/" % new_folder)
    session.screenshot("picker-in-new-folder")
    session.click(ui.center(ui.wait_for("push button", "Select", within=picker)))
    wait_until(lambda: session.window_gone(picker_title), 15, "the picker to close")
    destination_group = ui.wait_for("panel", "Destination", within=frame)
    destination_box = ui.wait_for("text", within=frame, match=ui.inside(destination_group))
    wait_until(lambda: ui.text(destination_box) == new_folder + "/", 10,
               "the window to show the new destination")

    # The Inbox, ticked by a click on its check box (drawn at the left of its row).
    inbox = ui.wait_for("table cell", "Inbox [12]", within=frame)
    box = ui.extents(inbox)
    session.activate(window)
    session.click((box.x + 10, box.y + box.height // 2))
    ui.wait_for("label", "One mailbox checked.", within=frame, seconds=10)
    if not ui.checked(inbox):
        raise Failure("the status bar counts one mailbox, but the Inbox is not checked")
    session.screenshot("inbox-checked")

    # The export, then the window closes with Ctrl+W and stores its settings.
    session.click(ui.center(ui.wait_for("push button", "Export Messages", within=frame)))
    done = "Task completed. %d messages exported." % INBOX_MESSAGES
    wait_until(lambda: ui.find("label", done, within=frame) is not None, 30,
               "the status '%s'" % done)
    session.screenshot("exported")
    session.activate(window)
    session.key("ctrl+w")
    wait_until(lambda: session.processes[-1].poll() is not None, 20, "the window to close")
    return manual_address, new_folder


def give_up(session, work, limit):
    print("FAILED: not done after %d s\nwork folder (screenshots, parcelo.log): %s"
          % (limit, work), flush=True)
    session.screenshot("watchdog")
    session.stop()
    os._exit(1)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", required=True, help="the build tree to install from")
    parser.add_argument("--cmake", default="cmake")
    parser.add_argument("--examples", required=True, help="the sample store's folder")
    parser.add_argument("--limit", type=int, default=100, help="seconds for the whole run")
    parser.add_argument("--work", help="work folder, emptied first and kept (default: a "
                        "temporary one, removed unless the run fails)")
    args = parser.parse_args()

    missing = [tool for tool in ("Xvfb", "xdotool", "xprop", "xdpyinfo", "dbus-daemon")
               if not shutil.which(tool)]
    if missing:
        print("SKIP: %s not installed (packages xvfb, xdotool, x11-utils, dbus)"
              % ", ".join(missing))
        return SKIP
    python = system_python_with_atspi()
    if python:
        os.execv(python, [python, *sys.argv])
    try:
        import gi
        gi.require_version("Atspi", "2.0")
    except (ImportError, ValueError):
        print("SKIP: no AT-SPI for Python (packages python3-gi, gir1.2-atspi-2.0)")
        return SKIP
    if not any(os.path.exists(os.path.join(folder, "dbus-1", "services", "org.a11y.Bus.service"))
               for folder in os.environ.get("XDG_DATA_DIRS", "/usr/local/share:/usr/share")
               .split(os.pathsep)):
        print("SKIP: no accessibility bus to start (package at-spi2-core)")
        return SKIP

    if args.work:
        shutil.rmtree(args.work, ignore_errors=True)
        os.makedirs(args.work)
        work = os.path.realpath(args.work)
    else:
        work = os.path.realpath(tempfile.mkdtemp(prefix="parcelo-e2e-"))
    session = Session(work)
    started = time.monotonic()
    # Whatever blocks (a call into a window that hangs), the run ends and leaves nothing behind.
    watchdog = threading.Timer(args.limit, give_up, (session, work, args.limit))
    watchdog.daemon = True
    watchdog.start()
    try:
        prefix = session.path("prefix")
        session.run([args.cmake, "--install", args.build, "--prefix", prefix], timeout=60)
        program = os.path.join(prefix, "bin", "parcelo")
        store = session.path("store", "Local Folders")
        shutil.copytree(os.path.join(args.examples, "Local Folders"), store)
        start_folder = session.path("start")
        os.makedirs(start_folder)
        ini = session.path("config", "Parcelo", "Parcelo.ini")
        os.makedirs(os.path.dirname(ini))
        with open(ini, "w") as f:
            f.write("[Destination]\nFolderPath=%s/\n" % start_folder)

        session.start_x()
        if not session.start_window_manager():
            print("note: no window manager; windows are focused directly")
        session.start_bus()
        os.environ.update(session.env)  # the accessibility library reads the bus from here
        from gi.repository import Atspi
        Atspi.set_timeout(5000, 20000)  # milliseconds a call, and at start-up
        Atspi.get_desktop(0).get_child_count()  # starts the accessibility bus before the window
        manual_address, new_folder = drive(session, Ui(Atspi), program, store, start_folder)
        check_manual_address(manual_address, prefix)
        files = check_exported(os.path.join(store, "Inbox"), new_folder)
        check_index_page(session.path("data", "Parcelo", "Index.htm"), files)
        check_settings(ini, new_folder)
        index_opened = [a for a in session.opened()[1:] if a.endswith("Index.htm")]
        if not index_opened:
            raise Failure("the index page was not opened after the export: %s"
                          % session.opened())
    except Exception as error:  # a failed check, a timeout, or the accessibility bus's error
        watchdog.cancel()
        session.screenshot("failure")
        if not isinstance(error, Failure):
            traceback.print_exc()
        print("FAILED: %s\nwork folder (screenshots, parcelo.log): %s" % (error, work))
        return 1
    finally:
        watchdog.cancel()
        session.stop()
    print("window e2e passed in %.1f s: %d message files in %s; screenshots in %s"
          % (time.monotonic() - started, len(files), new_folder, work))
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
