"""Reads a WAV file by the RIFF rules alone, with nothing but the standard library, as a reader
that Quillar did not write: walks every chunk, and prints the frame count and each rule the file
breaks. Exit code 0 when it breaks none.

usage: python3 wav_chunks.py FILE
"""
import struct
import sys
import wave

PCM = 1
IEEE_FLOAT = 3


def check(path):
    problems = []
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 12 or data[0:4] != b"RIFF" or data[8:12] != b"WAVE":
        return None, ["not RIFF/WAVE"]
    riff_size = struct.unpack_from("<I", data, 4)[0]
    if riff_size != len(data) - 8:
        problems.append(f"RIFF size {riff_size}, file holds {len(data) - 8} after it")
    chunks = {}
    at = 12
    while at + 8 <= len(data):
        tag = data[at : at + 4].decode("latin-1")
        size = struct.unpack_from("<I", data, at + 4)[0]
        body = at + 8
        if body + size > len(data):
            problems.append(f"'{tag}' chunk of {size} bytes runs past the end")
        chunks.setdefault(tag, (body, size))
        at = body + size
        if size % 2:
            if at >= len(data):
                problems.append(f"'{tag}' chunk of odd size {size} without its pad byte")
            at += 1
    if at < len(data):
        problems.append(f"{len(data) - at} bytes after the last chunk")
    if "fmt " not in chunks or "data" not in chunks:
        return None, problems + ["no 'fmt ' or no 'data' chunk"]
    body, size = chunks["fmt "]
    tag, channels, rate, byte_rate, block_align, bits = struct.unpack_from("<HHIIHH", data, body)
    if block_align != channels * bits // 8 or byte_rate != rate * block_align:
        problems.append("block align or byte rate does not follow from the format")
    if tag == PCM:
        if size != 16:
            problems.append(f"PCM 'fmt ' of {size} bytes")
    else:
        if size < 18:
            problems.append(f"non-PCM 'fmt ' of {size} bytes, without its extension size")
        elif struct.unpack_from("<H", data, body + 16)[0] != size - 18:
            problems.append("extension size does not match the 'fmt ' chunk")
    frames = chunks["data"][1] // block_align
    if tag != PCM:
        if "fact" not in chunks:
            problems.append("non-PCM data without a 'fact' chunk")
        elif struct.unpack_from("<I", data, chunks["fact"][0])[0] != frames:
            problems.append("'fact' frame count differs from the data")
    if tag == PCM:
        # The standard library's own reader, for the formats it knows.
        with wave.open(path, "rb") as w:
            if w.getnframes() != frames:
                problems.append(f"wave module reads {w.getnframes()} frames")
    return frames, problems


def main():
    frames, problems = check(sys.argv[1])
    print(f"frames={frames if frames is not None else -1}")
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
