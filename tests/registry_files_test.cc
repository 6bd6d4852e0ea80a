// The NT hive and 9x registry file loaders, against the .reg reader on the same keys.
//
// Each case writes a .reg text, turns it into a hive (empty hive + hivexregedit --merge)
// or a 9x registry file (scripts/registry-files.py) and compares what the loader reads
// with what the .reg reader reads from the text itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/offline/formats/reg_file.h"
#include "platform/offline/registries/creg_file.h"
#include "platform/offline/registries/nt_hive.h"
#include "tests/test_support.h"

namespace korvane {
namespace {

const std::string kTool = std::string(KORVANE_SOURCE_DIR) + "/scripts/registry-files.py";

void Run(const std::string& command) {
  const test::RunResult result = test::RunCommand(command);
  ASSERT_EQ(result.exitCode, 0) << command << "\n" << result.err << result.out;
}

// The hive of the keys below root in regText, written with the repository's scripts.
std::string MakeHive(const test::ScratchDir& dir, const std::string& regText,
                     const std::string& root, bool sorted = true) {
  const std::string reg = dir.Write("in.reg", regText);
  const std::string hive = dir.path() + "/hive";
  Run("python3 " + test::ShellQuote(kTool) + " empty-hive " + hive);
  Run("python3 " + test::ShellQuote(kTool) + " hive-reg " + dir.path() + "/merge.reg " + reg +
      " --root " + test::ShellQuote(root) + (sorted ? " --sorted" : ""));
  Run("hivexregedit --merge --prefix " + test::ShellQuote(root) + " " + hive + " " + dir.path() +
      "/merge.reg");
  return hive;
}

std::string MakeCreg(const test::ScratchDir& dir, const std::string& regText,
                     const std::string& root, const std::string& extra = std::string()) {
  const std::string reg = dir.Write("in.reg", regText);
  const std::string out = dir.path() + "/creg.dat";
  Run("python3 " + test::ShellQuote(kTool) + " creg " + out + " " + reg + " --root " +
      test::ShellQuote(root) + " " + extra);
  return out;
}

std::vector<std::string> Names(const MemoryRegistry::Key& key) {
  std::vector<std::string> names;
  for (const auto& sub : key.subkeys()) names.push_back(sub->name());
  return names;
}

// Keys, values, types and data equal; subkeys in the same order, or with sortSubkeys the
// expected side's sorted by upper-case name first, the order NT hives keep.
void ExpectSameTree(const MemoryRegistry::Key& expected, const MemoryRegistry::Key& actual,
                    const std::string& path, bool sortSubkeys) {
  ASSERT_EQ(expected.values.size(), actual.values.size()) << path;
  for (size_t i = 0; i < expected.values.size(); ++i) {
    EXPECT_EQ(expected.values[i].name, actual.values[i].name) << path;
    EXPECT_EQ(expected.values[i].type, actual.values[i].type)
        << path << "\\" << expected.values[i].name;
    EXPECT_EQ(expected.values[i].data, actual.values[i].data)
        << path << "\\" << expected.values[i].name;
  }
  std::vector<const MemoryRegistry::Key*> subkeys;
  for (const auto& sub : expected.subkeys()) subkeys.push_back(sub.get());
  if (sortSubkeys) {
    std::stable_sort(subkeys.begin(), subkeys.end(), [](auto* a, auto* b) {
      std::string x = a->name(), y = b->name();
      for (char& c : x) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      for (char& c : y) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return x < y;
    });
  }
  ASSERT_EQ(subkeys.size(), actual.subkeys().size()) << path;
  for (size_t i = 0; i < subkeys.size(); ++i) {
    ASSERT_EQ(subkeys[i]->name(), actual.subkeys()[i]->name()) << path;
    ExpectSameTree(*subkeys[i], *actual.subkeys()[i], path + "\\" + subkeys[i]->name(),
                   sortSubkeys);
  }
}

const char kSoftware[] =
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
    "\"CurrentVersion\"=\"5.1\"\r\n"
    "\"CurrentBuildNumber\"=\"2600\"\r\n"
    "\"CSDVersion\"=\"Service Pack 3\"\r\n"
    "\"Caf\xe9\"=\"na\xefve\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32]\r\n"
    "\"vidc.cvid\"=\"iccvid.dll\"\r\n"
    "\"msacm.imaadpcm\"=\"imaadp32.acm\"\r\n"
    "\"Empty\"=\"\"\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\AVIFile]\r\n"
    "@=\"Video Clip\"\r\n"
    "\"EditFlags\"=hex:00,00,01,00\r\n"
    "\"Flags\"=dword:00010002\r\n"
    "\"Icon\"=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,00\r\n"
    "\"List\"=hex(7):61,00,62,00,00\r\n"
    // A type no REG_ name covers, as device properties are kept on Vista and later.
    "\"Property\"=hex(ffff0012):01,02,03\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\AVIFile\\zeta]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\AVIFile\\_under]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\AVIFile\\Alpha]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\AVIFile\\beta]\r\n";

TEST(NtHive, ReadsWhatTheRegTextSays) {
  for (const bool sortedInput : {true, false}) {
    SCOPED_TRACE(sortedInput ? "keys merged in sorted order" : "keys merged in file order");
    test::ScratchDir dir;
    const std::string hive = MakeHive(dir, kSoftware, "HKEY_LOCAL_MACHINE\\SOFTWARE", sortedInput);
    MemoryRegistry expected;
    ASSERT_FALSE(ParseRegFile(kSoftware, &expected));
    MemoryRegistry::Key loaded;
    const auto error = LoadNtHive(hive, &loaded);
    ASSERT_FALSE(error) << *error;
    ExpectSameTree(*expected.FindKey(RootKey::kLocalMachine, "SOFTWARE"), loaded, "SOFTWARE", true);
  }
}

// RegEnumKeyEx on NT lists subkeys in the hive's order, by upper-case name: '_' (0x5F)
// sorts after the letters, where a lower-case comparison would put it first.
TEST(NtHive, SubkeysEnumerateByUpperCaseName) {
  test::ScratchDir dir;
  const std::string hive = MakeHive(dir, kSoftware, "HKEY_LOCAL_MACHINE\\SOFTWARE", false);
  MemoryRegistry::Key loaded;
  ASSERT_FALSE(LoadNtHive(hive, &loaded, "Classes\\AVIFile"));
  EXPECT_EQ(Names(loaded), (std::vector<std::string>{"Alpha", "beta", "zeta", "_under"}));
}

// UTF-16 names and text reach the registry as the ANSI calls return them.
TEST(NtHive, TextIsNarrowedAsTheAnsiCallsReturnIt) {
  const std::string reg =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n"
      "\"Latin\"=hex(1):e9,00,41,00,00,00\r\n"
      "\"Euro\"=hex(2):ac,20,25,00,00,00\r\n"
      "\"Odd\"=hex(1):41,00,42\r\n"
      "\"Pair\"=hex(1):3d,d8,00,de,00,00\r\n";
  test::ScratchDir dir;
  const std::string hive = MakeHive(dir, reg, "HKEY_LOCAL_MACHINE\\SOFTWARE");
  // The same hive on a Latin-1 machine and on a Western Windows one (the default), whose
  // code page has the euro sign at 0x80.
  struct Case {
    const char* name;
    uint32_t type;
    std::vector<uint8_t> data;
  };
  const struct {
    CodePage page;
    std::vector<Case> cases;
  } kPages[] = {
      {CodePage::kLatin1,
       {
           {"Latin", kRegSz, {0xE9, 'A', 0}},
           {"Euro", kRegExpandSz, {'?', '%', 0}},
           {"Odd", kRegSz, {'A'}},      // the odd byte is no character
           {"Pair", kRegSz, {'?', 0}},  // a surrogate pair is one character
       }},
      {kDefaultAnsiCodePage,
       {
           {"Latin", kRegSz, {0xE9, 'A', 0}},
           {"Euro", kRegExpandSz, {0x80, '%', 0}},
           {"Pair", kRegSz, {'?', 0}},
       }},
  };
  for (const auto& p : kPages) {
    MemoryRegistry::Key loaded;
    ASSERT_FALSE(LoadNtHive(hive, &loaded, "T", p.page));
    for (const Case& c : p.cases) {
      const auto* value = MemoryRegistry::FindValue(&loaded, c.name);
      ASSERT_NE(value, nullptr) << c.name;
      EXPECT_EQ(value->type, c.type) << c.name;
      EXPECT_EQ(value->data, c.data) << c.name << " " << static_cast<uint32_t>(p.page);
    }
  }
}

TEST(NtHive, MissingSubkeyIsNamed) {
  test::ScratchDir dir;
  const std::string hive = MakeHive(dir, kSoftware, "HKEY_LOCAL_MACHINE\\SOFTWARE");
  MemoryRegistry::Key loaded;
  const auto error = LoadNtHive(hive, &loaded, "Classes\\Nothing");
  ASSERT_TRUE(error);
  EXPECT_NE(error->find("Classes\\Nothing"), std::string::npos) << *error;
}

const char k9x[] =
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\AVIFile]\r\n"
    "@=\"Video Clip\"\r\n"
    "\"EditFlags\"=hex:00,00,01,00\r\n"
    "\"Flags\"=dword:00010002\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\AVIFile\\zeta]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\AVIFile\\_under]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\AVIFile\\Alpha]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]\r\n"
    "\"VersionNumber\"=\"4.10.2222\"\r\n"
    "\"SubVersionNumber\"=\" A \"\r\n"
    "\"Caf\xe9\"=\"na\xefve\"\r\n"
    "\"Empty\"=\"\"\r\n"
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\control\\MediaResources\\msvideo]\r\n";

// Key records are found by their id (the writer stores them in reverse order), records
// may be larger than what they use, and keys keep the file's order.
TEST(CregFile, ReadsWhatTheRegTextSays) {
  for (const char* spare : {"--spare 0", "--spare 24"}) {
    SCOPED_TRACE(spare);
    test::ScratchDir dir;
    const std::string file = MakeCreg(dir, k9x, "HKEY_LOCAL_MACHINE", spare);
    MemoryRegistry expected;
    ASSERT_FALSE(ParseRegFile(k9x, &expected));
    MemoryRegistry::Key loaded;
    const auto error = LoadCregFile(file, &loaded);
    ASSERT_FALSE(error) << *error;
    ExpectSameTree(*expected.FindKey(RootKey::kLocalMachine, ""), loaded, "HKLM", false);
  }
}

TEST(CregFile, UserDefaultKeyHoldsTheCurrentUser) {
  const std::string reg =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Ruv Korvane]\r\n\"OpenDir\"=\"c:\\\\\"\r\n";
  test::ScratchDir dir;
  const std::string file = MakeCreg(dir, reg, "HKEY_CURRENT_USER", "--under .DEFAULT");
  MemoryRegistry::Key loaded;
  ASSERT_FALSE(LoadCregFile(file, &loaded));
  ASSERT_EQ(Names(loaded), std::vector<std::string>{".DEFAULT"});
  const MemoryRegistry::Key* key = loaded.subkeys()[0]->subkeys()[0]->subkeys()[0].get();
  EXPECT_EQ(key->name(), "Ruv Korvane");
  const auto* value = MemoryRegistry::FindValue(key, "OpenDir");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->data, (std::vector<uint8_t>{'c', ':', '\\', 0}));
}

// Damaged files: every one is refused with a reason, none crashes or hangs.
TEST(RegistryFiles, DamagedFilesAreRefused) {
  test::ScratchDir dir;
  const std::string hive = test::ReadFile(MakeHive(dir, kSoftware, "HKEY_LOCAL_MACHINE\\SOFTWARE"));
  const std::string creg = test::ReadFile(MakeCreg(dir, k9x, "HKEY_LOCAL_MACHINE"));
  std::mt19937 random(12);
  std::string noise(8192, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  std::string cregLoop = creg;
  // The last key navigation entry (the msvideo key) names the root as its first subkey.
  const size_t rgkn = 0x20, entries = rgkn + 0x20;
  const uint32_t count =
      (static_cast<uint8_t>(creg[rgkn + 12]) | static_cast<uint8_t>(creg[rgkn + 13]) << 8) / 28;
  ASSERT_GT(count, 1u);
  const size_t last = entries + (count - 1) * 28;
  cregLoop.replace(last + 16, 4, std::string("\x20\0\0\0", 4));
  // Two sibling keys that name each other as the next one: libcreg alone would list
  // subkeys until memory runs out.
  std::string cregSiblingLoop = creg;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = entries + i * 28;
    const auto next =
        static_cast<uint8_t>(creg[entry + 20]) | static_cast<uint8_t>(creg[entry + 21]) << 8;
    if (static_cast<uint8_t>(creg[entry + 23]) == 0xFF) continue;  // no next sibling
    const size_t sibling = rgkn + next;
    const uint32_t self = static_cast<uint32_t>(entry - rgkn);
    const char back[4] = {static_cast<char>(self), static_cast<char>(self >> 8), 0, 0};
    cregSiblingLoop.replace(sibling + 20, 4, std::string(back, 4));
    break;
  }
  ASSERT_NE(cregSiblingLoop, creg);
  // libcreg counts links from the place the navigation header names, not from the header:
  // moved one entry on, the root is the second entry and a key that is its own next sibling
  // must still be seen as a loop.
  ASSERT_GE(count, 4u);
  std::string cregMovedLoop = creg;
  const auto put32 = [&cregMovedLoop](size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) cregMovedLoop[at + i] = static_cast<char>(value >> (8 * i));
  };
  const uint32_t movedBase = rgkn + 28, looping = entries + 3 * 28 - movedBase;
  put32(rgkn + 8, movedBase);
  put32(entries + 28 + 16, looping);         // the root's first subkey is the fourth entry...
  put32(entries + 2 * 28 + 16, 0xFFFFFFFF);  // ...which a walk from the header itself would
  put32(entries + 2 * 28 + 20, 0xFFFFFFFF);  // miss, reading the third, a leaf, instead
  put32(entries + 3 * 28 + 20, looping);     // and the fourth names itself as its next sibling
  const std::string hiveCut = hive.substr(0, 0x1000 + 0x100);
  const std::string cregCut = creg.substr(0, creg.size() / 2);
  const std::string empty;
  std::string hiveBadRoot = hive;
  hiveBadRoot.replace(0x24, 4, std::string("\xF0\xFF\x0F\x00", 4));
  const std::string hiveBadChecksum = hiveBadRoot;
  // The header's checksum (the XOR of its first 127 words) made right again.
  uint32_t checksum = 0;
  for (size_t at = 0; at < 0x1FC; at += 4) {
    uint32_t word = 0;
    for (int i = 3; i >= 0; --i) word = word << 8 | static_cast<uint8_t>(hiveBadRoot[at + i]);
    checksum ^= word;
  }
  for (int i = 0; i < 4; ++i) hiveBadRoot[0x1FC + i] = static_cast<char>(checksum >> (8 * i));

  // The header counts more data blocks than the file holds: libcreg says "invalid number
  // of data blocks value out of bounds", and only after naming its own functions and the
  // in-memory file it was handed.
  std::string cregBlocks = creg;
  cregBlocks.replace(0x10, 2, std::string("\xFF\xFF", 2));
  // A navigation block without its signature gets past every check of ours: libcreg's
  // own reason is said, in words a reader can use.
  std::string cregNoNavigation = creg;
  cregNoNavigation.replace(rgkn, 4, "XXXX");

  // A loop is refused as one by the loader itself. libcreg left to follow it gives up
  // only after growing its key list to the limit, tens of seconds later and with an error
  // of its own; the reasons checked here tell the two apart without timing the load.
  struct Case {
    const char* name;
    const std::string* bytes;
    bool nt;
    std::string says;  // what the reason starts with
  } const cases[] = {
      {"random bytes as a hive", &noise, true, "not a registry hive (no regf header)"},
      {"random bytes as a 9x file", &noise, false,
       "not a Windows 9x registry file (no CREG header)"},
      {"a hive cut short", &hiveCut, true,
       "cut short (" + std::to_string(hiveCut.size()) + " bytes of the "},
      {"a hive whose root is outside it", &hiveBadRoot, true, "a damaged registry hive"},
      {"a hive whose header checksum is wrong", &hiveBadChecksum, true,
       "a registry hive whose header is damaged"},
      {"a 9x file cut short", &cregCut, false,
       "cut short (" + std::to_string(cregCut.size()) + " bytes of the "},
      {"a 9x file whose key is its own ancestor", &cregLoop, false, "a key is its own ancestor"},
      {"a 9x file whose keys are each other's next sibling", &cregSiblingLoop, false,
       "a key is its own ancestor or sibling"},
      {"a 9x file whose links count from a moved place and loop", &cregMovedLoop, false,
       "a key is its own ancestor or sibling"},
      {"a 9x file counting more data blocks than it holds", &cregBlocks, false,
       "its header counts 65535 data blocks, the file holds 1 (cut short or damaged)"},
      {"a 9x file without its navigation signature", &cregNoNavigation, false, "a key's "},
      {"an empty file as a hive", &empty, true, "empty (0 bytes), not a registry hive"},
      {"an empty file as a 9x file", &empty, false,
       "empty (0 bytes), not a Windows 9x registry file"},
      {"a hive as a 9x file", &hive, false, "an NT registry hive, not a Windows 9x registry file"},
      {"a 9x file as a hive", &creg, true, "a Windows 9x registry file, not an NT hive"},
  };
  for (const Case& c : cases) {
    MemoryRegistry::Key loaded;
    const auto error = c.nt ? LoadNtHiveBytes(*c.bytes, &loaded) : LoadCregBytes(*c.bytes, &loaded);
    EXPECT_TRUE(error) << c.name;
    if (error) {
      EXPECT_FALSE(error->empty()) << c.name;
      EXPECT_EQ(error->rfind(c.says, 0), 0u) << c.name << ": " << *error;
      // The libraries' words mean nothing to a reader: no function names, no descriptor
      // of the in-memory file, no bare errno text.
      for (const char* hidden :
           {"libcreg", "hivex", "/proc/", "_", "Operation not supported", "Invalid argument"}) {
        EXPECT_EQ(error->find(hidden), std::string::npos) << c.name << ": " << *error;
      }
    }
  }
}

}  // namespace
}  // namespace korvane
