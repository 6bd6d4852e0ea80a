// Which decoder each stream of an AVI file needs, and whether this machine has it.
//
// Video for Windows opens a video decoder by its "vidc.XXXX" entry of [drivers32]
// (system.ini, or the drivers32 key on Windows NT); the Audio Compression Manager asks
// every "msacm.*" driver. Either way a decoder is there when its entry is and its
// library loads.
#pragma once

#include <string>
#include <vector>

#include "avi/riff_walk.h"
#include "platform/system.h"

namespace korvane {

extern const char kDrivers32Section[];  // "system.ini [drivers32]"
extern const char kDrivers32KeyName[];  // "HKLM\\SOFTWARE\\...\\drivers32"

// One [drivers32] entry or drivers32 registry value.
struct DriverEntry {
  std::string name;   // as written: "vidc.cvid"
  std::string value;  // the library: "iccvid.dll"
  std::string where;  // kDrivers32Section or kDrivers32KeyName
};

struct InstalledDrivers {
  // Both places, in the order Windows consults them: the registry first on Windows NT.
  std::vector<DriverEntry> entries;
  std::vector<std::string> notes;  // places that could not be read, entries skipped
  std::string systemDirPrefix;     // the system directory and a backslash
};

InstalledDrivers ReadInstalledDrivers(System& system);

// The library a driver entry names: the value itself when it holds a ':' or a '\\',
// else the system directory prefix followed by it.
std::string DriverLibraryPath(const std::string& value, const std::string& systemDirPrefix);

struct DecoderCheck {
  std::string code;           // "cvid", "0x0055"
  std::string codecName;      // from the codec table, or "unknown codec"
  bool needsDecoder = false;  // false for built-in formats and streams that are not decoded
  std::vector<std::string> entryNames;  // the [drivers32] entries that would serve
  std::string usualFiles;               // space-separated, may be empty
  bool registered = false;
  DriverEntry registration;  // the entry used: the first that loads, else the first found
  std::string libraryPath;
  bool libraryFound = false;
  bool loads = false;
  std::string whyNot;  // when it does not load

  bool ready() const { return !needsDecoder || loads; }
};

DecoderCheck CheckStreamDecoder(System& system, const InstalledDrivers& drivers,
                                const AviStream& stream);

// "video", "audio", "DV (video and audio)", "text", "MIDI", or the FourCC.
std::string StreamKindText(const AviStream& stream);

// What to install for a decoder that is not ready, in a few words.
std::string InstallAdvice(const DecoderCheck& check, const AviStream& stream);

}  // namespace korvane
