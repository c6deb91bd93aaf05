#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Times the movie player as it shows on a real X display (Xvfb).

A frame counts when a screenshot of the display would show it: the script
reads the screen itself (XGetImage on the root window) every millisecond.

  playerbench.py --harness build-player/bench/playerharness [--runs 5] [--soak 1000]
  playerbench.py --program build-player/app [--runs 5] [--soak 1000] [--peer bench/peer]

Harness mode measures the player alone, on solid-colour movies: launch ->
window shown, launch -> first movie frame, selection -> new movie's first
frame, and the memory of all processes (PSS) before and after the soak.
Program mode does the same with the real program on a copy of its
application folder, selecting with the Down key, and also times the first
stroke pixels and a second start in the same folder. With --peer it runs, in
the same run, a page animating the same way in Chromium (see bench/peer.sh).
"""
import argparse
import ctypes
import os
import queue
import shutil
import signal
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
        self.xtest = ctypes.CDLL("libXtst.so.6")
        self.x.XStringToKeysym.restype = ctypes.c_ulong
        self.x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.xtest.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                 ctypes.c_ulong]
        self.x.XFlush.argtypes = [ctypes.c_void_p]

    def key(self, name):
        """Presses and releases the key; returns the monotonic ns at which it was sent."""
        code = self.x.XKeysymToKeycode(self.display, self.x.XStringToKeysym(name.encode()))
        sent = time.monotonic_ns()
        self.xtest.XTestFakeKeyEvent(self.display, code, 1, 0)
        self.xtest.XTestFakeKeyEvent(self.display, code, 0, 0)
        self.x.XFlush(self.display)
        return sent

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


CREAM = (255, 250, 238)


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

def window_origin(screen):
    """Top left corner of the one window on the black root, once it shows."""
    probe = [(x, y) for x in range(0, 640, 40) for y in range(0, 512, 40)]
    if wait_until(lambda: any(sum(screen.pixel(x, y)) > 60 for x, y in probe)) is None:
        raise RuntimeError("no window showed")
    shown = time.monotonic_ns()
    rows = screen.grab(0, 0, 1280, 1024)
    top = next(y for y, row in enumerate(rows) if max(row) > 60)
    left = min(next(x for x in range(1280) if max(row[x * 4:x * 4 + 3]) > 60)
               for row in rows[top:top + 531:8] if max(row) > 60)
    return shown, left, top


def first_strokes(screen, area, background, started, timeout=30):
    """Milliseconds from started until the area shows its background in a
    corner (it is painted) and a stroke inside (dark or strongly coloured)."""
    x, y, w, h = area
    seen = wait_until(lambda: near(screen.pixel(x + 5, y + 5), background, 3) and
                      screen.has_dark(x + 8, y + 8, w - 16, h - 16), timeout)
    return (seen - started) / 1e6 if seen else None


def cpu_percent(pid, seconds=10.0):
    """Share of one core that every process of pid used over the next seconds."""
    def ticks():
        total = 0
        for p in descendants(pid):
            try:
                with open("/proc/%d/stat" % p) as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                total += int(fields[11]) + int(fields[12])
            except (OSError, IndexError, ValueError):
                pass
        return total
    before, started = ticks(), time.monotonic()
    time.sleep(seconds)
    used = (ticks() - before) / os.sysconf("SC_CLK_TCK")
    return 100.0 * used / (time.monotonic() - started)


def memory_after(started_ns, pid, seconds=2.0):
    """PSS of every process of pid, seconds after started_ns."""
    time.sleep(max(0.0, started_ns / 1e9 + seconds - time.monotonic()))
    return pss_mb(pid)


def program_start(executable, screen, env):
    """Starts the program; its movies start on an empty writing grid on a
    cream background and then draw the character and its pinyin."""
    program = Program([executable], env)
    shown, left, top = window_origin(screen)
    result = {"window": (shown - program.started) / 1e6}
    area = (left + 112, top + 8, 577, 449)
    first = wait_until(lambda: near(screen.pixel(area[0] + 5, area[1] + 5), CREAM, 3), 30)
    result["first"] = (first - program.started) / 1e6 if first else None
    result["strokes"] = first_strokes(screen, area, CREAM, program.started)
    result["memory"] = memory_after(program.started + int((result["strokes"] or 0) * 1e6),
                                    program.process.pid)
    result["cpu"] = cpu_percent(program.process.pid)
    return program, area, result


def program_stop(program, result):
    result["exit"] = program.process.poll()
    # The end of the session, as a logout would end it.
    program.process.terminate()
    program.process.wait(10)
    result["stderr"] = program.stderr


def select_times(program, screen, area, env, selections):
    """Milliseconds from each Down key sent to the new movie's empty grid."""
    x, y, w, h = area

    def empty_grid():
        return near(screen.pixel(x + 5, y + 5), CREAM, 3) and not screen.has_dark(x, y, w, h)

    times = []
    for _ in range(selections):
        # The movie shown has drawn its character, so the next first frame
        # (an empty grid) can be told from it.
        if wait_until(lambda: screen.has_dark(x, y, w, h), 15, 0.05) is None:
            continue
        start = screen.key("Down")
        seen = wait_until(empty_grid, 10)
        if seen:
            times.append((seen - start) / 1e6)
    return times


def fallback_time(screen, area):
    """Milliseconds from a Down key to the first frame of a movie that only
    the web player plays (see make_fallback_movie)."""
    return select_times(None, screen, area, None, 1)


def make_fallback_movie(copy, steps):
    """Gives the character `steps` Down keys after the remembered one a movie
    with a tag the native player leaves to the web player: an unused video
    stream, which changes nothing on the screen. Returns the movie's path
    and its own bytes."""
    import zlib
    with open(os.path.join(copy, "hanzi.ini"), "rb") as f:
        characters = f.read().decode("gb18030").lstrip("\ufeff").splitlines()[0]
    with open(os.path.join(copy, "config.ini"), "rb") as f:
        remembered = f.read().decode("gb18030").lstrip("\ufeff").splitlines()[0]
    target = characters[characters.index(remembered) + steps]
    path = os.path.join(copy, "hanzi", target + ".haz")
    with open(path, "rb") as f:
        movie = f.read()
    body = movie[8:] if movie[:3] == b"FWS" else zlib.decompress(movie[8:])
    video = (60 << 6 | 10).to_bytes(2, "little") + bytes([0xF0, 0xFF, 1, 0, 1, 0, 1, 0, 0, 2])
    body = body[:-2] + video + body[-2:]
    header = b"FWS" + movie[3:4] + (len(body) + 8).to_bytes(4, "little")
    with open(path, "wb") as f:
        f.write(header + body)
    return path, movie


def soak_marks(program, screen, soak, pace):
    marks = {0: pss_mb(program.process.pid)}
    for k in range(1, soak + 1):
        screen.key("Down" if k % 2 else "Up")
        time.sleep(pace)
        if k % (soak // 4) == 0:
            time.sleep(2.0)
            marks[k] = pss_mb(program.process.pid)
    return marks


def program_run(app, screen, env, selections, soak, pace):
    """A cold start on a fresh copy of the application folder, then a second
    start in the same folder."""
    folder = tempfile.mkdtemp(prefix="zorvina-bench-")
    try:
        copy = os.path.join(folder, "app")
        shutil.copytree(app, copy, symlinks=True)
        executable = os.path.join(copy, "zorvina")
        fallback_path, original = make_fallback_movie(copy, selections + 1)
        program, area, result = program_start(executable, screen, env)
        result["selections"] = select_times(program, screen, area, env, selections)
        fallback = fallback_time(screen, area)
        result["fallback"] = fallback[0] if fallback else None
        result["fallback_memory"] = memory_after(time.monotonic_ns(), program.process.pid)
        if soak:
            result["soak"] = soak_marks(program, screen, soak, pace)
        program_stop(program, result)
        # The second start is on the same character, as its own movie again.
        with open(fallback_path, "wb") as f:
            f.write(original)
        program, area, second = program_start(executable, screen, env)
        program_stop(program, second)
        result["second"] = second
        return result
    finally:
        shutil.rmtree(folder, ignore_errors=True)

# --- the peer: a stroke-order page in Chromium --------------------------------

PEER_PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8">
<style>html, body { margin: 0; background: #fff; overflow: hidden; }
#writer { position: absolute; left: %(left)dpx; top: %(top)dpx; }</style>
<script src="%(library)s"></script></head>
<body><div id="writer"></div>
<script>
const character = %(data)s;
const writer = HanziWriter.create("writer", "\u5927", {
    width: %(size)d, height: %(size)d, padding: 5, showOutline: true,
    charDataLoader: (_, done) => done(character),
});
writer.loopCharacterAnimation();
</script></body></html>
"""

# The window of the same size as the program's, the character as large as
# the program's writing grid.
PEER_WINDOW = (701, 531)
PEER_WRITER = (126, 41, 449)


def peer_run(peer, screen, env):
    """The page animating 大 with Hanzi Writer in a fresh Chromium profile."""
    folder = tempfile.mkdtemp(prefix="zorvina-peer-")
    try:
        modules = os.path.join(peer, "node_modules")
        with open(os.path.join(modules, "hanzi-writer-data", "\u5927.json"), encoding="utf-8") as f:
            data = f.read()
        page = os.path.join(folder, "page.html")
        left, top, size = PEER_WRITER
        with open(page, "w", encoding="utf-8") as f:
            f.write(PEER_PAGE % {"left": left, "top": top, "size": size, "data": data,
                                 "library": "file://" + os.path.join(
                                     modules, "hanzi-writer", "dist", "hanzi-writer.min.js")})
        command = ["chromium", "--app=file://" + page, "--user-data-dir=" + os.path.join(folder, "profile"),
                   "--disable-gpu", "--no-first-run", "--no-default-browser-check",
                   "--window-position=0,0", "--window-size=%d,%d" % PEER_WINDOW]
        if os.geteuid() == 0:
            # --test-type keeps the bar warning of that flag off the page.
            command += ["--no-sandbox", "--test-type"]
        started = time.monotonic_ns()
        browser = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            _, wx, wy = window_origin(screen)
            result = {"strokes": first_strokes(screen, (wx + left, wy + top, size, size),
                                               (255, 255, 255), started)}
            result["memory"] = memory_after(started + int((result["strokes"] or 0) * 1e6),
                                            browser.pid)
            result["cpu"] = cpu_percent(browser.pid)
            return result
        finally:
            os.killpg(browser.pid, signal.SIGTERM)
            browser.wait(10)
    finally:
        shutil.rmtree(folder, ignore_errors=True)

# --- report -----------------------------------------------------------------

def spread(values, unit, digits=0):
    """Median (lowest-highest, n) of the values that were measured."""
    values = [v for v in values if v is not None]
    if not values:
        return "-"
    f = "%%.%df" % digits
    return (f + " %s (" + f + "-" + f + ", n=%d)") % (statistics.median(values), unit,
                                                     min(values), max(values), len(values))


def report_harness(runs):
    selections = [t for r in runs for t in r["selections"]]
    print("\nmedians over %d runs:" % len(runs))
    print("  launch -> window shown:        " + spread([r["window"] for r in runs], "ms"))
    print("  launch -> first movie frame:   " + spread([r["first"] for r in runs], "ms"))
    print("  selection -> new first frame:  " + spread(selections, "ms", 1))
    print("  memory (PSS, all processes):   " + spread([r["memory"] for r in runs], "MB"))
    print("  movieShown -> on screen:       " + spread([r["signal_to_screen"] for r in runs], "ms", 1))


def report_program(runs):
    second = [r["second"] for r in runs]
    peers = [r["peer"] for r in runs if "peer" in r]
    print("\n%d runs, median (lowest-highest, n):" % len(runs))
    for label, key, unit in (("launch -> window shown", "window", "ms"),
                             ("launch -> first movie frame", "first", "ms"),
                             ("launch -> first stroke pixels", "strokes", "ms"),
                             ("memory (PSS, all processes)", "memory", "MB"),
                             ("CPU while the lesson loops", "cpu", "%")):
        print("  %s" % label)
        print("    cold start:    " + spread([r[key] for r in runs], unit))
        print("    second start:  " + spread([r.get(key) for r in second], unit))
        if peers and key in peers[0]:
            print("    peer page:     " + spread([p[key] for p in peers], unit))
            ratios = [r[key] / r["peer"][key] for r in runs
                      if "peer" in r and r[key] and r["peer"][key]]
            print("    Zorvina / peer, cold, in each run: " + spread(ratios, "", 2))
    print("  key press -> first frame of a movie only the web player plays (its first start): " +
          spread([r.get("fallback") for r in runs], "ms"))
    print("  memory once the web player plays (PSS, all processes): " +
          spread([r.get("fallback_memory") for r in runs], "MB"))
    selections = sorted(t for r in runs for t in r["selections"])
    if selections:
        print("  key press -> new movie's first frame: " + spread(selections, "ms", 1) +
              ", 90th percentile %.1f ms" % selections[int(len(selections) * 0.9)])


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    mode = parser.add_mutually_exclusive_group(required=True)
    mode.add_argument("--harness", help="path of playerharness")
    mode.add_argument("--program", help="application folder holding zorvina")
    parser.add_argument("--peer", help="folder of the peer page's npm packages (program mode)")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--selections", type=int, default=20)
    parser.add_argument("--soak", type=int, default=1000,
                        help="selections of the memory soak (first run only; 0 = none)")
    parser.add_argument("--pace", type=float, default=0.08,
                        help="seconds between the soak's selections (program mode)")
    args = parser.parse_args()

    server, display = start_xvfb()
    try:
        screen = Screen(display)
        env = environment(display)
        runs = []
        for run in range(args.runs):
            soak = args.soak if run == 0 else 0
            load = os.getloadavg()[0]
            if args.harness:
                result = harness_run(os.path.abspath(args.harness), screen, env,
                                     args.selections, soak)
            else:
                result = program_run(args.program, screen, env, args.selections, soak, args.pace)
                if args.peer:
                    result["peer"] = peer_run(os.path.abspath(args.peer), screen, env)
            runs.append(result)
            print("run %d (load %.1f): window %.0f ms, first frame %.0f ms, strokes %.0f ms, "
                  "selection median %.1f ms, memory %.0f MB" % (
                      run + 1, load, result["window"], result["first"] or -1,
                      result.get("strokes") or -1,
                      statistics.median(result["selections"]) if result["selections"] else -1,
                      result["memory"]), flush=True)
            if "cpu" in result:
                print("  CPU while the lesson loops: %.1f %% of one core; first web-player movie "
                      "%.0f ms, then %.0f MB" % (result["cpu"], result.get("fallback") or -1,
                                                 result.get("fallback_memory") or -1))
            if "second" in result:
                print("  second start: window %.0f ms, first frame %.0f ms, strokes %.0f ms, "
                      "memory %.0f MB" % (result["second"]["window"], result["second"]["first"] or -1,
                                          result["second"]["strokes"] or -1,
                                          result["second"]["memory"]))
            if "peer" in result:
                print("  peer page: strokes %.0f ms, memory %.0f MB, CPU %.1f %%"
                      % (result["peer"]["strokes"] or -1, result["peer"]["memory"],
                         result["peer"]["cpu"]))
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
        if args.harness:
            report_harness(runs)
        else:
            report_program(runs)
        print("load average at the end: %.1f %.1f %.1f" % os.getloadavg())
    finally:
        server.terminate()
        server.wait()


if __name__ == "__main__":
    main()
