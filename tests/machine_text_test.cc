// Text in the machine's own code page: each kind of machine narrows its UTF-16 text (NT
// hives, Wine's escapes, version 5 exports) to the ANSI code page it names, a described
// machine's machine.ini may name it, korvane's outputs carry it as the Windows program
// would save it (-o) or as UTF-8 (a UTF-8 terminal, --json), and every drive gives and
// finds file names in it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/offline/machines/wine_prefix.h"
#include "platform/offline/offline_system.h"
#include "platform/offline/open_machine.h"
#include "platform/text_encoding.h"
#include "tests/machine_builder.h"
#include "tests/riff_builder.h"
#include "tests/test_support.h"
#include "tests/wine_prefix_builder.h"

namespace korvane {
namespace {

using test::ShellQuote;

const std::string kSource = KORVANE_SOURCE_DIR;

// A name as Unicode and as the bytes the ANSI calls give on a machine of the code page.
struct NameCase {
  const char* what;
  uint32_t codePage;
  std::u16string name;
  std::string ansi;
  const char* shown = nullptr;  // as UTF-8 where the code page lacks a character
};

const NameCase kNames[] = {
    {"Western", 1252, u"Caf\u00E9 Player \u2013 \u00C9dition \u20AC Java\u2122",
     "Caf\xE9 Player \x96 \xC9"
     "dition \x80 Java\x99"},
    {"Russian", 1251, u"\u0412\u0438\u0434\u0435\u043E \u041F\u043B\u0435\u0435\u0440 \u2116",
     "\xC2\xE8\xE4\xE5\xEE \xCF\xEB\xE5\xE5\xF0 \xB9"},
    // Trail bytes in the ASCII range ('v', '['): a double-byte character is never split.
    {"Japanese", 932, u"\u52D5\u753B\u30D7\u30EC\u30FC\u30E4\u30FC",
     "\x93\xAE\x89\xE6\x83v\x83\x8C\x81[\x83\x84\x81["},
    {"Simplified Chinese", 936, u"\u89C6\u9891\u64AD\u653E\u5668",
     "\xCA\xD3\xC6\xB5\xB2\xA5\xB7\xC5\xC6\xF7"},
    {"Korean", 949, u"\uB3D9\uC601\uC0C1 \uD50C\uB808\uC774\uC5B4",
     "\xB5\xBF\xBF\xB5\xBB\xF3 \xC7\xC3\xB7\xB9\xC0\xCC\xBE\xEE"},
    {"Traditional Chinese", 950, u"\u5F71\u97F3\u64AD\u653E\u5668",
     "\xBCv\xAD\xB5\xBC\xBD\xA9\xF1\xBE\xB9"},
    // Second bytes that are a backslash, one at the very end: neither splits the key's
    // path nor escapes the quote or bracket after it.
    {"Japanese, second bytes 0x5C", 932, u"\u30BD\u30D5\u30C8\u8868", "\x83\x5C\x83t\x83g\x95\x5C"},
    {"Traditional Chinese, second bytes 0x5C", 950, u"\u529F\u80FD \u8A31\u53EF",
     "\xA5\x5C\xAF\xE0 \xB3\x5C\xA5i"},
    // Characters the code page lacks: the default character, one for each.
    {"Cyrillic on a Western machine", 1252, u"\u0412\u0438\u0434\u0435\u043E", "?????", "?????"},
    {"an accent on a Japanese machine", 932, u"Caf\u00E9", "Caf?", "Caf?"},
};

std::string Utf8Of(const std::u16string& text) {
  std::string utf8;
  for (char16_t unit : text) AppendUtf8(unit, &utf8);
  return utf8;
}

std::string Utf16LeOf(const std::string& ascii, const std::u16string& text = u"") {
  std::string bytes;
  const auto put = [&bytes](char16_t unit) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  };
  for (char c : ascii) put(static_cast<unsigned char>(c));
  for (char16_t unit : text) put(unit);
  return bytes;
}

// The name as Wine writes it in its registry files: every character beyond ASCII as a
// four-digit \x escape.
std::string WineEscaped(const std::u16string& text) {
  std::string escaped;
  for (char16_t unit : text) {
    if (unit < 0x80) {
      escaped += static_cast<char>(unit);
      continue;
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%04x", static_cast<unsigned>(unit));
    escaped += hex;
  }
  return escaped;
}

// A version 5 export (UTF-16LE, as regedit writes it) of an NT machine whose registry
// names its code page and holds the name as a key and as a value.
std::string UnicodeExport(const NameCase& c) {
  const std::string acp = std::to_string(c.codePage);
  std::string bytes = "\xFF\xFE";
  bytes += Utf16LeOf(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage]\r\n"
      "\"ACP\"=\"" +
      acp + "\"\r\n\"OEMCP\"=\"" + acp +
      "\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
      "\"CurrentVersion\"=\"5.1\"\r\n\"CurrentBuildNumber\"=\"2600\"\r\n\r\n"
      // A user's hive has a Software key, or it is not taken for one.
      "[HKEY_CURRENT_USER\\Software\\Korvane]\r\n\"Seen\"=dword:00000001\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvane\\Names\\");
  bytes += Utf16LeOf("", c.name) + Utf16LeOf("]\r\n\"Name\"=\"") + Utf16LeOf("", c.name);
  bytes += Utf16LeOf("\"\r\n");
  return bytes;
}

void DescribeUnicode(const NameCase& c, test::MachineFolder* machine) {
  std::filesystem::create_directories(machine->path() + "/c/WINDOWS/system32");
  machine->RawRegistry(UnicodeExport(c));
}

// What a program on the machine reads: the name of the one key below Names, and the Name
// value in it.
struct ReadNames {
  uint32_t acp = 0;
  std::string keyName;
  std::string value;
};

ReadNames ReadThrough(System& system) {
  ReadNames read;
  read.acp = system.GetACP();
  RegKey names = 0;
  if (system.RegOpenKeyExA(RootKey::kLocalMachine, "Software\\Korvane\\Names", kKeyRead, &names) !=
      kErrorSuccess) {
    return read;
  }
  system.RegEnumKeyExA(names, 0, 256, &read.keyName);
  RegKey key = 0;
  if (system.RegOpenKeyExA(RootKey::kLocalMachine, "Software\\Korvane\\Names\\" + read.keyName,
                           kKeyRead, &key) == kErrorSuccess) {
    RegValue value;
    if (system.RegQueryValueExA(key, "Name", 1024, &value) == kErrorSuccess) {
      read.value.assign(value.data.begin(), value.data.end());
      read.value = read.value.substr(0, read.value.find('\0'));
    }
    system.RegCloseKey(key);
  }
  system.RegCloseKey(names);
  return read;
}

ReadNames OpenAndRead(const std::string& path) {
  std::string error;
  const std::unique_ptr<OfflineSystem> system = OpenMachine(path, &error);
  EXPECT_NE(system, nullptr) << error;
  return system ? ReadThrough(*system) : ReadNames();
}

TEST(MachineText, EachKindOfMachineGivesTheNameInItsCodePage) {
  for (const NameCase& c : kNames) {
    SCOPED_TRACE(c.what);
    const ReadNames expected{c.codePage, c.ansi, c.ansi};

    // A described machine whose registry is a version 5 export: the code page its
    // registry names.
    test::MachineFolder unicode;
    DescribeUnicode(c, &unicode);
    const ReadNames described = OpenAndRead(unicode.path());
    EXPECT_EQ(described.acp, expected.acp);
    EXPECT_EQ(described.keyName, expected.keyName);
    EXPECT_EQ(described.value, expected.value);

    // A described machine whose REGEDIT4 text is in its code page, which machine.ini names.
    test::MachineFolder ansi;
    ansi.Registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvane\\Names\\" + c.ansi + "]\r\n\"Name\"=\"" +
                  c.ansi + "\"\r\n");
    ansi.MachineIni("[machine]\nCodePage=" + std::to_string(c.codePage) + "\n");
    const ReadNames named = OpenAndRead(ansi.path());
    EXPECT_EQ(named.acp, expected.acp);
    EXPECT_EQ(named.keyName, expected.keyName);
    EXPECT_EQ(named.value, expected.value);

    // A Wine prefix: system.reg's \x escapes, and the code page it names.
    test::WinePrefixFolder prefix;
    prefix.SystemReg("[System\\\\CurrentControlSet\\\\Control\\\\Nls\\\\CodePage] 1\n\"ACP\"=\"" +
                     std::to_string(c.codePage) + "\"\n\n[Software\\\\Korvane\\\\Names\\\\" +
                     WineEscaped(c.name) + "] 1\n\"Name\"=\"" + WineEscaped(c.name) + "\"\n");
    MemoryRegistry registry;
    bool is64 = false;
    std::string error;
    CodePages pages;
    ASSERT_TRUE(LoadWineRegistry(prefix.path(), &registry, &is64, &error, &pages)) << error;
    EXPECT_EQ(static_cast<uint32_t>(pages.ansi), c.codePage);
    const auto* names = registry.FindKey(RootKey::kLocalMachine, "Software\\Korvane\\Names");
    ASSERT_NE(names, nullptr);
    ASSERT_EQ(names->subkeys().size(), 1u);
    EXPECT_EQ(names->subkeys()[0]->name(), c.ansi);
    EXPECT_EQ(RegistryText(names->subkeys()[0].get(), "Name"), c.ansi);
    // ... and as a program reaches it through the prefix's view, by its name in the code page.
    const ReadNames wine = OpenAndRead(prefix.path());
    EXPECT_EQ(wine.acp, expected.acp);
    EXPECT_EQ(wine.keyName, expected.keyName);
    EXPECT_EQ(wine.value, expected.value);

#if KORVANE_INSTALLATIONS
    // The same machine installed: its SOFTWARE and SYSTEM hives hold the name as UTF-16,
    // and the SYSTEM hive's current control set names the code page.
    test::ScratchDir installed;
    const auto made =
        test::RunCommand(kSource + "/scripts/make-installation.sh " + ShellQuote(unicode.path()) +
                         " " + ShellQuote(installed.path() + "/c"));
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const ReadNames hive = OpenAndRead(installed.path() + "/c");
    EXPECT_EQ(hive.acp, expected.acp);
    EXPECT_EQ(hive.keyName, expected.keyName);
    EXPECT_EQ(hive.value, expected.value);
#endif
  }
}

// machine.ini names a code page, or says why what it names is none.
TEST(MachineText, MachineIniNamesACodePageTheHostConverts) {
  const struct {
    std::string line;
    std::string error;  // empty: the machine opens
    uint32_t acp;
  } kCases[] = {
      {"CodePage=1251", "", 1251},
      {"codepage=932\nOemCodePage=932", "", 932},
      {"", "", 1252},  // neither machine.ini nor the registry says: a Western machine
      {"CodePage=0", "machine.ini:2: CodePage must be the number of a Windows code page", 0},
      {"CodePage=cp1252", "machine.ini:2: CodePage must be the number of a Windows code page", 0},
      {"CodePage=99999", "machine.ini:2: CodePage must be the number of a Windows code page", 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.line);
    test::MachineFolder machine;
    machine.MachineIni("[machine]\n" + c.line + "\n");
    std::string error;
    const auto system = OpenMachine(machine.path(), &error);
    if (c.error.empty()) {
      ASSERT_NE(system, nullptr) << error;
      EXPECT_EQ(system->GetACP(), c.acp);
    } else {
      EXPECT_EQ(system, nullptr);
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
  }
}

// The outputs: -o holds the bytes the Windows program saves (the code page, CR LF);
// standard output is those bytes in the C locale and UTF-8 in a UTF-8 one; --json is UTF-8.
TEST(MachineText, EachOutputCarriesTheNameAsItsReaderNeedsIt) {
  for (const NameCase& c : kNames) {
    SCOPED_TRACE(c.what);
    test::MachineFolder machine;
    std::filesystem::create_directories(machine.path() + "/c/WINDOWS/system32");
    machine.MachineIni("[machine]\nPlatform=2\nMajor=5\nMinor=1\nBuild=2600\nCodePage=" +
                       std::to_string(c.codePage) + "\n");
    // The registered driver's path holds the name: the report shows it as registered.
    const std::string path = "C:\\" + c.ansi + "\\cvid.dll";
    // The names hold no backslash of their own: only the separators are escaped.
    const std::string escaped = "C:\\\\" + c.ansi + "\\\\cvid.dll";
    machine.Registry(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32]\r\n"
        "\"vidc.cvid\"=\"" +
        escaped + "\"\r\n");
    const std::string shown = c.shown != nullptr ? c.shown : Utf8Of(c.name);
    const std::string utf8Path = "C:\\" + shown + "\\cvid.dll";
    const std::string quoted = ShellQuote(machine.path());

    test::ScratchDir out;
    const std::string report = out.path() + "/report.txt";
    const auto saved =
        test::RunCli("run --machine " + quoted + " -o " + ShellQuote(report), {"LC_ALL=C.UTF-8"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    const std::string bytes = test::ReadFile(report);
    EXPECT_NE(bytes.find(path + "\r\n"), std::string::npos) << bytes;

    const auto plain = test::RunCli("run --machine " + quoted);
    EXPECT_NE(plain.out.find(path + "\n"), std::string::npos) << plain.out;
    const auto utf8 = test::RunCli("run --machine " + quoted, {"LC_ALL=C.UTF-8"});
    EXPECT_NE(utf8.out.find(utf8Path + "\n"), std::string::npos) << utf8.out;
    if (shown != c.ansi) {
      EXPECT_EQ(utf8.out.find(path), std::string::npos);
    }

    // check --json, in whatever locale: the registered path as UTF-8 (JSON escapes "\\").
    const std::string avi = out.Write("a.avi", test::Avi({test::VideoStream("cvid")}));
    const auto json = test::RunCli("check --json --machine " + quoted + " " + ShellQuote(avi));
    std::string jsonPath;
    for (char ch : utf8Path) jsonPath += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
    EXPECT_NE(json.out.find("\"value\": \"" + jsonPath + "\""), std::string::npos) << json.out;
  }
}

// File names as the ANSI calls give them, from every place a machine keeps them. A long
// name is Unicode: UTF-8 in a host folder (a described machine, an installation's root
// folder, a Wine prefix) and in The Sleuth Kit's hands (FAT long names, NTFS). A FAT
// short name alone is OEM bytes in its directory entry, written here into the image.
struct LongName {
  std::u16string name;
  std::string ansi;
};
struct ShortName {
  std::string entry;    // the entry's eleven name bytes (8.3, blank-padded)
  unsigned char flags;  // byte 12: Windows NT's lower-case base (0x08) and extension (0x10)
  std::string ansi;
};
struct FileNameMachine {
  uint32_t acp;
  uint32_t oemcp;
  std::vector<LongName> longNames;
  std::vector<ShortName> shortNames;
  std::vector<std::pair<std::string, std::string>> otherSpellings;  // ansi, as a path spells it
};

const FileNameMachine kFileNameMachines[] = {
    {1252,
     850,
     {{u"Caf\u00E9.dll", "Caf\xE9.dll"},
      {u"\u0412\u0438\u0434.dll", "???.dll"},  // Cyrillic that 1252 lacks
      {u"Java\u2122 \u20AC.drv", "Java\x99 \x80.drv"}},
     {{"\x8E\x99      DRV", 0, "\xC4\xD6.DRV"},
      {"\x05"
       "BC     DLL",
       0,
       "\xD5"
       "BC.DLL"},  // 0x05 stands for 0xE5, in 850 a letter
      {"ABC     \x8E  ", 0x08, "abc.\xC4"},
      {"\xB0"
       "A      DLL",
       0, "?A.DLL"}},  // a box-drawing character that 1252 lacks
     {{"Caf\xE9.dll", "CAF\xC9.DLL"}, {"\xC4\xD6.DRV", "\xE4\xF6.drv"}}},
    {1251,
     866,
     {{u"\u0412\u0438\u0434\u0435\u043E.dll", "\xC2\xE8\xE4\xE5\xEE.dll"},
      {u"Caf\u00E9.dll", "Caf?.dll"}},
     {{"\x8F\x8B\x85\x85\x90   DRV", 0, "\xCF\xCB\xC5\xC5\xD0.DRV"},
      {"\x05"
       "A      DLL",
       0x08,
       "\xF5"
       "a.DLL"}},
     {{"\xCF\xCB\xC5\xC5\xD0.DRV", "\xEF\xEB\xE5\xE5\xF0.drv"}}},
    {932,
     932,
     {{u"\u52D5\u753B.dll", "\x93\xAE\x89\xE6.dll"}},
     {{"\x93\xAE\x89\xE6    DRV", 0, "\x93\xAE\x89\xE6.DRV"},
      // A trail byte that is an ASCII capital stays when the base is lower-cased.
      {"\x83"
       "AX     DLL",
       0x08,
       "\x83"
       "Ax.DLL"},
      {"\x05@      DLL", 0, "\xE5@.DLL"},  // a lead byte 0xE5, stored as 0x05
      {"\xB1       DRV", 0, "\xB1.DRV"}},  // half-width katakana, one byte
     {{"\x83"
       "Ax.DLL",
       "\x83"
       "AX.dll"}}},
};

std::string Utf8Name(const std::u16string& name) {
  std::string utf8;
  for (char16_t unit : name) AppendUtf8(unit, &utf8);
  return utf8;
}

// The placeholder an image's short-only entry holds until the test writes its bytes.
std::string Placeholder(size_t i) { return "KZ" + std::to_string(10 + i) + ".DLL"; }
std::string PlaceholderEntry(size_t i) { return "KZ" + std::to_string(10 + i) + "    DLL"; }

// A described NT machine of the code pages with each long name as a file in system32 and
// as a folder at the root holding x.dll, and the placeholders of the short names.
void DescribeFileNames(const FileNameMachine& m, test::MachineFolder* machine) {
  machine->Registry(
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage]\r\n"
      "\"ACP\"=\"" +
      std::to_string(m.acp) + "\"\r\n\"OEMCP\"=\"" + std::to_string(m.oemcp) +
      "\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
      "\"CurrentVersion\"=\"5.1\"\r\n\"CurrentBuildNumber\"=\"2600\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Korvane]\r\n\"Seen\"=dword:00000001\r\n");
  for (const LongName& n : m.longNames) {
    machine->File("WINDOWS/system32/" + Utf8Name(n.name), "file");
    machine->File(Utf8Name(n.name) + "/x.dll", "folder");
  }
  for (size_t i = 0; i < m.shortNames.size(); ++i) {
    machine->File("WINDOWS/system32/" + Placeholder(i), "short");
  }
}

// Each placeholder entry of the image given the short name's bytes and flags.
void WriteShortNames(const FileNameMachine& m, const std::string& imagePath) {
  std::string image = test::ReadFile(imagePath);
  for (size_t i = 0; i < m.shortNames.size(); ++i) {
    const std::string placeholder = PlaceholderEntry(i);
    ASSERT_EQ(m.shortNames[i].entry.size(), 11u) << i;
    const size_t at = image.find(placeholder);
    ASSERT_NE(at, std::string::npos) << placeholder;
    ASSERT_EQ(image.find(placeholder, at + 1), std::string::npos) << placeholder;
    image.replace(at, 11, m.shortNames[i].entry);
    image[at + 12] = static_cast<char>(m.shortNames[i].flags);
  }
  std::ofstream(imagePath, std::ios::binary | std::ios::trunc) << image;
}

// What the machine's ANSI calls show and find of one name in C:\WINDOWS\system32 (and,
// for a long name, of the folder of that name).
void ExpectNameFound(System& system, const std::string& ansi, bool folderToo) {
  SCOPED_TRACE("name " + TextAsUtf8(ansi, static_cast<CodePage>(system.GetACP())));
  const std::string folder = "C:\\WINDOWS\\SYSTEM32\\";
  std::vector<std::string> listed;
  if (auto search = system.FindFirstFileA(folder + "*")) {
    do {
      listed.push_back(search->Current().name);
    } while (search->FindNextFileA());
  }
  EXPECT_NE(std::find(listed.begin(), listed.end(), ansi), listed.end());
  const auto one = system.FindFirstFileA(folder + ansi);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->Current().name, ansi);
  std::FILE* file = system.OpenFileForReading(folder + ansi);
  EXPECT_NE(file, nullptr);
  if (file != nullptr) std::fclose(file);
  if (!folderToo) return;
  std::FILE* inside = system.OpenFileForReading("C:\\" + ansi + "\\X.DLL");
  EXPECT_NE(inside, nullptr);
  if (inside != nullptr) std::fclose(inside);
}

void ExpectNamesFound(const std::string& path, const FileNameMachine& m, bool shortNames) {
  std::string error;
  const std::unique_ptr<OfflineSystem> system = OpenMachine(path, &error);
  ASSERT_NE(system, nullptr) << error;
  EXPECT_EQ(system->GetACP(), m.acp);
  for (const LongName& n : m.longNames) ExpectNameFound(*system, n.ansi, true);
  if (!shortNames) return;
  for (const ShortName& n : m.shortNames) ExpectNameFound(*system, n.ansi, false);
  // A path from the registry or system.ini, in another case, finds the file.
  for (const auto& spelt : m.otherSpellings) {
    const auto found = system->FindFirstFileA("C:\\WINDOWS\\system32\\" + spelt.second);
    ASSERT_NE(found, nullptr) << spelt.second;
    EXPECT_EQ(found->Current().name, spelt.first);
  }
}

TEST(MachineText, FileNamesOfEveryDriveAreInTheAnsiCodePage) {
  for (const FileNameMachine& m : kFileNameMachines) {
    SCOPED_TRACE("ACP " + std::to_string(m.acp));
    test::MachineFolder described;
    DescribeFileNames(m, &described);
    ExpectNamesFound(described.path(), m, false);

    // A Wine prefix keeps its names as UTF-8 too; a driver registered by its name (UTF-16
    // in the registry, in the same code page once narrowed) is found and probed.
    test::WinePrefixFolder prefix("win32");
    const LongName& driver = m.longNames.front();
    prefix.SystemReg(
        "[System\\\\CurrentControlSet\\\\Control\\\\Nls\\\\CodePage] 1\n\"ACP\"=\"" +
        std::to_string(m.acp) + "\"\n\"OEMCP\"=\"" + std::to_string(m.oemcp) +
        "\"\n\n[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Drivers32] 1\n"
        "\"vidc.kvn0\"=\"" +
        WineEscaped(driver.name) + "\"\n");
    for (const LongName& n : m.longNames) {
      prefix.File("windows/system32/" + Utf8Name(n.name), "file");
      prefix.File(Utf8Name(n.name) + "/x.dll", "folder");
    }
    ExpectNamesFound(prefix.path(), m, false);
    test::ScratchDir out;
    const std::string report = out.path() + "/report.txt";
    const auto run =
        test::RunCli("run --machine " + ShellQuote(prefix.path()) + " -o " + ShellQuote(report));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string probed = "C:\\windows\\system32\\" + driver.ansi;
    const std::string bytes = test::ReadFile(report);
    EXPECT_NE(bytes.find(probed + " 0x"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find(probed + " Not found"), std::string::npos);

#if KORVANE_INSTALLATIONS
    test::ScratchDir disks;
    const std::string installed = disks.path() + "/c";
    const auto made = test::RunCommand(kSource + "/scripts/make-installation.sh " +
                                       ShellQuote(described.path()) + " " + ShellQuote(installed));
    ASSERT_EQ(made.exitCode, 0) << made.err;
    ExpectNamesFound(installed, m, false);

    // FAT: the long names as mtools writes them from UTF-8, the short names by hand.
    const std::string fat = disks.path() + "/fat.img";
    const auto fatMade =
        test::RunCommand(kSource + "/scripts/make-disk-image.sh " + ShellQuote(installed) + " " +
                         ShellQuote(fat) + " raw 40");
    ASSERT_EQ(fatMade.exitCode, 0) << fatMade.err;
    WriteShortNames(m, fat);
    ExpectNamesFound(fat, m, true);

    const std::string ntfs = disks.path() + "/ntfs.img";
    const auto ntfsMade =
        test::RunCommand(kSource + "/scripts/make-disk-image.sh " + ShellQuote(installed) + " " +
                         ShellQuote(ntfs) + " raw-ntfs 40");
    if (ntfsMade.exitCode == 77) {
      std::printf("NTFS names not checked: %s", ntfsMade.err.c_str());
      continue;
    }
    ASSERT_EQ(ntfsMade.exitCode, 0) << ntfsMade.err;
    ExpectNamesFound(ntfs, m, false);
#endif
  }
}

}  // namespace
}  // namespace korvane
