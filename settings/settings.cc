// The settings key of the current user: created when missing, read with defaults, written back.
#include "settings/settings.h"

#include <algorithm>
#include <cstring>

#include "platform/format.h"
#include "platform/scoped_reg_key.h"

namespace korvane {

const char kSettingsKeyPath[] = "Software\\Ruv Korvane";

namespace {

constexpr size_t kTextBuffer = 256;
constexpr uint32_t kReadCapacity = 255;  // the last byte of every buffer stays zero
constexpr int kRecentFileCount = 5;
constexpr char kDefaultDir[] = "c:\\";

using TextBuffer = char[kTextBuffer];

// Process-wide, as long as the program runs.
TextBuffer g_openDir;
TextBuffer g_saveDir;
TextBuffer g_exportDir;
TextBuffer g_recentFiles[kRecentFileCount];
TextBuffer g_recentFilesToSave[kRecentFileCount];

std::string RecentFileValueName(int number) { return Format("mru%d", number); }

bool SettingsKeyExists(System& system, const char* path) {
  ScopedRegKey key(system);
  return key.Open(RootKey::kCurrentUser, path, kKeyAllAccess);
}

// Reads the value over the default the buffer holds; when it cannot be read, stores that
// default. Data of any type is taken byte for byte, only as many bytes as were returned.
void QueryOrStoreValue(System& system, RegKey key, const char* name, char* buffer,
                       uint32_t byteCount, uint32_t capacity, uint32_t type) {
  RegValue value;
  if (system.RegQueryValueExA(key, name, capacity, &value) == kErrorSuccess) {
    const size_t count = std::min<size_t>(value.data.size(), capacity);
    std::copy_n(value.data.begin(), count, buffer);
    return;
  }
  system.RegSetValueExA(key, name, type, std::vector<uint8_t>(buffer, buffer + byteCount));
}

void ReadStringSetting(System& system, RegKey key, const char* name, const char* defaultText,
                       char* buffer, uint32_t capacity) {
  const size_t byteCount = std::strlen(defaultText) + 1;
  if (capacity < byteCount) return;
  std::memcpy(buffer, defaultText, byteCount);
  QueryOrStoreValue(system, key, name, buffer, static_cast<uint32_t>(byteCount), capacity, kRegSz);
}

void WriteStringSetting(System& system, RegKey key, const char* name, const char* text) {
  const size_t length = std::strlen(text);
  system.RegSetValueExA(key, name, kRegSz, std::vector<uint8_t>(text, text + length + 1));
}

void LoadRecentFiles(System& system, RegKey key) {
  for (int n = 1; n <= kRecentFileCount; ++n) {
    ReadStringSetting(system, key, RecentFileValueName(n).c_str(), "", g_recentFiles[n - 1],
                      kReadCapacity);
  }
  std::memcpy(g_recentFilesToSave, g_recentFiles, sizeof g_recentFiles);
}

void SaveRecentFiles(System& system, RegKey key) {
  for (int n = 1; n <= kRecentFileCount; ++n) {
    WriteStringSetting(system, key, RecentFileValueName(n).c_str(), g_recentFilesToSave[n - 1]);
  }
}

}  // namespace

void LoadSettings(System& system) {
  ScopedRegKey key(system);
  if (!SettingsKeyExists(system, kSettingsKeyPath)) {
    if (!key.Create(RootKey::kCurrentUser, kSettingsKeyPath, kKeyAllAccess)) return;
    key.Close();
  }
  if (!key.Open(RootKey::kCurrentUser, kSettingsKeyPath, kKeyAllAccess)) return;
  ReadStringSetting(system, key.get(), "OpenDir", kDefaultDir, g_openDir, kReadCapacity);
  ReadStringSetting(system, key.get(), "SaveDir", kDefaultDir, g_saveDir, kReadCapacity);
  ReadStringSetting(system, key.get(), "ExportDir", kDefaultDir, g_exportDir, kReadCapacity);
  LoadRecentFiles(system, key.get());
  key.Close();
}

void SaveSettings(System& system) {
  ScopedRegKey key(system);
  const bool opened = SettingsKeyExists(system, kSettingsKeyPath)
                          ? key.Open(RootKey::kCurrentUser, kSettingsKeyPath, kKeyAllAccess)
                          : key.Create(RootKey::kCurrentUser, kSettingsKeyPath, kKeyAllAccess);
  if (!opened) return;
  WriteStringSetting(system, key.get(), "OpenDir", g_openDir);
  WriteStringSetting(system, key.get(), "SaveDir", g_saveDir);
  WriteStringSetting(system, key.get(), "ExportDir", g_exportDir);
  SaveRecentFiles(system, key.get());
  key.Close();
}

SettingsValues CurrentSettings() {
  SettingsValues values;
  values.openDir = g_openDir;
  values.saveDir = g_saveDir;
  values.exportDir = g_exportDir;
  for (int i = 0; i < kRecentFileCount; ++i) values.recentFiles[i] = g_recentFilesToSave[i];
  return values;
}

void ResetSettings() {
  std::memset(g_openDir, 0, sizeof g_openDir);
  std::memset(g_saveDir, 0, sizeof g_saveDir);
  std::memset(g_exportDir, 0, sizeof g_exportDir);
  std::memset(g_recentFiles, 0, sizeof g_recentFiles);
  std::memset(g_recentFilesToSave, 0, sizeof g_recentFilesToSave);
}

}  // namespace korvane
