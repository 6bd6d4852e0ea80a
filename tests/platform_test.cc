// The portable platform pieces: dates, wildcards, byte fields and the in-memory registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/byte_reader.h"
#include "platform/memory_registry.h"
#include "platform/system.h"
#include "platform/wildcard.h"

namespace korvane {
namespace {

TEST(FileTime, CalendarDateInUtc) {
  auto date = [](int64_t unixSeconds) {
    const SystemDate d = FileTimeToSystemDate(FileTimeFromUnixSeconds(unixSeconds));
    return std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day);
  };
  EXPECT_EQ(date(0), "1970-1-1");
  EXPECT_EQ(date(923097600), "1999-4-3");      // 1999-04-03 00:00 UTC
  EXPECT_EQ(date(923097600 - 1), "1999-4-2");  // one second before midnight UTC
  EXPECT_EQ(date(951782400), "2000-2-29");     // leap day of a century leap year
  EXPECT_EQ(date(4107542400), "2100-3-1");     // 2100 is no leap year
  const SystemDate epoch = FileTimeToSystemDate(0);
  EXPECT_EQ(epoch.year, 1601);
  EXPECT_EQ(epoch.month, 1);
  EXPECT_EQ(epoch.day, 1);
}

// Every field read at the edge of the bytes and past it, offsets that would wrap around
// included: a field is delivered only when all of it lies inside.
TEST(ByteReader, FieldsAreReadInTheirByteOrderAndOnlyInside) {
  const uint8_t bytes[6] = {0x52, 0x49, 0x46, 0x46, 0xB8, 0x26};
  const ByteReader reader(bytes, sizeof bytes);
  constexpr uint64_t kHuge = std::numeric_limits<uint64_t>::max();
  struct Case {
    uint64_t offset;
    int width;  // 2 or 4
    bool inside;
    uint32_t value;
    uint32_t bigEndian;  // the same four bytes read big-endian
  };
  const Case cases[] = {
      {0, 2, true, 0x4952, 0},
      {4, 2, true, 0x26B8, 0},
      {5, 2, false, 0, 0},
      {6, 2, false, 0, 0},
      {0, 4, true, 0x46464952, 0x52494646},
      {2, 4, true, 0x26B84646, 0x4646B826},
      {3, 4, false, 0, 0},
      {7, 4, false, 0, 0},
      {kHuge, 2, false, 0, 0},
      {kHuge - 1, 4, false, 0, 0},
      {kHuge - 3, 4, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("offset " + std::to_string(c.offset) + ", width " + std::to_string(c.width));
    EXPECT_EQ(reader.Has(c.offset, c.width), c.inside);
    if (c.width == 2) {
      uint16_t value = 0xBEEF;
      EXPECT_EQ(reader.U16(c.offset, &value), c.inside);
      EXPECT_EQ(value, c.inside ? c.value : 0xBEEF);  // untouched when outside
      EXPECT_EQ(reader.U16At(c.offset), c.value);
    } else {
      uint32_t value = 0xDEADBEEF;
      EXPECT_EQ(reader.U32(c.offset, &value), c.inside);
      EXPECT_EQ(value, c.inside ? c.value : 0xDEADBEEF);
      EXPECT_EQ(reader.U32At(c.offset), c.value);
      value = 0xDEADBEEF;
      EXPECT_EQ(reader.U32Be(c.offset, &value), c.inside);
      EXPECT_EQ(value, c.inside ? c.bigEndian : 0xDEADBEEF);
      EXPECT_EQ(reader.U32BeAt(c.offset), c.bigEndian);
    }
  }
  EXPECT_FALSE(ByteReader(nullptr, 0).Has(0, 1));
  EXPECT_TRUE(ByteReader(nullptr, 0).Has(0, 0));
}

TEST(ByteReader, FourCCIsTheTagAsStored) {
  const uint8_t riff[4] = {'R', 'I', 'F', 'F'};
  EXPECT_EQ(FourCC("RIFF"), ByteReader(riff, 4).U32At(0));
  static_assert(FourCC("cvid") == 0x64697663, "first character in the lowest byte");
  EXPECT_EQ(FourCC("\xE9\xFF\x01 "), 0x2001FFE9u);  // bytes above 0x7F are not sign-extended
  EXPECT_EQ(FourCC("ab"), 0x6261u);                 // missing characters are zero bytes
}

TEST(Wildcard, WindowsRules) {
  EXPECT_TRUE(MatchesWildcard("msvc*.*", "MSVCRT.DLL"));
  EXPECT_TRUE(MatchesWildcard("msvc*.*", "msvcrt"));  // ".*" also matches no extension
  EXPECT_TRUE(MatchesWildcard("msvc*.*", "msvc"));
  EXPECT_FALSE(MatchesWildcard("msvc*.*", "xmsvcrt.dll"));
  EXPECT_TRUE(MatchesWildcard("*.*", "anything"));
  EXPECT_TRUE(MatchesWildcard("a?c.dll", "ABC.dll"));
  EXPECT_FALSE(MatchesWildcard("a?c.dll", "ac.dll"));
  EXPECT_TRUE(MatchesWildcard("advapi32.dll", "ADVAPI32.DLL"));
  EXPECT_FALSE(MatchesWildcard("advapi32.dll", "advapi32.dl"));
  EXPECT_TRUE(MatchesWildcard("*a*b*c*", std::string(5000, 'a') + "bc"));
  EXPECT_FALSE(MatchesWildcard("*a*b*c*d", std::string(5000, 'a') + "bc"));
}

class MemoryRegistryTest : public ::testing::Test {
 protected:
  MemoryRegistry reg;
};

TEST_F(MemoryRegistryTest, NamesCompareWithoutCaseAndEnumerateInOrder) {
  auto* key = reg.CreateKey(RootKey::kLocalMachine, "SOFTWARE\\Test");
  MemoryRegistry::SetString(key, "b", "2");
  MemoryRegistry::SetString(key, "A", "1");
  MemoryRegistry::SetString(key, "B", "3");  // replaces "b" in place
  RegKey h = 0;
  ASSERT_EQ(reg.RegOpenKeyExA(RootKey::kLocalMachine, "software\\TEST", kKeyRead, &h), 0);
  RegValue v;
  ASSERT_EQ(reg.RegEnumValueA(h, 0, 512, 512, &v), 0);
  EXPECT_EQ(v.name, "b");
  EXPECT_EQ(v.data, (std::vector<uint8_t>{'3', 0}));
  ASSERT_EQ(reg.RegEnumValueA(h, 1, 512, 512, &v), 0);
  EXPECT_EQ(v.name, "A");
  EXPECT_EQ(reg.RegEnumValueA(h, 2, 512, 512, &v), kErrorNoMoreItems);
  EXPECT_EQ(reg.RegCloseKey(h), 0);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  // A closed handle is no longer one: using or closing it again fails, as on Windows.
  EXPECT_NE(reg.RegCloseKey(h), kErrorSuccess);
  EXPECT_NE(reg.RegEnumValueA(h, 0, 512, 512, &v), kErrorSuccess);
}

TEST_F(MemoryRegistryTest, CapacitiesAreEnforced) {
  auto* key = reg.CreateKey(RootKey::kLocalMachine, "K");
  MemoryRegistry::SetValue(key, std::string(511, 'n'), kRegBinary, std::vector<uint8_t>(512));
  MemoryRegistry::SetValue(key, std::string(512, 'n'), kRegBinary, {});
  MemoryRegistry::SetValue(key, "big", kRegBinary, std::vector<uint8_t>(513));
  RegKey h = 0;
  ASSERT_EQ(reg.RegOpenKeyExA(RootKey::kLocalMachine, "K", kKeyRead, &h), 0);
  RegValue v;
  EXPECT_EQ(reg.RegEnumValueA(h, 0, 512, 512, &v), 0);  // 511 + zero fits; 512 bytes fit
  EXPECT_EQ(reg.RegEnumValueA(h, 1, 512, 512, &v), kErrorMoreData);
  EXPECT_EQ(reg.RegEnumValueA(h, 2, 512, 512, &v), kErrorMoreData);
  EXPECT_EQ(reg.RegQueryValueExA(h, "big", 512, &v), kErrorMoreData);
  EXPECT_EQ(reg.RegQueryValueExA(h, "absent", 512, &v), kErrorFileNotFound);
  std::string name;
  EXPECT_EQ(reg.RegEnumKeyExA(h, 0, 512, &name), kErrorNoMoreItems);
  reg.RegCloseKey(h);
}

TEST_F(MemoryRegistryTest, ClassesRootShowsMachineClasses) {
  reg.ShareClassesRoot();
  MemoryRegistry::SetString(reg.CreateKey(RootKey::kLocalMachine, "Software\\Classes\\AVIFile"), "",
                            "AVI handler");
  RegKey h = 0;
  ASSERT_EQ(reg.RegOpenKeyExA(RootKey::kClassesRoot, "avifile", kKeyAllAccess, &h), 0);
  RegValue v;
  ASSERT_EQ(reg.RegQueryValueExA(h, "", 512, &v), 0);
  EXPECT_EQ(v.type, kRegSz);
  reg.RegCloseKey(h);
}

// A key as the registry calls show it: "values: name=text,... | subkeys: A,B" or "absent".
std::string Shown(MemoryRegistry& reg, RootKey root, const std::string& path) {
  RegKey h = 0;
  if (reg.RegOpenKeyExA(root, path, kKeyRead, &h) != 0) return "absent";
  std::string shown = "values:";
  RegValue v;
  for (uint32_t i = 0; reg.RegEnumValueA(h, i, 512, 512, &v) == 0; ++i) {
    shown += (i == 0 ? " " : ",") + v.name + "=" +
             std::string(v.data.begin(), std::find(v.data.begin(), v.data.end(), 0));
  }
  shown += " | subkeys:";
  std::string name;
  for (uint32_t i = 0; reg.RegEnumKeyExA(h, i, 512, &name) == 0; ++i) {
    shown += (i == 0 ? " " : ",") + name;
  }
  reg.RegCloseKey(h);
  return shown;
}

// HKEY_CLASSES_ROOT of Windows 2000 and later: the user's classes over the machine's.
TEST_F(MemoryRegistryTest, ClassesRootMergesTheUsersClassesOverTheMachines) {
  const auto machine = [&](const std::string& path, const std::string& name,
                           const std::string& text) {
    MemoryRegistry::SetString(reg.CreateKey(RootKey::kLocalMachine, "Software\\Classes\\" + path),
                              name, text);
  };
  const auto user = [&](const std::string& path, const std::string& name, const std::string& text) {
    MemoryRegistry::SetString(reg.CreateKey(RootKey::kCurrentUser, "Software\\Classes\\" + path),
                              name, text);
  };
  machine(".avi", "", "avifile");
  machine(".avi", "Content Type", "video/avi");
  machine("AVIFile\\Compressors\\vids", "", "machine codecs");
  machine("CLSID\\{M}", "", "machine only");
  machine("CLSID\\{B}", "", "machine's B");
  machine("CLSID\\{B}\\InprocServer32", "", "m.dll");
  user(".avi", "", "MyPlayer.avi");
  user("CLSID\\{B}", "", "user's B");
  user("CLSID\\{B}\\LocalServer32", "", "u.exe");
  user("CLSID\\{A}", "", "user only");
  user("MyPlayer.avi\\shell\\open", "", "Play");
  reg.MergeClassesRoot();

  const struct {
    const char* what;
    RootKey root;
    const char* path;
    const char* shown;
  } cases[] = {
      {"only the machine's", RootKey::kClassesRoot, "AVIFile\\Compressors\\vids",
       "values: =machine codecs | subkeys:"},
      {"only the user's", RootKey::kClassesRoot, "MyPlayer.avi\\shell\\open",
       "values: =Play | subkeys:"},
      {"only the user's, below a shared key", RootKey::kClassesRoot, "CLSID\\{A}",
       "values: =user only | subkeys:"},
      {"in both: the user's values only", RootKey::kClassesRoot, ".avi",
       "values: =MyPlayer.avi | subkeys:"},
      {"in both: values the user's, subkeys the union", RootKey::kClassesRoot, "CLSID\\{B}",
       "values: =user's B | subkeys: InprocServer32,LocalServer32"},
      {"subkey union in upper-case order", RootKey::kClassesRoot, "CLSID",
       "values: | subkeys: {A},{B},{M}"},
      {"top level union", RootKey::kClassesRoot, "",
       "values: | subkeys: .avi,AVIFile,CLSID,MyPlayer.avi"},
      {"in neither", RootKey::kClassesRoot, "CLSID\\{Z}", "absent"},
      {"the machine's classes unchanged", RootKey::kLocalMachine, "Software\\Classes\\.avi",
       "values: =avifile,Content Type=video/avi | subkeys:"},
      {"the machine's classes get nothing of the user's", RootKey::kLocalMachine,
       "Software\\Classes\\CLSID", "values: | subkeys: {M},{B}"},
      {"the user's classes unchanged", RootKey::kCurrentUser, "Software\\Classes\\CLSID\\{B}",
       "values: =user's B | subkeys: LocalServer32"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Shown(reg, c.root, c.path), c.shown) << c.what;
  }
}

TEST_F(MemoryRegistryTest, ClassesRootWithoutUserClassesIsTheMachines) {
  MemoryRegistry::SetString(reg.CreateKey(RootKey::kLocalMachine, "Software\\Classes\\.avi"), "",
                            "avifile");
  reg.MergeClassesRoot();
  EXPECT_EQ(Shown(reg, RootKey::kClassesRoot, ".avi"), "values: =avifile | subkeys:");
  EXPECT_EQ(Shown(reg, RootKey::kClassesRoot, ""), "values: | subkeys: .avi");
}

}  // namespace
}  // namespace korvane
