// Where a machine's files come from: its drives, looked up by Windows paths.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/offline/drives/file_names.h"
#include "platform/system.h"

namespace korvane {

// Text files that describe a machine (registry files, machine.ini, system.ini) are read
// whole up to this size; a larger file is refused rather than read.
constexpr size_t kTextFileLimit = size_t{64} << 20;

// A Windows path taken apart: its drive, its folder names below the drive's root and,
// apart, its last name.
struct WindowsPath {
  char drive = 'C';  // upper case
  std::vector<std::string> folders;
  std::string name;  // empty for C:\ itself
};

// Splits a full path with a drive letter ("C:\WINDOWS\SYSTEM\x.dll", "/" also
// separating), folding "." and ".." as Windows does; nullopt with *whyNot for any other
// path.
std::optional<WindowsPath> SplitWindowsPath(const std::string& path, std::string* whyNot);

// Splits a search pattern as FindFirstFileA takes it: wildcards in the last name only,
// and a last name there must be; nullopt with *whyNot otherwise.
std::optional<WindowsPath> SplitSearchPattern(const std::string& pattern, std::string* whyNot);

// Joins a folder path and a name with one backslash between them.
std::string JoinWindowsPath(const std::string& folder, const std::string& name);

// The attributes FindFirstFileA lists for an NTFS file or folder with these flags of its
// $STANDARD_INFORMATION: a folder adds the directory flag, which NTFS keeps elsewhere; a
// file with none shows FILE_ATTRIBUTE_NORMAL.
uint32_t AttributesFromNtfsFlags(uint32_t flags, bool folder);

// The drives of one machine. A Windows path resolves to the drive's own name for the
// file, its location (a host path for a host folder; a path inside the image for a disk
// image); the file is then described, read or opened by that location. Names are looked
// up the way Windows looks them up: without regard to case. Names, in listings and in
// paths asked for, are in the machine's ANSI code page, as the ANSI calls give and take
// them; a drive that stores them otherwise converts them itself.
class Drive {
 public:
  virtual ~Drive() = default;

  // The machine's code pages, once its registry has said them (the defaults until then,
  // which serve for the ASCII names of the files that say them). A drive that stores
  // names in another form converts with these from now on.
  virtual void SetCodePages(const FileNameCodePages& /*pages*/) {}

  // The location of a file or folder, or nullopt with *whyNot ("C:\WINDOWS has no
  // SYSTEM32 folder").
  virtual std::optional<std::string> Resolve(const std::string& windowsPath,
                                             std::string* whyNot) = 0;

  // The matches of a FindFirstFileA pattern (wildcards in the last name only), sorted by
  // name without regard to case; "." and ".." come first in a folder below the root,
  // as on a Windows disk. Empty, with *whyNot, when nothing matches.
  virtual std::vector<FindData> Find(const std::string& pattern, std::string* whyNot) = 0;

  // Attributes, last-write time and size of the file or folder at a location, as a file
  // search reports them under the given name.
  virtual std::optional<FindData> Describe(const std::string& location,
                                           const std::string& name) = 0;

  // The bytes of the file at a location, at most limit of them; false when it cannot be
  // read whole.
  virtual bool Read(const std::string& location, size_t limit, std::string* bytes) = 0;

  // The file at a location as a binary stream for reading, or null; the caller fcloses it.
  virtual std::FILE* Open(const std::string& location) = 0;
};

}  // namespace korvane
