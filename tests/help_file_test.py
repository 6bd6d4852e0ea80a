#!/usr/bin/env python3
"""Reads back what scripts/make-help.py writes and checks it as the help engine reads it.

The reader here is written from the file format, not from the writer: the file header,
the internal directory (a B+ tree, searched from its root and walked leaf by leaf),
|SYSTEM, |FONT, |TOPIC (topic links followed from the first, the character counts that
make topic offsets), |CONTEXT and |TTLBTREE, and Korvane.cnt. Checked on the real help
text, on a large generated one that needs several tree pages and topic blocks, and on
sources the writer must refuse.

Usage: help_file_test.py REPOSITORY_ROOT [KORVANE]
With KORVANE, the report lines that the help quotes are compared with what that program
reports on examples/win98se.
"""
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = None
KORVANE = None


def u16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def s16(data, at):
    return struct.unpack_from("<h", data, at)[0]


def u32(data, at):
    return struct.unpack_from("<I", data, at)[0]


def engine_hash(context):
    """The context hash as the help engine computes it (WinHelp 3.1 ids)."""
    value = 0
    for c in context.upper():
        if c.isdigit():
            x = 10 if c == "0" else int(c)
        elif "A" <= c <= "Z":
            x = 17 + ord(c) - ord("A")
        else:
            x = {".": 12, "_": 13}[c]
        value = (value * 43 + x) % (1 << 32)
    return value


class BTree:
    """A B+ tree of an internal file; entry_size(page, at) gives a leaf entry's length."""

    def __init__(self, data, leaf_size, index_key_size):
        self.data = data
        if u16(data, 0) != 0x293B:
            raise AssertionError(f"B+ tree magic {u16(data, 0):#x}")
        self.page_size = u16(data, 4)
        self.structure = data[6:22].rstrip(b"\0").decode()
        self.root, self.pages, self.levels = s16(data, 26), s16(data, 30), s16(data, 32)
        self.count = struct.unpack_from("<i", data, 34)[0]
        self.leaf_size, self.index_key_size = leaf_size, index_key_size
        if len(data) != 38 + self.pages * self.page_size:
            raise AssertionError(f"B+ tree of {self.pages} pages in {len(data)} bytes")

    def page(self, number):
        if not 0 <= number < self.pages:
            raise AssertionError(f"page {number} of {self.pages}")
        start = 38 + number * self.page_size
        return self.data[start:start + self.page_size]

    def first_leaf(self):
        number = self.root
        for _ in range(self.levels - 1):
            number = s16(self.page(number), 4)
        return number

    def entries(self):
        """Every leaf entry, following the leaf chain from the first leaf."""
        found, number, previous = [], self.first_leaf(), -1
        while number != -1:
            page = self.page(number)
            if s16(page, 4) != previous:
                raise AssertionError(f"leaf {number} names {s16(page, 4)} as previous, not {previous}")
            at = 8
            for _ in range(s16(page, 2)):
                size = self.leaf_size(page, at)
                found.append(page[at:at + size])
                at += size
            if u16(page, 0) != self.page_size - at:
                raise AssertionError(f"leaf {number}: {u16(page, 0)} free bytes, not {self.page_size - at}")
            previous, number = number, s16(page, 6)
        return found

    def search(self, key_of, key):
        """The leaf entry whose key equals key, descending from the root as the engine does."""
        number = self.root
        for _ in range(self.levels - 1):
            page = self.page(number)
            number, at = s16(page, 4), 6
            for _ in range(s16(page, 2)):
                size = self.index_key_size(page, at)
                if key_of(page[at:at + size]) > key:
                    break
                number = s16(page, at + size)
                at += size + 2
        page = self.page(number)
        at = 8
        for _ in range(s16(page, 2)):
            size = self.leaf_size(page, at)
            if key_of(page[at:at + size]) == key:
                return page[at:at + size]
            at += size
        return None


def zstring_size(page, at):
    return page.index(b"\0", at) - at + 1


class HelpFile:
    def __init__(self, data):
        self.data = data
        magic, directory, free, size = struct.unpack_from("<IiiI", data, 0)
        if magic != 0x00035F3F:
            raise AssertionError(f"file magic {magic:#x}")
        if size != len(data) or free != -1:
            raise AssertionError(f"file size {size} of {len(data)}, free list {free}")
        self.directory = BTree(self.internal_at(directory), lambda p, a: zstring_size(p, a) + 4,
                               lambda p, a: zstring_size(p, a))
        self.files = {}
        for entry in self.directory.entries():
            name, offset = entry[:-5].decode(), u32(entry, len(entry) - 4)
            self.files[name] = self.internal_at(offset)

    def internal_at(self, offset):
        if not 16 <= offset <= len(self.data) - 9:
            raise AssertionError(f"internal file at {offset} outside the file")
        reserved, used, _flags = struct.unpack_from("<IIB", self.data, offset)
        if reserved < used + 9 or offset + reserved > len(self.data):
            raise AssertionError(f"internal file at {offset}: {used} bytes in {reserved}")
        return self.data[offset + 9:offset + 9 + used]

    def system(self):
        data = self.files["|SYSTEM"]
        magic, minor, major, _date, flags = struct.unpack_from("<HHHIH", data, 0)
        records, at = {}, 12
        while at + 4 <= len(data):
            kind, size = u16(data, at), u16(data, at + 2)
            records[kind] = data[at + 4:at + 4 + size]
            at += 4 + size
        if at != len(data):
            raise AssertionError("|SYSTEM records run past the file")
        return (magic, minor, major, flags), records

    def fonts(self):
        data = self.files["|FONT"]
        faces, descriptors, face_at, descriptor_at = struct.unpack_from("<HHHH", data, 0)
        width = (descriptor_at - face_at) // faces
        names = [data[face_at + i * width:face_at + (i + 1) * width].split(b"\0")[0].decode()
                 for i in range(faces)]
        return names, [data[descriptor_at + i * 11:descriptor_at + (i + 1) * 11]
                       for i in range(descriptors)]

    def contexts(self):
        tree = BTree(self.files["|CONTEXT"], lambda p, a: 8, lambda p, a: 4)
        return tree, {u32(e, 0): u32(e, 4) for e in tree.entries()}

    def titles(self):
        tree = BTree(self.files["|TTLBTREE"], lambda p, a: 4 + zstring_size(p, a + 4),
                     lambda p, a: 4)
        return tree, [(u32(e, 0), e[4:-1].decode("cp1252")) for e in tree.entries()]

    def topics(self):
        """[{title, offset, paragraphs: [[strings]], jumps: [hash], fonts: [index]}]."""
        raw = self.files["|TOPIC"]
        if len(raw) % 4096:
            raise AssertionError(f"|TOPIC of {len(raw)} bytes is not made of 4 KB blocks")
        blocks = [raw[i:i + 4096] for i in range(0, len(raw), 4096)]
        flat = b"".join(b[12:] for b in blocks)

        def at(pos):
            block, offset = (pos - 12) >> 14, (pos - 12) & 0x3FFF
            if block >= len(blocks) or offset >= 4084:
                raise AssertionError(f"TOPICPOS {pos:#x} outside |TOPIC")
            return block, block * 4084 + offset

        topics, pos, previous, counted_block, count = [], 12, 0xFFFFFFFF, -1, 0
        if u32(blocks[0], 4) != 12:
            raise AssertionError("the first block's first topic link is not at 12")
        while pos != 0xFFFFFFFF:
            block, start = at(pos)
            if block != counted_block:
                counted_block, count = block, 0
            size, len2, prev, following, len1, kind = struct.unpack_from("<IIIIIB", flat, start)
            if prev != previous:
                raise AssertionError(f"link {pos:#x} names {prev:#x} as previous, not {previous:#x}")
            if size != len1 + len2:
                raise AssertionError(f"link {pos:#x}: size {size} is not {len1} + {len2}")
            data1, data2 = flat[start + 21:start + len1], flat[start + len1:start + size]
            if kind == 2:
                if len(data1) != 28:
                    raise AssertionError(f"topic header at {pos:#x} of {len(data1)} bytes")
                topics.append({"title": data2.split(b"\0")[0].decode("cp1252"),
                               "offset": block * 0x8000 + count, "pos": pos,
                               "number": u32(data1, 12), "next": u32(data1, 24),
                               "paragraphs": [], "jumps": [], "fonts": []})
            elif kind == 0x20:
                length = self.paragraph(data1, data2, topics[-1])
                count += length
            else:
                raise AssertionError(f"record type {kind:#x} at {pos:#x}")
            previous, pos = pos, following
        if topics[-1]["title"] != "" or topics[-1]["paragraphs"]:
            raise AssertionError("the last topic link is not an empty end record")
        return topics[:-1]

    @staticmethod
    def paragraph(data1, data2, topic):
        """Parses one text record; returns its TopicLength."""
        at = 0

        def cushort():
            nonlocal at
            b = data1[at]
            at += 1
            if b & 1:
                at += 1
                return (b >> 1) | (data1[at - 1] << 7)
            return b >> 1

        def culong():
            nonlocal at
            v = u16(data1, at)
            at += 2
            if v & 1:
                at += 2
                return (v >> 1) | (u16(data1, at - 2) << 15)
            return v >> 1

        culong()
        length = cushort()
        if length != len(data2):
            raise AssertionError(f"TopicLength {length} of {len(data2)} text bytes")
        at += 4
        bits = u16(data1, at)
        at += 2
        for bit in (0x0001, 0x0002, 0x0004, 0x0008, 0x0010, 0x0020, 0x0040):
            if bits & bit:
                if bit == 0x0001:
                    culong()
                else:
                    cushort()
        if bits & 0x0100:
            at += 3
        if bits & 0x0200:
            for _ in range(cushort() - 0x40):  # compressed signed short
                if cushort() & 0x4000:
                    cushort()
        strings = data2.split(b"\0")
        if strings[-1] != b"":
            raise AssertionError("text that is not ended by NUL")
        texts, s = [], 0
        while True:
            texts.append(strings[s].decode("cp1252"))
            s += 1
            command = data1[at]
            if command == 0xFF:
                at += 1
                break
            if command == 0x80:
                topic["fonts"].append(u16(data1, at + 1))
                at += 3
            elif command in (0x81, 0x82, 0x83, 0x89):
                at += 1
            elif command == 0xE3:
                topic["jumps"].append(u32(data1, at + 1))
                at += 5
            else:
                raise AssertionError(f"formatting command {command:#x}")
        if at != len(data1) or s != len(strings) - 1:
            raise AssertionError(f"{len(data1) - at} command bytes and {len(strings) - 1 - s} "
                                 "strings left over")
        topic["paragraphs"].append(texts)
        return length


def compile_source(text, folder):
    source = os.path.join(folder, "help.md")
    with open(source, "w", encoding="utf-8") as f:
        f.write(text)
    done = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "make-help.py"), source,
                           folder], capture_output=True, text=True)
    return done


def source_topics(text):
    return re.findall(r"^# (.+?) \{#([^}]+)\}$", text, re.MULTILINE)


class HelpFileChecks:
    """Checks shared by the real help text and the generated one."""

    def check_help(self, text, folder):
        done = compile_source(text, folder)
        self.assertEqual((done.returncode, done.stderr), (0, ""))
        with open(os.path.join(folder, "Korvane.hlp"), "rb") as f:
            hlp = HelpFile(f.read())
        with open(os.path.join(folder, "Korvane.cnt"), "rb") as f:
            cnt = f.read()
        expected = source_topics(text)
        title = re.search(r"^% (.+)$", text, re.MULTILINE).group(1)

        self.assertEqual(sorted(hlp.files), ["|CONTEXT", "|FONT", "|SYSTEM", "|TOPIC", "|TTLBTREE"])
        self.assertEqual(hlp.directory.structure, "z4")
        topics = hlp.topics()
        with self.subTest("topic titles, in source order"):
            self.assertEqual([t["title"] for t in topics], [t for t, _ in expected])
            self.assertEqual([t["number"] for t in topics], list(range(len(topics))))
            for t, following in zip(topics, topics[1:]):
                self.assertEqual(t["next"], following["pos"])
        header, records = hlp.system()
        with self.subTest("|SYSTEM"):
            self.assertEqual(header, (0x036C, 21, 1, 0))
            self.assertEqual(records[1], title.encode("cp1252") + b"\0")
            self.assertEqual(u32(records[3], 0), topics[0]["offset"])
        tree, contexts = hlp.contexts()
        with self.subTest("|CONTEXT: every topic id, found from the root"):
            self.assertEqual(tree.count, len(expected))
            self.assertEqual(len(contexts), len(expected))
            keys = [struct.unpack("<i", struct.pack("<I", h))[0] for h in contexts]
            self.assertEqual(keys, sorted(keys))
            for (_, context), topic in zip(expected, topics):
                entry = tree.search(lambda e: struct.unpack_from("<i", e, 0)[0],
                                    struct.unpack("<i", struct.pack("<I", engine_hash(context)))[0])
                self.assertIsNotNone(entry, context)
                self.assertEqual(u32(entry, 4), topic["offset"], context)
        starts = {t["offset"] for t in topics}
        with self.subTest("every jump lands on the start of a topic"):
            for topic in topics:
                for jump in topic["jumps"]:
                    self.assertIn(jump, contexts, f"a jump in \"{topic['title']}\"")
                    self.assertIn(contexts[jump], starts)
        with self.subTest("the contents page jumps to every other topic"):
            targets = {contexts[j] for j in topics[0]["jumps"]}
            self.assertEqual(targets, starts - {topics[0]["offset"]})
        ttl_tree, titles = hlp.titles()
        with self.subTest("|TTLBTREE"):
            self.assertEqual(titles, sorted((t["offset"], t["title"]) for t in topics))
            self.assertEqual(ttl_tree.count, len(topics))
        faces, descriptors = hlp.fonts()
        with self.subTest("|FONT"):
            self.assertTrue(faces)
            for d in descriptors:
                self.assertLess(u16(d, 3), len(faces))
            for topic in topics:
                for font in topic["fonts"]:
                    self.assertLess(font, len(descriptors))
        with self.subTest("Korvane.cnt"):
            lines = cnt.decode("cp1252").split("\r\n")
            self.assertEqual(lines[:3], [":Base Korvane.hlp", f":Title {title}", f"1 {title}"])
            self.assertEqual(lines[-1], "")
            self.assertNotIn("\n", "".join(lines))
            listed = [tuple(line[2:].rsplit("=", 1)) for line in lines[3:-1]]
            self.assertEqual(listed, expected)
            for _, context in listed:
                self.assertIn(engine_hash(context), contexts)
        return hlp, topics, tree, ttl_tree


class RealHelp(HelpFileChecks, unittest.TestCase):
    def test_real_help_text(self):
        with open(os.path.join(ROOT, "docs", "help", "korvane-help.md"), encoding="utf-8") as f:
            text = f.read()
        with tempfile.TemporaryDirectory() as folder:
            _, topics, _, _ = self.check_help(text, folder)
        # Report lines quoted in the help are shown exactly.
        shown = "\n".join(s for t in topics for p in t["paragraphs"] for s in p)
        for line in ("Loaded Ok", "Failed to load", "Not found", "can't open key",
                     "can't get value", "File seems to be truncated", "RIFF file",
                     "File does not start with 'RIFF'", "======== capture drivers ====",
                     "======== uninstall section ==", "nothing found"):
            with self.subTest(line=line):
                self.assertIn(line, shown)


class QuotedReportLines(unittest.TestCase):
    """The report lines the help shows are lines the program really writes."""

    # Topics whose fixed-font lines are not lines of `korvane run`: the file dump (its
    # lines come from a film) and the command lines typed at a prompt.
    NOT_FROM_THE_RUN = {"avi_dump", "command_line"}

    def test_quoted_lines_are_in_the_report(self):
        if not KORVANE:
            self.skipTest("no korvane program given")
        with open(os.path.join(ROOT, "docs", "help", "korvane-help.md"), encoding="utf-8") as f:
            text = f.read()
        done = subprocess.run([KORVANE, "run", "--machine", os.path.join(ROOT, "examples", "win98se")],
                              capture_output=True, text=True)
        self.assertEqual(done.returncode, 0)
        date = re.compile(r"\b\d{4}-\d{2}-\d{2}\b")
        report = {date.sub("DATE", line) for line in done.stdout.splitlines()}
        topic, quoted = None, 0
        for line in text.splitlines():
            heading = re.match(r"^# .* \{#([^}]+)\}$", line)
            if heading:
                topic = heading.group(1)
            elif line.startswith("    ") and topic not in self.NOT_FROM_THE_RUN:
                quoted += 1
                with self.subTest(topic=topic, line=line[4:]):
                    self.assertIn(date.sub("DATE", line[4:]), report)
        self.assertGreater(quoted, 20)


class LargeHelp(HelpFileChecks, unittest.TestCase):
    """Enough topics for several pages in each tree and several topic blocks."""

    def test_generated_help(self):
        count = 420
        ids = [f"topic_{n:03d}" for n in range(count)]
        parts = ["% Generated Help", "", "# Every topic {#index}", ""]
        parts += [f"- [Topic number {n} with a longer title to fill pages]({ids[n]})".replace("](", "](#")
                  for n in range(count)]
        for n in range(count):
            parts += ["", f"# Topic number {n} with a longer title to fill pages {{#{ids[n]}}}", "",
                      f"Paragraph of topic {n}: " + "words that fill the block " * (n % 7 + 1) +
                      f"and a jump to [the next]({'#' + ids[(n + 1) % count]}).",
                      "", "    a line shown as it is", "    and a second one"]
        with tempfile.TemporaryDirectory() as folder:
            hlp, topics, context_tree, ttl_tree = self.check_help("\n".join(parts) + "\n", folder)
        self.assertGreater(context_tree.levels, 1, "|CONTEXT needs an index page")
        self.assertGreater(ttl_tree.levels, 1, "|TTLBTREE needs an index page")
        self.assertGreater(len(hlp.files["|TOPIC"]) // 4096, 20)
        self.assertEqual(len(topics), count + 1)


class RefusedSources(unittest.TestCase):
    CASES = [
        ("no title line", "# A {#a}\n\ntext\n", ":1: the first line must name the help file"),
        ("text before a topic", "% T\nloose text\n# A {#a}\n", ":2: text before the first topic"),
        ("heading without id", "% T\n# A\n", ":2: a topic heading needs its id"),
        ("id with a space", "% T\n# A {#a b}\n", ":2: the topic id 'a b' may hold only"),
        ("same id twice", "% T\n# A {#a}\n# B {#A}\n", ":3: the topic id 'A' is already used on line 2"),
        ("jump to no topic", "% T\n# A {#a}\n\nsee [B](#b)\n", ":4: the jump to 'b' names no topic"),
        ("empty jump", "% T\n# A {#a}\n\nsee [B](#)\n", ":4: the jump [B] names no topic"),
        ("not in code page 1252", "% T\n# A {#a}\n\n\u4e2d\n", ":4: '\u4e2d' has no place"),
        ("open comment", "% T\n<!-- never closed\n# A {#a}\n", "a comment that is not closed"),
        ("no topic", "% T\n", "no topic"),
    ]

    def test_refused_with_file_and_line_and_nothing_written(self):
        for name, text, message in self.CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                kept = os.path.join(folder, "Korvane.hlp")
                with open(kept, "wb") as f:
                    f.write(b"an earlier help file")
                done = compile_source(text, folder)
                self.assertEqual(done.returncode, 2)
                self.assertIn("help.md", done.stderr)
                self.assertIn(message, done.stderr)
                with open(kept, "rb") as f:
                    self.assertEqual(f.read(), b"an earlier help file")
                self.assertFalse(os.path.exists(os.path.join(folder, "Korvane.cnt")))
                self.assertEqual(sorted(os.listdir(folder)), ["Korvane.hlp", "help.md"])


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    ROOT = sys.argv[1]
    KORVANE = sys.argv[2] if len(sys.argv) == 3 else None
    unittest.main(argv=sys.argv[:1], verbosity=2)
