// FilterData, as the filter mapper lays it out. Both versions begin with four DWORDs:
// version, merit, pin count, reserved. The pins follow one after another; GUIDs, names and
// mediums lie elsewhere in the value and are named by their offset from its start.
//
// Version 2 (REGFILTERPINS2), per pin: "0pi3" (the first character counts the pins), flags,
// instances, media type count, medium count, and whether a category follows; then the
// category's offset when one does, the media types (each "0ty3", reserved, offset of the
// major type, offset of the subtype) and one offset per medium (a GUID and two DWORDs).
//
// Version 1 (REGFILTERPINS), per pin: offsets of its name, then rendered, output, zero and
// many as DWORD booleans, offsets of the filter and the pin it connects to, the media type
// count and the offset of the media types, each an offset of the major type and one of the
// subtype. An offset of 0 names nothing.
#include "platform/offline/formats/filter_data.h"

#include <cstdio>

#include "platform/byte_reader.h"

namespace korvane {
namespace {

constexpr size_t kHeaderSize = 16;
constexpr size_t kPin2Size = 24;
constexpr size_t kType2Size = 16;
constexpr size_t kPin1Size = 36;
constexpr size_t kType1Size = 8;
constexpr size_t kGuidSize = 16;
constexpr size_t kMediumSize = kGuidSize + 8;

// Walks the value, failing with the first reason it meets.
class FilterDataReader {
 public:
  FilterDataReader(const uint8_t* data, size_t size) : bytes_(data, size), data_(data) {}

  std::optional<FilterData> Read(std::string* whyNot) {
    FilterData filter;
    uint32_t pins = 0;
    if (!bytes_.Has(0, kHeaderSize)) return Fail(whyNot, "shorter than its 16-byte header");
    filter.version = bytes_.U32At(0);
    filter.merit = bytes_.U32At(4);
    pins = bytes_.U32At(8);
    if (filter.version != 1 && filter.version != 2) {
      return Fail(whyNot, "version " + std::to_string(filter.version) + " is neither 1 nor 2");
    }
    at_ = kHeaderSize;
    for (uint32_t i = 0; i < pins; ++i) {
      pin_ = "pin " + std::to_string(i + 1) + " of " + std::to_string(pins);
      std::optional<FilterDataPin> pin = filter.version == 2 ? ReadPin2() : ReadPin1();
      if (!pin) return Fail(whyNot, problem_);
      filter.pins.push_back(std::move(*pin));
    }
    return filter;
  }

 private:
  std::optional<FilterData> Fail(std::string* whyNot, const std::string& reason) {
    if (whyNot != nullptr) {
      *whyNot = "FilterData (" + std::to_string(bytes_.size()) + " bytes): " + reason;
    }
    return std::nullopt;
  }

  bool Problem(const std::string& what) {
    problem_ = pin_ + ": " + what;
    return false;
  }

  // The next count bytes of the pin records, taken.
  bool Take(size_t count, const char* what, size_t* offset) {
    if (!bytes_.Has(at_, count)) {
      return Problem(std::string(what) + " at byte " + std::to_string(at_) + " runs past the end");
    }
    *offset = at_;
    at_ += count;
    return true;
  }

  bool Guid(uint32_t offset, const char* what, std::string* text) {
    if (!bytes_.Has(offset, kGuidSize)) {
      return Problem(std::string(what) + " at offset " + std::to_string(offset) +
                     " lies outside the value");
    }
    *text = GuidText(data_ + offset);
    return true;
  }

  // A zero-terminated UTF-16 text at offset must end inside the value.
  bool Text(uint32_t offset, const char* what) {
    for (uint64_t i = offset; bytes_.Has(i, 2); i += 2) {
      if (bytes_.U16At(i) == 0) return true;
    }
    return Problem(std::string(what) + " at offset " + std::to_string(offset) +
                   " does not end inside the value");
  }

  bool MediaType(uint32_t majorOffset, uint32_t minorOffset, FilterDataPin* pin) {
    FilterDataMediaType type;
    if (!Guid(majorOffset, "a major type", &type.majorType) ||
        !Guid(minorOffset, "a subtype", &type.subType)) {
      return false;
    }
    pin->mediaTypes.push_back(std::move(type));
    return true;
  }

  std::optional<FilterDataPin> ReadPin2() {
    FilterDataPin pin;
    size_t at = 0;
    if (!Take(kPin2Size, "the pin record", &at)) return std::nullopt;
    pin.flags = bytes_.U32At(at + 4);
    pin.instances = bytes_.U32At(at + 8);
    const uint32_t types = bytes_.U32At(at + 12);
    const uint32_t mediums = bytes_.U32At(at + 16);
    if (bytes_.U32At(at + 20) != 0) {
      if (!Take(4, "the category offset", &at) ||
          !Guid(bytes_.U32At(at), "the category", &pin.category)) {
        return std::nullopt;
      }
    }
    for (uint32_t i = 0; i < types; ++i) {
      if (!Take(kType2Size, "a media type", &at) ||
          !MediaType(bytes_.U32At(at + 8), bytes_.U32At(at + 12), &pin)) {
        return std::nullopt;
      }
    }
    for (uint32_t i = 0; i < mediums; ++i) {
      if (!Take(4, "a medium offset", &at)) return std::nullopt;
      const uint32_t offset = bytes_.U32At(at);
      FilterDataMedium medium;
      if (!bytes_.Has(offset, kMediumSize)) {
        Problem("a medium at offset " + std::to_string(offset) + " lies outside the value");
        return std::nullopt;
      }
      medium.set = GuidText(data_ + offset);
      medium.id = bytes_.U32At(offset + kGuidSize);
      medium.flags = bytes_.U32At(offset + kGuidSize + 4);
      pin.mediums.push_back(std::move(medium));
    }
    return pin;
  }

  std::optional<FilterDataPin> ReadPin1() {
    FilterDataPin pin;
    size_t at = 0;
    if (!Take(kPin1Size, "the pin record", &at)) return std::nullopt;
    const uint32_t name = bytes_.U32At(at);
    if (name != 0 && !Text(name, "the pin name")) return std::nullopt;
    const uint32_t flagFor[] = {kPinFlagRenderer, kPinFlagOutput, kPinFlagZero, kPinFlagMany};
    for (size_t i = 0; i < 4; ++i) {
      if (bytes_.U32At(at + 4 + 4 * i) != 0) pin.flags |= flagFor[i];
    }
    std::string connectsTo;
    const uint32_t filter = bytes_.U32At(at + 20);
    if (filter != 0 && !Guid(filter, "the filter it connects to", &connectsTo)) return std::nullopt;
    const uint32_t pinName = bytes_.U32At(at + 24);
    if (pinName != 0 && !Text(pinName, "the pin it connects to")) return std::nullopt;
    const uint32_t types = bytes_.U32At(at + 28);
    const uint32_t list = bytes_.U32At(at + 32);
    if (types != 0 &&
        (!bytes_.Has(list, kType1Size) || (bytes_.size() - list) / kType1Size < types)) {
      Problem(std::to_string(types) + " media types at offset " + std::to_string(list) +
              " run past the end");
      return std::nullopt;
    }
    for (uint32_t i = 0; i < types; ++i) {
      const size_t entry = list + size_t{kType1Size} * i;
      if (!MediaType(bytes_.U32At(entry), bytes_.U32At(entry + 4), &pin)) return std::nullopt;
    }
    return pin;
  }

  ByteReader bytes_;
  const uint8_t* data_;
  size_t at_ = 0;
  std::string pin_;
  std::string problem_;
};

}  // namespace

std::string GuidText(const uint8_t bytes[16]) {
  const ByteReader guid(bytes, 16);
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(guid.U32At(0)), guid.U16At(4), guid.U16At(6), bytes[8],
                bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

std::optional<FilterData> ParseFilterData(const uint8_t* data, size_t size, std::string* whyNot) {
  return FilterDataReader(data, size).Read(whyNot);
}

}  // namespace korvane
