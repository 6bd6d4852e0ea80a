// Windows installations and disk images as machines, through the command line: choices
// said on standard error, and every damaged input refused with exit status 2, one
// message naming the file (and partition), nothing on standard output, and no hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <vector>

#include "tests/test_support.h"

namespace korvane {
namespace {

using test::RunCli;
using test::RunCommand;
using test::RunResult;
using test::ShellQuote;

const std::string kSource = KORVANE_SOURCE_DIR;
const std::string kExample = kSource + "/examples/win98se";

void Sh(const std::string& command) {
  const RunResult result = RunCommand(command);
  ASSERT_EQ(result.exitCode, 0) << command << "\n" << result.err;
}

// A hang fails the test instead of stopping the suite.
const test::CliStart kBounded = {"", false, 60};

// The example machine as an installation folder and as raw images, made once.
class DiskMachines : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::ScratchDir;
    Sh(kSource + "/scripts/make-installation.sh " + ShellQuote(kExample) + " " + Folder());
    Sh(kSource + "/scripts/make-disk-image.sh " + Folder() + " " + Image() + " raw 40");
    Sh(kSource + "/scripts/make-disk-image.sh " + Folder() + " " + TwoPartitions() +
       " raw 40 second");
    expected_ = RunCli("run --machine " + ShellQuote(kExample), kBounded).out;
  }
  static void TearDownTestSuite() { delete dir_; }

  static std::string Folder() { return dir_->path() + "/w98"; }
  static std::string Image() { return dir_->path() + "/w98.img"; }
  static std::string TwoPartitions() { return dir_->path() + "/two.img"; }

  // A copy of the image with bytes replaced at offset (or cut to size when bytes is empty).
  static std::string Damaged(const std::string& name, uint64_t offset, const std::string& bytes) {
    const std::string path = dir_->path() + "/" + name;
    std::string image = test::ReadFile(Image());
    if (bytes.empty()) {
      image.resize(offset);
    } else {
      image.replace(offset, bytes.size(), bytes);
    }
    std::ofstream(path, std::ios::binary) << image;
    return path;
  }

  static test::ScratchDir* dir_;
  static std::string expected_;
};
test::ScratchDir* DiskMachines::dir_ = nullptr;
std::string DiskMachines::expected_;

TEST_F(DiskMachines, PartitionChoiceIsSaidAndCanBeMade) {
  const RunResult chosen = RunCli("run --machine " + ShellQuote(TwoPartitions()), kBounded);
  EXPECT_EQ(chosen.exitCode, 0) << chosen.err;
  EXPECT_EQ(chosen.out, expected_);
  EXPECT_EQ(chosen.err, "korvane run: Windows on partition 2 (Win95 FAT32 (0x0c)) of " +
                            TwoPartitions() + " (--partition N to choose)\n");

  const RunResult named =
      RunCli("run --machine " + ShellQuote(TwoPartitions()) + " --partition 2", kBounded);
  EXPECT_EQ(named.exitCode, 0) << named.err;
  EXPECT_EQ(named.out, expected_);
  EXPECT_EQ(named.err, "");
}

TEST_F(DiskMachines, UserChoiceIsSaid) {
  // The example's 9x registry has no profiles: HKEY_CURRENT_USER is USER.DAT's .DEFAULT,
  // and nobody is named.
  const RunResult shared = RunCli("run --machine " + ShellQuote(Folder()), kBounded);
  EXPECT_EQ(shared.out, expected_);
  EXPECT_EQ(shared.err, "");
  // With a profile, its own USER.DAT is read and said.
  test::ScratchDir copy;
  Sh("cp -a " + ShellQuote(Folder()) + "/. " + ShellQuote(copy.path()));
  Sh("mkdir -p " + ShellQuote(copy.path() + "/WINDOWS/Profiles/Ann") + " && cp " +
     ShellQuote(copy.path() + "/WINDOWS/USER.DAT") + " " +
     ShellQuote(copy.path() + "/WINDOWS/Profiles/Ann/USER.DAT"));
  const RunResult ann = RunCli("run --machine " + ShellQuote(copy.path()), kBounded);
  EXPECT_EQ(ann.exitCode, 0);
  EXPECT_EQ(ann.err, "korvane run: the registry of user Ann\n");
  const RunResult nobody =
      RunCli("run --machine " + ShellQuote(copy.path()) + " --user Bob", kBounded);
  EXPECT_EQ(nobody.exitCode, 2);
  EXPECT_EQ(nobody.out, "");
  EXPECT_EQ(nobody.err, "korvane run: no user Bob on this machine (its users: Ann)\n");
}

TEST_F(DiskMachines, DamagedInputIsRefusedNamingFileAndPartition) {
  std::mt19937 random(7);
  std::string noise(1 << 16, '\0');
  for (char& c : noise) c = static_cast<char>(random());

  // A 9x installation whose SYSTEM.DAT is random bytes.
  test::ScratchDir badRegistry;
  Sh("cp -a " + ShellQuote(Folder()) + "/. " + ShellQuote(badRegistry.path()));
  const std::string systemDat = badRegistry.Write("WINDOWS/SYSTEM.DAT", noise.substr(0, 4096));

  const uint64_t mbrEntry = 0x1BE;
  const struct {
    const char* name;
    std::string path;
    std::string args;
    std::string message;  // what the one line on standard error starts with
  } cases[] = {
      {"a SYSTEM.DAT of random bytes", badRegistry.path(), "",
       systemDat + ": not a Windows 9x registry file"},
      {"an image cut short", Damaged("cut.img", 3 << 20, ""), "",
       dir_->path() + "/cut.img, partition 1: it reaches past the end of the image"},
      // The Sleuth Kit refuses such a table whole; the image is then tried as one file system.
      {"a partition table pointing past the end",
       Damaged("past.img", mbrEntry + 8, std::string("\x00\x00\x00\x70", 4)), "",
       dir_->path() + "/past.img: no FAT or NTFS file system that can be read"},
      // FAT32 keeps a copy of its boot sector: both go, and the start of the FAT.
      {"a file system that does not parse",
       Damaged("nofs.img", 1 << 20, std::string(64 << 10, '\0')), "",
       dir_->path() + "/nofs.img, partition 1: no FAT or NTFS file system that can be read"},
      {"random bytes", badRegistry.Write("noise.img", noise), "",
       badRegistry.path() + "/noise.img: no FAT or NTFS file system that can be read"},
      {"an empty file", badRegistry.Write("empty.vhd", ""), "",
       badRegistry.path() + "/empty.vhd: not a disk image (0 bytes, less than one sector)"},
      {"a partition that is not there", Image(), " --partition 3",
       Image() + ": no partition 3 (it has 1)"},
      {"a partition without Windows", TwoPartitions(), " --partition 1",
       TwoPartitions() + ", partition 1: no Windows installation on it"},
  };
  for (const auto& c : cases) {
    for (const char* command : {"run", "check"}) {
      const RunResult r = RunCli(std::string(command) + " --machine " + ShellQuote(c.path) +
                                     c.args + (std::string(command) == "check" ? " x.avi" : ""),
                                 kBounded);
      EXPECT_EQ(r.exitCode, 2) << c.name << " (" << command << ")";
      EXPECT_EQ(r.out, "") << c.name << " (" << command << ")";
      const std::string prefix = std::string("korvane ") + command + ": " + c.message;
      EXPECT_EQ(r.err.rfind(prefix, 0), 0u) << c.name << "\n" << r.err;
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.name << "\n" << r.err;
    }
  }
}

// The image is read, never written.
TEST_F(DiskMachines, ImageIsLeftUnchanged) {
  const std::string before = test::ReadFile(Image());
  EXPECT_EQ(RunCli("run --machine " + ShellQuote(Image()), kBounded).exitCode, 0);
  EXPECT_EQ(test::ReadFile(Image()), before);
}

// Attributes and times as the live system reports them, on each file system an image can
// hold: a read-only file shows 0x21 and the others 0x20, each file with its own time (on
// NTFS that of $STANDARD_INFORMATION, set after the file was written; its names' times are
// those of the copy). An NTFS image is filled through a FUSE mount: where the script
// cannot mount (status 77), the NTFS case is skipped with its reason, after FAT ran.
TEST_F(DiskMachines, ReadOnlyFlagAndTimesOnEachFileSystem) {
  const std::string folder = dir_->path() + "/attributes";
  const std::string system = folder + "/WINDOWS/SYSTEM";
  Sh("cp -a " + Folder() + " " + folder);
  Sh("chmod a-w " + system + "/msvidc32.dll && touch -d '2001-08-23 14:02:06 UTC' " + system +
     "/msvidc32.dll && touch -d '1999-05-05 23:59:58 UTC' " + system + "/iccvid.dll");
  const struct {
    const char* form;
    const char* file;
    const char* expected;
  } cases[] = {
      {"raw", "msvidc32.dll", "C:\\WINDOWS\\SYSTEM\\msvidc32.dll 0x21 2001-08-23 1536 Loaded Ok\n"},
      {"raw", "iccvid.dll", "C:\\WINDOWS\\SYSTEM\\iccvid.dll 0x20 1999-05-05 1536 Loaded Ok\n"},
      {"raw-ntfs", "msvidc32.dll",
       "C:\\WINDOWS\\SYSTEM\\msvidc32.dll 0x21 2001-08-23 1536 Loaded Ok\n"},
      {"raw-ntfs", "iccvid.dll",
       "C:\\WINDOWS\\SYSTEM\\iccvid.dll 0x20 1999-05-05 1536 Loaded Ok\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.form) + " " + c.file);
    const std::string image = dir_->path() + "/attributes-" + c.form + ".img";
    const RunResult made =
        RunCommand("test -e " + image + " || " + kSource + "/scripts/make-disk-image.sh " + folder +
                   " " + image + " " + c.form + " 40");
    if (made.exitCode == 77) GTEST_SKIP() << made.err;
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const RunResult run = RunCli("run --machine " + ShellQuote(image), kBounded);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(c.expected), std::string::npos) << run.out;
  }
}

// Hidden and system as the live system lists them. FAT: The Sleuth Kit carries read-only
// and hidden (as modes) but drops system, so a system file shows as a plain one. NTFS
// keeps the flags in $STANDARD_INFORMATION, read from the image and from the partition
// mounted with ntfs-3g (an extended attribute there). NTFS flags are set through a mount,
// so that case needs what the NTFS images need, and is skipped without it.
TEST_F(DiskMachines, HiddenAndSystemFlags) {
  const std::string fat = dir_->path() + "/flags-fat.img";
  const std::string ntfs = dir_->path() + "/flags-ntfs.img";
  const std::string partition = dir_->path() + "/flags-ntfs.part";
  const std::string mnt = dir_->path() + "/flags-ntfs.mnt";
  // Hidden, system, archive and read-only on one library; hidden and system on another.
  const RunResult made = RunCommand(kSource + "/tests/disks/make-flag-images.sh " + Folder() + " " +
                                    Image() + " " + dir_->path());
  const bool ntfsMade = made.exitCode == 0;
  if (made.exitCode != 77) {
    ASSERT_EQ(made.exitCode, 0) << made.err;
  }
  if (ntfsMade) Sh("mkdir -p " + mnt + " && ntfs-3g -o ro " + partition + " " + mnt);
  const struct {
    const char* what;
    std::string machine;
    bool needsNtfs;
    std::vector<std::string> lines;
  } forms[] = {
      {"a FAT image",
       fat,
       false,
       {"\\SYSTEM\\iccvid.dll 0x22 ", "\\SYSTEM\\msrle32.dll 0x23 ", "\\SYSTEM\\ir50_32.dll 0x20 ",
        "\\SYSTEM\\msvidc32.dll 0x20 "}},
      {"an NTFS image",
       ntfs,
       true,
       {"\\SYSTEM\\iccvid.dll 0x27 ", "\\SYSTEM\\msrle32.dll 0x6 ",
        "\\SYSTEM\\msvidc32.dll 0x20 "}},
      {"the NTFS partition mounted",
       mnt,
       true,
       {"\\SYSTEM\\iccvid.dll 0x27 ", "\\SYSTEM\\msrle32.dll 0x6 ",
        "\\SYSTEM\\msvidc32.dll 0x20 "}},
  };
  for (const auto& form : forms) {
    SCOPED_TRACE(form.what);
    if (form.needsNtfs && !ntfsMade) continue;
    const RunResult run =
        RunCli("run --machine " + ShellQuote(form.machine) + " --tests loadDll", kBounded);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    for (const std::string& line : form.lines) {
      EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
    }
  }
  if (ntfsMade) Sh("umount " + mnt);
  if (!ntfsMade) GTEST_SKIP() << "NTFS cases: " << made.err;
}

// HKEY_CLASSES_ROOT of an NT installation: from Windows 2000 on, the user's UsrClass.dat
// (in the profile, where 2000/XP and Vista and later keep it) laid over the machine's
// classes, as the live system shows them; NT 4 has no user's classes. The XP-like
// machine registers AVIFile for the machine; the user's own classes rename it and add
// a WAV handler.
TEST_F(DiskMachines, UsersClassesAreLaidOverTheMachinesOnWindows2000AndLater) {
  const std::string overHere = dir_->path() + "/classes";
  const std::string described = overHere + "/described";
  Sh("mkdir -p " + described + "/c/WINDOWS/system32 && cp -a " + kExample + "/c/WINDOWS/SYSTEM/. " +
     described + "/c/WINDOWS/system32/ && cp " + kSource + "/tests/disks/winxp-like.ini " +
     described + "/machine.ini");
  const std::string users =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Classes\\AVIFile]\r\n"
      "@=\"My video clip\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Classes\\AVIFile\\Extensions\\WAV]\r\n"
      "@=\"{00020003-0000-0000-C000-000000000046}\"\r\n";
  std::ofstream(overHere + "/user.reg", std::ios::binary) << users;
  const std::string tool = kSource + "/scripts/registry-files.py";
  const std::string prefix = "'HKEY_CURRENT_USER\\Software\\Classes'";
  const std::string userClasses = overHere + "/UsrClass.dat";
  Sh("python3 " + tool + " empty-hive " + userClasses + " && python3 " + tool + " hive-reg " +
     overHere + "/merge.reg " + overHere + "/user.reg --root " + prefix + " --sorted" +
     " && hivexregedit --merge --prefix " + prefix + " " + userClasses + " " + overHere +
     "/merge.reg && regfexport " + userClasses + " >/dev/null");

  const std::string xpPlace = "Documents and Settings/Owner/Local Settings/Application Data";
  const std::string vistaPlace = "Users/Owner/AppData/Local";
  const std::string machineName = "HKCR\\AVIFile\\@ = \"Video Clip\"\n";
  const std::string userName = "HKCR\\AVIFile\\@ = \"My video clip\"\n";
  const std::string userWav = "HKCR\\AVIFile\\Extensions\\WAV\\@ = \"{00020003-";
  const std::string noWav = "AVIFile\\Extensions\\WAV - can't open key\n";
  const std::string machineVids =
      "HKCR\\AVIFile\\Compressors\\vids\\@ = \"{00020001-0000-0000-C000-000000000046}\"\n";
  const std::string machineFlags = "HKCR\\AVIFile\\EditFlags = 0x00010000\n";
  const struct {
    const char* what;
    const char* version;
    std::string place;  // where UsrClass.dat lies below the drive, or empty: none
    std::vector<std::string> shown;
    std::vector<std::string> notShown;
  } cases[] = {
      {"XP: the user's classes over the machine's",
       "5.1",
       xpPlace,
       {userName, userWav, machineVids},
       {machineName, noWav, machineFlags}},
      {"2000, the same place", "5.0", xpPlace, {userName, userWav, machineVids}, {machineName}},
      {"Vista and later: below Users",
       "6.0",
       vistaPlace,
       {userName, userWav, machineVids},
       {machineName, noWav}},
      {"NT 4: no user's classes",
       "4.0",
       xpPlace,
       {machineName, noWav, machineVids, machineFlags},
       {userName, userWav}},
      {"no UsrClass.dat: the machine's classes",
       "5.1",
       "",
       {machineName, noWav, machineVids, machineFlags},
       {userName, userWav}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string machine = overHere + "/machine" + std::to_string(n++);
    std::string registry = test::ReadFile(kSource + "/tests/disks/winxp-like.reg");
    const std::string version = "\"CurrentVersion\"=\"5.1\"";
    const size_t at = registry.find(version);
    ASSERT_NE(at, std::string::npos);
    registry.replace(at, version.size(), "\"CurrentVersion\"=\"" + std::string(c.version) + "\"");
    std::ofstream(described + "/registry.reg", std::ios::binary | std::ios::trunc) << registry;
    Sh(kSource + "/scripts/make-installation.sh " + described + " " + machine);
    if (c.place.rfind("Users/", 0) == 0) {
      Sh("mkdir -p " + machine + "/Users && mv " +
         ShellQuote(machine + "/Documents and Settings/Owner") + " " + machine + "/Users/Owner");
    }
    if (!c.place.empty()) {
      const std::string folder = machine + "/" + c.place + "/Microsoft/Windows";
      Sh("mkdir -p " + ShellQuote(folder) + " && cp " + userClasses + " " +
         ShellQuote(folder + "/UsrClass.dat"));
    }
    const RunResult run = RunCli("run --machine " + machine, kBounded);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const std::string& line : c.shown)
      EXPECT_NE(run.out.find(line), std::string::npos) << line;
    for (const std::string& line : c.notShown)
      EXPECT_EQ(run.out.find(line), std::string::npos) << line;
  }

  // A damaged UsrClass.dat is refused like any hive: exit 2, one line naming it.
  const std::string damaged = overHere + "/machine0/" + xpPlace + "/Microsoft/Windows/UsrClass.dat";
  std::string bytes = test::ReadFile(userClasses);
  bytes.replace(0, 4, "XXXX");
  std::ofstream(damaged, std::ios::binary | std::ios::trunc) << bytes;
  const RunResult bad = RunCli("run --machine " + overHere + "/machine0", kBounded);
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_EQ(bad.out, "");
  EXPECT_NE(bad.err.find("UsrClass.dat: "), std::string::npos) << bad.err;
  EXPECT_EQ(bad.err.rfind("korvane run: " + overHere + "/machine0/", 0), 0u) << bad.err;
  EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << bad.err;
}

// An XP-like installation made from the XP-like described machine, in folder below the
// suite's scratch directory.
std::string MakeXpLike(const std::string& folder) {
  const std::string described = folder + "/described";
  Sh("mkdir -p " + described + "/c/WINDOWS/system32 && cp -a " + kExample + "/c/WINDOWS/SYSTEM/. " +
     described + "/c/WINDOWS/system32/ && cp " + kSource + "/tests/disks/winxp-like.ini " +
     described + "/machine.ini && cp " + kSource + "/tests/disks/winxp-like.reg " + described +
     "/registry.reg");
  Sh(kSource + "/scripts/make-installation.sh " + described + " " + folder + "/xp");
  return folder + "/xp";
}

// A registry file in the place of another (a copy put there by hand, a restore gone wrong)
// is refused for the key it lacks, and named for what it is where that is plain, by both
// commands; so are files that are no registry file of that kind at all.
TEST_F(DiskMachines, RegistryFileInTheWrongPlaceIsRefusedForWhatItLacks) {
  const std::string here = dir_->path() + "/wrong";
  const std::string xp = MakeXpLike(here);
  const std::string w98 = here + "/w98";
  Sh("cp -a " + ShellQuote(Folder()) + " " + w98);
  const std::string tool = kSource + "/scripts/registry-files.py";
  const auto hive = [&](const std::string& name, const std::string& root, const std::string& reg) {
    const std::string path = here + "/" + name;
    std::ofstream(path + ".reg", std::ios::binary) << "Windows Registry Editor Version 5.00\r\n\r\n"
                                                   << reg;
    Sh("python3 " + tool + " hive " + path + " " + path + ".reg --root " + ShellQuote(root));
    return path;
  };
  const std::string ntuser = hive("NTUSER.DAT", "HKEY_CURRENT_USER",
                                  "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
                                  "[HKEY_CURRENT_USER\\Software\\Microsoft]\r\n");
  const std::string classes = hive(
      "UsrClass.dat", "HKEY_CURRENT_USER\\Software\\Classes",
      "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{00020000-0000-0000-C000-000000000046}]\r\n"
      "[HKEY_CURRENT_USER\\Software\\Classes\\Local Settings]\r\n");
  const std::string sam = hive("SAM", "HKEY_LOCAL_MACHINE\\SAM",
                               "[HKEY_LOCAL_MACHINE\\SAM\\SAM\\Domains\\Account\\Users]\r\n");
  const std::string bare = here + "/bare";
  Sh("python3 " + tool + " empty-hive " + bare);
  const std::string config = xp + "/WINDOWS/system32/config/";
  const std::string software = config + "SOFTWARE", system = config + "SYSTEM";
  const std::string systemDat = w98 + "/WINDOWS/SYSTEM.DAT", userDat = w98 + "/WINDOWS/USER.DAT";
  const std::string owner = xp + "/Documents and Settings/Owner/NTUSER.DAT";
  const std::string ann = w98 + "/WINDOWS/Profiles/Ann/USER.DAT";  // there only for its case
  Sh("cp " + software + " " + here + "/software.good && cp " + system + " " + here +
     "/system.good && cp " + systemDat + " " + here + "/systemdat.good && cp " + ShellQuote(owner) +
     " " + here + "/ntuser.good");
  const std::string empty = here + "/empty";
  std::ofstream(empty, std::ios::binary).flush();
  const std::string cut = here + "/cut";
  std::ofstream(cut, std::ios::binary) << test::ReadFile(software).substr(0, 0x1800);

  const std::string noNtKey =
      "not a SOFTWARE hive: it has no Microsoft\\Windows NT\\CurrentVersion key";
  const struct {
    const char* what;
    std::string machine, place, file;
    std::string says;  // after "korvane COMMAND: PLACE: "
  } cases[] = {
      {"a SYSTEM hive as SOFTWARE", xp, software, here + "/system.good",
       noNtKey + " (it looks like a SYSTEM hive)"},
      {"an NTUSER.DAT as SOFTWARE", xp, software, ntuser,
       noNtKey + " (it looks like an NTUSER.DAT)"},
      {"a UsrClass.dat as SOFTWARE", xp, software, classes,
       noNtKey + " (it looks like a user's UsrClass.dat)"},
      {"a SAM hive as SOFTWARE", xp, software, sam, noNtKey + " (it looks like a SAM hive)"},
      {"a hive with nothing in it as SOFTWARE", xp, software, bare, noNtKey},
      {"a SOFTWARE hive as SYSTEM", xp, system, here + "/software.good",
       "not a SYSTEM hive: it has no Select key (it looks like a SOFTWARE hive)"},
      {"a 9x SYSTEM.DAT as SOFTWARE", xp, software, here + "/systemdat.good",
       "a Windows 9x registry file, not an NT hive"},
      {"a SOFTWARE hive cut short", xp, software, cut,
       "cut short (6144 bytes of the " + std::to_string(test::ReadFile(software).size()) +
           " its header declares)"},
      {"an empty SOFTWARE", xp, software, empty, "empty (0 bytes), not a registry hive"},
      {"the shared USER.DAT as SYSTEM.DAT", w98, systemDat, userDat,
       "not a Windows 9x SYSTEM.DAT: it has no Software\\Microsoft\\Windows\\CurrentVersion key "
       "(it looks like the shared USER.DAT)"},
      {"an NT hive as SYSTEM.DAT", w98, systemDat, here + "/software.good",
       "an NT registry hive, not a Windows 9x registry file"},
      {"a SOFTWARE hive as the user's NTUSER.DAT", xp, owner, here + "/software.good",
       "not a user's NTUSER.DAT: it has no Software key (it looks like a SOFTWARE hive)"},
      {"a SYSTEM hive as the user's NTUSER.DAT", xp, owner, here + "/system.good",
       "not a user's NTUSER.DAT: it has no Software key (it looks like a SYSTEM hive)"},
      {"SYSTEM.DAT as the user's USER.DAT", w98, ann, here + "/systemdat.good",
       "not a user's USER.DAT (it looks like a Windows 9x SYSTEM.DAT)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Sh("mkdir -p " + ShellQuote(c.place.substr(0, c.place.rfind('/'))) + " && cp " +
       ShellQuote(c.file) + " " + ShellQuote(c.place));
    for (const char* command : {"run", "check"}) {
      const RunResult r = RunCli(std::string(command) + " --machine " + ShellQuote(c.machine) +
                                     (std::string(command) == "check" ? " x.avi" : ""),
                                 kBounded);
      EXPECT_EQ(r.exitCode, 2) << command;
      EXPECT_EQ(r.out, "") << command;
      EXPECT_EQ(r.err, std::string("korvane ") + command + ": " + c.place + ": " + c.says + "\n");
    }
    Sh("cp " + here + "/software.good " + software + " && cp " + here + "/system.good " + system +
       " && cp " + here + "/systemdat.good " + systemDat + " && cp " + here + "/ntuser.good " +
       ShellQuote(owner) + " && rm -rf " + ShellQuote(w98 + "/WINDOWS/Profiles"));
  }
  // Put back, each machine is read again.
  EXPECT_EQ(RunCli("run --machine " + ShellQuote(xp), kBounded).exitCode, 0);
  EXPECT_EQ(RunCli("run --machine " + ShellQuote(w98), kBounded).out, expected_);
}

// NT 4 keeps its profiles in the Windows directory (Profiles\NAME\NTUSER.DAT), beside the
// shared ones, which are nobody's.
TEST_F(DiskMachines, Nt4ProfilesLieInTheWindowsDirectory) {
  const std::string here = dir_->path() + "/nt4";
  const std::string nt4 = MakeXpLike(here);
  const RunResult before = RunCli("run --machine " + ShellQuote(nt4), kBounded);
  ASSERT_EQ(before.exitCode, 0) << before.err;
  const std::string profiles = nt4 + "/WINDOWS/Profiles";
  Sh("mkdir -p " + ShellQuote(profiles + "/All Users") + " " +
     ShellQuote(profiles + "/Default User") + " && mv " +
     ShellQuote(nt4 + "/Documents and Settings/Owner") + " " + ShellQuote(profiles + "/Owner") +
     " && cp " + ShellQuote(profiles + "/Owner/NTUSER.DAT") + " " +
     ShellQuote(profiles + "/Default User/NTUSER.DAT"));
  const struct {
    const char* args;
    int exitCode;
    std::string err;
  } cases[] = {
      {"", 0, "korvane run: the registry of user Owner\n"},
      {" --user owner", 0, ""},
      {" --user Bob", 2, "korvane run: no user Bob on this machine (its users: Owner)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const RunResult r = RunCli("run --machine " + ShellQuote(nt4) + c.args, kBounded);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, c.exitCode == 0 ? before.out : "");
  }
}

// Windows ME (and 98) has HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion too, holding
// Drivers32 and drivers.desc: described, and as the installation it describes, it is 9x.
TEST_F(DiskMachines, WindowsMeWithTheNtKeyIsWindows9x) {
  const std::string here = dir_->path() + "/me";
  const std::string described = here + "/described";
  Sh("mkdir -p " + here + " && cp -a " + kExample + " " + described);
  std::string registry = test::ReadFile(kExample + "/registry.reg");
  const std::string version = "\"VersionNumber\"=\"4.10.2222\"";
  const size_t at = registry.find(version);
  ASSERT_NE(at, std::string::npos);
  registry.replace(at, version.size(), "\"VersionNumber\"=\"4.90.3000\"");
  registry +=
      "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32]\r\n"
      "\"msacm.imaadpcm\"=\"imaadp32.acm\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc]\r\n"
      "\"imaadp32.acm\"=\"Microsoft IMA ADPCM CODEC\"\r\n";
  std::ofstream(described + "/registry.reg", std::ios::binary | std::ios::trunc) << registry;
  Sh(kSource + "/scripts/make-installation.sh " + described + " " + here + "/installed");
  const std::string firstLine =
      "GetVersionEx() reports: ver. 4.90, build 0x45A0BB8 (3000), platform 1 (Win9x), \" A \"\n";
  const RunResult asDescribed = RunCli("run --machine " + ShellQuote(described), kBounded);
  EXPECT_EQ(asDescribed.exitCode, 0) << asDescribed.err;
  EXPECT_EQ(asDescribed.out.rfind(firstLine, 0), 0u) << asDescribed.out.substr(0, 200);
  const RunResult installed = RunCli("run --machine " + ShellQuote(here + "/installed"), kBounded);
  EXPECT_EQ(installed.exitCode, 0) << installed.err;
  EXPECT_EQ(installed.out, asDescribed.out);
  EXPECT_TRUE(test::ReadFile(here + "/installed/WINDOWS/SYSTEM.DAT").rfind("CREG", 0) == 0);
}

}  // namespace
}  // namespace korvane
