// The drives of a machine on disk: Windows paths answered from host folders.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/offline/drives/drive.h"
#include "platform/system.h"

namespace korvane {

// How host files get their Windows attributes. Described machines: read-only when the
// owner cannot write. Wine: read-only when nobody can write (folders too), and hidden
// when the name starts with "." unless Wine is told to show such files.
struct AttributeRules {
  bool wine = false;
  bool showDotFiles = false;
};

// The files and folders below host folders, one for each drive letter; a location is a
// host path. Listings are read once and kept: a machine's description does not change
// while it is examined.
class HostDrive : public Drive {
 public:
  // Drive letters (upper case) to host folders.
  explicit HostDrive(std::map<char, std::string> drives, AttributeRules rules = AttributeRules());

  void SetCodePages(const FileNameCodePages& pages) override;

  std::optional<std::string> Resolve(const std::string& windowsPath, std::string* whyNot) override;
  std::vector<FindData> Find(const std::string& pattern, std::string* whyNot) override;
  std::optional<FindData> Describe(const std::string& hostPath, const std::string& name) override;
  bool Read(const std::string& hostPath, size_t limit, std::string* bytes) override;
  std::FILE* Open(const std::string& hostPath) override;

 private:
  struct Entry {
    std::string name;      // in the ANSI code page
    std::string key;       // as names compare (FileNameKey)
    std::string hostName;  // as the host stores it
  };
  const std::vector<Entry>& Listing(const std::string& hostFolder);
  const Entry* Lookup(const std::string& hostFolder, const std::string& name);
  std::optional<std::string> ResolveFolder(const WindowsPath& path, std::string* whyNot);

  std::map<char, std::string> drives_;
  AttributeRules rules_;
  CodePage ansi_ = kDefaultAnsiCodePage;
  std::map<std::string, std::vector<Entry>> listings_;
};

// The bytes of a host file, at most limit of them; false when it cannot be read whole.
bool ReadHostFile(const std::string& hostPath, size_t limit, std::string* bytes);

}  // namespace korvane
