// System on the real Windows API (ANSI calls): kernel, registry, Video for Windows and
// video capture. Every handle is released on the path that acquired it.
#include "platform/win32/live_system.h"

#include <windows.h>
#include <vfw.h>

#include <cstdio>
#include <string>
#include <vector>

namespace korvane {
namespace {

static_assert(sizeof(HKEY) <= sizeof(RegKey), "a registry key must fit RegKey");
static_assert(sizeof(HMODULE) <= sizeof(LibraryHandle), "a module must fit LibraryHandle");
#if defined(__i386__)
static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record is 148 bytes on i686");
#endif

// The predefined keys by their own constants: on x86_64 they are sign-extended, so
// RootKey's 32-bit values cannot simply be cast.
HKEY RootHandle(RootKey root) {
  switch (root) {
    case RootKey::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RootKey::kCurrentUser:
      return HKEY_CURRENT_USER;
    case RootKey::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
  }
  return HKEY_LOCAL_MACHINE;
}

HKEY KeyHandle(RegKey key) { return reinterpret_cast<HKEY>(key); }

// The directory functions answer the length they need when the buffer is too small.
template <typename Call>
std::string DirectoryFrom(Call call) {
  std::vector<char> buffer(MAX_PATH + 1, '\0');
  UINT length = call(buffer.data(), static_cast<UINT>(buffer.size()));
  if (length >= buffer.size()) {
    buffer.assign(length + 1, '\0');
    length = call(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) return std::string();
  }
  return std::string(buffer.data(), length);
}

FindData FindDataFrom(const WIN32_FIND_DATAA& found) {
  FindData data;
  data.attributes = found.dwFileAttributes;
  data.lastWriteTime = (static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                       found.ftLastWriteTime.dwLowDateTime;
  data.sizeLow = found.nFileSizeLow;
  data.sizeHigh = found.nFileSizeHigh;
  data.name = found.cFileName;
  return data;
}

class LiveFileSearch : public FileSearch {
 public:
  LiveFileSearch(HANDLE handle, const WIN32_FIND_DATAA& first)
      : handle_(handle), current_(FindDataFrom(first)) {}
  ~LiveFileSearch() override { ::FindClose(handle_); }
  LiveFileSearch(const LiveFileSearch&) = delete;
  LiveFileSearch& operator=(const LiveFileSearch&) = delete;

  const FindData& Current() const override { return current_; }
  bool FindNextFileA() override {
    WIN32_FIND_DATAA found;
    ZeroMemory(&found, sizeof found);
    if (!::FindNextFileA(handle_, &found)) return false;
    current_ = FindDataFrom(found);
    return true;
  }

 private:
  HANDLE handle_;
  FindData current_;
};

// The system's wording of an error code, without the trailing line break.
std::string ErrorText(DWORD code) {
  char buffer[512] = {0};
  DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, buffer, sizeof buffer - 1, nullptr);
  std::string text(buffer, length < sizeof buffer ? length : 0);
  while (!text.empty() &&
         (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  std::string result = "error " + std::to_string(code);
  if (!text.empty()) result += ": " + text;
  return result;
}

class LiveSystem : public System {
 public:
  bool GetVersionExA(OsVersion* version) override {
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
    version->major = info.dwMajorVersion;
    version->minor = info.dwMinorVersion;
    version->build = info.dwBuildNumber;
    version->platformId = info.dwPlatformId;
    info.szCSDVersion[sizeof info.szCSDVersion - 1] = '\0';
    version->servicePack = info.szCSDVersion;
    return true;
  }

  std::string GetWindowsDirectoryA() override {
    return DirectoryFrom(
        [](char* buffer, UINT size) { return ::GetWindowsDirectoryA(buffer, size); });
  }

  std::string GetSystemDirectoryA() override {
    return DirectoryFrom(
        [](char* buffer, UINT size) { return ::GetSystemDirectoryA(buffer, size); });
  }

  std::unique_ptr<FileSearch> FindFirstFileA(const std::string& pattern) override {
    WIN32_FIND_DATAA found;
    ZeroMemory(&found, sizeof found);
    HANDLE handle = ::FindFirstFileA(pattern.c_str(), &found);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::unique_ptr<FileSearch>(new LiveFileSearch(handle, found));
  }

  std::FILE* OpenFileForReading(const std::string& windowsPath) override {
    return std::fopen(windowsPath.c_str(), "rb");
  }

  LibraryHandle LoadLibraryA(const std::string& path, std::string* whyNot) override {
    ::SetLastError(0);
    HMODULE module = ::LoadLibraryA(path.c_str());
    if (module == nullptr && whyNot != nullptr) *whyNot = ErrorText(::GetLastError());
    return reinterpret_cast<LibraryHandle>(module);
  }

  void FreeLibrary(LibraryHandle library) override {
    if (library != 0) ::FreeLibrary(reinterpret_cast<HMODULE>(library));
  }

  uint32_t VideoForWindowsVersion() override { return ::VideoForWindowsVersion(); }
  uint32_t GetACP() override { return ::GetACP(); }

  bool capGetDriverDescriptionA(unsigned index, std::string* name, std::string* version) override {
    char nameBuffer[128] = {0};
    char versionBuffer[128] = {0};
    if (!::capGetDriverDescriptionA(index, nameBuffer, sizeof nameBuffer - 1, versionBuffer,
                                    sizeof versionBuffer - 1)) {
      return false;
    }
    *name = nameBuffer;
    *version = versionBuffer;
    return true;
  }

  long RegOpenKeyExA(RootKey root, const std::string& path, uint32_t access, RegKey* key) override {
    HKEY opened = nullptr;
    LONG result = ::RegOpenKeyExA(RootHandle(root), path.c_str(), 0, access, &opened);
    if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(opened);
    return result;
  }

  long RegCreateKeyExA(RootKey root, const std::string& path, uint32_t access,
                       RegKey* key) override {
    HKEY created = nullptr;
    DWORD disposition = 0;
    LONG result =
        ::RegCreateKeyExA(RootHandle(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          access, nullptr, &created, &disposition);
    if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(created);
    return result;
  }

  long RegEnumValueA(RegKey key, uint32_t index, uint32_t nameCapacity, uint32_t dataCapacity,
                     RegValue* value) override {
    std::vector<char> name(nameCapacity + 1, '\0');
    std::vector<uint8_t> data(dataCapacity + 1, 0);
    DWORD nameLength = nameCapacity;
    DWORD dataLength = dataCapacity;
    DWORD type = REG_NONE;
    LONG result = ::RegEnumValueA(KeyHandle(key), index, name.data(), &nameLength, nullptr, &type,
                                  data.data(), &dataLength);
    if (result != ERROR_SUCCESS) return result;
    if (nameLength > nameCapacity) nameLength = nameCapacity;
    if (dataLength > dataCapacity) dataLength = dataCapacity;
    value->name.assign(name.data(), nameLength);
    value->type = type;
    value->data.assign(data.begin(), data.begin() + dataLength);
    return result;
  }

  long RegEnumKeyExA(RegKey key, uint32_t index, uint32_t nameCapacity,
                     std::string* name) override {
    std::vector<char> buffer(nameCapacity + 1, '\0');
    DWORD length = nameCapacity;
    FILETIME lastWrite;
    LONG result = ::RegEnumKeyExA(KeyHandle(key), index, buffer.data(), &length, nullptr, nullptr,
                                  nullptr, &lastWrite);
    if (result != ERROR_SUCCESS) return result;
    if (length > nameCapacity) length = nameCapacity;
    name->assign(buffer.data(), length);
    return result;
  }

  long RegQueryValueExA(RegKey key, const std::string& name, uint32_t dataCapacity,
                        RegValue* value) override {
    std::vector<uint8_t> data(dataCapacity + 1, 0);
    DWORD dataLength = dataCapacity;
    DWORD type = REG_NONE;
    LONG result = ::RegQueryValueExA(KeyHandle(key), name.empty() ? nullptr : name.c_str(), nullptr,
                                     &type, data.data(), &dataLength);
    if (result != ERROR_SUCCESS) return result;
    if (dataLength > dataCapacity) dataLength = dataCapacity;
    value->name = name;
    value->type = type;
    value->data.assign(data.begin(), data.begin() + dataLength);
    return result;
  }

  long RegSetValueExA(RegKey key, const std::string& name, uint32_t type,
                      const std::vector<uint8_t>& data) override {
    static const BYTE kNothing = 0;
    return ::RegSetValueExA(KeyHandle(key), name.c_str(), 0, type,
                            data.empty() ? &kNothing : data.data(),
                            static_cast<DWORD>(data.size()));
  }

  long RegCloseKey(RegKey key) override { return ::RegCloseKey(KeyHandle(key)); }
};

}  // namespace

std::unique_ptr<System> MakeLiveSystem() { return std::unique_ptr<System>(new LiveSystem()); }

}  // namespace korvane
