#!/usr/bin/python3
"""Takes the README's screenshot: the real window under Xvfb in the middle of a recording
session, with the item shown, the waveform of its earlier take and the live spectrum.

Usage: screenshot.py /path/to/quillar out.png
"""

import os
import subprocess
import sys
import time

import quillar_e2e as e2e


def speech(path, text, servers):
    raw = path + ".raw.wav"
    subprocess.run(["espeak-ng", "-v", "cmn", "-s", "130", "-w", raw, text], check=True,
                   env=servers.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["sox", raw, "-r", "44100", "-c", "2", "-b", "16", path, "gain", "-n", "-3"],
                   check=True)


def main():
    e2e.QUILLAR = os.path.abspath(sys.argv[1])
    out = os.path.abspath(sys.argv[2])
    servers = e2e.Servers()
    try:
        words = ["太阳", "月亮", "星星", "天", "云", "风", "雨", "雪", "山", "水", "河", "石头"]
        phrase = os.path.join(servers.tmp, "phrase.wav")
        speech(phrase, "太阳出来了，月亮和星星都看不见了。", servers)
        app = e2e.Quillar(servers, ["%03d %s" % (i + 1, w) for i, w in enumerate(words)],
                          item_encoding="utf-8")
        app.record_item(phrase, "001 太阳")
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
