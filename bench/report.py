#!/usr/bin/python3
"""Runs Quillar's benchmarks and whole-program measurements and prints one table of every figure
against its target, as Markdown.

Usage: report.py <build-dir with bench/*_bench and quillar> [--seconds N]
                 [--whole-program-only | --save-latency-only]
"""

import argparse
import ctypes
import json
import os
import platform
import random
import shutil
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import quillar_e2e  # noqa: E402  (the private X and sound servers of the end-to-end tests)

US, MS = 1e-6, 1e-3

# (figure, program, benchmark name, target in seconds, how the figure is read)
MICRO = [
    ("Capture block append, 100 ms of 44100 Hz 16-bit, a 5 s take", "record_bench",
     "BM_AppendBlock/bytes:17640/heap:0/take_blocks:50", 10 * US),
    ("Capture block append, 100 ms of 48000 Hz 32-bit, a 10 min take", "record_bench",
     "BM_AppendBlock/bytes:38400/heap:0/take_blocks:6000", 10 * US),
    ("24-bit capture: a 1024-frame stereo device chunk packed from SDL's 32-bit samples",
     "audio_engine_bench", "BM_PackChunkTo24Bit/pack:1", 10 * US),
    ("A take's line appended to a 50,000-line take log (6.5 MB), flushed", "record_bench",
     "BM_AppendTakeLog/50000/iterations:200", 5 * MS),
    ("WAV image at stop, 10 min of 48000 Hz 32-bit (220 MiB)", "record_bench",
     "BM_WavImageAtStop/iterations:5/manual_time", 1 * MS),
    ("Spectrum frame, wave picture (engine to board)", "live_display_bench", "BM_Frame/wave",
     50 * US),
    ("Spectrum frame, bar picture with its FFT (engine to board)", "live_display_bench",
     "BM_Frame/bar", 50 * US),
    ("Level meter look every 50 ms: 48000 Hz stereo read, peaks and noise floor, drawn",
     "level_meter_bench", "BM_MeterTick", 100 * US),
    ("Waveform of a 1 s recording", "waveform_bench", "BM_ShowWaveform/1/0/real_time", 10 * MS),
    ("Waveform of a 60 min recording", "waveform_bench", "BM_ShowWaveform/3600/0/real_time",
     10 * MS),
    ("100,000-line UTF-8 item file into the list, first item shown", "items_bench",
     "BM_LoadItemFileUtf8", 150 * MS),
    ("100,000-line GBK item file into the list, first item shown", "items_bench",
     "BM_LoadItemFileGbk", 150 * MS),
    ("Down key through a 100,000-item list", "items_bench", "BM_KeyDownThroughTheList", 16 * MS),
    ("100,000-item list over 50,000 recordings and their take log, first item shown",
     "items_bench", "BM_LoadItemFileWithRecordingsFirstItem", 150 * MS),
    ("The same list, first item and every mark", "items_bench", "BM_LoadItemFileWithRecordings",
     300 * MS),
    ("Marking that list again alone (one folder listing, the take log)", "items_bench",
     "BM_RefreshItemMarks", 300 * MS),
    ("A 10 s take judged, 44100 Hz 16-bit stereo", "quality_bench", "BM_JudgeTenSecondTake/1",
     20 * MS),
    ("A 10 s take judged, 44100 Hz 32-bit float stereo", "quality_bench",
     "BM_JudgeTenSecondTake/4", 20 * MS),
    ("Judgement left at the stop of a 60 min take (48000 Hz float, fed while recording)",
     "quality_bench", "BM_JudgeAtStopOfOneHourTake", 20 * MS),
    ("A 50 MB word list (1.2 million items): the longest turn of the window's event loop while it "
     "loads", "items_bench", "BM_VeryLargeListLongestTurn/iterations:3/manual_time", 100 * MS),
    ("A 100,000-row table checked at load against {speaker}/{list}/{id:4}{item}", "naming_bench",
     "BM_CheckTableSubfolders", 300 * MS),
    ("The same against {speaker}-{id}, ASCII names, on a FAT stick's rules", "naming_bench",
     "BM_CheckTableArchiveAsciiOnFat", 300 * MS),
]


# Programs whose figures swing with the page cache and the disk: the median of three runs.
REPEATED = {"record_bench": 3}


def run_bench(build, program, cache):
    if program not in cache:
        out = tempfile.mktemp(suffix=".json")
        args = [os.path.join(build, "bench", program), "--benchmark_out=" + out,
                "--benchmark_out_format=json"]
        if program in REPEATED:
            args.append("--benchmark_repetitions=%d" % REPEATED[program])
        subprocess.run(args, check=True, stdout=subprocess.DEVNULL)
        with open(out) as f:
            runs = json.load(f)["benchmarks"]
        by_name = {}
        for b in runs:
            if b.get("run_type") == "aggregate":
                if b.get("aggregate_name") == "median":
                    by_name[b["run_name"]] = b
            else:
                by_name.setdefault(b.get("run_name", b["name"]), b)
        cache[program] = by_name
        os.unlink(out)
    return cache[program]


def seconds_of(b, field):
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b.get("time_unit", "ns")]
    return b[field] * scale


def fmt(seconds):
    if seconds < 1e-3:
        return "%.2f µs" % (seconds / US)
    if seconds < 1:
        return "%.2f ms" % (seconds / MS)
    return "%.2f s" % seconds


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return (int(fields[11]) + int(fields[12])) / ticks  # utime + stime


def thread_cpu(pid):
    """CPU seconds so far of each thread of a process, summed by thread name."""
    ticks = os.sysconf("SC_CLK_TCK")
    by_name = {}
    for tid in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/stat" % (pid, tid)) as f:
                text = f.read()
        except OSError:
            continue  # ended meanwhile
        name = text[text.index("(") + 1:text.rindex(")")]
        fields = text.rsplit(")", 1)[1].split()
        by_name[name] = by_name.get(name, 0) + (int(fields[11]) + int(fields[12])) / ticks
    return by_name


def measure(pid, seconds):
    """Share of a core over `seconds`: the whole process and by thread name."""
    before, threads_before = cpu_seconds(pid), thread_cpu(pid)
    time.sleep(seconds)
    after, threads_after = cpu_seconds(pid), thread_cpu(pid)
    threads = {name: (threads_after[name] - threads_before.get(name, 0)) / seconds
               for name in threads_after}
    return (after - before) / seconds, threads


def by_thread(threads):
    busy = sorted(((share, name) for name, share in threads.items() if share >= 0.0005),
                  reverse=True)
    return ", ".join("%s %.2f %%" % (name, share * 100) for share, name in busy) or "none"


def whole_program(build, window_seconds):
    """Start-up time to a mapped window (median of 5) and CPU use idle and while recording, with
    monitoring off and on, against parecord with the same 100 ms capture block on the same
    source in the same run."""
    quillar_e2e.QUILLAR = os.path.join(build, "quillar")
    servers = quillar_e2e.Servers()
    rows = []
    try:
        startups = []
        for _ in range(5):
            app_dir = tempfile.mkdtemp(dir=servers.tmp)
            binary = os.path.join(app_dir, "quillar")
            shutil.copy2(quillar_e2e.QUILLAR, binary)
            began = time.monotonic()
            proc = subprocess.Popen([binary], env=servers.env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            quillar_e2e.wait_for(
                lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Quillar"],
                                       env=servers.env, capture_output=True).returncode == 0,
                60, "the window", interval=0.01)
            startups.append(time.monotonic() - began)
            proc.kill()
            proc.wait()
        startups.sort()
        rows.append(("Start-up to a mapped window (median of 5)", startups[2], 1.0, "s"))

        loaded = servers.pactl("load-module", "module-null-sink", "sink_name=headphones")
        if loaded.returncode != 0:
            raise RuntimeError("pactl load-module module-null-sink: %s" % loaded.stderr)
        tone = os.path.join(servers.tmp, "tone.wav")
        quillar_e2e.make_tone(tone, 2 * window_seconds + 10, 1000)
        player = subprocess.Popen(["paplay", "--device=" + quillar_e2e.SINK,
                                   "--latency-msec=20", tone], env=servers.env)
        try:
            # The same source captured by the sound server's own command-line recorder with the
            # same 100 ms capture block: the floor that any recorder on this machine pays.
            recorder = subprocess.Popen(["parecord", "--latency-msec=100", "--file-format=wav",
                                         os.path.join(servers.tmp, "parecord.wav")],
                                        env=servers.env)
            try:
                time.sleep(2)
                floor, _ = measure(recorder.pid, window_seconds / 2)
            finally:
                recorder.kill()
                recorder.wait()
            # The program's own defaults: the input kept open between takes, both margins.
            app = quillar_e2e.Quillar(servers, ["测试", "测试2"], options={})
            try:
                time.sleep(2)
                idle, idle_threads = measure(app.proc.pid, window_seconds / 2)
                app.key("Return")
                time.sleep(2)
                off, off_threads = measure(app.proc.pid, window_seconds / 2)
                app.key("Return")
                time.sleep(1)
                app.click(quillar_e2e.MONITOR_CHECKBOX)
                app.click(quillar_e2e.ITEM_LIST_FIRST_ROW)  # Enter acts in the item list
                time.sleep(0.5)
                app.key("Return")
                # Into headphones, as a fieldworker hears it: not back into the recorded source,
                # where it would be recorded again and again.
                route_monitoring(servers, "headphones")
                time.sleep(2)
                on, on_threads = measure(app.proc.pid, window_seconds / 2)
                app.key("Return")
            finally:
                app.kill()
        finally:
            player.kill()
            player.wait()
        rows.append(("CPU while idle, window open, input kept open, meter running (%d s; %s)"
                     % (window_seconds / 2, by_thread(idle_threads)), idle, floor + 0.01, "%"))
        rows.append(("CPU of parecord --latency-msec=100 capturing the same tone (%d s)"
                     % (window_seconds / 2), floor, None, "%"))
        rows.append(("CPU while recording a tone, window open, spectrum running, journal on, "
                     "monitoring off (%d s; %s)" % (window_seconds / 2, by_thread(off_threads)),
                     off, 2 * floor + 0.01, "%"))
        rows.append(("The same with monitoring on (%d s; %s)"
                     % (window_seconds / 2, by_thread(on_threads)), on, 2 * floor + 0.01, "%"))
    finally:
        servers.close()
    rows.append(("Monitoring latency: a click at the source to the same click in the monitoring "
                 "output (median of 5)", monitoring_latency(build), 0.030, "s"))
    return rows


class RenamesInto:
    """Times the files renamed into a folder, as the kernel tells of them (inotify IN_MOVED_TO),
    from a thread of its own that does nothing else, so a file is timed when it appears; and the
    files made there (IN_CREATE), such as a save's temporary file."""

    IN_CREATE = 0x100
    IN_MOVED_TO = 0x80
    EVENT_HEAD = 16  # struct inotify_event: wd, mask, cookie, len; then the name

    def __init__(self, folder):
        libc = ctypes.CDLL(None, use_errno=True)
        self.fd = libc.inotify_init1(os.O_CLOEXEC)
        if self.fd < 0 or libc.inotify_add_watch(self.fd, os.fsencode(folder),
                                                 self.IN_MOVED_TO | self.IN_CREATE) < 0:
            raise OSError(ctypes.get_errno(), "inotify on %s" % folder)
        self.stop_read, self.stop_write = os.pipe()
        self.arrived = {}  # file name -> time.monotonic() of its rename
        self.created = []  # time.monotonic() of each file made, in order
        self.changed = threading.Condition()
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        import select
        while True:
            ready = select.select([self.fd, self.stop_read], [], [])[0]
            now = time.monotonic()
            if self.stop_read in ready:
                return
            data = os.read(self.fd, 65536)
            at = 0
            while at + self.EVENT_HEAD <= len(data):
                mask = int.from_bytes(data[at + 4:at + 8], sys.byteorder)
                length = int.from_bytes(data[at + 12:at + 16], sys.byteorder)
                name = data[at + self.EVENT_HEAD:at + self.EVENT_HEAD + length].rstrip(b"\0")
                at += self.EVENT_HEAD + length
                with self.changed:
                    if mask & self.IN_CREATE:
                        self.created.append(now)
                    else:
                        self.arrived.setdefault(os.fsdecode(name), now)
                    self.changed.notify_all()

    def wait(self, name, timeout):
        """The moment `name` was renamed into the folder; waits up to `timeout` s for it."""
        with self.changed:
            if not self.changed.wait_for(lambda: name in self.arrived, timeout):
                raise AssertionError("%s did not appear within %.0f s" % (name, timeout))
            return self.arrived[name]

    def made_before(self, moment):
        """The last moment a file was made in the folder before `moment`, or None."""
        with self.changed:
            return max((t for t in self.created if t <= moment), default=None)

    def close(self):
        os.write(self.stop_write, b"x")
        self.thread.join()
        for fd in (self.fd, self.stop_read, self.stop_write):
            os.close(fd)


class KeyPresser:
    """Key presses through the XTest extension on one connection kept open, so that the moment
    taken just before a press is the press's, not a program's start-up's."""

    def __init__(self, servers):
        from Xlib import XK, display
        self.display = display.Display(servers.display)
        self.codes = {name: self.display.keysym_to_keycode(XK.string_to_keysym(name))
                      for name in ("Return", "Down")}

    def press(self, name):
        """Presses and releases the key in the focused window; returns the moment before."""
        from Xlib import X
        from Xlib.ext import xtest
        code = self.codes[name]
        sent = time.monotonic()
        xtest.fake_input(self.display, X.KeyPress, code)
        xtest.fake_input(self.display, X.KeyRelease, code)
        self.display.sync()
        return sent

    def close(self):
        self.display.close()


class MappedAtQuillar(quillar_e2e.Quillar):
    """The program started as the end-to-end tests start it, but with the moment its window
    mapped taken to within 10 ms."""

    def launch(self):
        self.log = open(os.path.join(self.dir, "quillar.log"), "ab")
        self.proc = subprocess.Popen([self.binary], cwd=self.servers.tmp, env=self.env,
                                     stdout=self.log, stderr=subprocess.STDOUT)
        out = quillar_e2e.wait_for(
            lambda: self.xdo("search", "--onlyvisible", "--name", "^Quillar").stdout.split(),
            60, "the main window to be mapped", interval=0.01)
        self.mapped = time.monotonic()
        self.window = out[0]
        self.xdo("windowfocus", "--sync", self.window)


SAVE_POSTROLL_MS = 300
SAVE_TAKES = 10


def save_latency(build, slow_source=False):
    """Stopping Enter to the take's file renamed into its folder, with the input kept open and a
    300 ms post-roll: a take stopped within the first second after the window maps, then
    `SAVE_TAKES` ordinary ones, a tone sounding throughout. Returns the seconds of the first take
    and of the others, the post-roll left in, and of each save alone.

    `slow_source`: the sink is left idle before the program starts, so its monitor, the recorded
    source, delivers its first audio well after the program opened it, as a device that takes a
    while to start does."""
    quillar_e2e.QUILLAR = os.path.join(build, "quillar")
    servers = quillar_e2e.Servers()
    items = ["词%02d" % n for n in range(SAVE_TAKES + 1)]
    try:
        tone = os.path.join(servers.tmp, "tone.wav")
        quillar_e2e.make_tone(tone, 60, 1000)
        if slow_source:
            servers.keepalive.kill()
            servers.keepalive.wait()
            time.sleep(3)  # the null sink goes idle
        player = subprocess.Popen(["paplay", "--device=" + quillar_e2e.SINK,
                                   "--latency-msec=20", tone], env=servers.env)
        keys = KeyPresser(servers)
        app = watch = None
        try:
            app = MappedAtQuillar(servers, items, options={
                "预录毫秒": 300, "延录毫秒": SAVE_POSTROLL_MS, "保持输入": 1})
            watch = RenamesInto(app.folder)
            # Enter as soon as the window has the focus, the stop 0.8 s after the window mapped.
            keys.press("Return")
            time.sleep(max(0.0, app.mapped + 0.8 - time.monotonic()))
            stopped = keys.press("Return")
            if stopped - app.mapped >= 1.0:
                raise RuntimeError("the first take stopped %.2f s after the window mapped"
                                   % (stopped - app.mapped))
            saves = []  # each save's own time: its temporary file made to its rename

            def saved(item, stopped):
                arrived = watch.wait(item + ".wav", 10)
                made = watch.made_before(arrived)
                if made is not None:
                    saves.append(arrived - made)
                return arrived - stopped

            first = saved(items[0], stopped)
            time.sleep(1)
            ordinary = []
            # A take is saved once the capture block holding its post-roll's last frame has come
            # (the engine hands over 100 ms blocks): each stop lands at another point of a block,
            # where a loop paced by the files alone would stop every take at the same point.
            phases = random.Random(7)
            for item in items[1:]:
                keys.press("Down")
                time.sleep(0.2)
                keys.press("Return")
                time.sleep(0.6 + phases.uniform(0, 0.1))
                stopped = keys.press("Return")
                ordinary.append(saved(item, stopped))
                time.sleep(0.5)
        finally:
            if watch:
                watch.close()
            if app:
                app.kill()
            keys.close()
            player.kill()
            player.wait()
    finally:
        servers.close()
    return first, ordinary, saves


def save_latency_rows(build):
    first, ordinary, saves = save_latency(build)
    slow_first, _, _ = save_latency(build, slow_source=True)
    postroll = SAVE_POSTROLL_MS * MS
    target = 150 * MS
    ordinary.sort()
    median = ordinary[len(ordinary) // 2]
    print("save latency, post-roll included: first take %s; the others %s; the saves themselves "
          "(temporary file made to rename) %s; a first take on a source slow to start %s"
          % (fmt(first), ", ".join(fmt(v) for v in ordinary), ", ".join(fmt(v) for v in saves),
             fmt(slow_first)), file=sys.stderr)
    return [
        ("Stopping Enter to the take's file renamed into place, input kept open, 300 ms "
         "post-roll, minus the post-roll: a take stopped within the first second after the "
         "window maps", first - postroll, target, "s"),
        ("The same for %d ordinary takes after it: the worst (median %s)"
         % (len(ordinary), fmt(median - postroll)), ordinary[-1] - postroll, target, "s"),
        ("The first take again, the recorded source slow to start (an idle null sink, whose "
         "monitor delivers its first audio late)", slow_first - postroll, target, "s"),
    ]


def click_times(raw, rate):
    """Onsets (seconds) of the clicks in 16-bit mono audio: the first loud sample of each burst,
    bursts closer than 5 ms counted as one."""
    import array
    samples = array.array("h")
    samples.frombytes(raw[:len(raw) // 2 * 2])
    onsets, last = [], None
    for i, v in enumerate(samples):
        if abs(v) > 8000:
            if last is None or i - last > rate // 200:
                onsets.append(i / rate)
            last = i
    return onsets


def route_monitoring(servers, sink):
    """Monitoring plays where SDL's default output is, whatever the server's default now says:
    moves Quillar's playback streams to `sink`."""
    listing = servers.pactl("list", "sink-inputs").stdout
    for block in listing.split("Sink Input #")[1:]:
        if 'application.name = "quillar"' in block:
            servers.pactl("move-sink-input", block.split()[0], sink)


def monitoring_latency(build):
    """Median gap between a click heard directly and the same click heard through Quillar's
    monitoring: the click is played into a combined sink that feeds both the recorded source and a
    second sink, which Quillar's monitoring plays into too; the second sink's monitor is
    recorded."""
    quillar_e2e.QUILLAR = os.path.join(build, "quillar")
    servers = quillar_e2e.Servers()
    rate = 44100
    try:
        for module in (["module-null-sink", "sink_name=heard", "rate=%d" % rate],
                       ["module-combine-sink", "sink_name=both",
                        "slaves=%s,heard" % quillar_e2e.SINK]):
            loaded = servers.pactl("load-module", *module)
            if loaded.returncode != 0:
                raise RuntimeError("pactl load-module %s: %s" % (module[0], loaded.stderr))
        servers.pactl("set-default-sink", "heard")  # where monitoring plays
        servers.pactl("set-default-source", quillar_e2e.SINK + ".monitor")
        clicks = os.path.join(servers.tmp, "clicks.wav")
        # Five 2 ms clicks a second apart, after a second of silence.
        import array
        import wave
        audio = array.array("h", [0] * (6 * rate))
        for k in range(5):
            start = (1 + k) * rate
            for i in range(rate // 500):
                audio[start + i] = 24000 if (i // 22) % 2 == 0 else -24000
        with wave.open(clicks, "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(rate)
            w.writeframes(audio.tobytes())
        app = quillar_e2e.Quillar(servers, ["测试"])
        try:
            app.click(quillar_e2e.MONITOR_CHECKBOX)
            app.click(quillar_e2e.ITEM_LIST_FIRST_ROW)  # Enter acts in the item list
            time.sleep(0.5)
            app.key("Return")
            time.sleep(2)
            route_monitoring(servers, "heard")
            heard = os.path.join(servers.tmp, "heard.raw")
            with open(heard, "wb") as out:
                listen = subprocess.Popen(
                    ["parec", "--raw", "--format=s16le", "--rate=%d" % rate, "--channels=1",
                     "--latency-msec=5", "--device=heard.monitor"],
                    env=servers.env, stdout=out, stderr=subprocess.DEVNULL)
                time.sleep(0.5)
                subprocess.run(["paplay", "--device=both", "--latency-msec=10", clicks],
                               env=servers.env, check=True)
                time.sleep(1)
                listen.kill()
                listen.wait()
            with open(heard, "rb") as f:
                raw = f.read()
            app.key("Return")
        finally:
            app.kill()
    finally:
        servers.close()
    onsets = click_times(raw, rate)
    gaps = sorted(b - a for a, b in zip(onsets, onsets[1:]) if b - a < 0.5)
    return gaps[len(gaps) // 2] if gaps else float("nan")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--seconds", type=int, default=60)
    parser.add_argument("--whole-program-only", action="store_true",
                        help="only start-up and CPU use of the real program")
    parser.add_argument("--save-latency-only", action="store_true",
                        help="only the time from the stopping Enter to the saved file")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    cache = {}

    print("| figure | measured (wall) | CPU | target | |")
    print("|---|---|---|---|---|")
    if not (args.whole_program_only or args.save_latency_only):
        for figure, program, name, target in MICRO:
            b = run_bench(build, program, cache).get(name)
            if b is None:
                print("| %s | not measured | | < %s | ? |" % (figure, fmt(target)))
                continue
            real, cpu = seconds_of(b, "real_time"), seconds_of(b, "cpu_time")
            extra = ""
            if "peak_rss_growth_MiB" in b:
                extra = " (peak memory +%.0f MiB for %.0f MiB of data)" % (b["peak_rss_growth_MiB"],
                                                                          b.get("data_MiB", 0))
            verdict = "ok" if real < target else "over"
            print("| %s | %s%s | %s | < %s | %s |" % (figure, fmt(real), extra, fmt(cpu), fmt(target),
                                                      verdict))

        # Starting a saved file: the long ones are judged against the one-second one.
        play = run_bench(build, "playback_bench", cache)
        short = play.get("BM_PlayToFirstAudio/1/real_time")
        for seconds, label in ((1, "1 s"), (1800, "30 min"), (3600, "60 min")):
            b = play.get("BM_PlayToFirstAudio/%d/real_time" % seconds)
            figure = "Play request to first audio, %s recording (44100 Hz 16-bit)" % label
            if b is None or short is None:
                print("| %s | not measured | | | ? |" % figure)
                continue
            real, cpu = seconds_of(b, "real_time"), seconds_of(b, "cpu_time")
            if seconds == 1:
                print("| %s | %s | %s | (reference) | |" % (figure, fmt(real), fmt(cpu)))
                continue
            limit = 3 * seconds_of(short, "real_time")
            print("| %s | %s | %s | < 3 x the 1 s figure (%s) | %s |"
                  % (figure, fmt(real), fmt(cpu), fmt(limit), "ok" if real < limit else "over"))

        # The take journal: its thread's share of a core while recording, and recovery of a
        # one-hour journal judged against cp and sync of the same bytes.
        journal = run_bench(build, "journal_bench", cache)
        j = journal.get("BM_JournalWhileRecording/iterations:3/real_time")
        if j is not None:
            share = j["journal_percent_of_a_core"] / 100
            print("| Take journal while recording 44100 Hz 16-bit (its thread's CPU) | "
                  "%.3f %% of a core | | < 0.30 %% of a core | %s |"
                  % (share * 100, "ok" if share < 0.003 else "over"))
        rec = journal.get("BM_RecoverOneHourJournal/iterations:2/real_time")
        cps = journal.get("BM_CpSyncOneHour/iterations:2/real_time")
        if rec is not None and cps is not None:
            r, c = seconds_of(rec, "real_time"), seconds_of(cps, "real_time")
            print("| Recovery of a one-hour journal (635 MB, written, flushed, journal removed) "
                  "| %s | | disk speed (cp + sync %s) | %s |"
                  % (fmt(r), fmt(c), "ok" if r < 1.5 * c else "over"))

        # Hands-free pace on the simulated engine: a speaker who says each 0.8 s word as soon as
        # the window listens; at least 1,200 items an hour.
        pace = run_bench(build, "hands_free_bench", cache)
        for silence in (800, 500):
            b = pace.get("BM_HandsFreePace/%d/iterations:1" % silence)
            if b is None:
                continue
            print("| Hands-free pace, 0.8 s words, %d ms silence to end a take (end of a word to "
                  "listening for the next: %.0f ms; window's work for 40 items %s) | %.0f items an "
                  "hour | | >= 1,200 items an hour | %s |"
                  % (silence, b["end_to_listening_ms"], fmt(seconds_of(b, "real_time")),
                     b["items_per_hour"], "ok" if b["items_per_hour"] >= 1200 else "under"))

        # quillar-check over 1,000 two-second takes, against cat reading the same files (both
        # programs, warm page cache): at least cat's rate divided by 3.
        quality = run_bench(build, "quality_bench", cache)
        check = quality.get("BM_QuillarCheckFolder/iterations:5/real_time")
        cat = quality.get("BM_CatFolder/iterations:5/real_time")
        if check is not None and cat is not None:
            q, c = seconds_of(check, "real_time"), seconds_of(cat, "real_time")
            print("| quillar-check of 1,000 two-second takes (44100 Hz 16-bit stereo, 337 MiB), "
                  "warm cache | %s (%.0f files/s) | | cat's rate / 3 (cat %s, %.0f files/s) | %s |"
                  % (fmt(q), 1000 / q, fmt(c), 1000 / c, "ok" if q < 3 * c else "over"))

        # quillar-export's session join of 1,000 two-second takes against cat's work over the same
        # files (read whole, written into one file, flushed): at least cat's rate divided by 3.
        export = run_bench(build, "export_bench", cache)
        join = export.get("BM_JoinSession/iterations:5/real_time")
        cat = export.get("BM_CatTakesIntoOneFile/iterations:5/real_time")
        if join is not None and cat is not None:
            j, c = seconds_of(join, "real_time"), seconds_of(cat, "real_time")
            print("| quillar-export --session over 1,000 two-second takes (44100 Hz 16-bit mono, "
                  "168 MiB: joined, judged, flushed, with its TextGrid and ELAN file), warm cache "
                  "| %s (%.2f x cat's time) | | cat's rate / 3 (cat %s) | %s |"
                  % (fmt(j), j / c, fmt(c), "ok" if j < 3 * c else "over"))

        save = run_bench(build, "record_bench", cache).get("BM_SaveLongRecording/iterations:3/real_time")
        cp = run_bench(build, "record_bench", cache).get("BM_CpSameSize/0/iterations:3/real_time")
        cp_sync = run_bench(build, "record_bench", cache).get("BM_CpSameSize/1/iterations:3/real_time")
        if save and cp:
            s, c = seconds_of(save, "real_time"), seconds_of(cp, "real_time")
            line = "cp %s" % fmt(c)
            if cp_sync:
                line += ", cp + sync %s" % fmt(seconds_of(cp_sync, "real_time"))
            # A save flushes to disk before it renames, so it is judged against cp followed by sync.
            reference = seconds_of(cp_sync, "real_time") if cp_sync else c
            print("| Saving the 10 min 48000 Hz 32-bit recording (temporary file, flush, rename), "
                  "median of 3 | %s | | disk speed (%s) | %s |"
                  % (fmt(s), line, "ok" if s < 1.5 * reference else "over"))

    rows = [] if args.save_latency_only else whole_program(build, args.seconds)
    for figure, value, target, unit in rows + save_latency_rows(build):
        if unit == "%":
            shown = "%.2f %% of a core" % (value * 100)
            goal = "< %.2f %% of a core" % (target * 100) if target else "(reference)"
        else:
            shown, goal = fmt(value), "< %s" % fmt(target)
        verdict = "" if target is None else ("ok" if value < target else "over")
        print("| %s | %s | | %s | %s |" % (figure, shown, goal, verdict))

    cpu = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    print()
    print("Machine: %s, %d cores, %s, Linux %s; load average %s at the end." % (
        cpu, os.cpu_count(), platform.machine(), platform.release(),
        open("/proc/loadavg").read().split()[0]))


if __name__ == "__main__":
    main()
