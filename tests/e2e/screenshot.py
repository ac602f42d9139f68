#!/usr/bin/python3
"""Takes the README's screenshot: the real window under Xvfb in the middle of a recording
session, with the item shown, the waveform of its earlier take and the live spectrum. With `en`,
the English interface on an English desktop, with an English word list.

With `idle`, the window between takes instead, the input open: the level meter and the room's
noise floor while the speaker talks before the key.

Usage: screenshot.py /path/to/quillar out.png [zh|en] [idle]
"""

import os
import subprocess
import sys
import time

import quillar_e2e as e2e

SESSIONS = {
    "zh": {"voice": "cmn", "lang": None, "folder": "录音", "list": "词表.txt",
           "words": ["太阳", "月亮", "星星", "天", "云", "风", "雨", "雪", "山", "水", "河", "石头"],
           "phrase": "太阳出来了，月亮和星星都看不见了。"},
    "en": {"voice": "en", "lang": "en_US.UTF-8", "folder": "recordings", "list": "words.txt",
           "words": ["sun", "moon", "star", "sky", "cloud", "wind", "rain", "snow", "mountain",
                     "water", "river", "stone"],
           "phrase": "The sun came out, and the moon and the stars could not be seen."},
}


def speech(path, text, voice, servers):
    raw = path + ".raw.wav"
    subprocess.run(["espeak-ng", "-v", voice, "-s", "130", "-w", raw, text], check=True,
                   env=servers.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["sox", raw, "-r", "44100", "-c", "2", "-b", "16", path, "gain", "-n", "-3"],
                   check=True)


def main():
    e2e.QUILLAR = os.path.abspath(sys.argv[1])
    out = os.path.abspath(sys.argv[2])
    session = SESSIONS[sys.argv[3] if len(sys.argv) > 3 else "zh"]
    idle = len(sys.argv) > 4 and sys.argv[4] == "idle"
    servers = e2e.Servers()
    try:
        words = session["words"]
        phrase = os.path.join(servers.tmp, "phrase.wav")
        speech(phrase, session["phrase"], session["voice"], servers)
        app = e2e.Quillar(servers, ["%03d %s" % (i + 1, w) for i, w in enumerate(words)],
                          item_encoding="utf-8", lang=session["lang"],
                          folder_name=session["folder"], item_file_name=session["list"],
                          options={})  # the program's defaults: the input kept open
        app.record_item(phrase, "001 " + words[0])
        if idle:
            app.key("Down")
            player = subprocess.Popen(["paplay", "--device=" + e2e.SINK, "--latency-msec=20",
                                       phrase], env=servers.env)
            time.sleep(3.2)
            app.screenshot(out, (0, 0, 1041, 698))
            player.wait(30)
            app.close()
            return
        # Record the same item again; the earlier take's waveform stays on screen meanwhile.
        player = subprocess.Popen(["paplay", "--device=" + e2e.SINK, "--latency-msec=20", phrase],
                                  env=servers.env)
        time.sleep(0.2)
        app.key("Return")
        time.sleep(2.0)
        app.screenshot(out, (0, 0, 1041, 698))
        player.wait(30)
        app.key("Return")
        time.sleep(1)
        app.close()
    finally:
        servers.close()


if __name__ == "__main__":
    main()
