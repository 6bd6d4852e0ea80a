// A Wine prefix as the diagnostics see it: the two views of its registry and system
// directory, its drive letters, Wine's own libraries and the machine type of each view.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/offline/formats/pe_image.h"
#include "platform/offline/open_machine.h"
#include "tests/pe_builder.h"
#include "tests/wine_prefix_builder.h"

namespace korvane {
namespace {

using test::WinePlaceholderDll;
using test::WinePrefixFolder;

// The two-sided prefix of the builder, opened through one view.
struct Prefix {
  Prefix() { test::FillTwoSidedPrefix(&folder); }
  std::unique_ptr<OfflineSystem> Open(WineView view) {
    std::string error;
    auto system = OpenMachine(folder.path(), &error, MachineOptions{view});
    EXPECT_TRUE(system) << error;
    return system;
  }
  WinePrefixFolder folder;
};

std::vector<std::string> ValueLines(System& system, RootKey root, const std::string& path) {
  std::vector<std::string> lines;
  RegKey key = 0;
  if (system.RegOpenKeyExA(root, path, kKeyRead, &key) != kErrorSuccess) return {"(no key)"};
  RegValue value;
  for (uint32_t i = 0; system.RegEnumValueA(key, i, 512, 512, &value) == kErrorSuccess; ++i) {
    lines.push_back(value.name + "=" + std::string(value.data.begin(), value.data.end()).c_str());
  }
  system.RegCloseKey(key);
  return lines;
}

std::vector<std::string> Subkeys(System& system, RootKey root, const std::string& path) {
  std::vector<std::string> names;
  RegKey key = 0;
  if (system.RegOpenKeyExA(root, path, kKeyAllAccess, &key) != kErrorSuccess) return {"(no key)"};
  std::string name;
  for (uint32_t i = 0; system.RegEnumKeyExA(key, i, 512, &name) == kErrorSuccess; ++i) {
    names.push_back(name);
  }
  system.RegCloseKey(key);
  return names;
}

bool Loads(OfflineSystem& system, const std::string& path, std::string* why = nullptr) {
  std::string reason;
  const LibraryHandle handle = system.LoadLibraryA(path, &reason);
  if (handle != 0) system.FreeLibrary(handle);
  if (why != nullptr) *why = reason;
  return handle != 0;
}

const char kDrivers32[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32";
const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

TEST(WineMachine, ThirtyTwoBitViewByDefault) {
  Prefix prefix;
  std::string error;
  auto system = OpenMachine(prefix.folder.path(), &error);
  ASSERT_TRUE(system) << error;
  EXPECT_TRUE(system->ReadFromWinePrefix());
  EXPECT_EQ(system->GetWindowsDirectoryA(), "C:\\windows");
  EXPECT_EQ(system->GetSystemDirectoryA(), "C:\\windows\\syswow64");
  OsVersion version;
  ASSERT_TRUE(system->GetVersionExA(&version));
  EXPECT_EQ(version.major, 6u);
  EXPECT_EQ(version.minor, 1u);
  EXPECT_EQ(version.build, 7601u);
  EXPECT_EQ(version.platformId, kPlatformWinNt);
  EXPECT_EQ(version.servicePack, "Service Pack 1");
  EXPECT_EQ(system->VideoForWindowsVersion(), 0x040003B6u);
  EXPECT_EQ(ValueLines(*system, RootKey::kLocalMachine, kDrivers32),
            std::vector<std::string>{"vidc.cvid=codec32.dll"});
  EXPECT_EQ(Subkeys(*system, RootKey::kLocalMachine, kUninstall),
            std::vector<std::string>{"App32"});
  EXPECT_EQ(ValueLines(*system, RootKey::kClassesRoot, "AVIFile"),
            std::vector<std::string>{"=AVI File"});
  EXPECT_EQ(system->registry().OpenHandleCount(), 0u);
}

TEST(WineMachine, SixtyFourBitViewSeesTheNativeSide) {
  Prefix prefix;
  auto system = prefix.Open(WineView::k64);
  ASSERT_TRUE(system);
  EXPECT_EQ(system->GetSystemDirectoryA(), "C:\\windows\\system32");
  EXPECT_EQ(ValueLines(*system, RootKey::kLocalMachine, kDrivers32),
            (std::vector<std::string>{"msvideo=cap64.dll", "vidc.cvid=codec64.dll"}));
  EXPECT_EQ(Subkeys(*system, RootKey::kLocalMachine, kUninstall),
            std::vector<std::string>{"App64"});
  EXPECT_EQ(ValueLines(*system, RootKey::kClassesRoot, "AVIFile"),
            std::vector<std::string>{"=AVI File"});
}

// Wine's capture library asks the host's video devices, never drivers32.
TEST(WineMachine, NoCaptureDriversFromTheRegistry) {
  Prefix prefix;
  auto system = prefix.Open(WineView::k64);
  ASSERT_TRUE(system);
  std::string name, version;
  for (unsigned i = 0; i < 10; ++i)
    EXPECT_FALSE(system->capGetDriverDescriptionA(i, &name, &version));
}

TEST(WineMachine, LibrariesLoadByTheMachineTypeOfTheView) {
  Prefix prefix;
  auto as32 = prefix.Open(WineView::k32);
  auto as64 = prefix.Open(WineView::k64);
  ASSERT_TRUE(as32 && as64);
  std::string why;
  // Wine's placeholders load in both views, whatever they hold.
  EXPECT_TRUE(Loads(*as32, "C:\\windows\\syswow64\\msvfw32.dll"));
  EXPECT_TRUE(Loads(*as64, "C:\\windows\\system32\\MSVFW32.DLL"));
  EXPECT_TRUE(Loads(*as32, "C:\\windows\\syswow64\\codec32.dll", &why)) << why;
  EXPECT_TRUE(Loads(*as64, "C:\\windows\\system32\\codec64.dll", &why)) << why;
  EXPECT_FALSE(Loads(*as32, "C:\\windows\\syswow64\\wide.dll", &why));
  EXPECT_EQ(why, "built for x86-64, this machine runs i386 code");
  EXPECT_FALSE(Loads(*as64, "C:\\windows\\syswow64\\codec32.dll", &why));
  EXPECT_EQ(why, "built for i386, this machine runs x86-64 code");
  EXPECT_FALSE(Loads(*as64, "C:\\windows\\system32\\lost64.dll", &why));
  EXPECT_EQ(why, "imports NOSUCH.DLL, which is not on this machine");
  EXPECT_EQ(as64->LoadedLibraryCount(), 0u);

  // Only Wine's own stub counts: "Wine" elsewhere in a file that is no image does not.
  prefix.folder.File("windows/system32/fake.dll", "MZ Wine placeholder DLL");
  auto again = prefix.Open(WineView::k64);
  EXPECT_FALSE(Loads(*again, "C:\\windows\\system32\\fake.dll"));
}

TEST(WineMachine, DrivesComeFromDosdevices) {
  Prefix prefix;
  const std::string onD = prefix.folder.scratch() + "/media/Codecs/Probe.dll";
  std::filesystem::copy_file(prefix.folder.path() + "/drive_c/windows/syswow64/codec32.dll", onD);
  auto system = prefix.Open(WineView::k32);
  ASSERT_TRUE(system);
  auto search = system->FindFirstFileA("d:\\codecs\\*.DLL");
  ASSERT_TRUE(search);
  EXPECT_EQ(search->Current().name, "Probe.dll");
  EXPECT_FALSE(search->FindNextFileA());
  std::string why;
  EXPECT_TRUE(Loads(*system, "D:\\CODECS\\probe.dll", &why)) << why;

  // Z: is the host's root: the same file by its host path.
  std::string zPath = "Z:" + onD;
  std::replace(zPath.begin(), zPath.end(), '/', '\\');
  std::FILE* file = system->OpenFileForReading(zPath);
  ASSERT_NE(file, nullptr) << zPath;
  std::fclose(file);

  EXPECT_EQ(system->FindFirstFileA("E:\\codecs\\probe.dll"), nullptr);
  EXPECT_EQ(system->WhyNotFound("E:\\codecs\\probe.dll"), "this machine has no drive E:");
  EXPECT_EQ(system->WhyNotFound("D:\\Codecs\\none.dll"), "D:\\Codecs has no none.dll");
}

uint32_t AttributesOf(System& system, const std::string& path) {
  auto search = system.FindFirstFileA(path);
  return search ? search->Current().attributes : 0xFFFFFFFFu;
}

// Wine: read-only only when nobody may write, folders included; names starting with "."
// hidden unless HKCU\Software\Wine says ShowDotFiles.
TEST(WineMachine, AttributesAsWineGivesThem) {
  Prefix prefix;
  const std::string dir = prefix.folder.path() + "/drive_c/windows/syswow64/";
  namespace fs = std::filesystem;
  for (const char* name : {"nobody.dll", "group.dll", ".dot.dll"})
    prefix.folder.File(std::string("windows/syswow64/") + name, "x");
  fs::permissions(dir + "nobody.dll", fs::perms::owner_read | fs::perms::group_read);
  fs::permissions(dir + "group.dll",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::group_write);
  fs::create_directory(dir + "locked");
  fs::permissions(dir + "locked", fs::perms::owner_read | fs::perms::owner_exec);
  {
    auto system = prefix.Open(WineView::k32);
    ASSERT_TRUE(system);
    EXPECT_EQ(AttributesOf(*system, "C:\\windows\\syswow64\\nobody.dll"), 0x21u);
    EXPECT_EQ(AttributesOf(*system, "C:\\windows\\syswow64\\group.dll"), 0x20u);
    EXPECT_EQ(AttributesOf(*system, "C:\\windows\\syswow64\\locked"), 0x11u);
    EXPECT_EQ(AttributesOf(*system, "C:\\windows\\syswow64\\.dot.dll"), 0x22u);
    EXPECT_EQ(AttributesOf(*system, "C:\\windows\\syswow64\\msvfw32.dll"), 0x20u);
  }
  prefix.folder.UserReg("[Software\\\\Wine] 1\n\"ShowDotFiles\"=\"Y\"\n");
  auto shown = prefix.Open(WineView::k32);
  ASSERT_TRUE(shown);
  EXPECT_EQ(AttributesOf(*shown, "C:\\windows\\syswow64\\.dot.dll"), 0x20u);
  fs::permissions(dir + "locked", fs::perms::owner_all);
}

TEST(WineMachine, NewKeysGoWhereTheViewPutsThem) {
  Prefix prefix;
  auto system = prefix.Open(WineView::k32);
  ASSERT_TRUE(system);
  RegKey key = 0;
  ASSERT_EQ(system->RegCreateKeyExA(RootKey::kLocalMachine, "Software\\Korvane\\Settings",
                                    kKeyAllAccess, &key),
            kErrorSuccess);
  system->RegCloseKey(key);
  EXPECT_NE(system->registry().FindKey(RootKey::kLocalMachine,
                                       "Software\\Wow6432Node\\Korvane\\Settings"),
            nullptr);
  ASSERT_EQ(
      system->RegCreateKeyExA(RootKey::kCurrentUser, "Software\\Korvane", kKeyAllAccess, &key),
      kErrorSuccess);
  system->RegCloseKey(key);
  EXPECT_NE(system->registry().FindKey(RootKey::kCurrentUser, "Software\\Korvane"), nullptr);
}

TEST(WineMachine, RefusedWholeWithTheReason) {
  {
    WinePrefixFolder folder("win32");
    std::string error;
    EXPECT_TRUE(OpenMachine(folder.path(), &error, MachineOptions{WineView::k32})) << error;
    EXPECT_FALSE(OpenMachine(folder.path(), &error, MachineOptions{WineView::k64}));
    EXPECT_EQ(error, folder.path() +
                         ": a 32-bit Wine prefix (its system.reg does not say #arch=win64) has no "
                         "64-bit view");
  }
  {
    WinePrefixFolder folder;
    folder.SystemReg("[Software\\\\Broken] 1\n\"name\"=dword:xyz\n");
    std::string error;
    EXPECT_FALSE(OpenMachine(folder.path(), &error));
    EXPECT_EQ(error.rfind(folder.path() + "/system.reg:7: ", 0), 0u) << error;
  }
  {
    // Without dosdevices/c: Wine makes the link again; drive C: is still drive_c.
    WinePrefixFolder folder;
    std::filesystem::remove(folder.path() + "/dosdevices/c:");
    folder.File("windows/system.ini", "");
    std::string error;
    auto system = OpenMachine(folder.path(), &error);
    ASSERT_TRUE(system) << error;
    std::FILE* file = system->OpenFileForReading("C:\\windows\\system.ini");
    EXPECT_NE(file, nullptr);
    if (file != nullptr) std::fclose(file);
  }
}

}  // namespace
}  // namespace korvane
