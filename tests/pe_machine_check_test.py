#!/usr/bin/env python3
"""The install-time guard of the .deb's Windows CLIs (cmake/check-pe-machine.cmake).

Each machine's own program passes; a program of the other machine, a file that is no
PE image, one cut short in its headers, one whose header offset points past its end and a
missing file stop the install with a message that says what is wrong.

Usage: pe_machine_check_test.py CMAKE GUARD
"""
import os
import struct
import subprocess
import sys
import tempfile
import unittest

CMAKE = None
GUARD = None


def pe_head(machine, lfanew=0x80, signature=b"PE\0\0"):
    head = bytearray(0x80 + 24)
    head[0:2] = b"MZ"
    head[60:64] = struct.pack("<I", lfanew)
    head[0x80:0x84] = signature
    head[0x84:0x86] = struct.pack("<H", machine)
    return bytes(head)


def run_guard(path, machine, field):
    done = subprocess.run(
        [CMAKE, f"-DKORVANE_PE_FILE={path}", f"-DKORVANE_PE_MACHINE={machine}",
         f"-DKORVANE_PE_MACHINE_FIELD={field}", "-DKORVANE_PE_PRESET=winNN", "-P", GUARD],
        capture_output=True, text=True)
    return done.returncode, " ".join(done.stderr.split())


class GuardTest(unittest.TestCase):
    CASES = [
        # name, file contents (None: no file), machine, field, passes, part of the message
        ("i686 program for i686", pe_head(0x014C), "i686", "014c", True, ""),
        ("x86_64 program for x86_64", pe_head(0x8664), "x86_64", "8664", True, ""),
        ("x86_64 program where i686 belongs", pe_head(0x8664), "i686", "014c", False,
         "not a Windows program for i686 (PE machine field 8664, not 014c)"),
        ("i686 program where x86_64 belongs", pe_head(0x014C), "x86_64", "8664", False,
         "(PE machine field 014c, not 8664)"),
        ("a text file", b"#!/bin/sh\n" * 20, "i686", "014c", False, "PE machine field none"),
        ("no PE signature", pe_head(0x014C, signature=b"NE\0\0"), "i686", "014c", False,
         "PE machine field none"),
        ("cut short in the headers", pe_head(0x014C)[:0x83], "i686", "014c", False,
         "PE machine field none"),
        ("header offset past the end", pe_head(0x014C, lfanew=0x7FFFFFF0), "i686", "014c",
         False, "PE machine field none"),
        ("missing", None, "x86_64", "8664", False,
         "is not there: build it first (cmake --preset winNN && cmake --build --preset winNN)"),
    ]

    def test_cases(self):
        with tempfile.TemporaryDirectory() as scratch:
            for name, contents, machine, field, passes, message in self.CASES:
                with self.subTest(name=name):
                    path = os.path.join(scratch, name.replace(" ", "-") + ".exe")
                    if contents is not None:
                        with open(path, "wb") as f:
                            f.write(contents)
                    status, text = run_guard(path, machine, field)
                    self.assertEqual(status == 0, passes, text)
                    self.assertIn(message, text)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    CMAKE, GUARD = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1])
