// The DirectShow filter registrations read through a System: each filter's role from its
// pins, its server library asked once however many filters share it, and each way a
// registration is broken said in words.
#include "diag/playback_registrations.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/fake_system.h"
#include "tests/test_support.h"

namespace korvane {
namespace {

using test::FakeSystem;
using test::GuidBytes;

const char kVideo[] = "{73646976-0000-0010-8000-00AA00389B71}";
const char kXvid[] = "{44495658-0000-0010-8000-00AA00389B71}";
const char kStream[] = "{E436EB83-524F-11CE-9F53-0020AF0BA770}";
const char kAvi[] = "{E436EB88-524F-11CE-9F53-0020AF0BA770}";
const char kNull[] = "{00000000-0000-0000-0000-000000000000}";

struct Pin {
  bool output;
  std::string major;
  std::string minor;
};

// A version 2 FilterData: one media type a pin, the GUIDs after the pins.
std::vector<uint8_t> FilterDataOf(uint32_t merit, const std::vector<Pin>& pins) {
  std::vector<uint8_t> bytes;
  auto dword = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  for (uint32_t v : {2u, merit, static_cast<uint32_t>(pins.size()), 0u}) dword(v);
  const uint32_t guids = static_cast<uint32_t>(16 + 40 * pins.size());
  for (size_t i = 0; i < pins.size(); ++i) {
    const uint32_t at = guids + static_cast<uint32_t>(32 * i);
    for (uint32_t v : {0x33697030u, pins[i].output ? 8u : 0u, 1u, 1u, 0u, 0u}) dword(v);
    for (uint32_t v : {0x33797430u, 0u, at, at + 16}) dword(v);
  }
  for (const Pin& pin : pins) {
    for (const std::string& guid : {pin.major, pin.minor}) {
      const std::vector<uint8_t> raw = GuidBytes(guid);
      bytes.insert(bytes.end(), raw.begin(), raw.end());
    }
  }
  return bytes;
}

std::vector<uint8_t> Text(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end() + 1);  // with its zero
}

struct FilterCase {
  const char* name;
  std::string clsid;
  bool withFilterData;
  std::vector<Pin> pins;
  // The server: "" none (no CLSID key), "-" the key without a default value, else its value.
  std::string server;
  FilterRole role;
  std::vector<std::string> broken;
};

void Register(FakeSystem* system, const FilterCase& c) {
  const std::string instance =
      std::string("CLSID\\") + kLegacyFilterCategory + "\\Instance\\" + c.clsid;
  MemoryRegistry::Key* key = system->registry.CreateKey(RootKey::kClassesRoot, instance);
  MemoryRegistry::SetValue(key, "FriendlyName", kRegSz, Text(c.name));
  if (c.withFilterData) {
    MemoryRegistry::SetValue(key, "FilterData", kRegBinary, FilterDataOf(0x600000, c.pins));
  }
  if (c.server.empty()) return;
  MemoryRegistry::Key* server =
      system->registry.CreateKey(RootKey::kClassesRoot, "CLSID\\" + c.clsid + "\\InprocServer32");
  if (c.server != "-") MemoryRegistry::SetValue(server, "", kRegSz, Text(c.server));
}

TEST(PlaybackRegistrations, EachFiltersRoleAndWhatIsBroken) {
  const std::vector<FilterCase> cases = {
      {"Decoder",
       "{00000001-0000-0000-0000-000000000000}",
       true,
       {{false, kVideo, kXvid}, {true, kVideo, kNull}},
       "quartz.dll",
       FilterRole::kDecoder,
       {}},
      {"Splitter",
       "{00000002-0000-0000-0000-000000000000}",
       true,
       {{false, kStream, kAvi}, {true, kVideo, kNull}},
       "quartz.dll",
       FilterRole::kSplitter,
       {}},
      {"Source",
       "{00000003-0000-0000-0000-000000000000}",
       true,
       {{true, kStream, kNull}},
       "quartz.dll",
       FilterRole::kSource,
       {}},
      {"Renderer",
       "{00000004-0000-0000-0000-000000000000}",
       true,
       {{false, kVideo, kNull}},
       "quartz.dll",
       FilterRole::kOther,
       {}},
      {"No FilterData",
       "{00000005-0000-0000-0000-000000000000}",
       false,
       {},
       "quartz.dll",
       FilterRole::kOther,
       {"no FilterData: the graph builder cannot match its pins"}},
      {"No server",
       "{00000006-0000-0000-0000-000000000000}",
       true,
       {{false, kVideo, kNull}},
       "",
       FilterRole::kOther,
       {"CLSID {00000006-0000-0000-0000-000000000000} has no InprocServer32"}},
      {"Empty server",
       "{00000007-0000-0000-0000-000000000000}",
       true,
       {{false, kVideo, kNull}},
       "-",
       FilterRole::kOther,
       {"InprocServer32 of {00000007-0000-0000-0000-000000000000} names no library"}},
      {"Missing library",
       "{00000008-0000-0000-0000-000000000000}",
       true,
       {{false, kVideo, kXvid}, {true, kVideo, kNull}},
       "C:\\Program Files\\x\\gone.ax",
       FilterRole::kDecoder,
       {"library C:\\Program Files\\x\\gone.ax is missing"}},
      {"Failing library",
       "{00000009-0000-0000-0000-000000000000}",
       true,
       {{false, kVideo, kXvid}, {true, kVideo, kNull}},
       "broken.ax",
       FilterRole::kDecoder,
       {"library broken.ax does not load: it needs MSVCP60.DLL"}},
  };
  FakeSystem system;
  system.AddSystemLibrary("quartz.dll");
  system.AddBrokenLibrary("broken.ax", "it needs MSVCP60.DLL");
  for (const FilterCase& c : cases) Register(&system, c);

  const PlaybackRegistrations found = ReadPlaybackRegistrations(
      system, [&system](const std::string& path) { return ProbeLibraryFacts(system, path); });
  ASSERT_EQ(found.filters.size(), cases.size());
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(c.name);
    const DirectShowFilter* filter = nullptr;
    for (const DirectShowFilter& each : found.filters) {
      if (each.name == c.name) filter = &each;
    }
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->server.clsid, c.clsid);
    EXPECT_EQ(FilterRoleName(filter->role), std::string(FilterRoleName(c.role)));
    EXPECT_EQ(filter->broken, c.broken);
    EXPECT_EQ(filter->filterDataParsed, c.withFilterData);
    if (c.withFilterData) {
      EXPECT_EQ(filter->merit, 0x600000u);
    }
  }
  // Four filters share quartz.dll: it is searched for and loaded once.
  size_t quartzLoads = 0;
  for (const std::string& path : system.loadAttempts) {
    quartzLoads += path == "C:\\WINDOWS\\SYSTEM\\quartz.dll" ? 1 : 0;
  }
  EXPECT_EQ(quartzLoads, 1u);
  EXPECT_EQ(system.loadedLibraries, 0u);
  EXPECT_TRUE(found.dmos.empty());
  EXPECT_FALSE(found.hasMediaFoundation);
}

TEST(PlaybackRegistrations, ServerLibraryPathAsTheLoaderFindsIt) {
  const struct {
    const char* registered;
    const char* systemDirectory;
    const char* path;
  } cases[] = {
      {"quartz.dll", "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM\\quartz.dll"},
      {"%SystemRoot%\\System32\\quartz.dll", "C:\\WINDOWS\\system32",
       "C:\\WINDOWS\\System32\\quartz.dll"},
      {"%systemroot%\\x.ax", "C:\\WINDOWS\\system32", "C:\\WINDOWS\\x.ax"},
      {"%windir%\\system32\\x.ax", "C:\\WINDOWS\\system32", "C:\\WINDOWS\\system32\\x.ax"},
      // A 32-bit program on a 64-bit machine: system32 is redirected to its own folder.
      {"C:\\WINDOWS\\system32\\x.ax", "C:\\WINDOWS\\syswow64", "C:\\WINDOWS\\syswow64\\x.ax"},
      {"c:\\windows\\SYSTEM32\\x.ax", "C:\\WINDOWS\\syswow64", "C:\\WINDOWS\\syswow64\\x.ax"},
      {"C:\\WINDOWS\\system32x\\x.ax", "C:\\WINDOWS\\syswow64", "C:\\WINDOWS\\system32x\\x.ax"},
      {"C:\\WINDOWS\\syswow64\\x.ax", "C:\\WINDOWS\\syswow64", "C:\\WINDOWS\\syswow64\\x.ax"},
      {"D:\\Codecs\\x.ax", "C:\\WINDOWS\\SYSTEM", "D:\\Codecs\\x.ax"},
      {"\"D:\\Codecs\\x.ax\"", "C:\\WINDOWS\\SYSTEM", "D:\\Codecs\\x.ax"},
      {"%ProgramFiles%\\x.ax", "C:\\WINDOWS\\SYSTEM", "%ProgramFiles%\\x.ax"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ServerLibraryPath(c.registered, "C:\\WINDOWS", c.systemDirectory), c.path)
        << c.registered;
  }
}

}  // namespace
}  // namespace korvane
