// The portable platform pieces: dates, wildcards and the in-memory registry.
#include <gtest/gtest.h>

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
  MemoryRegistry::SetString(reg.CreateKey(RootKey::kLocalMachine, "Software\\Classes\\AVIFile"),
                            "", "AVI handler");
  RegKey h = 0;
  ASSERT_EQ(reg.RegOpenKeyExA(RootKey::kClassesRoot, "avifile", kKeyAllAccess, &h), 0);
  RegValue v;
  ASSERT_EQ(reg.RegQueryValueExA(h, "", 512, &v), 0);
  EXPECT_EQ(v.type, kRegSz);
  reg.RegCloseKey(h);
}

}  // namespace
}  // namespace korvane
