// Wine prefixes built as small folders: detection, drive letters, the registry files, the
// 32-bit and 64-bit registry views, the facts and Wine's own DLLs.
#include "platform/offline/machines/wine_prefix.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/offline/formats/pe_image.h"
#include "tests/test_support.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

std::string Utf16Hex(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (char c : text) {
    if (!out.empty()) out += ",";
    out += {kHex[(c >> 4) & 15], kHex[c & 15], ',', '0', '0'};
  }
  return out;
}

// A 64-bit prefix whose 32-bit and 64-bit sides differ where the programs would see it.
const std::string kSystemReg64 =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n\n"
    "[Software\\\\Classes\\\\AVIFile] 1700000000\n@=\"AVI File\"\n"
    "[Software\\\\Classes\\\\CLSID\\\\{x}] 1\n@=\"64-bit class\"\n"
    "[Software\\\\Classes\\\\Wow6432Node\\\\CLSID\\\\{x}] 1\n@=\"32-bit class\"\n"
    "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1\n"
    "\"CSDVersion\"=\"Service Pack 1\"\n\"CurrentBuildNumber\"=\"7601\"\n"
    "\"CurrentVersion\"=\"6.1\"\n"
    "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Drivers32] 1\n"
    "\"msacm.imaadpcm\"=\"imaadp32.acm\"\n"
    "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Drivers32] 1\n"
    "\"vidc.cvid\"=\"iccvid.dll\"\n"
    "[Software\\\\Alias] 1\n#link\n\"SymbolicLinkValue\"=hex(6):" +
    Utf16Hex("\\Registry\\Machine\\Software\\Target") +
    "\n"
    "[Software\\\\Target\\\\Inside] 1\n"
    "[Software\\\\Loop] 1\n#link\n\"SymbolicLinkValue\"=hex(6):" +
    Utf16Hex("\\REGISTRY\\Machine\\Software\\Loop") + "\n";

const std::string kUserReg =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n\n"
    "[Software\\\\Wine] 1\n\"Version\"=\"user\"\n";

std::string MakePrefix(const test::ScratchDir& dir, const std::string& systemReg,
                       const std::string& userReg = kUserReg) {
  dir.Write("prefix/system.reg", systemReg);
  if (!userReg.empty()) dir.Write("prefix/user.reg", userReg);
  fs::create_directories(dir.path() + "/prefix/drive_c/windows/system32");
  return dir.path() + "/prefix";
}

struct LoadedPrefix {
  MemoryRegistry registry;
  bool is64 = false;
};

std::unique_ptr<LoadedPrefix> LoadOrFail(const std::string& prefix) {
  auto loaded = std::make_unique<LoadedPrefix>();
  std::string error;
  EXPECT_TRUE(LoadWineRegistry(prefix, &loaded->registry, &loaded->is64, &error)) << error;
  return loaded;
}

// The real place of a key, spelt as the caller spelt the names it gave.
std::string Resolved(const LoadedPrefix& loaded, WineView view, RootKey root,
                     const std::string& path) {
  const auto where = WineRegistryView(loaded.registry, view).Resolve(root, path);
  if (!where) return "(none)";
  return (where->first == RootKey::kLocalMachine ? "HKLM\\" : "HKCU\\") + where->second;
}

TEST(WinePrefix, DetectsAPrefixBySystemRegAndDriveC) {
  test::ScratchDir dir;
  EXPECT_FALSE(IsWinePrefix(dir.path()));
  dir.Write("system.reg", "WINE REGISTRY Version 2\n");
  EXPECT_FALSE(IsWinePrefix(dir.path()));  // no drive_c
  fs::create_directories(dir.path() + "/drive_c");
  EXPECT_TRUE(IsWinePrefix(dir.path()));

  test::ScratchDir described;  // a described machine is not a prefix
  described.Write("registry.reg", "REGEDIT4\n");
  described.Write("c/WINDOWS/system.ini", "");
  EXPECT_FALSE(IsWinePrefix(described.path()));
}

TEST(WinePrefix, DriveLettersComeFromDosdevicesLinks) {
  test::ScratchDir dir;
  const std::string prefix = MakePrefix(dir, kSystemReg64);
  fs::create_directories(prefix + "/dosdevices");
  fs::create_directories(dir.path() + "/media/cdrom");
  fs::create_symlink("../drive_c", prefix + "/dosdevices/c:");
  fs::create_symlink(dir.path() + "/media/cdrom", prefix + "/dosdevices/D:");
  fs::create_symlink("/dev/null", prefix + "/dosdevices/com1");
  fs::create_symlink(dir.path() + "/gone", prefix + "/dosdevices/e:");
  dir.Write("prefix/dosdevices/f:", "a file, not a folder");

  const auto drives = ReadDosDevices(prefix);
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(fs::canonical(drives.at('C')), fs::canonical(prefix + "/drive_c"));
  EXPECT_EQ(fs::canonical(drives.at('D')), fs::canonical(dir.path() + "/media/cdrom"));

  test::ScratchDir bare;
  const std::string barePrefix = MakePrefix(bare, kSystemReg64);
  const auto defaults = ReadDosDevices(barePrefix);
  ASSERT_EQ(defaults.size(), 1u);
  EXPECT_EQ(defaults.at('C'), barePrefix + "/drive_c");
}

TEST(WinePrefix, LoadsMachineAndUserFiles) {
  test::ScratchDir dir;
  auto loaded = LoadOrFail(MakePrefix(dir, kSystemReg64));
  EXPECT_TRUE(loaded->is64);
  EXPECT_NE(loaded->registry.FindKey(RootKey::kCurrentUser, "Software\\Wine"), nullptr);
  EXPECT_NE(loaded->registry.FindKey(RootKey::kClassesRoot, "AVIFile"), nullptr);
}

TEST(WinePrefix, UserdefRegStandsInForAMissingUserReg) {
  test::ScratchDir dir;
  const std::string prefix = MakePrefix(dir, kSystemReg64, "");
  dir.Write("prefix/userdef.reg",
            "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\.Default\n"
            "[Control Panel] 1\n");
  auto loaded = LoadOrFail(prefix);
  EXPECT_NE(loaded->registry.FindKey(RootKey::kCurrentUser, "Control Panel"), nullptr);
}

TEST(WinePrefix, RefusesFilesItCannotRead) {
  {
    test::ScratchDir dir;
    const std::string prefix =
        MakePrefix(dir, "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n[K]\nbad\n");
    MemoryRegistry registry;
    bool is64 = false;
    std::string error;
    EXPECT_FALSE(LoadWineRegistry(prefix, &registry, &is64, &error));
    EXPECT_EQ(error, prefix +
                         "/system.reg:4: neither a [key], a value, a #metadata line nor a "
                         ";comment");
  }
  {
    test::ScratchDir dir;  // the user's file where the machine's belongs
    const std::string prefix = MakePrefix(dir, kUserReg);
    MemoryRegistry registry;
    bool is64 = false;
    std::string error;
    EXPECT_FALSE(LoadWineRegistry(prefix, &registry, &is64, &error));
    EXPECT_NE(error.find("system.reg: holds the keys of"), std::string::npos) << error;
  }
  {
    test::ScratchDir dir;
    const std::string prefix = MakePrefix(dir, kSystemReg64, kSystemReg64);
    MemoryRegistry registry;
    bool is64 = false;
    std::string error;
    EXPECT_FALSE(LoadWineRegistry(prefix, &registry, &is64, &error));
    EXPECT_NE(error.find("user.reg: holds the keys of"), std::string::npos) << error;
  }
  {
    test::ScratchDir dir;  // larger than any registry file a machine description may hold
    const std::string prefix = MakePrefix(dir, kSystemReg64);
    std::filesystem::resize_file(prefix + "/system.reg", (size_t{64} << 20) + 1);
    MemoryRegistry registry;
    bool is64 = false;
    std::string error;
    EXPECT_FALSE(LoadWineRegistry(prefix, &registry, &is64, &error));
    EXPECT_EQ(error, prefix + "/system.reg: cannot be read");
  }
}

TEST(WinePrefix, The32BitViewGoesThroughWow6432Node) {
  test::ScratchDir dir;
  auto loaded = LoadOrFail(MakePrefix(dir, kSystemReg64));
  const std::string drivers32 = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32";
  EXPECT_EQ(Resolved(*loaded, WineView::k32, RootKey::kLocalMachine, drivers32),
            "HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\drivers32");
  EXPECT_EQ(Resolved(*loaded, WineView::k64, RootKey::kLocalMachine, drivers32),
            "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32");
  // The 32-bit side has no CurrentVersion values of its own, but the key is there.
  EXPECT_EQ(Resolved(*loaded, WineView::k32, RootKey::kLocalMachine, "Software"),
            "HKLM\\Software\\Wow6432Node");
  // Asking for Wow6432Node by name is not redirected again.
  EXPECT_EQ(Resolved(*loaded, WineView::k32, RootKey::kLocalMachine, "Software\\Wow6432Node"),
            "HKLM\\Software\\Wow6432Node");
  EXPECT_EQ(Resolved(*loaded, WineView::k32, RootKey::kLocalMachine, "Software\\Nothing"),
            "(none)");
}

TEST(WinePrefix, ClassesAreSharedWhereThe32BitSideHasNoKey) {
  test::ScratchDir dir;
  auto loaded = LoadOrFail(MakePrefix(dir, kSystemReg64));
  EXPECT_EQ(Resolved(*loaded, WineView::k32, RootKey::kClassesRoot, "AVIFile"),
            "HKLM\\Software\\Classes\\AVIFile");
  EXPECT_EQ(Resolved(*loaded, WineView::k32, RootKey::kClassesRoot, "CLSID\\{x}"),
            "HKLM\\Software\\Classes\\Wow6432Node\\CLSID\\{x}");
  EXPECT_EQ(Resolved(*loaded, WineView::k64, RootKey::kClassesRoot, "CLSID\\{x}"),
            "HKLM\\Software\\Classes\\CLSID\\{x}");
  EXPECT_EQ(Resolved(*loaded, WineView::k32, RootKey::kClassesRoot, "avifile\\CLSID"), "(none)");
}

TEST(WinePrefix, LinksAreFollowedAndLoopsEndInNothing) {
  test::ScratchDir dir;
  auto loaded = LoadOrFail(MakePrefix(dir, kSystemReg64));
  for (WineView view : {WineView::k32, WineView::k64}) {
    EXPECT_EQ(Resolved(*loaded, view, RootKey::kLocalMachine, "Software\\Alias\\Inside"),
              view == WineView::k64 ? "HKLM\\Software\\Target\\Inside" : "(none)");
    EXPECT_EQ(Resolved(*loaded, view, RootKey::kLocalMachine, "Software\\Loop"), "(none)");
  }
  EXPECT_EQ(Resolved(*loaded, WineView::k64, RootKey::kLocalMachine, "Software\\Alias"),
            "HKLM\\Software\\Target");
}

TEST(WinePrefix, FactsFollowTheViewAndTheVersionKey) {
  test::ScratchDir dir;
  auto loaded = LoadOrFail(MakePrefix(dir, kSystemReg64));
  const WinePrefixFacts as32 = DeriveWinePrefixFacts(loaded->registry, true, WineView::k32);
  const WinePrefixFacts as64 = DeriveWinePrefixFacts(loaded->registry, true, WineView::k64);
  EXPECT_EQ(as32.windowsDirectory, "C:\\windows");
  EXPECT_EQ(as32.systemDirectory, "C:\\windows\\syswow64");
  EXPECT_EQ(as64.systemDirectory, "C:\\windows\\system32");
  // A 32-bit prefix has only system32.
  EXPECT_EQ(DeriveWinePrefixFacts(loaded->registry, false, WineView::k32).systemDirectory,
            "C:\\windows\\system32");
  for (const WinePrefixFacts& facts : {as32, as64}) {
    EXPECT_EQ(facts.version.major, 6u);
    EXPECT_EQ(facts.version.minor, 1u);
    EXPECT_EQ(facts.version.build, 7601u);
    EXPECT_EQ(facts.version.platformId, kPlatformWinNt);
    EXPECT_EQ(facts.version.servicePack, "Service Pack 1");
    EXPECT_EQ(facts.vfwVersion, 0x040003B6u);
  }
}

TEST(WinePrefix, WinesOwnDllsAreRecognisedByTheirDosStub) {
  std::string head(0x40, '\0');
  head[0] = 'M', head[1] = 'Z';
  EXPECT_TRUE(IsWineBuiltinDll(head + "Wine builtin DLL"));
  EXPECT_TRUE(IsWineBuiltinDll(head + std::string("Wine placeholder DLL\0", 21)));
  EXPECT_FALSE(IsWineBuiltinDll(head + "This program cannot be run in DOS mode."));
  EXPECT_FALSE(IsWineBuiltinDll("ZM" + head.substr(2) + "Wine builtin DLL"));
  EXPECT_FALSE(IsWineBuiltinDll("MZ"));
  EXPECT_FALSE(IsWineBuiltinDll(head + "Wine built"));
}

}  // namespace
}  // namespace korvane
