"""Runs the real twdesktop under a virtual display and looks at it from outside.

One `Session` per test run: it makes this process a subreaper (so every process that the app
leaves behind is ours to find and end), starts a private D-Bus session bus for the
accessibility tree, and ends everything it started when closed, also after a failure.

One `App` per case: a fresh Xvfb display, a scratch HOME, a copy of the executable in a folder
of its own with a CLI copied next to it as `tw` (the stand-in, or any program, even the real
tw; or no CLI at all), and a workspace folder to start in. Then:

    with Session(out_dir) as session:
        with App(session, twdesktop, fake_tw, scenario={...}) as app:
            app.wait_status("  status updated.")       # the status strip, read through AT-SPI
            app.press("git push", index=1)             # an HTML button, by accessible name
            app.click(app.find(text="Beta"))           # xdotool at the element's centre
            app.wait_log(lambda log: ...)              # command lines the stand-in received
            app.screenshot("name.png")                 # the window, saved under out_dir
            code = app.close_window()                  # as the window's close button does

Every wait polls with a generous timeout (the default 60 s suits a loaded two-core machine);
none is a fixed sleep. Needs /usr/bin/python3 with python3-gi and gir1.2-atspi-2.0 (through
python3-pyatspi), Xvfb, dbus-daemon, xdotool and ImageMagick's import.
"""

import ctypes
import json
import os
import shutil
import signal
import subprocess
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402


def _text_of(node):
    """The text of an accessible that has the Text interface, else the empty text."""
    if "Text" not in node.get_interfaces():
        return ""
    return Atspi.Text.get_text(node, 0, Atspi.Text.get_character_count(node))

DEFAULT_TIMEOUT = 60.0
_PR_SET_PDEATHSIG = 1
_PR_SET_CHILD_SUBREAPER = 36
_libc = ctypes.CDLL(None, use_errno=True)


def _die_with_parent():
    # Children die with the harness even when it is killed outright (a CTest timeout).
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)


def wait_until(predicate, timeout=DEFAULT_TIMEOUT, interval=0.1, what="condition"):
    """Polls predicate until it returns a true value, which is returned; raises on timeout."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = predicate()
            if value:
                return value
        except Exception as error:  # the tree may change under the probe
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise TimeoutError(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        time.sleep(interval)


def descendants(pid):
    """Pids of every living descendant of pid, from /proc."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if fields[0] == "Z":
            continue
        children.setdefault(int(fields[1]), []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def process_name(pid):
    try:
        with open(f"/proc/{pid}/comm") as comm:
            return comm.read().strip()
    except OSError:
        return ""


def _reap():
    while True:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid == 0:
            return


def _kill_tree(pid):
    for victim in [pid] + descendants(pid):
        try:
            os.kill(victim, signal.SIGKILL)
        except ProcessLookupError:
            pass


class Session:
    """Per test run: subreaper, private session bus, artefact folder."""

    def __init__(self, out_dir):
        self.out_dir = out_dir
        os.makedirs(out_dir, exist_ok=True)
        self.scratch = tempfile.mkdtemp(prefix="twd-e2e-")
        self._dbus = None

    def __enter__(self):
        _libc.prctl(_PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
        try:
            self._dbus = subprocess.Popen(
                ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"],
                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, preexec_fn=_die_with_parent)
            address = self._dbus.stdout.readline().decode().strip()
            if not address:
                raise RuntimeError("dbus-daemon gave no address")
            os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
            Atspi.init()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    # The bus and the accessibility services it starts on demand; some of them fork away from
    # their parent and are handed to us as the subreaper, so they are known by name.
    INFRASTRUCTURE = {"dbus-daemon", "at-spi-bus-laun", "at-spi2-registr", "Xvfb"}

    def infrastructure(self):
        """Pids of our subtree that belong to the session and the displays, not to an app."""
        return {pid for pid in descendants(os.getpid())
                if process_name(pid) in self.INFRASTRUCTURE}

    def leftovers(self):
        """Pids and names of every process in our subtree that is not infrastructure."""
        keep = self.infrastructure()
        return [(pid, process_name(pid)) for pid in descendants(os.getpid()) if pid not in keep]

    def close(self):
        # Everything left in our subtree is ours: apps, CLIs they left, WebKit helpers, the bus.
        for pid in descendants(os.getpid()):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        _reap()
        if self._dbus is not None:
            self._dbus.wait()
            self._dbus.stdout.close()
            self._dbus = None
        shutil.rmtree(self.scratch, ignore_errors=True)


class App:
    """One run of the real executable on a fresh display; see the module's documentation."""

    def __init__(self, session, twdesktop, fake_tw, scenario=None, cli=True, exe_name="twdesktop",
                 workspace_name="my workspace", env=None, start_dir=None, preexec=None):
        self.session = session
        self.root = tempfile.mkdtemp(prefix="app-", dir=session.scratch)
        self.home = os.path.join(self.root, "home")
        self.bin_dir = os.path.join(self.root, "app dir")
        self.workspace = start_dir or os.path.join(self.root, workspace_name)
        self.log_path = os.path.join(self.root, "tw-log.jsonl")
        self.scenario_path = os.path.join(self.root, "scenario.json")
        for folder in (self.home, self.bin_dir, self.workspace):
            os.makedirs(folder, exist_ok=True)
        self.exe = os.path.join(self.bin_dir, exe_name)
        shutil.copy2(twdesktop, self.exe)
        if cli:
            shutil.copy2(fake_tw, os.path.join(self.bin_dir, "tw"))
        self.write_scenario(scenario or {"rules": []})
        self._extra_env = env or {}
        self._preexec = preexec
        self.xvfb = None
        self.process = None
        self.display = None
        self.stderr_path = os.path.join(self.root, "twdesktop.stderr")
        self._app_accessible = None

    # -- running -----------------------------------------------------------------------------

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, *exc):
        self.stop()

    def start(self):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x800x24", "-nolisten",
             "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=_die_with_parent)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number
        env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "DISPLAY": self.display,
            "HOME": self.home,
            "TMPDIR": self.root,
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local/share"),
            "XDG_RUNTIME_DIR": self.root,
            "GSETTINGS_BACKEND": "memory",
            "DBUS_SESSION_BUS_ADDRESS": os.environ["DBUS_SESSION_BUS_ADDRESS"],
            "FAKE_TW_SCENARIO": self.scenario_path,
            "FAKE_TW_LOG": self.log_path,
            "LANG": "C.UTF-8",
        }
        env.update(self._extra_env)
        preexec = self._preexec

        def prepare():
            _die_with_parent()
            if preexec:
                preexec()

        with open(self.stderr_path, "wb") as stderr:
            self.process = subprocess.Popen([self.exe], cwd=None if preexec else self.workspace,
                                            env=env, stdout=subprocess.DEVNULL, stderr=stderr,
                                            preexec_fn=prepare)
        self.started_at = time.monotonic()

    def stop(self):
        """Ends the app and everything it started, and the display."""
        if self.process is not None and self.process.poll() is None:
            _kill_tree(self.process.pid)
            self.process.wait()
        # Whatever the app left behind was handed to us as the subreaper.
        for pid, _ in self.session.leftovers():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        if self.xvfb is not None:
            self.xvfb.kill()
            self.xvfb.wait()
            self.xvfb = None
        _reap()

    def write_scenario(self, scenario):
        """The stand-in reads it afresh on every run, so a case may change it on the way."""
        with open(self.scenario_path, "w") as out:
            json.dump(scenario, out)

    def stderr_text(self):
        with open(self.stderr_path, "rb") as err:
            return err.read().decode(errors="replace")

    # -- the CLI stand-in's log --------------------------------------------------------------

    def log(self):
        """Every command line the stand-in received so far: dicts with args (list) and cwd."""
        try:
            with open(self.log_path) as lines:
                return [json.loads(line) for line in lines if line.strip()]
        except FileNotFoundError:
            return []

    def commands(self):
        """The received command lines, each joined with single blanks."""
        return [" ".join(entry["args"]) for entry in self.log()]

    def wait_log(self, predicate, timeout=DEFAULT_TIMEOUT, what="the CLI log"):
        return wait_until(lambda: predicate(self.log()), timeout, what=what)

    # -- the accessibility tree --------------------------------------------------------------

    def _pump(self):
        context = GLib.MainContext.default()
        while context.iteration(False):
            pass

    def accessible_app(self):
        """The app's root in the accessibility tree, once it has registered."""
        def lookup():
            self._pump()
            desktop = Atspi.get_desktop(0)
            for i in range(desktop.get_child_count()):
                child = desktop.get_child_at_index(i)
                if child is not None and child.get_process_id() == self.process.pid:
                    return child
            return None
        if self._app_accessible is None:
            self._app_accessible = wait_until(lookup, what="the app in the accessibility tree")
        self._app_accessible.clear_cache()
        return self._app_accessible

    def nodes(self):
        """Every accessible of the app, depth first: (accessible, role name, name, text)."""
        found = []

        def walk(node, depth):
            if node is None or depth > 60:
                return
            role = node.get_role_name()
            name = node.get_name() or ""
            text = _text_of(node)
            found.append((node, role, name, text))
            for i in range(node.get_child_count()):
                walk(node.get_child_at_index(i), depth + 1)

        walk(self.accessible_app(), 0)
        return found

    def find_all(self, role=None, name=None, text=None):
        """Accessibles by role name, exact name and/or a piece of their text, in tree order."""
        return [node for node, r, n, t in self.nodes()
                if (role is None or r == role) and (name is None or n == name)
                and (text is None or text in t)]

    def find(self, role=None, name=None, text=None, index=0, timeout=DEFAULT_TIMEOUT):
        what = f"an accessible role={role!r} name={name!r} text={text!r} #{index}"
        # Each look walks the page's whole tree in the web process: poll gently.
        return wait_until(lambda: (self.find_all(role, name, text)[index:] or [None])[0],
                          timeout, interval=0.4, what=what)

    def page_text(self):
        """All text the page shows now, one piece per accessible."""
        return "\n".join(t for _, _, _, t in self.nodes() if t)

    def status(self):
        """The status strip's text, or None before the window is there. The strip is the one
        label of the main window outside the page."""
        def walk(node, depth):
            if node is None or depth > 20:
                return None
            role = node.get_role_name()
            if role == "document web":
                return None
            if role == "label":
                return _text_of(node)
            for i in range(node.get_child_count()):
                found = walk(node.get_child_at_index(i), depth + 1)
                if found is not None:
                    return found
            return None

        app = self.accessible_app()
        for i in range(app.get_child_count()):
            window = app.get_child_at_index(i)
            if window is not None and (window.get_name() or "").startswith("Tarnwick Desktop"):
                return walk(window, 0)
        return None

    def wait_status(self, expected, timeout=DEFAULT_TIMEOUT):
        """Waits for the strip to read expected (a text, or a predicate on the text)."""
        test = expected if callable(expected) else (lambda text: text == expected)
        seen = []

        def check():
            text = self.status()
            if text is not None and (not seen or seen[-1] != text):
                seen.append(text)
            return text is not None and test(text)
        try:
            wait_until(check, timeout, what=f"the status strip to read {expected!r}")
        except TimeoutError as error:
            raise TimeoutError(f"{error}; it read {seen!r}") from None
        return self.status()

    def press(self, name, index=0, role="push button"):
        """Presses the index-th button of that accessible name through its action."""
        button = self.find(role=role, name=name, index=index)
        Atspi.Action.do_action(button, 0)

    # -- the X display -----------------------------------------------------------------------

    def _x(self, *args):
        return subprocess.run(["xdotool", *args], env={**os.environ, "DISPLAY": self.display},
                              check=True, capture_output=True, text=True).stdout

    def window_id(self):
        def search():
            result = subprocess.run(
                ["xdotool", "search", "--onlyvisible", "--name", "^Tarnwick Desktop"],
                env={**os.environ, "DISPLAY": self.display}, capture_output=True, text=True)
            ids = result.stdout.split()
            return int(ids[0]) if ids else None
        return wait_until(search, what="the window on the display")

    def window_titles(self):
        """The titles of the visible top-level windows on the display."""
        result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", ""],
                                env={**os.environ, "DISPLAY": self.display},
                                capture_output=True, text=True)
        return [self._x("getwindowname", wid).strip() for wid in result.stdout.split()]

    def click(self, accessible):
        """A real mouse click at the centre of the accessible's box on the screen."""
        box = accessible.get_extents(Atspi.CoordType.SCREEN)
        if box.width <= 0 or box.height <= 0:
            raise RuntimeError("the element has no box on the screen")
        x, y = box.x + box.width // 2, box.y + box.height // 2
        self._x("mousemove", "--sync", str(x), str(y), "click", "1")

    def geometry(self):
        """The window's client area on the screen: x, y, width, height."""
        shell = dict(line.split("=", 1) for line in
                     self._x("getwindowgeometry", "--shell", str(self.window_id())).split())
        return tuple(int(shell[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))

    def minimum_size(self):
        """The smallest size the window asks a window manager to allow (WM_NORMAL_HINTS), or
        None when it sets none."""
        return _minimum_size_hint(self.display, self.window_id())

    def type_into(self, accessible, text):
        """Clicks into a text field and types text with real key presses."""
        self.click(accessible)
        self._x("type", "--delay", "15", "--", text)

    def key(self, *names):
        """Presses keys by X name, for example "Return" or "ctrl+a"."""
        self._x("key", "--delay", "15", *names)

    def screenshot(self, file_name):
        """Saves the window as a PNG under the session's artefact folder; returns its path.
        The screen is grabbed and cut to the window: grabbing the window alone misses what the
        web view draws through its own compositing surface."""
        path = os.path.join(self.session.out_dir, file_name)
        x, y, width, height = self.geometry()
        crop = f"{width}x{height}+{x}+{y}"
        subprocess.run(["import", "-display", self.display, "-window", "root", "-crop", crop,
                        "+repage", path], check=True, capture_output=True)
        return path

    def wait_painted(self, file_name, ready, timeout=DEFAULT_TIMEOUT):
        """Screenshots the window until ready(path) holds for the picture, and returns the
        path of that last picture. The web view paints well after its scripts have run on a
        busy machine (seconds), so a picture proves what the user sees only when it shows it.
        """
        return wait_until(lambda: (lambda path: path if ready(path) else None)(
            self.screenshot(file_name)), timeout, interval=0.5, what=f"{file_name} to be painted")

    @staticmethod
    def colour_pixels(path, box, colour, fuzz="8%"):
        """How many pixels of the picture inside box (x, y, width, height) are close to
        colour ("#rrggbb")."""
        x, y, width, height = box
        result = subprocess.run(
            ["convert", path, "-crop", f"{width}x{height}+{x}+{y}", "+repage", "-alpha", "off",
             "-fuzz", fuzz, "-fill", "white", "-opaque", colour, "-fill", "black", "+opaque",
             "white", "-format", "%[fx:mean*w*h]", "info:"],
            check=True, capture_output=True, text=True)
        return round(float(result.stdout))

    def close_window(self, timeout=DEFAULT_TIMEOUT):
        """Asks the window to close as its title bar's close button does (WM_DELETE_WINDOW);
        returns the exit code and the seconds the process took to end."""
        _send_delete_window(self.display, self.window_id())
        asked = time.monotonic()
        code = self.process.wait(timeout)
        return code, time.monotonic() - asked


# WM_DELETE_WINDOW is what a window manager sends when the user closes a window; Xvfb has no
# window manager, so the harness sends it itself through Xlib.
class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def _send_delete_window(display_name, window):
    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.POINTER(_XEvent)]
    xlib.XFlush.argtypes = [ctypes.c_void_p]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = xlib.XOpenDisplay(display_name.encode())
    if not display:
        raise RuntimeError(f"cannot open display {display_name}")
    try:
        event = _XEvent()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = xlib.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = xlib.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        event.xclient.data[1] = 0  # CurrentTime
        xlib.XSendEvent(display, window, 0, 0, ctypes.byref(event))
        xlib.XFlush(display)
    finally:
        xlib.XCloseDisplay(display)


class _XSizeHints(ctypes.Structure):
    _fields_ = [("flags", ctypes.c_long), ("x", ctypes.c_int), ("y", ctypes.c_int),
                ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("min_width", ctypes.c_int), ("min_height", ctypes.c_int),
                ("max_width", ctypes.c_int), ("max_height", ctypes.c_int),
                ("width_inc", ctypes.c_int), ("height_inc", ctypes.c_int),
                ("min_aspect", ctypes.c_int * 2), ("max_aspect", ctypes.c_int * 2),
                ("base_width", ctypes.c_int), ("base_height", ctypes.c_int),
                ("win_gravity", ctypes.c_int)]


def _minimum_size_hint(display_name, window):
    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XGetWMNormalHints.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                       ctypes.POINTER(_XSizeHints), ctypes.POINTER(ctypes.c_long)]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = xlib.XOpenDisplay(display_name.encode())
    if not display:
        raise RuntimeError(f"cannot open display {display_name}")
    try:
        hints, supplied = _XSizeHints(), ctypes.c_long()
        if not xlib.XGetWMNormalHints(display, window, ctypes.byref(hints),
                                      ctypes.byref(supplied)):
            return None
        p_min_size = 1 << 4
        return (hints.min_width, hints.min_height) if hints.flags & p_min_size else None
    finally:
        xlib.XCloseDisplay(display)
