#!/usr/bin/env python3
"""Holds `korvane codecs --json` read offline from a Wine prefix against the same command run
live inside it and against what DirectShow itself enumerates there (directshow-probe.exe):
the same DirectShow filters with the same names and merits, the same filters offered for each
media type (best merit first), the same decoder DMOs with the same input types, and the
repository's test filters listed above every other decoder of their FourCCs.

Usage: compare-codecs.py PROBE.txt LIVE.json OFFLINE.json
Prints one line per disagreement and a summary; exit status 1 when anything disagrees.
"""
import json
import re
import struct
import sys

GUID_NULL = "{00000000-0000-0000-0000-000000000000}"
MERIT_DO_NOT_USE = 0x200000
MERIT_PREFERRED = 0x800000
VIDEO = "{73646976-0000-0010-8000-00AA00389B71}"
AUDIO = "{73647561-0000-0010-8000-00AA00389B71}"
STREAM = "{E436EB83-524F-11CE-9F53-0020AF0BA770}"
AVI_FILE = (STREAM, "{E436EB88-524F-11CE-9F53-0020AF0BA770}")
PIN_OUTPUT = 0x8
# The test filters of tests/wine/try/test_filter.c: FourCC, CLSID, library.
TEST_FILTERS = [
    ("KVDN", "{4E44564B-4B56-4453-8000-6B7664736E6F}", "kvdsnone.dll"),
    ("KVDC", "{4344564B-4B56-4453-8000-6B7664736372}", "kvdscrash.dll"),
    ("KVDH", "{4844564B-4B56-4453-8000-6B7664736867}", "kvdshang.dll"),
]
LISTS = ["vfw", "acm", "directshow", "dmo", "mediafoundation"]

failures = []


def fail(text):
    failures.append(text)
    print("  FAIL: " + text)


def fourcc_subtype(fourcc):
    value = int.from_bytes(fourcc.encode("ascii"), "little")
    return "{%08X-0000-0010-8000-00AA00389B71}" % value


def guid_at(data, offset):
    if offset + 16 > len(data):
        raise ValueError("a GUID offset past the end")
    d1, d2, d3 = struct.unpack_from("<IHH", data, offset)
    tail = data[offset + 8:offset + 16].hex().upper()
    return "{%08X-%04X-%04X-%s-%s}" % (d1, d2, d3, tail[:4], tail[4:])


def parse_filter_data(hex_text):
    """The pins of a version 2 FilterData as DirectShow handed it over: a list of (is output,
    [(major, subtype)]). Pins follow the header, each pin's media types follow the pin."""
    data = bytes.fromhex(hex_text)
    version, _, pin_count, _ = struct.unpack_from("<4I", data, 0)
    if version != 2:
        raise ValueError("FilterData version %d" % version)
    pins, at = [], 16
    for _ in range(pin_count):
        _, flags, _, type_count, medium_count, _ = struct.unpack_from("<4s5I", data, at)
        at += 24
        types = []
        for _ in range(type_count):
            _, _, major, subtype = struct.unpack_from("<4s3I", data, at)
            types.append((guid_at(data, major), guid_at(data, subtype)))
            at += 16
        at += 4 * medium_count
        pins.append((bool(flags & PIN_OUTPUT), types))
    return pins


def type_accepts(types, major, subtype):
    return any(m in (major, GUID_NULL) and s in (subtype, GUID_NULL) for m, s in types)


def listed_by_codecs(pins):
    """Whether `korvane codecs` lists a filter with these pins: decoders (video or audio in,
    something out), splitters that take an AVI file, sources that give one."""
    inputs = [t for out, types in pins if not out for t in types]
    outputs = [t for out, types in pins if out for t in types]
    has_input = any(not out for out, _ in pins)
    if not has_input and pins:
        return type_accepts(outputs, *AVI_FILE)
    if any(m == STREAM for m, _ in inputs):
        return type_accepts(inputs, *AVI_FILE)
    gives_out = any(out for out, _ in pins)
    return any(m in (VIDEO, AUDIO) for m, _ in inputs) and gives_out


def read_probe(path):
    probe = {"filter": [], "match": [], "dmo": [], "error": []}
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            fields = line.rstrip("\n").split("\t")
            probe.setdefault(fields[0], []).append(fields[1:])
    return probe


def accepts(inputs, major, subtype):
    return any(t["major"] in (major, GUID_NULL) and t["subtype"] in (subtype, GUID_NULL)
               for t in inputs)


def item_key(item):
    return (item.get("where") or "", item.get("name") or "", item.get("clsid") or "")


def comparable(field, value):
    """A field as both sides must give it. Why a library does not load is the loader's own
    words live (Wine's "error 126") and korvane's offline ("a folder, not a library"): that
    it does not load must agree, the words need not."""
    if field == "broken" and value:
        return [re.sub(r"(does not load): .*", r"\1", text) for text in value]
    return value


def compare_live_offline(live, offline):
    """Every list item by item, every field: both sides read the same registrations."""
    for name in LISTS:
        live_items = {item_key(i): i for i in live.get(name, [])}
        offline_items = {item_key(i): i for i in offline.get(name, [])}
        for key in sorted(live_items.keys() | offline_items.keys()):
            one, other = live_items.get(key), offline_items.get(key)
            if one is None or other is None:
                fail("%s: %s only %s" % (name, key, "offline" if one is None else "live"))
                continue
            for field in sorted(one.keys() | other.keys()):
                if comparable(field, one.get(field)) != comparable(field, other.get(field)):
                    fail("%s %s: %s live %r, offline %r"
                         % (name, key[1] or key[0], field, one.get(field), other.get(field)))
        print("  live and offline: %d %s items" % (len(offline_items), name))


def compare_filters(probe, offline):
    """The legacy filter category: DirectShow's monikers against the offline list."""
    by_clsid = {f["clsid"]: f for f in offline["directshow"]}
    seen = set()
    dmo_names = {d["name"] for d in offline["dmo"]}
    for clsid, merit, name, filter_data in probe["filter"]:
        if not clsid:
            # A DMO, which DirectShow enumerates in this category too, by the DMO's name.
            if name not in dmo_names:
                fail("DirectShow lists the DMO %r among its filters; offline has no such DMO"
                     % name)
            continue
        try:
            pins = parse_filter_data(filter_data)
        except (ValueError, struct.error) as error:
            fail("filter %r: its FilterData does not parse here (%s)" % (name, error))
            continue
        ours = by_clsid.get(clsid)
        if ours is None:
            if listed_by_codecs(pins):
                fail("filter %s %r: DirectShow lists it, offline does not" % (clsid, name))
            continue
        seen.add(clsid)
        if ours["name"] != name:
            fail("filter %s: DirectShow names it %r, offline %r" % (clsid, name, ours["name"]))
        expected = None if merit == "none" else int(merit)
        if ours["merit"] != expected:
            fail("filter %r: merit %s in DirectShow, %s offline" % (name, merit, ours["merit"]))
        theirs = sorted(t for out, types in pins if not out for t in types)
        mine = sorted((t["major"], t["subtype"]) for t in ours["inputs"])
        if theirs != mine:
            fail("filter %r: input types %s in DirectShow, %s offline" % (name, theirs, mine))
        if not listed_by_codecs(pins):
            fail("filter %r (%s) is listed offline but takes no AVI file or stream"
                 % (name, ours.get("role")))
    for clsid in sorted(by_clsid.keys() - seen):
        fail("filter %s %r: offline lists it, DirectShow does not" % (clsid, by_clsid[clsid]["name"]))
    print("  filters: %d from DirectShow, %d offline" % (len(probe["filter"]), len(by_clsid)))


def compare_matches(probe, offline):
    """The filters DirectShow offers for each media type against the offline inputs and
    merits: the same set among those korvane codecs lists (renderers and the like it leaves
    out), and DirectShow's order never rising in merit."""
    listed = {f["clsid"] for f in offline["directshow"]}
    offered = {}
    for major, subtype, clsid, name in probe["match"]:
        offered.setdefault((major, subtype), []).append((clsid, name))
    for (major, subtype), filters in offered.items():
        expected = {f["clsid"] for f in offline["directshow"]
                    if (f["merit"] or 0) > MERIT_DO_NOT_USE and accepts(f["inputs"], major, subtype)}
        got = {clsid for clsid, _ in filters if clsid in listed}
        if got != expected:
            fail("%s/%s: DirectShow offers %s, offline %s"
                 % (major, subtype, sorted(got - expected), sorted(expected - got)))
        merits = [next((f["merit"] for f in offline["directshow"] if f["clsid"] == c), None)
                  for c, _ in filters if c]
        if any(a is not None and b is not None and a < b for a, b in zip(merits, merits[1:])):
            fail("%s/%s: DirectShow's order %s is not by the offline merits %s"
                 % (major, subtype, [n for _, n in filters], merits))
    print("  media types: %d asked of EnumMatchingFilters" % len(offered))


def compare_dmos(probe, offline):
    """Decoder DMOs: DMOEnum's names and input types against the offline list."""
    by_clsid = {d["clsid"]: d for d in offline["dmo"]}
    for kind, clsid, name, inputs in probe["dmo"]:
        ours = by_clsid.get(clsid)
        if ours is None:
            fail("%s decoder DMO %s %r: DMOEnum lists it, offline does not" % (kind, clsid, name))
            continue
        if ours["name"] != name:
            fail("DMO %s: DMOEnum names it %r, offline %r" % (clsid, name, ours["name"]))
        theirs = set(inputs.split(",")) if inputs else set()
        mine = {"%s/%s" % (t["major"], t["subtype"]) for t in ours["inputs"]}
        if theirs != mine:
            fail("DMO %r: inputs only in DMOEnum %s, only offline %s"
                 % (name, sorted(theirs - mine), sorted(mine - theirs)))
    print("  DMOs: %d decoders from DMOEnum, %d offline" % (len(probe["dmo"]), len(by_clsid)))


def check_test_filters(probe, offline):
    """Each test filter is listed with its merit, its library found, and offered first
    among the decoders of its FourCC."""
    by_clsid = {f["clsid"]: f for f in offline["directshow"]}
    for fourcc, clsid, library in TEST_FILTERS:
        ours = by_clsid.get(clsid)
        if ours is None:
            fail("test filter %s is not listed offline" % fourcc)
            continue
        if ours["merit"] != MERIT_PREFERRED + 1:
            fail("test filter %s: merit %s" % (fourcc, ours["merit"]))
        if not (ours["path"] or "").lower().endswith("\\" + library) or ours["found"] is not True:
            fail("test filter %s: library %r at %r, found %r"
                 % (fourcc, ours["library"], ours["path"], ours["found"]))
        if ours.get("role") != "decoder":
            fail("test filter %s: role %r" % (fourcc, ours.get("role")))
        subtype = fourcc_subtype(fourcc)
        decoders = [f for f in offline["directshow"] if f.get("role") == "decoder" and
                    (f["merit"] or 0) > MERIT_DO_NOT_USE and accepts(f["inputs"], VIDEO, subtype)]
        best = max(decoders, key=lambda f: f["merit"], default=None)
        if best is None or best["clsid"] != clsid:
            fail("test filter %s: the best decoder offline is %r" % (fourcc, best and best["name"]))
        if clsid not in [c for major, sub, c, _ in probe["match"] if sub == subtype]:
            fail("test filter %s: DirectShow does not offer it for its FourCC" % fourcc)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    probe = read_probe(sys.argv[1])
    with open(sys.argv[2], encoding="utf-8") as f:
        live = json.load(f)
    with open(sys.argv[3], encoding="utf-8") as f:
        offline = json.load(f)
    for error in probe["error"]:
        fail("directshow-probe: " + error[0])
    # A probe that saw nothing would agree with anything.
    if not probe["filter"] or not probe["match"] or not probe["dmo"]:
        fail("directshow-probe found no filters, offers or DMOs")
    compare_live_offline(live, offline)
    compare_filters(probe, offline)
    compare_matches(probe, offline)
    compare_dmos(probe, offline)
    check_test_filters(probe, offline)
    print("  codecs: %s" % ("%d disagreements" % len(failures) if failures else "agree"))
    sys.exit(1 if failures else 0)


main()
