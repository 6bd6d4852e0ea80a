// The described machine as the diagnostics see it: refusals, derived facts, drive C:
// lookups and searches, library loading, capture drivers and the registry views, and
// the machine kinds and drives behind OpenMachine.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>

#include "platform/ascii.h"
#include "platform/offline/drives/drive.h"
#include "platform/offline/formats/pe_image.h"
#include "platform/offline/open_machine.h"
#include "platform/wildcard.h"
#include "tests/machine_builder.h"
#include "tests/pe_builder.h"

namespace korvane {
namespace {

using test::BuildPe;
using test::MachineFolder;
using test::PeSpec;

std::unique_ptr<OfflineSystem> OpenOk(const MachineFolder& machine) {
  std::string error;
  auto system = OpenMachine(machine.path(), &error);
  EXPECT_TRUE(system) << error;
  return system;
}

std::string Dll(std::vector<std::string> imports = {}, uint16_t machine = kMachineI386) {
  PeSpec spec;
  spec.machine = machine;
  spec.imports = std::move(imports);
  return BuildPe(spec);
}

std::vector<std::string> Names(System& system, const std::string& pattern) {
  std::vector<std::string> names;
  auto search = system.FindFirstFileA(pattern);
  if (!search) return names;
  do {
    names.push_back(search->Current().name);
  } while (search->FindNextFileA());
  return names;
}

std::string DateOf(const FindData& data) {
  const SystemDate d = FileTimeToSystemDate(data.lastWriteTime);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
  return text;
}

TEST(OfflineMachine, RefusedWholeWithFileAndLine) {
  std::string error;
  EXPECT_FALSE(OpenMachine("/nonexistent/korvane-machine", &error));
  EXPECT_NE(error.find("no such folder"), std::string::npos) << error;

  test::ScratchDir noDrive;
  noDrive.Write("registry.reg", "REGEDIT4\n");
  EXPECT_FALSE(OpenMachine(noDrive.path(), &error));
  EXPECT_NE(error.find("no folder c/"), std::string::npos) << error;

  MachineFolder badReg;
  badReg.Registry("[HKEY_LOCAL_MACHINE\\A]\n\"V\"=dword:zz\n");
  EXPECT_FALSE(OpenMachine(badReg.path(), &error));
  EXPECT_EQ(error.rfind(badReg.path() + "/registry.reg:4: ", 0), 0u) << error;

  MachineFolder badIni;
  badIni.MachineIni("[machine]\nPlatform=1\nPlatform=2\n");
  EXPECT_FALSE(OpenMachine(badIni.path(), &error));
  EXPECT_EQ(error.rfind(badIni.path() + "/machine.ini:3: ", 0), 0u) << error;

  MachineFolder noReg;
  std::filesystem::remove(noReg.path() + "/registry.reg");
  EXPECT_FALSE(OpenMachine(noReg.path(), &error));
  EXPECT_NE(error.find("registry.reg: cannot be read"), std::string::npos) << error;

  test::ScratchDir neither;  // a folder of no known kind: each kind says what it lacks
  EXPECT_FALSE(OpenMachine(neither.path(), &error));
  EXPECT_EQ(error, neither.path() +
                       ": not a disk image (it is a folder), a Windows installation (no folder "
                       "with SYSTEM.DAT and WIN.COM, nor "
                       "one with System32\\config\\SOFTWARE), a described machine (it has no "
                       "folder c/ for drive C:) nor a Wine prefix (it has no system.reg with a "
                       "drive_c/ folder)");
  const std::string file = neither.Write("machine.img", "not a folder");
  EXPECT_FALSE(OpenMachine(file, &error));
#ifdef KORVANE_INSTALLATIONS
  // A file is taken for a disk image, and this one is too small to be one.
  EXPECT_EQ(error, file + ": not a disk image (12 bytes, less than one sector)");
#else
  EXPECT_EQ(error, file + ": no such folder");
#endif
}

TEST(OfflineMachine, VersionDerivedAsWindowsDerivesIt) {
  MachineFolder win98;
  win98.Registry(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\n"
      "\"VersionNumber\"=\"4.10.2222\"\n\"SubVersionNumber\"=\" A \"\n");
  auto system = OpenOk(win98);
  OsVersion v;
  ASSERT_TRUE(system->GetVersionExA(&v));
  EXPECT_EQ(v.platformId, kPlatformWin9x);
  EXPECT_EQ(v.major, 4u);
  EXPECT_EQ(v.minor, 10u);
  EXPECT_EQ(v.build, 0x040A08AEu);  // the 9x family keeps the version in the high word
  EXPECT_EQ(v.servicePack, " A ");
  EXPECT_EQ(system->GetWindowsDirectoryA(), "C:\\WINDOWS");
  EXPECT_EQ(system->GetSystemDirectoryA(), "C:\\WINDOWS\\SYSTEM");
  EXPECT_EQ(system->VideoForWindowsVersion(), 0x040003B6u);

  MachineFolder nt;
  nt.Registry(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
      "\"CurrentVersion\"=\"5.0\"\n\"CurrentBuildNumber\"=\"2195\"\n\"CSDVersion\"=\"Service Pack "
      "4\"\n");
  nt.MachineIni("[machine]\nWindowsDirectory=C:\\WINNT\n");
  system = OpenOk(nt);
  ASSERT_TRUE(system->GetVersionExA(&v));
  EXPECT_EQ(v.platformId, kPlatformWinNt);
  EXPECT_EQ(v.major, 5u);
  EXPECT_EQ(v.minor, 0u);
  EXPECT_EQ(v.build, 2195u);
  EXPECT_EQ(v.servicePack, "Service Pack 4");
  EXPECT_EQ(system->GetSystemDirectoryA(), "C:\\WINNT\\SYSTEM32");

  nt.MachineIni(
      "[machine]\nPlatform=1\nMajor=4\nMinor=0\nBuild=0x1F00ABCD\nServicePack=\nSystemDirectory=C:"
      "\\\n"
      "VfwVersion=266\nVersionQuery=fail\n");
  system = OpenOk(nt);
  EXPECT_FALSE(system->GetVersionExA(&v));
  EXPECT_EQ(system->GetSystemDirectoryA(), "C:\\");
  EXPECT_EQ(system->VideoForWindowsVersion(), 266u);
  nt.MachineIni("[machine]\nPlatform=1\nMajor=4\nMinor=0\nBuild=0x1F00ABCD\nServicePack=\n");
  system = OpenOk(nt);
  ASSERT_TRUE(system->GetVersionExA(&v));
  EXPECT_EQ(v.platformId, kPlatformWin9x);
  EXPECT_EQ(v.build, 0x1F00ABCDu);
  EXPECT_EQ(v.servicePack, "");
}

// Windows 98 and ME have HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion too (their
// Drivers32 and drivers.desc): the family is told by the values only it writes.
TEST(OfflineMachine, FamilyIsToldByWhatOnlyItWrites) {
  const std::string nineX =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\n"
      "\"VersionNumber\"=\"4.90.3000\"\n\"SubVersionNumber\"=\" \"\n";
  const std::string ntKeyOf9x =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32]\n"
      "\"msacm.imaadpcm\"=\"imaadp32.acm\"\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc]\n"
      "\"imaadp32.acm\"=\"Microsoft IMA ADPCM CODEC\"\n";
  const std::string ntVersion =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
      "\"CurrentVersion\"=\"4.0\"\n";
  const std::string ntBuild =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
      "\"CurrentBuildNumber\"=\"1381\"\n";
  const struct {
    const char* what;
    std::string registry;
    uint32_t platform;
    uint32_t major, minor, build;
  } cases[] = {
      {"ME: both keys, 9x's VersionNumber", nineX + ntKeyOf9x, kPlatformWin9x, 4, 90, 0x045A0BB8},
      {"9x with only drivers.desc below the NT key",
       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc]\n" +
           nineX,
       kPlatformWin9x, 4, 90, 0x045A0BB8},
      {"NT's CurrentVersion decides over a VersionNumber", nineX + ntKeyOf9x + ntVersion,
       kPlatformWinNt, 4, 0, 0},
      {"NT's CurrentBuildNumber alone", ntBuild, kPlatformWinNt, 0, 0, 1381},
      {"only the NT key, without either family's values", ntKeyOf9x, kPlatformWinNt, 0, 0, 0},
      {"neither key", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvane]\n", kPlatformWin9x, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MachineFolder machine;
    machine.Registry(c.registry);
    const auto system = OpenOk(machine);
    ASSERT_TRUE(system);
    OsVersion v;
    ASSERT_TRUE(system->GetVersionExA(&v));
    EXPECT_EQ(v.platformId, c.platform);
    EXPECT_EQ(v.major, c.major);
    EXPECT_EQ(v.minor, c.minor);
    EXPECT_EQ(v.build, c.build);
    EXPECT_EQ(system->GetSystemDirectoryA(),
              c.platform == kPlatformWinNt ? "C:\\WINDOWS\\SYSTEM32" : "C:\\WINDOWS\\SYSTEM");
  }
}

TEST(OfflineMachine, PathsAreLookedUpWithoutRegardToCase) {
  MachineFolder machine;
  machine.File("Windows/System/AdvApi32.DLL", Dll());
  machine.File("Windows/System.ini", "[drivers]\r\n");
  auto system = OpenOk(machine);
  auto search = system->FindFirstFileA("C:\\WINDOWS\\SYSTEM\\advapi32.dll");
  ASSERT_TRUE(search);
  EXPECT_EQ(search->Current().name, "AdvApi32.DLL");  // as the disk spells it
  EXPECT_FALSE(search->FindNextFileA());
  EXPECT_TRUE(system->FindFirstFileA("c:/windows/system/../SYSTEM/./ADVAPI32.dll"));
  // Trailing spaces and dots of a path, and one dot ending a folder name, are dropped.
  EXPECT_TRUE(system->FindFirstFileA("C:\\WINDOWS.\\SYSTEM\\advapi32.dll . "));
  EXPECT_FALSE(system->FindFirstFileA("C:\\WINDOWS\\SYSTEM\\advapi32.dll ; old"));
  EXPECT_FALSE(system->FindFirstFileA("C:\\WINDOWS\\SYSTEM\\  "));  // the folder, no name

  std::FILE* ini = system->OpenFileForReading("C:\\WINDOWS\\SYSTEM.INI");
  ASSERT_NE(ini, nullptr);
  char line[16] = {};
  EXPECT_NE(std::fgets(line, sizeof line, ini), nullptr);
  EXPECT_STREQ(line, "[drivers]\r\n");
  std::fclose(ini);
  EXPECT_EQ(system->OpenFileForReading("C:\\WINDOWS\\WIN.INI"), nullptr);
  EXPECT_EQ(system->OpenFileForReading("C:\\WINDOWS\\SYSTEM"), nullptr);  // a folder

  struct Case {
    const char* path;
    const char* why;
  };
  const Case notFound[] = {
      {"C:\\WINDOWS\\SYSTEM\\gdi32.dll", "C:\\WINDOWS\\SYSTEM has no gdi32.dll"},
      {"C:\\WINNT\\SYSTEM32\\advapi32.dll", "C:\\ has no folder WINNT"},
      {"D:\\WINDOWS\\SYSTEM\\advapi32.dll", "this machine has no drive D:"},
      {"SYSTEM\\advapi32.dll", "not a full path"},
      {"C:advapi32.dll", "not a full path"},
      {"C:\\WINDOWS\\SYST*\\advapi32.dll", "wildcards are allowed in the last name"},
      {"C:\\WINDOWS\\SYSTEM\\", "needs a file name"},
      {"C:\\WINDOWS\\SYSTEM\\advapi32.dll\\x", "has no folder advapi32.dll"},
  };
  for (const Case& c : notFound) {
    EXPECT_FALSE(system->FindFirstFileA(c.path)) << c.path;
    EXPECT_NE(system->WhyNotFound(c.path).find(c.why), std::string::npos)
        << c.path << " -> " << system->WhyNotFound(c.path);
  }
}

TEST(OfflineMachine, WildcardSearchInNameOrderWithFoldersAndDots) {
  MachineFolder machine;
  for (const char* name :
       {"msvcrt.dll", "MSVCIRT.DLL", "msvcrt20.dll", "msvcp60", "xmsvc.dll", "mfc42.dll"}) {
    machine.File(std::string("WINDOWS/SYSTEM/") + name, "x");
  }
  machine.File("WINDOWS/SYSTEM/msvcdir/inner.txt", "x");
  auto system = OpenOk(machine);
  EXPECT_EQ(Names(*system, "C:\\WINDOWS\\SYSTEM\\msvc*.*"),
            (std::vector<std::string>{"msvcdir", "MSVCIRT.DLL", "msvcp60", "msvcrt.dll",
                                      "msvcrt20.dll"}));
  EXPECT_EQ(Names(*system, "C:\\windows\\system\\MSVC??.DLL"),
            (std::vector<std::string>{"msvcrt.dll"}));
  EXPECT_EQ(Names(*system, "C:\\windows\\system\\msvcrt?.dll"), (std::vector<std::string>{}));
  EXPECT_EQ(Names(*system, "C:\\windows\\system\\msvcrt??.dll"),
            (std::vector<std::string>{"msvcrt20.dll"}));
  const auto all = Names(*system, "C:\\WINDOWS\\SYSTEM\\*");
  ASSERT_GE(all.size(), 3u);
  EXPECT_EQ(all[0], ".");
  EXPECT_EQ(all[1], "..");
  EXPECT_EQ(Names(*system, "C:\\*"), (std::vector<std::string>{"WINDOWS"}));  // no dots at the root
  EXPECT_FALSE(system->FindFirstFileA("C:\\WINDOWS\\SYSTEM\\*.vxd"));
  EXPECT_EQ(system->WhyNotFound("C:\\WINDOWS\\SYSTEM\\*.vxd"),
            "nothing in C:\\WINDOWS\\SYSTEM matches *.vxd");
}

TEST(OfflineMachine, AttributesSizeAndUtcDate) {
  MachineFolder machine;
  const std::string plain = machine.File("WINDOWS/SYSTEM/plain.dll", std::string(512, 'x'));
  const std::string locked = machine.File("WINDOWS/SYSTEM/locked.dll", "x");
  const std::string huge = machine.File("WINDOWS/SYSTEM/huge.dat", "");
  ASSERT_EQ(chmod(locked.c_str(), 0444), 0);
  std::error_code error;
  std::filesystem::resize_file(huge, (uint64_t{1} << 32) + 5, error);
  // 1999-04-02 23:30 UTC: 1999-04-03 in any time zone ahead of UTC, which must not show.
  const time_t lastWrite = 923095800;
  const struct utimbuf times = {lastWrite, lastWrite};
  ASSERT_EQ(utime(plain.c_str(), &times), 0);
  const char* oldTz = std::getenv("TZ");
  const std::string savedTz = oldTz ? oldTz : "";
  setenv("TZ", "JST-9", 1);
  tzset();

  auto system = OpenOk(machine);
  auto search = system->FindFirstFileA("C:\\WINDOWS\\SYSTEM\\plain.dll");
  ASSERT_TRUE(search);
  EXPECT_EQ(search->Current().attributes, 0x20u);
  EXPECT_EQ(search->Current().sizeLow, 512u);
  EXPECT_EQ(DateOf(search->Current()), "1999-04-02");
  search = system->FindFirstFileA("C:\\WINDOWS\\SYSTEM\\locked.dll");
  ASSERT_TRUE(search);
  EXPECT_EQ(search->Current().attributes, 0x21u);
  search = system->FindFirstFileA("C:\\WINDOWS\\SYSTEM");
  ASSERT_TRUE(search);
  EXPECT_EQ(search->Current().attributes, 0x10u);
  if (!error) {
    search = system->FindFirstFileA("C:\\WINDOWS\\SYSTEM\\HUGE.DAT");
    ASSERT_TRUE(search);
    EXPECT_EQ(search->Current().sizeLow, 5u);
    EXPECT_EQ(search->Current().sizeHigh, 1u);
  }
  if (oldTz) {
    setenv("TZ", savedTz.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST(OfflineMachine, LibrariesLoadWhenImageAndImportsAreSound) {
  MachineFolder machine;
  machine.File("WINDOWS/SYSTEM/kernel32.dll", Dll());
  machine.File("WINDOWS/SYSTEM/user32.dll", Dll({"KERNEL32.DLL", "GDI32.DLL"}));
  machine.File("WINDOWS/SYSTEM/gdi32.dll", Dll({"KERNEL32.DLL", "USER32.DLL"}));  // a cycle
  machine.File("WINDOWS/winonly.dll", Dll({"kernel32.dll"}));
  machine.File("APPS/codec.dll", Dll({"USER32.DLL", "helper.dll", "WINONLY.DLL"}));
  machine.File("APPS/helper.dll", Dll({"KERNEL32.DLL"}));
  machine.File("WINDOWS/SYSTEM/missing.dll", Dll({"KERNEL32.DLL", "MSVCRT20.DLL"}));
  machine.File("WINDOWS/SYSTEM/deep.dll", Dll({"missing.dll"}));
  machine.File("WINDOWS/SYSTEM/wide.dll", Dll({}, kMachineX8664));
  machine.File("WINDOWS/SYSTEM/text.dll", "just text");
  PeSpec object;
  object.characteristics = 0x0100;  // neither an executable image nor a DLL
  machine.File("WINDOWS/SYSTEM/object.dll", BuildPe(object));
  machine.File("WINDOWS/SYSTEM/folder.dll/x", "");
  auto system = OpenOk(machine);

  for (const char* path :
       {"C:\\WINDOWS\\SYSTEM\\user32.dll", "C:\\APPS\\CODEC.DLL", "kernel32.dll"}) {
    std::string why;
    const LibraryHandle library = system->LoadLibraryA(path, &why);
    EXPECT_NE(library, 0u) << path << ": " << why;
    system->FreeLibrary(library);
  }
  EXPECT_EQ(system->LoadedLibraryCount(), 0u);

  struct Case {
    const char* path;
    const char* why;
  };
  const Case failures[] = {
      {"C:\\WINDOWS\\SYSTEM\\missing.dll", "imports MSVCRT20.DLL, which is not on this machine"},
      {"C:\\WINDOWS\\SYSTEM\\deep.dll",
       "imports missing.dll (C:\\WINDOWS\\SYSTEM\\missing.dll), which does not load: imports "
       "MSVCRT20.DLL, which is not on this machine"},
      {"C:\\WINDOWS\\SYSTEM\\wide.dll", "built for x86-64, this machine runs i386 code"},
      {"C:\\WINDOWS\\SYSTEM\\text.dll", "not a PE image"},
      {"C:\\WINDOWS\\SYSTEM\\object.dll", "not marked as an executable image or a DLL"},
      {"C:\\WINDOWS\\SYSTEM\\folder.dll", "a folder, not a library"},
      {"C:\\WINDOWS\\SYSTEM\\absent.dll", "C:\\WINDOWS\\SYSTEM has no absent.dll"},
  };
  for (const Case& c : failures) {
    std::string why;
    EXPECT_EQ(system->LoadLibraryA(c.path, &why), 0u) << c.path;
    EXPECT_EQ(why, c.why) << c.path;
  }
  // An import found only in the importer's folder serves that library, not others.
  std::string why;
  EXPECT_EQ(system->LoadLibraryA("C:\\WINDOWS\\SYSTEM\\deep.dll", nullptr), 0u);
  machine.File("WINDOWS/SYSTEM/needshelper.dll", Dll({"helper.dll"}));
  system = OpenOk(machine);
  EXPECT_EQ(system->LoadLibraryA("C:\\WINDOWS\\SYSTEM\\needshelper.dll", &why), 0u);
  EXPECT_EQ(why, "imports helper.dll, which is not on this machine");
}

TEST(OfflineMachine, CaptureDriversFromVersionResourcesOrMachineIni) {
  MachineFolder machine;
  machine.File("WINDOWS/SYSTEM.INI",
               "[drivers]\r\nwave=mmsound.drv\r\nMSVideo=cap.drv\r\nmsvideo3=C:\\CAP\\bare.drv\r\n"
               "msvideo10=never.drv\r\nmsvideo2=\r\n");
  PeSpec cap;
  cap.withVersion = true;
  cap.fileDescription = std::string(200, 'N');
  cap.fileVersion = "4.10.2222";
  machine.File("WINDOWS/SYSTEM/cap.drv", BuildPe(cap));
  auto system = OpenOk(machine);
  std::string name, version;
  ASSERT_TRUE(system->capGetDriverDescriptionA(0, &name, &version));
  EXPECT_EQ(name, std::string(126, 'N'));  // capacities of 127 hold 126 characters
  EXPECT_EQ(version, "4.10.2222");
  EXPECT_FALSE(system->capGetDriverDescriptionA(1, &name, &version));
  EXPECT_FALSE(system->capGetDriverDescriptionA(2, &name, &version));
  ASSERT_TRUE(system->capGetDriverDescriptionA(3, &name, &version));
  EXPECT_EQ(name, "C:\\CAP\\bare.drv");  // no such file: named by its entry
  EXPECT_EQ(version, "");
  EXPECT_FALSE(system->capGetDriverDescriptionA(10, &name, &version));

  MachineFolder nt;
  nt.Registry(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32]\n"
      "\"msvideo1\"=\"cap.drv\"\n\"vidc.cvid\"=\"iccvid.dll\"\n");
  nt.File("WINDOWS/SYSTEM32/cap.drv", BuildPe(cap));
  nt.File("WINDOWS/SYSTEM.INI", "[drivers]\r\nmsvideo=ignored-on-nt.drv\r\n");
  system = OpenOk(nt);
  EXPECT_FALSE(system->capGetDriverDescriptionA(0, &name, &version));
  ASSERT_TRUE(system->capGetDriverDescriptionA(1, &name, &version));
  EXPECT_EQ(version, "4.10.2222");

  nt.MachineIni("[capture]\n4=Given|v2\n");
  system = OpenOk(nt);
  EXPECT_FALSE(system->capGetDriverDescriptionA(1, &name, &version));
  ASSERT_TRUE(system->capGetDriverDescriptionA(4, &name, &version));
  EXPECT_EQ(name + "/" + version, "Given/v2");
}

TEST(OfflineMachine, RegistryAnswersThroughTheApiRules) {
  MachineFolder machine;
  machine.Registry(
      "[HKEY_CLASSES_ROOT\\AVIFile]\n@=\"Video Clip\"\n\"EditFlags\"=hex:00,00,01,00\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\B]\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\A]\n");
  auto system = OpenOk(machine);
  RegKey key = 0;
  ASSERT_EQ(
      system->RegOpenKeyExA(RootKey::kLocalMachine, "SOFTWARE\\CLASSES\\avifile", kKeyRead, &key),
      0);
  RegValue value;
  EXPECT_EQ(system->RegQueryValueExA(key, "", 512, &value), 0);
  EXPECT_EQ(value.type, kRegSz);
  EXPECT_EQ(system->RegQueryValueExA(key, "editflags", 3, &value), kErrorMoreData);
  EXPECT_EQ(system->RegCloseKey(key), 0);
  ASSERT_EQ(system->RegOpenKeyExA(RootKey::kLocalMachine,
                                  "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                                  kKeyAllAccess, &key),
            0);
  std::string name;
  ASSERT_EQ(system->RegEnumKeyExA(key, 0, 512, &name), 0);
  EXPECT_EQ(name, "B");  // file order, not sorted
  EXPECT_EQ(system->RegEnumKeyExA(key, 2, 512, &name), kErrorNoMoreItems);
  system->RegCloseKey(key);
  // Settings written during a run stay in memory; the machine's files never change.
  ASSERT_EQ(
      system->RegCreateKeyExA(RootKey::kCurrentUser, "Software\\Korvane", kKeyAllAccess, &key), 0);
  EXPECT_EQ(system->RegSetValueExA(key, "x", kRegDword, {1, 0, 0, 0}), 0);
  system->RegCloseKey(key);
  EXPECT_EQ(system->registry().OpenHandleCount(), 0u);
  EXPECT_EQ(test::ReadFile(machine.path() + "/registry.reg").find("Korvane"), std::string::npos);
}

// A drive that holds its files in memory, as one read from a disk image would: the
// offline System must find, open and check files through the Drive it is given alone.
class MemoryDrive : public Drive {
 public:
  void Add(const std::string& windowsPath, const std::string& bytes) {
    files_[AsciiLower(windowsPath)] = bytes;
  }
  std::optional<std::string> Resolve(const std::string& windowsPath, std::string* whyNot) override {
    const std::string location = AsciiLower(windowsPath);
    if (files_.count(location) != 0) return location;
    *whyNot = windowsPath + " is not in the image";
    return std::nullopt;
  }
  std::vector<FindData> Find(const std::string& pattern, std::string* whyNot) override {
    const size_t slash = pattern.rfind('\\');
    const std::string folder = AsciiLower(pattern.substr(0, slash + 1));
    std::vector<FindData> matches;
    for (const auto& file : files_) {
      const std::string name = file.first.substr(folder.size());
      if (file.first.compare(0, folder.size(), folder) != 0 ||
          name.find('\\') != std::string::npos ||
          !MatchesWildcard(pattern.substr(slash + 1), name)) {
        continue;
      }
      matches.push_back(*Describe(file.first, name));
    }
    if (matches.empty()) *whyNot = "nothing in the image matches " + pattern;
    return matches;
  }
  std::optional<FindData> Describe(const std::string& location, const std::string& name) override {
    FindData data;
    data.name = name;
    data.attributes = kFileAttributeArchive;
    data.sizeLow = static_cast<uint32_t>(files_.at(location).size());
    return data;
  }
  bool Read(const std::string& location, size_t limit, std::string* bytes) override {
    reads.push_back(location);
    *bytes = files_.at(location);
    return bytes->size() <= limit;
  }
  std::FILE* Open(const std::string& location) override {
    std::FILE* file = std::tmpfile();
    if (file == nullptr) return nullptr;
    const std::string& bytes = files_.at(location);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return file;
  }

  std::vector<std::string> reads;  // locations read whole, in order

 private:
  std::map<std::string, std::string> files_;
};

TEST(OfflineMachine, FilesComeThroughTheMachinesDriveOnly) {
  auto machine = std::make_unique<OfflineMachine>();
  auto drive = std::make_unique<MemoryDrive>();
  MemoryDrive& image = *drive;
  image.Add("C:\\WINDOWS\\system.ini", "[drivers]\r\nmsvideo=cap.drv\r\n");
  image.Add("C:\\WINDOWS\\SYSTEM\\codec.dll", Dll({"helper.dll"}));
  image.Add("C:\\WINDOWS\\helper.dll", Dll());
  image.Add("C:\\WINDOWS\\SYSTEM\\broken.dll", Dll({"missing.dll"}));
  machine->drive = std::move(drive);
  machine->facts.windowsDirectory = "C:\\WINDOWS";
  machine->facts.systemDirectory = "C:\\WINDOWS\\SYSTEM";
  OfflineSystem system(std::move(machine));

  EXPECT_EQ(Names(system, "C:\\WINDOWS\\SYSTEM\\*.dll"),
            (std::vector<std::string>{"broken.dll", "codec.dll"}));
  std::FILE* ini = system.OpenFileForReading("C:\\Windows\\SYSTEM.INI");
  ASSERT_NE(ini, nullptr);
  char text[64] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof text - 1, ini), 28u);
  std::fclose(ini);
  EXPECT_STREQ(text, "[drivers]\r\nmsvideo=cap.drv\r\n");

  std::string why;
  const LibraryHandle codec = system.LoadLibraryA("codec.dll", &why);
  EXPECT_NE(codec, 0u) << why;
  // The import is found in the Windows directory after the library's own folder.
  EXPECT_EQ(image.reads, (std::vector<std::string>{"c:\\windows\\system\\codec.dll",
                                                   "c:\\windows\\helper.dll"}));
  EXPECT_EQ(system.LoadLibraryA("C:\\WINDOWS\\SYSTEM\\broken.dll", &why), 0u);
  EXPECT_EQ(why, "imports missing.dll, which is not on this machine");
  system.FreeLibrary(codec);
  EXPECT_EQ(system.LoadedLibraryCount(), 0u);
}

}  // namespace
}  // namespace korvane
