// The per-user settings: three directory texts and five recent files under one key.
#pragma once

#include <string>

#include "platform/system.h"

namespace korvane {

extern const char kSettingsKeyPath[];  // "Software\\Ruv Korvane" under HKEY_CURRENT_USER

// Creates the key when missing and reads the eight values, storing each missing or
// unreadable one with its default. Runs once at start-up.
void LoadSettings(System& system);
// Writes the eight values back. Runs once while the main window is destroyed.
void SaveSettings(System& system);

// What the buffers hold now, for tests and for the command line.
struct SettingsValues {
  std::string openDir;
  std::string saveDir;
  std::string exportDir;
  std::string recentFiles[5];
};
SettingsValues CurrentSettings();
void ResetSettings();  // every buffer empty, as at program start

}  // namespace korvane
