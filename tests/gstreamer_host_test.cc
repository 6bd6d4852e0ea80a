// The host's GStreamer through korvane-gstreamer.so: which element decodes a stream or what
// to install, with plugin folders a case chooses (so that a host without a decoder is
// tested on one that has it), where the module is found, and the views whose GStreamer
// korvane cannot load.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/gstreamer_module.h"
#include "tests/test_support.h"

namespace korvane {
namespace {

using test::RunCommand;
using test::RunResult;
using test::ShellQuote;

const std::string kPluginDir = KORVANE_GST_PLUGIN_DIR;

// The plugins a case may choose from, and the package each comes in.
const std::map<std::string, const char*> kPlugins = {
    {"libgstavi.so", "gstreamer1.0-plugins-good"},
    {"libgstjpeg.so", "gstreamer1.0-plugins-good"},
    {"libgstmpg123.so", "gstreamer1.0-plugins-good"},
    {"libgstlibav.so", "gstreamer1.0-libav"},
};

// Why the host cannot run these tests, "" when it can.
std::string MissingPlugins() {
  std::string missing;
  for (const auto& [file, package] : kPlugins) {
    if (!std::filesystem::exists(kPluginDir + "/" + file))
      missing += " " + kPluginDir + "/" + file + " (" + package + ")";
  }
  return missing.empty() ? "" : "GStreamer's plugins are not installed:" + missing;
}

// A plugin folder holding the chosen plugins only, and a registry of its own.
struct ChosenPlugins {
  test::ScratchDir scratch;
  std::string environment;

  explicit ChosenPlugins(const std::vector<std::string>& files) {
    const std::string folder = scratch.path() + "/plugins";
    std::filesystem::create_directories(folder);
    for (const std::string& file : files)
      std::filesystem::create_symlink(kPluginDir + "/" + file, folder + "/" + file);
    environment = "env -u GST_PLUGIN_PATH GST_PLUGIN_PATH_1_0= GST_PLUGIN_SYSTEM_PATH_1_0=" +
                  ShellQuote(folder) +
                  " GST_REGISTRY_1_0=" + ShellQuote(scratch.path() + "/registry.bin") + " ";
  }
};

// gstreamer-ask's answer to each question, by question.
std::map<std::string, std::vector<std::string>> Ask(const std::string& command,
                                                    const std::vector<std::string>& questions) {
  std::string line = command + " 64";
  for (const std::string& question : questions) line += " " + ShellQuote(question);
  const RunResult result = RunCommand(line);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::map<std::string, std::vector<std::string>> answers;
  for (const std::string& output : test::SplitLines(result.out)) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = output.find('\t', start)) != std::string::npos; start = tab + 1)
      fields.push_back(output.substr(start, tab - start));
    fields.push_back(output.substr(start));
    answers[fields[0]] = std::vector<std::string>(fields.begin() + 1, fields.end());
  }
  return answers;
}

TEST(GstreamerHost, NamesTheDecoderOrWhatToInstallForEachStream) {
  const std::string missing = MissingPlugins();
  if (!missing.empty()) GTEST_SKIP() << missing;
  const struct {
    std::string question;
    std::string capsStart;  // what the caps begin with
    // The answer with the AVI demuxer, JPEG, mpg123 and libav; with the AVI demuxer only;
    // with no plugin at all.
    std::string full, demuxerOnly, none;
  } cases[] = {
      {"demuxer", "", "avidemux", "avidemux", ""},
      {"video:MJPG", "image/jpeg, parsed=(boolean)true", "element jpegdec", "missing JPEG decoder",
       "missing JPEG decoder"},
      {"video:XVID", "video/mpeg, mpegversion=(int)4, systemstream=(boolean)false",
       "element avdec_mpeg4", "missing MPEG-4 Video decoder", "missing MPEG-4 Video decoder"},
      {"video:H264", "video/x-h264, variant=(string)itu", "element avdec_h264",
       "missing ITU H.264 decoder", "missing ITU H.264 decoder"},
      {"video:cvid", "video/x-cinepak", "element avdec_cinepak", "missing Cinepak Video decoder",
       "missing Cinepak Video decoder"},
      // mpg123 and libav both take MP3 at the same rank: the name decides, as in decodebin.
      {"audio:0x0055", "audio/mpeg, mpegversion=(int)1, layer=(int)3", "element avdec_mp3",
       "missing MPEG-1 Layer 3 (MP3) decoder", "missing MPEG-1 Layer 3 (MP3) decoder"},
      // Uncompressed samples play without a decoder, with or without plugins.
      {"audio:0x0001", "audio/x-raw, format=(string){ S8, U8, S16LE", "raw", "raw", "raw"},
      {"video:YUY2", "video/x-raw, format=(string)YUY2", "raw", "raw", "raw"},
      {"video:DIB ", "video/x-raw, format=(string){ RGB8P, BGR, BGRx }", "raw", "raw", "raw"},
      // FourCCs and tags GStreamer has no caps for: nothing would decode them.
      {"video:KVDN", "", "unknown", "unknown", "unknown"},
      {"audio:0x1234", "", "unknown", "unknown", "unknown"},
  };
  std::vector<std::string> questions;
  for (const auto& c : cases) questions.push_back(c.question);
  const std::string ask = ShellQuote(KORVANE_GSTREAMER_ASK);
  ChosenPlugins full({"libgstavi.so", "libgstjpeg.so", "libgstmpg123.so", "libgstlibav.so"});
  ChosenPlugins demuxerOnly({"libgstavi.so"});
  ChosenPlugins none({});
  const auto fullAnswers = Ask(full.environment + ask, questions);
  const auto demuxerOnlyAnswers = Ask(demuxerOnly.environment + ask, questions);
  const auto noneAnswers = Ask(none.environment + ask, questions);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.question);
    const std::pair<const std::map<std::string, std::vector<std::string>>*, std::string>
        expected[] = {
            {&fullAnswers, c.full}, {&demuxerOnlyAnswers, c.demuxerOnly}, {&noneAnswers, c.none}};
    for (const auto& [answers, answer] : expected) {
      ASSERT_EQ(answers->count(c.question), 1u);
      const std::vector<std::string>& fields = answers->at(c.question);
      ASSERT_FALSE(fields.empty());
      EXPECT_EQ(fields[0], answer);
      if (c.question == "demuxer") continue;
      ASSERT_EQ(fields.size(), 2u);
      EXPECT_EQ(fields[1].compare(0, c.capsStart.size(), c.capsStart), 0) << fields[1];
      EXPECT_EQ(fields[1].empty(), c.capsStart.empty()) << fields[1];
    }
  }
}

// gstreamer-ask copied into a scratch folder's bin/, with the module (or something in its
// place) where a case puts it: a loaded module answers, one that cannot be loaded is named.
TEST(GstreamerHost, ModuleIsFoundBesideTheProgramOrInItsLibraryFolderAndNamedWhenMissing) {
  const std::string installed = KORVANE_MODULE_INSTALL_DIR "/korvane-gstreamer.so";
  const std::string beside = "bin/korvane-gstreamer.so";
  const std::string loaded = "demuxer\tavidemux\n";
  const struct {
    const char* name;
    std::string moduleAt;  // relative to the scratch folder; empty: nowhere
    bool realModule;       // else a text file in its place
    std::string besideAlso;
    std::string out;
    std::string err;  // "ROOT" stands for the scratch folder
  } cases[] = {
      {"as a build folder has it", beside, true, "", loaded, ""},
      {"as the package installs it", installed, true, "", loaded, ""},
      {"beside the program first", installed, false, beside, loaded, ""},
      {"nowhere", "", true, "", "",
       "gstreamer-ask: asking the host's GStreamer needs korvane-gstreamer.so and GStreamer "
       "(ROOT/" +
           installed + " is missing)\n"},
      {"not a shared object", installed, false, "", "",
       "gstreamer-ask: asking the host's GStreamer needs korvane-gstreamer.so and GStreamer "
       "(ROOT/" +
           installed + ": "},
  };
  const std::string missing = MissingPlugins();
  const ChosenPlugins demuxerOnly(missing.empty() ? std::vector<std::string>{"libgstavi.so"}
                                                  : std::vector<std::string>{});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.out.empty() && !missing.empty()) {
      std::cout << "not run without the plugins: " << c.name << "\n";
      continue;
    }
    test::ScratchDir scratch;
    const std::string root = std::filesystem::canonical(scratch.path()).string();
    const std::string ask =
        scratch.Write("bin/gstreamer-ask", test::ReadFile(KORVANE_GSTREAMER_ASK));
    ASSERT_EQ(RunCommand("chmod +x " + ShellQuote(ask)).exitCode, 0);
    const std::string module = test::ReadFile(KORVANE_GSTREAMER_MODULE_FILE);
    if (!c.moduleAt.empty()) scratch.Write(c.moduleAt, c.realModule ? module : "not a module");
    if (!c.besideAlso.empty()) scratch.Write(c.besideAlso, module);

    const RunResult result = RunCommand(demuxerOnly.environment + ShellQuote(ask) + " 64 demuxer");
    std::string err = c.err;
    const size_t rootAt = err.find("ROOT");
    if (rootAt != std::string::npos) err.replace(rootAt, 4, root);
    EXPECT_EQ(result.exitCode, c.out.empty() ? 1 : 0);
    EXPECT_EQ(result.out, c.out);
    if (!err.empty() && err.back() == ' ') {
      // The loader's own reason follows, in its words, on the same line.
      EXPECT_EQ(result.err.compare(0, err.size(), err), 0) << result.err;
      EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    } else {
      EXPECT_EQ(result.err, err);
    }
  }
}

// A GStreamer of another view than korvane's own cannot be loaded into korvane: it is only
// looked for, by the ELF class of its library, and the answer says which it found.
TEST(GstreamerHost, AViewOfOtherBitsIsLookedForNotLoaded) {
  if (sizeof(void*) != 8) GTEST_SKIP() << "the cases are written for a 64-bit korvane";
  const std::string elf32 = std::string("\177ELF\1\1\1", 7) + std::string(57, '\0');
  const std::string elf64 = std::string("\177ELF\2\1\1", 7) + std::string(57, '\0');
  const std::string library = "libgstreamer-1.0.so.0";
  const struct {
    const char* name;
    int viewBits;
    std::string inFirst, inSecond;  // the library in each folder; empty: none there
    std::string reason;             // "FIRST" and "SECOND" stand for the folders
  } cases[] = {
      {"a 32-bit library in the second folder", 32, "", elf32,
       "the 32-bit Wine has the GStreamer of SECOND/" + library +
           ", which a 64-bit korvane cannot load to ask"},
      {"the first of two", 32, elf32, elf32,
       "the 32-bit Wine has the GStreamer of FIRST/" + library +
           ", which a 64-bit korvane cannot load to ask"},
      {"a 64-bit library only", 32, elf64, "",
       "the 32-bit Wine has no GStreamer here (no 32-bit " + library + " in FIRST, SECOND)"},
      {"none", 32, "", "",
       "the 32-bit Wine has no GStreamer here (no 32-bit " + library + " in FIRST, SECOND)"},
      {"not an ELF file", 32, "INPUT(libgstreamer-1.0.so.0.2200.0)\n", "",
       "the 32-bit Wine has no GStreamer here (no 32-bit " + library + " in FIRST, SECOND)"},
      {"an ELF header cut short", 32, elf32.substr(0, 4), "",
       "the 32-bit Wine has no GStreamer here (no 32-bit " + library + " in FIRST, SECOND)"},
      {"no such view", 16, elf32, elf64, "a view has 32 or 64 bits, not 16"},
      {"no view at all", 0, "", "", "a view has 32 or 64 bits, not 0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::ScratchDir scratch;
    const std::string first = scratch.path() + "/first";
    const std::string second = scratch.path() + "/second";
    std::filesystem::create_directories(first);
    std::filesystem::create_directories(second);
    if (!c.inFirst.empty()) scratch.Write("first/" + library, c.inFirst);
    if (!c.inSecond.empty()) scratch.Write("second/" + library, c.inSecond);
    std::string reason = c.reason;
    for (const auto& [word, folder] : {std::pair{"FIRST", first}, std::pair{"SECOND", second}}) {
      const size_t at = reason.find(word);
      if (at != std::string::npos) reason.replace(at, std::string(word).size(), folder);
    }
    std::string whyNot = "not said";
    EXPECT_EQ(OpenGstreamerOfView(c.viewBits, {first, second}, &whyNot), nullptr);
    EXPECT_EQ(whyNot, reason);
  }
}

}  // namespace
}  // namespace korvane
