#!/usr/bin/env python3
"""Checks that the manual page korvane(1) and the program's own --help agree.

The option lists are read from the real --help output of `korvane` and of each of
its commands (whatever library prints them), and from the manual's .TP items:
the global ones under .SH OPTIONS, each command's under its .SS. Also checks that
groff renders the manual without a warning.

Usage: man_options_test.py KORVANE MANUAL
"""
import re
import shutil
import subprocess
import sys
import unittest

KORVANE = None
MANUAL = None

# An option as --help texts write it: -o, --machine, -h,--help (both), never the
# inside of a word (comma-separated, x86-64).
OPTION = re.compile(r"(?<![\w-])(--?[A-Za-z][\w-]*)")


def run_help(*args):
    done = subprocess.run([KORVANE, *args, "--help"], capture_output=True, text=True)
    if done.returncode != 0:
        raise AssertionError(f"korvane {' '.join(args)} --help exits with {done.returncode}")
    return done.stdout


def options_in(text):
    return set(OPTION.findall(text))


def commands_in_help(text):
    """The commands that `korvane --help` lists under its commands heading."""
    commands, listing = [], False
    for line in text.splitlines():
        if re.match(r"^\s*(sub)?commands:\s*$", line, re.IGNORECASE):
            listing = True
        elif listing:
            m = re.match(r"^\s+([a-z][\w-]*)\s", line + " ")
            if m:
                commands.append(m.group(1))
            elif line.strip():
                listing = False
    return commands


def unroff(line):
    """The text of one roff line: no request name, no font escapes, plain dashes."""
    line = re.sub(r"^\.[A-Za-z]+\s*", "", line)
    line = re.sub(r"\\f(\[[^\]]*\]|.)", "", line)
    return line.replace("\\-", "-").replace('"', " ").replace("\\&", "")


def manual_sections(path):
    """{heading: text} for .SH and .SS headings, and {heading: options of its .TP items}."""
    options, current, after_tp = {}, None, False
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.rstrip("\n")
            heading = re.match(r'^\.S[HS]\s+"?([^"]*)"?\s*$', line)
            if heading:
                current = heading.group(1).strip()
                options.setdefault(current, set())
                after_tp = False
            elif line.startswith(".TP"):
                after_tp = True
            elif after_tp:
                options[current] |= options_in(unroff(line))
                after_tp = False
    return options


class ManualMatchesHelp(unittest.TestCase):
    def setUp(self):
        self.manual = manual_sections(MANUAL)

    def test_global_options(self):
        self.assertEqual(options_in(run_help()), self.manual.get("OPTIONS", set()),
                         "korvane --help against .SH OPTIONS")

    def test_every_command_has_its_section_with_the_same_options(self):
        commands = commands_in_help(run_help())
        self.assertTrue(commands, "korvane --help lists no command")
        for command in commands:
            with self.subTest(command=command):
                section = f"korvane {command}"
                self.assertIn(section, self.manual, f"the manual has no .SS {section}")
                self.assertEqual(options_in(run_help(command)), self.manual[section],
                                 f"korvane {command} --help against .SS {section}")

    def test_manual_describes_no_command_the_program_lacks(self):
        commands = set(commands_in_help(run_help()))
        described = {s.split()[1] for s in self.manual if re.match(r"^korvane \S+$", s)}
        self.assertEqual(described, commands)

    def test_manual_names_every_exit_status(self):
        for status in ("0", "1", "2"):
            with self.subTest(status=status):
                with open(MANUAL, encoding="utf-8") as f:
                    body = f.read().split(".SH EXIT STATUS", 1)[-1].split(".SH ", 1)[0]
                self.assertRegex(body, rf"\.TP\n\.B {status}\n")


class ManualRendersClean(unittest.TestCase):
    @unittest.skipUnless(shutil.which("groff"), "groff is not installed")
    def test_groff_warns_about_nothing(self):
        done = subprocess.run(["groff", "-man", "-ww", "-z", MANUAL], capture_output=True,
                              text=True)
        self.assertEqual((done.returncode, done.stderr), (0, ""))


class OptionPatternSelfTest(unittest.TestCase):
    """The option pattern on --help lines as both command-line libraries write them."""

    CASES = [
        ("  -o REPORT   write the lines", {"-o"}),
        ("  -h,--help   Print this help message and exit", {"-h", "--help"}),
        ("  --machine TEXT  comma-separated x86-64 names", {"--machine"}),
        ("usage: korvane run [--view 32|64] [--tests NAME[,NAME...]]", {"--view", "--tests"}),
        ("no options at all - none", set()),
    ]

    def test_cases(self):
        for text, expected in self.CASES:
            with self.subTest(text=text):
                self.assertEqual(options_in(text), expected)

    def test_commands_in_both_layouts(self):
        plain = "usage: korvane COMMAND\n\ncommands:\n  dump     show\n  run      run it\n\nmore\n"
        cli11 = "Korvane\nUsage: korvane [OPTIONS] SUBCOMMAND\n\nSUBCOMMANDS:\n  dump    show\n  check   tell\n"
        self.assertEqual(commands_in_help(plain), ["dump", "run"])
        self.assertEqual(commands_in_help(cli11), ["dump", "check"])


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    KORVANE, MANUAL = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
