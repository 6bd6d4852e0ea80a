// The disk-image reader as a module: korvane starts without The Sleuth Kit and the
// libraries it pulls in (nor GStreamer, which a module of its own links), finds the module
// where a build folder or the package puts it, and says what is missing when it cannot
// load it.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace korvane {
namespace {

using test::RunCommand;
using test::RunResult;
using test::ShellQuote;

const std::string kModule = KORVANE_IMAGE_MODULE_FILE;

// The file names of the libraries the dynamic loader brings in for a binary: what it
// needs and what those need in turn, as ldd lists them.
std::vector<std::string> LoadedLibraries(const std::string& binary) {
  const RunResult listed = RunCommand("ldd " + ShellQuote(binary));
  EXPECT_EQ(listed.exitCode, 0) << listed.err;
  std::vector<std::string> names;
  for (const std::string& line : test::SplitLines(listed.out)) {
    const size_t start = line.find_first_not_of(" \t");
    if (start != std::string::npos)
      names.push_back(line.substr(start, line.find(' ', start) - start));
  }
  return names;
}

bool Loads(const std::vector<std::string>& libraries, const std::string& prefix) {
  for (const std::string& name : libraries) {
    if (name.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

TEST(ImageReaderModule, TheImageLibrariesLoadWithTheModuleOnly) {
  const struct {
    std::string binary;
    const char* library;
    bool loaded;
  } cases[] = {
      // Each of these costs every command's start, before main, whether it reads an
      // image or not.
      {KORVANE_CLI, "libtsk.so", false},
      {KORVANE_CLI, "libvhdi.so", false},
      {KORVANE_CLI, "libvmdk.so", false},
      {KORVANE_CLI, "libewf.so", false},
      {KORVANE_CLI, "libafflib.so", false},
      {KORVANE_CLI, "libcurl.so", false},
      {KORVANE_CLI, "libsqlite3.so", false},
      {KORVANE_CLI, "libgnutls.so", false},
      // The registry readers are small and stay linked.
      {KORVANE_CLI, "libhivex.so", true},
      {KORVANE_CLI, "libcreg.so", true},
      {kModule, "libtsk.so", true},
      {kModule, "libvhdi.so", true},
#ifdef KORVANE_GSTREAMER_MODULE_FILE
      // GStreamer and GLib come with the module that asks GStreamer, and only with it.
      {KORVANE_CLI, "libgstreamer-1.0.so", false},
      {KORVANE_CLI, "libgstriff-1.0.so", false},
      {KORVANE_CLI, "libgstpbutils-1.0.so", false},
      {KORVANE_CLI, "libglib-2.0.so", false},
      {KORVANE_CLI, "libgobject-2.0.so", false},
      {kModule, "libgstreamer-1.0.so", false},
      {KORVANE_GSTREAMER_MODULE_FILE, "libgstreamer-1.0.so", true},
      {KORVANE_GSTREAMER_MODULE_FILE, "libgstriff-1.0.so", true},
      {KORVANE_GSTREAMER_MODULE_FILE, "libgstpbutils-1.0.so", true},
      {KORVANE_GSTREAMER_MODULE_FILE, "libtsk.so", false},
#endif
  };
  std::map<std::string, std::vector<std::string>> libraries;
  for (const auto& c : cases) {
    if (libraries.count(c.binary) == 0) libraries[c.binary] = LoadedLibraries(c.binary);
    EXPECT_EQ(Loads(libraries[c.binary], c.library), c.loaded) << c.binary << " and " << c.library;
  }
}

// korvane copied into a scratch folder's bin/, with the module (or something in its place)
// where a case puts it, run on a file too small to be an image: a loaded reader refuses it
// for that, a reader that cannot be loaded is named instead.
TEST(ImageReaderModule, IsFoundBesideKorvaneOrInItsLibraryFolderAndNamedWhenMissing) {
  const std::string installed = KORVANE_MODULE_INSTALL_DIR "/korvane-disk-images.so";
  const std::string beside = "bin/korvane-disk-images.so";
  const struct {
    const char* name;
    std::string moduleAt;  // relative to the scratch folder; empty: nowhere
    bool realModule;       // else a text file in its place
    std::string besideAlso;
    std::string message;  // after "korvane run: IMAGE: "
  } cases[] = {
      {"as a build folder has it", beside, true, "",
       "not a disk image (12 bytes, less than one sector)"},
      {"as the package installs it", installed, true, "",
       "not a disk image (12 bytes, less than one sector)"},
      {"beside korvane first", installed, false, beside,
       "not a disk image (12 bytes, less than one sector)"},
      {"nowhere", "", true, "",
       "reading disk images needs korvane-disk-images.so and The Sleuth Kit (ROOT/" + installed +
           " is missing)"},
      {"not a shared object", installed, false, "",
       "reading disk images needs korvane-disk-images.so and The Sleuth Kit (ROOT/" + installed +
           ": "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::ScratchDir scratch;
    // As korvane sees its own folder: with every link resolved.
    const std::string root = std::filesystem::canonical(scratch.path()).string();
    const std::string korvane = scratch.Write("bin/korvane", test::ReadFile(KORVANE_CLI));
    ASSERT_EQ(RunCommand("chmod +x " + ShellQuote(korvane)).exitCode, 0);
    if (!c.moduleAt.empty()) {
      scratch.Write(c.moduleAt, c.realModule ? test::ReadFile(kModule) : "not a module");
    }
    if (!c.besideAlso.empty()) scratch.Write(c.besideAlso, test::ReadFile(kModule));
    const std::string image = scratch.Write("machine.img", std::string(12, 'x'));

    const RunResult result =
        RunCommand(ShellQuote(korvane) + " run --machine " + ShellQuote(image));
    std::string expected = "korvane run: " + image + ": " + c.message;
    const size_t rootAt = expected.find("ROOT");
    if (rootAt != std::string::npos) expected.replace(rootAt, 4, root);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    if (expected.back() == ' ') {
      // The loader's own reason follows, in its words, on the same line.
      EXPECT_EQ(result.err.compare(0, expected.size(), expected), 0) << result.err;
      EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    } else {
      EXPECT_EQ(result.err, expected + "\n");
    }
  }
}

}  // namespace
}  // namespace korvane
