// FilterData values written byte by byte: the layouts of both versions read back, and every
// way a damaged value points outside itself refused with a reason.
#include "platform/offline/formats/filter_data.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace korvane {
namespace {

const char kVideo[] = "{73646976-0000-0010-8000-00AA00389B71}";
const char kMjpg[] = "{47504A4D-0000-0010-8000-00AA00389B71}";
const char kStream[] = "{E436EB83-524F-11CE-9F53-0020AF0BA770}";
const char kAvi[] = "{E436EB88-524F-11CE-9F53-0020AF0BA770}";

using test::GuidBytes;

struct Blob {
  std::vector<uint8_t> bytes;
  void Dword(uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }
  void Text(const char* four) { bytes.insert(bytes.end(), four, four + 4); }
  void Guid(const std::string& text) {
    const std::vector<uint8_t> guid = GuidBytes(text);
    bytes.insert(bytes.end(), guid.begin(), guid.end());
  }
  void SetDword(size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
  }
};

// A video decoder as RegisterFilter writes it: an input pin for MJPG with a category and
// a medium, and a rendered-nothing output pin for any video.
// Layout: header 0-15, pin 1 16-39, category offset 40, type 44-59, medium offset 60,
// pin 2 64-87, type 88-103; GUIDs from 104: video, MJPG, category, medium (104+64).
Blob GoodVersion2() {
  Blob blob;
  for (uint32_t v : {2u, 0x600800u, 2u, 0u}) blob.Dword(v);
  blob.Text("0pi3");
  for (uint32_t v : {0u, 1u, 1u, 1u, 1u}) blob.Dword(v);
  blob.Dword(136);  // category
  blob.Text("0ty3");
  for (uint32_t v : {0u, 104u, 120u}) blob.Dword(v);
  blob.Dword(152);  // medium
  blob.Text("1pi3");
  for (uint32_t v : {kPinFlagOutput | kPinFlagMany, 0u, 1u, 0u, 0u}) blob.Dword(v);
  blob.Text("0ty3");
  for (uint32_t v : {0u, 104u, 104u}) blob.Dword(v);
  blob.Guid(kVideo);
  blob.Guid(kMjpg);
  blob.Guid(kStream);
  blob.Guid(kAvi);
  blob.Dword(7);
  blob.Dword(9);
  return blob;
}

// A splitter in the version 1 layout: a named input pin for AVI streams, connecting to a
// named filter's named pin, and an output pin with no types.
// Layout: header 0-15, pin 1 16-51, pin 2 52-87, type list 88-95, GUIDs 96 and 112,
// "In" at 128, "Out" at 134.
Blob GoodVersion1() {
  Blob blob;
  for (uint32_t v : {1u, 0x600000u, 2u, 0u}) blob.Dword(v);
  for (uint32_t v : {128u, 0u, 0u, 1u, 0u, 96u, 134u, 1u, 88u}) blob.Dword(v);
  for (uint32_t v : {0u, 0u, 1u, 0u, 1u, 0u, 0u, 0u, 0u}) blob.Dword(v);
  blob.Dword(96);
  blob.Dword(112);
  blob.Guid(kStream);
  blob.Guid(kAvi);
  const char names[] = "I\0n\0\0\0O\0u\0t\0\0";  // with the array's zero: 14 bytes
  blob.bytes.insert(blob.bytes.end(), names, names + sizeof names);
  return blob;
}

std::string Refusal(const Blob& blob) {
  std::string whyNot;
  const auto parsed = ParseFilterData(blob.bytes.data(), blob.bytes.size(), &whyNot);
  EXPECT_FALSE(parsed.has_value());
  return whyNot;
}

TEST(FilterData, Version2ReadsMeritPinsTypesCategoryAndMediums) {
  const Blob blob = GoodVersion2();
  std::string whyNot;
  const auto parsed = ParseFilterData(blob.bytes.data(), blob.bytes.size(), &whyNot);
  ASSERT_TRUE(parsed) << whyNot;
  EXPECT_EQ(parsed->version, 2u);
  EXPECT_EQ(parsed->merit, 0x600800u);
  ASSERT_EQ(parsed->pins.size(), 2u);
  const FilterDataPin& in = parsed->pins[0];
  EXPECT_FALSE(in.output());
  EXPECT_EQ(in.instances, 1u);
  EXPECT_EQ(in.category, kStream);
  ASSERT_EQ(in.mediaTypes.size(), 1u);
  EXPECT_EQ(in.mediaTypes[0].majorType, kVideo);
  EXPECT_EQ(in.mediaTypes[0].subType, kMjpg);
  ASSERT_EQ(in.mediums.size(), 1u);
  EXPECT_EQ(in.mediums[0].set, kAvi);
  EXPECT_EQ(in.mediums[0].id, 7u);
  EXPECT_EQ(in.mediums[0].flags, 9u);
  const FilterDataPin& out = parsed->pins[1];
  EXPECT_TRUE(out.output());
  EXPECT_EQ(out.flags, kPinFlagOutput | kPinFlagMany);
  EXPECT_TRUE(out.category.empty());
  ASSERT_EQ(out.mediaTypes.size(), 1u);
  EXPECT_EQ(out.mediaTypes[0].subType, kVideo);
}

TEST(FilterData, Version1TurnsPinBooleansIntoFlags) {
  const Blob blob = GoodVersion1();
  std::string whyNot;
  const auto parsed = ParseFilterData(blob.bytes.data(), blob.bytes.size(), &whyNot);
  ASSERT_TRUE(parsed) << whyNot;
  EXPECT_EQ(parsed->version, 1u);
  EXPECT_EQ(parsed->merit, 0x600000u);
  ASSERT_EQ(parsed->pins.size(), 2u);
  EXPECT_EQ(parsed->pins[0].flags, kPinFlagZero);
  ASSERT_EQ(parsed->pins[0].mediaTypes.size(), 1u);
  EXPECT_EQ(parsed->pins[0].mediaTypes[0].majorType, kStream);
  EXPECT_EQ(parsed->pins[0].mediaTypes[0].subType, kAvi);
  EXPECT_EQ(parsed->pins[1].flags, kPinFlagOutput | kPinFlagMany);
  EXPECT_TRUE(parsed->pins[1].mediaTypes.empty());
}

TEST(FilterData, HeaderWithoutPinsIsAFilterWithoutPins) {
  Blob blob;
  for (uint32_t v : {2u, 0x200000u, 0u, 0u}) blob.Dword(v);
  const auto parsed = ParseFilterData(blob.bytes.data(), blob.bytes.size(), nullptr);
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(parsed->pins.empty());
  EXPECT_EQ(parsed->merit, 0x200000u);
}

// Each damage, the reason names what lies outside.
TEST(FilterData, EveryOffsetOrCountOutsideTheValueIsRefused) {
  struct Case {
    const char* name;
    Blob (*good)();
    size_t field;  // byte offset of the DWORD to change
    uint32_t value;
    const char* reason;
  };
  const Case cases[] = {
      {"version 3", GoodVersion2, 0, 3, "version 3 is neither 1 nor 2"},
      {"version 0", GoodVersion1, 0, 0, "version 0 is neither 1 nor 2"},
      {"more pins than records", GoodVersion2, 8, 3,
       "pin 3 of 3: the category at offset 2852126848"},
      {"a billion pins", GoodVersion2, 8, 1000000000, "pin 3 of 1000000000"},
      {"category past the end", GoodVersion2, 40, 161, "pin 1 of 2: the category at offset 161"},
      {"category offset huge", GoodVersion2, 40, 0xFFFFFFF8, "the category at offset 4294967288"},
      {"major type outside", GoodVersion2, 52, 200, "pin 1 of 2: a major type at offset 200"},
      {"subtype straddling the end", GoodVersion2, 56, 170, "a subtype at offset 170"},
      {"medium outside", GoodVersion2, 60, 160, "a medium at offset 160 lies outside"},
      {"many media types", GoodVersion2, 76, 40, "pin 2 of 2: a major type at offset 2852126848"},
      {"many mediums", GoodVersion2, 80, 0x7FFFFFFF, "pin 2 of 2: a medium at offset 1935960438"},
      {"v1 more pins", GoodVersion1, 8, 5, "pin 3 of 5: the filter it connects to"},
      {"v1 name outside", GoodVersion1, 16, 4000, "pin 1 of 2: the pin name at offset 4000"},
      {"v1 name unterminated", GoodVersion1, 16, 142, "the pin name at offset 142 does not end"},
      {"v1 filter outside", GoodVersion1, 36, 130, "the filter it connects to at offset 130"},
      {"v1 pin name unterminated", GoodVersion1, 40, 141, "the pin it connects to at offset 141"},
      {"v1 type list outside", GoodVersion1, 48, 140, "1 media types at offset 140 run past"},
      {"v1 type count huge", GoodVersion1, 44, 0xFFFFFFFF, "4294967295 media types at offset 88"},
      {"v1 type GUID outside", GoodVersion1, 88, 141, "a major type at offset 141"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Blob blob = c.good();
    blob.SetDword(c.field, c.value);
    const std::string why = Refusal(blob);
    EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    EXPECT_EQ(why.rfind("FilterData (", 0), 0u) << why;
  }
}

// A value cut anywhere short of its end: refused, and never read past (the copy is exactly
// as long as the cut, for the address sanitizer).
TEST(FilterData, ValueCutAtEveryLengthIsRefused) {
  for (Blob (*good)() : {GoodVersion1, GoodVersion2}) {
    const Blob whole = good();
    for (size_t length = 0; length < whole.bytes.size(); ++length) {
      const std::vector<uint8_t> cut(whole.bytes.begin(), whole.bytes.begin() + length);
      std::string whyNot;
      const auto parsed = ParseFilterData(cut.data(), cut.size(), &whyNot);
      EXPECT_FALSE(parsed) << "length " << length;
      EXPECT_FALSE(whyNot.empty()) << "length " << length;
    }
  }
}

TEST(FilterData, GuidTextIsUpperCaseWithBraces) {
  for (const char* text : {kVideo, kMjpg, kStream, "{00000000-0000-0000-0000-000000000000}",
                           "{FFFFFFFF-ABCD-EF01-2345-6789ABCDEF01}"}) {
    EXPECT_EQ(GuidText(GuidBytes(text).data()), text);
  }
}

}  // namespace
}  // namespace korvane
