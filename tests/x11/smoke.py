#!/usr/bin/python3
"""The real vexil binary used as a user would, on a real X server.

    smoke.py VEXIL SAMPLE_FILES

In a private mount namespace a tmpfs is mounted and filled with generated programs; vexil
starts with its current directory there, so its first scan lists a drive root that holds
programs. Under Xvfb, driven by xdotool (pointer and keys through XTEST), it checks the
caption, the listed rows, the strip and its status text after a click, the strip's pop-up
menu, the 32-pixel copy read back with xclip, a tmpfs mounted while the window is open
appearing in the drive box and leaving it when unmounted, the About box closed with Esc,
and that closing the window ends the program with status 0. Then it starts vexil on a
directory argument (closed with Ctrl+Q) and, at QT_SCALE_FACTOR=2, on an .ico file whose
64-pixel PNG image has a transparent corner: the file's row and strip, the strip cell drawn
from the 64-pixel image (read from Xvfb's frame buffer: no 2 x 2 blocks), Ctrl+Shift+C
giving image/png alone with its transparency, Ctrl+C the picture on white, and the PNG save
(File, N) with Japanese buttons writing the group's largest image byte for byte. Vexil runs
with a private HOME, which must hold nothing afterwards but the icon set the first run writes
through its dialog (File, T). Widget texts are read through the accessibility bus (AT-SPI),
as a screen reader reads them. Every run says it is on a GNOME desktop, whose GTK platform
theme Qt would load: it must not be loaded. The directory run's window class must be the
one the menu entry names; `vexil --version` answers without any display.

Exit status: 0 passed, 1 failed, 77 skipped (no X server, tools or mount namespace here).
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import urllib.parse
import zlib

SKIP = 77
TIMEOUT = 30.0


# Where the icon set made through the window lands, under HOME.
ICON_SET = ".local/share/icons/hicolor"


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

def png_pixel(data, x, y, alpha=False):
    """Width, height and the (r, g, b) at x, y of an 8-bit RGB or RGBA PNG ((r, g, b, a)
    with alpha, a 255 for RGB)."""
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
    pixel = tuple(rows[y][at:at + channels])
    if alpha:
        return width, height, pixel if channels == 4 else pixel + (255,)
    return width, height, pixel[:3]


def make_png(width, height, pixel):
    """An 8-bit RGBA PNG whose pixel(x, y) gives (r, g, b, a)."""
    raw = b"".join(b"\0" + bytes(c for x in range(width) for c in pixel(x, y)) for y in range(height))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


# The icon of the HiDPI and PNG checks: 64 x 64, red = 4x, green = 4y, blue 128, so every
# pixel differs from its neighbours, and a transparent top-left corner.
ICON_SIZE = 64


def detail_pixel(x, y):
    return (4 * x, 4 * y, 128, 0 if x + y < 8 else 255)


def make_ico(png):
    """An .ico file holding one PNG image."""
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", ICON_SIZE, ICON_SIZE, 0, 0, 1, 32, len(png), 22) + png


def screen_pixels(framebuffer):
    """Width, height and the 0xRRGGBB pixels of Xvfb's screen as its -fbdir file shows it (XWD)."""
    with open(framebuffer, "rb") as f:
        data = f.read()
    head = struct.unpack(">25I", data[:100])
    header_size, width, height, bits, stride, ncolors = head[0], head[4], head[5], head[11], head[12], head[19]
    if bits != 32:
        fail(f"frame buffer of {bits} bits per pixel")
    start = header_size + 12 * ncolors
    order = "<" if head[7] == 0 else ">"
    rows = [struct.unpack(f"{order}{width}I", data[start + y * stride:start + y * stride + 4 * width]) for y in range(height)]
    return width, height, rows


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


def start_display(session, fbdir):
    read_fd, write_fd = os.pipe()
    xvfb = session.start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                          "-fbdir", fbdir],
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


def drag_to(x, y, window):
    """Presses at x, y and moves, in steps, to the middle of window, then releases."""
    wx, wy = window_position(window)
    geometry = run("xdotool", "getwindowgeometry", window).stdout
    w, h = (int(v) for v in geometry.split("Geometry:")[1].split()[0].split("x"))
    xdo("mousemove", "--sync", str(x), str(y))
    xdo("mousedown", "1")
    for i in range(1, 11):
        xdo("mousemove", str(x + (wx + w // 2 - x) * i // 10), str(y + (wy + h // 2 - y) * i // 10))
        time.sleep(0.05)
    time.sleep(0.2)
    xdo("mouseup", "1")


def window_named(name):
    pattern = "".join("\\" + c if c in "()[]{}.*+?^$|\\" else c for c in name)
    result = run("xdotool", "search", "--onlyvisible", "--name", f"^{pattern}$")
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

    def names(self, role, root=None):
        """The names of every object of a role below root (the application by default)."""
        return [a.name for a in self.all(lambda a: self.role(a) == role, root)]

    def drive_entries(self):
        """The entries of the drive box: the combo box whose items are mount points."""
        for combo in self.all(lambda a: self.role(a) == "combo box"):
            items = self.names("list item", combo)
            if items and all(i.startswith("/") for i in items):
                return items
        return []

    def all(self, predicate, root=None, depth=0):
        root = root or self.app()
        out = []
        if root is None or depth > 14:
            return out
        try:
            if predicate(root):
                out.append(root)
            for i in range(root.childCount):
                out += self.all(predicate, root.getChildAtIndex(i), depth + 1)
        except Exception:
            pass
        return out

    def extents(self, acc):
        e = acc.queryComponent().getExtents(self.pyatspi.DESKTOP_COORDS)
        return e.x, e.y, e.width, e.height


def start_vexil(session, vexil, args, cwd, env):
    program = session.start([vexil] + args, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    return program


def wait_exit(program, how):
    try:
        status = program.wait(TIMEOUT)
    except subprocess.TimeoutExpired:
        fail(f"vexil did not end after {how}")
    if status != 0:
        fail(f"vexil ended with status {status}: {program.stderr.read()}")


def rows_of(ui):
    listing = wait_for("the file list", ui.file_list)
    table = listing.queryTable()
    return table, {table.getAccessibleAt(r, 0).name: table.getAccessibleAt(r, 1).name for r in range(table.nRows)}


def clipboard(target):
    got = subprocess.run(["xclip", "-selection", "clipboard", "-t", target, "-o"], capture_output=True)
    return got.stdout if got.returncode == 0 and got.stdout else None


def first_run(session, ui, vexil, env, mount, expected):
    """No argument: the usual start on the current drive's root."""
    program = start_vexil(session, vexil, [], mount, env)

    # The window opens on the drive whose root holds the programs.
    caption = f"Vexil - {mount}/"
    main_window = wait_for(f'the window "{caption}"', lambda: window_named(caption))
    if program.poll() is not None:
        fail(f"vexil ended at start with status {program.returncode}: {program.stderr.read()}")
    print(f"window: {caption}")

    # Every program is listed (the first scan has ended once the ESC hint is gone).
    table, _ = rows_of(ui)
    wait_for("all rows", lambda: table.nRows == len(expected) and ui.status_texts()[1:] == [""])
    _, rows = rows_of(ui)
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

    # From the keyboard: Shift+F10 and the Menu key open it over the current cell.
    for keys in ("shift+F10", "Menu"):
        before = visible_windows()
        key(keys)
        popup = wait_for(f"the pop-up menu from {keys}", lambda: (visible_windows() - before) or None)
        key("Escape")
        wait_for("the pop-up menu to close", lambda: not (visible_windows() & popup))
    print("pop-up menu: opened by Shift+F10 and the Menu key")

    # Screen readers: the strip's cells, the toolbar buttons and the lists have names.
    cells = [strip.getChildAtIndex(i) for i in range(strip.childCount)]
    if len(cells) != icons or not all(ui.role(c) == "list item" for c in cells):
        fail(f"the strip shows {icons} icons but {[ui.role(c) for c in cells]} on the accessibility bus")
    if "x" not in cells[0].name or cells[0].description != f"ｱｲｺﾝ 1 / {icons}":
        fail(f"strip cell 1: {cells[0].name!r}, {cells[0].description!r}")
    buttons = {a.name for a in ui.all(lambda a: ui.role(a) in ("push button", "toggle button", "check box", "radio button"))}
    missing = {"大きいアイコン", "小さいアイコン", "リスト", "明細", "検索ﾀｲﾌﾟの実行"} - buttons
    named = {strip.name, ui.file_list().name}
    if missing or named != {"ｱｲｺﾝ", "ﾌｧｲﾙ一覧"}:
        fail(f"accessible names: buttons lacking {missing}, strip and list {named}")
    print(f"accessible: strip cell 1 {cells[0].name!r} ({cells[0].description}), buttons and lists named")

    # Edit, 32-pixel copy: a 32 x 32 picture of icon 0 on the clipboard.
    xdo("windowfocus", "--sync", main_window)
    key("alt+e", "p")
    data = wait_for("an image on the clipboard", lambda: clipboard("image/png"))
    width, height, centre = png_pixel(data, 16, 16)
    if (width, height) != (32, 32) or centre != colour:
        fail(f"clipboard image {width}x{height}, centre {centre}, expected 32x32 {colour}")
    print(f"clipboard: {width}x{height}, centre {centre}")

    # A file system mounted while the window is open appears in the drive box, and leaves
    # it when unmounted.
    usb = os.path.join(mount, "usb")
    if f"{mount} []" not in wait_for("the drive box's entries", ui.drive_entries):
        fail(f"the drive box lacks {mount}: {ui.drive_entries()}")
    if run("mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", usb).returncode != 0:
        fail(f"cannot mount a tmpfs on {usb}")
    began = time.monotonic()
    wait_for(f"{usb} in the drive box", lambda: f"{usb} []" in ui.drive_entries(), timeout=5)
    print(f"mounted {usb}: in the drive box after {time.monotonic() - began:.2f} s")
    run("umount", usb)
    began = time.monotonic()
    wait_for(f"{usb} to leave the drive box", lambda: f"{usb} []" not in ui.drive_entries(), timeout=5)
    print(f"unmounted: gone from the drive box after {time.monotonic() - began:.2f} s")

    # The About box opens from the Help menu and closes with Esc.
    xdo("windowfocus", "--sync", main_window)
    key("alt+h", "a")
    wait_for("the About box", lambda: window_named("Vexilについて"))
    key("Escape")
    wait_for("the About box to close", lambda: not window_named("Vexilについて"))
    print("About box: opened and closed")

    # File, icon set: the dialog offers ~/.local/share/icons (no XDG_DATA_HOME); a name typed
    # and Enter write the strip's current icon there, 32 pixels among its sizes.
    xdo("windowfocus", "--sync", main_window)
    key("alt+f", "t")
    dialog = wait_for("the icon set dialog", lambda: window_named("ｱｲｺﾝｾｯﾄの作成"))
    xdo("windowfocus", "--sync", dialog)
    key("ctrl+a")
    xdo("type", "--delay", "40", "smoke-icon")
    key("Return")
    wait_for("the icon set dialog to close", lambda: not window_named("ｱｲｺﾝｾｯﾄの作成"))
    icon = os.path.join(env["HOME"], ICON_SET, "32x32/apps/smoke-icon.png")
    data = wait_for(icon, lambda: os.path.exists(icon) and open(icon, "rb").read())
    width, height, centre = png_pixel(data, 16, 16)
    if (width, height) != (32, 32) or centre != colour:
        fail(f"icon set picture {width}x{height}, centre {centre}, expected 32x32 {colour}")
    print(f"icon set: {icon}")

    # The same name again: the overwrite question; No keeps the set as it is.
    before = os.stat(icon).st_mtime_ns
    xdo("windowfocus", "--sync", main_window)
    key("alt+f", "t")
    dialog = wait_for("the icon set dialog", lambda: window_named("ｱｲｺﾝｾｯﾄの作成"))
    xdo("windowfocus", "--sync", dialog)
    key("ctrl+a")
    xdo("type", "--delay", "40", "smoke-icon")
    key("Return")
    question = wait_for("the overwrite question", lambda: window_named("Vexil"))
    text = " ".join(ui.names("label"))
    if "上書きしますか" not in text:
        fail(f"replacing an icon set asked {text!r}")
    xdo("windowfocus", "--sync", question)
    key("n")
    wait_for("the question to close", lambda: not window_named("Vexil"))
    if os.stat(icon).st_mtime_ns != before:
        fail("the icon set was replaced after No")
    print("icon set of the same name: the overwrite question, No kept it")

    # File, Exit closes the window and ends the program with status 0.
    xdo("windowfocus", "--sync", main_window)  # no window manager gives it back
    key("alt+f", "x")
    wait_exit(program, "File, Exit")
    print("exit status: 0")


DESKTOP_ENTRY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../res/desktop/org.vexil.vexil.desktop")
GTK_THEME = "/usr/lib/x86_64-linux-gnu/qt6/plugins/platformthemes/libqgtk3.so"


def check_desktop_habits(vexil, program, window):
    """The window class the menu entry names, no GTK theme loaded, --version without X."""
    with open(DESKTOP_ENTRY) as f:
        named = [line.split("=", 1)[1].strip() for line in f if line.startswith("StartupWMClass=")]
    wm_class = run("xprop", "-id", window, "WM_CLASS").stdout.strip()
    if not named or not wm_class.endswith(f'"{named[0]}"'):
        fail(f"the window's {wm_class!r} is not the menu entry's StartupWMClass {named}")
    with open(f"/proc/{program.pid}/maps") as f:
        gtk = [line.split()[-1] for line in f if "libqgtk3" in line or "libgtk-3" in line]
    if gtk:
        fail(f"the GTK platform theme was loaded: {sorted(set(gtk))}")
    quiet = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    version = run(vexil, "--version", env=quiet)
    if version.returncode != 0 or not version.stdout.startswith("vexil ") or version.stderr:
        fail(f"vexil --version without a display: {version.returncode} {version.stdout!r} {version.stderr!r}")
    theme = "present" if os.path.exists(GTK_THEME) else "absent here"
    print(f"{wm_class}; no GTK theme loaded (its plugin {theme}); {version.stdout.strip()} without a display")


def directory_run(session, ui, vexil, env, mount):
    """vexil DIR, relative to the current directory: that directory chosen and listed."""
    program = start_vexil(session, vexil, ["art"], mount, env)
    caption = f"Vexil - {mount}/art"
    window = wait_for(f'the window "{caption}"', lambda: window_named(caption))
    wait_for("the listing of art", lambda: rows_of(ui)[1] == {"setup01.exe": "2"} and ui.status_texts()[1:] == [""])
    print(f"vexil art: {caption}, rows {rows_of(ui)[1]}")
    check_desktop_habits(vexil, program, window)

    # File, Open: Qt's own dialog; a typed path opens as `vexil PATH` does.
    xdo("windowfocus", "--sync", window)
    key("alt+f", "o")
    dialog = wait_for("the open dialog", lambda: window_named("ﾌｧｲﾙを開く"))
    xdo("windowfocus", "--sync", dialog)
    xdo("type", "--delay", "20", os.path.join(mount, "setup00.exe"))
    key("Return")
    window = wait_for(f'the window "Vexil - {mount}/"', lambda: window_named(f"Vexil - {mount}/"))
    wait_for("setup00.exe's strip", lambda: ui.status_texts()[1:] == ["setup00.exe"])
    print(f"File, Open: {ui.status_texts()}")
    drag_out(session, ui, env, mount, window)
    save_all(ui, mount, window)

    # A folder dropped on the window from another program opens as `vexil PATH` does.
    source = session.start([os.environ["VEXIL_DRAG_SOURCE"], "drag", f"file://{mount}/art"], env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    wait_for("the drag source", lambda: window_named("drag source"))
    drag_to(60, 40, window)
    wait_for(f'the window "{caption}" after the drop', lambda: window_named(caption))
    print(f"dropped {mount}/art: {caption}; the source saw {source.stdout.readline().strip()!r}")
    source.terminate()
    xdo("windowfocus", "--sync", window)
    key("ctrl+q")
    wait_exit(program, "Ctrl+Q")
    print("Ctrl+Q: exit status 0")
    left = [n for n in os.listdir(env["XDG_RUNTIME_DIR"]) if n.startswith("vexil-drag-")]
    if left:
        fail(f"the drag folder outlived vexil: {left}")
    print("drag folder removed at exit")


def extracted_pngs(mount, name):
    """What `vexil-cli extract --format png` writes for a file of the mount: {name: bytes}."""
    out = tempfile.mkdtemp(prefix="extract-", dir=mount)
    done = run(os.environ["VEXIL_CLI"], "extract", os.path.join(mount, name), "-o", out, "--format", "png")
    if done.returncode != 0:
        fail(f"vexil-cli extract: {done.stdout} {done.stderr}")
    files = {}
    for f in os.listdir(out):
        with open(os.path.join(out, f), "rb") as data:
            files[f] = data.read()
    shutil.rmtree(out)
    return files


def dropped(session, env, start_at, what):
    """Drags from start_at into a drop target of the test's own; what it received:
    {"format": {type: length}, "uri-list": text, "image/png": (w, h) or None}."""
    target = session.start([os.environ["VEXIL_DRAG_SOURCE"], "drop"], env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    window = wait_for("the drop target", lambda: window_named("drop target"))
    drag_to(*start_at, window)
    try:
        out, _ = target.communicate(timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        fail(f"the drop target received no drop of {what}")
    got = {"format": {}, "uri-list": None, "image/png": None}
    for line in out.splitlines():
        kind, _, rest = line.partition(" ")
        if kind == "format":
            name, length = rest.rsplit(" ", 1)
            got["format"][name] = int(length)
        elif kind == "uri-list":
            got["uri-list"] = rest
        elif kind == "image/png":
            got["image/png"] = tuple(int(v) for v in rest.split("x"))
    return got


def drag_out(session, ui, env, mount, window):
    """A strip cell dragged out gives its group's PNG as extract writes it (a file in the
    private drag folder, image/png, Qt's image); a file row gives the file."""
    bar = ui.find(lambda a: ui.role(a) == "status bar")
    strip = bar.parent.getChildAtIndex(0)
    x, y, w, h = ui.extents(strip.getChildAtIndex(0))
    got = dropped(session, env, (x + w // 2, y + h // 2), "a strip cell")
    uri = got["uri-list"] or ""
    path = os.fsdecode(urllib.parse.unquote_to_bytes(uri[len("file://"):]))
    folder = os.path.dirname(path)
    if not uri.startswith("file://") or os.path.dirname(folder) != env["XDG_RUNTIME_DIR"] or \
            not os.path.basename(folder).startswith("vexil-drag-") or os.stat(folder).st_mode & 0o777 != 0o700:
        fail(f"the strip drag names {uri!r}, not a file in a private folder under {env['XDG_RUNTIME_DIR']}")
    with open(path, "rb") as f:
        picture = f.read()
    expected = extracted_pngs(mount, "setup00.exe")
    name = os.path.basename(path)
    if expected.get(name) != picture:
        fail(f"the dragged {name} is not what extract --format png writes ({sorted(expected)})")
    width, height, _ = png_pixel(picture, 0, 0)
    formats = got["format"]
    if got["image/png"] != (width, height) or "application/x-qt-image" not in formats:
        fail(f"the strip drag offers {formats}, image/png {got['image/png']}, the file {width}x{height}")
    print(f"strip drag: {name} ({width}x{height}) as extract writes it, image/png {got['image/png']}, {sorted(formats)}")

    table, _ = rows_of(ui)
    row = next(r for r in range(table.nRows) if table.getAccessibleAt(r, 0).name == "setup00.exe")
    x, y, w, h = ui.extents(table.getAccessibleAt(row, 0))
    got = dropped(session, env, (x + min(w // 2, 40), y + h // 2), "a file row")
    if got["uri-list"] != f"file://{mount}/setup00.exe":
        fail(f"the file row drag offers {got}")
    if ui.status_texts()[1:] != ["setup00.exe"]:
        fail(f"the row drag changed the strip: {ui.status_texts()}")
    print(f"file row drag: {got['uri-list']}")


SAVE_ALL = "ｱｲｺﾝをすべて保存"


def save_all_message(ui, window):
    """Waits for save-all's closing message, closes it and answers its text."""
    text = wait_for("the save-all message", lambda: (lambda t: t if "保存しました" in t else None)(" ".join(ui.names("label"))))
    xdo("windowfocus", "--sync", wait_for("the message", lambda: window_named(SAVE_ALL)))
    key("Return")
    wait_for("the message to close", lambda: not window_named(SAVE_ALL))
    xdo("windowfocus", "--sync", window)
    return text


def save_all(ui, mount, window):
    """File, save all icons as PNG: every group of the listed file with the most icons written
    as extract writes it; again into the same folder, the one question, No keeping the files."""
    table, rows = rows_of(ui)
    name = max(rows, key=lambda n: int(rows[n]))
    row = next(r for r in range(table.nRows) if table.getAccessibleAt(r, 0).name == name)
    x, y, w, h = ui.extents(table.getAccessibleAt(row, 0))
    click(x + min(w // 2, 40), y + h // 2)
    wait_for(f"{name}'s strip", lambda: ui.status_texts() == [f"1 / {rows[name]}", name])
    folder = os.path.join(mount, "all")
    os.mkdir(folder)
    expected = extracted_pngs(mount, name)
    if len(expected) != int(rows[name]) or len(expected) < 2:
        fail(f"extract wrote {sorted(expected)} for {name} of {rows[name]} icons")
    for attempt in ("new", "again"):
        xdo("windowfocus", "--sync", window)
        key("alt+f", "a")
        dialog = wait_for("the save-all dialog", lambda: window_named(SAVE_ALL))
        xdo("windowfocus", "--sync", dialog)
        xdo("type", "--delay", "20", folder + "/")  # nothing inside to complete: no completer pop-up
        if attempt == "new":
            key("alt+f", "Down")  # the format: PNG
        key("Return")
        if attempt == "again":
            wait_for("the replace question", lambda: window_named("Vexil"))
            question = " ".join(ui.names("label"))
            if f"{len(expected)} 個のﾌｧｲﾙは既に存在します" not in question:
                fail(f"save-all asked {question!r}")
            xdo("windowfocus", "--sync", window_named("Vexil"))
            key("n")
        text = save_all_message(ui, window)
        written = {}
        for f in os.listdir(folder):
            with open(os.path.join(folder, f), "rb") as data:
                written[f] = data.read()
        if written != expected:
            fail(f"save-all wrote {sorted(written)}, extract {sorted(expected)}")
        want = f"{len(expected)} 個のﾌｧｲﾙを保存しました" if attempt == "new" else f"既にあった {len(expected)} 個"
        if want not in text:
            fail(f"save-all said {text!r}")
        print(f"save-all of {name} ({attempt}): {len(written)} PNG files as extract writes them; "
              f"{text[text.rindex('個のﾌｧｲﾙを保存') - 3:]!r}")


def distinct_detail_pixels(framebuffer):
    """How many of the detail icon's own pixels (blue 128, red and green multiples of 4)
    the screen shows: all 64 x 64 but the corner when the 64-pixel image is drawn at
    64 device pixels, none when a 32-pixel picture is enlarged."""
    _, _, rows = screen_pixels(framebuffer)
    seen = set()
    for row in rows:
        for p in row:
            if p & 0xFF == 128 and (p >> 16) & 3 == 0 and (p >> 8) & 3 == 0:
                seen.add(p)
    return len(seen)


def file_run(session, ui, vexil, env, mount, framebuffer, png):
    """vexil FILE at QT_SCALE_FACTOR=2: its directory, its row, its strip; copies and the
    PNG save."""
    art = os.path.join(mount, "art")
    program = start_vexil(session, vexil, [os.path.join(art, "detail.ico")], mount, dict(env, QT_SCALE_FACTOR="2"))
    caption = f"Vexil - {art}"
    window = wait_for(f'the window "{caption}"', lambda: window_named(caption))
    wait_for('the file\'s row with "1 / 1"', lambda: ui.status_texts() == ["1 / 1", "detail.ico"])
    table, rows = rows_of(ui)
    if "detail.ico" not in rows or table.nSelectedRows != 1:
        fail(f"vexil detail.ico: rows {rows}, {table.nSelectedRows} selected")
    print(f"vexil art/detail.ico: {caption}, rows {rows}, status {ui.status_texts()}")

    # The strip cell shows the 64-pixel image at 64 device pixels.
    shown = wait_for("the strip drawn from the 64-pixel image",
                     lambda: (lambda n: n if n > 3000 else None)(distinct_detail_pixels(framebuffer)), timeout=5)
    print(f"QT_SCALE_FACTOR=2: {shown} distinct pixels of the 64-pixel image on screen")

    # Ctrl+Shift+C: the 32-pixel picture as image/png alone, with its transparency.
    xdo("windowfocus", "--sync", window)
    key("ctrl+shift+c")
    targets = wait_for("image/png on the clipboard", lambda: (clipboard("TARGETS") or b"").decode().split() or None)
    images = [t for t in targets if t.startswith("image/")]
    if images != ["image/png"]:
        fail(f"Ctrl+Shift+C offers {targets}")
    width, height, corner = png_pixel(clipboard("image/png"), 0, 0, alpha=True)
    _, _, inner = png_pixel(clipboard("image/png"), 20, 20, alpha=True)
    if (width, height) != (32, 32) or corner[3] != 0 or inner[3] != 255:
        fail(f"Ctrl+Shift+C: {width}x{height}, corner {corner}, inside {inner}")
    print(f"Ctrl+Shift+C: {images}, {width}x{height}, corner alpha {corner[3]}")

    # Ctrl+C: the Copy command's picture, transparent parts white.
    key("ctrl+c")
    wait_for("a picture on white", lambda: clipboard("image/png") and png_pixel(clipboard("image/png"), 0, 0)[2] == (255, 255, 255))
    print("Ctrl+C: 32x32 on white")

    # File, N: the PNG save. Qt's dialog speaks Japanese; the default type is the largest size.
    title = "PNG(透過)でﾌｧｲﾙに保存"
    key("alt+f", "n")
    dialog = wait_for("the PNG save dialog", lambda: window_named(title))
    buttons = wait_for("the dialog's buttons", lambda: [n for n in ui.names("push button") if n] or None)
    if not any("保存" in b for b in buttons) or not any("キャンセル" in b for b in buttons):
        fail(f"the save dialog's buttons: {buttons}")
    print(f"save dialog buttons: {buttons}")
    # Its list writes sizes and dates in Japanese, whatever the environment's locale.
    size = re.compile(r"^532 バイト$")  # listed.png
    date = re.compile(r"^\d{4}/\d{2}/\d{2} \d{1,2}:\d{2}$")
    cells = wait_for("the dialog's sizes and dates", lambda: (lambda names: names if any(size.match(n) for n in names) and
                     any(date.match(n) for n in names) else None)([a.name for a in ui.all(lambda a: "cell" in ui.role(a))]))
    print(f"save dialog: sizes {sorted({n for n in cells if size.match(n)})}, a date {next(n for n in cells if date.match(n))!r}")
    target = os.path.join(mount, "saved")
    xdo("windowfocus", "--sync", dialog)
    xdo("type", "--delay", "20", target)
    key("Return")
    saved = wait_for("saved.png", lambda: os.path.exists(target + ".png") and os.path.getsize(target + ".png") > 0)
    with open(target + ".png", "rb") as f:
        written = f.read()
    if written != png:
        width, height, corner = png_pixel(written, 0, 0, alpha=True)
        fail(f"saved.png is not the group's 64-pixel image as stored: {width}x{height}, corner {corner}")
    width, height, corner = png_pixel(written, 0, 0, alpha=True)
    print(f"PNG save: {width}x{height}, corner alpha {corner[3]}, the stored image byte for byte ({saved})")

    xdo("windowfocus", "--sync", window)
    key("alt+f", "x")
    wait_exit(program, "File, Exit")


CURSOR_THEME = ".icons/Probe_Pack"


def cursor_theme_run(session, ui, vexil, env, mount, programs):
    """File, ｶｰｿﾙﾃｰﾏの作成: a cursor pack made by code chosen in Qt's folder dialog, its roles
    listed, installed under ~/.icons and the way to choose it said; Esc closes the dialog."""
    pack = os.path.join(mount, "cursor-pack")
    made = run(programs, "--cursor-pack", pack)
    if made.returncode != 0:
        fail(f"cursor pack: {made.stderr}")
    program = start_vexil(session, vexil, ["art"], mount, env)
    window = wait_for(f'the window "Vexil - {mount}/art"', lambda: window_named(f"Vexil - {mount}/art"))
    xdo("windowfocus", "--sync", window)
    key("alt+f", "k")
    dialog = wait_for("the cursor theme dialog", lambda: window_named("ｶｰｿﾙﾃｰﾏの作成"))
    xdo("windowfocus", "--sync", dialog)
    key("alt+d")
    chooser = wait_for("the folder dialog", lambda: window_named("ｶｰｿﾙ ﾊﾟｯｸのﾌｫﾙﾀﾞ"))
    xdo("windowfocus", "--sync", chooser)
    xdo("type", "--delay", "20", pack)
    key("Return")
    wait_for("the folder dialog to close", lambda: not window_named("ｶｰｿﾙ ﾊﾟｯｸのﾌｫﾙﾀﾞ"))
    cells = wait_for("the roles", lambda: [n for n in ui.names("table cell") if n.endswith(".cur") or n.endswith(".ani")] or None)
    if len(cells) != 17 or "Normal Select.cur" not in cells:
        fail(f"the cursor theme dialog lists {cells}")
    xdo("windowfocus", "--sync", dialog)
    key("alt+i")
    link = os.path.join(env["HOME"], CURSOR_THEME, "cursors/left_ptr")
    wait_for(link, lambda: os.path.islink(link))
    said = wait_for("how to choose the theme", lambda: [n for n in ui.names("label") if "gsettings" in n] or None)
    if "cursor-theme Probe_Pack" not in said[0]:
        fail(f"the cursor theme dialog says {said[0]!r}")
    key("Escape")
    wait_for("the cursor theme dialog to close", lambda: not window_named("ｶｰｿﾙﾃｰﾏの作成"))
    print(f"cursor theme: 17 roles listed, {link} written")
    xdo("windowfocus", "--sync", window)
    key("ctrl+q")
    wait_exit(program, "Ctrl+Q")
def details_run(session, ui, vexil, programs, env, mount):
    """The icon's details window, from the keyboard: Enter on the strip opens it on the
    current icon, listing every image of the group with its size; Ctrl++ zooms; its cursors
    tab lists the module's cursor groups and animation; Esc closes it."""
    folder = os.path.join(mount, "cursors")
    os.mkdir(folder)
    made = run(programs, "--cursors", folder)
    if made.returncode != 0:
        fail(f"the cursor module: {made.stderr}")
    sizes, cursors = made.stdout.strip().split("\t")
    program = start_vexil(session, vexil, [os.path.join(folder, "cursors.dll")], mount, env)
    window = wait_for("the window on cursors.dll", lambda: window_named(f"Vexil - {folder}"))
    wait_for('the strip of cursors.dll', lambda: ui.status_texts() == ["1 / 1", "cursors.dll"])
    bar = ui.find(lambda a: ui.role(a) == "status bar")
    strip = bar.parent.getChildAtIndex(0) if bar else None
    if strip is None or strip.name != "ｱｲｺﾝ":
        fail("the icon strip is not on the accessibility bus")
    xdo("windowfocus", "--sync", window)
    sx, sy, _, _ = ui.extents(strip)
    click(sx + 17, sy + 17)  # the current cell: it gets the focus and stays current
    key("Return")
    caption = "ｱｲｺﾝの詳細 - cursors.dll MAINICON"
    details = wait_for(f'the window "{caption}"', lambda: window_named(caption))

    def items(list_name):
        found = ui.find(lambda a: ui.role(a) == "list" and a.name == list_name)
        return [found.getChildAtIndex(i).name for i in range(found.childCount)] if found else []

    shown = wait_for("the images listed", lambda: items("ｲﾒｰｼﾞ"))
    if sorted(n.split(",")[0] for n in shown) != sorted(sizes.split(",")):
        fail(f"the details window lists {shown}, the group holds {sizes}")
    if not any(", PNG, " in n for n in shown) or not all("ﾊﾞｲﾄ" in n for n in shown):
        fail(f"image labels without format or bytes: {shown}")
    print(f"details window: {len(shown)} images, {shown[0]!r} ... {shown[-1]!r}")

    xdo("windowfocus", "--sync", details)
    key("ctrl+plus")
    wait_for("zoom 2x", lambda: "拡大 2倍" in ui.names("label"))
    key("ctrl+minus")
    wait_for("zoom 1x", lambda: "拡大 1倍" in ui.names("label"))
    print("details window: Ctrl++ and Ctrl+- zoom")

    key("alt+c")
    listed = wait_for("the cursors listed", lambda: items("ｶｰｿﾙ"))
    if [n.split(",")[0] for n in listed] != cursors.split(","):
        fail(f"the cursors tab lists {listed}, the module holds {cursors}")
    print(f"details window: cursors {listed}")

    key("Escape")
    wait_for("the details window to close", lambda: not window_named(caption))
    xdo("windowfocus", "--sync", window)
    key("ctrl+q")
    wait_exit(program, "Ctrl+Q after the details window")


PORTAL_STUB = os.path.join(os.path.dirname(os.path.abspath(__file__)), "portal_stub.py")


def luminance(pixel):
    def channel(v):
        v /= 255
        return v / 12.92 if v <= 0.03928 else ((v + 0.055) / 1.055) ** 2.4
    return 0.2126 * channel(pixel >> 16 & 255) + 0.7152 * channel(pixel >> 8 & 255) + 0.0722 * channel(pixel & 255)


def contrast(a, b):
    la, lb = luminance(a), luminance(b)
    return (max(la, lb) + 0.05) / (min(la, lb) + 0.05)


def glyph_contrast(rows, x, y, w, h, background=None):
    """The background of a screen region and how well the glyph inside stands out. The
    background's colours (the region's corners unless given) may be a gradient (a button's
    face): a pixel whose luminance lies between theirs or that stands out less than 1.2:1
    from one of them is background. The glyph's outline are its pixels beside background;
    each counts with its least contrast against a background colour, and the median of
    those is the glyph's contrast."""
    region = [[p & 0xFFFFFF for p in row[x:x + w]] for row in rows[y:y + h]]
    colours = set(background or (region[0][0], region[0][-1], region[-1][0], region[-1][-1]))
    low, high = min(map(luminance, colours)), max(map(luminance, colours))

    def stands_out(p):
        return min(contrast(p, c) for c in colours) if not low <= luminance(p) <= high else 1.0
    glyph = [[stands_out(p) >= 1.2 for p in row] for row in region]
    outline = sorted(stands_out(region[j][i]) for j in range(h) for i in range(w)
                     if glyph[j][i] and any(0 <= i + di < w and 0 <= j + dj < h and not glyph[j + dj][i + di]
                                            for di, dj in ((1, 0), (-1, 0), (0, 1), (0, -1))))
    return max(colours, key=luminance), outline[len(outline) // 2] if outline else 0.0


def glyphs_on_screen(ui, framebuffer):
    """Each glyph's background and contrast as the screen shows them: the five toolbar
    buttons', the drive box's and the folder tree's
    node "art" (a region at their left end)."""
    _, _, rows = screen_pixels(framebuffer)
    found = {}
    for name in ("大きいアイコン", "小さいアイコン", "リスト", "明細", "検索ﾀｲﾌﾟの実行"):
        button = ui.find(lambda a: ui.role(a) in ("push button", "toggle button", "check box", "radio button") and a.name == name)
        if button is None:
            fail(f"the toolbar button {name} is not on the accessibility bus")
        x, y, w, h = ui.extents(button)
        # The face inside the frame and bevel; its colours from the column left of the glyph
        # (a checked button draws its glyph a pixel lower and to the right).
        face = [rows[j][x + 2] & 0xFFFFFF for j in range(y + 3, y + h - 3)]
        found[name] = glyph_contrast(rows, x + 3, y + 3, w - 6, h - 6, face)
    drives = ui.find(lambda a: ui.role(a) == "combo box" and a.name.startswith("/"))
    x, y, w, h = ui.extents(drives)
    found["drive box"] = glyph_contrast(rows, x + 3, y + 3, 20, h - 6)
    node = ui.find(lambda a: ui.role(a) == "table cell" and a.name == "art",
                   ui.find(lambda a: ui.role(a) == "tree" and a.name == "ﾌｫﾙﾀﾞ"))
    if node is None:
        fail("no folder tree node on the accessibility bus")
    x, y, w, h = ui.extents(node)
    found["folder " + node.name] = glyph_contrast(rows, x, y, 22, h)
    return found


def dark_run(session, ui, vexil, env, mount, framebuffer):
    """A desktop portal on the session bus that prefers dark: the window opens dark and its
    glyphs keep 3:1; the portal changing to light turns the window light, glyphs as sharp."""
    portal = session.start(["/usr/bin/python3", PORTAL_STUB, "1"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                           text=True)
    if portal.stdout.readline().strip() != "ready":
        fail("the stub portal did not start")
    program = start_vexil(session, vexil, [], mount, env)
    window = wait_for("the window", lambda: window_named(f"Vexil - {mount}/"))
    wait_for("the listing", lambda: ui.status_texts()[1:] == [""])

    for scheme, dark in (("prefer dark", True), ("prefer light", False)):
        def settled():
            found = glyphs_on_screen(ui, framebuffer)
            return found if all((luminance(bg) < 0.1) == dark for bg, _ in found.values()) else None
        found = wait_for(f"the {'dark' if dark else 'light'} palette", settled)
        weak = {name: round(c, 2) for name, (_, c) in found.items() if c < 3.0}
        if weak:
            fail(f"{scheme}: glyphs under 3:1 against their background: {weak}")
        print(f"{scheme}: " + ", ".join(f"{name} {c:.1f}:1 on #{bg:06x}" for name, (bg, c) in found.items()))
        if dark:
            portal.stdin.write("2\n")  # the portal's SettingChanged: the desktop now prefers light
            portal.stdin.flush()
    xdo("windowfocus", "--sync", window)
    key("ctrl+q")
    wait_exit(program, "Ctrl+Q after the colour schemes")
    portal.stdin.close()


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
        # For the runs with an argument: a directory with a program and an icon file.
        art = os.path.join(mount, "art")
        os.mkdir(art)
        shutil.copy(os.path.join(mount, "setup01.exe"), art)
        png = make_png(ICON_SIZE, ICON_SIZE, detail_pixel)
        with open(os.path.join(art, "detail.ico"), "wb") as f:
            f.write(make_ico(png))
        os.mkdir(os.path.join(mount, "usb"))
        with open(os.path.join(mount, "listed.png"), "wb") as f:  # a file the PNG save's dialog lists
            f.write(bytes(532))
        home = os.path.join(mount, "home")
        os.mkdir(home)
        fbdir = os.path.join(mount, "fb")
        os.mkdir(fbdir)

        start_display(session, fbdir)
        start_accessibility_bus(session)
        import pyatspi
        ui = Ui(pyatspi)

        runtime = os.path.join(mount, "run")
        os.mkdir(runtime, 0o700)
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", HOME=home,
                   XDG_CURRENT_DESKTOP="GNOME", XDG_RUNTIME_DIR=runtime)
        for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"):
            env.pop(name, None)
        first_run(session, ui, vexil, env, mount, {n: v for n, v in expected.items()})
        directory_run(session, ui, vexil, env, mount)
        file_run(session, ui, vexil, env, mount, os.path.join(fbdir, "Xvfb_screen0"), png)
        cursor_theme_run(session, ui, vexil, env, mount, programs)
        details_run(session, ui, vexil, programs, env, mount)
        dark_run(session, ui, vexil, env, mount, os.path.join(fbdir, "Xvfb_screen0"))

        # Nothing kept between runs: no settings, history or recently-used list; only the
        # icon set the user asked for.
        kept = [os.path.relpath(os.path.join(d, f), home) for d, _, files in os.walk(home) for f in files]
        kept = [f for f in kept if not (f.startswith(ICON_SET + "/") and f.endswith("/apps/smoke-icon.png"))]
        kept = [f for f in kept if not f.startswith(CURSOR_THEME + "/")]
        if kept:
            fail(f"vexil wrote under HOME: {kept}")
        print("HOME: nothing written but the icon set")
    finally:
        session.close()
        run("umount", os.path.join(mount, "usb"))
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
