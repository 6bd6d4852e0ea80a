// system.ini sections: the scan's line rules and the driver values that get loaded.
#include "tests/diag_fixture.h"

namespace korvane::test {
namespace {

class IniTest : public DiagTest {
 protected:
  void WriteIni(const std::string& text) { system.AddFile("C:\\WINDOWS\\system.ini", text); }
  Lines List(const std::string& header) {
    window.lines.clear();
    EXPECT_EQ(ListIniSection(system, "system.ini", header), 1);
    return lines();
  }
};

TEST_F(IniTest, RepeatedSectionsAreEachListedUnderTheirHeader) {
  WriteIni("[drivers]\n;old\nwave=a.drv\n\n[mci]\ncdaudio=mcicda.drv\n[drivers]\nmidi=b.drv");
  EXPECT_EQ(List("[drivers]"), (Lines{"[drivers]", "wave=a.drv", "[drivers]", "midi=b.drv"}));
  EXPECT_EQ(List("[boot.description]"), Lines{});
}

TEST_F(IniTest, OnlyAWholeCaseSensitiveHeaderLineOpensASectionAndAnyBracketLineEndsIt) {
  WriteIni(
      "[drivers32]\r\n  [lead]\r\n\r\n; note\r\n[Drivers32]\r\nhidden=1\r\n"
      "[drivers32] \r\nhidden=2\r\n[drivers32] ;x\r\nhidden=3\r\n"
      "[drivers32]\r\r\n\n50%=%d\r\n[drivers32]\nsame=section\n");
  EXPECT_EQ(List("[drivers32]"), (Lines{"[drivers32]", "  [lead]", "[drivers32]", "50%=%d",
                                        "[drivers32]", "same=section"}));
  WriteIni("[x]\n[x]\n");  // an empty section writes its header only
  EXPECT_EQ(List("[x]"), (Lines{"[x]", "[x]"}));
}

TEST_F(IniTest, LongLinesAreReadIn509CharacterPieces) {
  const std::string exact(509, 'a');
  const std::string longer = std::string(509, 'b') + "[cut]";
  const std::string comment = std::string(509, 'c') + ";tail";
  WriteIni("[s]\r\n" + exact + "\r\n" + comment + "\r\n" + longer + "\r\nafter=1\r\n");
  EXPECT_EQ(List("[s]"), (Lines{"[s]", exact, std::string(509, 'c'), std::string(509, 'b')}));
}

TEST_F(IniTest, AMissingFileShowsItsWindowsPath) {
  system.windowsDirectory = "D:\\";
  EXPECT_EQ(ListIniSection(system, "system.ini", "[drivers]"), 0);
  EXPECT_EQ(lines(), Lines{"can't open D:\\system.ini"});
  EXPECT_EQ(system.openedFiles, Lines{"D:\\system.ini"});
}

TEST_F(IniTest, AWindowsDirectoryTooLongForThePathBufferIsRefused) {
  system.windowsDirectory = "C:\\" + std::string(497, 'w');  // 500 + "\system.ini" = 511
  EXPECT_EQ(ListIniSection(system, "system.ini", "[drivers]"), 0);
  system.windowsDirectory += 'w';
  EXPECT_EQ(ListIniSection(system, "system.ini", "[drivers]"), 0);
  EXPECT_EQ(lines(), (Lines{"can't open " + system.windowsDirectory.substr(0, 500) + "\\system.ini",
                            system.windowsDirectory + "\\system.ini - path too long"}));
  EXPECT_EQ(system.openedFiles.size(), 1u);
  window.lines.clear();  // a path too long for any line is shown by its start
  system.windowsDirectory = "C:\\" + std::string(2000, 'w');
  ListIniSection(system, "system.ini", "[drivers]");
  EXPECT_EQ(lines(), Lines{system.windowsDirectory.substr(0, 997) + "... - path too long"});
}

TEST_F(IniTest, LoadingProbesEachUsableValueAndRepaintsAfterEach) {
  WriteIni(
      "[drivers32]\nwavemapper=*.drv\nkey=\nkey=   \nmsacm.imaadpcm=imaadp32.acm\n"
      "vidc.abcd = C:\\X\\Y.DLL\nk= = x.dll\nk=sub\\x.dll\nk=x.dll ; old\nno equals\n"
      "k=\tt.dll\n[other]\nk=o.dll\n");
  system.AddLibrary("C:\\WINDOWS\\SYSTEM\\imaadp32.acm").lastWriteTime = FileTimeUtc(1998, 5, 6);
  EXPECT_EQ(LoadIniSectionDrivers(system, window, "system.ini", "[drivers32]"), 1);
  EXPECT_EQ(lines(),
            (Lines{"[drivers32]", "C:\\WINDOWS\\SYSTEM\\imaadp32.acm 0x20 1998-05-06 512 Loaded Ok",
                   "C:\\X\\Y.DLL Not found", "C:\\WINDOWS\\SYSTEM\\x.dll Not found",
                   "sub\\x.dll Not found", "C:\\WINDOWS\\SYSTEM\\x.dll ; old Not found",
                   "C:\\WINDOWS\\SYSTEM\\\tt.dll Not found"}));
  EXPECT_EQ(window.repaintsAfterLine, (std::vector<size_t>{2, 3, 4, 5, 6, 7}));
}

TEST_F(IniTest, LoadingRefusesADriverPathTooLongForItsBuffer) {
  const std::string name(400, 'n');
  WriteIni("[drivers32]\na=" + name + "\nb=C:\\" + name + "\n");
  system.systemDirectory = "C:\\" + std::string(120, 's');
  LoadIniSectionDrivers(system, window, "system.ini", "[drivers32]");
  EXPECT_EQ(lines(),
            (Lines{"[drivers32]", system.systemDirectory + "\\" + name + " - path too long",
                   "C:\\" + name + " Not found"}));
  EXPECT_TRUE(system.loadAttempts.empty());
  EXPECT_EQ(window.repaintsAfterLine, (std::vector<size_t>{2, 3}));
}

}  // namespace
}  // namespace korvane::test
