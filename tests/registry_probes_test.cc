// Registry probes and capture drivers: lines, failure lines and bounds.
#include "tests/diag_fixture.h"

namespace korvane::test {
namespace {

using Key = MemoryRegistry::Key;

class RegistryTest : public DiagTest {
 protected:
  Key* Hklm(const std::string& path) {
    return system.registry.CreateKey(RootKey::kLocalMachine, path);
  }
  Key* Drivers32() { return Hklm(kDrivers32KeyPath); }
  Key* Hkcr(const std::string& path) {
    return system.registry.CreateKey(RootKey::kClassesRoot, path);
  }
};

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> bytes) { return bytes; }

TEST_F(RegistryTest, DriverDescriptionsShowAnyDataUpToItsFirstZeroByte) {
  Key* key = Hklm(kDriversDescKeyPath);
  MemoryRegistry::SetString(key, "msacm.imaadpcm", "IMA ADPCM %s");
  MemoryRegistry::SetValue(key, "bin", kRegBinary, Bytes({'a', 'b', 0, 'c'}));
  MemoryRegistry::SetValue(key, "raw", kRegBinary, Bytes({'x', 'y'}));
  MemoryRegistry::SetDword(key, "num", 0x41);
  ListDriverDescriptions(system);
  EXPECT_EQ(lines(), (Lines{"msacm.imaadpcm = IMA ADPCM %s", "bin = ab", "raw = xy", "num = A"}));
}

TEST_F(RegistryTest, MissingDriverKeysGiveOneLineEach) {
  ListDriverDescriptions(system);
  LoadRegistryDrivers(system, window);
  EXPECT_EQ(lines(),
            (Lines{"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc - can't "
                   "open key",
                   "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32 - can't "
                   "open key"}));
}

TEST_F(RegistryTest, Drivers32IsListedThenProbedWithTheKeyClosed) {
  MemoryRegistry::SetString(Drivers32(), "msacm.imaadpcm", "imaadp32.acm");
  MemoryRegistry::SetString(Drivers32(), "wavemapper", "*.drv");
  MemoryRegistry::SetString(Drivers32(), "vidc.a", "D:\\codecs\\a.dll");
  MemoryRegistry::SetString(Drivers32(), "vidc.b", "sub\\b.dll");
  MemoryRegistry::SetString(Drivers32(), "empty", "");
  system.AddLibrary("C:\\WINNT\\system32\\imaadp32.acm");
  system.systemDirectory = "C:\\WINNT\\system32";
  LoadRegistryDrivers(system, window);
  EXPECT_EQ(lines(), (Lines{"msacm.imaadpcm = imaadp32.acm", "wavemapper = *.drv",
                            "vidc.a = D:\\codecs\\a.dll", "vidc.b = sub\\b.dll", "empty = ",
                            "C:\\WINNT\\system32\\imaadp32.acm 0x20 1999-04-23 512 Loaded Ok",
                            "D:\\codecs\\a.dll Not found", "sub\\b.dll Not found",
                            "C:\\WINNT\\system32\\ Not found"}));
  EXPECT_EQ(system.keysOpenAtLoad, 0u);
  EXPECT_EQ(window.repaintsAfterLine, (std::vector<size_t>{6, 7, 8, 9}));
}

TEST_F(RegistryTest, SixHundredDriversAreAllListedAndThe511FirstLoadableProbed) {
  for (int i = 0; i < 600; ++i) {
    MemoryRegistry::SetString(Drivers32(), "d" + std::to_string(i),
                              i == 3 ? "*.x" : "c:\\d" + std::to_string(i) + ".dll");
    system.AddLibrary("C:\\d" + std::to_string(i) + ".dll");
  }
  LoadRegistryDrivers(system, window);
  ASSERT_EQ(lines().size(), 600u + 511u);
  EXPECT_EQ(lines()[599], "d599 = c:\\d599.dll");
  EXPECT_EQ(lines()[600], "c:\\d0.dll 0x20 1999-04-23 512 Loaded Ok");
  EXPECT_EQ(lines()[603], "c:\\d4.dll 0x20 1999-04-23 512 Loaded Ok");
  EXPECT_EQ(lines().back(), "c:\\d511.dll 0x20 1999-04-23 512 Loaded Ok");
  EXPECT_EQ(system.loadAttempts.size(), 511u);
}

TEST_F(RegistryTest, DataLongerThan512BytesEndsTheListingSilently) {
  MemoryRegistry::SetString(Drivers32(), "a", "a.dll");
  MemoryRegistry::SetValue(Drivers32(), "fits", kRegBinary, std::vector<uint8_t>(512, 'f'));
  MemoryRegistry::SetValue(Drivers32(), "big", kRegBinary, std::vector<uint8_t>(513, 'b'));
  MemoryRegistry::SetString(Drivers32(), "c", "c.dll");
  LoadRegistryDrivers(system, window);
  const std::string fits(512, 'f');
  EXPECT_EQ(lines(), (Lines{"a = a.dll", "fits = " + fits, "C:\\WINDOWS\\SYSTEM\\a.dll Not found",
                            "C:\\WINDOWS\\SYSTEM\\" + fits + " - path too long"}));
}

TEST_F(RegistryTest, AviFileDefaultEditFlagsAndTenSubkeys) {
  Key* avi = Hkcr("AVIFile");
  MemoryRegistry::SetString(avi, "", "AVIFile Class");
  MemoryRegistry::SetValue(avi, "EditFlags", kRegBinary, Bytes({0, 0, 1, 0}));
  MemoryRegistry::SetValue(Hkcr("AVIFile\\Compressors\\vids"), "", kRegExpandSz, Bytes({'x', 0}));
  Hkcr("AVIFile\\CLSID");
  MemoryRegistry::SetString(Hkcr("AVIFile\\Extensions\\AVI"), "", "{00020000-0000}");
  ListAviFileEntries(system);
  EXPECT_EQ(
      lines(),
      (Lines{"HKCR\\AVIFile\\@ = \"AVIFile Class\"", "HKCR\\AVIFile\\EditFlags = 0x00010000",
             "HKCR\\AVIFile\\CLSID\\@ - can't get value",
             "AVIFile\\Compressors\\auds - can't open key",
             "HKCR\\AVIFile\\Compressors\\vids\\@ = \"invalid value type\"",
             "AVIFile\\DefaultIcon - can't open key", "AVIFile\\Extensions\\AU - can't open key",
             "HKCR\\AVIFile\\Extensions\\AVI\\@ = \"{00020000-0000}\"",
             "AVIFile\\Extensions\\WAV - can't open key",
             "AVIFile\\RIFFHandlers\\AVI - can't open key",
             "AVIFile\\RIFFHandlers\\WAVE - can't open key",
             "AVIFile\\shellex\\PropertySheetHandlers\\AviPage - can't open key"}));
}

TEST_F(RegistryTest, AviFileOddValuesAndAKeyThatCannotBeOpened) {
  Key* avi = Hkcr("AVIFile");
  MemoryRegistry::SetValue(avi, "", kRegExpandSz, Bytes({'%', 'x', '%', 0}));
  // A short EditFlags shows only its own bytes, never what an earlier query left behind.
  MemoryRegistry::SetValue(avi, "EditFlags", kRegBinary, Bytes({0x34, 0x12}));
  ListAviFileEntries(system);
  EXPECT_EQ(Lines(lines().begin(), lines().begin() + 2),
            (Lines{"HKCR\\AVIFile\\@ = \"invalid value type\"",
                   "HKCR\\AVIFile\\EditFlags = 0x00001234"}));

  window.lines.clear();
  avi->values.clear();
  ListAviFileEntries(system);
  EXPECT_EQ(
      Lines(lines().begin(), lines().begin() + 2),
      (Lines{"HKCR\\AVIFile\\@ - can't get value", "HKCR\\AVIFile\\EditFlags - can't get value"}));

  window.lines.clear();
  system.registry.DenyAccess(RootKey::kClassesRoot, "AVIFile", kKeyAllAccess);
  ListAviFileEntries(system);
  ASSERT_EQ(lines().size(), 11u);
  EXPECT_EQ(lines()[0], "HKCR\\AVIFile - can't open key");
  EXPECT_EQ(lines()[1], "AVIFile\\CLSID - can't open key");
}

TEST_F(RegistryTest, UninstallEntriesShowNameDisplayNameAndUninstallString) {
  Key* app = Hklm(std::string(kUninstallKeyPath) + "\\App");
  MemoryRegistry::SetString(app, "DisplayName", "An App");
  MemoryRegistry::SetString(app, "UninstallString", "C:\\app\\un.exe /x");
  MemoryRegistry::SetString(Hklm(std::string(kUninstallKeyPath) + "\\NoName"), "UninstallString",
                            "un");
  Hklm(std::string(kUninstallKeyPath) + "\\Locked");
  system.registry.DenyAccess(RootKey::kLocalMachine, std::string(kUninstallKeyPath) + "\\Locked",
                             kKeyRead);
  const std::string longName(460, 'L');
  Hklm(std::string(kUninstallKeyPath) + "\\" + longName);
  ListUninstallEntries(system);
  const std::string uninstall = std::string("HKLM\\") + kUninstallKeyPath;
  EXPECT_EQ(lines(),
            (Lines{"App", "  DisplayName = An App", "  UninstallString = C:\\app\\un.exe /x",
                   "NoName", "  DisplayName - can't get value", "  UninstallString = un", "Locked",
                   uninstall + "\\Locked - can't open key", longName,
                   uninstall + "\\" + longName + " - path too long"}));

  window.lines.clear();
  system.registry.DenyAccess(RootKey::kLocalMachine, kUninstallKeyPath, kKeyAllAccess);
  ListUninstallEntries(system);
  EXPECT_EQ(lines(), Lines{uninstall + " - can't open key"});
}

TEST_F(RegistryTest, CaptureDriversAreAskedAtIndexesZeroToNine) {
  system.captureDrivers[0] = {"Microsoft WDM Image Capture", "5.00.2195"};
  system.captureDrivers[3] = {"Cam", ""};
  system.captureDrivers[10] = {"Never", "1"};
  ListCaptureDrivers(system);
  EXPECT_EQ(lines(), (Lines{"#0 Microsoft WDM Image Capture 5.00.2195", "#3 Cam "}));
  EXPECT_EQ(system.captureIndexesAsked, (std::vector<unsigned>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  window.lines.clear();
  system.captureDrivers.clear();
  ListCaptureDrivers(system);
  EXPECT_EQ(lines(), Lines{"nothing found"});
}

TEST_F(RegistryTest, ALargeMachineIsReportedInFull) {
  for (int i = 0; i < 600; ++i) {
    MemoryRegistry::SetString(Drivers32(), "d" + std::to_string(i), "d" + std::to_string(i));
  }
  Key* uninstall = Hklm(kUninstallKeyPath);
  for (int i = 0; i < 20000; ++i) {
    const std::string name = "app" + std::to_string(i);
    MemoryRegistry::SetString(Hklm(std::string(kUninstallKeyPath) + "\\" + name), "DisplayName",
                              "Application " + std::to_string(i));
  }
  ASSERT_EQ(uninstall->subkeys().size(), 20000u);
  TestOptions options;
  options.ntTests = 1;
  // How fast this runs is bench/run.sh's to measure.
  RunDiagnostics(system, window, options);
  EXPECT_GT(lines().size(), 600u + 511u + 3 * 20000u);
}

}  // namespace
}  // namespace korvane::test
