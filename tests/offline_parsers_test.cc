// The parsers behind a described machine: .reg text, machine.ini, PE headers, version
// resources and FAT directory entries, on text and bytes made here.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/memory_registry.h"
#include "platform/offline/drives/file_names.h"
#include "platform/offline/formats/ini_section.h"
#include "platform/offline/formats/machine_ini.h"
#include "platform/offline/formats/pe_image.h"
#include "platform/offline/formats/reg_file.h"
#include "platform/offline/formats/version_resource.h"
#include "tests/pe_builder.h"

namespace korvane {
namespace {

using test::BuildPe;
using test::PeSpec;

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

const MemoryRegistry::Value* Value(const MemoryRegistry& reg, RootKey root, const std::string& key,
                                   const std::string& name) {
  const auto* k = reg.FindKey(root, key);
  return k == nullptr ? nullptr : MemoryRegistry::FindValue(k, name);
}

std::vector<std::string> SubkeyNames(const MemoryRegistry& reg, RootKey root,
                                     const std::string& key) {
  std::vector<std::string> names;
  for (const auto& sub : reg.FindKey(root, key)->subkeys()) names.push_back(sub->name());
  return names;
}

TEST(RegFile, EveryValueForm) {
  MemoryRegistry reg;
  const auto error = ParseRegFile(
      "REGEDIT4\r\n"
      "\r\n"
      "; a comment\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n"
      "@=\"default\"\r\n"
      "\"Path\"=\"C:\\\\WINDOWS\\\\SYSTEM\"\r\n"
      "\"Quote \\\"q\\\"\"=\"say \\\"hi\\\"\"\r\n"
      "\"Flags\"=dword:0001000a\r\n"
      "\"Short\"=dword:7\r\n"
      "\"Bin\"=hex:00,00,01,00\r\n"
      "\"Long\"=hex:01,02,\\\r\n"
      "   03,04,\\\r\n"
      "   05\r\n"
      "  \"Expand\"=hex(2):25,57,25,00\r\n"
      "\"Multi\"=hex(7):61,00,62,00,00\r\n"
      "\"None\"=hex(0):\r\n"
      "\"Empty\"=\"\"\r\n",
      &reg);
  ASSERT_FALSE(error) << error->line << ": " << error->message;
  const auto* key = reg.FindKey(RootKey::kLocalMachine, "SOFTWARE\\TEST");
  ASSERT_NE(key, nullptr);
  std::vector<std::string> names;
  for (const auto& v : key->values) names.push_back(v.name);
  EXPECT_EQ(names, (std::vector<std::string>{"", "Path", "Quote \"q\"", "Flags", "Short", "Bin",
                                             "Long", "Expand", "Multi", "None", "Empty"}));
  const auto* def = MemoryRegistry::FindValue(key, "");
  EXPECT_EQ(def->type, kRegSz);
  EXPECT_EQ(def->data, Bytes(std::string("default") + '\0'));
  EXPECT_EQ(MemoryRegistry::FindValue(key, "path")->data,
            Bytes(std::string("C:\\WINDOWS\\SYSTEM") + '\0'));
  EXPECT_EQ(MemoryRegistry::FindValue(key, "Quote \"q\"")->data,
            Bytes(std::string("say \"hi\"") + '\0'));
  EXPECT_EQ(MemoryRegistry::FindValue(key, "Flags")->type, kRegDword);
  EXPECT_EQ(MemoryRegistry::FindValue(key, "Flags")->data,
            (std::vector<uint8_t>{0x0A, 0x00, 0x01, 0x00}));
  EXPECT_EQ(MemoryRegistry::FindValue(key, "Short")->data, (std::vector<uint8_t>{7, 0, 0, 0}));
  EXPECT_EQ(MemoryRegistry::FindValue(key, "Bin")->type, kRegBinary);
  EXPECT_EQ(MemoryRegistry::FindValue(key, "Bin")->data, (std::vector<uint8_t>{0, 0, 1, 0}));
  EXPECT_EQ(MemoryRegistry::FindValue(key, "Long")->data, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(MemoryRegistry::FindValue(key, "Expand")->type, kRegExpandSz);
  EXPECT_EQ(MemoryRegistry::FindValue(key, "Expand")->data, Bytes(std::string("%W%") + '\0'));
  EXPECT_EQ(MemoryRegistry::FindValue(key, "Multi")->type, kRegMultiSz);
  EXPECT_EQ(MemoryRegistry::FindValue(key, "None")->type, kRegNone);
  EXPECT_TRUE(MemoryRegistry::FindValue(key, "None")->data.empty());
  EXPECT_EQ(MemoryRegistry::FindValue(key, "Empty")->data, (std::vector<uint8_t>{0}));
}

TEST(RegFile, Version5TextInHexIsNarrowedFromUtf16) {
  MemoryRegistry reg;
  const auto error = ParseRegFile(
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\Env]\n"
      "\"Path\"=hex(2):25,00,57,00,3a,01,00,00\n"
      "\"Raw\"=hex:25,00\n",
      &reg);
  ASSERT_FALSE(error) << error->message;
  // An ANSI program sees one byte a character; one outside the 8-bit range shows as "?".
  EXPECT_EQ(Value(reg, RootKey::kCurrentUser, "Env", "Path")->data,
            Bytes(std::string("%W?") + '\0'));
  EXPECT_EQ(Value(reg, RootKey::kCurrentUser, "Env", "Raw")->data, (std::vector<uint8_t>{0x25, 0}));
}

TEST(RegFile, Utf16FileWithByteOrderMark) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"N\"=\"v\xE9\"\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : text) {
    utf16 += c;
    utf16 += '\0';
  }
  MemoryRegistry reg;
  ASSERT_FALSE(ParseRegFile(utf16, &reg));
  EXPECT_EQ(Value(reg, RootKey::kLocalMachine, "A", "N")->data, Bytes(std::string("v\xE9") + '\0'));
}

TEST(RegFile, KeysMergeInFileOrderAndLaterValuesReplaceInPlace) {
  MemoryRegistry reg;
  ASSERT_FALSE(
      ParseRegFile("REGEDIT4\n"
                   "[HKEY_LOCAL_MACHINE\\U\\Zeta]\n\"A\"=\"1\"\n\"B\"=\"2\"\n"
                   "[HKEY_LOCAL_MACHINE\\U\\alpha]\n"
                   "[HKEY_LOCAL_MACHINE\\u\\ZETA]\n\"a\"=\"3\"\n\"C\"=\"4\"\n"
                   "[HKEY_LOCAL_MACHINE\\U\\Mid\\Deep]\n",
                   &reg));
  EXPECT_EQ(SubkeyNames(reg, RootKey::kLocalMachine, "U"),
            (std::vector<std::string>{"Zeta", "alpha", "Mid"}));
  const auto* zeta = reg.FindKey(RootKey::kLocalMachine, "U\\Zeta");
  ASSERT_EQ(zeta->values.size(), 3u);
  EXPECT_EQ(zeta->values[0].name, "A");
  EXPECT_EQ(zeta->values[0].data, Bytes(std::string("3") + '\0'));
  EXPECT_EQ(zeta->values[2].name, "C");
}

TEST(RegFile, ClassesRootIsMachineSoftwareClassesAndOtherRootsAreLeftOut) {
  MemoryRegistry reg;
  ASSERT_FALSE(
      ParseRegFile("REGEDIT4\n"
                   "[HKEY_CLASSES_ROOT\\AVIFile]\n@=\"from HKCR\"\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\AVIFile\\CLSID]\n@=\"from HKLM\"\n"
                   "[HKEY_USERS\\.DEFAULT\\Software]\n\"Ignored\"=\"x\"\n"
                   "[HKEY_CURRENT_CONFIG\\Display]\n",
                   &reg));
  EXPECT_NE(Value(reg, RootKey::kLocalMachine, "Software\\Classes\\AVIFile", ""), nullptr);
  EXPECT_NE(Value(reg, RootKey::kClassesRoot, "AVIFile\\CLSID", ""), nullptr);
  EXPECT_EQ(reg.FindKey(RootKey::kLocalMachine, ".DEFAULT"), nullptr);
  EXPECT_EQ(reg.FindKey(RootKey::kCurrentUser, "Display"), nullptr);
}

TEST(RegFile, ErrorsNameTheLine) {
  struct Case {
    std::string text;
    int line;
    std::string fragment;
  };
  const Case cases[] = {
      {"", 1, "not a registry export"},
      {"\n\nREGEDIT5\n", 3, "not a registry export"},
      {"REGEDIT4\n\"A\"=\"x\"\n", 2, "before any [key]"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\n", 2, "does not end with"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\\\B]\n", 2, "empty"},
      {"REGEDIT4\n[HKLM\\A]\n", 2, "unknown root key \"HKLM\""},
      {"REGEDIT4\n[-HKEY_LOCAL_MACHINE\\A]\n", 2, "deletion"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=-\n", 3, "deletion"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"C:\\WINDOWS\"\n", 3, "unknown escape \"\\W\""},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"open\n", 3, "no closing quote"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"x\" junk\n", 3, "after the closing quote"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\" \"x\"\n", 3, "expected \"=\""},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=dword:123456789\n", 3, "dword"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=dword:xyz\n", 3, "dword"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=hex:0,1g\n", 3, "hex data"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=hex:01,,02\n", 3, "hex data"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=hex:01,\\\n 02,\\\n 0x3\n", 5, "hex data"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=hex:01,\\\n", 3, "past the end"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=hex(q):00\n", 3, "hex(N)"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=str:x\n", 3, "cannot read this value's data"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\nV=1\n", 3, "cannot read this line"},
  };
  for (const Case& c : cases) {
    MemoryRegistry reg;
    const auto error = ParseRegFile(c.text, &reg);
    ASSERT_TRUE(error) << c.text;
    EXPECT_EQ(error->line, c.line) << c.text;
    EXPECT_NE(error->message.find(c.fragment), std::string::npos)
        << c.text << " -> " << error->message;
  }
}

TEST(MachineIni, ReadsEveryFact) {
  MachineIni ini;
  const auto error = ParseMachineIni(
      "; comment\n"
      "[Machine]\n"
      "windowsdirectory = D:\\WINNT\n"
      "SystemDirectory=\n"
      "Platform=2\nMajor=5\nMinor=0\nBuild=0x893\n"
      "ServicePack=Service Pack 4\n"
      "VersionQuery=FAIL\n"
      "VfwVersion=0x010A0000\n"
      "[capture]\n"
      "0=Generic Capture|Version: 1.0\n"
      "3=Second|\n",
      &ini);
  ASSERT_FALSE(error) << error->message;
  EXPECT_EQ(ini.windowsDirectory, "D:\\WINNT");
  EXPECT_EQ(ini.systemDirectory, "");  // given empty: GetSystemDirectoryA returns nothing
  EXPECT_EQ(ini.platform, 2u);
  EXPECT_EQ(ini.major, 5u);
  EXPECT_EQ(ini.minor, 0u);
  EXPECT_EQ(ini.build, 0x893u);
  EXPECT_EQ(ini.servicePack, "Service Pack 4");
  EXPECT_TRUE(ini.versionQueryFails);
  EXPECT_EQ(ini.vfwVersion, 0x010A0000u);
  EXPECT_TRUE(ini.captureGiven);
  ASSERT_TRUE(ini.capture[0]);
  EXPECT_EQ(ini.capture[0]->name, "Generic Capture");
  EXPECT_EQ(ini.capture[0]->version, "Version: 1.0");
  EXPECT_FALSE(ini.capture[1]);
  ASSERT_TRUE(ini.capture[3]);
  EXPECT_EQ(ini.capture[3]->version, "");
}

TEST(MachineIni, ErrorsNameTheLine) {
  struct Case {
    std::string text;
    int line;
    std::string fragment;
  };
  const Case cases[] = {
      {"Platform=1\n", 1, "before any [machine]"},
      {"[machine]\nPlatform=3\n", 2, "0, 1 or 2"},
      {"[machine]\n\nBuild=4294967296\n", 3, "32-bit number"},
      {"[machine]\nMajor=-1\n", 2, "32-bit number"},
      {"[machine]\nMinor=0x\n", 2, "32-bit number"},
      {"[machine]\nVfwVersion=1.0\n", 2, "32-bit number"},
      {"[machine]\nVersionQuery=maybe\n", 2, "ok or fail"},
      {"[machine]\nServicePack=" + std::string(128, 'x') + "\n", 2, "127"},
      {"[machine]\nWindowsDir=C:\\W\n", 2, "unknown name WindowsDir"},
      {"[machine]\nMajor=4\nmajor=5\n", 3, "given twice"},
      {"[machine]\njust text\n", 2, "NAME=VALUE"},
      {"[hardware]\n", 1, "unknown section"},
      {"[capture]\n10=a|b\n", 2, "0 to 9"},
      {"[capture]\n1=no version bar\n", 2, "name|version"},
  };
  for (const Case& c : cases) {
    MachineIni ini;
    const auto error = ParseMachineIni(c.text, &ini);
    ASSERT_TRUE(error) << c.text;
    EXPECT_EQ(error->line, c.line) << c.text;
    EXPECT_NE(error->message.find(c.fragment), std::string::npos)
        << c.text << " -> " << error->message;
  }
}

TEST(IniSection, FirstSectionOfThatNameWithoutRegardToCase) {
  const std::string text =
      "[Drivers]\r\n msvideo = cap.drv \r\n;msvideo1=old.drv\r\nnoequals\r\n[mci]\r\nx=y\r\n"
      "[drivers]\r\nmsvideo2=later.drv\r\n";
  const auto entries = ReadIniSection(text, "drivers");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].key, "msvideo");
  EXPECT_EQ(entries[0].value, "cap.drv");
}

std::optional<PeImage> Parse(const std::string& bytes, std::string* why) {
  return ParsePeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), why);
}

TEST(PeImage, ReadsMachineFlagsAndImportsInOrder) {
  PeSpec spec;
  spec.imports = {"KERNEL32.DLL", "msvfw32.dll", "USER32.dll"};
  std::string why;
  const auto image = Parse(BuildPe(spec), &why);
  ASSERT_TRUE(image) << why;
  EXPECT_EQ(image->machine, kMachineI386);
  EXPECT_FALSE(image->is64);
  EXPECT_NE(image->characteristics & kImageFileDll, 0);
  EXPECT_EQ(image->imports, spec.imports);

  spec.machine = kMachineX8664;
  const auto wide = Parse(BuildPe(spec), &why);
  ASSERT_TRUE(wide) << why;
  EXPECT_TRUE(wide->is64);
  EXPECT_EQ(wide->imports, spec.imports);
  EXPECT_EQ(MachineName(wide->machine), "x86-64");
  EXPECT_EQ(MachineName(0x1234), "machine type 0x1234");
}

TEST(PeImage, RecognisesFilesThatAreNoPeImage) {
  std::string why;
  EXPECT_FALSE(Parse("", &why));
  EXPECT_EQ(why, "not a PE image");
  EXPECT_FALSE(Parse("RIFF....AVI ", &why));
  EXPECT_EQ(why, "not a PE image");
  std::string ne(0x80, '\0');
  ne[0] = 'M';
  ne[1] = 'Z';
  ne[0x3C] = 0x40;
  ne[0x40] = 'N';
  ne[0x41] = 'E';
  EXPECT_FALSE(Parse(ne, &why));
  EXPECT_EQ(why, "a 16-bit (NE) module, not a 32-bit PE image");
  ne[0x41] = 'Z';
  EXPECT_FALSE(Parse(ne, &why));
  EXPECT_EQ(why, "an MS-DOS program, not a PE image");
}

TEST(PeImage, EveryTruncationIsAnErrorNeverARead) {
  PeSpec spec;
  spec.imports = {"KERNEL32.DLL", "WINMM.DLL"};
  spec.withVersion = true;
  spec.fileDescription = "d";
  spec.fileVersion = "1.0";
  const std::string whole = BuildPe(spec);
  std::string why;
  ASSERT_TRUE(Parse(whole, &why));
  // Cut anywhere before the end of the import names, the image is refused; after it,
  // the imports are whole. Run under the sanitizers, this also proves no read outside.
  const size_t namesEnd = whole.find("WINMM.DLL") + 10;
  for (size_t size = 0; size < whole.size(); ++size) {
    // Copy to an exact-size heap buffer so that a read past it is caught.
    const std::string cut = whole.substr(0, size);
    std::vector<uint8_t> exact(cut.begin(), cut.end());
    const auto image = ParsePeImage(exact.data(), exact.size(), &why);
    if (image) {
      EXPECT_EQ(image->imports, spec.imports) << size;
      if (const auto strings = ReadVersionStrings(PeView{exact.data(), exact.size(), &*image})) {
        EXPECT_EQ(strings->fileDescription, "d") << size;
      }
    } else {
      EXPECT_FALSE(why.empty()) << size;
    }
    EXPECT_EQ(image.has_value(), size >= namesEnd) << size << ": " << why;
  }
}

TEST(PeImage, BogusOffsetsAreInvalidImages) {
  PeSpec spec;
  spec.imports = {"KERNEL32.DLL"};
  const std::string good = BuildPe(spec);
  struct Case {
    size_t offset;
    uint32_t value;
    const char* fragment;
  };
  const size_t importDirectory = test::kOptionalHeaderOffset + 96 + 8;
  const Case cases[] = {
      {0x3C, 0xFFFFFFF0u, "MS-DOS program"},  // PE header offset
      {test::kPeHeaderOffset + 4 + 16, 0xFFFF0000u | 0x2102,
       "ends inside its optional header"},                            // size
      {test::kPeHeaderOffset + 4 + 0, 0xFFFF014Cu, "section table"},  // 65535 sections
      {importDirectory, 0xFFFFFFF0u, "import table lies outside"},
      {test::kSectionTableOffset + 20, 0xFFFFFE00u, "import table lies outside"},  // raw offset
      {test::kSectionTableOffset + 16, 0x7FFFFFFFu, ""},                           // raw size
      {test::kOptionalHeaderOffset + 92, 0xFFFFFFFFu, ""},  // directory count: capped at 16
  };
  for (const Case& c : cases) {
    std::string bad = good;
    test::PutU32(&bad, c.offset, c.value);
    std::vector<uint8_t> exact(bad.begin(), bad.end());
    std::string why;
    const auto image = ParsePeImage(exact.data(), exact.size(), &why);
    if (std::string(c.fragment).empty()) {
      // Damage the parser must survive; whether the image still reads is secondary.
      if (!image) {
        EXPECT_NE(why.find("not a valid PE image"), std::string::npos) << why;
      }
      continue;
    }
    ASSERT_FALSE(image) << c.offset;
    EXPECT_NE(why.find(c.fragment), std::string::npos) << c.offset << ": " << why;
  }
}

TEST(PeImage, AnImportNameWithoutEndIsRefused) {
  PeSpec spec;
  spec.imports = {"KERNEL32.DLL"};
  std::string bytes = BuildPe(spec);
  // Overwrite the name's terminating zero and everything after it up to the end.
  const size_t name = bytes.find("KERNEL32.DLL");
  for (size_t i = name; i < bytes.size(); ++i) bytes[i] = 'A';
  std::string why;
  EXPECT_FALSE(Parse(bytes, &why));
  EXPECT_NE(why.find("imported library name"), std::string::npos) << why;
}

TEST(VersionResource, NamesFromTheStringTableElseTheFixedVersion) {
  PeSpec spec;
  spec.withVersion = true;
  spec.fileDescription = "Sample Capture Driver";
  spec.fileVersion = "4.10.2222";
  const std::string bytes = BuildPe(spec);
  std::string why;
  const auto image = Parse(bytes, &why);
  ASSERT_TRUE(image) << why;
  const auto strings = ReadVersionStrings(
      PeView{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &*image});
  ASSERT_TRUE(strings);
  EXPECT_EQ(strings->fileDescription, "Sample Capture Driver");
  EXPECT_EQ(strings->fileVersion, "4.10.2222");

  const std::string fixedOnly = test::BuildVersionInfo("Only a name", "");
  const auto fromFixed =
      ParseVersionInfo(reinterpret_cast<const uint8_t*>(fixedOnly.data()), fixedOnly.size());
  ASSERT_TRUE(fromFixed);
  EXPECT_EQ(fromFixed->fileVersion, "4.10.0.2222");

  spec.withVersion = false;
  const std::string none = BuildPe(spec);
  const auto plain = Parse(none, &why);
  EXPECT_FALSE(ReadVersionStrings(
      PeView{reinterpret_cast<const uint8_t*>(none.data()), none.size(), &*plain}));
}

TEST(VersionResource, DamagedLengthsEndTheWalkSafely) {
  const std::string block = test::BuildVersionInfo("Description", "1.2.3.4");
  // Every 16-bit field set to extremes, one at a time: never a read outside the block.
  for (size_t at = 0; at + 1 < block.size(); at += 2) {
    for (uint16_t value : {uint16_t{0}, uint16_t{1}, uint16_t{7}, uint16_t{0xFFFF}}) {
      std::vector<uint8_t> bad(block.begin(), block.end());
      bad[at] = static_cast<uint8_t>(value);
      bad[at + 1] = static_cast<uint8_t>(value >> 8);
      ParseVersionInfo(bad.data(), bad.size());
    }
  }
  EXPECT_FALSE(ParseVersionInfo(reinterpret_cast<const uint8_t*>("\x02\x00"), 2));
  const auto whole = ParseVersionInfo(reinterpret_cast<const uint8_t*>(block.data()), block.size());
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->fileVersion, "1.2.3.4");
}

// Where a FAT directory entry lies, from the boot sector's layout: a floppy's FAT12, a
// FAT32 volume whose FAT size is in its own field, large sectors, and boot sectors that
// give no layout (cut short, a sector size FAT does not have), which must answer nothing.
TEST(FatEntryOffset, FromTheBootSectorLayoutOrNothing) {
  const auto boot = [](uint16_t sectorSize, uint16_t reserved, uint8_t fats, uint16_t fat16,
                       uint32_t fat32, size_t size = 512) {
    std::string bytes(size, '\0');
    const auto put = [&bytes](size_t at, uint64_t value, int width) {
      for (int i = 0; i < width && at + i < bytes.size(); ++i) {
        bytes[at + i] = static_cast<char>(value >> (8 * i));
      }
    };
    put(0x0B, sectorSize, 2);
    put(0x0E, reserved, 2);
    put(0x10, fats, 1);
    put(0x16, fat16, 2);
    put(0x24, fat32, 4);
    return bytes;
  };
  const std::string floppy = boot(512, 1, 2, 9, 0);
  const std::string fat32 = boot(512, 32, 2, 0, 1000);
  const struct {
    const char* what;
    std::string bootSector;
    uint64_t address;
    std::optional<uint64_t> offset;
  } kCases[] = {
      {"the first slot after the FATs", floppy, 3, 19 * 512},
      {"the last slot of that sector", floppy, 3 + 15, 19 * 512 + 15 * 32},
      {"the next sector", floppy, 3 + 17, 20 * 512 + 32},
      {"the root folder has no slot", floppy, 2, std::nullopt},
      {"FAT32's own FAT size", fat32, 3 + 16, (32 + 2000 + 1) * 512},
      {"4096-byte sectors", boot(4096, 8, 2, 2, 0), 3 + 130, (8 + 4 + 1) * 4096 + 2 * 32},
      {"FAT32 cut before its FAT size", boot(512, 32, 2, 0, 1000, 0x26), 3, std::nullopt},
      {"cut before the FAT count", floppy.substr(0, 0x10), 3, std::nullopt},
      {"no boot sector", std::string(), 3, std::nullopt},
      {"sector size 0", boot(0, 1, 2, 9, 0), 3, std::nullopt},
      {"sector size 513", boot(513, 1, 2, 9, 0), 3, std::nullopt},
      {"sector size 8192", boot(8192, 1, 2, 9, 0), 3, std::nullopt},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FatEntryOffset(c.bootSector, c.address), c.offset);
  }
}

// Whether the name The Sleuth Kit gave is the entry's: its printable ASCII bytes must
// agree (lower case where the flags say), the others it replaces with marks of its own.
TEST(ShortEntryMatches, PrintableBytesMustAgree) {
  const auto entry = [](const std::string& name, unsigned char flags) {
    std::string bytes = name;
    bytes.resize(kFatEntrySize, '\0');
    bytes[12] = static_cast<char>(flags);
    return bytes;
  };
  const struct {
    std::string entry;
    std::string given;
    bool matches;
  } kCases[] = {
      {entry("README  TXT", 0), "README.TXT", true},
      {entry("README  TXT", 0x18), "readme.txt", true},
      {entry("README  TXT", 0x08), "readme.TXT", true},
      {entry("README  TXT", 0), "readme.txt", false},
      {entry("\x8E\x99      DRV", 0), "^^.DRV", true},
      {entry("\x05"
             "BC     DLL",
             0),
       "\x05"
       "BC.DLL",
       true},
      {entry("NOEXT      ", 0), "NOEXT", true},
      {entry("NOEXT      ", 0), "NOEXT.", false},
      {entry("README  TXT", 0), "README.TX", false},
      {entry("OTHER   TXT", 0), "README.TXT", false},
      {"README  TXT", "README.TXT", false},  // not a whole entry
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.given);
    EXPECT_EQ(ShortEntryMatches(c.entry, c.given), c.matches);
  }
}

}  // namespace
}  // namespace korvane
