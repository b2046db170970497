#!/usr/bin/env python3
"""Start-up time of the program on this machine: from starting the process until its main
window "Reef - Tools" is on the screen, on a private Xvfb display; RUNS runs of each build
after one that warms the caches, and their median. Builds: the native one (build/linux/
reef-tools, GTK) and the Windows one under Wine (build/windows/ReefTools.exe), the latter
once with its wineserver already running (as for every start but the first of a session)
and once with a cold wineserver. One X connection watches the screen the whole time, so
that the watching itself never stands in the program's way.

Usage: python3 bench/startup_time.py [RUNS]   (BUILDS="native" or "wine": one build only)
"""
import ctypes
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NATIVE = os.path.join(ROOT, "build", "linux", "reef-tools")
EXE = os.path.join(ROOT, "build", "windows", "ReefTools.exe")
TITLE = b"Reef - Tools"

xlib = ctypes.cdll.LoadLibrary("libX11.so.6")
xlib.XOpenDisplay.restype = ctypes.c_void_p
xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
xlib.XDefaultRootWindow.restype = ctypes.c_ulong
xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
xlib.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                            ctypes.POINTER(ctypes.c_ulong),
                            ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                            ctypes.POINTER(ctypes.c_uint)]
xlib.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
xlib.XFree.argtypes = [ctypes.c_void_p]
xlib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]


class WindowAttributes(ctypes.Structure):
    # Only the fields up to map_state are read; the rest is room.
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
                ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong), ("c_class", ctypes.c_int),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("rest", ctypes.c_long * 16)]


xlib.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                      ctypes.POINTER(WindowAttributes)]
IS_VIEWABLE = 2


def main_window_shown(display):
    root = xlib.XDefaultRootWindow(display)
    parent = ctypes.c_ulong()
    root_return = ctypes.c_ulong()
    children = ctypes.POINTER(ctypes.c_ulong)()
    count = ctypes.c_uint()
    if not xlib.XQueryTree(display, root, ctypes.byref(root_return), ctypes.byref(parent),
                           ctypes.byref(children), ctypes.byref(count)):
        return False
    found = False
    for i in range(count.value):
        name = ctypes.c_char_p()
        if xlib.XFetchName(display, children[i], ctypes.byref(name)) and name.value:
            if name.value == TITLE:
                attributes = WindowAttributes()
                xlib.XGetWindowAttributes(display, children[i], ctypes.byref(attributes))
                found = attributes.map_state == IS_VIEWABLE
            xlib.XFree(name)
        if found:
            break
    if count.value:
        xlib.XFree(children)
    return found


def time_start(display, command, workdir):
    """Milliseconds until the main window is on the screen; None after 60 s."""
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    start = time.monotonic()
    process = subprocess.Popen(command, cwd=workdir, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    shown = None
    while time.monotonic() - start < 60:
        if main_window_shown(display):
            shown = (time.monotonic() - start) * 1000
            break
        if process.poll() is not None:
            break
        time.sleep(0.002)
    process.terminate()
    process.wait()
    while main_window_shown(display):  # a Wine process may linger a moment
        time.sleep(0.02)
    return shown


def measure(display, label, command, before, runs, workdir):
    before()
    time_start(display, command, workdir)  # warms the caches
    times = []
    for _ in range(runs):
        before()
        shown = time_start(display, command, workdir)
        if shown is None:
            print(f"{label}: the main window did not appear")
            return
        times.append(shown)
    runs_text = " ".join(f"{t:.0f}" for t in times)
    print(f"{label:36} median {statistics.median(times):6.0f} ms   runs: {runs_text}")


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    builds = os.environ.get("BUILDS", "native wine").split()
    number = 140
    while os.path.exists(f"/tmp/.X{number}-lock") or os.path.exists(f"/tmp/.X11-unix/X{number}"):
        number += 1
    xvfb = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1280x1024x24", "-nolisten",
                             "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.environ.update({"DISPLAY": f":{number}",
                       "WINEPREFIX": os.path.join(ROOT, "build", "bench-wineprefix"),
                       "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="})
    work = tempfile.mkdtemp()
    try:
        display = None
        for _ in range(100):
            display = xlib.XOpenDisplay(f":{number}".encode())
            if display:
                break
            time.sleep(0.05)
        if not display:
            sys.exit("Xvfb did not start")
        run_dir = os.path.join(work, "run")
        if "native" in builds:
            if os.access(NATIVE, os.X_OK):
                measure(display, "native (GTK)", [NATIVE], lambda: None, runs, run_dir)
            else:
                print(f"no {NATIVE} (cmake --build --preset linux --target reef-tools)")
        if "wine" in builds:
            if not os.path.exists(EXE):
                print(f"no {EXE} (cmake --build --preset windows --target ReefTools)")
                return
            if not os.path.isdir(os.environ["WINEPREFIX"]):
                subprocess.run(["wineboot", "-i"], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
                subprocess.run(["wineserver", "-w"])
            subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v",
                            "Managed", "/t", "REG_SZ", "/d", "N", "/f"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"])

            def warm():
                subprocess.run(["wineserver", "-p"], stderr=subprocess.DEVNULL)

            def cold():
                subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
                subprocess.run(["wineserver", "-w"], stderr=subprocess.DEVNULL)

            measure(display, "Windows build, wineserver running", ["wine", EXE], warm, runs,
                    run_dir)
            measure(display, "Windows build, cold wineserver", ["wine", EXE], cold, runs,
                    run_dir)
    finally:
        if "wine" in builds:
            subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
