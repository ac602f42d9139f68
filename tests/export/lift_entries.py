#!/usr/bin/env python3
"""Reads a LIFT lexicon with the standard library's XML parser (which refuses a document that is
not well-formed) and prints its entries as JSON: id, form language and text, gloss language and
text, note and media href."""
import json
import sys
import xml.etree.ElementTree as ET


def text_of(element):
    if element is None:
        return None
    t = element.find("text")
    return "".join(t.itertext()) if t is not None else None


def main(path):
    root = ET.parse(path).getroot()
    if root.tag != "lift":
        sys.exit("root is %s, not lift" % root.tag)
    entries = []
    for entry in root.findall("entry"):
        form = entry.find("lexical-unit/form")
        gloss = entry.find("sense/gloss")
        note = entry.find("note/form")
        media = entry.findall("pronunciation/media")
        entries.append({
            "id": entry.get("id"),
            "form_lang": form.get("lang") if form is not None else None,
            "form": text_of(form),
            "gloss_lang": gloss.get("lang") if gloss is not None else None,
            "gloss": text_of(gloss),
            "note": text_of(note),
            "media": [m.get("href") for m in media],
        })
    print(json.dumps({"version": root.get("version"), "entries": entries}, ensure_ascii=False))


if __name__ == "__main__":
    main(sys.argv[1])
