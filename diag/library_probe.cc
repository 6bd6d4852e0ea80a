// Library files of the system directory: the one-line probe, msvc*.* and the well-known list.
#include "diag/diag_steps.h"

namespace korvane {

const char* const WellKnownLibrariesNt[] = {
    "advapi32.dll", "atl.dll",      "avicap32.dll", "avifil32.dll", "browseui.dll",
    "cachex.dll",   "clbcatq.dll",  "comctl32.dll", "comdlg32.dll", "cscdll.dll",
    "cscui.dll",    "dciman32.dll", "ddraw.dll",    "dnsapi.dll",   "gdi32.dll",
    "imm32.dll",    "indicdll.dll", "kernel32.dll", "lz32.dll",     "mfc42.dll",
    "mfc42loc.dll", "midcx0nt.dll", "msacm32.dll",  "msvfw32.dll",  "netapi32.dll",
    "netrap.dll",   "ntdll.dll",    "ntshrui.dll",  "ole32.dll",    "oleaut32.dll",
    "olepro32.dll", "rpcrt4.dll",   "samlib.dll",   "secur32.dll",  "shdocvw.dll",
    "shell32.dll",  "shlwapi.dll",  "user32.dll",   "version.dll",  "winmm.dll",
    "wldap32.dll",  "ws2_32.dll",   "ws2help.dll",  "wsock32.dll",  "",
};

// The NT list without the libraries that only NT ships.
const char* const WellKnownLibraries9x[] = {
    "advapi32.dll", "atl.dll",
    "avicap32.dll", "avifil32.dll",
    "browseui.dll", "cachex.dll",
    "comctl32.dll", "comdlg32.dll",
    "dciman32.dll", "ddraw.dll",
    "gdi32.dll",    "imm32.dll",
    "indicdll.dll", "kernel32.dll",
    "lz32.dll",     "mfc42.dll",
    "mfc42loc.dll", "midcx0nt.dll",
    "msacm32.dll",  "msvfw32.dll",
    "netapi32.dll", "ntdll.dll",
    "ole32.dll",    "oleaut32.dll",
    "olepro32.dll", "rpcrt4.dll",
    "secur32.dll",  "shdocvw.dll",
    "shell32.dll",  "shlwapi.dll",
    "user32.dll",   "version.dll",
    "winmm.dll",    "wldap32.dll",
    "ws2_32.dll",   "ws2help.dll",
    "wsock32.dll",  "",
};

namespace {

// A refused path is shown whole unless it would crowd the suffix out of a 1,023-character
// line (only a directory the platform reports could be that long).
constexpr size_t kShownPathMax = 1000;
constexpr char kMsvcPattern[] = "msvc*.*";

}  // namespace

void ReportPathTooLong(const std::string& path) {
  if (path.size() <= kShownPathMax) {
    AddReportLine("%s - path too long", path);
  } else {
    AddReportLine("%s... - path too long", path.substr(0, kShownPathMax - 3));
  }
}

bool SystemDirWithSlash(System& system, size_t bufferSize, std::string* prefix) {
  const std::string dir = system.GetSystemDirectoryA();
  *prefix = dir;
  if (!prefix->empty() && prefix->back() != '\\') *prefix += '\\';
  // Asked with a size one less than the buffer, the platform needs room for the zero too;
  // the appended backslash then takes the byte that was held back.
  return dir.size() + 1 <= bufferSize - 1;
}

bool DriverPath(const std::string& name, const std::string& prefix, bool prefixFits,
                std::string* path) {
  if (name.find_first_of(":\\") != std::string::npos) {
    *path = name;
    return path->size() < kLongPathBuffer;
  }
  *path = prefix + name;
  return prefixFits && path->size() < kLongPathBuffer;
}

void ProbeLibrary(System& system, const std::string& path) {
  std::unique_ptr<FileSearch> search = system.FindFirstFileA(path);
  if (!search) {
    AddReportLine("%s Not found", path);
    return;
  }
  const FindData found = search->Current();
  search.reset();  // FindClose before the load
  const SystemDate date = FileTimeToSystemDate(found.lastWriteTime);
  const LibraryHandle library = system.LoadLibraryA(path, nullptr);
  if (library != 0) system.FreeLibrary(library);
  AddReportLine(
      library != 0 ? "%s 0x%X %d-%02d-%02d %d Loaded Ok" : "%s 0x%X %d-%02d-%02d %d Failed to load",
      path, found.attributes, date.year, date.month, date.day, found.sizeLow);
}

void ProbeDriver(System& system, const std::string& name, const std::string& prefix,
                 bool prefixFits) {
  std::string path;
  if (DriverPath(name, prefix, prefixFits, &path)) {
    ProbeLibrary(system, path);
  } else {
    ReportPathTooLong(path);
  }
}

void ListMsvcFiles(System& system) {
  std::string prefix;
  const bool prefixFits = SystemDirWithSlash(system, kShortPathBuffer, &prefix);
  const std::string pattern = prefix + kMsvcPattern;
  if (!prefixFits || pattern.size() >= kShortPathBuffer) {
    ReportPathTooLong(pattern);
    return;
  }
  std::unique_ptr<FileSearch> search = system.FindFirstFileA(pattern);
  if (!search) {
    AddReportLine("%s Not found", pattern);
    return;
  }
  do {
    const FindData& found = search->Current();
    if ((found.attributes & kFileAttributeDirectory) != 0) continue;
    const SystemDate date = FileTimeToSystemDate(found.lastWriteTime);
    AddReportLine("%s 0x%X %d-%02d-%02d %d", found.name, found.attributes, date.year, date.month,
                  date.day, found.sizeLow);
  } while (search->FindNextFileA());
}

void ProbeWellKnownLibraries(System& system, const TestOptions& options) {
  std::string prefix;
  const bool prefixFits = SystemDirWithSlash(system, kShortPathBuffer, &prefix);
  const char* const* names = options.ntTests != 0 ? WellKnownLibrariesNt : WellKnownLibraries9x;
  for (; **names != '\0'; ++names) {
    // A name never exceeds the 512-byte work buffer once the prefix fits its 256 bytes.
    const std::string path = prefix + *names;
    if (prefixFits) {
      ProbeLibrary(system, path);
    } else {
      ReportPathTooLong(path);
    }
  }
}

}  // namespace korvane
