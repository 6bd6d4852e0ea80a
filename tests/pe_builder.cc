// Minimal PE images for the tests.
#include "tests/pe_builder.h"

namespace korvane::test {
namespace {

constexpr uint32_t kSectionRva = 0x1000;
constexpr uint32_t kFileAlign = 0x200;

void Put16(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put64(std::string* out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}
void Pad(std::string* out, size_t alignment) {
  while (out->size() % alignment != 0) out->push_back('\0');
}
std::string Utf16(const std::string& text) {
  std::string out;
  for (char c : text) Put16(&out, static_cast<unsigned char>(c));
  Put16(&out, 0);
  return out;
}

std::string VersionNode(const std::string& key, const std::string& value, bool text,
                        const std::vector<std::string>& children) {
  std::string body(6, '\0');
  body += Utf16(key);
  Pad(&body, 4);
  body += value;
  for (const std::string& child : children) {
    Pad(&body, 4);
    body += child;
  }
  std::string header;
  Put16(&header, static_cast<uint32_t>(body.size()));
  Put16(&header, static_cast<uint32_t>(text ? value.size() / 2 : value.size()));
  Put16(&header, text ? 1 : 0);
  return header + body.substr(6);
}

std::string ImportTable(const std::vector<std::string>& imports, uint32_t at, bool is64) {
  const uint32_t thunk = is64 ? 8 : 4;
  const uint32_t thunksAt = at + 20 * static_cast<uint32_t>(imports.size() + 1);
  uint32_t namesAt = thunksAt + static_cast<uint32_t>(imports.size()) * 4 * thunk;
  std::string descriptors, thunks, names;
  for (size_t i = 0; i < imports.size(); ++i) {
    const uint32_t lookup = thunksAt + static_cast<uint32_t>(i) * 4 * thunk;
    Put32(&descriptors, lookup);
    Put32(&descriptors, 0);
    Put32(&descriptors, 0);
    Put32(&descriptors, namesAt + static_cast<uint32_t>(names.size()));
    Put32(&descriptors, lookup + 2 * thunk);
    for (int copy = 0; copy < 2; ++copy) {
      if (is64) {
        Put64(&thunks, (uint64_t{1} << 63) | 1);
        Put64(&thunks, 0);
      } else {
        Put32(&thunks, 0x80000001u);
        Put32(&thunks, 0);
      }
    }
    names += imports[i];
    names.push_back('\0');
    Pad(&names, 2);
  }
  return descriptors + std::string(20, '\0') + thunks + names;
}

std::string ResourceTable(const std::string& versionBlock, uint32_t at) {
  std::string out;
  auto directory = [&out](uint32_t id, uint32_t target) {
    out += std::string(12, '\0');
    Put16(&out, 0);
    Put16(&out, 1);
    Put32(&out, id);
    Put32(&out, target);
  };
  directory(16, 0x80000000u | 24);
  directory(1, 0x80000000u | 48);
  directory(0x409, 72);
  Put32(&out, at + 88);
  Put32(&out, static_cast<uint32_t>(versionBlock.size()));
  Put32(&out, 0);
  Put32(&out, 0);
  return out + versionBlock;
}

}  // namespace

void PutU32(std::string* bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string BuildVersionInfo(const std::string& description, const std::string& version) {
  std::string fixed;
  for (uint32_t v : {0xFEEF04BDu, 0x00010000u, 0x0004000Au, 0x000008AEu, 0x0004000Au, 0x000008AEu,
                     0x3Fu, 0u, 0x00040004u, 2u, 0u, 0u, 0u}) {
    Put32(&fixed, v);
  }
  std::vector<std::string> strings;
  if (!description.empty())
    strings.push_back(VersionNode("FileDescription", Utf16(description), true, {}));
  if (!version.empty()) strings.push_back(VersionNode("FileVersion", Utf16(version), true, {}));
  const std::string table = VersionNode("040904B0", "", true, strings);
  const std::string stringInfo = VersionNode("StringFileInfo", "", true, {table});
  return VersionNode("VS_VERSION_INFO", fixed, false, {stringInfo});
}

std::string BuildPe(const PeSpec& spec) {
  const bool is64 = spec.machine == 0x8664;
  std::string imports = ImportTable(spec.imports, kSectionRva, is64);
  const uint32_t importSize = static_cast<uint32_t>(imports.size());
  Pad(&imports, 4);
  const uint32_t resourcesRva = kSectionRva + static_cast<uint32_t>(imports.size());
  std::string section = imports;
  if (spec.withVersion) {
    section +=
        ResourceTable(BuildVersionInfo(spec.fileDescription, spec.fileVersion), resourcesRva);
  }
  const uint32_t virtualSize = static_cast<uint32_t>(section.size());
  Pad(&section, kFileAlign);

  std::string optional;
  Put16(&optional, is64 ? 0x20B : 0x10B);
  Put16(&optional, 6);
  for (int i = 0; i < 4; ++i) Put32(&optional, 0);  // code and data sizes, entry point
  Put32(&optional, kSectionRva);                    // base of code
  if (is64) {
    Put64(&optional, 0x180000000ull);
  } else {
    Put32(&optional, kSectionRva);
    Put32(&optional, 0x10000000);
  }
  Put32(&optional, 0x1000);
  Put32(&optional, kFileAlign);
  for (uint32_t v : {4u, 0u, 4u, 10u, 4u, 0u}) Put16(&optional, v);
  Put32(&optional, 0);
  Put32(&optional, kSectionRva + 0x1000 * ((virtualSize + 0xFFF) / 0x1000));
  Put32(&optional, kFileAlign);  // size of headers
  Put32(&optional, 0);
  Put16(&optional, 2);
  Put16(&optional, 0);
  for (int i = 0; i < 4; ++i) is64 ? Put64(&optional, 0x100000) : Put32(&optional, 0x100000);
  Put32(&optional, 0);
  Put32(&optional, 16);
  for (int i = 0; i < 16; ++i) {
    const bool importDir = i == 1 && !spec.imports.empty();
    const bool resourceDir = i == 2 && spec.withVersion;
    Put32(&optional, importDir ? kSectionRva : resourceDir ? resourcesRva : 0);
    Put32(&optional, importDir     ? importSize
                     : resourceDir ? virtualSize - (resourcesRva - kSectionRva)
                                   : 0);
  }

  std::string image(0x40, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  PutU32(&image, 0x3C, 0x40);
  image += std::string("PE\0\0", 4);
  Put16(&image, spec.machine);
  Put16(&image, 1);
  Put32(&image, 0);
  Put32(&image, 0);
  Put32(&image, 0);
  Put16(&image, static_cast<uint32_t>(optional.size()));
  Put16(&image, spec.characteristics);
  image += optional;
  image += std::string(".rdata\0\0", 8);
  Put32(&image, virtualSize);
  Put32(&image, kSectionRva);
  Put32(&image, static_cast<uint32_t>(section.size()));
  Put32(&image, kFileAlign);
  Put32(&image, 0);
  Put32(&image, 0);
  Put32(&image, 0);
  Put32(&image, 0x40000040);
  Pad(&image, kFileAlign);
  return image + section;
}

}  // namespace korvane::test
