// The limits of every buffer, file size and file system the program meets, one test each.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "avi/avi_dump.h"
#include "platform/offline/open_machine.h"
#include "tests/diag_fixture.h"
#include "tests/machine_builder.h"
#include "tests/test_support.h"

namespace korvane::test {
namespace {

using Key = MemoryRegistry::Key;

// A wait for a writer that never comes ends after this long and fails the test (124)
// instead of stopping the suite.
const CliStart kBounded = {"", false, 20};

// ---- system.ini lines longer than one read ----------------------------------------------

class IniLineTest : public DiagTest {
 protected:
  Lines List(const std::string& text) {
    system.AddFile("C:\\WINDOWS\\system.ini", text);
    window.lines.clear();
    EXPECT_EQ(ListIniSection(system, "system.ini", "[s]"), 1);
    return lines();
  }
};

const std::string a509(509, 'a');

TEST_F(IniLineTest, LinesAroundTheReadSizeWithEachLineEnd) {
  struct Case {
    size_t length;
    const char* end;
    Lines expected;  // after the header line
  };
  const Case cases[] = {
      // The CR of a CR LF that does not fit is read with the LF, and both are stripped.
      {508, "\r\n", {std::string(508, 'a')}},
      {509, "\r\n", {a509}},
      {510, "\r\n", {a509, "a"}},
      {1019, "\r\n", {a509, a509, "a"}},
      {1020, "\r\n", {a509, a509, "aa"}},
      {508, "\n", {std::string(508, 'a')}},
      {509, "\n", {a509}},
      {510, "\n", {a509, "a"}},
      {1019, "\n", {a509, a509, "a"}},
      {1020, "\n", {a509, a509, "aa"}},
      // A CR alone does not end a read: what follows it joins the line, and only a CR at
      // the end of a piece is stripped.
      {508, "\r", {std::string(508, 'a'), "next=1"}},
      {509, "\r", {a509, "\rnext=1"}},
      {510, "\r", {a509, "a\rnext=1"}},
      {1019, "\r", {a509, a509, "a\rnext=1"}},
      {1020, "\r", {a509, a509, "aa\rnext=1"}},
  };
  for (const Case& c : cases) {
    Lines expected{"[s]"};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    if (std::string(c.end) != "\r") expected.push_back("next=1");
    EXPECT_EQ(List("[s]\n" + std::string(c.length, 'a') + c.end + "next=1\n"), expected)
        << c.length << " characters, end " << (c.end[0] == '\r' ? "CR" : "LF") << c.end[1];
  }
}

TEST_F(IniLineTest, ALongLastLineWithoutANewlineIsReadToTheEnd) {
  EXPECT_EQ(List("[s]\n" + std::string(508, 'a')), (Lines{"[s]", std::string(508, 'a')}));
  EXPECT_EQ(List("[s]\n" + a509), (Lines{"[s]", a509}));
  EXPECT_EQ(List("[s]\n" + std::string(510, 'a')), (Lines{"[s]", a509, "a"}));
  EXPECT_EQ(List("[s]\n" + std::string(1020, 'a')), (Lines{"[s]", a509, a509, "aa"}));
}

TEST_F(IniLineTest, APieceIsAWholeLineToTheScan) {
  // A piece that is the header opens the section again; one starting with "[" closes it;
  // one starting with ";" is skipped and the section goes on.
  EXPECT_EQ(List("[x]\n" + a509 + "[s]\nin=1\n"), (Lines{"[s]", "in=1"}));
  EXPECT_EQ(List("[s]\n" + a509 + "[s]\nin=1\n"), (Lines{"[s]", a509, "[s]", "in=1"}));
  EXPECT_EQ(List("[s]\n" + a509 + "[t]\nout=1\n"), (Lines{"[s]", a509}));
  EXPECT_EQ(List("[s]\n" + a509 + ";c\nin=1\n"), (Lines{"[s]", a509, "in=1"}));
  // A header longer than a read can never match a piece.
  system.AddFile("C:\\WINDOWS\\system.ini", "[" + a509 + "]\nk=v\n");
  window.lines.clear();
  EXPECT_EQ(ListIniSection(system, "system.ini", "[" + a509 + "]"), 1);
  EXPECT_EQ(lines(), Lines{});
}

TEST_F(IniLineTest, ForLoadingEachPieceIsItsOwnEntry) {
  // The first piece's value is too long once the system directory is put before it; the
  // second piece has no "="; the third starts with one and names a driver of its own.
  system.AddFile("C:\\WINDOWS\\system.ini",
                 "[drivers32]\nk=" + std::string(1016, 'v') + "=y.dll\n");
  EXPECT_EQ(LoadIniSectionDrivers(system, window, "system.ini", "[drivers32]"), 1);
  EXPECT_EQ(lines(), (Lines{"[drivers32]",
                            "C:\\WINDOWS\\SYSTEM\\" + std::string(507, 'v') + " - path too long",
                            "C:\\WINDOWS\\SYSTEM\\y.dll Not found"}));
}

TEST_F(IniLineTest, ZeroBytesEndALineForTheScan) {
  EXPECT_EQ(List(std::string("[s]\nab\0cd\n\0[t]\nx=1\n", 19)), (Lines{"[s]", "ab", "x=1"}));
}

// ---- registry names and data around the 512-byte buffers --------------------------------

class RegistryLimitTest : public DiagTest {
 protected:
  Key* Hklm(const std::string& path) {
    return system.registry.CreateKey(RootKey::kLocalMachine, path);
  }
  Key* DriversDesc() { return Hklm(kDriversDescKeyPath); }
};

TEST_F(RegistryLimitTest, AValueNameOf511CharactersIsListedAndOneOf512EndsTheListing) {
  MemoryRegistry::SetString(DriversDesc(), std::string(511, 'n'), "fits");
  MemoryRegistry::SetString(DriversDesc(), std::string(512, 'n'), "too long");
  MemoryRegistry::SetString(DriversDesc(), "after", "not reached");
  ListDriverDescriptions(system);
  EXPECT_EQ(lines(), Lines{std::string(511, 'n') + " = fits"});
}

TEST_F(RegistryLimitTest, ValueDataOf512BytesIsListedAndOf513EndsTheListing) {
  // Text of 511 characters and its zero fill the buffer exactly; 512 bytes without any zero
  // are shown whole and not one byte past them.
  MemoryRegistry::SetString(DriversDesc(), "text511", std::string(511, 't'));
  MemoryRegistry::SetValue(DriversDesc(), "bin512", kRegBinary, std::vector<uint8_t>(512, 'b'));
  MemoryRegistry::SetString(DriversDesc(), "text512", std::string(512, 'u'));
  MemoryRegistry::SetString(DriversDesc(), "after", "not reached");
  ListDriverDescriptions(system);
  EXPECT_EQ(lines(),
            (Lines{"text511 = " + std::string(511, 't'), "bin512 = " + std::string(512, 'b')}));
}

TEST_F(RegistryLimitTest, QueriedDataOver512BytesCannotBeGot) {
  Key* avi = system.registry.CreateKey(RootKey::kClassesRoot, "AVIFile");
  MemoryRegistry::SetString(avi, "", std::string(511, 'd'));
  Key* app = Hklm(std::string(kUninstallKeyPath) + "\\App");
  MemoryRegistry::SetString(app, "DisplayName", std::string(512, 'n'));
  MemoryRegistry::SetString(app, "UninstallString", std::string(511, 'u'));
  ListAviFileEntries(system);
  EXPECT_EQ(lines()[0], "HKCR\\AVIFile\\@ = \"" + std::string(511, 'd') + "\"");
  window.lines.clear();
  MemoryRegistry::SetString(avi, "", std::string(512, 'd'));
  ListAviFileEntries(system);
  EXPECT_EQ(lines()[0], "HKCR\\AVIFile\\@ - can't get value");
  window.lines.clear();
  ListUninstallEntries(system);
  EXPECT_EQ(lines(), (Lines{"App", "  DisplayName - can't get value",
                            "  UninstallString = " + std::string(511, 'u')}));
}

TEST_F(RegistryLimitTest, UninstallSubkeyNamesAroundTheNameBuffer) {
  const std::string uninstall = kUninstallKeyPath;
  Hklm(uninstall + "\\" + std::string(511, 'k'));
  Hklm(uninstall + "\\" + std::string(512, 'l'));  // ends the enumeration
  ListUninstallEntries(system);
  // The name fits its buffer, the key path joined from it does not fit its own.
  EXPECT_EQ(lines(),
            (Lines{std::string(511, 'k'),
                   "HKLM\\" + uninstall + "\\" + std::string(511, 'k') + " - path too long"}));
  window.lines.clear();
  const std::string fits(512 - 1 - uninstall.size() - 1, 'f');  // joined path of 511
  Hklm(uninstall + "\\" + fits);
  ShowUninstallEntry(system, fits);
  ShowUninstallEntry(system, fits + "g");
  EXPECT_EQ(lines(),
            (Lines{"  DisplayName - can't get value", "  UninstallString - can't get value",
                   "HKLM\\" + uninstall + "\\" + fits + "g - path too long"}));
}

// ---- paths at and beyond every buffer -----------------------------------------------------

class PathLimitTest : public DiagTest {
 protected:
  Key* Drivers32() { return system.registry.CreateKey(RootKey::kLocalMachine, kDrivers32KeyPath); }
};

TEST_F(PathLimitTest, RegistryDriversNeedASystemDirectoryOfAtMost254Characters) {
  MemoryRegistry::SetString(Drivers32(), "bare", "bare.dll");
  MemoryRegistry::SetString(Drivers32(), "full", "D:\\full.dll");
  system.systemDirectory = "C:\\" + std::string(251, 's');  // 254, 255 with the backslash
  LoadRegistryDrivers(system, window);
  EXPECT_EQ(lines()[2], system.systemDirectory + "\\bare.dll Not found");
  window.lines.clear();
  system.systemDirectory += 's';  // 255: does not fit the 256-byte buffer
  LoadRegistryDrivers(system, window);
  // A driver named with its own directory does not need the prefix.
  EXPECT_EQ(lines(), (Lines{"bare = bare.dll", "full = D:\\full.dll",
                            system.systemDirectory + "\\bare.dll - path too long",
                            "D:\\full.dll Not found"}));
  EXPECT_EQ(system.loadAttempts, Lines{});
}

TEST_F(PathLimitTest, RegistryDriverPathsOf511CharactersAreProbedAnd512Refused) {
  // Data of 511 characters is the longest that fits its buffer, so only a bare name with
  // the system directory before it can make a path of 512.
  const std::string full511 = "D:\\" + std::string(508, 'p');
  const std::string bare511(511 - 18, 'q');  // after "C:\WINDOWS\SYSTEM\"
  MemoryRegistry::SetString(Drivers32(), "a", full511);
  MemoryRegistry::SetString(Drivers32(), "c", bare511);
  MemoryRegistry::SetString(Drivers32(), "d", bare511 + "q");
  system.AddLibrary(full511);
  LoadRegistryDrivers(system, window);
  ASSERT_EQ(lines().size(), 6u);
  EXPECT_EQ(Lines(lines().begin() + 3, lines().end()),
            (Lines{full511 + " 0x20 1999-04-23 512 Loaded Ok",
                   "C:\\WINDOWS\\SYSTEM\\" + bare511 + " Not found",
                   "C:\\WINDOWS\\SYSTEM\\" + bare511 + "q - path too long"}));
  EXPECT_EQ(window.repaintsAfterLine, (std::vector<size_t>{4, 5, 6}));
}

TEST_F(PathLimitTest, IniDriversNeedASystemDirectoryOfAtMost510Characters) {
  system.AddFile("C:\\WINDOWS\\system.ini", "[drivers32]\nk=x.dll\nf=D:\\f.dll\n");
  system.systemDirectory = "C:\\" + std::string(507, 's');  // 510, 511 with the backslash
  LoadIniSectionDrivers(system, window, "system.ini", "[drivers32]");
  EXPECT_EQ(lines()[1], system.systemDirectory + "\\x.dll - path too long");  // 516 > 511
  window.lines.clear();
  system.systemDirectory = "C:\\" + std::string(500, 's');  // 504 with the backslash
  system.AddFile("C:\\WINDOWS\\system.ini", "[drivers32]\nk=xxxxxxx\nk=xxxxxxxx\n");
  LoadIniSectionDrivers(system, window, "system.ini", "[drivers32]");
  EXPECT_EQ(lines(), (Lines{"[drivers32]", system.systemDirectory + "\\xxxxxxx Not found",
                            system.systemDirectory + "\\xxxxxxxx - path too long"}));
  window.lines.clear();
  system.systemDirectory = "C:\\" + std::string(508, 's');  // does not fit when asked
  system.AddFile("C:\\WINDOWS\\system.ini", "[drivers32]\nk=x\nf=D:\\f.dll\n");
  LoadIniSectionDrivers(system, window, "system.ini", "[drivers32]");
  EXPECT_EQ(lines(), (Lines{"[drivers32]", system.systemDirectory + "\\x - path too long",
                            "D:\\f.dll Not found"}));
}

TEST_F(PathLimitTest, AWindowsDirectoryEndingInABackslashIsMeasuredWithoutASecondOne) {
  system.windowsDirectory = "C:\\" + std::string(497, 'w') + "\\";  // 501 + "system.ini"
  ListIniSection(system, "system.ini", "[s]");
  system.windowsDirectory = "C:\\" + std::string(498, 'w') + "\\";
  ListIniSection(system, "system.ini", "[s]");
  EXPECT_EQ(lines(), (Lines{"can't open C:\\" + std::string(497, 'w') + "\\system.ini",
                            "C:\\" + std::string(498, 'w') + "\\system.ini - path too long"}));
}

// ---- files the dump cannot read, and files of 2 GiB and more --------------------------------

class DumpFileTest : public ::testing::Test {
 protected:
  ScratchDir scratch;
};

TEST_F(DumpFileTest, AFolderWhereAFileIsExpectedCannotBeOpened) {
  const std::string folder = scratch.path() + "/movie.avi";
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  const auto r = RunCli("dump " + ShellQuote(folder));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "can't open " + folder + "\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(DumpFileTest, APipeWithoutAWriterReadsAsEmptyAndDoesNotWait) {
  const std::string pipe = scratch.path() + "/pipe.avi";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const auto r = RunCli("dump " + ShellQuote(pipe), kBounded);
  ASSERT_NE(r.exitCode, 124) << "korvane dump waited for a writer";
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(SplitLines(r.out),
            (Lines{"======== File dump ==========", pipe + " - size 0x00000000 (0)",
                   "File does not start with 'RIFF'", "File seems to be truncated",
                   "codec by fourcc: unknown"}));
  // And one that is written to is read like a file.
  const auto fed =
      RunCommand("(printf 'RIFF\\004\\000\\000\\000AVI LIST' | " + Cli() + " dump /dev/stdin)");
  EXPECT_EQ(fed.exitCode, 0) << fed.err;
  EXPECT_EQ(SplitLines(fed.out).at(3), "RIFF file") << fed.out;
}

TEST_F(DumpFileTest, APipeThatDeliversTheHeadInPiecesIsReadInFull) {
  // A first read returns only what has been written so far; the rest must still be shown.
  const auto r = RunCommand(
      "((printf 'RIFF\\004\\000\\000\\000'; sleep 0.3; printf 'AVI '; sleep 0.3; "
      "printf '%0400d' 0) | " +
      Cli() + " dump /dev/stdin)");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const Lines out = SplitLines(r.out);
  ASSERT_EQ(out.size(), 2u + 24u + 3u) << r.out;
  EXPECT_EQ(out[2].substr(0, 12), "52 49 46 46 ") << r.out;
  EXPECT_EQ(out[2].substr(26, 12), "41 56 49 20 ") << r.out;
  EXPECT_EQ(out[25].substr(0, 3), "30 ") << r.out;
  EXPECT_EQ(out[26], "RIFF file");
}

TEST_F(DumpFileTest, CheckingAPipeWithoutAWriterDoesNotWait) {
  const std::string pipe = scratch.path() + "/pipe.avi";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  MachineFolder machine;
  const auto r =
      RunCli("check --machine " + ShellQuote(machine.path()) + " " + ShellQuote(pipe), kBounded);
  ASSERT_NE(r.exitCode, 124) << "korvane check waited for a writer";
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.out.find("verdict: not an AVI file"), std::string::npos) << r.out;
}

TEST_F(DumpFileTest, AFileWithoutReadPermissionCannotBeOpened) {
  const std::string file = scratch.Write("locked/secret.avi", std::string(32, 's'));
  ASSERT_EQ(chmod(file.c_str(), 0), 0);
  if (geteuid() == 0) {
    GTEST_SKIP() << "running as root, which reads files whatever their mode; the folder and "
                    "pipe tests above stand in for an unreadable file";
  }
  auto r = RunCli("dump " + ShellQuote(file));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "can't open " + file + "\n");
  ASSERT_EQ(chmod(file.c_str(), 0644), 0);
  ASSERT_EQ(chmod((scratch.path() + "/locked").c_str(), 0), 0);  // a folder not searchable
  r = RunCli("dump " + ShellQuote(file));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "can't open " + file + "\n");
}

std::string LittleEndian32(uint32_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
}

TEST_F(DumpFileTest, FilesAroundTwoAndFourGigabytes) {
  struct Case {
    int64_t size;
    uint32_t declared;
    const char* sizeLine;
    bool truncated;
  };
  const int64_t k2G = int64_t{1} << 31;
  const int64_t k4G = int64_t{1} << 32;
  const Case cases[] = {
      // Below 2 GiB both sizes are signed 32-bit: a declared size with its top bit set
      // never counts as more than the file holds.
      {k2G - 1, 0x7FFFFFF7u, "0x7FFFFFFF (2147483647)", false},
      {k2G - 1, 0x7FFFFFFFu, "0x7FFFFFFF (2147483647)", true},
      {k2G - 1, 0x80000000u, "0x7FFFFFFF (2147483647)", false},
      // From 2 GiB on, the real size is shown and the declared size read as unsigned.
      {k2G, 0x7FFFFFF8u, "0x80000000 (2147483648)", false},
      {k2G, 0x80000000u, "0x80000000 (2147483648)", true},
      {k2G, 0xFFFFFFFFu, "0x80000000 (2147483648)", true},
      {k4G, 0xFFFFFFF8u, "0x100000000 (4294967296)", false},
      {k4G, 0xFFFFFFFFu, "0x100000000 (4294967296)", false},
      {k4G + 16, 8u, "0x100000010 (4294967312)", false},
  };
  const std::string path = scratch.path() + "/big.avi";
  for (const Case& c : cases) {
    std::string head = "RIFF" + LittleEndian32(c.declared) + "AVI " + std::string(372, '\0');
    head.replace(188, 4, "IV50");
    scratch.Write("big.avi", head);
    if (truncate(path.c_str(), c.size) != 0) GTEST_SKIP() << "no sparse files here";
    const auto r = RunCli("dump " + ShellQuote(path));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const Lines out = SplitLines(r.out);
    ASSERT_EQ(out.size(), c.truncated ? 29u : 28u) << c.sizeLine;
    EXPECT_EQ(out[1], path + " - size " + c.sizeLine);
    EXPECT_EQ(out[26], "RIFF file");
    EXPECT_EQ(out[27],
              c.truncated ? "File seems to be truncated" : "codec by fourcc: Intel Indeo 5.0")
        << c.sizeLine << " declared " << c.declared;
  }
}

// ---- a report file on a full disk -----------------------------------------------------------

// A 64 KiB file system of its own, where the running user may mount one; /dev/full otherwise.
class FullDisk {
 public:
  explicit FullDisk(const std::string& folder) : folder_(folder) {
    mkdir(folder_.c_str(), 0755);
    mounted_ = mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  ~FullDisk() {
    if (mounted_) umount(folder_.c_str());
  }
  // Where a report that cannot fit is to be written.
  std::string ReportPath() const { return mounted_ ? folder_ + "/report.txt" : "/dev/full"; }
  bool mounted() const { return mounted_; }

 private:
  std::string folder_;
  bool mounted_ = false;
};

TEST(FullDiskTest, TheCommandLineSaysTheReportIsIncompleteAndFails) {
  ScratchDir scratch;
  const std::string avi = scratch.Write("a.avi", "RIFF" + std::string(400, 'x'));
  const FullDisk disk(scratch.path() + "/disk");
  std::string args = "dump -o " + ShellQuote(disk.ReportPath());
  for (int i = 0; i < 100; ++i) args += " " + ShellQuote(avi);  // about 190 KB of report
  const auto r = RunCli(args);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "korvane dump: " + disk.ReportPath() + " is incomplete: writing it failed\n");
  if (disk.mounted()) {
    const std::string written = ReadFile(disk.ReportPath());
    EXPECT_GT(written.size(), 0u);
    EXPECT_LE(written.size(), 64u * 1024);
  }
}

TEST(FullDiskTest, EveryCommandSaysWhenItsOutputIsShort) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  ScratchDir scratch;
  const std::string avi = scratch.Write("a.avi", "RIFF" + std::string(400, 'x'));
  MachineFolder machine;
  const std::string m = " --machine " + ShellQuote(machine.path());
  const struct {
    std::string args;
    std::string message;
  } cases[] = {
      {"dump " + ShellQuote(avi) + " >/dev/full", "korvane dump: writing standard output failed"},
      {"run" + m + " >/dev/full", "korvane run: writing standard output failed"},
      {"run" + m + " -o /dev/full", "korvane run: /dev/full is incomplete: writing it failed"},
      {"check" + m + " " + ShellQuote(avi) + " >/dev/full",
       "korvane check: writing standard output failed"},
      {"check --json" + m + " " + ShellQuote(avi) + " >/dev/full",
       "korvane check: writing standard output failed"},
  };
  for (const auto& c : cases) {
    // In a subshell, so that the command's own redirection is not overridden.
    const auto r = RunCommand("(" + Cli() + " " + c.args + ")");
    EXPECT_EQ(r.exitCode, 1) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
  }
}

TEST(FullDiskTest, SavingTellsTheCallerButShowsNothing) {
  ScratchDir scratch;
  const FullDisk disk(scratch.path() + "/disk");
  ReportLines window;
  SetMainWindow(&window);
  ResetReportMoreErrors();
  for (int i = 0; i < 200; ++i) AddReportLine("%s", std::string(1000, 'r'));
  // The GUI ignores the result: a full disk asks nothing of the user and adds no line.
  EXPECT_EQ(SaveReport(window, disk.ReportPath(), window.LineCount()), SaveResult::kIncomplete);
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(window.lines.size(), 200u);
  SetMainWindow(nullptr);
}

// ---- a described machine that is hostile -------------------------------------------------

TEST(HostileMachineTest, PipesOnTheMachineDiskAreNeitherWaitedForNorRead) {
  MachineFolder machine;
  machine.File("WINDOWS/SYSTEM/real.dll", "MZ");
  ASSERT_EQ(mkfifo((machine.path() + "/c/WINDOWS/SYSTEM/pipe.dll").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((machine.path() + "/c/WINDOWS/system.ini").c_str(), 0600), 0);
  const std::string run = "run --explain --machine " + ShellQuote(machine.path()) + " --tests ";
  auto r = RunCli(run + "systemIni", kBounded);
  ASSERT_NE(r.exitCode, 124) << "korvane run waited for a writer of system.ini";
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const Lines out = SplitLines(r.out);
  EXPECT_EQ(std::count(out.begin(), out.end(), "can't open C:\\WINDOWS\\system.ini"), 3);

  // A pipe named as a driver: found by the search, and it does not load.
  std::filesystem::remove(machine.path() + "/c/WINDOWS/system.ini");
  machine.File("WINDOWS/system.ini", "[drivers32]\r\nvidc.pipe=pipe.dll\r\n");
  r = RunCli(run + "systemIni,loadDll", kBounded);
  ASSERT_NE(r.exitCode, 124) << "korvane run waited for a writer of a driver";
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::string probe = "C:\\WINDOWS\\SYSTEM\\pipe.dll 0x";
  const Lines probed = SplitLines(r.out);
  EXPECT_TRUE(std::any_of(probed.begin(), probed.end(), [&](const std::string& line) {
    return line.rfind(probe, 0) == 0 && line.find("Failed to load") != std::string::npos;
  })) << r.out;

  std::filesystem::remove(machine.path() + "/registry.reg");
  ASSERT_EQ(mkfifo((machine.path() + "/registry.reg").c_str(), 0600), 0);
  r = RunCli(run + "none", kBounded);
  ASSERT_NE(r.exitCode, 124) << "korvane run waited for a writer of registry.reg";
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("registry.reg: cannot be read"), std::string::npos) << r.err;
}

TEST(HostileMachineTest, ARegistryExportFullOfBinaryJunkIsRefusedWithItsLine) {
  std::mt19937 random(20240601);
  std::string junk(256 * 1024, '\0');
  for (char& c : junk) c = static_cast<char>(random());
  for (const std::string& head :
       {std::string(), std::string("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n")}) {
    MachineFolder machine;
    machine.RawRegistry(head + junk);
    std::string error;
    EXPECT_EQ(OpenMachine(machine.path(), &error), nullptr);
    EXPECT_EQ(error.rfind(machine.path() + "/registry.reg:", 0), 0u) << error.substr(0, 200);
    const auto r = RunCli("run --machine " + ShellQuote(machine.path()));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("korvane run: " + machine.path() + "/registry.reg:", 0), 0u)
        << r.err.substr(0, 200);
  }
}

TEST(HostileMachineTest, AMachineFolderRemovedAfterListingIsReportedAsMissing) {
  auto machine = std::make_unique<MachineFolder>();
  machine->File("WINDOWS/system.ini", "[drivers32]\r\nvidc.x=x.dll\r\n");
  machine->File("WINDOWS/SYSTEM/x.dll", "MZ");
  machine->File("WINDOWS/SYSTEM/msvcrt.dll", "MZ");
  machine->Registry(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32]\r\n"
      "\"vidc.y\"=\"x.dll\"\r\n");
  machine->MachineIni("[machine]\r\nPlatform=1\r\nSystemDirectory=C:\\WINDOWS\\SYSTEM\r\n");
  std::string error;
  std::unique_ptr<OfflineSystem> system = OpenMachine(machine->path(), &error);
  ASSERT_NE(system, nullptr) << error;
  // The listings of drive C: are read and kept, then the whole folder goes.
  ASSERT_NE(system->FindFirstFileA("C:\\WINDOWS\\SYSTEM\\*.*"), nullptr);
  machine.reset();

  ReportLines window;
  SetMainWindow(&window);
  TestOptions options;
  options.ntTests = 1;
  RunDiagnostics(*system, window, options);
  SetMainWindow(nullptr);
  const Lines& out = window.lines;
  // Three sections listed and one loaded.
  EXPECT_EQ(std::count(out.begin(), out.end(), "can't open C:\\WINDOWS\\system.ini"), 4);
  auto has = [&](const std::string& line) {
    return std::find(out.begin(), out.end(), line) != out.end();
  };
  EXPECT_TRUE(has("C:\\WINDOWS\\SYSTEM\\msvc*.* Not found"));
  EXPECT_TRUE(has("C:\\WINDOWS\\SYSTEM\\x.dll Not found"));
  // Whatever a listing kept, nothing that is gone is shown as found or loaded.
  for (const std::string& line : out) {
    EXPECT_EQ(line.find("Loaded Ok"), std::string::npos) << line;
    EXPECT_EQ(line.find("Failed to load"), std::string::npos) << line;
  }
  EXPECT_EQ(system->LoadedLibraryCount(), 0u);
}

}  // namespace
}  // namespace korvane::test
