#!/usr/bin/python3
"""The window's Wayland app_id under sway's headless backend.

    sway.py VEXIL

Starts sway with no GPU and no input devices (WLR_BACKENDS=headless, WLR_RENDERER=pixman) in a
private runtime folder, opens vexil on it through Qt's Wayland plugin, and reads the window's
app_id from sway's tree (`swaymsg -t get_tree`): it must be the desktop entry's name,
org.vexil.vexil, so docks and task switchers match the window with its menu entry. sway will
not run as root: as root it runs as the user nobody, and vexil connects to it as root.

Exit status: 0 passed, 1 failed, 77 skipped (no sway, swaymsg or Qt Wayland plugin here).
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
TIMEOUT = 30.0
APP_ID = "org.vexil.vexil"


def skip(why):
    print(f"sway test skipped: {why}")
    sys.exit(SKIP)


def fail(why):
    print(f"sway test FAILED: {why}")
    sys.exit(1)


def windows(runtime):
    """(pid, app_id, name) of every window in sway's tree."""
    sockets = [f for f in os.listdir(runtime) if f.startswith("sway-ipc.")]
    if not sockets:
        return []
    env = dict(os.environ, SWAYSOCK=os.path.join(runtime, sockets[0]))
    got = subprocess.run(["swaymsg", "-t", "get_tree", "-r"], capture_output=True, text=True, env=env)
    if got.returncode != 0:
        return []
    found = []

    def walk(node):
        if node.get("pid"):
            found.append((node["pid"], node.get("app_id"), node.get("name")))
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            walk(child)
    walk(json.loads(got.stdout))
    return found


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        sys.exit(2)
    vexil = os.path.abspath(sys.argv[1])
    for tool in ("sway", "swaymsg"):
        if not shutil.which(tool):
            skip(f"{tool} is not installed")
    plugin = subprocess.run(["find", "/usr/lib", "-name", "libqwayland-generic.so", "-path", "*qt6*"],
                            capture_output=True, text=True).stdout.strip()
    if not plugin:
        skip("Qt's Wayland plugin (qt6-wayland) is not installed")

    runtime = tempfile.mkdtemp(prefix="vexil-sway-")
    config = os.path.join(runtime, "config")
    with open(config, "w") as f:
        f.write("output HEADLESS-1 resolution 1024x768\n")
    as_user = []
    if os.geteuid() == 0:
        os.chown(runtime, 65534, 65534)
        as_user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
    sway_env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": runtime, "XDG_RUNTIME_DIR": runtime,
                "WLR_BACKENDS": "headless", "WLR_RENDERER": "pixman", "WLR_LIBINPUT_NO_DEVICES": "1"}
    sway = subprocess.Popen(as_user + ["sway", "-c", config], env=sway_env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    program = None
    try:
        end = time.monotonic() + TIMEOUT
        while not os.path.exists(os.path.join(runtime, "wayland-1")):
            if sway.poll() is not None or time.monotonic() > end:
                skip(f"sway cannot start here: {sway.stderr.read() if sway.poll() is not None else 'timed out'}"[-400:])
            time.sleep(0.05)
        home = tempfile.mkdtemp(prefix="home-", dir=runtime)
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY="wayland-1", QT_QPA_PLATFORM="wayland", HOME=home)
        env.pop("DISPLAY", None)
        program = subprocess.Popen([vexil, runtime], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        mine = []
        while not mine:
            if program.poll() is not None:
                fail(f"vexil ended with status {program.returncode}: {program.stderr.read()}")
            if time.monotonic() > end:
                fail(f"no window of vexil in sway's tree: {windows(runtime)}")
            time.sleep(0.1)
            mine = [w for w in windows(runtime) if w[0] == program.pid]
        pid, app_id, name = mine[0]
        if app_id != APP_ID:
            fail(f"the window {name!r} has the app_id {app_id!r}, not {APP_ID}")
        print(f"sway headless: window {name!r}, app_id {app_id}")
    finally:
        for p in (program, sway):
            if p is not None and p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
        shutil.rmtree(runtime, ignore_errors=True)
    print("sway test passed")


if __name__ == "__main__":
    main()
