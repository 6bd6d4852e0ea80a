// The settings key: defaults on first start, the 255-byte bound, foreign types, refusals.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include "tests/fake_system.h"

namespace korvane::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;

const Names kEightNames = {"OpenDir", "SaveDir", "ExportDir", "mru1",
                           "mru2",    "mru3",    "mru4",      "mru5"};

Bytes Text(const std::string& text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  void TearDown() override { EXPECT_EQ(system.registry.OpenHandleCount(), 0u); }

  MemoryRegistry::Key* Key() {
    return system.registry.CreateKey(RootKey::kCurrentUser, kSettingsKeyPath);
  }
  const MemoryRegistry::Value& Stored(const std::string& name) {
    const MemoryRegistry::Value* value = MemoryRegistry::FindValue(Key(), name);
    EXPECT_NE(value, nullptr) << name;
    static const MemoryRegistry::Value kMissing;
    return value != nullptr ? *value : kMissing;
  }

  FakeSystem system;
};

TEST_F(SettingsTest, FirstStartStoresTheEightDefaultsAndExitWritesThemAgain) {
  LoadSettings(system);
  EXPECT_EQ(system.valuesSet, kEightNames);
  for (const std::string& name : kEightNames) {
    EXPECT_EQ(Stored(name).type, kRegSz);
    EXPECT_EQ(Stored(name).data, name[0] == 'm' ? Bytes{0} : Bytes({'c', ':', '\\', 0})) << name;
  }
  const SettingsValues loaded = CurrentSettings();
  EXPECT_EQ(loaded.openDir, "c:\\");
  EXPECT_EQ(loaded.exportDir, "c:\\");
  EXPECT_EQ(loaded.recentFiles[4], "");

  system.valuesSet.clear();
  SaveSettings(system);
  EXPECT_EQ(system.valuesSet, kEightNames);
  EXPECT_EQ(Stored("SaveDir").data, Text("c:\\"));
}

TEST_F(SettingsTest, ValuesThatDoNotFit255BytesAreReplacedByTheirDefault) {
  MemoryRegistry::SetString(Key(), "mru3", std::string(300, 'm'));
  MemoryRegistry::SetString(Key(), "OpenDir", std::string(254, 'o'));
  MemoryRegistry::SetString(Key(), "ExportDir", std::string(255, 'e'));
  LoadSettings(system);
  EXPECT_EQ(CurrentSettings().openDir, std::string(254, 'o'));
  EXPECT_EQ(CurrentSettings().exportDir, "c:\\");
  EXPECT_EQ(CurrentSettings().recentFiles[2], "");
  EXPECT_EQ(Stored("mru3").data, Bytes{0});
  EXPECT_EQ(Stored("ExportDir").data, Text("c:\\"));
  EXPECT_EQ(std::count(system.valuesSet.begin(), system.valuesSet.end(), "OpenDir"), 0);

  SaveSettings(system);
  EXPECT_EQ(Stored("OpenDir").data, Text(std::string(254, 'o')));
  EXPECT_EQ(Stored("mru3").data, Bytes{0});
}

TEST_F(SettingsTest, DataOfAnotherTypeIsTakenByteForByteAndSavedAsText) {
  MemoryRegistry::SetDword(Key(), "SaveDir", 0x41);
  MemoryRegistry::SetValue(Key(), "mru1", kRegBinary, Bytes{'a', 'b', 0, 'z'});
  LoadSettings(system);
  EXPECT_EQ(CurrentSettings().saveDir, "A");
  EXPECT_EQ(CurrentSettings().recentFiles[0], "ab");
  EXPECT_EQ(Stored("SaveDir").type, kRegDword);  // nothing stored at start-up

  SaveSettings(system);
  EXPECT_EQ(Stored("SaveDir").type, kRegSz);
  EXPECT_EQ(Stored("SaveDir").data, Text("A"));
  EXPECT_EQ(Stored("mru1").data, Text("ab"));
}

TEST_F(SettingsTest, AKeyThatCannotBeCreatedLoadsAndWritesNothing) {
  system.registry.RefuseCreate(RootKey::kCurrentUser);
  LoadSettings(system);
  EXPECT_EQ(CurrentSettings().openDir, "");
  SaveSettings(system);
  EXPECT_TRUE(system.valuesSet.empty());
  EXPECT_EQ(system.registry.FindKey(RootKey::kCurrentUser, kSettingsKeyPath), nullptr);

  FakeSystem later;  // creation works again at exit: the empty texts are stored
  SaveSettings(later);
  EXPECT_EQ(later.valuesSet, kEightNames);
  const auto* key = later.registry.FindKey(RootKey::kCurrentUser, kSettingsKeyPath);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(MemoryRegistry::FindValue(key, "OpenDir")->data, Bytes{0});
  EXPECT_EQ(later.registry.OpenHandleCount(), 0u);
}

TEST_F(SettingsTest, OtherValuesOfTheKeyAreLeftAlone) {
  MemoryRegistry::SetString(Key(), "mru6", "keep");
  MemoryRegistry::SetDword(Key(), "Window", 7);
  LoadSettings(system);
  SaveSettings(system);
  EXPECT_EQ(Key()->values.front().name, "mru6");
  EXPECT_EQ(Stored("mru6").data, Text("keep"));
  EXPECT_EQ(Stored("Window").data, Bytes({7, 0, 0, 0}));
  EXPECT_EQ(Key()->values.size(), 10u);
}

}  // namespace
}  // namespace korvane::test
