#!/usr/bin/env python3
"""Checks that the audio codec table names every format tag that mmreg.h registers.

Reads each `#define WAVE_FORMAT_NAME value` of MinGW's mmreg.h (a value is a number or
another WAVE_FORMAT_ name) and each `{0xTAG, "name", ...}` entry of kAudioCodecs in
avi/codec_table.cc, and fails on every registered tag the table lacks. Exits 77 (skipped)
when mmreg.h is not installed.

Usage: audio_tags_test.py SOURCE_DIR [MMREG_H]
"""
import os
import re
import sys
import unittest

SOURCE_DIR = None
MMREG = "/usr/share/mingw-w64/include/mmreg.h"

DEFINE = re.compile(r"^\s*#\s*define\s+(WAVE_FORMAT_\w+)\s+\(?\s*(\w+)\s*\)?\s*(?:/[*/].*)?$")
ENTRY = re.compile(r"^\s*\{(0x[0-9A-Fa-f]{4}),\s*\"([^\"]+)\"")


def registered_tags(text):
    """The tag of every WAVE_FORMAT_ define, by name; aliases resolved."""
    raw = dict(m.groups() for m in map(DEFINE.match, text.splitlines()) if m)
    tags = {}
    for name, value in raw.items():
        seen = set()
        while value in raw and value not in seen:  # an alias of another define
            seen.add(value)
            value = raw[value]
        tags[name] = int(value, 0)
    return tags


def table_tags(source):
    """The tags of the kAudioCodecs entries, in order."""
    start = source.index("kAudioCodecs[] = {")
    end = source.index("\n};", start)
    return [int(m.group(1), 16) for m in map(ENTRY.match, source[start:end].splitlines()) if m]


class AudioTagsTest(unittest.TestCase):
    def setUp(self):
        with open(MMREG, encoding="latin-1") as f:
            self.registered = registered_tags(f.read())
        with open(os.path.join(SOURCE_DIR, "avi", "codec_table.cc"), encoding="utf-8") as f:
            self.table = table_tags(f.read())

    def test_the_readers_find_what_they_read(self):
        # Guards against a check that passes because it read nothing.
        self.assertGreater(len(self.registered), 200)
        self.assertEqual(self.registered["WAVE_FORMAT_PCM"], 1)
        self.assertEqual(self.registered["WAVE_FORMAT_IMA_ADPCM"], 0x0011)  # an alias
        self.assertEqual(self.registered["WAVE_FORMAT_EXTENSIBLE"], 0xFFFE)
        self.assertGreater(len(self.table), 200)
        self.assertEqual(registered_tags("#define WAVE_FORMAT_X 0x00ab /* odd */\n"),
                         {"WAVE_FORMAT_X": 0xAB})

    def test_every_registered_tag_is_named(self):
        have = set(self.table)
        missing = sorted((tag, name) for name, tag in self.registered.items() if tag not in have)
        self.assertEqual(missing, [], "\n".join(f"0x{t:04X} {n}" for t, n in missing))

    def test_each_tag_once_in_order(self):
        self.assertEqual(self.table, sorted(set(self.table)))


if __name__ == "__main__":
    SOURCE_DIR = sys.argv[1]
    if len(sys.argv) > 2:
        MMREG = sys.argv[2]
    if not os.path.exists(MMREG):
        print(f"skipped: no {MMREG}")
        sys.exit(77)
    sys.exit(0 if unittest.main(argv=sys.argv[:1], exit=False).result.wasSuccessful() else 1)
