// The portable platform pieces: dates, wildcards, byte fields and the in-memory registry.
#include <gtest/gtest.h>

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
TEST(ByteReader, FieldsAreReadLittleEndianAndOnlyInside) {
  const uint8_t bytes[6] = {0x52, 0x49, 0x46, 0x46, 0xB8, 0x26};
  const ByteReader reader(bytes, sizeof bytes);
  constexpr uint64_t kHuge = std::numeric_limits<uint64_t>::max();
  struct Case {
    uint64_t offset;
    int width;  // 2 or 4
    bool inside;
    uint32_t value;
  };
  const Case cases[] = {
      {0, 2, true, 0x4952},     {4, 2, true, 0x26B8},     {5, 2, false, 0},
      {6, 2, false, 0},         {0, 4, true, 0x46464952}, {2, 4, true, 0x26B84646},
      {3, 4, false, 0},         {7, 4, false, 0},         {kHuge, 2, false, 0},
      {kHuge - 1, 4, false, 0}, {kHuge - 3, 4, false, 0},
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

TEST_F(MemoryRegistryTest, FaultsForTests) {
  reg.CreateKey(RootKey::kLocalMachine, "Software\\Uninstall");
  reg.DenyAccess(RootKey::kLocalMachine, "software\\uninstall", kKeyAllAccess);
  RegKey h = 0;
  EXPECT_EQ(reg.RegOpenKeyExA(RootKey::kLocalMachine, "Software\\Uninstall", kKeyAllAccess, &h),
            kErrorAccessDenied);
  EXPECT_EQ(h, 0u);
  EXPECT_EQ(reg.RegOpenKeyExA(RootKey::kLocalMachine, "Software\\Uninstall", kKeyRead, &h), 0);
  reg.RegCloseKey(h);
  reg.RefuseCreate(RootKey::kCurrentUser);
  EXPECT_EQ(reg.RegCreateKeyExA(RootKey::kCurrentUser, "Software\\X", kKeyAllAccess, &h),
            kErrorAccessDenied);
  EXPECT_EQ(reg.FindKey(RootKey::kCurrentUser, "Software\\X"), nullptr);
  EXPECT_EQ(reg.RegCloseKey(0x12345), 6);
}

}  // namespace
}  // namespace korvane
