// The headers of a PE image (an .exe, .dll, .drv or .acm file): what a loader checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineX8664 = 0x8664;
constexpr uint16_t kImageFileExecutable = 0x0002;
constexpr uint16_t kImageFileDll = 0x2000;

struct PeSection {
  uint32_t virtualAddress = 0;
  uint32_t virtualSize = 0;
  uint32_t rawOffset = 0;
  uint32_t rawSize = 0;
};

struct PeDirectory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

struct PeImage {
  uint16_t machine = 0;
  uint16_t characteristics = 0;
  bool is64 = false;  // a PE32+ optional header
  uint32_t sizeOfHeaders = 0;
  std::vector<PeSection> sections;
  PeDirectory resources;
  std::vector<std::string> imports;  // names of the imported libraries, in table order
};

// The file's bytes seen through the image's section table.
struct PeView {
  const uint8_t* data = nullptr;
  size_t size = 0;
  const PeImage* image = nullptr;

  // Offset in the file of the count bytes at rva, when they all lie in the file.
  std::optional<size_t> Offset(uint64_t rva, size_t count) const;
  // How many bytes of the file follow rva within its section (0 when rva is not in it).
  size_t BytesAt(uint64_t rva) const;
};

// The image, or *whyNot in plain words ("not a PE image", "not a valid PE image: ...").
// Every offset and size in the file is checked before it is used: a damaged file is an
// error, never a read outside data.
std::optional<PeImage> ParsePeImage(const uint8_t* data, size_t size, std::string* whyNot);

// "i386", "x86-64" and the other machine types a PE header names.
std::string MachineName(uint16_t machine);

// Wine's builtin and placeholder DLLs carry "Wine builtin DLL" or "Wine placeholder DLL"
// in the DOS stub, right after the 64-byte DOS header. Wine loads its own library in
// their place, so such a file loads whatever its imports say.
bool IsWineBuiltinDll(const std::string& headBytes);

}  // namespace korvane
