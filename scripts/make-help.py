#!/usr/bin/env python3
"""Compiles the help text (docs/help/korvane-help.md) into Korvane.hlp and Korvane.cnt.

No help compiler runs on Linux, so this writes the WinHelp 3.1 file format itself, the
subset that the help engine needs: the internal file system with its directory B+ tree,
|SYSTEM (title, contents topic), |FONT, |TOPIC (uncompressed topic blocks), |CONTEXT
(context hash to topic offset) and |TTLBTREE (topic offset to title). The contents file
Korvane.cnt lists the topics for the Help Topics dialog of the 32-bit help engine.

Usage: make-help.py SOURCE OUTPUT_DIR
A source that cannot be compiled is refused with its file and line; nothing is written.
"""
import os
import re
import struct
import sys
import tempfile

HLP_NAME = "Korvane.hlp"
CNT_NAME = "Korvane.cnt"

TOPIC_BLOCK_SIZE = 4096       # |TOPIC blocks of WinHelp 3.1 files without compression
TOPIC_BLOCK_HEADER = 12
MAX_LINK_DATA = 0x3FFF        # keeps every count within its compressed field

# Fonts of |FONT, by index: (attribute bits, half points, family, face name index)
FACES = ["Arial", "Courier New"]
BOLD = 0x01
FAMILY_MODERN, FAMILY_SWISS = 0x01, 0x03
FONT_BODY, FONT_TITLE, FONT_BOLD, FONT_CODE, FONT_HEADING = range(5)
FONTS = [
    (0, 20, FAMILY_SWISS, 0),      # body text, 10 points
    (BOLD, 28, FAMILY_SWISS, 0),   # topic title, 14 points
    (BOLD, 20, FAMILY_SWISS, 0),   # bold text
    (0, 18, FAMILY_MODERN, 1),     # report lines and names, 9 points
    (BOLD, 22, FAMILY_SWISS, 0),   # heading inside a topic, 11 points
]
FACE_NAME_SIZE = 20

# Paragraph layout: bit of the paragraph info, value in half points.
SPACE_ABOVE, LEFT_INDENT, FIRST_LINE_INDENT = 0x0002, 0x0010, 0x0040


class HelpError(Exception):
    """A source that cannot be compiled: the message names the file and line."""


# ---- the source ------------------------------------------------------------------------

class Paragraph:
    def __init__(self, kind, line):
        self.kind = kind          # "title", "text", "heading", "item", "code"
        self.line = line
        self.runs = []            # (font, text, jump target or None)


class Topic:
    def __init__(self, title, context, line):
        self.title, self.context, self.line = title, context, line
        self.paragraphs = []


INLINE = re.compile(r"\[([^\]]+)\]\(#([^)]*)\)|`([^`]+)`|\*\*([^*]+)\*\*")
CONTEXT_ID = re.compile(r"^[A-Za-z0-9_.]+$")


def inline_runs(text, font, where):
    """Splits a paragraph's text into (font, text, jump) runs."""
    runs, pos = [], 0
    for m in INLINE.finditer(text):
        if m.start() > pos:
            runs.append((font, text[pos:m.start()], None))
        if m.group(1) is not None:
            if not m.group(2):
                raise HelpError(f"{where}: the jump [{m.group(1)}] names no topic")
            runs.append((font, m.group(1), m.group(2)))
        elif m.group(3) is not None:
            runs.append((FONT_CODE, m.group(3), None))
        else:
            runs.append((FONT_BOLD, m.group(4), None))
        pos = m.end()
    if pos < len(text):
        runs.append((font, text[pos:], None))
    for _, run_text, _ in runs:
        if "[" in run_text and "](" in run_text:
            raise HelpError(f"{where}: a jump that is not [text](#topic)")
    return runs


def parse_source(text, name):
    """(help title, topics) from the source text."""
    lines = text.split("\n")
    title, topics = None, []
    paragraph, in_comment = None, False

    def close():
        nonlocal paragraph
        if paragraph is not None:
            topics[-1].paragraphs.append(paragraph)
            paragraph = None

    for number, raw in enumerate(lines, 1):
        where = f"{name}:{number}"
        line = raw.rstrip("\r")
        if in_comment:
            in_comment = "-->" not in line
            continue
        if line.startswith("<!--"):
            close()
            in_comment = "-->" not in line
            continue
        if line.startswith("% "):
            if title is not None or topics:
                raise HelpError(f"{where}: the help title comes once, on the first line")
            title = line[2:].strip()
            continue
        heading = re.match(r"^# (.+?)\s*\{#([^}]*)\}\s*$", line)
        if heading:
            close()
            if not CONTEXT_ID.match(heading.group(2)):
                raise HelpError(f"{where}: the topic id '{heading.group(2)}' may hold only "
                                "letters, digits, '_' and '.'")
            topics.append(Topic(heading.group(1), heading.group(2), number))
            p = Paragraph("title", number)
            p.runs.append((FONT_TITLE, heading.group(1), None))
            topics[-1].paragraphs.append(p)
            continue
        if line.startswith("# "):
            raise HelpError(f"{where}: a topic heading needs its id: # Title {{#id}}")
        if not line.strip():
            close()
            continue
        if not topics:
            raise HelpError(f"{where}: text before the first topic")
        if line.startswith("    "):
            if paragraph is None or paragraph.kind != "code":
                close()
                paragraph = Paragraph("code", number)
            else:
                paragraph.runs.append(("break", "", None))
            paragraph.runs.append((FONT_CODE, line[4:], None))
            continue
        if line.startswith("## "):
            close()
            p = Paragraph("heading", number)
            p.runs.append((FONT_HEADING, line[3:].strip(), None))
            topics[-1].paragraphs.append(p)
            continue
        if line.startswith("- "):
            close()
            paragraph = Paragraph("item", number)
            paragraph.text = line[2:].strip()
            continue
        if paragraph is None or paragraph.kind == "code":
            close()
            paragraph = Paragraph("text", number)
            paragraph.text = line.strip()
        else:
            paragraph.text += " " + line.strip()
    close()
    if in_comment:
        raise HelpError(f"{name}: a comment that is not closed with -->")
    if title is None:
        raise HelpError(f"{name}:1: the first line must name the help file: % Title")
    if not topics:
        raise HelpError(f"{name}: no topic (# Title {{#id}})")

    for topic in topics:
        for p in topic.paragraphs:
            if p.kind in ("text", "item"):
                p.runs = inline_runs(p.text, FONT_BODY, f"{name}:{p.line}")
    check_references(topics, name)
    return title, topics


def check_references(topics, name):
    seen = {}
    for topic in topics:
        key = topic.context.lower()
        if key in seen:
            raise HelpError(f"{name}:{topic.line}: the topic id '{topic.context}' is already "
                            f"used on line {seen[key].line}")
        seen[key] = topic
    hashes = {}
    for topic in topics:
        h = context_hash(topic.context)
        if h in hashes:
            raise HelpError(f"{name}:{topic.line}: the topic ids '{topic.context}' and "
                            f"'{hashes[h].context}' have the same hash; rename one")
        hashes[h] = topic
    for topic in topics:
        for p in topic.paragraphs:
            for _, _, target in p.runs:
                if target is not None and target.lower() not in seen:
                    raise HelpError(f"{name}:{p.line}: the jump to '{target}' names no topic")


# ---- encoding helpers ------------------------------------------------------------------

def ansi(text, where):
    try:
        return text.encode("cp1252")
    except UnicodeEncodeError as e:
        raise HelpError(f"{where}: '{text[e.start]}' has no place in the Windows character "
                        "set (code page 1252)") from None


def context_hash(context):
    """The help engine's hash of a context id (letters, digits, '_' and '.')."""
    value = 0
    for c in context:
        if "A" <= c <= "Z":
            x = ord(c) - ord("A") + 17
        elif "a" <= c <= "z":
            x = ord(c) - ord("a") + 17
        elif "1" <= c <= "9":
            x = ord(c) - ord("0")
        elif c == "0":
            x = 10
        elif c == ".":
            x = 12
        else:  # "_"
            x = 13
        value = (value * 43 + x) & 0xFFFFFFFF
    return value


def signed32(value):
    return value - (1 << 32) if value & 0x80000000 else value


def compressed_ushort(value):
    if value < 0x80:
        return bytes([value * 2])
    if value < 0x8000:
        return bytes([(value % 128) * 2 + 1, value // 128])
    raise HelpError(f"a value of {value} does not fit a compressed short")


def compressed_short(value):
    if -0x40 <= value <= 0x3F:
        return compressed_ushort(value + 0x40)
    return compressed_ushort(value + 0x4000)


def compressed_ulong(value):
    if value < 0x8000:
        return struct.pack("<H", value * 2)
    if value < 0x40000000:
        return struct.pack("<HH", (value % 32768) * 2 + 1, value // 32768)
    raise HelpError(f"a value of {value} does not fit a compressed long")


def compressed_long(value):
    if -0x4000 <= value <= 0x3FFF:
        return compressed_ulong(value + 0x4000)
    return compressed_ulong(value + 0x4000000)


# ---- topic records ---------------------------------------------------------------------

class Link:
    """One TOPICLINK of |TOPIC: a topic header (type 2) or a paragraph (type 0x20)."""

    def __init__(self, record_type, data1, data2):
        self.record_type, self.data1, self.data2 = record_type, data1, data2
        self.topic = None          # the Topic of a header link
        self.pos = self.offset = 0  # TOPICPOS and TOPICOFFSET, from the layout

    @property
    def size(self):
        return 21 + len(self.data1) + len(self.data2)


def paragraph_link(p, where):
    layout = {"title": {SPACE_ABOVE: 4}, "text": {SPACE_ABOVE: 6},
              "heading": {SPACE_ABOVE: 12}, "item": {SPACE_ABOVE: 4, LEFT_INDENT: 28,
                                                      FIRST_LINE_INDENT: -14},
              "code": {SPACE_ABOVE: 6, LEFT_INDENT: 28}}[p.kind]
    bits = 0
    info = b""
    for bit in (SPACE_ABOVE, LEFT_INDENT, FIRST_LINE_INDENT):
        if bit in layout:
            bits |= bit
            info += compressed_short(layout[bit])
    commands, texts = bytearray(), bytearray()
    # Each formatting command follows the text before it and that text's NUL.
    def command(cmd):
        texts.append(0)
        commands.extend(cmd)

    runs = list(p.runs)
    if p.kind == "item":
        runs.insert(0, (FONT_BODY, "\u2022\t", None))
    font = None
    for run_font, text, target in runs:
        if run_font == "break":
            command(b"\x81")
            continue
        if run_font != font:
            command(b"\x80" + struct.pack("<H", run_font))
            font = run_font
        if target is not None:
            command(b"\xE3" + struct.pack("<I", context_hash(target)))
        for n, piece in enumerate(ansi(text, where).split(b"\t")):
            if n:
                command(b"\x83")
            texts.extend(piece)
        if target is not None:
            command(b"\x89")
    command(b"\x82")
    command(b"\xFF")
    if p.kind == "item":  # one tab stop, where the item's text starts
        bits |= 0x0200
        info += compressed_short(1) + compressed_ushort(28)
    head = b"\x00\x80" + struct.pack("<HH", 0, bits) + info
    data1 = head + bytes(commands)
    data2 = bytes(texts)
    if len(data1) > MAX_LINK_DATA or len(data2) > MAX_LINK_DATA:
        raise HelpError(f"{where}: the paragraph is too long for one help record")
    sizes = compressed_long(len(data1)) + compressed_ushort(len(data2))
    return Link(0x20, sizes + data1, data2)


def topic_links(topics, name):
    links = []
    for number, topic in enumerate(topics):
        header = Link(2, bytes(28), ansi(topic.title, f"{name}:{topic.line}"))
        header.topic = topic
        header.number = number
        links.append(header)
        for p in topic.paragraphs:
            links.append(paragraph_link(p, f"{name}:{p.line}"))
    # The last link holds no data: it ends the last topic.
    end = Link(2, bytes(28), b"")
    end.number = None
    links.append(end)
    return links


def lay_out(links):
    """Gives each link its TOPICPOS and TOPICOFFSET, as the engine counts them."""
    block, pos, count = 0, TOPIC_BLOCK_HEADER, 0
    for link in links:
        link.pos = block * 0x4000 + pos
        link.offset = block * 0x8000 + count
        link.block = block
        pos += link.size
        if link.record_type != 2:
            count += len(link.data2)
        while pos >= TOPIC_BLOCK_SIZE:
            block += 1
            count = 0
            pos -= TOPIC_BLOCK_SIZE - TOPIC_BLOCK_HEADER


def fill_headers(links):
    headers = [i for i, link in enumerate(links) if link.record_type == 2]
    for n, i in enumerate(headers):
        link = links[i]
        end = headers[n + 1] if n + 1 < len(headers) else len(links)
        body = links[i:end]
        scroll = links[i + 1].pos if i + 1 < end else 0xFFFFFFFF
        following = links[headers[n + 1]].pos if n + 1 < len(headers) else 0xFFFFFFFF
        number = link.number if link.number is not None else len(headers) - 1
        link.data1 = struct.pack("<IIIIIII", sum(l.size for l in body), 0xFFFFFFFF,
                                 0xFFFFFFFF, number, 0xFFFFFFFF, scroll, following)


def topic_file(links):
    last_link, last_header = 0xFFFFFFFF, 0
    blocks = []
    current = None

    def start_block():
        nonlocal current
        current = bytearray(struct.pack("<III", last_link, 0xFFFFFFFF, last_header))
        blocks.append(current)

    def write(data):
        data = memoryview(data)
        while data:
            room = TOPIC_BLOCK_SIZE - len(current)
            if room == 0:
                start_block()
                room = TOPIC_BLOCK_SIZE - len(current)
            current.extend(data[:room])
            data = data[room:]

    start_block()
    for i, link in enumerate(links):
        if len(current) == TOPIC_BLOCK_SIZE:
            start_block()
        if struct.unpack_from("<I", current, 4)[0] == 0xFFFFFFFF:
            struct.pack_into("<I", current, 4, link.pos)
        previous = links[i - 1].pos if i > 0 else 0xFFFFFFFF
        following = links[i + 1].pos if i + 1 < len(links) else 0xFFFFFFFF
        write(struct.pack("<IIIIIB", link.size, len(link.data2), previous, following,
                          21 + len(link.data1), link.record_type))
        write(link.data1)
        write(link.data2)
        last_link = link.pos
        if link.record_type == 2:
            last_header = link.pos
    # Every block but the last is full; the last is padded so that readers that read
    # whole blocks stay inside the file.
    current.extend(bytes(TOPIC_BLOCK_SIZE - len(current)))
    return b"".join(bytes(b) for b in blocks)


# ---- B+ trees and the internal file system ---------------------------------------------

def btree(entries, page_size, structure, flags=0x0002):
    """A B+ tree of (index key, leaf entry) pairs, already sorted."""
    pages, levels = [], 1
    leaves = []  # (first index key, page number)
    i = 0
    while i < len(entries) or not leaves:
        body, count = bytearray(), 0
        first_key = entries[i][0] if i < len(entries) else b""
        while i < len(entries) and len(body) + len(entries[i][1]) <= page_size - 8:
            body += entries[i][1]
            count += 1
            i += 1
        if count == 0 and i < len(entries):
            raise HelpError("an entry does not fit a B+ tree page")
        leaves.append((first_key, len(pages)))
        pages.append([count, body])
    for n, (_, number) in enumerate(leaves):
        count, body = pages[number]
        previous = n - 1 if n > 0 else 0xFFFF
        following = leaves[n + 1][1] if n + 1 < len(leaves) else 0xFFFF
        pages[number] = struct.pack("<HhHH", page_size - 8 - len(body), count, previous,
                                    following) + bytes(body) + bytes(page_size - 8 - len(body))
    level = leaves
    while len(level) > 1:
        levels += 1
        upper, j = [], 0
        while j < len(level):
            first_key, first_page = level[j]
            body, count = bytearray(), 0
            j += 1
            while j < len(level) and len(body) + len(level[j][0]) + 2 <= page_size - 6:
                body += level[j][0] + struct.pack("<H", level[j][1])
                count += 1
                j += 1
            upper.append((first_key, len(pages)))
            pages.append(struct.pack("<HhH", page_size - 6 - len(body), count, first_page) +
                         bytes(body) + bytes(page_size - 6 - len(body)))
        level = upper
    header = struct.pack("<HHH16shhhhhhi", 0x293B, flags, page_size,
                         structure.encode().ljust(16, b"\0"), 0, len(pages) - levels,
                         len(pages) - 1, -1, len(pages), levels, len(entries))
    return header + b"".join(pages)


def system_file(title, contents_offset):
    records = b""
    for record_type, data in ((1, title + b"\0"), (3, struct.pack("<I", contents_offset))):
        records += struct.pack("<HH", record_type, len(data)) + data
    # Magic, version 1.21 (WinHelp 3.1), no generation date, flags 0: not compressed.
    return struct.pack("<HHHIH", 0x036C, 21, 1, 0, 0) + records


def font_file():
    names = b"".join(face.encode().ljust(FACE_NAME_SIZE, b"\0") for face in FACES)
    descriptors = b"".join(struct.pack("<BBBH3s3s", attrs, half_points, family, face, b"\0" * 3,
                                       b"\0" * 3)
                           for attrs, half_points, family, face in FONTS)
    return struct.pack("<HHHH", len(FACES), len(FONTS), 8, 8 + len(names)) + names + descriptors


def help_file(internal_files):
    """The whole file: header, the internal files, then the directory."""
    out = bytearray(16)
    offsets = {}
    for name in sorted(internal_files, key=lambda n: n.encode()):
        data = internal_files[name]
        offsets[name] = len(out)
        out += struct.pack("<IIB", len(data) + 9, len(data), 4) + data
    directory = btree([(name.encode() + b"\0", name.encode() + b"\0" + struct.pack("<I", offsets[name]))
                       for name in sorted(internal_files, key=lambda n: n.encode())],
                      1024, "z4", flags=0x0402)
    directory_start = len(out)
    out += struct.pack("<IIB", len(directory) + 9, len(directory), 4) + directory
    struct.pack_into("<IiiI", out, 0, 0x00035F3F, directory_start, -1, len(out))
    return bytes(out)


def compile_help(title, topics, name):
    links = topic_links(topics, name)
    lay_out(links)
    fill_headers(links)
    headers = [l for l in links if l.record_type == 2 and l.number is not None]
    contexts = sorted(((context_hash(l.topic.context), l.offset) for l in headers),
                      key=lambda e: signed32(e[0]))
    titles = sorted((l.offset, l.data2) for l in headers)
    files = {
        "|SYSTEM": system_file(ansi(title, f"{name}:1"), headers[0].offset),
        "|FONT": font_file(),
        "|TOPIC": topic_file(links),
        "|CONTEXT": btree([(struct.pack("<I", h), struct.pack("<II", h, o)) for h, o in contexts],
                          2048, "L4"),
        "|TTLBTREE": btree([(struct.pack("<I", o), struct.pack("<I", o) + t + b"\0")
                            for o, t in titles], 2048, "Lz"),
    }
    return help_file(files)


def contents_file(title, topics, name):
    """Korvane.cnt: the Help Topics dialog's contents, one book with every topic."""
    lines = [f":Base {HLP_NAME}", f":Title {title}", f"1 {title}"]
    lines += [f"2 {t.title}={t.context}" for t in topics]
    return ansi("\r\n".join(lines) + "\r\n", f"{name}:1")


def write_atomically(path, data):
    folder = os.path.dirname(path) or "."
    fd, temporary = tempfile.mkstemp(dir=folder, prefix=".make-help.")
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
        os.chmod(temporary, 0o644)
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    source, output = argv[1], argv[2]
    try:
        with open(source, encoding="utf-8") as f:
            text = f.read()
    except (OSError, UnicodeDecodeError) as e:
        sys.stderr.write(f"make-help: cannot read {source}: {e}\n")
        return 2
    try:
        title, topics = parse_source(text, source)
        hlp = compile_help(title, topics, source)
        cnt = contents_file(title, topics, source)
    except HelpError as e:
        sys.stderr.write(f"make-help: {e}\n")
        return 2
    try:
        os.makedirs(output, exist_ok=True)
        write_atomically(os.path.join(output, HLP_NAME), hlp)
        write_atomically(os.path.join(output, CNT_NAME), cnt)
    except OSError as e:
        sys.stderr.write(f"make-help: cannot write to {output}: {e}\n")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
