#!/usr/bin/env python3
"""Writes the small PE libraries of the example machine examples/win98se, byte by byte.

Each file is a minimal PE image: headers, one section holding an import table (one
ordinal import per library) and a version resource (VS_VERSIONINFO). They are made to
be examined by the offline machine, not to run: none has any code.

usage: make-example-pe.py OUTDIR      write the files below OUTDIR (c/WINDOWS/SYSTEM/...)
       make-example-pe.py --check DIR  exit 1 unless the files below DIR are exactly these
"""
import os
import struct
import sys

MACHINE_I386 = 0x014C
MACHINE_X8664 = 0x8664
FILE_ALIGN = 0x200
SECTION_RVA = 0x1000
SYSTEM = "c/WINDOWS/SYSTEM"

# (file, description, version, imports, machine). Imports name other files here, except
# MSVCP60.DLL, which this machine lacks on purpose.
LIBRARIES = [
    ("KERNEL32.DLL", "Example kernel library", "4.10.2222", [], MACHINE_I386),
    ("USER32.DLL", "Example window library", "4.10.2222", ["KERNEL32.DLL", "GDI32.DLL"], MACHINE_I386),
    # gdi32 and user32 import each other: a cycle the loader must accept.
    ("GDI32.DLL", "Example graphics library", "4.10.2222", ["KERNEL32.DLL", "USER32.DLL"], MACHINE_I386),
    ("ADVAPI32.DLL", "Example registry library", "4.10.2222", ["KERNEL32.DLL"], MACHINE_I386),
    ("VERSION.DLL", "Example version library", "4.10.2222", ["KERNEL32.DLL"], MACHINE_I386),
    ("COMCTL32.DLL", "Example common controls", "5.81.4916.400", ["KERNEL32.DLL", "USER32.DLL", "GDI32.DLL"], MACHINE_I386),
    ("COMDLG32.DLL", "Example common dialogs", "4.10.2222", ["KERNEL32.DLL", "USER32.DLL", "COMCTL32.DLL"], MACHINE_I386),
    ("SHELL32.DLL", "Example shell library", "4.72.3612.1700", ["KERNEL32.DLL", "USER32.DLL", "COMCTL32.DLL"], MACHINE_I386),
    ("OLE32.DLL", "Example object library", "4.71.2900", ["KERNEL32.DLL", "ADVAPI32.DLL"], MACHINE_I386),
    ("OLEAUT32.DLL", "Example automation library", "2.40.4275", ["KERNEL32.DLL", "OLE32.DLL"], MACHINE_I386),
    ("DDRAW.DLL", "Example DirectDraw library", "4.06.02.0436", ["KERNEL32.DLL", "GDI32.DLL"], MACHINE_I386),
    ("WINMM.DLL", "Example multimedia library", "4.03.1998", ["KERNEL32.DLL", "USER32.DLL", "ADVAPI32.DLL"], MACHINE_I386),
    ("MSACM32.DLL", "Example audio compression manager", "4.10.2222", ["KERNEL32.DLL", "WINMM.DLL"], MACHINE_I386),
    ("MSVFW32.DLL", "Example Video for Windows library", "4.10.2222", ["KERNEL32.DLL", "WINMM.DLL", "GDI32.DLL"], MACHINE_I386),
    ("AVIFIL32.DLL", "Example AVI file library", "4.10.2222", ["KERNEL32.DLL", "MSVFW32.DLL", "OLE32.DLL"], MACHINE_I386),
    ("AVICAP32.DLL", "Example video capture library", "4.10.2222", ["KERNEL32.DLL", "MSVFW32.DLL"], MACHINE_I386),
    ("MSVCRT.DLL", "Example C runtime", "6.10.8637.0", ["KERNEL32.DLL"], MACHINE_I386),
    ("MSVCRT20.DLL", "Example C runtime 2.0", "2.11.000", ["KERNEL32.DLL"], MACHINE_I386),
    ("MSVCIRT.DLL", "Example C++ stream runtime", "6.10.8168.0", ["KERNEL32.DLL", "MSVCRT.DLL"], MACHINE_I386),
    ("MFC42.DLL", "Example class library", "6.00.8267.0", ["KERNEL32.DLL", "USER32.DLL", "MSVCRT.DLL"], MACHINE_I386),
    # The drivers named in system.ini.
    ("ICCVID.DLL", "Example Cinepak codec", "1.10.0.11", ["KERNEL32.DLL", "USER32.DLL", "MSVFW32.DLL"], MACHINE_I386),
    ("IR50_32.DLL", "Example Indeo 5 codec", "5.2562.15.55", ["KERNEL32.DLL", "USER32.DLL", "ADVAPI32.DLL"], MACHINE_I386),
    ("MSRLE32.DLL", "Example run-length codec", "4.10.2222", ["KERNEL32.DLL", "MSVFW32.DLL"], MACHINE_I386),
    ("MSVIDC32.DLL", "Example Video 1 codec", "4.10.2222", ["KERNEL32.DLL", "MSVFW32.DLL"], MACHINE_I386),
    ("IMAADP32.ACM", "Example IMA ADPCM codec", "4.10.2222", ["KERNEL32.DLL", "MSACM32.DLL"], MACHINE_I386),
    ("MSADP32.ACM", "Example MS ADPCM codec", "4.10.2222", ["KERNEL32.DLL", "MSACM32.DLL"], MACHINE_I386),
    ("DIVXC32.DLL", "Example MPEG-4 codec", "4.12.0.0", ["KERNEL32.DLL", "MSVCP60.DLL"], MACHINE_I386),
    ("X264VFW.DLL", "Example 64-bit codec", "0.164.0.0", ["KERNEL32.DLL"], MACHINE_X8664),
    ("TVCAP32.DRV", "Example TV card capture driver", "4.10.2222", ["KERNEL32.DLL", "MSVFW32.DLL"], MACHINE_I386),
    # The servers of the DirectShow filters the registry lists, and of the Windows Media
    # DMOs the XP-like machine registers (here they lie unregistered).
    ("QUARTZ.DLL", "Example DirectShow runtime", "6.01.05.0511", ["KERNEL32.DLL", "USER32.DLL", "OLE32.DLL", "MSVFW32.DLL", "MSACM32.DLL"], MACHINE_I386),
    ("L3CODECX.AX", "Example MPEG Layer-3 decoder filter", "1.9.0.306", ["KERNEL32.DLL", "OLE32.DLL", "MSACM32.DLL"], MACHINE_I386),
    ("DIVXDEC.AX", "Example MPEG-4 decoder filter", "4.12.0.0", ["KERNEL32.DLL", "OLE32.DLL"], MACHINE_I386),
    ("WMVDMOD.DLL", "Example Windows Media video decoder", "9.0.0.3250", ["KERNEL32.DLL", "OLE32.DLL"], MACHINE_I386),
    ("WMADMOD.DLL", "Example Windows Media audio decoder", "9.0.0.3250", ["KERNEL32.DLL", "OLE32.DLL"], MACHINE_I386),
]


def pad(data, alignment):
    return data + b"\0" * (-len(data) % alignment)


def version_node(key, value=b"", text=False, children=()):
    """One VS_VERSIONINFO node: wLength, wValueLength, wType, key, value, children."""
    body = pad(b"\0" * 6 + (key + "\0").encode("utf-16-le"), 4) + value
    for child in children:
        body = pad(body, 4) + child
    value_length = len(value) // 2 if text else len(value)
    return struct.pack("<HHH", len(body), value_length, 1 if text else 0) + body[6:]


def version_numbers(version):
    parts = [int(p) for p in version.split(".")] + [0, 0, 0, 0]
    return (parts[0] << 16 | parts[1]), (parts[2] << 16 | parts[3])


def version_info(description, version, is_driver):
    ms, ls = version_numbers(version)
    fixed = struct.pack("<13I", 0xFEEF04BD, 0x00010000, ms, ls, ms, ls, 0x3F, 0,
                        0x00040004, 3 if is_driver else 2, 0, 0, 0)
    strings = [version_node(k, (v + "\0").encode("utf-16-le"), text=True)
               for k, v in (("FileDescription", description), ("FileVersion", version))]
    table = version_node("040904B0", text=True, children=strings)
    string_info = version_node("StringFileInfo", text=True, children=[table])
    translation = version_node("Translation", struct.pack("<HH", 0x0409, 0x04B0))
    var_info = version_node("VarFileInfo", text=True, children=[translation])
    return version_node("VS_VERSION_INFO", fixed, children=[string_info, var_info])


def import_table(imports, at_rva, is64):
    """Descriptors, then per library an ordinal-1 lookup and address table, then names."""
    thunk = 8 if is64 else 4
    ordinal_flag = 1 << 63 if is64 else 1 << 31
    descriptors_size = 20 * (len(imports) + 1)
    thunks_at = at_rva + descriptors_size
    names_at = thunks_at + len(imports) * 4 * thunk
    descriptors = b""
    thunks = b""
    names = b""
    for i, name in enumerate(imports):
        lookup = thunks_at + i * 4 * thunk
        address = lookup + 2 * thunk
        descriptors += struct.pack("<5I", lookup, 0, 0, names_at + len(names), address)
        entry = struct.pack("<Q" if is64 else "<I", ordinal_flag | 1)
        thunks += (entry + b"\0" * thunk) * 2
        names += pad(name.encode("ascii") + b"\0", 2)
    return descriptors + b"\0" * 20 + thunks + names


def resource_table(version_block, at_rva):
    """Root directory -> type 16 (RT_VERSION) -> name 1 -> language 0x409 -> data."""
    def directory(entry_id, target):
        return struct.pack("<IIHHHH", 0, 0, 0, 0, 0, 1) + struct.pack("<II", entry_id, target)
    subdirectory = 0x80000000
    root = directory(16, subdirectory | 24)
    names = directory(1, subdirectory | 48)
    languages = directory(0x409, 72)
    data_entry = struct.pack("<IIII", at_rva + 88, len(version_block), 0, 0)
    return root + names + languages + data_entry + version_block


def build_pe(description, version, imports, machine, is_driver):
    is64 = machine == MACHINE_X8664
    imports_block = pad(import_table(imports, SECTION_RVA, is64), 4)
    resources_rva = SECTION_RVA + len(imports_block)
    section = imports_block + resource_table(version_info(description, version, is_driver),
                                             resources_rva)
    raw_size = len(pad(section, FILE_ALIGN))
    virtual_size = len(section)
    image_size = SECTION_RVA + len(pad(section, 0x1000))

    directories = [(0, 0)] * 16
    directories[1] = (SECTION_RVA, len(import_table(imports, SECTION_RVA, is64)))
    directories[2] = (resources_rva, len(section) - len(imports_block))
    directory_bytes = b"".join(struct.pack("<II", *d) for d in directories)

    if is64:
        optional = struct.pack("<HBBIIIII", 0x20B, 6, 0, 0, raw_size, 0, 0, SECTION_RVA)
        optional += struct.pack("<QII", 0x180000000, 0x1000, FILE_ALIGN)
    else:
        optional = struct.pack("<HBBIIIIII", 0x10B, 6, 0, 0, raw_size, 0, 0, SECTION_RVA,
                               SECTION_RVA)
        optional += struct.pack("<III", 0x10000000, 0x1000, FILE_ALIGN)
    optional += struct.pack("<HHHHHHIIIIHH", 4, 0, 4, 10, 4, 0, 0, image_size, FILE_ALIGN, 0,
                            2, 0)
    sizes = "<QQQQ" if is64 else "<IIII"
    optional += struct.pack(sizes, 0x100000, 0x1000, 0x100000, 0x1000)
    optional += struct.pack("<II", 0, 16) + directory_bytes

    characteristics = 0x2000 | 0x0002 | (0x0020 if is64 else 0x0100)  # DLL, image, 32/64-bit
    coff = struct.pack("<HHIIIHH", machine, 1, 0, 0, 0, len(optional), characteristics)
    section_header = struct.pack("<8sIIIIIIHHI", b".rdata", virtual_size, SECTION_RVA, raw_size,
                                 FILE_ALIGN, 0, 0, 0, 0, 0x40000040)
    dos = bytearray(64)
    dos[0:2] = b"MZ"
    dos[0x3C:0x40] = struct.pack("<I", 64)
    headers = pad(bytes(dos) + b"PE\0\0" + coff + optional + section_header, FILE_ALIGN)
    return headers + pad(section, FILE_ALIGN)


def example_files():
    for name, description, version, imports, machine in LIBRARIES:
        data = build_pe(description, version, imports, machine, name.endswith(".DRV"))
        yield os.path.join(SYSTEM, name.lower()), data


def main(argv):
    if len(argv) == 3 and argv[1] == "--check":
        stale = [path for path, data in example_files()
                 if not os.path.isfile(os.path.join(argv[2], path))
                 or open(os.path.join(argv[2], path), "rb").read() != data]
        for path in stale:
            print("differs from what make-example-pe.py writes: " + path, file=sys.stderr)
        return 1 if stale else 0
    if len(argv) != 2 or argv[1].startswith("-"):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    for path, data in example_files():
        full = os.path.join(argv[1], path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as out:
            out.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
