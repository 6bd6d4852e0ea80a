// Drive C: read from a file system inside a disk image, through The Sleuth Kit.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/offline/drives/image_reader.h"

namespace korvane {

// One file system of a disk image that The Sleuth Kit has opened. Shared by the drive
// and whoever found it; the image stays open as long as the file system does.
class ImageFileSystem;

// Drive C: as the file system holds it. Locations are the file system's own paths
// ("/WINDOWS/SYSTEM/x.dll", as the disk spells each name).
class ImageDrive : public DiskImageDrive {
 public:
  explicit ImageDrive(std::shared_ptr<ImageFileSystem> fileSystem);
  ~ImageDrive() override;

  void SetTimeZoneBias(int32_t bias) override { bias_ = bias; }
  void SetCodePages(const FileNameCodePages& pages) override;

  std::optional<std::string> Resolve(const std::string& windowsPath, std::string* whyNot) override;
  std::vector<FindData> Find(const std::string& pattern, std::string* whyNot) override;
  std::optional<FindData> Describe(const std::string& location, const std::string& name) override;
  bool Read(const std::string& location, size_t limit, std::string* bytes) override;
  std::FILE* Open(const std::string& location) override;

 private:
  struct Entry {
    std::string name;      // in the ANSI code page
    std::string key;       // as names compare (FileNameKey)
    std::string diskName;  // The Sleuth Kit's, for locations
    uint64_t metaAddress = 0;
    bool folder = false;
  };
  // A name The Sleuth Kit gave (UTF-8; on FAT a short name with its own marks for bytes
  // beyond ASCII, with shortName empty) in the ANSI code page.
  std::string AnsiName(const std::string& given, bool hasShortName, uint64_t metaAddress);
  std::optional<std::string> ShortEntry(uint64_t metaAddress, const std::string& givenName);
  const std::vector<Entry>* Listing(const std::string& folder);
  const Entry* Lookup(const std::string& folder, const std::string& name);
  std::optional<std::string> ResolveFolder(const WindowsPath& path, size_t count,
                                           std::string* whyNot);

  std::shared_ptr<ImageFileSystem> fs_;
  int32_t bias_ = 0;
  FileNameCodePages pages_;
  std::optional<std::string> bootSector_;               // FAT only, read at the first short name
  std::map<std::string, std::vector<Entry>> listings_;  // by folder location
  std::map<std::string, uint64_t> metaAddresses_;       // by location
};

}  // namespace korvane
