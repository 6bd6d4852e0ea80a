// Which decoder each stream of an AVI file needs, and whether this machine has it.
//
// Video for Windows opens a video decoder by its "vidc.XXXX" entry of [drivers32]
// (system.ini, or the drivers32 key on Windows NT); the Audio Compression Manager asks
// every "msacm.*" driver. Either way a decoder is there when its entry is and its
// library loads.
#pragma once

#include <functional>
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

// What a source that holds only part of a machine's facts (a saved report) does not say,
// and what to ask its sender for so that it would.
struct UnknownFact {
  std::string why;  // "it was made without the library load test"
  std::string ask;  // "a report made with \"load .DLL test\" ticked"
};

// A place whose entries the source does not show ("system.ini [drivers32]").
struct UnlistedPlace {
  std::string where;
  UnknownFact unknown;
};

struct InstalledDrivers {
  // Both places, in the order Windows consults them: the registry first on Windows NT.
  std::vector<DriverEntry> entries;
  std::vector<std::string> notes;       // places that could not be read, entries skipped
  std::string systemDirPrefix;          // the system directory and a backslash
  std::vector<UnlistedPlace> unlisted;  // never on a machine itself
};

InstalledDrivers ReadInstalledDrivers(System& system);

// A line of system.ini's [drivers32] as Video for Windows reads it: the name left of the
// first '=', the value after it with the '=' and spaces that follow skipped, both trimmed;
// false for a line without '='.
bool SplitIniDriverLine(const std::string& line, DriverEntry* entry);

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

  // From a saved report, what it does not say: whether an entry serves (none listed does,
  // but a place is not listed), whether the chosen entry's library is found and loads, and
  // whether another entry might load where the chosen one does not (a place is not listed).
  bool registeredKnown = true;
  bool libraryKnown = true;
  bool othersKnown = true;
  UnknownFact unknown;  // why one of them is not known

  bool known() const { return registeredKnown && libraryKnown && othersKnown; }
  bool ready() const { return !needsDecoder || loads; }
};

// What is known of the library a driver entry names.
struct LibraryFacts {
  bool known = true;  // false: the source does not say whether it is found and loads
  bool found = false;
  bool loads = false;
  std::string whyNot;   // not found, or does not load: why
  UnknownFact unknown;  // when not known
};
using LibraryLookup = std::function<LibraryFacts(const std::string& path)>;

// The machine's own answer: the file searched for, then loaded and freed again.
LibraryFacts ProbeLibraryFacts(System& system, const std::string& path);

DecoderCheck CheckStreamDecoder(System& system, const InstalledDrivers& drivers,
                                const AviStream& stream);
DecoderCheck CheckStreamDecoder(const LibraryLookup& libraries, const InstalledDrivers& drivers,
                                const AviStream& stream);

// "video", "audio", "DV (video and audio)", "text", "MIDI", or the FourCC.
std::string StreamKindText(const AviStream& stream);

// What to install for a decoder that is not ready, in a few words.
std::string InstallAdvice(const DecoderCheck& check, const AviStream& stream);

}  // namespace korvane
