// The FilterData value of a DirectShow filter registration: the binary description the
// filter mapper writes from a REGFILTER2 (merit, pins, each pin's media types and
// mediums), read into plain facts. Every offset and count in it is checked against its
// size, so a damaged value is refused with a reason and never read past.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// REG_PINFLAG_B_*: what a pin of a version 2 registration is.
constexpr uint32_t kPinFlagZero = 0x1;      // the filter may have none of this pin
constexpr uint32_t kPinFlagRenderer = 0x2;  // the filter renders what this pin takes
constexpr uint32_t kPinFlagMany = 0x4;      // the filter may have many of this pin
constexpr uint32_t kPinFlagOutput = 0x8;    // an output pin

// A GUID as the registry writes it: "{E436EB83-524F-11CE-9F53-0020AF0BA770}".
std::string GuidText(const uint8_t bytes[16]);

struct FilterDataMediaType {
  std::string majorType;  // GuidText
  std::string subType;
};

struct FilterDataMedium {
  std::string set;  // GuidText
  uint32_t id = 0;
  uint32_t flags = 0;
};

struct FilterDataPin {
  uint32_t flags = 0;      // kPinFlag*; a version 1 pin's booleans are turned into them
  uint32_t instances = 0;  // version 2 only
  std::string category;    // GuidText, or empty when the pin names none
  std::vector<FilterDataMediaType> mediaTypes;
  std::vector<FilterDataMedium> mediums;  // version 2 only
  bool output() const { return (flags & kPinFlagOutput) != 0; }
};

struct FilterData {
  uint32_t version = 0;  // 1 or 2
  uint32_t merit = 0;
  std::vector<FilterDataPin> pins;
};

// Reads size bytes at data; nullopt with *whyNot (a sentence naming the field) when they
// are not a FilterData value of version 1 or 2.
std::optional<FilterData> ParseFilterData(const uint8_t* data, size_t size, std::string* whyNot);

}  // namespace korvane
