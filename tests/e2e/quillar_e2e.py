#!/usr/bin/python3
"""End-to-end tests of the real quillar binary, driven the way a fieldworker uses it.

Each test class starts its own X server (Xvfb) and its own PulseAudio server with a null sink
whose monitor is the default recording source, so a tone played into the sink is what Quillar
hears. Every test copies the built binary into a fresh folder with its own sys.ini (GB18030),
drives the window with xdotool and checks the files that come out with sox.

Usage: quillar_e2e.py [--tsan] /path/to/quillar [unittest arguments]

With --tsan the binary is a ThreadSanitizer build: each program writes its reports to its own
folder, with the libraries' own noise suppressed by tsan_libraries.supp beside this file, and a
test fails on any report its programs left.
"""

import array
import csv
import json
import math
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

QUILLAR = None  # path of the binary under test, from the command line
TSAN = False  # the binary is built with ThreadSanitizer: a report fails the test
TSAN_SUPPRESSIONS = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                 "tsan_libraries.supp")

# Where controls sit in the window's client area (centre points), from the window layout.
ITEM_LIST_FIRST_ROW = (60, 334)
BUTTON_RECORD = (394, 499)      # 按钮1
BUTTON_PAUSE = (570, 499)       # 按钮4
BUTTON_SET_FOLDER = (280, 210)  # 按钮_设置保存路径, 设置
BUTTON_CHOOSE_LIST = (280, 279) # 按钮_选择录音文本, 选择
FOLDER_BOX = (140, 210)         # 编辑框_保存路径
MONITOR_CHECKBOX = (186, 103)   # 选择框1
RATE_COMBO = (184, 72)          # 组合框2
WIDTH_COMBO = (132, 104)        # 组合框3
CURRENT_ITEM_BOX = (336, 27, 672, 245)  # 编辑框_当前录音文本: x, y, w, h
PENDING_NOTICE_EDGE = (345, 535, 3, 3)    # the left edge of 标签_暂存提示 over the spectrum
FIRST_ROW_MARK = (18, 326, 16, 16)        # the mark beside the item list's first row
PROGRESS_BAR = (424, 315, 512, 16)        # 进度条1: x, y, w, h

SINK = "quillar_e2e"


def wait_for(condition, timeout, what, interval=0.05):
    """Polls `condition` until it returns a true value or `timeout` seconds pass (three times as
    long for a ThreadSanitizer build, which runs several times slower)."""
    if TSAN:
        timeout *= 3
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def free_display():
    for n in range(90, 200):
        if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists("/tmp/.X%d-lock" % n):
            return n
    raise RuntimeError("no free X display number")


class Servers:
    """An Xvfb and a PulseAudio server private to one test class."""

    def __init__(self):
        self.tmp = tempfile.mkdtemp(prefix="quillar-e2e-")
        self.runtime = os.path.join(self.tmp, "runtime")
        os.makedirs(self.runtime, mode=0o700)
        self.display = ":%d" % free_display()
        self.env = dict(os.environ)
        self.env.update({
            "DISPLAY": self.display,
            "XDG_RUNTIME_DIR": self.runtime,
            "PULSE_RUNTIME_PATH": os.path.join(self.runtime, "pulse"),
            "PULSE_SERVER": "unix:" + os.path.join(self.runtime, "pulse", "native"),
            "HOME": self.tmp,
            "QT_QPA_PLATFORM": "xcb",
            "ASAN_OPTIONS": "detect_leaks=0",
        })
        self.env.pop("WAYLAND_DISPLAY", None)
        # -noreset: by default the server resets when its last client leaves, and refuses the
        # next program that connects meanwhile.
        self.xvfb = subprocess.Popen(
            ["Xvfb", self.display, "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # The socket file appears before the server accepts clients: ask the server itself.
        wait_for(lambda: subprocess.run(["xdpyinfo"], env=self.env, capture_output=True).returncode
                 == 0, 20, "Xvfb to accept clients", interval=0.1)
        self.start_pulse()

    def start_pulse(self):
        """Starts the PulseAudio server with the null sink and waits until its monitor answers."""
        subprocess.run(
            ["pulseaudio", "-n", "--daemonize=yes", "--exit-idle-time=-1", "--use-pid-file=yes",
             "-L", "module-native-protocol-unix auth-anonymous=1",
             "-L", "module-null-sink sink_name=%s rate=44100" % SINK],
            env=self.env, check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: self.pactl("info").returncode == 0, 20, "PulseAudio to answer")
        self.pactl("set-default-sink", SINK)
        self.pactl("set-default-source", SINK + ".monitor")
        # An idle null sink gives its monitor nothing, and once a first client plays into it the
        # monitor stays silent for up to two more seconds (measured: first data 1.7-1.8 s after
        # the player started; the sink renders in 2-second periods while idle). A recording made
        # then begins late by a varying amount, or only when its tone starts. Silence played from
        # the start, and a wait until the monitor answers promptly, make every recording begin at
        # its key press.
        with open("/dev/zero", "rb") as zero:
            self.keepalive = subprocess.Popen(
                ["pacat", "--playback", "--raw", "--format=s16le", "--rate=44100",
                 "--channels=2", "--latency-msec=20", "--device=" + SINK],
                stdin=zero, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(self.monitor_answers, 20, "the null sink's monitor to deliver")

    def monitor_answers(self):
        """True when a fresh recording of the monitor gets its first 50 ms within 0.2 s."""
        rec = subprocess.Popen(
            ["parec", "--raw", "--format=s16le", "--rate=44100", "--channels=2",
             "--latency-msec=20", "--device=" + SINK + ".monitor"],
            env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            got = 0
            deadline = time.monotonic() + 0.2
            while got < 44100 * 4 // 20:
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([rec.stdout], [], [], left)[0]:
                    return False
                chunk = os.read(rec.stdout.fileno(), 65536)
                if not chunk:
                    return False
                got += len(chunk)
            return True
        finally:
            rec.kill()
            rec.wait()
            rec.stdout.close()

    def pactl(self, *args):
        return subprocess.run(["pactl"] + list(args), env=self.env, capture_output=True, text=True)

    def playback_streams(self):
        """The sink's playback streams, the keep-alive left out."""
        out = self.pactl("list", "sink-inputs").stdout
        keepalive = 'application.process.id = "%d"' % self.keepalive.pid
        return [block for block in out.split("Sink Input #")[1:] if keepalive not in block]

    def sample_specs(self, pid, streams="sink-inputs"):
        """Sample formats of the playback streams of process `pid` (its recording streams with
        "source-outputs"), such as "s16le 2ch 44100Hz"."""
        out = self.pactl("list", streams).stdout
        owner = 'application.process.id = "%d"' % pid
        specs = []
        for block in re.split(r"^(?:Sink Input|Source Output) #", out, flags=re.M)[1:]:
            if owner in block:
                for line in block.splitlines():
                    if line.strip().startswith("Sample Specification:"):
                        specs.append(line.split(":", 1)[1].strip())
        return specs

    def second_sink(self, name):
        """A null sink beside the recorded one (made once), for what the program plays."""
        if name not in self.pactl("list", "short", "sinks").stdout:
            self.pactl("load-module", "module-null-sink", "sink_name=" + name, "rate=44100")
        return name

    def stream_of(self, pid):
        """The index of the first playback stream of process `pid`, or None."""
        out = self.pactl("list", "sink-inputs").stdout
        owner = 'application.process.id = "%d"' % pid
        for block in out.split("Sink Input #")[1:]:
            if owner in block:
                return block.split(None, 1)[0]
        return None

    def play_tone(self, path):
        """Plays a WAV file into the null sink with low latency and waits until it has played."""
        subprocess.run(["paplay", "--device=" + SINK, "--latency-msec=20", path],
                       env=self.env, check=True, timeout=30)

    def pulse_pid(self):
        with open(os.path.join(self.runtime, "pulse", "pid")) as f:
            return int(f.read().split()[0])

    def stop_pulse(self):
        """Ends the sound server the way a crash or a restart of the desktop's audio does."""
        subprocess.run(["pulseaudio", "--kill"], env=self.env, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: self.pactl("info").returncode != 0, 10, "PulseAudio to end")
        self.keepalive.kill()
        self.keepalive.wait()

    def close(self):
        self.keepalive.kill()
        self.keepalive.wait()
        subprocess.run(["pulseaudio", "--kill"], env=self.env, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.xvfb.terminate()
        try:
            self.xvfb.wait(10)
        except subprocess.TimeoutExpired:
            self.xvfb.kill()
        shutil.rmtree(self.tmp, ignore_errors=True)


# The recorder of old: no margins, the device opened at each take. Tests that try the margins or
# the input kept open say so.
WITHOUT_MARGINS = {"预录毫秒": 0, "延录毫秒": 0, "保持输入": 0}
PREROLL = 0.3  # seconds, where a test keeps the input open


def write_ini(path, folder, item_file, options=None):
    text = "[录音文档设置]\r\n自动保存路径=%s\r\n录音文本源文件=%s\r\n" % (folder, item_file)
    if options is None:
        options = WITHOUT_MARGINS
    if options:
        text += "[录音选项]\r\n" + "".join("%s=%s\r\n" % kv for kv in options.items())
    with open(path, "wb") as f:
        f.write(text.encode("gb18030"))


def riff_chunks(path):
    """{chunk id: its bytes} of a RIFF/WAVE file, walked by the RIFF rules alone."""
    with open(path, "rb") as f:
        data = f.read()
    chunks, at = {}, 12
    while at + 8 <= len(data):
        name, size = data[at:at + 4], int.from_bytes(data[at + 4:at + 8], "little")
        chunks[name] = data[at + 8:at + 8 + size]
        at += 8 + size + (size & 1)
    return chunks


def make_tone(path, seconds, freq, rate=44100):
    subprocess.run(["sox", "-n", "-r", str(rate), "-c", "2", "-b", "16", path,
                    "synth", str(seconds), "sine", str(freq), "vol", "0.5"], check=True)


def soxi(path, flag):
    return subprocess.run(["soxi", flag, path], capture_output=True, text=True,
                          check=True).stdout.strip()


def dominant_frequency(path, until=None):
    """Frequency of the loudest stretch of a WAV file (of its first `until` seconds), from zero
    crossings of its left channel."""
    trim = ["trim", "0", str(until)] if until is not None else []
    raw = subprocess.run(["sox", path, "-t", "raw", "-e", "signed", "-b", "16", "-c", "1",
                          "-r", "44100", "-", "remix", "1"] + trim,
                         capture_output=True, check=True).stdout
    samples = array.array("h")
    samples.frombytes(raw[: len(raw) // 2 * 2])
    loud = [i for i in range(len(samples)) if abs(samples[i]) > 3000]
    if not loud:
        return 0.0
    # The longest stretch without a quiet gap of more than 2 ms: a sine is near zero only for a
    # fraction of a millisecond, so a longer gap is the sound server's, and would pass for a
    # lower pitch.
    start = best_start = best_end = loud[0]
    for prev, cur in zip(loud, loud[1:]):
        if cur - prev > 88:
            start = cur
        elif cur - start > best_end - best_start:
            best_start, best_end = start, cur
    start, end = best_start, best_end
    if end - start < 4410:
        return 0.0
    crossings = sum(1 for i in range(start + 1, end)
                    if (samples[i - 1] < 0) != (samples[i] < 0))
    return crossings / 2.0 / ((end - start) / 44100.0)


def left_samples(path):
    """The left channel of a WAV file as 16-bit samples at 44100 Hz, read by sox."""
    raw = subprocess.run(["sox", path, "-t", "raw", "-e", "signed", "-b", "16", "-c", "1",
                          "-r", "44100", "-", "remix", "1"], capture_output=True, check=True).stdout
    samples = array.array("h")
    samples.frombytes(raw[: len(raw) // 2 * 2])
    return samples


def click_positions(path, threshold=8000):
    """Seconds from the start of a 16-bit WAV file at which a loud burst begins (bursts further
    apart than 50 ms count separately)."""
    samples = left_samples(path)
    starts = []
    last = -44100
    for i, v in enumerate(samples):
        if abs(v) > threshold:
            if i - last > 44100 // 20:
                starts.append(i / 44100.0)
            last = i
    return starts


def silence_after_sound(path, threshold=1000):
    """Seconds of quiet at the end of a 16-bit WAV file, after its last sample above
    `threshold`."""
    samples = left_samples(path)
    last = max((i for i, v in enumerate(samples) if abs(v) > threshold), default=-1)
    return (len(samples) - 1 - last) / 44100.0


def make_click(path, lead_seconds=0.0, tail_seconds=0.2):
    """`lead_seconds` of silence, then 10 ms of a loud 2 kHz tone, then `tail_seconds` of
    silence."""
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", path,
                    "synth", "0.01", "sine", "2000", "vol", "0.9",
                    "pad", str(lead_seconds), str(tail_seconds)], check=True)


def speak(path, word, voice):
    """`word` spoken by espeak-ng in `voice`, as the sink plays it: 44100 Hz, two channels,
    16 bits."""
    clean = path + ".espeak.wav"
    subprocess.run(["espeak-ng", "-v", voice, "-w", clean, word], check=True)
    subprocess.run(["sox", clean, "-r", "44100", "-c", "2", "-b", "16", path], check=True)


def frame_rms_dbfs(samples, frame):
    """The level of each whole or last partial run of `frame` samples, in dBFS (AC RMS)."""
    levels = []
    for at in range(0, len(samples), frame):
        part = samples[at:at + frame]
        mean = sum(part) / len(part)
        power = sum((v - mean) ** 2 for v in part) / len(part)
        levels.append(-1000.0 if power <= 0 else 10 * math.log10(power / 32768.0 ** 2))
    return levels


def speech_edges(samples, floor_dbfs=-50.0):
    """Seconds of the first and past the last 10 ms frame above `floor_dbfs`."""
    loud = [i for i, db in enumerate(frame_rms_dbfs(samples, 441)) if db > floor_dbfs]
    return loud[0] * 0.01, (loud[-1] + 1) * 0.01


def envelope(samples, hop=44):
    """Sum of magnitudes per 1 ms."""
    return [sum(abs(v) for v in samples[at:at + hop]) for at in range(0, len(samples), hop)]


def offset_of(word, take):
    """Seconds into `take` at which `word` begins, by cross-correlating their 1 ms envelopes."""
    w, t = envelope(word), envelope(take)
    best, best_at = None, 0
    for lag in range(0, max(1, len(t) - len(w) + 1)):
        score = sum(a * b for a, b in zip(w, t[lag:lag + len(w)]))
        if best is None or score > best:
            best, best_at = score, lag
    return best_at * 44 / 44100.0


def read_textgrid(path):
    """A long-text TextGrid: (xmin, xmax, [(tier name, [(xmin, xmax, text)])]), read by its
    own lines."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    assert lines[0] == 'File type = "ooTextFile"' and lines[1] == 'Object class = "TextGrid"'
    pair = re.compile(r'^\s*(\w+) = (.*?)\s*$')
    head, tiers, interval = {}, [], None
    for line in lines[2:]:
        if re.match(r"^\s*intervals \[\d+\]:", line):
            interval = [0.0, 0.0, None]
            tiers[-1][1].append(interval)
            continue
        m = pair.match(line)
        if not m:
            continue
        key, value = m.groups()
        if key == "name":
            tiers.append((value[1:-1].replace('""', '"'), []))
            interval = None
        elif interval is not None and key in ("xmin", "xmax"):
            interval[0 if key == "xmin" else 1] = float(value)
        elif interval is not None and key == "text":
            interval[2] = value[1:-1].replace('""', '"')
        elif not tiers and key in ("xmin", "xmax"):
            head[key] = float(value)
    return head["xmin"], head["xmax"], [(n, [tuple(i) for i in iv]) for n, iv in tiers]


def window_ping_ms(servers, window, timeout=5.0):
    """Sends the window manager's ping (_NET_WM_PING) to `window` and returns how long its answer
    took in ms, or None without an answer within `timeout` s."""
    from Xlib import X, display, protocol
    d = display.Display(servers.display)
    try:
        root = d.screen().root
        root.change_attributes(event_mask=X.SubstructureNotifyMask | X.SubstructureRedirectMask)
        protocols = d.intern_atom("WM_PROTOCOLS")
        ping = d.intern_atom("_NET_WM_PING")
        win = d.create_resource_object("window", int(window))
        token = int(time.monotonic() * 1000) & 0x7FFFFFFF
        event = protocol.event.ClientMessage(window=win, client_type=protocols,
                                             data=(32, [ping, token, int(window), 0, 0]))
        sent = time.monotonic()
        win.send_event(event, event_mask=X.NoEventMask)
        d.flush()
        while time.monotonic() - sent < timeout:
            while d.pending_events():
                e = d.next_event()
                if (e.type == X.ClientMessage and e.client_type == protocols
                        and e.data[1][0] == ping and e.data[1][1] == token):
                    return (time.monotonic() - sent) * 1000.0
            time.sleep(0.002)
        return None
    finally:
        root.change_attributes(event_mask=X.NoEventMask)
        d.close()


class Quillar:
    """One running copy of the program in its own folder."""

    def __init__(self, servers, items, item_encoding="gbk", folder_name="录音", options=None,
                 lang=None, item_file_name="词表.txt", session=None):
        self.servers = servers
        self.dir = tempfile.mkdtemp(prefix="app-", dir=servers.tmp)
        self.binary = os.path.join(self.dir, "quillar")
        shutil.copy2(QUILLAR, self.binary)
        self.folder = os.path.join(self.dir, folder_name)
        os.makedirs(self.folder)
        self.item_file = os.path.join(self.dir, item_file_name)
        with open(self.item_file, "wb") as f:
            f.write("\r\n".join(items).encode(item_encoding) + b"\r\n")
        write_ini(os.path.join(self.dir, "sys.ini"), self.folder, self.item_file, options)
        if session is not None:
            # Prepared before the trip, as a project does: the folder carries its session.
            with open(os.path.join(self.folder, "quillar-session.json"), "w",
                      encoding="utf-8") as f:
                json.dump(session, f, ensure_ascii=False)
        # Take journals of its own: a take another test left behind is not recovered here.
        self.state = os.path.join(self.dir, "state")
        self.env = dict(servers.env, XDG_STATE_HOME=self.state)
        # The desktop's language: by default none (C.UTF-8), which keeps the texts as written,
        # whatever the machine running the tests is set to.
        for name in ("LANGUAGE", "LC_ALL", "LC_MESSAGES"):
            self.env.pop(name, None)
        self.env["LANG"] = lang or "C.UTF-8"
        if TSAN:
            # Reports go to files of the program's own (tsan.<pid>), read by tsan_reports();
            # the exit code stays the program's, so a test's own checks of it still mean what
            # they say.
            self.env["TSAN_OPTIONS"] = ":".join([
                "log_path=" + os.path.join(self.dir, "tsan"), "exitcode=0",
                "suppressions=" + TSAN_SUPPRESSIONS, "second_deadlock_stack=1"])
        self.message_title = "Quillar" if lang and not lang.startswith("zh") else "系统提示"
        self.launch()

    def launch(self):
        """Starts the program in its folder and waits for its window."""
        self.log = open(os.path.join(self.dir, "quillar.log"), "ab")
        self.proc = subprocess.Popen([self.binary], cwd=self.servers.tmp, env=self.env,
                                     stdout=self.log, stderr=subprocess.STDOUT)
        out = wait_for(lambda: self.xdo("search", "--onlyvisible", "--name", "^Quillar").stdout.split(),
                       60, "the main window to be mapped", interval=0.2)
        self.window = out[0]
        self.xdo("windowfocus", "--sync", self.window)
        time.sleep(0.3)  # let the toolkit take the focus it was given

    def tsan_reports(self):
        """The ThreadSanitizer reports of every run of the program so far, in full."""
        reports = []
        for name in sorted(os.listdir(self.dir)):
            if name.startswith("tsan."):
                with open(os.path.join(self.dir, name), errors="replace") as f:
                    reports += [r.strip() for r in f.read().split("=" * 18)
                                if "WARNING: ThreadSanitizer" in r]
        return reports

    def capture_specs(self):
        """Sample formats of the program's recording streams on the sound server."""
        return self.servers.sample_specs(self.proc.pid, "source-outputs")

    def journals(self):
        """The files of the takes' journals: a take keeps one from its start until it is saved."""
        folder = os.path.join(self.state, "quillar")
        return os.listdir(folder) if os.path.isdir(folder) else []

    def xdo(self, *args):
        return subprocess.run(["xdotool"] + list(args), env=self.servers.env,
                              capture_output=True, text=True)

    def key(self, name):
        self.xdo("key", "--window", self.window, "--clearmodifiers", name)

    def click(self, point):
        self.xdo("mousemove", "--window", self.window, str(point[0]), str(point[1]))
        self.xdo("click", "1")

    def choose_combo(self, point, *keys):
        """Opens a combo box and picks the item the keys lead to: "Home" the first, "End" the
        last, "End", "Up" the one before it."""
        self.click(point)
        time.sleep(0.5)
        for key in keys:
            self.xdo("key", "--clearmodifiers", key)
        self.xdo("key", "--clearmodifiers", "Return")
        time.sleep(0.3)

    def screenshot(self, path, box=None):
        args = ["import", "-window", "root"]
        if box:
            args += ["-crop", "%dx%d+%d+%d" % (box[2], box[3], box[0], box[1])]
        subprocess.run(args + [path], env=self.servers.env, check=True)

    def wav(self, item):
        return os.path.join(self.folder, item + ".wav")

    def colours(self, box):
        """The (r, g, b) of every pixel of the window's `box` as the screen shows it now."""
        shot = os.path.join(self.dir, "colours.png")
        self.screenshot(shot, box)
        out = subprocess.run(["convert", shot, "-depth", "8", "txt:-"], capture_output=True,
                             text=True, check=True).stdout
        found = []
        for line in out.splitlines()[1:]:
            rgb = line.split("(", 1)[1].split(")", 1)[0].split(",")[:3]
            found.append(tuple(int(float(v)) for v in rgb))
        return found

    def shows(self, box, rgb, tolerance=24):
        return any(all(abs(a - b) <= tolerance for a, b in zip(c, rgb)) for c in self.colours(box))

    def answer_message_box(self):
        """Waits for the program's message box ("系统提示", "Quillar" in English) and answers it
        with Enter, as a fieldworker in the flow does; the item list has the keyboard again
        afterwards."""
        title = "^%s$" % self.message_title
        wait_for(lambda: self.xdo("search", "--onlyvisible", "--name", title).stdout.split(),
                 20, "the message box")
        time.sleep(0.3)
        self.xdo("key", "--clearmodifiers", "Return")
        wait_for(lambda: not self.xdo("search", "--onlyvisible", "--name",
                                      title).stdout.split(), 10, "the box to close")
        self.xdo("windowfocus", "--sync", self.window)
        time.sleep(0.3)

    def answer_file_dialog(self, path):
        """Waits for the program's file or folder dialog, types `path` into its name box and
        accepts it with Return, as a user who knows where the file is does; the main window has
        the desktop's focus again afterwards, as a window manager gives it back."""
        def dialogs():
            found = self.xdo("search", "--onlyvisible", "--pid", str(self.proc.pid)).stdout.split()
            return [w for w in found if w != self.window]

        dialog = wait_for(dialogs, 20, "the file dialog")[0]
        self.xdo("windowfocus", "--sync", dialog)
        time.sleep(0.5)  # the dialog lists its folder and puts the focus in its name box
        self.xdo("key", "--clearmodifiers", "ctrl+a")
        self.xdo("type", "--delay", "20", path)
        time.sleep(0.3)
        # The first Return may only close the name box's completion list.
        for _ in range(3):
            self.xdo("key", "--clearmodifiers", "Return")
            try:
                wait_for(lambda: not dialogs(), 3, "the file dialog to close")
                break
            except AssertionError:
                pass
        wait_for(lambda: not dialogs(), 1, "the file dialog to take %s" % path)
        self.xdo("windowfocus", "--sync", self.window)
        time.sleep(0.3)

    def take(self, tone):
        """Enter, a tone, Enter; returns the seconds from one key to the other."""
        self.key("Return")
        began = time.monotonic()
        time.sleep(0.3)
        self.servers.play_tone(tone)
        time.sleep(0.3)
        self.key("Return")
        return time.monotonic() - began

    def record_item(self, tone, item):
        """Enter, a tone, Enter; waits for the item's recording file."""
        path = self.wav(item)
        before = os.path.getmtime(path) if os.path.exists(path) else None
        self.take(tone)
        wait_for(lambda: os.path.exists(path) and os.path.getmtime(path) != before, 20,
                 "the recording of %s" % item)
        return path

    def close(self):
        """Closes the window the way a window manager does (WM_DELETE_WINDOW) and waits for the
        process to end; returns its exit code."""
        from Xlib import X, display, protocol
        d = display.Display(self.servers.display)
        win = d.create_resource_object("window", int(self.window))
        protocols = d.intern_atom("WM_PROTOCOLS")
        delete = d.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=win, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        # Under load the toolkit now and then drops the first close request of a window that is
        # otherwise idle (a person would click again); ask again every few seconds, as one would.
        try:
            for _ in range(6):
                win.send_event(event, event_mask=X.NoEventMask)
                d.flush()
                try:
                    return self.proc.wait(5)
                except subprocess.TimeoutExpired:
                    pass
            return self.proc.wait(1)
        finally:
            d.close()
            self.log.close()

    def kill(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGKILL)
            self.proc.wait()
        self.log.close()


class WorkingLoop(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.servers = Servers()
        cls.tone = os.path.join(cls.servers.tmp, "tone1k.wav")
        make_tone(cls.tone, 1.5, 1000)

    @classmethod
    def tearDownClass(cls):
        cls.servers.close()

    def start(self, items, **kw):
        app = Quillar(self.servers, items, **kw)
        if TSAN:
            self.addCleanup(self.assertNoThreadReports, app)  # after the kill below
        self.addCleanup(app.kill)
        return app

    def assertNoThreadReports(self, app):
        reports = app.tsan_reports()
        if reports:
            self.fail("ThreadSanitizer reported %d race(s) or misuse(s):\n\n%s"
                      % (len(reports), "\n\n".join(reports)))

    def start_with_input_open(self, items, postroll_ms=300):
        """Starts with the input kept open between takes, a 300 ms pre-roll and `postroll_ms`, and
        waits until the input has captured more than the pre-roll, so the first take has it all."""
        app = self.start(items, options={"预录毫秒": int(PREROLL * 1000),
                                         "延录毫秒": postroll_ms, "保持输入": 1})
        wait_for(app.capture_specs, 10, "the kept input")
        time.sleep(0.5)
        return app

    def assertTakeSpans(self, path, keys, postroll, delta=0.25):
        """The take runs from the pre-roll before its key to the post-roll after its stop, `keys`
        seconds later."""
        self.assertAlmostEqual(float(soxi(path, "-D")), PREROLL + keys + postroll, delta=delta)

    def test_start_up_restores_paths_and_records_items_from_the_keyboard(self):
        app = self.start(["爸爸", "妈妈", "太\t阳"])
        first = app.record_item(self.tone, "爸爸")
        self.assertEqual(soxi(first, "-r"), "44100")
        self.assertEqual(soxi(first, "-b"), "16")
        self.assertEqual(soxi(first, "-c"), "2")
        self.assertGreater(float(soxi(first, "-D")), 1.2)
        self.assertLess(float(soxi(first, "-D")), 4.0)
        self.assertAlmostEqual(dominant_frequency(first), 1000, delta=30)

        app.key("Down")
        second = app.record_item(self.tone, "妈妈")
        self.assertAlmostEqual(dominant_frequency(second), 1000, delta=30)

        app.key("Down")
        app.record_item(self.tone, "太阳")  # the TAB is left out of the file name
        self.assertEqual(app.close(), 0)
        leftovers = [n for n in os.listdir(app.folder)
                     if not n.endswith(".wav") and n != "quillar-log.csv"]
        self.assertEqual(leftovers, [], "half-written files left behind")

    def test_enter_records_right_after_choosing_the_word_list_and_the_folder(self):
        app = self.start(["甲"])
        second = os.path.join(app.dir, "second.txt")
        with open(second, "wb") as f:
            f.write("乙\r\n丙\r\n".encode("gbk"))
        app.click(BUTTON_CHOOSE_LIST)
        app.answer_file_dialog(second)
        app.record_item(self.tone, "乙")  # no click into the list first

        elsewhere = os.path.join(app.dir, "elsewhere")
        os.makedirs(elsewhere)
        app.click(BUTTON_SET_FOLDER)
        app.answer_file_dialog(elsewhere)
        app.folder = elsewhere
        path = app.record_item(self.tone, "乙")
        self.assertAlmostEqual(dominant_frequency(path), 1000, delta=30)
        self.assertEqual(app.close(), 0)

    def test_recording_an_item_again_keeps_the_first_take(self):
        app = self.start(["水"])
        path = app.record_item(self.tone, "水")
        with open(path, "rb") as f:
            first = f.read()
        low = os.path.join(self.servers.tmp, "tone440.wav")
        make_tone(low, 1.0, 440)
        app.record_item(low, "水")
        self.assertAlmostEqual(dominant_frequency(path), 440, delta=20)
        earlier = os.path.join(app.folder, "早前录音")
        names = os.listdir(earlier)
        self.assertEqual(len(names), 1, names)
        self.assertRegex(names[0], r"^水\.\d{8}-\d{6}\.wav$")
        with open(os.path.join(earlier, names[0]), "rb") as f:
            self.assertEqual(f.read(), first, "the first take is not byte-identical")
        self.assertEqual(sorted(os.listdir(app.folder)), ["quillar-log.csv", "早前录音", "水.wav"])
        self.assertEqual(app.close(), 0)

    def test_a_sound_server_that_dies_mid_take_is_noticed_and_the_take_kept(self):
        app = self.start(["火", "土"])
        long_tone = os.path.join(self.servers.tmp, "tone5s.wav")
        make_tone(long_tone, 5, 1000)
        player = subprocess.Popen(["paplay", "--device=" + SINK, "--latency-msec=20", long_tone],
                                  env=self.servers.env, stderr=subprocess.DEVNULL)
        app.key("Return")
        time.sleep(2.0)
        killed = time.monotonic()
        self.servers.stop_pulse()
        box = wait_for(lambda: app.xdo("search", "--onlyvisible", "--name", "^系统提示$")
                       .stdout.split(), 10, "the message box")
        self.assertLess(time.monotonic() - killed, 3.0, "the loss was noticed too late")
        player.wait(10)
        self.assertIsNone(app.proc.poll(), "the program ended")
        # Begun with Enter: saved as the next Enter would have, with what came before the loss.
        path = app.wav("火")
        wait_for(lambda: os.path.exists(path), 5, "the auto-saved take")
        seconds = float(soxi(path, "-D"))
        self.assertGreater(seconds, 1.5)
        self.assertLess(seconds, 3.0, "silence after the loss was kept")
        self.assertAlmostEqual(dominant_frequency(path), 1000, delta=30)
        app.xdo("key", "--window", box[0], "Escape")
        wait_for(lambda: not app.xdo("search", "--onlyvisible", "--name", "^系统提示$")
                 .stdout.split(), 10, "the message box to close")

        # The server comes back: the next take records without restarting the program.
        self.servers.start_pulse()
        app.xdo("windowfocus", "--sync", app.window)
        time.sleep(0.5)  # let the toolkit take the focus back from the closed box
        app.key("Down")
        second = app.record_item(self.tone, "土")
        self.assertAlmostEqual(dominant_frequency(second), 1000, delta=30)
        self.assertEqual(app.close(), 0)

    def test_a_take_killed_mid_way_is_recovered_at_the_next_start(self):
        app = self.start(["石"])
        long_tone = os.path.join(self.servers.tmp, "tone8s.wav")
        make_tone(long_tone, 8, 1000)
        player = subprocess.Popen(["paplay", "--device=" + SINK, "--latency-msec=20", long_tone],
                                  env=self.servers.env, stderr=subprocess.DEVNULL)
        app.key("Return")
        time.sleep(6.0)
        app.kill()
        player.wait(15)
        self.assertFalse([n for n in os.listdir(app.folder) if n.endswith(".wav")])

        app.launch()
        box = wait_for(lambda: app.xdo("search", "--onlyvisible", "--name", "^系统提示$")
                       .stdout.split(), 20, "the recovery message")
        names = [n for n in os.listdir(app.folder) if n.endswith(".wav")]
        self.assertEqual(len(names), 1, names)
        self.assertRegex(names[0], r"^石\.恢复-\d{8}-\d{6}(-\d+)?\.wav$")
        path = os.path.join(app.folder, names[0])
        self.assertGreaterEqual(float(soxi(path, "-D")), 5.0, "more than the last second was lost")
        self.assertAlmostEqual(dominant_frequency(path), 1000, delta=30)
        journals = os.path.join(app.state, "quillar")
        self.assertFalse([n for n in os.listdir(journals) if n.endswith(".wav")],
                         "the journal outlived its recovery")
        app.xdo("key", "--window", box[0], "Escape")
        wait_for(lambda: not app.xdo("search", "--onlyvisible", "--name", "^系统提示$")
                 .stdout.split(), 10, "the message box to close")
        self.assertEqual(app.close(), 0)

    def test_ctrl_plays_the_recording_and_the_next_item_ends_it(self):
        app = self.start(["风", "雨"])
        long_tone = os.path.join(self.servers.tmp, "tone8s.wav")
        make_tone(long_tone, 8, 440)
        app.record_item(long_tone, "风")
        wait_for(lambda: not self.servers.playback_streams(), 10, "no playback stream")
        app.key("ctrl")
        wait_for(lambda: self.servers.playback_streams(), 10, "a playback stream on the server")
        # While it plays, the window still repaints: the progress bar's own pixels change (its
        # filled part grows by about 32 pixels in half a second of an 8-second file).
        before = app.colours(PROGRESS_BAR)
        time.sleep(0.5)
        after = app.colours(PROGRESS_BAR)
        self.assertTrue(self.servers.playback_streams(), "playback ended too early to judge")
        self.assertNotEqual(len(set(before)), 1, "the progress bar is not shown")
        self.assertNotEqual(before, after, "the progress bar did not move during playback")
        # Moving on to the next item ends the playback of the one left behind, seconds before
        # its file would have played out.
        app.key("Down")
        wait_for(lambda: not self.servers.playback_streams(), 3,
                 "the playback stream to go with its item")
        self.assertEqual(app.close(), 0)

    def test_pause_leaves_the_paused_time_out_of_the_recording(self):
        app = self.start(["云"])
        one = os.path.join(self.servers.tmp, "tone1s.wav")
        make_tone(one, 1.0, 1000)
        path = app.wav("云")
        app.key("Return")
        time.sleep(0.2)
        self.servers.play_tone(one)
        app.click(BUTTON_PAUSE)
        time.sleep(0.2)
        self.servers.play_tone(one)  # not recorded
        self.servers.play_tone(one)  # not recorded
        app.click(BUTTON_PAUSE)
        self.servers.play_tone(one)
        app.click(ITEM_LIST_FIRST_ROW)
        app.key("Return")
        wait_for(lambda: os.path.exists(path), 20, "the recording")
        seconds = float(soxi(path, "-D"))
        self.assertGreater(seconds, 1.8)
        self.assertLess(seconds, 3.4, "paused time was recorded")
        self.assertEqual(app.close(), 0)

    def test_monitoring_plays_the_input_while_recording(self):
        app = self.start(["星"])
        app.click(MONITOR_CHECKBOX)
        # The monitoring stream goes to a sink of its own, so that what reaches that sink is what
        # monitoring played, and nothing else.
        heard = self.servers.second_sink("quillar_heard")
        stream = wait_for(lambda: self.servers.stream_of(app.proc.pid), 10,
                          "the armed monitoring stream")
        self.servers.pactl("move-sink-input", stream, heard)
        app.click(ITEM_LIST_FIRST_ROW)
        app.key("Return")
        out = os.path.join(app.dir, "heard.wav")
        rec = subprocess.Popen(["parecord", "--device=" + heard + ".monitor", "--rate=44100",
                                "--channels=2", "--format=s16le", "--file-format=wav", out],
                               env=self.servers.env)
        try:
            time.sleep(0.3)
            self.servers.play_tone(self.tone)
            time.sleep(0.5)
        finally:
            rec.send_signal(signal.SIGINT)
            rec.wait(10)
        self.assertAlmostEqual(dominant_frequency(out), 1000, delta=30,
                               msg="the monitored output does not carry the tone")
        app.key("Return")
        wait_for(lambda: os.path.exists(app.wav("星")), 20, "the recording")
        self.assertEqual(app.close(), 0)

    def test_monitoring_plays_in_the_recording_format(self):
        app = self.start(["雪"])
        pid = app.proc.pid
        app.click(MONITOR_CHECKBOX)  # armed at 16 Bit, the default width
        wait_for(lambda: self.servers.sample_specs(pid) == ["s16le 2ch 44100Hz"], 10,
                 "the armed 16-bit monitoring stream")
        app.choose_combo(WIDTH_COMBO, "End", "Up")  # 32 Bit, before "24 Bit"
        app.click(ITEM_LIST_FIRST_ROW)
        app.key("Return")
        # 16-bit bytes played as floats would be full-scale noise: the stream is made again.
        wait_for(lambda: self.servers.sample_specs(pid) == ["float32le 2ch 44100Hz"], 10,
                 "the monitoring stream in the recording's format")
        self.servers.play_tone(self.tone)
        self.assertEqual(self.servers.sample_specs(pid), ["float32le 2ch 44100Hz"])
        app.key("Return")
        wait_for(lambda: os.path.exists(app.wav("雪")), 20, "the recording")
        self.assertEqual(soxi(app.wav("雪"), "-b"), "32")
        self.assertEqual(self.servers.sample_specs(pid), ["float32le 2ch 44100Hz"],
                         "the stream outlives the recording while the box is ticked")
        self.assertEqual(app.close(), 0)

    def read_take_log(self, app, lines):
        """The take log's rows once it has `lines` of them (the line follows the take's file)."""
        import csv
        path = os.path.join(app.folder, "quillar-log.csv")

        def rows():
            if not os.path.exists(path):
                return None
            with open(path, "rb") as f:
                data = f.read()
            if not data:
                return None  # made a moment ago; its first line is being written
            self.assertTrue(data.startswith(b"\xef\xbb\xbf"), "the log has no UTF-8 signature")
            got = list(csv.reader(data.decode("utf-8-sig").splitlines()))
            return got if len(got) >= lines else None
        return wait_for(rows, 10, "%d lines in the take log" % lines)

    def test_take_log_resume_and_the_next_unrecorded_item(self):
        tone = os.path.join(self.servers.tmp, "tone500.wav")
        make_tone(tone, 1.0, 500)
        square = os.path.join(self.servers.tmp, "square300.wav")
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", square,
                        "synth", "1.0", "square", "300", "gain", "-n"], check=True)
        app = self.start(["一", "二", "三", "四", "五"])
        first = app.record_item(tone, "一")
        app.key("Down")
        second = app.record_item(square, "二")
        rows = self.read_take_log(app, 3)
        self.assertEqual(rows[0], ["time", "item", "file", "seconds", "rate", "bits", "channels",
                                   "peak_dbfs", "clipped", "device", "item_file", "replaced",
                                   "how", "noise_dbfs", "snr_db", "verdict", "problems",
                                   "id", "speaker", "site"])
        self.assertEqual(len(rows), 3, rows)
        for row, path, item, clipped in [(rows[1], first, "一", "no"),
                                         (rows[2], second, "二", "yes")]:
            self.assertEqual(row[1], item)
            self.assertEqual(row[2], item + ".wav")
            self.assertAlmostEqual(float(row[3]), float(soxi(path, "-D")), delta=0.0015)
            self.assertEqual(row[4:7], ["44100", "16", "2"])
            self.assertEqual(row[8], clipped)
            self.assertEqual(row[10], app.item_file)
            self.assertEqual(row[12], "enter")
        self.assertRegex(rows[1][0], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$")

        # Closed with the third item selected, the next start is there: Enter records it.
        app.key("Down")
        time.sleep(0.3)
        self.assertEqual(app.close(), 0)
        app.launch()
        app.record_item(tone, "三")
        self.assertFalse(os.path.exists(app.wav("四")))
        # From the first item, F3 passes over 二 and 三, which have recordings, to 四.
        app.key("Home")
        time.sleep(0.3)
        app.key("F3")
        time.sleep(0.3)
        app.record_item(tone, "四")
        self.assertEqual(len(self.read_take_log(app, 5)), 5)
        self.assertEqual(app.close(), 0)

    SURVEY_TABLE = ["编号,字,释义", "0001,多,many", "0003,大 ～小,big", "0015,磨,to grind",
                    "0016,磨,millstone", "0021,拖,to drag", "0022,\"坐, 住\",to sit"]
    SURVEY_SESSION = {"speaker": {"code": "老男", "name": "张三", "sex": "m",
                                  "birth_year": 1950, "languages": ["wuu"]},
                      "site": {"code": "HZ01", "place": "杭州"}, "fieldworker": "李四",
                      "consent": "given", "notes": "", "project": "kept as it is"}

    def record_survey(self, app, expected):
        """Records every row of the table, each with a tone of its own; returns {path: freq}."""
        tones = {}
        for row, (name, freq) in enumerate(expected):
            tone = os.path.join(self.servers.tmp, "tone%d.wav" % freq)
            make_tone(tone, 0.6, freq)
            if row:
                app.key("Down")
                time.sleep(0.2)
            path = os.path.join(app.folder, name)
            app.take(tone)
            wait_for(lambda: os.path.exists(path), 20, "the recording %s" % name)
            tones[path] = freq
        return tones

    def ffprobe_tags(self, path):
        out = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format_tags",
                              "-of", "json", path], capture_output=True, check=True).stdout
        return {k.lower(): v for k, v in json.loads(out)["format"].get("tags", {}).items()}

    def test_a_survey_table_is_recorded_by_id_under_speaker_and_list_with_its_session(self):
        options = {"预录毫秒": 0, "延录毫秒": 0, "保持输入": 0,
                   "文件名模板": "{speaker}/{list}/{id}{item}"}
        app = self.start(self.SURVEY_TABLE, item_encoding="utf-8", item_file_name="单字.csv",
                         options=options, session=self.SURVEY_SESSION)
        expected = [("老男/单字/0001多.wav", 500), ("老男/单字/0003大 ～小.wav", 600),
                    ("老男/单字/0015磨.wav", 700), ("老男/单字/0016磨.wav", 800),
                    ("老男/单字/0021拖.wav", 900), ("老男/单字/0022坐, 住.wav", 1000)]
        tones = self.record_survey(app, expected)
        # Each file holds its own take, the two 磨 two files.
        for path, freq in tones.items():
            self.assertAlmostEqual(dominant_frequency(path), freq, delta=30, msg=path)
            self.assertEqual(soxi(path, "-r"), "44100")
        tags = self.ffprobe_tags(os.path.join(app.folder, "老男/单字/0016磨.wav"))
        self.assertEqual(tags.get("title"), "磨")
        self.assertEqual(tags.get("artist"), "老男")
        self.assertIn("millstone", tags.get("comment", ""))
        self.assertEqual(tags.get("encoded_by"), "Quillar")  # bext's originator
        # ffprobe lets INFO's comment stand over bext's description: read the chunk itself.
        bext = riff_chunks(os.path.join(app.folder, "老男/单字/0016磨.wav"))[b"bext"]
        self.assertEqual(bext[:256].rstrip(b"\0").decode("utf-8"), "0016 磨")
        self.assertEqual(bext[256:288].rstrip(b"\0"), b"Quillar")
        # The take log of the subfolder names ids, speaker and site.
        with open(os.path.join(app.folder, "老男/单字/quillar-log.csv"), encoding="utf-8-sig") as f:
            log = list(csv.reader(f))
        self.assertEqual([r[17:20] for r in log[1:]],
                         [[i, "老男", "HZ01"] for i in ["0001", "0003", "0015", "0016", "0021",
                                                     "0022"]])
        # The session file is the project's: what Quillar does not know stays.
        with open(os.path.join(app.folder, "quillar-session.json"), encoding="utf-8") as f:
            self.assertEqual(json.load(f)["project"], "kept as it is")

        # Resume and F3 follow ids. Closed on the second 磨; the project adds a row at the top
        # of the table before the next start, which still opens on 0016 磨.
        for _ in range(2):
            app.key("Up")
        time.sleep(0.3)
        self.assertEqual(app.close(), 0)
        with open(app.item_file, "wb") as f:
            f.write("\r\n".join(self.SURVEY_TABLE[:1] + ["0000,一,one"] + self.SURVEY_TABLE[1:])
                    .encode("utf-8"))
        os.remove(os.path.join(app.folder, "老男/单字/0015磨.wav"))
        app.launch()
        tone = os.path.join(self.servers.tmp, "tone1200.wav")
        make_tone(tone, 0.6, 1200)
        sixteen = os.path.join(app.folder, "老男/单字/0016磨.wav")
        before = os.path.getmtime(sixteen)
        app.take(tone)
        wait_for(lambda: os.path.getmtime(sixteen) != before, 20, "0016 磨 recorded again")
        self.assertAlmostEqual(dominant_frequency(sixteen), 1200, delta=30)
        earlier = os.listdir(os.path.join(app.folder, "老男/单字/早前录音"))
        self.assertEqual(len(earlier), 1, earlier)
        # From 0001, F3 passes over the recorded items, the other 磨 among them, to 0015.
        app.key("Home")
        app.key("Down")
        time.sleep(0.3)
        app.key("F3")
        time.sleep(0.3)
        tone = os.path.join(self.servers.tmp, "tone1300.wav")
        make_tone(tone, 0.6, 1300)
        fifteen = os.path.join(app.folder, "老男/单字/0015磨.wav")
        app.take(tone)
        wait_for(lambda: os.path.exists(fifteen), 20, "the recording of 0015 磨 again")
        self.assertAlmostEqual(dominant_frequency(fifteen), 1300, delta=30)
        self.assertFalse(os.path.exists(os.path.join(app.folder, "老男/单字/0000一.wav")))
        self.assertEqual(app.close(), 0)

    def test_annotated_takes_mark_each_spoken_word_within_20_ms_and_export(self):
        words = [("妈妈", "cmn"), ("太阳", "cmn"), ("月亮", "cmn"),
                 ("water", "en"), ("window", "en"), ("morning", "en")]
        spoken = {}
        for n, (word, voice) in enumerate(words):
            spoken[word] = os.path.join(self.servers.tmp, "word%d.wav" % n)
            speak(spoken[word], word, voice)
        app = self.start([w for w, _ in words], options=dict(WITHOUT_MARGINS, 标注文件=1))
        takes = []
        for n, (word, _) in enumerate(words):
            if n:
                app.key("Down")
            takes.append(app.record_item(spoken[word], word))
        for (word, _), take in zip(words, takes):
            grid = take[:-len(".wav")] + ".TextGrid"
            wait_for(lambda: os.path.exists(grid), 10, "the TextGrid of %s" % word)
            seconds = float(soxi(take, "-D"))
            xmin, xmax, tiers = read_textgrid(grid)
            self.assertEqual([name for name, _ in tiers], ["item"], word)
            intervals = tiers[0][1]
            self.assertEqual((xmin, intervals[0][0]), (0.0, 0.0), word)
            self.assertAlmostEqual(xmax, seconds, delta=0.001, msg=word)
            self.assertAlmostEqual(intervals[-1][1], seconds, delta=0.001, msg=word)
            for before, after in zip(intervals, intervals[1:]):
                self.assertEqual(before[1], after[0], word)  # no gap, no overlap
            labelled = [i for i in intervals if i[2]]
            self.assertEqual([i[2] for i in labelled], [word])
            # Where the word lies in the take: its clean rendering's edges, placed by where the
            # rendering lies in the take, widened by the 20 ms margin within the take.
            clean = left_samples(spoken[word])
            begin, end = speech_edges(clean)
            at = offset_of(clean, left_samples(take))
            expected = (max(0.0, at + begin - 0.02), min(seconds, at + end + 0.02))
            print("%s: take %.3f s, word at %.3f, expected %.3f-%.3f, marked %.3f-%.3f"
                  % (word, seconds, at, expected[0], expected[1], labelled[0][0],
                     labelled[0][1]), file=sys.stderr)
            self.assertAlmostEqual(labelled[0][0], expected[0], delta=0.02, msg=word)
            self.assertAlmostEqual(labelled[0][1], expected[1], delta=0.02, msg=word)
        self.assertEqual(app.close(), 0)
        self.export_the_session(app, [w for w, _ in words], takes)

    def test_hands_free_takes_each_spoken_word_whole_and_stays_on_a_clipped_one(self):
        words = [("妈妈", "cmn"), ("太阳", "cmn"), ("月亮", "cmn"), ("石头", "cmn"),
                 ("water", "en"), ("window", "en"), ("morning", "en"), ("yellow", "en"),
                 ("river", "en")]
        tmp = self.servers.tmp
        spoken, parts = [], [os.path.join(tmp, "hf_lead.wav")]
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", parts[0],
                        "trim", "0", "1.5"], check=True)
        for n, (word, voice) in enumerate(words):
            path = os.path.join(tmp, "hf_word%d.wav" % n)
            speak(path, word, voice)
            spoken.append(path)
        # The ninth word comes twice: first 20 dB too loud (clipped), then as the others.
        loud = os.path.join(tmp, "hf_loud.wav")
        subprocess.run(["sox", spoken[8], loud, "gain", "20"], check=True)
        for n, path in enumerate(spoken[:8] + [loud, spoken[8]]):
            padded = os.path.join(tmp, "hf_part%d.wav" % n)
            subprocess.run(["sox", path, padded, "pad", "0", "1.5"], check=True)
            parts.append(padded)
        speech = os.path.join(tmp, "hf_speech.wav")
        subprocess.run(["sox"] + parts + [speech], check=True)
        # Room noise at -55 dBFS RMS under it all: white noise of amplitude a has RMS a / sqrt(3).
        noise = os.path.join(tmp, "hf_noise.wav")
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", noise, "synth",
                        soxi(speech, "-D"), "whitenoise", "vol",
                        "%.5f" % (10 ** (-55 / 20.0) * math.sqrt(3))], check=True)
        room = os.path.join(tmp, "hf_room.wav")
        subprocess.run(["sox", "-m", "-v", "1", speech, "-v", "1", noise, room], check=True)

        items = [w for w, _ in words]
        app = self.start(items, options={"预录毫秒": 300, "延录毫秒": 300, "保持输入": 1,
                                         "自动录音": 1})
        wait_for(app.capture_specs, 10, "the kept input")
        time.sleep(1.0)
        subprocess.run(["paplay", "--device=" + SINK, "--latency-msec=20", room],
                       env=self.servers.env, check=True, timeout=120)
        rows = self.read_take_log(app, 11)
        header = rows[0]
        log = [dict(zip(header, r)) for r in rows[1:]]
        self.assertEqual([r["how"] for r in log], ["auto"] * 10, log)
        self.assertEqual([r["item"] for r in log], items[:8] + [items[8], items[8]], log)
        self.assertEqual(log[8]["verdict"], "redo", log[8])
        self.assertIn("clipped", log[8]["problems"].split(";"), log[8])
        for n, (word, _) in enumerate(words):
            take = app.wav(word)
            problems = log[n if n < 8 else 9]["problems"].split(";")
            self.assertNotIn("cut_start", problems, word)
            self.assertNotIn("cut_end", problems, word)
            clean = left_samples(spoken[n])
            begin, end = speech_edges(clean)
            samples = left_samples(take)
            at = offset_of(clean, samples)
            seconds = float(soxi(take, "-D"))
            print("%s: take %.3f s, word at %.3f, its speech %.3f-%.3f"
                  % (word, seconds, at, at + begin, at + end), file=sys.stderr)
            # Its own word, whole, with at least 250 ms before its onset.
            self.assertGreaterEqual(at + begin, 0.25, word)
            self.assertLessEqual(at + end, seconds - 0.3, word)
            self.assertLess(seconds, end - begin + 0.3 + 0.8 + 0.3 + 0.4, word)
        self.assertEqual(app.close(), 0)

    def export_the_session(self, app, words, takes):
        """quillar-export over the folder just recorded: the session joined for Praat and ELAN,
        a lexicon for FLEx and a deposit, each read by a reader we did not write."""
        out = os.path.join(app.dir, "export")
        program = os.path.join(os.path.dirname(QUILLAR), "quillar-export")
        run = subprocess.run([program, app.folder, "--list", app.item_file,
                              "--session", os.path.join(out, "场次"),
                              "--lift", os.path.join(out, "lexicon.lift"),
                              "--deposit", os.path.join(out, "deposit"), "--collection", "qlr"],
                             capture_output=True, text=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        # The session: the takes one after the other, to the frame, and Praat finds each word
        # where its take's TextGrid marks it.
        session = os.path.join(out, "场次.wav")
        frames = [int(soxi(t, "-s")) for t in takes]
        self.assertEqual(int(soxi(session, "-s")), sum(frames))
        script = os.path.join(out, "starts.praat")
        with open(script, "w", encoding="utf-8") as f:
            f.write('tg = Read from file: "%s"\nn = Get number of intervals: 1\nfor i to n\n'
                    '  t$ = Get label of interval: 1, i\n  if t$ <> ""\n'
                    '    t0 = Get start time of interval: 1, i\n'
                    '    appendInfoLine: fixed$(t0, 6)\n  endif\nendfor\n'
                    % os.path.join(out, "场次.TextGrid"))
        praat = subprocess.run(["praat", "--run", script], capture_output=True, text=True,
                               timeout=60)
        starts = [float(x) for x in praat.stdout.split()]
        self.assertEqual(len(starts), len(words), praat.stdout + praat.stderr)
        at = 0
        for take, n, start in zip(takes, frames, starts):
            _, _, tiers = read_textgrid(take[:-len(".wav")] + ".TextGrid")
            own = [i for i in tiers[0][1] if i[2]][0][0]
            self.assertAlmostEqual(start, at / 44100 + own, delta=0.02, msg=take)
            at += n
        import xml.etree.ElementTree as ET
        eaf = ET.parse(os.path.join(out, "场次.eaf")).getroot()
        media = eaf.find("HEADER/MEDIA_DESCRIPTOR").get("RELATIVE_MEDIA_URL")
        self.assertTrue(os.path.exists(os.path.join(out, media)), media)
        self.assertEqual(len(eaf.findall("TIER[@TIER_ID='item']/ANNOTATION")), len(words))
        # The lexicon: an entry a word, each with its take beside it.
        lift = ET.parse(os.path.join(out, "lexicon.lift")).getroot()
        entries = lift.findall("entry")
        self.assertEqual([e.find("lexical-unit/form/text").text for e in entries], words)
        for e in entries:
            href = e.find("pronunciation/media").get("href")
            self.assertTrue(os.path.isfile(os.path.join(out, href)), href)
        # The deposit: a copy of each take under its archive name, with its TextGrid, and a sheet
        # whose checksums are sha256sum's.
        deposit = os.path.join(out, "deposit")
        with open(os.path.join(deposit, "metadata.csv"), encoding="utf-8-sig") as f:
            sheet = list(csv.DictReader(f))
        self.assertEqual([r["item"] for r in sheet], words)
        for row, take in zip(sheet, takes):
            self.assertRegex(row["file"], r"^QLR-[0-9]{4}\.wav$")
            copy = os.path.join(deposit, row["file"])
            digest = subprocess.run(["sha256sum", copy], capture_output=True, text=True,
                                    check=True).stdout.split()[0]
            self.assertEqual(row["sha256"], digest)
            with open(copy, "rb") as a, open(take, "rb") as b:
                self.assertEqual(a.read(), b.read(), row["file"])
            self.assertTrue(os.path.exists(copy[:-len(".wav")] + ".TextGrid"), row["file"])

    def test_archive_names_are_ascii_and_the_files_say_who_and_where(self):
        options = {"预录毫秒": 0, "延录毫秒": 0, "保持输入": 0, "文件名模板": "{speaker}-{id}",
                   "文件名仅ASCII": 1}
        session = dict(self.SURVEY_SESSION, speaker={"code": "S01", "languages": ["cmn"]})
        app = self.start(self.SURVEY_TABLE, item_encoding="utf-8", item_file_name="单字.csv",
                         options=options, session=session)
        expected = [("S01-0001.wav", 500), ("S01-0003.wav", 600), ("S01-0015.wav", 700),
                    ("S01-0016.wav", 800), ("S01-0021.wav", 900), ("S01-0022.wav", 1000)]
        tones = self.record_survey(app, expected)
        for path, freq in tones.items():
            self.assertAlmostEqual(dominant_frequency(path), freq, delta=30, msg=path)
            self.assertRegex(os.path.basename(path), r"^[A-Za-z0-9_-]+\.wav$")
        tags = self.ffprobe_tags(os.path.join(app.folder, "S01-0003.wav"))
        self.assertEqual(tags.get("title"), "大 ～小")
        self.assertEqual(tags.get("artist"), "S01")
        self.assertEqual(app.close(), 0)

    def mark_colour(self, app):
        """"red", "green" or None: the colour of the mark of the item list's first row."""
        out = subprocess.run(["import", "-window", app.window, "-crop", "24x16+16+%d"
                              % (ITEM_LIST_FIRST_ROW[1] - 8), "-depth", "8", "ppm:-"],
                             env=self.servers.env, capture_output=True, check=True).stdout
        # Binary PPM: "P6", width, height, maximum (255), then RGB triples.
        header = out.split(maxsplit=4)
        pixels = header[4]
        red = green = 0
        for i in range(0, len(pixels) - 2, 3):
            r, g, b = pixels[i], pixels[i + 1], pixels[i + 2]
            red += r > 180 and g < 60 and b < 60
            green += g > 130 and r < 40 and b < 100
        if max(red, green) < 6:
            return None
        return "red" if red > green else "green"

    def test_a_take_that_begins_inside_the_word_is_to_be_redone(self):
        tone = os.path.join(self.servers.tmp, "word.wav")
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", tone,
                        "synth", "1.5", "sine", "440", "vol", "0.25"], check=True)
        app = self.start(["一"])
        # Silence, the word, silence: good, and green.
        app.record_item(tone, "一")
        rows = self.read_take_log(app, 2)
        # verdict, problems, then the id, speaker and site a plain list without a session has not
        self.assertEqual(rows[1][15:], ["good", "", "", "", ""], rows[1])
        wait_for(lambda: self.mark_colour(app) == "green", 10, "a green mark")
        # The word already sounds when Enter is pressed, with no pre-roll to catch its onset.
        player = subprocess.Popen(["paplay", "--device=" + SINK, "--latency-msec=20", tone],
                                  env=self.servers.env)
        time.sleep(0.6)
        app.key("Return")
        player.wait(30)
        time.sleep(0.5)
        app.key("Return")
        rows = self.read_take_log(app, 3)
        self.assertEqual(rows[2][15], "redo", rows[2])
        self.assertIn("cut_start", rows[2][16].split(";"), rows[2])
        wait_for(lambda: self.mark_colour(app) == "red", 10, "a red mark")
        self.assertEqual(app.close(), 0)

    def test_a_take_belongs_to_the_item_it_began_on(self):
        app = self.start(["太阳", "月亮"])
        app.key("Return")
        time.sleep(0.3)
        self.servers.play_tone(self.tone)
        app.key("Down")  # the list answers during the take
        time.sleep(0.3)
        app.key("Return")
        wait_for(lambda: os.path.exists(app.wav("太阳")), 20, "the take of 太阳")
        time.sleep(0.5)
        self.assertFalse(os.path.exists(app.wav("月亮")))
        self.assertEqual(self.read_take_log(app, 2)[1][1], "太阳")
        self.assertEqual(app.close(), 0)

    def test_takes_wait_for_their_folder_and_save_themselves_when_it_is_back(self):
        tones = []
        for freq in (440, 660, 880):
            path = os.path.join(self.servers.tmp, "tone%d.wav" % freq)
            make_tone(path, 1.0, freq)
            tones.append(path)
        app = self.start(["一", "二", "三"])
        shutil.rmtree(app.folder)  # the stick is pulled
        app.take(tones[0])
        app.answer_message_box()
        app.key("Down")
        app.take(tones[1])
        app.answer_message_box()
        wait_for(lambda: app.shows(PENDING_NOTICE_EDGE, (192, 0, 0)), 10, "the pending notice")
        os.makedirs(app.folder)  # and put back
        app.key("Down")
        app.take(tones[2])
        wait_for(lambda: all(os.path.exists(app.wav(i)) for i in ("一", "二", "三")), 10,
                 "all three takes in the folder")
        for item, freq in (("一", 440), ("二", 660), ("三", 880)):
            self.assertAlmostEqual(dominant_frequency(app.wav(item)), freq, delta=20, msg=item)
        wait_for(lambda: not app.shows(PENDING_NOTICE_EDGE, (192, 0, 0)), 10,
                 "the pending notice to go")
        self.assertEqual([r[12] for r in self.read_take_log(app, 4)[1:]],
                         ["enter", "pending", "pending"])
        self.assertEqual(os.listdir(os.path.join(app.state, "quillar")), [])
        self.assertEqual(app.close(), 0)

    def test_an_english_session_writes_the_files_and_log_a_chinese_one_does(self):
        def session(lang):
            app = self.start(["水", "火"], lang=lang)
            title = app.xdo("getwindowname", app.window).stdout.strip()
            app.record_item(self.tone, "水")
            app.key("ctrl")  # plays the take just saved
            time.sleep(0.5)
            app.key("Down")
            shutil.rmtree(app.folder)  # the stick is pulled: the auto-save fails and says so
            app.take(self.tone)
            app.answer_message_box()
            os.makedirs(app.folder)  # and put back: the waiting take saves itself
            wait_for(lambda: os.path.exists(app.wav("火")), 15, "the waiting take")
            rows = self.read_take_log(app, 2)
            names = sorted(os.listdir(app.folder))
            self.assertEqual(app.close(), 0)
            return title, names, rows

        en_title, en_names, en_rows = session("en_US.UTF-8")
        zh_title, zh_names, zh_rows = session(None)
        self.assertTrue(en_title.startswith("Quillar V"), en_title)
        self.assertIsNone(re.search("[\u3000-\u9fff\uff00-\uffef]", en_title), en_title)
        self.assertIn("田野调查录音工具", zh_title)
        self.assertEqual(en_names, zh_names)
        self.assertEqual(en_names, ["quillar-log.csv", "火.wav"])
        self.assertEqual(en_rows[0], zh_rows[0], "the log's columns")
        # Item, file name, format and how each take was saved; times, levels and folders are the
        # session's own.
        def kept(rows):
            h = rows[0]
            return [[r[h.index("item")], os.path.basename(r[h.index("file")])]
                    + [r[h.index(c)] for c in ("rate", "bits", "channels", "how")] for r in rows[1:]]

        self.assertEqual(kept(en_rows), kept(zh_rows))
        self.assertEqual(kept(en_rows)[0][:2], ["火", "火.wav"])

    def test_an_item_longer_than_a_file_name_records_and_plays(self):
        item = "".join(chr(0x4E00 + i) for i in range(100))  # 300 bytes of UTF-8
        app = self.start([item], item_encoding="utf-8")
        app.take(self.tone)
        names = wait_for(lambda: [n for n in os.listdir(app.folder) if n.endswith(".wav")], 20,
                         "the take's file")
        self.assertEqual(len(names), 1)
        self.assertRegex(names[0], "^" + item[:10] + ".*~[0-9a-f]{8}\\.wav$")
        self.assertLessEqual(len(names[0].encode()), 255)
        self.assertEqual(self.read_take_log(app, 2)[1][1], item)  # the log keeps the whole item
        wait_for(lambda: app.shows(FIRST_ROW_MARK, (0, 160, 60)), 10, "the recorded mark")
        wait_for(lambda: not self.servers.playback_streams(), 10, "no playback stream")
        app.key("ctrl")
        wait_for(lambda: self.servers.playback_streams(), 10, "its playback with Ctrl")
        self.assertEqual(app.close(), 0)

    def test_other_formats_come_out_as_chosen(self):
        for combo_key, width_keys, rate, bits, encoding in [
            ("Home", ["Home"], "8000", "8", "Unsigned"),
            ("End", ["End", "Up"], "48000", "32", "Floating"),
        ]:
            with self.subTest(rate=rate, bits=bits):
                app = self.start(["月"])
                app.choose_combo(RATE_COMBO, combo_key)
                app.choose_combo(WIDTH_COMBO, *width_keys)
                app.click(ITEM_LIST_FIRST_ROW)
                path = app.record_item(self.tone, "月")
                self.assertEqual(soxi(path, "-r"), rate)
                self.assertEqual(soxi(path, "-b"), bits)
                self.assertIn(encoding, soxi(path, "-e"))
                self.assertEqual(app.close(), 0)

    def test_a_mono_24_bit_take_is_one_channel_of_24_bits(self):
        # The margins and the open input are left out, so that only the format is tested.
        app = self.start(["鱼"], options={"声道": 1, "保持输入": 0, "预录毫秒": 0, "延录毫秒": 0})
        pid = app.proc.pid
        app.choose_combo(WIDTH_COMBO, "End")  # 24 Bit
        app.click(MONITOR_CHECKBOX)
        wait_for(lambda: self.servers.sample_specs(pid) == ["s32le 1ch 44100Hz"], 10,
                 "the monitoring stream, 24-bit played as 32-bit, one channel")
        # Played into the recorded sink, monitoring would be recorded again and again, a loop
        # whose sum is no longer a clean tone; headphones are a sink of their own.
        self.servers.pactl("move-sink-input", self.servers.stream_of(pid),
                           self.servers.second_sink("quillar_heard"))
        app.click(ITEM_LIST_FIRST_ROW)
        path = app.record_item(self.tone, "鱼")
        self.assertEqual(soxi(path, "-c"), "1")
        self.assertEqual(soxi(path, "-b"), "24")
        self.assertEqual(soxi(path, "-r"), "44100")
        self.assertIn("Signed", soxi(path, "-e"))
        self.assertAlmostEqual(dominant_frequency(path), 1000, delta=30)
        row = self.read_take_log(app, 2)[1]
        self.assertEqual((row[5], row[6]), ("24", "1"))  # bits, channels
        self.assertEqual(app.close(), 0)

    def test_the_margins_catch_a_click_before_enter_and_after_the_stop(self):
        app = self.start_with_input_open(["点"])
        click = os.path.join(self.servers.tmp, "click.wav")
        make_click(click, tail_seconds=0.1)
        late_click = os.path.join(self.servers.tmp, "late_click.wav")
        make_click(late_click, 0.15)
        # The key once the click has been played out: it sounded at least the file's 100 ms of
        # tail before the key, however long the player took to start on a busy machine.
        subprocess.run(["paplay", "--device=" + SINK, "--latency-msec=20", click],
                       env=self.servers.env, check=True)
        app.key("Return")
        time.sleep(1.0)
        # A click 150 ms after the stopping key is still in the take.
        player = subprocess.Popen(["paplay", "--device=" + SINK, "--latency-msec=20", late_click],
                                  env=self.servers.env)
        app.key("Return")
        player.wait(10)
        path = app.wav("点")
        wait_for(lambda: os.path.exists(path), 20, "the take")
        seconds = float(soxi(path, "-D"))
        clicks = click_positions(path)
        self.assertEqual(len(clicks), 2, (clicks, seconds))
        self.assertLess(clicks[0], 0.25, "the click before Enter is near the take's start")
        self.assertGreater(seconds - clicks[1], 0.0)
        self.assertLess(seconds - clicks[1], 0.3, "the click after the stop is near its end")
        self.assertGreater(seconds, 0.3 + 1.0 + 0.2)
        self.assertEqual(app.close(), 0)

    def test_a_stalled_sound_server_freezes_nothing_and_the_take_goes_on(self):
        app = self.start_with_input_open(["停", "顿"])
        long_tone = os.path.join(self.servers.tmp, "tone12s.wav")
        make_tone(long_tone, 12, 1000)
        player = subprocess.Popen(["paplay", "--device=" + SINK, "--latency-msec=20", long_tone],
                                  env=self.servers.env, stderr=subprocess.DEVNULL)
        app.key("Return")
        time.sleep(2.0)
        pid = self.servers.pulse_pid()
        pings = []
        os.kill(pid, signal.SIGSTOP)
        try:
            stopped = time.monotonic()
            while time.monotonic() - stopped < 5.0:
                pings.append(window_ping_ms(self.servers, app.window, timeout=2.0))
                time.sleep(0.2)
        finally:
            os.kill(pid, signal.SIGCONT)
        self.assertTrue(all(p is not None and p < 300 for p in pings), pings)
        time.sleep(2.0)
        app.key("Return")
        path = app.wav("停")
        wait_for(lambda: os.path.exists(path), 20, "the take after the stall")
        player.kill()
        player.wait()
        seconds = float(soxi(path, "-D"))
        self.assertGreater(seconds, 3.5, "audio from before and after the stall")
        # The tone is there after the stall: the last second of the take is not silence.
        tail = os.path.join(app.dir, "tail.wav")
        subprocess.run(["sox", path, tail, "trim", str(seconds - 1.0)], check=True)
        self.assertAlmostEqual(dominant_frequency(tail), 1000, delta=30)

        # While idle: Ctrl (a playback to open), Down (the playback to close) and an Enter
        # pressed during a stall: the window answers, and one take starts at once.
        time.sleep(0.5)
        os.kill(pid, signal.SIGSTOP)
        try:
            app.key("ctrl")
            pings = [window_ping_ms(self.servers, app.window, timeout=2.0)]
            app.key("Down")
            app.key("Return")
            pings.append(window_ping_ms(self.servers, app.window, timeout=2.0))
            time.sleep(2.0)
            pings.append(window_ping_ms(self.servers, app.window, timeout=2.0))
        finally:
            os.kill(pid, signal.SIGCONT)
        self.assertTrue(all(p is not None and p < 300 for p in pings), pings)
        self.servers.play_tone(self.tone)
        app.key("Return")
        second = app.wav("顿")
        wait_for(lambda: os.path.exists(second), 20, "the take begun during the stall")
        self.assertAlmostEqual(dominant_frequency(second), 1000, delta=30)
        self.assertEqual(app.close(), 0)

    def test_takes_at_an_ordinary_pace_keep_a_long_post_roll_each(self):
        items = [("词1", 400), ("词2", 600), ("词3", 800)]
        tones = {}
        for _, freq in items:
            tones[freq] = os.path.join(self.servers.tmp, "tone%d_half.wav" % freq)
            make_tone(tones[freq], 0.5, freq)
        app = self.start_with_input_open([item for item, _ in items], postroll_ms=1500)
        spans = []
        for n, (_, freq) in enumerate(items):
            if n:
                app.key("Down")  # in the post-roll of the take before; Enter follows at once
            spans.append(app.take(tones[freq]))
        for (item, freq), keys in zip(items, spans):
            path = app.wav(item)
            with self.subTest(item=item):
                wait_for(lambda: os.path.exists(path), 10, "the take")
                self.assertTakeSpans(path, keys, 1.5)
                # The next item's tone sounds in this one's post-roll: its own is between its keys.
                self.assertAlmostEqual(dominant_frequency(path, until=PREROLL + keys), freq,
                                       delta=20)
        wait_for(lambda: not app.journals(), 5, "no take left underway")
        self.assertEqual(len(self.read_take_log(app, 4)), 4)
        self.assertEqual(app.close(), 0)

    def test_the_record_button_in_a_post_roll_leaves_the_closing_take_to_its_item(self):
        low = os.path.join(self.servers.tmp, "tone440.wav")
        make_tone(low, 1.0, 440)
        high = os.path.join(self.servers.tmp, "tone880.wav")
        make_tone(high, 1.0, 880)
        app = self.start_with_input_open(["甲", "乙"], postroll_ms=1000)
        keys = app.take(low)
        stopped = time.monotonic()
        app.key("Down")
        app.click(BUTTON_RECORD)
        self.assertLess(time.monotonic() - stopped, 1.0, "按钮1 came after the post-roll")
        # Well past 甲's post-roll, however late a busy machine delivered the keys: the second
        # tone is the 按钮1 take's alone.
        time.sleep(1.6)
        self.servers.play_tone(high)
        app.click(BUTTON_RECORD)
        path = app.wav("甲")
        wait_for(lambda: os.path.exists(path), 10, "the take of 甲")
        time.sleep(1.5)  # the 按钮1 take closes: it is the user's to save, not 乙's
        self.assertAlmostEqual(dominant_frequency(path), 440, delta=20)
        # Its whole post-roll after the tone (0.3 s to the stopping Enter, then 1 s), counted from
        # the tone in the file rather than from the keys on the test's clock: a busy machine may
        # hand the window its first Enter late, which moves the take's start, not its end.
        self.assertGreater(silence_after_sound(path), 0.3 + 1.0 - 0.25,
                           "the 按钮1 take cut the closing take's post-roll")
        self.assertLess(float(soxi(path, "-D")), PREROLL + keys + 1.0 + 0.25)
        self.assertEqual(sorted(os.listdir(app.folder)), ["quillar-log.csv", "甲.wav"])

    def test_a_folder_set_in_a_post_roll_is_the_next_takes_not_the_closing_ones(self):
        app = self.start_with_input_open(["甲", "乙"], postroll_ms=1500)
        old = app.folder
        new = os.path.join(app.dir, "next")
        os.makedirs(new)
        keys = app.take(self.tone)
        stopped = time.monotonic()
        app.click(FOLDER_BOX)
        app.xdo("key", "--clearmodifiers", "ctrl+a")
        app.xdo("type", "--delay", "5", new)
        app.xdo("key", "--clearmodifiers", "Return")  # hands the keys back to the list
        self.assertLess(time.monotonic() - stopped, 1.2, "the folder was set after the post-roll")
        path = os.path.join(old, "甲.wav")
        wait_for(lambda: os.path.exists(path), 10, "the take of 甲 in the folder it began in")
        self.assertTakeSpans(path, keys, 1.5)
        self.assertAlmostEqual(dominant_frequency(path), 1000, delta=30)
        app.folder = new
        app.key("Down")
        app.record_item(self.tone, "乙")
        self.read_take_log(app, 2)
        self.assertEqual(sorted(os.listdir(old)), ["quillar-log.csv", "甲.wav"])
        self.assertEqual(sorted(os.listdir(new)), ["quillar-log.csv", "乙.wav"])
        self.assertEqual(app.close(), 0)

    def test_closing_in_a_post_roll_saves_the_take_with_all_of_it(self):
        tone = os.path.join(self.servers.tmp, "tone1s.wav")
        make_tone(tone, 1.0, 1000)
        late_click = os.path.join(self.servers.tmp, "click_late.wav")
        make_click(late_click, 1.2)
        app = self.start_with_input_open(["甲"], postroll_ms=2000)
        keys = app.take(tone)
        # Sounds well into the post-roll, while the window is closing.
        player = subprocess.Popen(["paplay", "--device=" + SINK, "--latency-msec=20", late_click],
                                  env=self.servers.env)
        self.assertEqual(app.close(), 0)
        player.wait(10)
        path = app.wav("甲")
        self.assertTrue(os.path.exists(path), "the closing take was not saved")
        self.assertTakeSpans(path, keys, 2.0, delta=0.3)
        self.assertAlmostEqual(dominant_frequency(path), 1000, delta=30)
        bursts = click_positions(path)  # the tone's start, then the click
        self.assertEqual(len(bursts), 2, bursts)
        self.assertGreater(bursts[1], PREROLL + keys + 1.0, "the click is not in the post-roll")

    def test_rate_and_width_changed_over_and_over_reopen_the_input_in_the_last(self):
        app = self.start_with_input_open(["格"])
        # Its list opened and closed again, the box keeps the keyboard: each arrow key chooses the
        # next item at once, and Tab and Shift+Tab go between the rate and the width.
        app.click(RATE_COMBO)
        time.sleep(0.5)
        app.xdo("key", "--clearmodifiers", "Escape")
        time.sleep(0.3)
        for n in range(24):
            step = "Up" if n % 2 == 0 else "Down"  # 32000 Hz and 8 Bit, then back
            app.xdo("key", "--clearmodifiers", step, "Tab", step, "shift+Tab")
            time.sleep(0.04 * (n % 3))  # some changes while the reopening before is underway
        app.xdo("key", "--clearmodifiers", "End", "Tab", "End")  # 48000 Hz, 24 Bit
        wait_for(lambda: app.capture_specs() == ["s32le 2ch 48000Hz"], 10,
                 "one input, in the last format")
        self.assertIsNone(app.proc.poll(), "the program ended")
        app.click(ITEM_LIST_FIRST_ROW)
        path = app.record_item(self.tone, "格")
        self.assertEqual((soxi(path, "-r"), soxi(path, "-b")), ("48000", "24"))
        self.assertIn("Signed", soxi(path, "-e"))
        self.assertAlmostEqual(dominant_frequency(path), 1000, delta=30)
        self.assertEqual(app.close(), 0)


if __name__ == "__main__":
    if sys.argv[1] == "--tsan":
        sys.argv.pop(1)
        TSAN = True
    QUILLAR = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
