// The settings key of the current user: created when missing, read with defaults, written back.
#include "settings/settings.h"

#include <algorithm>
#include <cstring>

#include "platform/format.h"

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
RegKey g_settingsKey = 0;

std::string RecentFileValueName(int number) { return Format("mru%d", number); }

bool SettingsKeyExists(System& system, const char* path) {
  RegKey key = 0;
  if (system.RegOpenKeyExA(RootKey::kCurrentUser, path, kKeyAllAccess, &key) != kErrorSuccess) {
    return false;
  }
  system.RegCloseKey(key);
  return true;
}

bool CreateSettingsKey(System& system, const char* path) {
  if (system.RegCreateKeyExA(RootKey::kCurrentUser, path, kKeyAllAccess, &g_settingsKey) ==
      kErrorSuccess) {
    return true;
  }
  g_settingsKey = 0;
  return false;
}

void CloseSettingsKey(System& system) {
  if (g_settingsKey != 0) system.RegCloseKey(g_settingsKey);
  g_settingsKey = 0;
}

bool OpenSettingsKey(System& system, const char* path) {
  if (g_settingsKey != 0) CloseSettingsKey(system);
  if (system.RegOpenKeyExA(RootKey::kCurrentUser, path, kKeyAllAccess, &g_settingsKey) ==
      kErrorSuccess) {
    return true;
  }
  g_settingsKey = 0;
  return false;
}

// Reads the value over the default the buffer holds; when it cannot be read, stores that
// default. Data of any type is taken byte for byte, only as many bytes as were returned.
void QueryOrStoreValue(System& system, const char* name, char* buffer, uint32_t byteCount,
                       uint32_t capacity, uint32_t type) {
  RegValue value;
  if (system.RegQueryValueExA(g_settingsKey, name, capacity, &value) == kErrorSuccess) {
    const size_t count = std::min<size_t>(value.data.size(), capacity);
    std::copy_n(value.data.begin(), count, buffer);
    return;
  }
  system.RegSetValueExA(g_settingsKey, name, type,
                        std::vector<uint8_t>(buffer, buffer + byteCount));
}

void ReadStringSetting(System& system, const char* name, const char* defaultText, char* buffer,
                       uint32_t capacity) {
  const size_t byteCount = std::strlen(defaultText) + 1;
  if (capacity < byteCount) return;
  std::memcpy(buffer, defaultText, byteCount);
  QueryOrStoreValue(system, name, buffer, static_cast<uint32_t>(byteCount), capacity, kRegSz);
}

void WriteStringSetting(System& system, const char* name, const char* text) {
  const size_t length = std::strlen(text);
  system.RegSetValueExA(g_settingsKey, name, kRegSz, std::vector<uint8_t>(text, text + length + 1));
}

void LoadRecentFiles(System& system) {
  for (int n = 1; n <= kRecentFileCount; ++n) {
    ReadStringSetting(system, RecentFileValueName(n).c_str(), "", g_recentFiles[n - 1],
                      kReadCapacity);
  }
  std::memcpy(g_recentFilesToSave, g_recentFiles, sizeof g_recentFiles);
}

void SaveRecentFiles(System& system) {
  for (int n = 1; n <= kRecentFileCount; ++n) {
    WriteStringSetting(system, RecentFileValueName(n).c_str(), g_recentFilesToSave[n - 1]);
  }
}

}  // namespace

void LoadSettings(System& system) {
  if (!SettingsKeyExists(system, kSettingsKeyPath)) {
    if (!CreateSettingsKey(system, kSettingsKeyPath)) return;
    CloseSettingsKey(system);
  }
  if (!OpenSettingsKey(system, kSettingsKeyPath)) return;
  ReadStringSetting(system, "OpenDir", kDefaultDir, g_openDir, kReadCapacity);
  ReadStringSetting(system, "SaveDir", kDefaultDir, g_saveDir, kReadCapacity);
  ReadStringSetting(system, "ExportDir", kDefaultDir, g_exportDir, kReadCapacity);
  LoadRecentFiles(system);
  CloseSettingsKey(system);
}

void SaveSettings(System& system) {
  const bool opened = SettingsKeyExists(system, kSettingsKeyPath)
                          ? OpenSettingsKey(system, kSettingsKeyPath)
                          : CreateSettingsKey(system, kSettingsKeyPath);
  if (!opened) return;
  WriteStringSetting(system, "OpenDir", g_openDir);
  WriteStringSetting(system, "SaveDir", g_saveDir);
  WriteStringSetting(system, "ExportDir", g_exportDir);
  SaveRecentFiles(system);
  CloseSettingsKey(system);
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
  g_settingsKey = 0;
}

}  // namespace korvane
