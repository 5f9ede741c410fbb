#!/usr/bin/python3
"""The real vexil binary used as a user would, on a real X server.

    smoke.py VEXIL SAMPLE_FILES

In a private mount namespace a tmpfs is mounted and filled with generated programs; vexil
starts with its current directory there, so its first scan lists a drive root that holds
programs. Under Xvfb, driven by xdotool (pointer and keys through XTEST), it checks the
caption, the listed rows, the strip and its status text after a click, the strip's pop-up
menu, the 32-pixel copy read back with xclip, the About box closed with Esc, an icon set
written through its dialog, and that closing the window ends the program with status 0. Widget texts are read through the
accessibility bus (AT-SPI), as a screen reader reads them.

Exit status: 0 passed, 1 failed, 77 skipped (no X server, tools or mount namespace here).
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

SKIP = 77
TIMEOUT = 30.0


def skip(why):
    print(f"x11 smoke test skipped: {why}")
    sys.exit(SKIP)


def fail(why):
    print(f"x11 smoke test FAILED: {why}")
    sys.exit(1)


def wait_for(what, probe, timeout=TIMEOUT):
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            fail(f"timed out waiting for {what}")
        time.sleep(0.05)


def run(*cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, **kw)


# ---------------------------------------------------------------- outside the namespace

def enter_namespace(vexil, programs):
    for tool in ("Xvfb", "xdotool", "xclip", "dbus-daemon", "unshare", "mount"):
        if not shutil.which(tool):
            skip(f"{tool} is not installed")
    if not os.path.exists("/usr/libexec/at-spi-bus-launcher"):
        skip("at-spi2-core is not installed")
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        skip("python3-pyatspi is not installed")
    if run("unshare", "--mount", "--propagation", "private", "true").returncode != 0:
        skip("no private mount namespace (unshare --mount needs root)")
    os.execvp("unshare", ["unshare", "--mount", "--propagation", "private",
                          sys.executable, os.path.abspath(__file__), "--inside",
                          os.path.abspath(vexil), os.path.abspath(programs)])


# ---------------------------------------------------------------- PNG from the clipboard

def png_pixel(data, x, y):
    """Width, height and the (r, g, b) at x, y of an 8-bit RGB or RGBA PNG."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        fail("the clipboard image is not a PNG")
    pos, idat, width = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6):
                fail(f"unexpected PNG format: depth {depth}, colour type {colour}")
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for r in range(height):
        kind = raw[r * (stride + 1)]
        line = bytearray(raw[r * (stride + 1) + 1:(r + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        previous = line
    at = x * channels
    return width, height, tuple(rows[y][at:at + 3])


# ---------------------------------------------------------------- inside the namespace

class Session:
    def __init__(self):
        self.processes = []

    def start(self, cmd, **kw):
        p = subprocess.Popen(cmd, **kw)
        self.processes.append(p)
        return p

    def close(self):
        for p in reversed(self.processes):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()


def start_display(session):
    read_fd, write_fd = os.pipe()
    xvfb = session.start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                         pass_fds=(write_fd,), stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as pipe:
        number = pipe.readline().strip()
    if not number or xvfb.poll() is not None:
        skip("Xvfb cannot start here")
    os.environ["DISPLAY"] = f":{number}"


def start_accessibility_bus(session):
    bus = session.start(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    address = bus.stdout.readline().strip()
    if not address:
        skip("no D-Bus session bus")
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
    session.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], stderr=subprocess.DEVNULL)
    time.sleep(0.5)


def xdo(*args):
    result = run("xdotool", *args)
    if result.returncode != 0:
        fail(f"xdotool {' '.join(args)}: {result.stderr.strip()}")
    return result.stdout.strip()


def key(*names):
    for name in names:
        xdo("key", "--delay", "60", name)
        time.sleep(0.15)


def click(x, y, button=1):
    xdo("mousemove", "--sync", str(x), str(y))
    xdo("click", str(button))


def window_named(name):
    result = run("xdotool", "search", "--onlyvisible", "--name", f"^{name}$")
    return result.stdout.split()[0] if result.returncode == 0 and result.stdout.strip() else None


def visible_windows():
    result = run("xdotool", "search", "--onlyvisible", "--name", ".*")
    return set(result.stdout.split())


def window_position(window):
    for line in xdo("getwindowgeometry", "--shell", window).splitlines():
        if line.startswith("X="):
            x = int(line[2:])
        elif line.startswith("Y="):
            y = int(line[2:])
    return x, y


class Ui:
    """The window's widgets as the accessibility bus shows them."""

    def __init__(self, pyatspi):
        self.pyatspi = pyatspi

    def app(self):
        for a in self.pyatspi.Registry.getDesktop(0):
            if a is not None and a.name == "Vexil":
                return a
        return None

    def find(self, predicate, root=None, depth=0):
        root = root or self.app()
        if root is None or depth > 14:
            return None
        try:
            if predicate(root):
                return root
            for i in range(root.childCount):
                found = self.find(predicate, root.getChildAtIndex(i), depth + 1)
                if found is not None:
                    return found
        except Exception:  # an object that went away while being walked
            return None
        return None

    def role(self, acc):
        return acc.getRoleName()

    def file_list(self):
        def is_list(acc):
            if self.role(acc) != "tree" or acc.childCount < 2:
                return False
            header = acc.getChildAtIndex(0)
            return self.role(header) == "table column header" and header.name == "ﾌｧｲﾙ名"
        return self.find(is_list)

    def status_texts(self):
        bar = self.find(lambda a: self.role(a) == "status bar")
        return [bar.getChildAtIndex(i).name for i in range(bar.childCount)] if bar else []

    def extents(self, acc):
        e = acc.queryComponent().getExtents(self.pyatspi.DESKTOP_COORDS)
        return e.x, e.y, e.width, e.height


def inside(vexil, programs):
    mount = tempfile.mkdtemp(prefix="vexil-smoke-")
    session = Session()
    try:
        if run("mount", "-t", "tmpfs", "-o", "size=64m", "tmpfs", mount).returncode != 0:
            skip("cannot mount a tmpfs")
        made = run(programs, "--programs", mount, "20")
        if made.returncode != 0:
            fail(f"sample files: {made.stderr}")
        expected = {}
        for line in made.stdout.splitlines():
            name, icons, colour = line.split("\t")
            expected[name] = (int(icons), tuple(bytes.fromhex(colour)))

        start_display(session)
        start_accessibility_bus(session)
        import pyatspi
        ui = Ui(pyatspi)

        data_home = os.path.join(mount, "data")
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", XDG_DATA_HOME=data_home)
        program = session.start([vexil], cwd=mount, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)

        # The window opens on the drive whose root holds the programs.
        caption = f"Vexil - {mount}/"
        main_window = wait_for(f'the window "{caption}"', lambda: window_named(caption))
        if program.poll() is not None:
            fail(f"vexil ended at start with status {program.returncode}: {program.stderr.read()}")
        print(f"window: {caption}")

        # Every program is listed (the first scan has ended once the ESC hint is gone).
        listing = wait_for("the file list", ui.file_list)
        table = listing.queryTable()
        wait_for("all rows", lambda: table.nRows == len(expected) and ui.status_texts()[1:] == [""])
        rows = {table.getAccessibleAt(r, 0).name: table.getAccessibleAt(r, 1).name for r in range(table.nRows)}
        if rows != {n: str(c) for n, (c, _) in expected.items()}:
            fail(f"rows listed: {rows}")
        print(f"rows: {table.nRows}")

        # A click on the first row fills the strip; the status bar counts its icons.
        first = table.getAccessibleAt(0, 0)
        x, y, w, h = ui.extents(first)
        click(x + min(w // 2, 40), y + h // 2)
        icons, colour = expected[first.name]
        wait_for(f'status "1 / {icons}"', lambda: ui.status_texts() == [f"1 / {icons}", first.name])
        print(f"strip of {first.name}: {ui.status_texts()}")

        # A right click on the strip's first cell opens the pop-up menu there.
        # The strip shares its panel with the status bar.
        bar = ui.find(lambda a: ui.role(a) == "status bar")
        strip = bar.parent.getChildAtIndex(0) if bar else None
        if strip is None:
            fail("the icon strip is not on the accessibility bus")
        sx, sy, _, _ = ui.extents(strip)
        before = visible_windows()
        at = (sx + 20, sy + 20)
        click(*at, button=3)
        popup = wait_for("the pop-up menu", lambda: (visible_windows() - before) or None)
        px, py = window_position(next(iter(popup)))
        if abs(px - at[0]) > 4 or abs(py - at[1]) > 4:
            fail(f"pop-up menu at {px},{py}, clicked at {at}")
        print(f"pop-up menu at {px},{py}")
        key("Escape")
        wait_for("the pop-up menu to close", lambda: not (visible_windows() & popup))

        # Edit, 32-pixel copy: a 32 x 32 picture of icon 0 on the clipboard.
        xdo("windowfocus", "--sync", main_window)
        key("alt+e", "p")

        def clipboard():
            got = subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-o"], capture_output=True)
            return got.stdout if got.returncode == 0 and got.stdout.startswith(b"\x89PNG") else None
        data = wait_for("an image on the clipboard", clipboard)
        width, height, centre = png_pixel(data, 16, 16)
        if (width, height) != (32, 32) or centre != colour:
            fail(f"clipboard image {width}x{height}, centre {centre}, expected 32x32 {colour}")
        print(f"clipboard: {width}x{height}, centre {centre}")

        # The About box opens from the Help menu and closes with Esc.
        xdo("windowfocus", "--sync", main_window)
        key("alt+h", "a")
        wait_for("the About box", lambda: window_named("Vexilについて"))
        key("Escape")
        wait_for("the About box to close", lambda: not window_named("Vexilについて"))
        print("About box: opened and closed")

        # File, icon set: the dialog offers $XDG_DATA_HOME/icons; a name typed and Enter write
        # the strip's current icon there, 32 pixels among its sizes.
        xdo("windowfocus", "--sync", main_window)
        key("alt+f", "t")
        dialog = wait_for("the icon set dialog", lambda: window_named("ｱｲｺﾝｾｯﾄの作成"))
        xdo("windowfocus", "--sync", dialog)
        key("ctrl+a")
        xdo("type", "--delay", "40", "smoke-icon")
        key("Return")
        wait_for("the icon set dialog to close", lambda: not window_named("ｱｲｺﾝｾｯﾄの作成"))
        icon = os.path.join(data_home, "icons/hicolor/32x32/apps/smoke-icon.png")
        data = wait_for(icon, lambda: os.path.exists(icon) and open(icon, "rb").read())
        width, height, centre = png_pixel(data, 16, 16)
        if (width, height) != (32, 32) or centre != colour:
            fail(f"icon set picture {width}x{height}, centre {centre}, expected 32x32 {colour}")
        print(f"icon set: {icon}")

        # File, Exit closes the window and ends the program with status 0.
        xdo("windowfocus", "--sync", main_window)  # no window manager gives it back
        key("alt+f", "x")
        try:
            status = program.wait(TIMEOUT)
        except subprocess.TimeoutExpired:
            fail("vexil did not end after File, Exit")
        if status != 0:
            fail(f"vexil ended with status {status}: {program.stderr.read()}")
        print("exit status: 0")
    finally:
        session.close()
        run("umount", mount)
        os.rmdir(mount)
    print("x11 smoke test passed")


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--inside":
        inside(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 3:
        enter_namespace(sys.argv[1], sys.argv[2])
    else:
        print(__doc__)
        sys.exit(2)


if __name__ == "__main__":
    main()
