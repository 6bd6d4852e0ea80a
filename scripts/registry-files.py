#!/usr/bin/env python3
"""Writes the registry files of test machines: Windows 9x registry files and NT hives.

No Linux tool writes a Windows 9x registry file (CREG), so this writes one from the
documented layout; every file it writes is meant to be checked with libcreg's cregexport.
NT hives are filled by hivex (hivexregedit --merge), which needs a hive to start from:
this writes the smallest valid empty one, and the .reg input hivexregedit merges.

  registry-files.py empty-hive OUT
  registry-files.py creg OUT IN.reg --root PATH [--under NAME] [--spare N]
        the keys of IN.reg below PATH (e.g. HKEY_LOCAL_MACHINE) become a 9x registry
        file; with --under NAME they go below a key NAME of the file's root (USER.DAT's
        .DEFAULT); --spare N makes every key record N bytes larger than it uses
  registry-files.py hive-reg OUT.reg IN.reg --root PATH [--sorted]
        the keys of IN.reg below PATH as a .reg file for hivexregedit --merge --prefix,
        every value written as hex(TYPE) bytes, text as UTF-16LE the way NT stores it;
        below HKEY_LOCAL_MACHINE\\SYSTEM, CurrentControlSet becomes ControlSet001 with
        Select\\Current 1
  registry-files.py hive OUT IN.reg --root PATH
        the keys of IN.reg below PATH as the NT hive OUT: empty-hive, hive-reg and
        hivexregedit --merge in one step
  registry-files.py family IN.reg
        prints "nt" or "9x": the family whose registry IN.reg is, told by the values
        only that family writes (NT's CurrentVersion and CurrentBuildNumber below
        Windows NT\\CurrentVersion, 9x's VersionNumber below Windows\\CurrentVersion;
        98 and ME have the Windows NT key too); with neither, NT when it has that key

HKEY_CLASSES_ROOT keys of IN.reg count as HKEY_LOCAL_MACHINE\\Software\\Classes keys.
"""
import os
import struct
import subprocess
import sys
import tempfile

REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ = 1, 2, 3, 4, 7
ROOT_ALIASES = {
    "HKEY_CLASSES_ROOT": "HKEY_LOCAL_MACHINE\\Software\\Classes",
    "HKCR": "HKEY_LOCAL_MACHINE\\Software\\Classes",
    "HKLM": "HKEY_LOCAL_MACHINE",
    "HKCU": "HKEY_CURRENT_USER",
}


class Key:
    def __init__(self, name):
        self.name = name
        self.subkeys = []  # file order
        self.values = []  # (name, type, bytes) in file order

    def child(self, name):
        for k in self.subkeys:
            if k.name.upper() == name.upper():
                return k
        k = Key(name)
        self.subkeys.append(k)
        return k


def read_reg_text(path):
    raw = open(path, "rb").read()
    if raw.startswith(b"\xff\xfe"):
        return raw[2:].decode("utf-16-le"), False
    text = raw.decode("cp1252")
    return text, text.startswith("REGEDIT4")


def logical_lines(text):
    pending = ""
    for line in text.splitlines():
        if pending:
            line = pending + line.strip()
            pending = ""
        if line.endswith("\\") and not line.lstrip().startswith("["):
            pending = line[:-1]
            continue
        yield line
    if pending:
        yield pending


def unquote(text, pos):
    """The string starting after the quote at pos; returns (string, index after it)."""
    out = []
    i = pos + 1
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append(text[i + 1])
            i += 2
            continue
        if c == '"':
            return "".join(out), i + 1
        out.append(c)
        i += 1
    raise ValueError("unterminated string: " + text)


def parse_data(text, ansi):
    """Value text after '=' as (type, bytes); text data in the file's own encoding."""
    text = text.strip()
    if text.startswith('"'):
        s, _ = unquote(text, 0)
        return REG_SZ, encode_text(s, ansi)
    if text.lower().startswith("dword:"):
        return REG_DWORD, struct.pack("<I", int(text[6:], 16))
    if text.lower().startswith("hex"):
        kind, _, body = text.partition(":")
        vtype = REG_BINARY if kind.lower() == "hex" else int(kind[4:-1], 16)
        data = bytes(int(b, 16) for b in body.replace(" ", "").split(",") if b)
        return vtype, data
    raise ValueError("unknown value form: " + text)


def encode_text(s, ansi):
    return (s + "\0").encode("cp1252") if ansi else (s + "\0").encode("utf-16-le")


def canonical(path):
    head, _, rest = path.partition("\\")
    head = ROOT_ALIASES.get(head.upper(), head.upper())
    return head + ("\\" + rest if rest else "")


def parse_reg(path):
    """The keys of a .reg file as one tree of canonical root names."""
    text, ansi = read_reg_text(path)
    top = Key("")
    key = None
    for line in logical_lines(text):
        s = line.strip()
        if not s or s.startswith(";") or s.startswith("REGEDIT4") or s.startswith("Windows Registry"):
            continue
        if s.startswith("["):
            if s.startswith("[-"):
                key = None
                continue
            key = top
            for part in canonical(s[1:s.rindex("]")]).split("\\"):
                if part:
                    key = key.child(part)
            continue
        if key is None:
            continue
        if s.startswith("@="):
            name, rest = "", s[2:]
        else:
            name, end = unquote(s, 0)
            rest = s[end:].lstrip()[1:]
        vtype, data = parse_data(rest, ansi)
        key.values.append((name, vtype, data, ansi))
    return top


def find(top, path):
    key = top
    for part in canonical(path).split("\\"):
        if not part:
            continue
        match = [k for k in key.subkeys if k.name.upper() == part.upper()]
        if not match:
            return Key(part)
        key = match[0]
    return key


def ansi_bytes(vtype, data, ansi):
    """Value data as the 9x registry stores it: text in the 8-bit code page."""
    if ansi or vtype not in (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ):
        return data
    return data.decode("utf-16-le", "replace").encode("cp1252", "replace")


def wide_bytes(vtype, data, ansi):
    """Value data as an NT hive stores it: text in UTF-16LE."""
    if not ansi or vtype not in (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ):
        return data
    return data.decode("cp1252").encode("utf-16-le")


# ---- Windows 9x registry file ----------------------------------------------------

def name_hash(name):
    return sum(b for b in name.upper().encode("cp1252") if b < 0x80)


def write_creg(root, out, spare):
    """root's subkeys become the subkeys of the file's root key."""
    order = []  # keys in RGKN order, root first

    def walk(key):
        order.append(key)
        for k in key.subkeys:
            walk(k)

    walk(root)
    entry_size = 28
    offset_of = {id(k): 0x20 + i * entry_size for i, k in enumerate(order)}
    parent_of = {}
    for k in order:
        for c in k.subkeys:
            parent_of[id(c)] = k

    # Key records: one data block; ids number the records. The records are written in
    # reverse order so that a record's place in the block is not its id.
    records = []
    for number, k in enumerate(order):
        if k is root:
            continue  # the root key has no record: its id is 0xFFFF in block 0xFFFF
        name = k.name.encode("cp1252")
        values = b""
        for vname, vtype, data, ansi in k.values:
            data = ansi_bytes(vtype, data, ansi)
            if vtype in (REG_SZ, REG_EXPAND_SZ) and data.endswith(b"\0"):
                data = data[:-1]  # 9x keeps text without its terminating zero
            vn = vname.encode("cp1252")
            values += struct.pack("<IIHH", vtype, 0, len(vn), len(data)) + vn + data
        used = 20 + len(name) + len(values)
        size = used + spare
        record = struct.pack("<IHHIHHI", size, number, 0, used, len(name), len(k.values), 0)
        record += name + values + b"\0" * spare
        records.append(record)
    body = b"".join(reversed(records))
    # The block ends right after its last record: libcreg reads records up to the end.
    block_size = 0x20 + len(body)
    rgdb = struct.pack("<4sIIHHIHH8s", b"RGDB", block_size, 0, 0, 0, block_size, 0, 0, b"")
    rgdb += body

    entries = b""
    for number, k in enumerate(order):
        parent = parent_of.get(id(k))
        first = offset_of[id(k.subkeys[0])] if k.subkeys else 0xFFFFFFFF
        nxt = 0xFFFFFFFF
        if parent is not None:
            siblings = parent.subkeys
            i = next(j for j, s in enumerate(siblings) if s is k)
            if i + 1 < len(siblings):
                nxt = offset_of[id(siblings[i + 1])]
        entries += struct.pack("<IIIIIIHH", 0, 0 if k is root else name_hash(k.name), 0xFFFFFFFF,
                               offset_of[id(parent)] if parent is not None else 0xFFFFFFFF,
                               first, nxt, *((0xFFFF, 0xFFFF) if k is root else (number, 0)))
    # Windows grows the key navigation block in 4 KiB steps. libcreg takes the block's
    # size less its header as the span of the entries counted from the block's start, so
    # an entry in the block's last 32 bytes would be out of its reach; the free tail
    # keeps every entry readable, as in the files Windows writes.
    rgkn_size = 0x20 + len(entries)
    rgkn_size += (-rgkn_size) % 0x1000
    rgkn = struct.pack("<4sIIIII8s", b"RGKN", rgkn_size, 0x20, len(entries), 0, 0, b"") + entries
    rgkn += b"\0" * (rgkn_size - len(rgkn))
    header = struct.pack("<4sHHIIHHI8s", b"CREG", 0, 1, 0x20 + len(rgkn), 0, 1, 0, 0, b"")
    with open(out, "wb") as f:
        f.write(header + rgkn + rgdb)


# ---- NT hives ----------------------------------------------------------------------

def write_empty_hive(out):
    """A hive with a root key and its security descriptor, nothing else."""
    hbin_size = 0x1000
    root_name = b"ROOT"
    # The root key: a named key cell (nk) at offset 0x20 of the hive bins.
    nk_offset = 0x20
    nk = struct.pack("<2sHQIIIIIIIIIIIIIIIHH", b"nk", 0x2C, 0, 0, 0xFFFFFFFF, 0, 0,
                     0xFFFFFFFF, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0, 0, 0, 0, 0,
                     len(root_name), 0) + root_name
    nk_cell_size = 4 + len(nk)
    nk_cell_size += (-nk_cell_size) % 8
    sk_offset = nk_offset + nk_cell_size
    nk = nk[:0x2C] + struct.pack("<I", sk_offset) + nk[0x30:]
    # A self-relative security descriptor with no owner, group or lists.
    descriptor = struct.pack("<BBHIIII", 1, 0, 0x8004, 0, 0, 0, 0)
    sk = struct.pack("<2sHIIII", b"sk", 0, sk_offset, sk_offset, 1, len(descriptor)) + descriptor
    sk_cell_size = 4 + len(sk)
    sk_cell_size += (-sk_cell_size) % 8
    cells = struct.pack("<i", -nk_cell_size) + nk + b"\0" * (nk_cell_size - 4 - len(nk))
    cells += struct.pack("<i", -sk_cell_size) + sk + b"\0" * (sk_cell_size - 4 - len(sk))
    free = hbin_size - 0x20 - len(cells)
    cells += struct.pack("<i", free) + b"\0" * (free - 4)
    hbin = struct.pack("<4sIIQQI", b"hbin", 0, hbin_size, 0, 0, 0) + cells
    base = bytearray(0x1000)
    struct.pack_into("<4sIIQIIIIIII", base, 0, b"regf", 1, 1, 0, 1, 3, 0, 1, nk_offset,
                     hbin_size, 1)
    checksum = 0
    for i in range(0, 0x1FC, 4):
        checksum ^= struct.unpack_from("<I", base, i)[0]
    struct.pack_into("<I", base, 0x1FC, checksum)
    with open(out, "wb") as f:
        f.write(bytes(base) + hbin)


def hex_list(data):
    return ",".join("%02x" % b for b in data)


def write_hive_reg(root, prefix, out, sort):
    lines = ["Windows Registry Editor Version 5.00", ""]

    def walk(key, path):
        lines.append("[%s]" % path)
        for name, vtype, data, ansi in key.values:
            lhs = "@" if name == "" else '"%s"' % name.replace("\\", "\\\\").replace('"', '\\"')
            lines.append("%s=hex(%x):%s" % (lhs, vtype, hex_list(wide_bytes(vtype, data, ansi))))
        lines.append("")
        subkeys = sorted(key.subkeys, key=lambda k: k.name.upper()) if sort else key.subkeys
        for k in subkeys:
            walk(k, path + "\\" + k.name)

    walk(root, prefix)
    with open(out, "w", encoding="utf-8", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def as_control_set(system):
    """A SYSTEM hive holds ControlSet001 and Select\\Current, never CurrentControlSet: that
    is a link the running system makes. The keys given as CurrentControlSet move there."""
    for k in system.subkeys:
        if k.name.upper() == "CURRENTCONTROLSET":
            k.name = "ControlSet001"
            select = system.child("Select")
            if not any(v[0].upper() == "CURRENT" for v in select.values):
                select.values.append(("Current", REG_DWORD, struct.pack("<I", 1), True))


def lookup(top, path):
    """The key at path, or None."""
    key = top
    for part in canonical(path).split("\\"):
        match = [k for k in key.subkeys if k.name.upper() == part.upper()]
        if not match:
            return None
        key = match[0]
    return key


def has_value(top, path, name):
    key = lookup(top, path)
    return key is not None and any(v[0].upper() == name.upper() for v in key.values)


def family(top):
    nt_key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
    if has_value(top, nt_key, "CurrentVersion") or has_value(top, nt_key, "CurrentBuildNumber"):
        return "nt"
    nine_key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
    if lookup(top, nt_key) is not None and not has_value(top, nine_key, "VersionNumber"):
        return "nt"
    return "9x"


def write_hive(out, reg, root):
    write_empty_hive(out)
    with tempfile.TemporaryDirectory() as scratch:
        merge = os.path.join(scratch, "merge.reg")
        tree = find(parse_reg(reg), root)
        if canonical(root).upper() == "HKEY_LOCAL_MACHINE\\SYSTEM":
            as_control_set(tree)
        write_hive_reg(tree, canonical(root), merge, True)
        subprocess.run(["hivexregedit", "--merge", "--prefix", canonical(root), out, merge],
                       check=True)


def main(argv):
    if len(argv) == 2 and argv[0] == "family":
        print(family(parse_reg(argv[1])))
        return 0
    if len(argv) == 5 and argv[0] == "hive" and argv[3] == "--root":
        write_hive(argv[1], argv[2], argv[4])
        return 0
    if len(argv) >= 2 and argv[0] == "empty-hive":
        write_empty_hive(argv[1])
        return 0
    if len(argv) >= 3 and argv[0] in ("creg", "hive-reg"):
        args = argv[3:]
        opts = {"--root": None, "--under": None, "--spare": "0"}
        flags = set()
        while args:
            if args[0] == "--sorted":
                flags.add(args.pop(0))
            elif args[0] in opts and len(args) >= 2:
                opts[args[0]] = args[1]
                del args[:2]
            else:
                print("unknown option: " + args[0], file=sys.stderr)
                return 2
        if opts["--root"] is None:
            print("--root is required", file=sys.stderr)
            return 2
        tree = find(parse_reg(argv[2]), opts["--root"])
        if argv[0] == "creg":
            if opts["--under"]:
                holder = Key("")
                holder.subkeys.append(tree)
                tree.name = opts["--under"]
                tree = holder
            write_creg(tree, argv[1], int(opts["--spare"]))
        else:
            if canonical(opts["--root"]).upper() == "HKEY_LOCAL_MACHINE\\SYSTEM":
                as_control_set(tree)
            write_hive_reg(tree, canonical(opts["--root"]), argv[1], "--sorted" in flags)
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
