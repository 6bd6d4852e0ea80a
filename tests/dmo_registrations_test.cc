// Reading the DMO registrations (and so the transforms, read alike) as their registering calls
// write them: the category and object keys by bare GUIDs in either case, or braced.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/playback_registrations.h"
#include "tests/fake_system.h"
#include "tests/test_support.h"

namespace korvane {
namespace {

const char kMp3Dmo[] = "{BBEEA841-0A63-4F52-A7AB-A9B3A84ED38A}";
const char kMp3Input[] = "{00000055-0000-0010-8000-00AA00389B71}";
const char kAudio[] = "{73647561-0000-0010-8000-00AA00389B71}";

using test::GuidBytes;

struct Spelling {
  const char* what;
  std::string category;  // the audio decoder category's key name
  std::string object;    // the DMO's key name, under the category and the objects
};

TEST(PlaybackRegistrations, DecoderDmosUnderEveryKeySpelling) {
  const Spelling spellings[] = {
      {"bare lower case, as DMORegister writes", "57f2db8b-e6bb-4513-9d43-dcd2a6593125",
       "bbeea841-0a63-4f52-a7ab-a9b3a84ed38a"},
      {"bare upper case", "57F2DB8B-E6BB-4513-9D43-DCD2A6593125",
       "BBEEA841-0A63-4F52-A7AB-A9B3A84ED38A"},
      {"braced", "{57F2DB8B-E6BB-4513-9D43-DCD2A6593125}", kMp3Dmo},
  };
  for (const Spelling& spelling : spellings) {
    SCOPED_TRACE(spelling.what);
    test::FakeSystem system;
    MemoryRegistry& registry = system.registry;
    const std::string base = "DirectShow\\MediaObjects\\";
    registry.CreateKey(RootKey::kClassesRoot,
                       base + "Categories\\" + spelling.category + "\\" + spelling.object);
    MemoryRegistry::Key* dmo = registry.CreateKey(RootKey::kClassesRoot, base + spelling.object);
    MemoryRegistry::SetString(dmo, "", "MP3 Decoder DMO");
    std::vector<uint8_t> pair = GuidBytes(kAudio);
    const std::vector<uint8_t> subtype = GuidBytes(kMp3Input);
    pair.insert(pair.end(), subtype.begin(), subtype.end());
    MemoryRegistry::SetValue(dmo, "InputTypes", kRegBinary, pair);
    MemoryRegistry::Key* server = registry.CreateKey(
        RootKey::kClassesRoot, std::string("CLSID\\") + kMp3Dmo + "\\InprocServer32");
    MemoryRegistry::SetString(server, "", "msmp3dmod.dll");
    system.AddSystemLibrary("msmp3dmod.dll");

    const PlaybackRegistrations found = ReadPlaybackRegistrations(system, [](const std::string&) {
      LibraryFacts facts;
      facts.found = facts.loads = true;
      return facts;
    });
    ASSERT_EQ(found.dmos.size(), 1u);
    const MediaTransform& read = found.dmos[0];
    EXPECT_EQ(read.name, "MP3 Decoder DMO");
    EXPECT_EQ(read.server.clsid, kMp3Dmo);
    EXPECT_TRUE(read.server.hasServer);
    EXPECT_EQ(read.server.library, "msmp3dmod.dll");
    EXPECT_TRUE(read.audioDecoder);
    EXPECT_FALSE(read.videoDecoder);
    EXPECT_EQ(read.categories.size(), 1u);
    ASSERT_EQ(read.inputs.size(), 1u);
    EXPECT_EQ(read.inputs[0].majorType, kAudio);
    EXPECT_EQ(read.inputs[0].subType, kMp3Input);
    EXPECT_TRUE(read.broken.empty()) << read.broken[0];
  }
}

}  // namespace
}  // namespace korvane
