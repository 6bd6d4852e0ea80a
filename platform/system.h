// The operating-system questions the diagnostics ask, behind one interface.
//
// The logic (report/, avi/, diag/, settings/) sees a Windows machine only through
// System. platform/win32 answers from the live Windows API, platform/offline from an
// installation on disk, and tests from small in-memory fakes. Method names are the
// Windows API names so that the logic reads like the calls it stands for; results
// follow the API's conventions (registry: 0 for success, others: non-zero for success).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace korvane {

// Values of the Windows API that the logic and every implementation share.
constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorMoreData = 234;
constexpr long kErrorNoMoreItems = 259;

constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyAllAccess = 0xF003F;

constexpr uint32_t kFileAttributeReadOnly = 0x01;
constexpr uint32_t kFileAttributeHidden = 0x02;
constexpr uint32_t kFileAttributeDirectory = 0x10;
constexpr uint32_t kFileAttributeArchive = 0x20;
constexpr uint32_t kFileAttributeNormal = 0x80;  // a file with none of the others

constexpr uint32_t kPlatformWin32s = 0;
constexpr uint32_t kPlatformWin9x = 1;
constexpr uint32_t kPlatformWinNt = 2;

// The predefined root keys, by their Windows values.
enum class RootKey : uint32_t {
  kClassesRoot = 0x80000000u,
  kCurrentUser = 0x80000001u,
  kLocalMachine = 0x80000002u,
};

// An open registry key. 0 is never a valid key.
using RegKey = uintptr_t;

// What GetVersionExA fills into OSVERSIONINFOA.
struct OsVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  uint32_t platformId = 0;
  std::string servicePack;  // at most 127 characters
};

// One match of a file search (the parts of WIN32_FIND_DATAA that are relied on).
struct FindData {
  uint32_t attributes = 0;
  uint64_t lastWriteTime = 0;  // FILETIME: 100 ns ticks since 1601-01-01 UTC
  uint32_t sizeLow = 0;
  uint32_t sizeHigh = 0;
  std::string name;  // bare name, no directory
};

// An open file search (FindFirstFileA's handle). Destroying it is FindClose.
class FileSearch {
 public:
  virtual ~FileSearch() = default;
  virtual const FindData& Current() const = 0;
  // FindNextFileA: true when a further match was delivered into Current().
  virtual bool FindNextFileA() = 0;
};

// A library loaded by LoadLibraryA. 0 means the load failed.
using LibraryHandle = uintptr_t;

// Result of a registry value read, as RegEnumValueA and RegQueryValueExA deliver it.
struct RegValue {
  std::string name;  // enumeration only
  uint32_t type = kRegNone;
  std::vector<uint8_t> data;  // exactly the bytes returned
};

// The registry calls, apart: a System makes them, and so does an in-memory registry.
class RegistryCalls {
 public:
  virtual ~RegistryCalls() = default;

  // Registry. Each returns 0 for success, a Windows error code otherwise.
  virtual long RegOpenKeyExA(RootKey root, const std::string& path, uint32_t access,
                             RegKey* key) = 0;
  virtual long RegCreateKeyExA(RootKey root, const std::string& path, uint32_t access,
                               RegKey* key) = 0;
  // Delivers the value at index when its name fits nameCapacity (terminating zero
  // included) and its data fits dataCapacity bytes; ERROR_MORE_DATA otherwise.
  virtual long RegEnumValueA(RegKey key, uint32_t index, uint32_t nameCapacity,
                             uint32_t dataCapacity, RegValue* value) = 0;
  virtual long RegEnumKeyExA(RegKey key, uint32_t index, uint32_t nameCapacity,
                             std::string* name) = 0;
  // An empty name asks for the default (unnamed) value.
  virtual long RegQueryValueExA(RegKey key, const std::string& name, uint32_t dataCapacity,
                                RegValue* value) = 0;
  virtual long RegSetValueExA(RegKey key, const std::string& name, uint32_t type,
                              const std::vector<uint8_t>& data) = 0;
  virtual long RegCloseKey(RegKey key) = 0;
};

class System : public RegistryCalls {
 public:
  // Kernel.
  virtual bool GetVersionExA(OsVersion* version) = 0;
  virtual std::string GetWindowsDirectoryA() = 0;
  virtual std::string GetSystemDirectoryA() = 0;
  // GetACP: the code page of the text the ANSI calls give (names, registry data, paths);
  // a machine that cannot say is a Western one.
  virtual uint32_t GetACP() { return 1252; }

  // FindFirstFileA: null when nothing matches (the invalid handle).
  virtual std::unique_ptr<FileSearch> FindFirstFileA(const std::string& pattern) = 0;

  // Opens a file named by its Windows path (e.g. "C:\\WINDOWS\\system.ini") for reading
  // as a binary buffered stream, as fopen(path, "rb") would: null when it cannot be
  // opened. The caller owns the stream and fcloses it. Live Windows fopen()s the path
  // itself; an offline machine maps it onto the disk that holds the installation.
  virtual std::FILE* OpenFileForReading(const std::string& windowsPath) = 0;

  // LoadLibraryA with a full path. On failure, *whyNot (when given) says why in plain
  // words; the report lines never show it, the CLI's --explain does.
  virtual LibraryHandle LoadLibraryA(const std::string& path, std::string* whyNot) = 0;
  virtual void FreeLibrary(LibraryHandle library) = 0;

  // Video for Windows and capture.
  virtual uint32_t VideoForWindowsVersion() = 0;
  // capGetDriverDescriptionA with capacities of 127: true when a driver exists.
  virtual bool capGetDriverDescriptionA(unsigned index, std::string* name,
                                        std::string* version) = 0;
};

// Calendar date of a FILETIME, in UTC (FileTimeToSystemTime without time-zone conversion).
struct SystemDate {
  int year = 0;
  int month = 0;
  int day = 0;
};
SystemDate FileTimeToSystemDate(uint64_t fileTime);

// FILETIME for a POSIX time in seconds.
uint64_t FileTimeFromUnixSeconds(int64_t seconds);

}  // namespace korvane
