#!/usr/bin/env python3
"""Times the movie player as it shows on a real X display (Xvfb).

A frame counts when a screenshot of the display would show it: the script
reads the screen itself (XGetImage on the root window) every millisecond.

  playerbench.py --harness build-player/bench/playerharness [--runs 5] [--soak 1000]
  playerbench.py --program build-player/app [--runs 5] [--soak 1000]

Harness mode measures the player alone, on solid-colour movies: launch ->
window shown, launch -> first movie frame, selection -> new movie's first
frame, and the memory of all processes (PSS) before and after the soak.
Program mode does the same with the real program on a copy of its
application folder, selecting with the Down key.
"""
import argparse
import ctypes
import os
import queue
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

# --- the screen -------------------------------------------------------------

class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int),
                ("xoffset", ctypes.c_int), ("format", ctypes.c_int),
                ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


class Screen:
    def __init__(self, display):
        self.x = ctypes.CDLL("libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XGetImage.restype = ctypes.POINTER(XImage)
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                     ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        self.display = self.x.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError("cannot open display " + display)
        self.root = self.x.XDefaultRootWindow(self.display)

    def grab(self, x, y, w, h):
        """The pixels as rows of bytes, blue, green, red and one unused per pixel."""
        image = self.x.XGetImage(self.display, self.root, x, y, w, h, 0xFFFFFFFF, 2)
        if not image:
            raise RuntimeError("XGetImage failed")
        img = image.contents
        data = ctypes.string_at(img.data, img.bytes_per_line * h)
        bpl = img.bytes_per_line
        self.x.XFree(img.data)
        self.x.XFree(image)
        return [data[r * bpl:r * bpl + w * 4] for r in range(h)]

    def pixel(self, x, y):
        b, g, r = self.grab(x, y, 1, 1)[0][:3]
        return (r, g, b)

    def has_dark(self, x, y, w, h, stride=3):
        """Whether any sampled pixel of the region is dark or strongly coloured."""
        for row in self.grab(x, y, w, h)[::stride]:
            if min(row[1::4 * stride]) < 130 or min(row[2::4 * stride]) < 130:
                return True
        return False


def near(a, b, tolerance=8):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def wait_until(condition, timeout=30.0, interval=0.001):
    """Monotonic ns at which condition() first held, or None."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return time.monotonic_ns()
        time.sleep(interval)
    return None


def start_xvfb():
    for number in range(90, 200):
        if not os.path.exists("/tmp/.X11-unix/X%d" % number) and \
                not os.path.exists("/tmp/.X%d-lock" % number):
            break
    display = ":%d" % number
    server = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24", "-br",
                               "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    if wait_until(lambda: os.path.exists("/tmp/.X11-unix/X%d" % number), 10, 0.05) is None:
        raise RuntimeError("Xvfb did not start")
    return server, display

# --- the processes ----------------------------------------------------------

def descendants(pid):
    children = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % name) as f:
                stat = f.read()
        except OSError:
            continue
        ppid = int(stat[stat.rfind(")") + 2:].split()[1])
        children.setdefault(ppid, []).append(int(name))
    found, pending = [], [pid]
    while pending:
        p = pending.pop()
        found.append(p)
        pending.extend(children.get(p, []))
    return found


def pss_mb(pid):
    total = 0
    for p in descendants(pid):
        try:
            with open("/proc/%d/smaps_rollup" % p) as f:
                for line in f:
                    if line.startswith("Pss:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total / 1024.0


class Program:
    """A child process whose stdout lines are collected as they come."""

    def __init__(self, command, env):
        self.started = time.monotonic_ns()
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, env=env, text=True, bufsize=1)
        self.lines = queue.Queue()
        self.stderr = []
        threading.Thread(target=self._read, args=(self.process.stdout, self.lines.put),
                         daemon=True).start()
        threading.Thread(target=self._read, args=(self.process.stderr, self.stderr.append),
                         daemon=True).start()

    @staticmethod
    def _read(stream, sink):
        for line in stream:
            sink(line.rstrip("\n"))

    def expect(self, prefix, timeout=30.0):
        deadline = time.monotonic() + timeout
        while True:
            try:
                line = self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                raise RuntimeError("no '%s' line from the program" % prefix)
            if line.startswith(prefix):
                return line.split()

    def send(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def stop(self):
        try:
            self.process.stdin.close()
        except OSError:
            pass
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.terminate()
            self.process.wait(10)


def environment(display):
    env = dict(os.environ)
    env["DISPLAY"] = display
    for name in ("QT_QPA_PLATFORM", "QTWEBENGINE_CHROMIUM_FLAGS", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    # Chromium refuses its sandbox as root (as in this container).
    if os.geteuid() == 0:
        env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
    return env

# --- harness mode -----------------------------------------------------------

def harness_run(path, screen, env, selections, soak):
    program = Program([path], env)
    colours = {}
    while True:
        fields = program.expect("")
        if fields[0] == "colour":
            colours[int(fields[1])] = tuple(int(v) for v in fields[2:5])
        elif fields[0] == "area":
            ax, ay = int(fields[1]), int(fields[2])
            break
    centre = (ax + 288, ay + 224)
    # A point of the window outside the movie area, and the root is black.
    window_point = (ax - 112 + 50, ay - 8 + 500)
    result = {}
    shown = wait_until(lambda: sum(screen.pixel(*window_point)) > 300)
    result["window"] = (shown - program.started) / 1e6
    first = wait_until(lambda: near(screen.pixel(*centre), colours[0]))
    result["first"] = (first - program.started) / 1e6
    signal = int(program.expect("shown")[2])
    result["signal_to_screen"] = (first - signal) / 1e6
    time.sleep(1.0)
    result["memory"] = pss_mb(program.process.pid)

    times, current = [], 0
    for k in range(selections):
        previous = current
        current = 1 + k % (len(colours) - 1) if current == 0 else 0
        start = time.monotonic_ns()
        program.send("load %d" % current)
        seen_colours = []

        def new_movie_shown():
            colour = screen.pixel(*centre)
            seen_colours.append(colour)
            return near(colour, colours[current])
        seen = wait_until(new_movie_shown)
        # Anything but the old and the new movie in between is a flash.
        if any(not near(c, colours[previous]) and not near(c, colours[current])
               for c in seen_colours):
            result["flashes"] = result.get("flashes", 0) + 1
        program.expect("shown")
        times.append((seen - start) / 1e6)
        time.sleep(0.05)
    result["selections"] = times

    if soak:
        marks = {0: pss_mb(program.process.pid)}
        for k in range(1, soak + 1):
            program.send("load %d" % (k % len(colours)))
            program.expect("shown")
            if k % (soak // 4) == 0:
                time.sleep(1.0)
                marks[k] = pss_mb(program.process.pid)
        result["soak"] = marks
    program.stop()
    result["stderr"] = program.stderr
    return result

# --- program mode -----------------------------------------------------------

def program_run(app, screen, env, selections, soak):
    """The real program; its movies start on an empty writing grid on a cream
    background and then draw the character and its pinyin in dark colours."""
    cream = (255, 250, 238)
    folder = tempfile.mkdtemp(prefix="zorvina-bench-")
    try:
        copy = os.path.join(folder, "app")
        shutil.copytree(app, copy, symlinks=True)
        program = Program([os.path.join(copy, "zorvina")], env)
        # Anything but the black root in the top left quarter of the screen.
        probe = [(x, y) for x in range(0, 640, 40) for y in range(0, 512, 40)]
        shown = wait_until(lambda: any(sum(screen.pixel(x, y)) > 60 for x, y in probe))
        result = {"window": (shown - program.started) / 1e6}
        rows = screen.grab(0, 0, 1280, 1024)
        top = next(y for y, row in enumerate(rows) if max(row) > 60)
        left = min(next(x for x in range(1280) if max(row[x * 4:x * 4 + 3]) > 60)
                   for row in rows[top:top + 531:8] if max(row) > 60)
        ax, ay = left + 112, top + 8

        first = wait_until(lambda: near(screen.pixel(ax + 5, ay + 5), cream, 3), 30)
        result["first"] = (first - program.started) / 1e6 if first else None
        time.sleep(1.0)
        result["memory"] = pss_mb(program.process.pid)

        def empty_grid():
            return near(screen.pixel(ax + 5, ay + 5), cream, 3) and \
                not screen.has_dark(ax, ay, 577, 449)

        times = []
        for k in range(selections):
            # The movie shown has drawn its character, so the next first
            # frame (an empty grid) can be told from it.
            if wait_until(lambda: screen.has_dark(ax, ay, 577, 449), 15, 0.05) is None:
                continue
            start = time.monotonic_ns()
            subprocess.run(["xdotool", "key", "Down"], env=env, check=True)
            seen = wait_until(empty_grid, 10)
            if seen:
                times.append((seen - start) / 1e6)
        result["selections"] = times

        if soak:
            marks = {0: pss_mb(program.process.pid)}
            for k in range(1, soak + 1):
                subprocess.run(["xdotool", "key", "Down" if k % 2 else "Up"], env=env, check=True)
                # About the pace of a quick child: most movies get to start.
                time.sleep(0.08)
                if k % (soak // 4) == 0:
                    time.sleep(2.0)
                    marks[k] = pss_mb(program.process.pid)
            result["soak"] = marks
        result["exit"] = program.process.poll()
        program.process.terminate()
        program.process.wait(10)
        result["stderr"] = program.stderr
        return result
    finally:
        shutil.rmtree(folder, ignore_errors=True)

# --- report -----------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    mode = parser.add_mutually_exclusive_group(required=True)
    mode.add_argument("--harness", help="path of playerharness")
    mode.add_argument("--program", help="application folder holding zorvina")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--selections", type=int, default=20)
    parser.add_argument("--soak", type=int, default=1000,
                        help="selections of the memory soak (first run only; 0 = none)")
    args = parser.parse_args()

    server, display = start_xvfb()
    try:
        screen = Screen(display)
        env = environment(display)
        runs = []
        for run in range(args.runs):
            soak = args.soak if run == 0 else 0
            if args.harness:
                result = harness_run(os.path.abspath(args.harness), screen, env,
                                     args.selections, soak)
            else:
                result = program_run(args.program, screen, env, args.selections, soak)
            runs.append(result)
            print("run %d: window %.0f ms, first frame %.0f ms, selection median %.1f ms, "
                  "memory %.0f MB" % (run + 1, result["window"], result["first"] or -1,
                                      statistics.median(result["selections"]) if result["selections"] else -1,
                                      result["memory"]), flush=True)
            if result.get("flashes"):
                print("  %d selections showed something between the old and the new movie"
                      % result["flashes"])
            if "soak" in result:
                print("  memory over the soak (selections: MB): " +
                      ", ".join("%d: %.0f" % kv for kv in sorted(result["soak"].items())), flush=True)
            if result.get("exit") is not None:
                print("  the program ended by itself, exit code %s" % result["exit"])
            if result["stderr"]:
                print("  stderr: %d lines, first: %s" % (len(result["stderr"]), result["stderr"][0]))

        def median(key):
            values = [r[key] for r in runs if r.get(key) is not None]
            return statistics.median(values) if values else float("nan")
        selections = [t for r in runs for t in r["selections"]]
        print("\nmedians over %d runs:" % len(runs))
        print("  launch -> window shown:        %7.0f ms" % median("window"))
        print("  launch -> first movie frame:   %7.0f ms" % median("first"))
        if selections:
            print("  selection -> new first frame: %7.1f ms (%d selections, 90th percentile %.1f ms)"
                  % (statistics.median(selections), len(selections),
                     sorted(selections)[int(len(selections) * 0.9)]))
        print("  memory (PSS, all processes):   %7.0f MB" % median("memory"))
        if runs[0].get("signal_to_screen") is not None:
            print("  movieShown -> on screen:       %7.1f ms" % median("signal_to_screen"))
    finally:
        server.terminate()
        server.wait()


if __name__ == "__main__":
    main()
