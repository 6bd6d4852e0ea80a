// Registry places of a Video for Windows setup: driver keys, AVIFile class, installed software.
#include <deque>
#include <new>

#include "diag/diag_steps.h"
#include "platform/scoped_reg_key.h"

namespace korvane {

const char kDriversDescKeyPath[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc";
const char kDrivers32KeyPath[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32";
const char kUninstallKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

constexpr uint32_t kNameCapacity = 512;
constexpr uint32_t kDataCapacity = 512;

const char* const kAviFileSubkeys[] = {
    "AVIFile\\CLSID",
    "AVIFile\\Compressors\\auds",
    "AVIFile\\Compressors\\vids",
    "AVIFile\\DefaultIcon",
    "AVIFile\\Extensions\\AU",
    "AVIFile\\Extensions\\AVI",
    "AVIFile\\Extensions\\WAV",
    "AVIFile\\RIFFHandlers\\AVI",
    "AVIFile\\RIFFHandlers\\WAVE",
    "AVIFile\\shellex\\PropertySheetHandlers\\AviPage",
};

// Registry data shown as text, whatever its type: up to the first zero byte, never past the
// bytes the platform returned nor past the data buffer.
std::string DataText(const std::vector<uint8_t>& data) {
  size_t length = 0;
  while (length < data.size() && length < kDataCapacity && data[length] != 0) ++length;
  return std::string(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length));
}

// The first four data bytes as a little-endian number; bytes a short value lacks count as zero.
uint32_t LittleEndian32(const std::vector<uint8_t>& data) {
  uint32_t number = 0;
  for (size_t i = 0; i < 4 && i < data.size(); ++i) number |= uint32_t{data[i]} << (8 * i);
  return number;
}

// Lists every value of an open key as "name = data", ending at the first error. Each value
// delivered is also handed to keep.
template <typename Keep>
void ListValues(System& system, RegKey key, Keep keep) {
  RegValue value;
  for (uint32_t index = 0;
       system.RegEnumValueA(key, index, kNameCapacity, kDataCapacity, &value) == kErrorSuccess;
       ++index) {
    const std::string text = DataText(value.data);
    AddReportLine("%s = %s", value.name, text);
    keep(text);
  }
}

// Keeps a driver for loading unless the list is full or its text names a family of files.
void KeepDriver(std::deque<std::string>* drivers, const std::string& text) {
  if (drivers->size() >= kRegistryDriverListLimit) return;
  if (text.find('*') != std::string::npos) return;
  try {
    drivers->push_back(text);
  } catch (const std::bad_alloc&) {
    // Only this driver goes unloaded; the listing goes on.
  }
}

void ProbeDrivers(System& system, ReportWindow& window, const std::string& prefix, bool prefixFits,
                  std::deque<std::string>* drivers) {
  while (!drivers->empty()) {
    ProbeDriver(system, drivers->front(), prefix, prefixFits);
    window.Repaint();
    drivers->pop_front();
  }
}

// "name = \"text\"" for a text default value, "invalid value type" for any other type.
void ReportDefaultValue(System& system, RegKey key, const std::string& shownName) {
  RegValue value;
  if (system.RegQueryValueExA(key, "", kDataCapacity, &value) != kErrorSuccess) {
    AddReportLine("%s - can't get value", shownName);
    return;
  }
  const std::string text = value.type == kRegSz ? DataText(value.data) : "invalid value type";
  AddReportLine("%s = \"%s\"", shownName, text);
}

void ReportEditFlags(System& system, RegKey key) {
  const char* const shownName = "HKCR\\AVIFile\\EditFlags";
  RegValue value;
  if (system.RegQueryValueExA(key, "EditFlags", kDataCapacity, &value) != kErrorSuccess) {
    AddReportLine("%s - can't get value", shownName);
    return;
  }
  AddReportLine("%s = 0x%08X", shownName, LittleEndian32(value.data));
}

void ReportUninstallValue(System& system, RegKey key, const char* name) {
  RegValue value;
  if (system.RegQueryValueExA(key, name, kDataCapacity, &value) == kErrorSuccess) {
    AddReportLine("  %s = %s", name, DataText(value.data));
  } else {
    AddReportLine("  %s - can't get value", name);
  }
}

}  // namespace

void ListDriverDescriptions(System& system) {
  ScopedRegKey key(system);
  if (!key.Open(RootKey::kLocalMachine, kDriversDescKeyPath, kKeyRead)) {
    AddReportLine("HKLM\\%s - can't open key", kDriversDescKeyPath);
    return;
  }
  ListValues(system, key.get(), [](const std::string&) {});
}

void LoadRegistryDrivers(System& system, ReportWindow& window) {
  std::string prefix;
  const bool prefixFits = SystemDirWithSlash(system, kShortPathBuffer, &prefix);
  std::deque<std::string> drivers;  // RegistryDriverList
  {
    ScopedRegKey key(system);
    if (!key.Open(RootKey::kLocalMachine, kDrivers32KeyPath, kKeyRead)) {
      AddReportLine("HKLM\\%s - can't open key", kDrivers32KeyPath);
      return;
    }
    ListValues(system, key.get(), [&](const std::string& text) { KeepDriver(&drivers, text); });
  }  // Loading can be slow: the key is not held open meanwhile.
  ProbeDrivers(system, window, prefix, prefixFits, &drivers);
}

void ListUninstallEntries(System& system) {
  ScopedRegKey key(system);
  if (!key.Open(RootKey::kLocalMachine, kUninstallKeyPath, kKeyAllAccess)) {
    AddReportLine("HKLM\\%s - can't open key", kUninstallKeyPath);
    return;
  }
  std::string name;
  for (uint32_t index = 0;
       system.RegEnumKeyExA(key.get(), index, kNameCapacity, &name) == kErrorSuccess; ++index) {
    AddReportLine("%s", name);
    ShowUninstallEntry(system, name);
  }
}

void ShowUninstallEntry(System& system, const std::string& subkeyName) {
  const std::string path = std::string(kUninstallKeyPath) + "\\" + subkeyName;
  if (path.size() >= kLongPathBuffer) {
    ReportPathTooLong("HKLM\\" + path);
    return;
  }
  ScopedRegKey key(system);
  if (!key.Open(RootKey::kLocalMachine, path, kKeyRead)) {
    AddReportLine("HKLM\\%s - can't open key", path);
    return;
  }
  ReportUninstallValue(system, key.get(), "DisplayName");
  ReportUninstallValue(system, key.get(), "UninstallString");
}

void ListAviFileEntries(System& system) {
  {
    ScopedRegKey key(system);
    if (key.Open(RootKey::kClassesRoot, "AVIFile", kKeyAllAccess)) {
      ReportDefaultValue(system, key.get(), "HKCR\\AVIFile\\@");
      ReportEditFlags(system, key.get());
    } else {
      AddReportLine("HKCR\\AVIFile - can't open key");
    }
  }
  for (const char* subkey : kAviFileSubkeys) ShowClassDefault(system, subkey);
}

void ShowClassDefault(System& system, const std::string& path) {
  ScopedRegKey key(system);
  if (!key.Open(RootKey::kClassesRoot, path, kKeyAllAccess)) {
    AddReportLine("%s - can't open key", path);
    return;
  }
  ReportDefaultValue(system, key.get(), "HKCR\\" + path + "\\@");
}

}  // namespace korvane
