#!/usr/bin/env python3
"""Runs lupdate over the sources into a copy of each translation and fails on any text that is
not translated: a new source text, an unfinished or empty translation, a translation with Chinese
left in it (Chinese punctuation too; file and folder names the program really uses aside), or a
text marked outside the program's one context. It also fails on English that does not read as
written English: a sentence run into the next ("stopped.What"), a space before a comma or a full
stop, two spaces in a row, or a translation that drops or adds the line breaks and spaces its
source starts with, or the line breaks it ends with (the program joins texts by them). The
repository's files are never written.

usage: check_translations.py LUPDATE SOURCE_DIR TS_FILE...
"""
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

CONTEXT = "Quillar"
# Names on disk that stay as they are in every language.
KEPT_NAMES = ("早前录音",)
CHINESE = re.compile("[\u3000-\u303f\u3400-\u4dbf\u4e00-\u9fff\uf900-\ufaff\uff00-\uffef]")
RUN_ON = re.compile(r"[a-z)][.!?][A-Z]|[,;][A-Za-z]")
SPACE_BEFORE_STOP = re.compile(r"\w[ \t]+[,.;:!?](\s|$)")
DOUBLE_SPACE = re.compile(r"\S  +\S")


def text_of(element):
    """The element's text with lupdate's <byte value="xd"/> turned back into characters."""
    out = element.text or ""
    for child in element:
        if child.tag == "byte":
            out += chr(int(child.get("value").lstrip("x"), 16))
        out += child.tail or ""
    return out


def english_problems(source, shown):
    found = []
    if RUN_ON.search(shown):
        found.append("no space after a sentence or clause")
    if SPACE_BEFORE_STOP.search(shown):
        found.append("a space before a punctuation mark")
    if DOUBLE_SPACE.search(shown):
        found.append("two spaces in a row")
    if re.match(r"\s*", source).group() != re.match(r"\s*", shown).group():
        found.append("not the blanks its source starts with")
    # A trailing space may join the English to the text that follows; line breaks are kept.
    def breaks_at_end(text):
        return re.search(r"\s*$", text).group().count("\n")

    if breaks_at_end(source) != breaks_at_end(shown):
        found.append("not the line breaks its source ends with")
    return found


def problems_in(ts_path):
    problems = []
    root = ET.parse(ts_path).getroot()
    for context in root.iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            source = text_of(message.find("source"))
            translation = message.find("translation")
            shown = text_of(translation) if translation is not None else ""
            kind = translation.get("type") if translation is not None else None
            if name != CONTEXT:
                problems.append(f"context {name!r} instead of {CONTEXT!r}: {source!r}")
            if kind in ("unfinished", "vanished", "obsolete") or not shown.strip():
                problems.append(f"not translated ({kind or 'empty'}): {source!r}")
                continue
            rest = shown
            for kept in KEPT_NAMES:
                rest = rest.replace(kept, "")
            if CHINESE.search(rest):
                problems.append(f"Chinese left in the translation of {source!r}: {shown!r}")
            problems += [f"{p} in the translation of {source!r}: {shown!r}"
                         for p in english_problems(source, shown)]
    return problems


def main():
    lupdate, source_dir, *ts_files = sys.argv[1:]
    failed = False
    for ts in ts_files:
        with tempfile.TemporaryDirectory() as tmp:
            copy = f"{tmp}/{ts.rsplit('/', 1)[-1]}"
            shutil.copyfile(ts, copy)
            run = subprocess.run([lupdate, "-locations", "none", "-no-obsolete", source_dir,
                                  "-ts", copy], capture_output=True, text=True)
            if run.returncode != 0:
                print(run.stdout + run.stderr, file=sys.stderr)
                return 1
            problems = problems_in(copy)
        for p in problems:
            print(f"{ts}: {p}")
        if problems:
            failed = True
            print(f"{ts}: {len(problems)} problem(s). Refresh it with "
                  "`cmake --build <build dir> --target update_translations`, then translate "
                  "the new entries (Qt Linguist or any text editor) and remove type=\"unfinished\".")
        else:
            print(f"{ts}: every text translated")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
