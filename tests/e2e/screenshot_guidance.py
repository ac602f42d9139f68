#!/usr/bin/python3
"""Takes the README's picture of guidance through a word list: items with a recording marked,
one whose take clipped, the "recorded / total" count, and the clipping warning during a take.

Usage: screenshot_guidance.py /path/to/quillar out.png
"""

import os
import subprocess
import sys
import time

import quillar_e2e as e2e
from screenshot import speech


def main():
    e2e.QUILLAR = os.path.abspath(sys.argv[1])
    out = os.path.abspath(sys.argv[2])
    servers = e2e.Servers()
    try:
        words = ["太阳", "月亮", "星星", "天", "云", "风", "雨", "雪", "山", "水", "河", "石头"]
        items = ["%03d %s" % (i + 1, w) for i, w in enumerate(words)]
        phrase = os.path.join(servers.tmp, "phrase.wav")
        speech(phrase, "太阳", servers)
        loud = os.path.join(servers.tmp, "loud.wav")
        subprocess.run(["sox", phrase, loud, "gain", "12"], check=True,
                       stderr=subprocess.DEVNULL)
        app = e2e.Quillar(servers, items, item_encoding="utf-8")
        app.record_item(phrase, items[0])
        app.key("Down")
        app.record_item(loud, items[1])  # too close to the microphone: clipped
        app.key("Down")
        app.record_item(phrase, items[2])
        app.key("Down")
        app.key("F3")
        player = subprocess.Popen(["paplay", "--device=" + e2e.SINK, "--latency-msec=20", loud],
                                  env=servers.env)
        time.sleep(0.1)
        app.key("Return")
        time.sleep(0.9)
        app.screenshot(out, (0, 0, 1041, 698))
        player.wait(30)
        app.key("Return")
        time.sleep(1)
        app.close()
    finally:
        servers.close()


if __name__ == "__main__":
    main()
